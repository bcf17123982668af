// The .x file reader: a COM-style interface over our own parser of text, binary and
// MSZIP-compressed .x files. Created with DirectXFileCreate; data objects come back laid
// out as their template describes (DWORD counts, float vectors, arrays inline, strings
// as char pointers), packed without padding.
#pragma once

#include "platform/win32/win32.h"

typedef DWORD DXFILEFORMAT;
#define DXFILEFORMAT_BINARY 0
#define DXFILEFORMAT_TEXT 1
#define DXFILEFORMAT_COMPRESSED 2

typedef DWORD DXFILELOADOPTIONS;
#define DXFILELOAD_FROMFILE 0x00L
#define DXFILELOAD_FROMRESOURCE 0x01L
#define DXFILELOAD_FROMMEMORY 0x02L
#define DXFILELOAD_FROMSTREAM 0x04L
#define DXFILELOAD_FROMURL 0x08L

struct DXFILELOADRESOURCE {
  HMODULE hModule;
  LPCSTR lpName;
  LPCSTR lpType;
};
typedef DXFILELOADRESOURCE* LPDXFILELOADRESOURCE;

struct DXFILELOADMEMORY {
  LPVOID lpMemory;
  DWORD dSize;
};
typedef DXFILELOADMEMORY* LPDXFILELOADMEMORY;

#define DXFILE_MAKE_ERROR(code) MAKE_HRESULT(1, 0x876, code)
#define DXFILE_OK S_OK
#define DXFILEERR_BADOBJECT DXFILE_MAKE_ERROR(850)
#define DXFILEERR_BADVALUE DXFILE_MAKE_ERROR(851)
#define DXFILEERR_BADTYPE DXFILE_MAKE_ERROR(852)
#define DXFILEERR_BADSTREAMHANDLE DXFILE_MAKE_ERROR(853)
#define DXFILEERR_BADALLOC DXFILE_MAKE_ERROR(854)
#define DXFILEERR_NOTFOUND DXFILE_MAKE_ERROR(855)
#define DXFILEERR_NOTDONEYET DXFILE_MAKE_ERROR(856)
#define DXFILEERR_FILENOTFOUND DXFILE_MAKE_ERROR(857)
#define DXFILEERR_RESOURCENOTFOUND DXFILE_MAKE_ERROR(858)
#define DXFILEERR_URLNOTFOUND DXFILE_MAKE_ERROR(859)
#define DXFILEERR_BADRESOURCE DXFILE_MAKE_ERROR(860)
#define DXFILEERR_BADFILETYPE DXFILE_MAKE_ERROR(861)
#define DXFILEERR_BADFILEVERSION DXFILE_MAKE_ERROR(862)
#define DXFILEERR_BADFILEFLOATSIZE DXFILE_MAKE_ERROR(863)
#define DXFILEERR_BADFILECOMPRESSIONTYPE DXFILE_MAKE_ERROR(864)
#define DXFILEERR_BADFILE DXFILE_MAKE_ERROR(865)
#define DXFILEERR_PARSEERROR DXFILE_MAKE_ERROR(866)
#define DXFILEERR_NOTEMPLATE DXFILE_MAKE_ERROR(867)
#define DXFILEERR_BADARRAYSIZE DXFILE_MAKE_ERROR(868)
#define DXFILEERR_BADDATAREFERENCE DXFILE_MAKE_ERROR(869)
#define DXFILEERR_INTERNALERROR DXFILE_MAKE_ERROR(870)
#define DXFILEERR_NOMOREOBJECTS DXFILE_MAKE_ERROR(871)
#define DXFILEERR_BADINTRINSICS DXFILE_MAKE_ERROR(872)
#define DXFILEERR_NOMORESTREAMHANDLES DXFILE_MAKE_ERROR(873)
#define DXFILEERR_NOMOREDATA DXFILE_MAKE_ERROR(874)
#define DXFILEERR_BADCACHEFILE DXFILE_MAKE_ERROR(875)
#define DXFILEERR_NOINTERNET DXFILE_MAKE_ERROR(876)

struct IDirectXFile;
struct IDirectXFileEnumObject;
struct IDirectXFileSaveObject;
struct IDirectXFileObject;
struct IDirectXFileData;
struct IDirectXFileDataReference;
struct IDirectXFileBinary;
typedef IDirectXFile* LPDIRECTXFILE;
typedef IDirectXFileEnumObject* LPDIRECTXFILEENUMOBJECT;
typedef IDirectXFileSaveObject* LPDIRECTXFILESAVEOBJECT;
typedef IDirectXFileObject* LPDIRECTXFILEOBJECT;
typedef IDirectXFileData* LPDIRECTXFILEDATA;
typedef IDirectXFileDataReference* LPDIRECTXFILEDATAREFERENCE;
typedef IDirectXFileBinary* LPDIRECTXFILEBINARY;
typedef GUID* LPGUID;
typedef const GUID* LPCGUID;

extern const IID IID_IDirectXFile;
extern const IID IID_IDirectXFileEnumObject;
extern const IID IID_IDirectXFileSaveObject;
extern const IID IID_IDirectXFileObject;
extern const IID IID_IDirectXFileData;
extern const IID IID_IDirectXFileDataReference;
extern const IID IID_IDirectXFileBinary;

struct IDirectXFile : IUnknown {
  // source: a file name (FROMFILE), a DXFILELOADMEMORY* (FROMMEMORY) or a
  // DXFILELOADRESOURCE* (FROMRESOURCE, a module from LoadLibraryA). The whole file is read
  // and checked here; the bytes are not needed afterwards.
  virtual HRESULT CreateEnumObject(LPVOID source, DXFILELOADOPTIONS options, LPDIRECTXFILEENUMOBJECT* enumObject) = 0;
  // Saving is not offered: always DXFILEERR_NOTDONEYET.
  virtual HRESULT CreateSaveObject(LPCSTR fileName, DXFILEFORMAT format, LPDIRECTXFILESAVEOBJECT* saveObject) = 0;
  // data: a complete .x file (any format) holding template declarations.
  virtual HRESULT RegisterTemplates(LPVOID data, DWORD size) = 0;
};

struct IDirectXFileEnumObject : IUnknown {
  // The top-level data objects in file order; DXFILEERR_NOMOREOBJECTS after the last.
  virtual HRESULT GetNextDataObject(LPDIRECTXFILEDATA* data) = 0;
  virtual HRESULT GetDataObjectById(REFGUID id, LPDIRECTXFILEDATA* data) = 0;
  virtual HRESULT GetDataObjectByName(LPCSTR name, LPDIRECTXFILEDATA* data) = 0;
};

struct IDirectXFileObject : IUnknown {
  // name null: *size receives the size needed (terminator included).
  virtual HRESULT GetName(LPSTR name, LPDWORD size) = 0;
  virtual HRESULT GetId(LPGUID id) = 0;
};

struct IDirectXFileData : IDirectXFileObject {
  // member null: the whole object. The pointer stays valid while the object lives.
  virtual HRESULT GetData(LPCSTR member, DWORD* size, void** data) = 0;
  virtual HRESULT GetType(const GUID** type) = 0;
  // Children in file order: data objects, data references, binary objects.
  virtual HRESULT GetNextObject(LPDIRECTXFILEOBJECT* child) = 0;
  virtual HRESULT AddDataObject(LPDIRECTXFILEDATA data) = 0;
  virtual HRESULT AddDataReference(LPCSTR ref, const GUID* guidRef) = 0;
  virtual HRESULT AddBinaryObject(LPCSTR name, const GUID* id, LPCSTR mimeType, LPVOID data, DWORD size) = 0;
};

struct IDirectXFileDataReference : IDirectXFileObject {
  virtual HRESULT Resolve(LPDIRECTXFILEDATA* data) = 0;
};

struct IDirectXFileBinary : IDirectXFileObject {
  virtual HRESULT GetSize(DWORD* size) = 0;
  virtual HRESULT GetMimeType(LPCSTR* mimeType) = 0;
  virtual HRESULT Read(LPVOID data, DWORD size, LPDWORD read) = 0;
};

struct IDirectXFileSaveObject : IUnknown {};

HRESULT DirectXFileCreate(LPDIRECTXFILE* file);

// Template identifiers of the standard templates.
extern const GUID TID_D3DRMInfo;  // Header
extern const GUID TID_D3DRMVector;
extern const GUID TID_D3DRMCoords2d;
extern const GUID TID_D3DRMMatrix4x4;
extern const GUID TID_D3DRMColorRGBA;
extern const GUID TID_D3DRMColorRGB;
extern const GUID TID_D3DRMIndexedColor;
extern const GUID TID_D3DRMBoolean;
extern const GUID TID_D3DRMBoolean2d;
extern const GUID TID_D3DRMMaterialWrap;
extern const GUID TID_D3DRMTextureFilename;
extern const GUID TID_D3DRMMaterial;
extern const GUID TID_D3DRMMeshFace;
extern const GUID TID_D3DRMMeshFaceWraps;
extern const GUID TID_D3DRMMeshTextureCoords;
extern const GUID TID_D3DRMMeshMaterialList;
extern const GUID TID_D3DRMMeshNormals;
extern const GUID TID_D3DRMMeshVertexColors;
extern const GUID TID_D3DRMMesh;
extern const GUID TID_D3DRMFrameTransformMatrix;
extern const GUID TID_D3DRMFrame;
extern const GUID TID_D3DRMFloatKeys;
extern const GUID TID_D3DRMTimedFloatKeys;
extern const GUID TID_D3DRMAnimationKey;
extern const GUID TID_D3DRMAnimationOptions;
extern const GUID TID_D3DRMAnimation;
extern const GUID TID_D3DRMAnimationSet;

// The standard templates as one .x file (our own text), for RegisterTemplates.
extern const unsigned char D3DRM_XTEMPLATES[];
#define D3DRM_XTEMPLATE_BYTES D3DRMXTemplateBytes()
DWORD D3DRMXTemplateBytes();

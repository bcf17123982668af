// The COM-style objects of the .x reader. Every object handed out shares the parsed file,
// so data pointers stay valid while any object of the file lives.
#include "platform/xfile/dxfile.h"

#include <fstream>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/win32/com_object.h"
#include "platform/win32/resources.h"
#include "platform/xfile/xdocument.h"
#include "platform/xfile/xparser.h"

namespace xfile {

namespace {

constexpr size_t kMaxFileBytes = 256u * 1024u * 1024u;

HRESULT CopyName(const std::string& text, LPSTR name, LPDWORD size) {
  if (!size) return DXFILEERR_BADVALUE;
  const DWORD needed = static_cast<DWORD>(text.size() + 1);
  if (!name) {
    *size = needed;
    return S_OK;
  }
  if (*size < needed) return DXFILEERR_BADVALUE;
  std::memcpy(name, text.c_str(), needed);
  *size = needed;
  return S_OK;
}

class DataObject : public ComObject<IDirectXFileData, IID_IDirectXFileObject, IID_IDirectXFileData> {
 public:
  DataObject(std::shared_ptr<const XDocument> doc, const XDataNode* node) : m_doc(std::move(doc)), m_node(node) {}

  HRESULT GetName(LPSTR name, LPDWORD size) override { return CopyName(m_node->name, name, size); }
  HRESULT GetId(LPGUID id) override {
    if (!id) return DXFILEERR_BADVALUE;
    *id = m_node->hasId ? m_node->id : GUID{};
    return S_OK;
  }
  HRESULT GetData(LPCSTR member, DWORD* size, void** data) override {
    if (!size || !data) return DXFILEERR_BADVALUE;
    const uint8_t* base = m_node->Data();
    if (!member) {
      *size = static_cast<DWORD>(m_node->dataSize);
      *data = const_cast<uint8_t*>(base);
      return S_OK;
    }
    for (const XMemberSlot& slot : m_node->members) {
      if (slot.name == member) {
        *size = static_cast<DWORD>(slot.size);
        *data = const_cast<uint8_t*>(base + slot.offset);
        return S_OK;
      }
    }
    return DXFILEERR_NOTFOUND;
  }
  HRESULT GetType(const GUID** type) override {
    if (!type) return DXFILEERR_BADVALUE;
    *type = &m_node->type->id;
    return S_OK;
  }
  HRESULT GetNextObject(LPDIRECTXFILEOBJECT* child) override;
  HRESULT AddDataObject(LPDIRECTXFILEDATA) override { return DXFILEERR_NOTDONEYET; }
  HRESULT AddDataReference(LPCSTR, const GUID*) override { return DXFILEERR_NOTDONEYET; }
  HRESULT AddBinaryObject(LPCSTR, const GUID*, LPCSTR, LPVOID, DWORD) override { return DXFILEERR_NOTDONEYET; }

 private:
  std::shared_ptr<const XDocument> m_doc;
  const XDataNode* m_node;
  size_t m_nextChild = 0;
};

class DataReference
    : public ComObject<IDirectXFileDataReference, IID_IDirectXFileObject, IID_IDirectXFileDataReference> {
 public:
  DataReference(std::shared_ptr<const XDocument> doc, const XChild* ref) : m_doc(std::move(doc)), m_ref(ref) {}

  HRESULT GetName(LPSTR name, LPDWORD size) override { return CopyName(m_ref->refName, name, size); }
  HRESULT GetId(LPGUID id) override {
    if (!id) return DXFILEERR_BADVALUE;
    *id = m_ref->refHasId ? m_ref->refId : GUID{};
    return S_OK;
  }
  HRESULT Resolve(LPDIRECTXFILEDATA* data) override {
    if (!data) return DXFILEERR_BADVALUE;
    *data = nullptr;
    const XDataNode* target = m_ref->refHasId ? m_doc->FindById(m_ref->refId) : nullptr;
    if (!target && !m_ref->refName.empty()) target = m_doc->FindByName(m_ref->refName);
    if (!target) return DXFILEERR_BADDATAREFERENCE;
    *data = new DataObject(m_doc, target);
    return S_OK;
  }

 private:
  std::shared_ptr<const XDocument> m_doc;
  const XChild* m_ref;
};

HRESULT DataObject::GetNextObject(LPDIRECTXFILEOBJECT* child) {
  if (!child) return DXFILEERR_BADVALUE;
  *child = nullptr;
  if (m_nextChild >= m_node->children.size()) return DXFILEERR_NOMOREOBJECTS;
  const XChild& c = m_node->children[m_nextChild++];
  if (c.data) *child = new DataObject(m_doc, c.data.get());
  else *child = new DataReference(m_doc, &c);
  return S_OK;
}

class EnumObject : public ComObject<IDirectXFileEnumObject, IID_IDirectXFileEnumObject> {
 public:
  explicit EnumObject(std::shared_ptr<const XDocument> doc) : m_doc(std::move(doc)) {}

  HRESULT GetNextDataObject(LPDIRECTXFILEDATA* data) override {
    if (!data) return DXFILEERR_BADVALUE;
    *data = nullptr;
    if (m_next >= m_doc->topLevel.size()) return DXFILEERR_NOMOREOBJECTS;
    *data = new DataObject(m_doc, m_doc->topLevel[m_next++].get());
    return S_OK;
  }
  HRESULT GetDataObjectById(REFGUID id, LPDIRECTXFILEDATA* data) override {
    if (!data) return DXFILEERR_BADVALUE;
    const XDataNode* node = m_doc->FindById(id);
    *data = node ? new DataObject(m_doc, node) : nullptr;
    return node ? S_OK : DXFILEERR_NOTFOUND;
  }
  HRESULT GetDataObjectByName(LPCSTR name, LPDIRECTXFILEDATA* data) override {
    if (!data || !name) return DXFILEERR_BADVALUE;
    const XDataNode* node = m_doc->FindByName(name);
    *data = node ? new DataObject(m_doc, node) : nullptr;
    return node ? S_OK : DXFILEERR_NOTFOUND;
  }

 private:
  std::shared_ptr<const XDocument> m_doc;
  size_t m_next = 0;
};

bool ReadWholeFile(const char* path, std::vector<uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || static_cast<uint64_t>(size) > kMaxFileBytes) return false;
  in.seekg(0, std::ios::beg);
  bytes.resize(static_cast<size_t>(size));
  if (size > 0) in.read(reinterpret_cast<char*>(bytes.data()), size);
  return static_cast<bool>(in) || size == 0;
}

class DirectXFile : public ComObject<IDirectXFile, IID_IDirectXFile> {
 public:
  DirectXFile() : m_registry(XTemplateRegistry::Standard()) {}

  HRESULT CreateEnumObject(LPVOID source, DXFILELOADOPTIONS options, LPDIRECTXFILEENUMOBJECT* enumObject) override {
    if (!enumObject) return DXFILEERR_BADVALUE;
    *enumObject = nullptr;
    if (!source) return DXFILEERR_BADVALUE;
    std::vector<uint8_t> fileBytes;
    const uint8_t* data = nullptr;
    size_t size = 0;
    switch (options & 0x0f) {
      case DXFILELOAD_FROMFILE:
        if (!ReadWholeFile(static_cast<const char*>(source), fileBytes)) return DXFILEERR_FILENOTFOUND;
        data = fileBytes.data();
        size = fileBytes.size();
        break;
      case DXFILELOAD_FROMMEMORY: {
        const auto* memory = static_cast<const DXFILELOADMEMORY*>(source);
        if (!memory->lpMemory && memory->dSize) return DXFILEERR_BADVALUE;
        data = static_cast<const uint8_t*>(memory->lpMemory);
        size = memory->dSize;
        break;
      }
      case DXFILELOAD_FROMRESOURCE: {
        const auto* resource = static_cast<const DXFILELOADRESOURCE*>(source);
        HRSRC found = FindResourceA(resource->hModule, resource->lpName, resource->lpType);
        if (!found) return DXFILEERR_RESOURCENOTFOUND;
        data = static_cast<const uint8_t*>(LockResource(LoadResource(resource->hModule, found)));
        size = SizeofResource(resource->hModule, found);
        if (!data) return DXFILEERR_BADRESOURCE;
        break;
      }
      default: return DXFILEERR_BADVALUE;
    }
    // A file's templates join the reader's only when the whole file parsed.
    XTemplateRegistry registry = m_registry;
    auto doc = std::make_shared<XDocument>();
    XParser parser(registry);
    HRESULT hr = parser.Parse(data, size, doc.get());
    if (FAILED(hr)) return hr;
    m_registry = registry;
    *enumObject = new EnumObject(std::move(doc));
    return S_OK;
  }

  HRESULT CreateSaveObject(LPCSTR, DXFILEFORMAT, LPDIRECTXFILESAVEOBJECT* saveObject) override {
    if (saveObject) *saveObject = nullptr;
    return DXFILEERR_NOTDONEYET;
  }

  HRESULT RegisterTemplates(LPVOID data, DWORD size) override {
    if (!data) return DXFILEERR_BADVALUE;
    XTemplateRegistry registry = m_registry;
    XParser parser(registry);
    HRESULT hr = parser.Parse(static_cast<const uint8_t*>(data), size, nullptr);
    if (FAILED(hr)) return hr;
    m_registry = registry;
    return S_OK;
  }

 private:
  XTemplateRegistry m_registry;
};

}  // namespace

}  // namespace xfile

HRESULT DirectXFileCreate(LPDIRECTXFILE* file) {
  if (!file) return DXFILEERR_BADVALUE;
  *file = new xfile::DirectXFile();
  return S_OK;
}

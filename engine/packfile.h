// Reader of packed archives: one file of named entries (images) behind a directory whose
// names, offsets and sizes are scrambled with the key tables below. The archive is mapped
// privately, so unscrambling works on the process's own copy and never reaches the file.
#pragma once

#include <cstddef>

#include "platform/d3d8/d3d8.h"
#include "platform/win32/win32.h"

class CPackFile {
 public:
  // Archive versions; 1025 also scrambles the first ten data bytes of every entry.
  static constexpr DWORD kVersionPlain = 1024;
  static constexpr DWORD kVersionScrambledHeads = 1025;
  static constexpr DWORD kScrambledHeadBytes = 10;
  static constexpr DWORD kMaxEntries = 255;

  // The keys an archive must have been written with (a writer uses the same).
  static const BYTE kCountKey;
  static const BYTE kNameKeys[8];
  static const BYTE kNumberKeys[32];
  // Key of entry i: name byte i mod 8; number word (i mod 32) div 4 (little-endian).
  static BYTE NameKey(DWORD index);
  static DWORD NumberKey(DWORD index);

  CPackFile();
  ~CPackFile();
  CPackFile(const CPackFile&) = delete;
  CPackFile& operator=(const CPackFile&) = delete;

  // Maps the archive and reads its directory; 1 on success. A damaged archive is
  // rejected as a whole and leaves the reader closed; a second Open first closes the first.
  // The device is borrowed for the texture operations.
  BOOL Open(IDirect3DDevice8* pDevice, const char* strFileName);
  void Close();
  void FreeDirectory();

  DWORD GetCount() const { return m_dwCount; }
  // Index of the first entry of exactly this name, or -1.
  INT Find(const char* strName) const;
  // Null / 0 for an index outside the directory.
  const BYTE* GetData(INT index) const;
  DWORD GetSize(INT index) const;
  const char* GetName(INT index) const;

  // 1 on success; 0 for a bad index or name, no device, or a failed creation.
  BOOL CreateTexture(INT index, IDirect3DTexture8** ppTexture);
  BOOL CreateTextureEx(INT index, IDirect3DTexture8** ppTexture, D3DCOLOR colorKey);
  BOOL CreateTextureByName(const char* strName, IDirect3DTexture8** ppTexture);
  BOOL CreateTextureExByName(const char* strName, IDirect3DTexture8** ppTexture, D3DCOLOR colorKey);

  // With names: the textures of the first n names. Without (null): the first n entries,
  // or every entry when n is 0 or not below the entry count. Texture k goes to element k
  // of ppTextures, which holds dwCapacity elements: a call that would make more is
  // refused (0) and writes nothing. Stops at the first failure and returns 0; the
  // elements it did not fill are null, the ones before the failure hold their textures.
  BOOL CreateTextures(const char* const* ppNames, IDirect3DTexture8** ppTextures, DWORD n, DWORD dwCapacity);
  BOOL CreateTexturesEx(const char* const* ppNames, IDirect3DTexture8** ppTextures, DWORD n, DWORD dwCapacity,
                        D3DCOLOR colorKey);

  // How many textures CreateTextures makes for these arguments.
  DWORD TexturesToCreate(const char* const* ppNames, DWORD n) const;

 private:
  BOOL ReadDirectory();
  void UnscrambleHeads();
  BOOL MakeTexture(INT index, IDirect3DTexture8** ppTexture, bool bEx, D3DCOLOR colorKey);
  BOOL MakeTextures(const char* const* ppNames, IDirect3DTexture8** ppTextures, DWORD n, DWORD dwCapacity, bool bEx,
                    D3DCOLOR colorKey);

  IDirect3DDevice8* m_pDevice = nullptr;
  BYTE* m_pView = nullptr;  // private copy-on-write mapping of the whole file
  size_t m_qwViewSize = 0;
  DWORD* m_pOffsets = nullptr;
  DWORD* m_pSizes = nullptr;
  DWORD m_dwCount = 0;
  char** m_ppNames = nullptr;
  BYTE m_bScrambledHeads = 0;
};

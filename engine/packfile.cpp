#include "engine/packfile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "platform/d3dx/d3dx8.h"

const BYTE CPackFile::kCountKey = 0xA7;
const BYTE CPackFile::kNameKeys[8] = {0x5C, 0xE1, 0x3B, 0x92, 0x0F, 0xD4, 0x68, 0xAB};
const BYTE CPackFile::kNumberKeys[32] = {
    0x3D, 0x91, 0xC4, 0x5E, 0x72, 0x0B, 0xE8, 0xA6, 0x19, 0xF3, 0x4C, 0x87, 0xB0, 0x2A, 0x65, 0xDE,
    0x58, 0xC9, 0x13, 0x7F, 0xE4, 0x36, 0xAD, 0x02, 0x9B, 0x6E, 0xF1, 0x44, 0x27, 0xD8, 0x80, 0x5A,
};

namespace {

DWORD ReadLE32(const BYTE* p) {
  return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16 |
         static_cast<DWORD>(p[3]) << 24;
}

}  // namespace

BYTE CPackFile::NameKey(DWORD index) { return kNameKeys[index % 8]; }

DWORD CPackFile::NumberKey(DWORD index) { return ReadLE32(&kNumberKeys[(index % 32) / 4 * 4]); }

CPackFile::CPackFile() = default;

CPackFile::~CPackFile() {
  Close();
  FreeDirectory();
}

BOOL CPackFile::Open(IDirect3DDevice8* pDevice, const char* strFileName) {
  Close();
  FreeDirectory();
  m_pDevice = pDevice;
  if (!strFileName) return 0;

  const int fd = ::open(strFileName, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 5) {
    ::close(fd);
    return 0;
  }
  const size_t size = static_cast<size_t>(st.st_size);
  // Private and writable: unscrambling changes only this process's pages.
  void* view = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE, fd, 0);
  ::close(fd);  // the mapping keeps the file alive
  if (view == MAP_FAILED) return 0;
  m_pView = static_cast<BYTE*>(view);
  m_qwViewSize = size;

  const DWORD version = ReadLE32(m_pView);
  m_bScrambledHeads = version == kVersionScrambledHeads ? 1 : 0;
  if ((version != kVersionPlain && version != kVersionScrambledHeads) || !ReadDirectory()) {
    Close();
    FreeDirectory();
    return 0;
  }
  if (m_bScrambledHeads) UnscrambleHeads();
  return 1;
}

// Reads every entry head; every position is checked in 64-bit arithmetic against the
// mapped size before it is read, and every entry's data must lie inside the file, as
// must the ten scrambled bytes from its start in a version 1025 archive, however short
// the entry.
BOOL CPackFile::ReadDirectory() {
  const uint64_t fileSize = m_qwViewSize;
  const DWORD count = static_cast<BYTE>(m_pView[4] ^ kCountKey);
  m_pOffsets = new DWORD[count + 1]();
  m_pSizes = new DWORD[count + 1]();
  m_ppNames = new char*[count + 1]();

  uint64_t pos = 5;
  for (DWORD i = 0; i < count; ++i) {
    if (pos + 1 > fileSize) return 0;
    const BYTE key = NameKey(i);
    const DWORD length = static_cast<BYTE>(m_pView[pos] ^ key);
    if (pos + 1 + length + 8 > fileSize) return 0;
    char* name = new char[length + 1];
    for (DWORD c = 0; c < length; ++c) name[c] = static_cast<char>(m_pView[pos + 1 + c] ^ key);
    name[length] = '\0';
    m_ppNames[i] = name;
    m_dwCount = i + 1;  // so FreeDirectory frees the names read so far
    const BYTE* numbers = m_pView + pos + 1 + length;
    const DWORD offset = ReadLE32(numbers) ^ NumberKey(i);
    const DWORD dataSize = ReadLE32(numbers + 4) ^ NumberKey(i);
    if (static_cast<uint64_t>(offset) + dataSize > fileSize) return 0;
    if (m_bScrambledHeads && static_cast<uint64_t>(offset) + kScrambledHeadBytes > fileSize) return 0;
    m_pOffsets[i] = offset;
    m_pSizes[i] = dataSize;
    pos += 1 + length + 8;
  }
  m_dwCount = count;
  return 1;
}

// Ten bytes from the start of each entry, entry by entry in directory order, as the
// archives were written: a short entry's ten bytes run on into what follows it, and
// ranges that overlap are unscrambled once for each entry, so where two cover the
// same byte they cancel out. ReadDirectory has checked that every range is inside.
void CPackFile::UnscrambleHeads() {
  for (DWORD i = 0; i < m_dwCount; ++i) {
    BYTE* head = m_pView + m_pOffsets[i];
    for (DWORD b = 0; b < kScrambledHeadBytes; ++b) head[b] ^= kCountKey;
  }
}

// The private view is dropped whole, so nothing needs scrambling back before it goes,
// and the directory (a separate copy) may be freed before or after.
void CPackFile::Close() {
  if (m_pView) ::munmap(m_pView, m_qwViewSize);
  m_pView = nullptr;
  m_qwViewSize = 0;
  m_bScrambledHeads = 0;
}

void CPackFile::FreeDirectory() {
  if (m_ppNames) {
    for (DWORD i = 0; i < m_dwCount; ++i) delete[] m_ppNames[i];
  }
  delete[] m_ppNames;
  delete[] m_pOffsets;
  delete[] m_pSizes;
  m_ppNames = nullptr;
  m_pOffsets = nullptr;
  m_pSizes = nullptr;
  m_dwCount = 0;
}

INT CPackFile::Find(const char* strName) const {
  if (!strName) return -1;
  for (DWORD i = 0; i < m_dwCount; ++i) {
    if (std::strcmp(m_ppNames[i], strName) == 0) return static_cast<INT>(i);
  }
  return -1;
}

const BYTE* CPackFile::GetData(INT index) const {
  if (index < 0 || static_cast<DWORD>(index) >= m_dwCount || !m_pView) return nullptr;
  return m_pView + m_pOffsets[index];
}

DWORD CPackFile::GetSize(INT index) const {
  if (index < 0 || static_cast<DWORD>(index) >= m_dwCount) return 0;
  return m_pSizes[index];
}

const char* CPackFile::GetName(INT index) const {
  if (index < 0 || static_cast<DWORD>(index) >= m_dwCount) return nullptr;
  return m_ppNames[index];
}

BOOL CPackFile::MakeTexture(INT index, IDirect3DTexture8** ppTexture, bool bEx, D3DCOLOR colorKey) {
  if (!ppTexture) return 0;
  *ppTexture = nullptr;
  const BYTE* data = GetData(index);
  if (!data || !m_pDevice) return 0;
  HRESULT hr;
  if (bEx) {
    hr = D3DXCreateTextureFromFileInMemoryEx(m_pDevice, data, GetSize(index), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT,
                                             0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, colorKey,
                                             nullptr, nullptr, ppTexture);
  } else {
    hr = D3DXCreateTextureFromFileInMemory(m_pDevice, data, GetSize(index), ppTexture);
  }
  if (FAILED(hr)) {
    *ppTexture = nullptr;
    return 0;
  }
  return 1;
}

BOOL CPackFile::CreateTexture(INT index, IDirect3DTexture8** ppTexture) {
  return MakeTexture(index, ppTexture, false, 0);
}

BOOL CPackFile::CreateTextureEx(INT index, IDirect3DTexture8** ppTexture, D3DCOLOR colorKey) {
  return MakeTexture(index, ppTexture, true, colorKey);
}

BOOL CPackFile::CreateTextureByName(const char* strName, IDirect3DTexture8** ppTexture) {
  return MakeTexture(Find(strName), ppTexture, false, 0);
}

BOOL CPackFile::CreateTextureExByName(const char* strName, IDirect3DTexture8** ppTexture, D3DCOLOR colorKey) {
  return MakeTexture(Find(strName), ppTexture, true, colorKey);
}

DWORD CPackFile::TexturesToCreate(const char* const* ppNames, DWORD n) const {
  if (ppNames) return n;
  return (n == 0 || n >= m_dwCount) ? m_dwCount : n;
}

BOOL CPackFile::MakeTextures(const char* const* ppNames, IDirect3DTexture8** ppTextures, DWORD n, DWORD dwCapacity,
                             bool bEx, D3DCOLOR colorKey) {
  const DWORD total = TexturesToCreate(ppNames, n);
  if (!ppTextures || total > dwCapacity) return 0;
  for (DWORD k = 0; k < total; ++k) ppTextures[k] = nullptr;
  for (DWORD k = 0; k < total; ++k) {
    const INT index = ppNames ? Find(ppNames[k]) : static_cast<INT>(k);
    if (!MakeTexture(index, &ppTextures[k], bEx, colorKey)) return 0;
  }
  return 1;
}

BOOL CPackFile::CreateTextures(const char* const* ppNames, IDirect3DTexture8** ppTextures, DWORD n, DWORD dwCapacity) {
  return MakeTextures(ppNames, ppTextures, n, dwCapacity, false, 0);
}

BOOL CPackFile::CreateTexturesEx(const char* const* ppNames, IDirect3DTexture8** ppTextures, DWORD n, DWORD dwCapacity,
                                 D3DCOLOR colorKey) {
  return MakeTextures(ppNames, ppTextures, n, dwCapacity, true, colorKey);
}

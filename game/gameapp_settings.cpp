// The twelve settings kept between runs as 32-bit registry values: read before the
// window exists (the display size and depth become the creation mode), checked, and
// written back at the final clean-up, where a refused write logs the error entry.
#include "engine/gamecontext.h"
#include "game/gameapp.h"
#include "platform/win32/registry.h"
#include "shell/dxutil_registry.h"

const char SETTINGS_KEY[] = "Software\\Marbek\\Vantorel";

namespace {

bool InRange(DWORD value, DWORD low, DWORD high) { return value >= low && value <= high; }

bool KeptSize(DWORD width, DWORD height) {
  return (width == 640 && height == 480) || (width == 800 && height == 600) || (width == 1024 && height == 768);
}

// Reads a number straight into a context field, defaulting to what the field holds;
// a value outside low..high (as unsigned) becomes `fallback`.
void ReadChecked(HKEY key, const char* name, INT* field, DWORD low, DWORD high, INT fallback) {
  DWORD value = static_cast<DWORD>(*field);
  DXUtil_ReadIntRegKey(key, name, &value, value);
  *field = InRange(value, low, high) ? static_cast<INT>(value) : fallback;
}

// Two switches read through one scratch value: a missing second value keeps what the
// first one gave. A switch is on only when its value is exactly 1.
void ReadSwitchPair(HKEY key, const char* first, BYTE* firstFlag, const char* second, BYTE* secondFlag) {
  DWORD scratch = 0;
  DXUtil_ReadIntRegKey(key, first, &scratch, scratch);
  *firstFlag = scratch == 1 ? 1 : 0;
  DXUtil_ReadIntRegKey(key, second, &scratch, scratch);
  *secondFlag = scratch == 1 ? 1 : 0;
}

}  // namespace

void CGameApp::ReadSettings() {
  CGameContext* c = m_pContext;
  HKEY key = nullptr;
  DWORD disposition = 0;
  const bool opened = RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                      &disposition) == ERROR_SUCCESS;
  if (opened) {
    DXUtil_ReadIntRegKey(key, "Width", &m_dwCreationWidth, m_dwCreationWidth);
    DXUtil_ReadIntRegKey(key, "Height", &m_dwCreationHeight, m_dwCreationHeight);
    if (!KeptSize(m_dwCreationWidth, m_dwCreationHeight)) {
      m_dwCreationWidth = 640;
      m_dwCreationHeight = 480;
    }
    DXUtil_ReadIntRegKey(key, "MinDep", &m_dwMinDepthBits, 24);
    if (m_dwMinDepthBits != 16 && m_dwMinDepthBits != 24) m_dwMinDepthBits = 24;
    ReadSwitchPair(key, "HiRes", &c->m_bHiRes, "Environ", &c->m_bEnviron);
    ReadChecked(key, "MusType", &c->m_nMusType, 0, 3, 0);
    ReadChecked(key, "MusVolume", &c->m_nMusVolume, 1, 250, 80);
    ReadChecked(key, "SoundVolume", &c->m_nSoundVolume, 1, 250, 180);
    ReadSwitchPair(key, "PlateMov", &c->m_bPlateMov, "FloorType", &c->m_bFloorType);
    ReadChecked(key, "FloorTex", &c->m_nFloorTex, 0, 4, 0);
    ReadChecked(key, "MoveMode", &c->m_nMoveMode, 0, 4, 4);
    RegCloseKey(key);
    Log("Read Settings.................................Ok\n");
    if (disposition == REG_OPENED_EXISTING_KEY) return;
  }
  // A first run (the key was just made) or a key that cannot be opened: defaults.
  Log("Read Settings....Fucking SHIT!!! Erorr occuried!\n");
  m_dwCreationWidth = 640;
  m_dwCreationHeight = 480;
  m_dwMinDepthBits = 24;
  c->m_bHiRes = 1;
  c->m_bEnviron = 1;
  c->m_nMusType = 0;
  c->m_nMusVolume = 80;
  c->m_nSoundVolume = 180;
  c->m_bPlateMov = 0;
  c->m_bFloorType = 0;
  c->m_nFloorTex = 0;
  c->m_nMoveMode = 4;
}

void CGameApp::WriteSettings() {
  CGameContext* c = m_pContext;
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    Log("Write Settings...Fucking SHIT!!! Erorr occuried!\n");
    return;
  }
  // Every value is written even after one fails, but a store that refused any of them
  // (read-only, full disk) is not reported as written.
  bool written = true;
  auto write = [key, &written](const char* name, DWORD value) {
    written = SUCCEEDED(DXUtil_WriteIntRegKey(key, name, value)) && written;
  };
  write("Width", c->m_dwWidth);
  write("Height", c->m_dwHeight);
  write("MinDep", m_dwMinDepthBits);
  write("HiRes", c->m_bHiRes ? 1 : 0);
  write("Environ", c->m_bEnviron ? 1 : 0);
  write("MusType", static_cast<DWORD>(c->m_nMusType));
  write("MusVolume", static_cast<DWORD>(c->m_nMusVolume));
  write("SoundVolume", static_cast<DWORD>(c->m_nSoundVolume));
  write("PlateMov", c->m_bPlateMov ? 1 : 0);
  write("FloorType", c->m_bFloorType ? 1 : 0);
  write("FloorTex", static_cast<DWORD>(c->m_nFloorTex));
  write("MoveMode", static_cast<DWORD>(c->m_nMoveMode));
  RegCloseKey(key);
  Log(written ? "Write Settings................................Ok\n"
              : "Write Settings...Fucking SHIT!!! Erorr occuried!\n");
}

// The context's services: sound and input start-up and close, sound effects,
// samples, songs and textures by name from the resource library, the pick ray.
#include <cstdint>
#include <cstring>

#include "engine/gamecontext.h"
#include "engine/resourcebytes.h"
#include "engine/samplecache.h"
#include "engine/texturecache.h"
#include "platform/win32/com.h"

namespace {

const char kResourceLibrary[] = "res.dll";
const int kMixRate = 44100;
const int kSoundChannels = 32;
const int kSoundInitTries = 11;
const DWORD kSoundInitPauseMs = 20;

void Log(const CGameContext& context, const char* strEntry) { context.WriteLog(strEntry); }

void Warn(const CGameContext& context, const char* strText) { MessageBoxA(context.m_hWnd, strText, "Warning", MB_OK); }

// The start values of every field that the game application has not filled before
// Init (log, device, caches, settings and back-buffer size are left alone).
void SetStartValues(CGameContext& c) {
  c.m_bInactive = 0;
  c.m_strResLib = kResourceLibrary;
  c.m_dwTime = GetTickCount();
  c.m_dwElapsed = 0;

  c.m_bPickRequest = 0;
  c.m_pBallHit = nullptr;
  c.m_pSelectedBall = nullptr;
  c.m_bCellHit = 0;
  c.m_bCellConfirmed = 0;
  c.m_fBallHitDist = 1000.0f;

  c.m_bMiddleButton = 0;
  c.m_fPickDirX = c.m_fPickDirY = 0.0f;
  c.m_fCursorX = c.m_fCursorY = 0.0f;
  c.m_bClick = 0;
  c.m_fMouseDX = c.m_fMouseDY = c.m_fMouseWheel = 0.0f;

  c.m_bSound = 0;

  c.m_nScore = 0;
  c.m_nBestScore = 0;
  c.m_dwLightIndex = 0;
  c.m_dwMode = GAMEMODE_INTRO;
  c.m_nPathLength = 0;
  c.m_bUndoAvailable = 0;
  c.m_bFlyInPending = 1;

  c.m_bNewGameRequest = 0;
  c.m_bGameOverRequest = 0;
  c.m_bSaveRecordsRequest = 0;
  c.m_bModeChangeRequest = 0;
  c.m_bKeyMinus = c.m_bKeyPlus = 0;
  c.m_bKeyUp = c.m_bKeyDown = c.m_bKeyPageUp = c.m_bKeyPageDown = c.m_bKeyLeft = c.m_bKeyRight = 0;
  c.m_bUndoRequest = 0;
  c.m_bIdle = 1;
  c.m_dwRecordsState = 1;
  c.m_dwEditRow = RECORD_ROWS;
  c.m_bRebuildBalls = 0;
  c.m_bQuitRequest = 0;
}

// Stops the song and closes the sound library if it was started, whatever became
// of m_bSound since: the library frees the samples and songs it still holds.
void StopSound(CGameContext& c) {
  if (c.m_bSoundStarted) {
    if (c.m_pSong) {
      FMUSIC_StopSong(c.m_pSong);
      FMUSIC_FreeSong(c.m_pSong);
      c.m_pSong = nullptr;
    }
    FSOUND_Close();
  }
  c.m_bSoundStarted = 0;
  c.m_bSound = 0;
}

void StartSound(CGameContext& c) {
  StopSound(c);
  if (FSOUND_GetVersion() < FMOD_VERSION) {
    Log(c, "FAIL: You are using the wrong FMOD.DLL version!\n");
    return;
  }
  if (!FSOUND_SetOutput(FSOUND_OUTPUT_DSOUND)) {
    Log(c, "FAIL: Can not set DSOUND output in FMOD!\n");
    return;
  }
  if (!FSOUND_SetDriver(0)) {
    Log(c, "FAIL: Can not set default driver in FMOD!\n");
    return;
  }
  // The audio device may still be held by a program that is closing: a few short waits.
  for (int nTry = 1; nTry <= kSoundInitTries; ++nTry) {
    if (FSOUND_Init(kMixRate, kSoundChannels, FSOUND_INIT_USEDEFAULTMIDISYNTH)) {
      c.m_bSound = 1;
      c.m_bSoundStarted = 1;
      return;
    }
    if (nTry < kSoundInitTries) Sleep(kSoundInitPauseMs);
  }
  Log(c, "FAIL: Can not INIT FSOUND in FMOD!\n");
}

template <typename T>
void ReleaseAndNull(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

void ReleaseDevice(IDirectInputDevice8*& pDevice) {
  if (pDevice) pDevice->Unacquire();
  ReleaseAndNull(pDevice);
}

void StartInput(CGameContext& c) {
  ReleaseAndNull(c.m_pKeyboard);
  ReleaseAndNull(c.m_pMouse);
  ReleaseAndNull(c.m_pDI);

  void* pDI = nullptr;
  if (FAILED(DirectInput8Create(c.m_hInst, DIRECTINPUT_VERSION, IID_IDirectInput8A, &pDI, nullptr)) || !pDI) {
    Warn(c, "Don't create DirectInput8");
    return;
  }
  c.m_pDI = static_cast<IDirectInput8*>(pDI);

  if (FAILED(c.m_pDI->CreateDevice(GUID_SysKeyboard, &c.m_pKeyboard, nullptr)) || !c.m_pKeyboard) {
    c.m_pKeyboard = nullptr;
    Warn(c, "Don't create KeyBoard Device");
  } else if (FAILED(c.m_pKeyboard->SetDataFormat(&c_dfDIKeyboard))) {
    // Without its format the device would be read as something else: it stays unacquired.
    Log(c, "FAIL: Can not set keyboard data format!\n");
  } else {
    c.m_pKeyboard->SetCooperativeLevel(c.m_hWnd, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
    c.m_pKeyboard->Acquire();
  }

  if (FAILED(c.m_pDI->CreateDevice(GUID_SysMouse, &c.m_pMouse, nullptr)) || !c.m_pMouse) {
    c.m_pMouse = nullptr;
    Warn(c, "Don't create Mouse Device");
  } else if (FAILED(c.m_pMouse->SetDataFormat(&c_dfDIMouse))) {
    Warn(c, "Don't set Mouse Format");
  } else if (FAILED(c.m_pMouse->SetCooperativeLevel(c.m_hWnd, DISCL_EXCLUSIVE | DISCL_FOREGROUND))) {
    Warn(c, "Don't set Mouse Cooperative Level");
  } else {
    c.m_pMouse->Acquire();
  }
}

float FloatFromBits(uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

uint32_t BitsFromFloat(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return bits;
}

}  // namespace

void CGameContext::Init(HWND hWnd, HINSTANCE hInst) {
  CoInitialize(nullptr);
  m_hWnd = hWnd;
  m_hInst = hInst;
  SetStartValues(*this);
  StartSound(*this);
  StartInput(*this);
  m_bReacquireMouse = 0;
  m_pCamera = nullptr;
  D3DXMatrixIdentity(&m_matInvView);
}

void CGameContext::Close() {
  StopSound(*this);
  ReleaseDevice(m_pMouse);
  ReleaseDevice(m_pKeyboard);
  ReleaseAndNull(m_pDI);
  CoUninitialize();
}

HRESULT CGameContext::AcquireDevice(IDirectInputDevice8* pDevice) {
  if (pDevice) pDevice->Acquire();
  return S_OK;
}

HRESULT CGameContext::PlaySound(const char* strName) {
  if (!m_bSound) return S_OK;
  FSOUND_SAMPLE* pSample = nullptr;
  if (FAILED(LoadSample(strName, &pSample))) return S_OK;
  // Set before every effect, so a change in the options applies to the next one.
  FSOUND_SetSFXMasterVolume(m_nSoundVolume);
  FSOUND_PlaySound(FSOUND_FREE, pSample);
  return S_OK;
}

HRESULT CGameContext::LoadSample(const char* strName, FSOUND_SAMPLE** ppSample) {
  if (!ppSample) return E_FAIL;
  *ppSample = nullptr;
  if (!strName || !strName[0] || !m_pSampleCache) return E_FAIL;
  if (SUCCEEDED(m_pSampleCache->Find(strName, ppSample))) return S_OK;

  CResourceBytes resource(m_strResLib, strName);
  if (resource.GetResult() != CResourceBytes::OK) return E_FAIL;
  FSOUND_SAMPLE* pSample = FSOUND_Sample_Load(FSOUND_FREE, static_cast<const char*>(resource.Bytes()),
                                              FSOUND_LOADMEMORY | FSOUND_LOOP_OFF, resource.Size());
  if (!pSample) return E_FAIL;
  m_pSampleCache->Add(pSample, strName);
  *ppSample = pSample;
  return S_OK;
}

HRESULT CGameContext::LoadSong(const char* strName, FMUSIC_MODULE** ppSong) {
  if (!ppSong) return E_FAIL;
  CResourceBytes resource(m_strResLib, strName);
  switch (resource.GetResult()) {
    case CResourceBytes::NO_LIBRARY:
      Log(*this, "FAIL: Can not load library in FMOD!\n");
      return E_FAIL;
    case CResourceBytes::NO_RESOURCE:
      Log(*this, "FAIL: Can not find resource in FMOD!\n");
      return E_FAIL;
    case CResourceBytes::BAD_SIZE:
      Log(*this, "FAIL: Can not size define in FMOD!\n");
      return E_FAIL;
    case CResourceBytes::NOT_LOADED:
      Log(*this, "FAIL: Can not load resource in FMOD!\n");
      return E_FAIL;
    case CResourceBytes::NOT_LOCKED:
      Log(*this, "FAIL: Can not lock resource in FMOD!\n");
      return E_FAIL;
    case CResourceBytes::OK:
      break;
  }
  // The new song must load before the current one goes: a rejected one changes nothing.
  FMUSIC_MODULE* pSong = FMUSIC_LoadSongMemory(resource.Bytes(), resource.Size());
  if (!pSong) {
    Log(*this, "FAIL: Can not load song in FMOD!\n");
    return E_FAIL;
  }
  if (*ppSong) {
    FMUSIC_StopSong(*ppSong);
    FMUSIC_FreeSong(*ppSong);
  }
  *ppSong = pSong;
  return S_OK;
}

HRESULT CGameContext::LoadTexture(const char* strName, DWORD dwColorKey, BYTE bUseKey) {
  if (!strName || !strName[0] || !m_pTextureCache) return E_FAIL;
  IDirect3DTexture8* pTexture = nullptr;
  if (SUCCEEDED(m_pTextureCache->Find(strName, &pTexture))) return S_OK;
  if (!m_pd3dDevice) return E_FAIL;

  CResourceBytes resource(m_strResLib, strName);
  if (resource.GetResult() != CResourceBytes::OK) return E_FAIL;
  const UINT uSize = static_cast<UINT>(resource.Size());
  HRESULT hr;
  if (bUseKey)
    hr = D3DXCreateTextureFromFileInMemoryEx(m_pd3dDevice, resource.Bytes(), uSize, 0, 0, 0, 0, D3DFMT_UNKNOWN,
                                             D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, dwColorKey, nullptr, nullptr,
                                             &pTexture);
  else
    hr = D3DXCreateTextureFromFileInMemory(m_pd3dDevice, resource.Bytes(), uSize, &pTexture);
  if (FAILED(hr) || !pTexture) {
    if (pTexture) pTexture->Release();
    return E_FAIL;
  }
  m_pTextureCache->Add(pTexture, strName);  // the cache keeps the reference
  return S_OK;
}

HRESULT CGameContext::GetPickRay(D3DXVECTOR3* pDirection, D3DXVECTOR3* pOrigin) {
  const D3DXVECTOR3 v(m_fPickDirX, m_fPickDirY, 1.0f);
  D3DXMATRIX m;
  // Before the camera has set a view there is nothing to invert: a ray from the origin along +z.
  if (!D3DXMatrixInverse(&m, nullptr, &m_matView)) D3DXMatrixIdentity(&m);
  if (pDirection) D3DXVec3TransformNormal(pDirection, &v, &m);
  if (pOrigin) {
    pOrigin->x = m._41;
    pOrigin->y = m._42;
    pOrigin->z = m._43;
  }
  return S_OK;
}

float FastInvSqrt(float x) {
  // A first estimate from the bit pattern (shifted with its sign copied), one rough
  // and one exact Newton step.
  const uint32_t uDiff = 0xBE800000u - BitsFromFloat(x);
  const float y0 = FloatFromBits((uDiff >> 1) | (uDiff & 0x80000000u));
  float y1 = (1.47f - 0.47f * x * y0 * y0) * y0;
  y1 = FloatFromBits(BitsFromFloat(y1) & 0x7FFFFFFFu);
  return (3.0f - y1 * y1 * x) * y1 * 0.5f;
}

float FastSqrt(float x) {
  // The estimate of 1/sqrt(0) is huge and times 0 gives no number: sqrt(0) is 0.
  if (!(x > 0.0f)) return 0.0f;
  return FastInvSqrt(x) * x;
}

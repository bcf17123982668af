#include "game/intro.h"

#include <cstdlib>

#include "engine/gamecontext.h"
#include "engine/renderqueue.h"
#include "engine/screenquad.h"
#include "engine/texturecache.h"

namespace {

const DWORD kBlack = 0xFF000000;
const DWORD kWhite = 0xFFFFFFFF;
const DWORD kGreyStep = 0x10101;
const float kFadePerMs = 0.3f;
const float kFullLevel = 255.0f;
const DWORD kWaitMs = 1000;
const DWORD kHoldMs = 3000;
const DWORD kEndMs = 500;
const DWORD kHandOverSleepMs = 10;
const FLOAT kDepth = 0.5f;
const char* const kSongs[] = {"GameFone1", "GameFone2", "GameFone3"};
const char kLogo[] = "VantorelLogo";

// Strictly more than `dwSpan` ms since `dwStart`; unsigned, so a tick that wrapped
// past zero in between still counts right.
bool Passed(DWORD dwNow, DWORD dwStart, DWORD dwSpan) { return dwNow - dwStart > dwSpan; }

DWORD GreyOf(float fLevel) {
  const int g = static_cast<int>(fLevel);
  return g <= 255 ? kBlack + static_cast<DWORD>(g) * kGreyStep : kWhite;
}

}  // namespace

CIntro::CIntro(CGameContext* pContext) : CMyObject(pContext), m_dwQuadBytes(QUAD_BYTES) {
  m_nOrder = 10;
  m_dwModeMask = GAMEMODE_INTRO;
  m_strType = "intro";
  m_bVisible = 1;
  m_bDead = 0;
  m_dwPhaseStart = pContext ? pContext->m_dwTime : 0;
  SetQuadRect(m_LogoQuad, 0.0f, 0.0f, 0.0f, 0.0f, kDepth, kDepth, m_dwFadeColor);
  SetQuadTexCoords(m_LogoQuad, 0.0f, 0.0f, 1.0f, 1.0f);
  FillVertices();
  if (pContext) FillQuadBuffer(pContext->m_pd3dDevice, &m_pLogoVB, m_LogoQuad, 1);
}

CIntro::~CIntro() { ReleaseQuadBuffer(&m_pLogoVB); }

HRESULT CIntro::FillVertices() {
  if (!m_pContext) return S_OK;
  const FLOAT w = static_cast<FLOAT>(m_pContext->m_dwWidth), h = static_cast<FLOAT>(m_pContext->m_dwHeight);
  SetQuadRect(m_LogoQuad, 0.0f, 0.0f, w, h, kDepth, kDepth, m_dwFadeColor);
  return S_OK;
}

void CIntro::SetFadeColor(DWORD dwColor) {
  m_dwFadeColor = dwColor;
  SetQuadColor(m_LogoQuad, dwColor);
  if (m_pLogoVB) FillQuadBuffer(m_pContext->m_pd3dDevice, &m_pLogoVB, m_LogoQuad, 1);
}

void CIntro::FadeIn(DWORD dwNow) {
  if (m_dwFadeColor == kWhite) {
    // Full brightness was reached in an earlier frame.
    m_dwPhaseStart = dwNow;
    m_bFadeInPhase = 0;
    m_fFadeLevel = kFullLevel;
    m_pContext->PlaySound("Welcome");
    return;
  }
  m_fFadeLevel += static_cast<float>(m_pContext->m_dwElapsed) * kFadePerMs;
  SetFadeColor(GreyOf(m_fFadeLevel));
}

void CIntro::FadeOut(DWORD dwNow) {
  if (m_dwFadeColor == kBlack) {
    m_dwPhaseStart = dwNow;
    m_bFadeOutPhase = 0;
    m_fFadeLevel = 0.0f;
    return;
  }
  m_fFadeLevel -= static_cast<float>(m_pContext->m_dwElapsed) * kFadePerMs;
  SetFadeColor(m_fFadeLevel <= 0.0f ? kBlack : GreyOf(m_fFadeLevel));
}

void CIntro::StartFirstSong() {
  CGameContext* c = m_pContext;
  if (!c->m_bSound) {
    c->WriteLog("FAIL: Can not load FMOD SONG\n");
    return;
  }
  HRESULT hr;
  if (c->m_nMusType == 0) {
    hr = c->LoadSong(kSongs[std::rand() % 3], &c->m_pSong);
    // Played once: the game application starts the next random song when it ends.
    if (SUCCEEDED(hr)) FMUSIC_SetLooping(c->m_pSong, FALSE);
  } else if (c->m_nMusType >= 1 && c->m_nMusType <= 3) {
    hr = c->LoadSong(kSongs[c->m_nMusType - 1], &c->m_pSong);
  } else {
    return;
  }
  // A failed load keeps whatever was loaded before: nothing is started then.
  if (FAILED(hr)) return;
  FMUSIC_SetMasterVolume(c->m_pSong, c->m_nMusVolume);
  FMUSIC_PlaySong(c->m_pSong);
}

void CIntro::End() {
  m_bEndPhase = 0;
  DeleteDeviceObjects();
  // The logo is never shown again: its memory goes back before the scene's peak.
  if (m_pContext->m_pTextureCache) m_pContext->m_pTextureCache->Remove(kLogo);
  m_bDead = 1;
  m_pContext->m_dwMode = GAMEMODE_FLYIN;
  m_pContext->m_bNewGameRequest = 1;
  StartFirstSong();
  Sleep(kHandOverSleepMs);
}

HRESULT CIntro::FrameMove() {
  if (!m_pContext) return S_OK;
  const DWORD dwNow = m_pContext->m_dwTime;
  if (m_bWaitPhase) {
    if (Passed(dwNow, m_dwPhaseStart, kWaitMs)) {
      m_dwPhaseStart = dwNow;
      m_bWaitPhase = 0;
    }
  } else if (m_bFadeInPhase) {
    FadeIn(dwNow);
  } else if (m_bHoldPhase) {
    if (Passed(dwNow, m_dwPhaseStart, kHoldMs)) {
      m_dwPhaseStart = dwNow;
      m_bHoldPhase = 0;
    }
  } else if (m_bFadeOutPhase) {
    FadeOut(dwNow);
  } else if (m_bEndPhase) {
    if (Passed(dwNow, m_dwPhaseStart, kEndMs)) End();
  }
  return S_OK;
}

HRESULT CIntro::Render() {
  // The vertex colour multiplies the picture: the fade is its brightness. Black on
  // black needs no picture, so the first frame does not wait for the logo to load
  // (the scene preloader loads it during the wait).
  QueueScreenQuads(m_pContext, m_pLogoVB, 2, m_bWaitPhase ? "" : kLogo, 0, 0, D3DBLEND_ONE, D3DBLEND_ZERO);
  return S_OK;
}

HRESULT CIntro::RestoreDeviceObjects() {
  FillVertices();
  if (!m_pLogoVB && m_pContext) FillQuadBuffer(m_pContext->m_pd3dDevice, &m_pLogoVB, m_LogoQuad, 1);
  return S_OK;
}

HRESULT CIntro::InvalidateDeviceObjects() {
  ReleaseQuadBuffer(&m_pLogoVB);
  return S_OK;
}

HRESULT CIntro::DeleteDeviceObjects() { return InvalidateDeviceObjects(); }

#include "game/options.h"

#include <cstdlib>
#include <cstring>

#include "engine/gamecontext.h"
#include "engine/renderqueue.h"
#include "engine/screenquad.h"

namespace {

namespace layout = options_layout;
using layout::kGame;
using layout::kSound;
using layout::kVideo;

const FLOAT kDepth = 0.4f;
const char kAtlas[] = "OptTex";
const char* const kSongs[] = {"GameFone1", "GameFone2", "GameFone3"};

// The cursor hits a rectangle only strictly inside every edge.
struct HitRect {
  FLOAT x0, x1, y0, y1;
  bool Contains(FLOAT gx, FLOAT gy) const { return gx > x0 && gx < x1 && gy > y0 && gy < y1; }
};

// Hit rectangles.
const HitRect kEnvironHit = {4.5f, 5.5f, 8.2f, 9.5f};
const HitRect kHiResHit = {4.5f, 5.5f, 6.7f, 8.0f};
const HitRect kModeHits[3] = {{4.3f, 5.8f, 5.1f, 6.4f}, {6.0f, 7.5f, 5.1f, 6.4f}, {7.7f, 9.2f, 5.1f, 6.4f}};
const DWORD kModeSizes[layout::kModes][2] = {{640, 480}, {800, 600}, {1024, 768}};
const HitRect kTrackHits[3] = {{14.4f, 15.2f, 5.2f, 6.2f}, {15.4f, 16.2f, 5.2f, 6.2f}, {16.4f, 17.2f, 5.2f, 6.2f}};
const HitRect kRandomHit = {17.4f, 18.9f, 5.2f, 6.2f};
// The sliders react up to 18.8 only: the last tenth of the bar is dead.
const HitRect kMusicSliderHit = {14.4f, 18.8f, 6.55f, 7.85f};
const HitRect kSoundSliderHit = {14.4f, 18.8f, 8.05f, 9.35f};
const HitRect kPlateHit = {7.8f, 8.8f, 12.3f, 13.6f};
const HitRect kStyleHits[layout::kMoveStyles] = {{7.4f, 9.0f, 14.0f, 14.8f},
                                                 {9.1f, 10.7f, 14.0f, 14.8f},
                                                 {10.8f, 12.4f, 14.0f, 14.8f},
                                                 {12.5f, 14.1f, 14.0f, 14.8f},
                                                 {14.2f, 15.8f, 14.0f, 14.8f}};
const FLOAT kFloorHitX[layout::kFloorTextures][2] = {
    {7.7f, 8.7f}, {9.4f, 10.4f}, {11.1f, 12.1f}, {12.8f, 13.8f}, {14.5f, 15.5f}};
const FLOAT kFloorHitY[2][2] = {{15.8f, 17.1f}, {17.55f, 18.85f}};

void ClearQuads(ScreenVertex* pQuads, DWORD nQuads, D3DCOLOR color) {
  for (DWORD q = 0; q < nQuads; ++q) {
    SetQuadRect(pQuads + q * QUAD_VERTICES, 0.0f, 0.0f, 0.0f, 0.0f, kDepth, kDepth, color);
    SetQuadTexCoords(pQuads + q * QUAD_VERTICES, 0.0f, 0.0f, 0.0f, 0.0f);
  }
}

// Every quad of the panel at its place, for a back buffer of 20 u x 20 v pixels.
void PlacePanel(ScreenVertex* pQuads, layout::Panel panel, FLOAT u, FLOAT v) {
  for (int q = 0; q < layout::kQuads[panel]; ++q) {
    const layout::GridRect r = layout::Place(panel, q);
    SetQuadRect(pQuads + q * QUAD_VERTICES, r.x * u, r.y * v, r.w * u, r.h * v, kDepth, kDepth, layout::kPlainColor);
  }
}

// Every quad of the panel shows its cell in its colour, each in its state.
void ShowPanel(ScreenVertex* pQuads, layout::Panel panel, const bool* pOn) {
  for (int q = 0; q < layout::kQuads[panel]; ++q) {
    const layout::AtlasCell c = layout::Cell(panel, q, pOn[q]);
    SetQuadTexCoords(pQuads + q * QUAD_VERTICES, c.u, c.v, c.du, c.dv);
    SetQuadColor(pQuads + q * QUAD_VERTICES, layout::VertexColor(panel, q, pOn[q]));
  }
}

// Moves a quad sideways only: its left edge to x, its width kept.
void MoveQuadX(ScreenVertex* pQuad, FLOAT x, FLOAT w) {
  const FLOAT xs[QUAD_VERTICES] = {x, x + w, x, x, x + w, x + w};
  for (DWORD k = 0; k < QUAD_VERTICES; ++k) pQuad[k].x = xs[k];
}

}  // namespace

COptions::COptions(CGameContext* pContext) : CMyObject(pContext), m_dwQuadBytes(QUAD_BYTES) {
  m_nOrder = 87;
  m_dwModeMask = GAMEMODE_OPTIONS;
  m_strType = "options";
  m_bVisible = 1;
  m_bDead = 0;
  ClearQuads(m_VideoQuads[0], VIDEO_QUADS, layout::kPlainColor);
  ClearQuads(m_SoundQuads[0], SOUND_QUADS, layout::kPlainColor);
  ClearQuads(m_GameQuads[0], GAME_QUADS, layout::kPlainColor);
  // Laid out at once: a run that never resets its device would otherwise show nothing.
  LayOut();
  FillVideoControls();
  FillSoundControls();
  FillGameControls();
}

COptions::~COptions() { InvalidateDeviceObjects(); }

void COptions::LayOut() {
  ClearQuads(m_VideoQuads[0], VIDEO_QUADS, layout::kPlainColor);
  ClearQuads(m_SoundQuads[0], SOUND_QUADS, layout::kPlainColor);
  ClearQuads(m_GameQuads[0], GAME_QUADS, layout::kPlainColor);
  if (!m_pContext) return;
  const FLOAT u = static_cast<FLOAT>(m_pContext->m_dwWidth) * 5.0f / 100.0f;
  const FLOAT v = static_cast<FLOAT>(m_pContext->m_dwHeight) * 5.0f / 100.0f;
  PlacePanel(m_VideoQuads[0], kVideo, u, v);
  PlacePanel(m_SoundQuads[0], kSound, u, v);
  PlacePanel(m_GameQuads[0], kGame, u, v);
}

bool COptions::IsCurrentMode(DWORD dwWidth, DWORD dwHeight) const {
  return m_pContext->m_dwWidth == dwWidth && m_pContext->m_dwHeight == dwHeight;
}

HRESULT COptions::FillVideoControls() {
  if (!m_pContext) return S_OK;
  const CGameContext& c = *m_pContext;
  bool on[VIDEO_QUADS] = {};
  for (int k = 0; k < layout::kModes; ++k)
    on[layout::VIDEO_MODES + k] = IsCurrentMode(kModeSizes[k][0], kModeSizes[k][1]);
  on[layout::VIDEO_HIRES] = c.m_bHiRes != 0;
  on[layout::VIDEO_ENVIRON] = c.m_bEnviron != 0;
  ShowPanel(m_VideoQuads[0], kVideo, on);
  FillQuadBuffer(c.m_pd3dDevice, &m_pVideoVB, m_VideoQuads[0], VIDEO_QUADS);
  return S_OK;
}

HRESULT COptions::FillSoundControls() {
  if (!m_pContext) return S_OK;
  const CGameContext& c = *m_pContext;
  bool on[SOUND_QUADS] = {};
  for (int k = 0; k < layout::kTracks; ++k) on[layout::SOUND_TRACKS + k] = c.m_nMusType == k + 1;
  on[layout::SOUND_RANDOM] = c.m_nMusType == 0;
  ShowPanel(m_SoundQuads[0], kSound, on);
  const FLOAT u = static_cast<FLOAT>(c.m_dwWidth) * 5.0f / 100.0f;
  const FLOAT w = layout::kSoundPlaces[layout::SOUND_MUSIC_KNOB].w * u;
  MoveQuadX(m_SoundQuads[layout::SOUND_MUSIC_KNOB], layout::KnobX(c.m_nMusVolume) * u, w);
  MoveQuadX(m_SoundQuads[layout::SOUND_EFFECT_KNOB], layout::KnobX(c.m_nSoundVolume) * u, w);
  FillQuadBuffer(c.m_pd3dDevice, &m_pSoundVB, m_SoundQuads[0], SOUND_QUADS);
  return S_OK;
}

HRESULT COptions::FillGameControls() {
  if (!m_pContext) return S_OK;
  const CGameContext& c = *m_pContext;
  bool on[GAME_QUADS] = {};
  on[layout::GAME_PLATE_SWITCH] = c.m_bPlateMov != 0;
  for (int k = 0; k < layout::kMoveStyles; ++k) on[layout::GAME_LAMPS + k] = c.m_nMoveMode == k;
  const int chosen = c.m_nFloorTex + (c.m_bFloorType ? layout::kFloorTextures : 0);
  for (int n = 0; n < layout::kFloorChoices; ++n) on[layout::GAME_FLOORS + n] = n == chosen;
  ShowPanel(m_GameQuads[0], kGame, on);
  FillQuadBuffer(c.m_pd3dDevice, &m_pGameVB, m_GameQuads[0], GAME_QUADS);
  return S_OK;
}

INT COptions::SliderValue(FLOAT gx) {
  if (gx <= 14.5f) return 1;
  if (gx >= 18.58f) return 250;
  return static_cast<INT>((gx - 14.5f) / 4.08f * 249.0f) + 1;
}

void COptions::ChangeSong(INT nMusType) {
  CGameContext& c = *m_pContext;
  FMUSIC_StopSong(c.m_pSong);
  const char* strName = nMusType == 0 ? kSongs[std::rand() % 3] : kSongs[nMusType - 1];
  // A song that fails to load leaves the current one in place; it is started again
  // below, so the player keeps hearing music.
  c.LoadSong(strName, &c.m_pSong);
  FMUSIC_SetLooping(c.m_pSong, nMusType == 0 ? FALSE : TRUE);
  FMUSIC_SetMasterVolume(c.m_pSong, c.m_nMusVolume);
  FMUSIC_PlaySong(c.m_pSong);
}

void COptions::HandleVideo(FLOAT gx, FLOAT gy) {
  CGameContext& c = *m_pContext;
  if (!c.m_bClick) return;
  if (kEnvironHit.Contains(gx, gy)) {
    c.m_bEnviron = c.m_bEnviron ? 0 : 1;
    FillVideoControls();
    c.PlaySound("OptDiodButton");
  }
  if (kHiResHit.Contains(gx, gy)) {
    c.m_bHiRes = c.m_bHiRes ? 0 : 1;
    FillVideoControls();
    c.PlaySound("OptDiodButton");
  }
  for (int k = 0; k < 3; ++k) {
    // Any size but the current one may be asked for, also one that shares a side with it.
    if (kModeHits[k].Contains(gx, gy) && !IsCurrentMode(kModeSizes[k][0], kModeSizes[k][1])) {
      c.m_dwNewWidth = kModeSizes[k][0];
      c.m_dwNewHeight = kModeSizes[k][1];
      c.m_bModeChangeRequest = 1;
      c.PlaySound("OptRedButton");
    }
  }
}

void COptions::HandleSound(FLOAT gx, FLOAT gy) {
  CGameContext& c = *m_pContext;
  for (int k = 0; k < 3; ++k) {
    if (kTrackHits[k].Contains(gx, gy) && c.m_bClick && c.m_nMusType != k + 1 && c.m_bSound) {
      c.m_nMusType = k + 1;
      ChangeSong(k + 1);
      FillSoundControls();
      c.PlaySound("OptRedButton");
    }
  }
  if (kRandomHit.Contains(gx, gy) && c.m_bClick && c.m_nMusType != 0 && c.m_bSound) {
    c.m_nMusType = 0;
    ChangeSong(0);
    FillSoundControls();
    c.PlaySound("OptRedButton");
  }
  if (kMusicSliderHit.Contains(gx, gy) && c.m_bLeftButton && c.m_bSound) {
    c.m_nMusVolume = SliderValue(gx);
    FMUSIC_SetMasterVolume(c.m_pSong, c.m_nMusVolume);
    FillSoundControls();
  }
  if (kSoundSliderHit.Contains(gx, gy)) {
    if (c.m_bLeftButton && c.m_bSound) {
      c.m_nSoundVolume = SliderValue(gx);
      FSOUND_SetSFXMasterVolume(c.m_nSoundVolume);
      FillSoundControls();
    }
    // Heard at the volume just set.
    if (c.m_bClick) c.PlaySound("SoundVolume");
  }
}

void COptions::HandleGame(FLOAT gx, FLOAT gy) {
  CGameContext& c = *m_pContext;
  if (!c.m_bClick) return;
  if (kPlateHit.Contains(gx, gy)) {
    c.m_bPlateMov = c.m_bPlateMov ? 0 : 1;
    FillGameControls();
    c.PlaySound("OptDiodButton");
  }
  // The chosen style acts and sounds again when clicked.
  for (int k = 0; k < layout::kMoveStyles; ++k) {
    if (kStyleHits[k].Contains(gx, gy)) {
      c.m_nMoveMode = k;
      FillGameControls();
      c.PlaySound("OptGreenButton");
    }
  }
  for (int f = 0; f < layout::kFloorTextures; ++f) {
    for (int t = 0; t < 2; ++t) {
      const HitRect hit = {kFloorHitX[f][0], kFloorHitX[f][1], kFloorHitY[t][0], kFloorHitY[t][1]};
      const bool bChosen = c.m_nFloorTex == f && (c.m_bFloorType ? 1 : 0) == t;
      if (hit.Contains(gx, gy) && !bChosen) {
        c.m_nFloorTex = f;
        c.m_bFloorType = static_cast<BYTE>(t);
        FillGameControls();
        c.PlaySound("OptTexsButton");
      }
    }
  }
}

HRESULT COptions::FrameMove() {
  if (!m_pContext) return S_OK;
  const FLOAT gx = (m_pContext->m_fCursorX + 1.0f) * 10.0f;
  const FLOAT gy = (m_pContext->m_fCursorY + 1.0f) * 10.0f;
  HandleVideo(gx, gy);
  HandleSound(gx, gy);
  HandleGame(gx, gy);
  return S_OK;
}

void COptions::QueuePanel(IDirect3DVertexBuffer8* pVB, BYTE bBlend, DWORD dwQuads) {
  QueueScreenQuads(m_pContext, pVB, dwQuads * 2, kAtlas, 1, bBlend, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
}

HRESULT COptions::Render() {
  if (!m_pContext || !m_pContext->m_pRenderQueue) return S_OK;
  QueuePanel(m_pVideoVB, layout::kBlended[kVideo], VIDEO_QUADS);
  QueuePanel(m_pSoundVB, layout::kBlended[kSound], SOUND_QUADS);
  QueuePanel(m_pGameVB, layout::kBlended[kGame], GAME_QUADS);
  return S_OK;
}

HRESULT COptions::RestoreDeviceObjects() {
  LayOut();
  FillVideoControls();
  FillSoundControls();
  FillGameControls();
  return S_OK;
}

HRESULT COptions::InvalidateDeviceObjects() {
  ReleaseQuadBuffer(&m_pVideoVB);
  ReleaseQuadBuffer(&m_pSoundVB);
  ReleaseQuadBuffer(&m_pGameVB);
  return S_OK;
}

HRESULT COptions::DeleteDeviceObjects() { return InvalidateDeviceObjects(); }

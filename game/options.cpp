#include "game/options.h"

#include <cstdlib>
#include <cstring>

#include "engine/gamecontext.h"
#include "engine/renderqueue.h"
#include "engine/screenquad.h"

namespace {

const FLOAT kDepth = 0.4f;
const D3DCOLOR kPlainColor = 0xFFEEEEEE;
const D3DCOLOR kChosenFloor = 0xFFFFFFFF;
const D3DCOLOR kOtherFloor = 0xFFAAAAAA;
const DWORD kAtlasKey = 0xFF000000;
const char kAtlas[] = "OptTex";
const char* const kSongs[] = {"GameFone1", "GameFone2", "GameFone3"};

// A rectangle in grid units (x to the right, y downward, 0..20 over the back buffer).
struct GridRect {
  FLOAT x, y, w, h;
};

// The cursor hits a rectangle only strictly inside every edge.
struct HitRect {
  FLOAT x0, x1, y0, y1;
  bool Contains(FLOAT gx, FLOAT gy) const { return gx > x0 && gx < x1 && gy > y0 && gy < y1; }
};

const GridRect kVideoPlaces[COptions::VIDEO_QUADS] = {
    {1.0f, 5.0f, 3.0f, 1.5f}, {1.0f, 6.9f, 3.0f, 1.0f}, {1.0f, 8.4f, 3.0f, 1.0f}, {4.3f, 5.1f, 1.5f, 1.3f},
    {6.0f, 5.1f, 1.5f, 1.3f}, {7.7f, 5.1f, 1.5f, 1.3f}, {4.5f, 6.7f, 1.0f, 1.3f}, {4.5f, 8.2f, 1.0f, 1.3f},
};
const GridRect kSoundPlaces[COptions::SOUND_QUADS] = {
    {10.85f, 5.05f, 3.0f, 1.3f}, {10.85f, 6.55f, 3.0f, 1.3f}, {10.85f, 8.05f, 3.0f, 1.3f},
    {14.4f, 5.2f, 0.8f, 1.0f},   {15.4f, 5.2f, 0.8f, 1.0f},   {16.4f, 5.2f, 0.8f, 1.0f},
    {17.4f, 5.2f, 1.5f, 1.0f},   {14.4f, 6.55f, 4.5f, 1.3f},  {14.4f, 8.05f, 4.5f, 1.3f},
    {19.0f, 6.55f, 0.2f, 1.3f},  {19.0f, 8.05f, 0.2f, 1.3f},
};
enum { SOUND_TRACK1 = 3, SOUND_RANDOM = 6, SOUND_MUSIC_KNOB = 9, SOUND_EFFECT_KNOB = 10 };
enum { GAME_PLATE_SWITCH = 4, GAME_STYLES = 5, GAME_LAMPS = 10, GAME_FLOORS = 15 };
const int kMoveStyles = 5, kFloorTextures = 5, kFloorChoices = 10;

// Game panel: four labels and the plate switch; the rows of style buttons, lamps and
// floor choices follow a step of 1.7 units.
const GridRect kGamePlaces[GAME_STYLES] = {
    {4.3f, 12.2f, 3.0f, 1.5f}, {4.3f, 13.95f, 3.0f, 1.5f}, {4.3f, 15.7f, 3.0f, 1.5f},
    {4.3f, 17.45f, 3.0f, 1.5f}, {7.8f, 12.3f, 1.0f, 1.3f},
};
GridRect StylePlace(int k) { return {7.4f + 1.7f * k, 14.0f, 1.6f, 0.8f}; }
GridRect LampPlace(int k) { return {7.55f + 1.7f * k, 14.9f, 1.3f, 0.5f}; }
GridRect FloorPlace(int n) { return {7.7f + 1.7f * (n % kFloorTextures), 15.8f + 1.75f * (n / kFloorTextures), 1.0f, 1.3f}; }

// Hit rectangles.
const HitRect kEnvironHit = {4.5f, 5.5f, 8.2f, 9.5f};
const HitRect kHiResHit = {4.5f, 5.5f, 6.7f, 8.0f};
const HitRect kModeHits[3] = {{4.3f, 5.8f, 5.1f, 6.4f}, {6.0f, 7.5f, 5.1f, 6.4f}, {7.7f, 9.2f, 5.1f, 6.4f}};
const DWORD kModeSizes[3][2] = {{640, 480}, {800, 600}, {1024, 768}};
const HitRect kTrackHits[3] = {{14.4f, 15.2f, 5.2f, 6.2f}, {15.4f, 16.2f, 5.2f, 6.2f}, {16.4f, 17.2f, 5.2f, 6.2f}};
const HitRect kRandomHit = {17.4f, 18.9f, 5.2f, 6.2f};
// The sliders react up to 18.8 only: the last tenth of the bar is dead.
const HitRect kMusicSliderHit = {14.4f, 18.8f, 6.55f, 7.85f};
const HitRect kSoundSliderHit = {14.4f, 18.8f, 8.05f, 9.35f};
const HitRect kPlateHit = {7.8f, 8.8f, 12.3f, 13.6f};
const HitRect kStyleHits[kMoveStyles] = {{7.4f, 9.0f, 14.0f, 14.8f},
                                         {9.1f, 10.7f, 14.0f, 14.8f},
                                         {10.8f, 12.4f, 14.0f, 14.8f},
                                         {12.5f, 14.1f, 14.0f, 14.8f},
                                         {14.2f, 15.8f, 14.0f, 14.8f}};
const FLOAT kFloorHitX[kFloorTextures][2] = {{7.7f, 8.7f}, {9.4f, 10.4f}, {11.1f, 12.1f}, {12.8f, 13.8f}, {14.5f, 15.5f}};
const FLOAT kFloorHitY[2][2] = {{15.8f, 17.1f}, {17.55f, 18.85f}};

// Knob position of a volume, in grid units.
FLOAT KnobX(INT nVolume) { return 14.59f + static_cast<FLOAT>(nVolume) * 0.01568f; }

void ClearQuads(ScreenVertex* pQuads, DWORD nQuads, D3DCOLOR color) {
  for (DWORD q = 0; q < nQuads; ++q) {
    SetQuadRect(pQuads + q * QUAD_VERTICES, 0.0f, 0.0f, 0.0f, 0.0f, kDepth, kDepth, color);
    SetQuadTexCoords(pQuads + q * QUAD_VERTICES, 0.0f, 0.0f, 0.0f, 0.0f);
  }
}

void Place(ScreenVertex* pQuad, const GridRect& r, FLOAT u, FLOAT v) {
  SetQuadRect(pQuad, r.x * u, r.y * v, r.w * u, r.h * v, kDepth, kDepth, kPlainColor);
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
  ClearQuads(m_VideoQuads[0], VIDEO_QUADS, kPlainColor);
  ClearQuads(m_SoundQuads[0], SOUND_QUADS, kPlainColor);
  ClearQuads(m_GameQuads[0], GAME_QUADS, kPlainColor);
  // Laid out at once: a run that never resets its device would otherwise show nothing.
  LayOut();
  FillVideoControls();
  FillSoundControls();
  FillGameControls();
}

COptions::~COptions() { InvalidateDeviceObjects(); }

void COptions::LayOut() {
  ClearQuads(m_VideoQuads[0], VIDEO_QUADS, kPlainColor);
  ClearQuads(m_SoundQuads[0], SOUND_QUADS, kPlainColor);
  ClearQuads(m_GameQuads[0], GAME_QUADS, kPlainColor);
  if (!m_pContext) return;
  const FLOAT u = static_cast<FLOAT>(m_pContext->m_dwWidth) * 5.0f / 100.0f;
  const FLOAT v = static_cast<FLOAT>(m_pContext->m_dwHeight) * 5.0f / 100.0f;
  for (int q = 0; q < VIDEO_QUADS; ++q) Place(m_VideoQuads[q], kVideoPlaces[q], u, v);
  for (int q = 0; q < SOUND_QUADS; ++q) Place(m_SoundQuads[q], kSoundPlaces[q], u, v);
  for (int q = 0; q < GAME_STYLES; ++q) Place(m_GameQuads[q], kGamePlaces[q], u, v);
  for (int k = 0; k < kMoveStyles; ++k) {
    Place(m_GameQuads[GAME_STYLES + k], StylePlace(k), u, v);
    Place(m_GameQuads[GAME_LAMPS + k], LampPlace(k), u, v);
  }
  for (int n = 0; n < kFloorChoices; ++n) Place(m_GameQuads[GAME_FLOORS + n], FloorPlace(n), u, v);
}

bool COptions::IsCurrentMode(DWORD dwWidth, DWORD dwHeight) const {
  return m_pContext->m_dwWidth == dwWidth && m_pContext->m_dwHeight == dwHeight;
}

HRESULT COptions::FillVideoControls() {
  if (!m_pContext) return S_OK;
  const CGameContext& c = *m_pContext;
  SetQuadTexCoords(m_VideoQuads[0], 0.0f, 11.0f / 27, 1.0f / 3, 4.0f / 27);
  SetQuadTexCoords(m_VideoQuads[1], 1.0f / 3, 11.0f / 27, 1.0f / 3, 1.95f / 27);
  SetQuadTexCoords(m_VideoQuads[2], 1.0f / 3, 12.95f / 27, 1.0f / 3, 1.95f / 27);
  for (int k = 0; k < 3; ++k) {
    const int column = 2 * k + (IsCurrentMode(kModeSizes[k][0], kModeSizes[k][1]) ? 1 : 0);
    SetQuadTexCoords(m_VideoQuads[3 + k], static_cast<FLOAT>(column) / 6, 0.0f, 1.0f / 6, 1.0f / 9);
  }
  SetQuadTexCoords(m_VideoQuads[6], c.m_bHiRes ? 1.0f / 8 : 0.0f, 2.0f / 9, 1.0f / 8, 1.0f / 9);
  SetQuadTexCoords(m_VideoQuads[7], c.m_bEnviron ? 1.0f / 8 : 0.0f, 2.0f / 9, 1.0f / 8, 1.0f / 9);
  FillQuadBuffer(c.m_pd3dDevice, &m_pVideoVB, m_VideoQuads[0], VIDEO_QUADS);
  return S_OK;
}

HRESULT COptions::FillSoundControls() {
  if (!m_pContext) return S_OK;
  const CGameContext& c = *m_pContext;
  for (int k = 0; k < 3; ++k)
    SetQuadTexCoords(m_SoundQuads[k], static_cast<FLOAT>(k) / 3, 5.0f / 9, 0.99f / 3, 0.99f / 9);
  for (int k = 0; k < 3; ++k) {
    const int column = 2 * k + (c.m_nMusType == k + 1 ? 1 : 0);
    SetQuadTexCoords(m_SoundQuads[SOUND_TRACK1 + k], static_cast<FLOAT>(column) / 9, 7.0f / 9, 1.0f / 9, 0.8f / 9);
  }
  SetQuadTexCoords(m_SoundQuads[SOUND_RANDOM], c.m_nMusType == 0 ? 5.0f / 6 : 4.0f / 6, 7.0f / 9, 1.0f / 6, 0.8f / 9);
  SetQuadTexCoords(m_SoundQuads[7], 0.0f, 1.02f / 9, 23.0f / 36, 0.96f / 9);
  SetQuadTexCoords(m_SoundQuads[8], 0.0f, 1.02f / 9, 23.0f / 36, 0.96f / 9);
  SetQuadTexCoords(m_SoundQuads[SOUND_MUSIC_KNOB], 23.0f / 36, 1.0f / 9, 1.0f / 36, 1.0f / 9);
  SetQuadTexCoords(m_SoundQuads[SOUND_EFFECT_KNOB], 23.0f / 36, 1.0f / 9, 1.0f / 36, 1.0f / 9);
  const FLOAT u = static_cast<FLOAT>(c.m_dwWidth) * 5.0f / 100.0f;
  const FLOAT w = kSoundPlaces[SOUND_MUSIC_KNOB].w * u;
  MoveQuadX(m_SoundQuads[SOUND_MUSIC_KNOB], KnobX(c.m_nMusVolume) * u, w);
  MoveQuadX(m_SoundQuads[SOUND_EFFECT_KNOB], KnobX(c.m_nSoundVolume) * u, w);
  FillQuadBuffer(c.m_pd3dDevice, &m_pSoundVB, m_SoundQuads[0], SOUND_QUADS);
  return S_OK;
}

HRESULT COptions::FillGameControls() {
  if (!m_pContext) return S_OK;
  const CGameContext& c = *m_pContext;
  SetQuadTexCoords(m_GameQuads[0], 2.0f / 3, 11.0f / 27, 1.0f / 3, 3.95f / 27);
  for (int k = 0; k < 3; ++k)
    SetQuadTexCoords(m_GameQuads[1 + k], static_cast<FLOAT>(k) / 3, 2.0f / 3, 1.0f / 3, 0.95f / 9);
  SetQuadTexCoords(m_GameQuads[GAME_PLATE_SWITCH], c.m_bPlateMov ? 1.0f / 8 : 0.0f, 2.0f / 9, 1.0f / 8, 1.0f / 9);
  for (int k = 0; k < kMoveStyles; ++k) {
    SetQuadTexCoords(m_GameQuads[GAME_STYLES + k], 0.2f * k, 1.0f / 3, 0.2f, 0.66666f / 9);
    const FLOAT lampV = c.m_nMoveMode == k ? 2.0f / 9 : 2.0f / 9 + 1.0f / 18;
    SetQuadTexCoords(m_GameQuads[GAME_LAMPS + k], 1.0f / 4, lampV, 1.0f / 6, 1.0f / 18);
  }
  const int chosen = c.m_nFloorTex + (c.m_bFloorType ? kFloorTextures : 0);
  for (int n = 0; n < kFloorChoices; ++n) {
    SetQuadTexCoords(m_GameQuads[GAME_FLOORS + n], 0.1f * n, 8.0f / 9, 0.1f, 1.0f / 9);
    SetQuadColor(m_GameQuads[GAME_FLOORS + n], n == chosen ? kChosenFloor : kOtherFloor);
  }
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
  for (int k = 0; k < kMoveStyles; ++k) {
    if (kStyleHits[k].Contains(gx, gy)) {
      c.m_nMoveMode = k;
      FillGameControls();
      c.PlaySound("OptGreenButton");
    }
  }
  for (int f = 0; f < kFloorTextures; ++f) {
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
  RenderItem& item = m_pContext->m_RenderItem;
  item.m_bQuad = 1;
  item.m_bNoDepth = 0;
  item.m_strTexture = kAtlas;
  item.m_bColorKey = 1;
  item.m_dwColorKey = kAtlasKey;
  item.m_bBlend = bBlend;
  item.m_dwSrcBlend = D3DBLEND_SRCALPHA;
  item.m_dwDestBlend = D3DBLEND_INVSRCALPHA;
  item.m_pVB = pVB;
  item.m_dwPrimCount = dwQuads * 2;
  m_pContext->m_pRenderQueue->Add(item);
}

HRESULT COptions::Render() {
  if (!m_pContext || !m_pContext->m_pRenderQueue) return S_OK;
  QueuePanel(m_pVideoVB, 0, VIDEO_QUADS);
  QueuePanel(m_pSoundVB, 1, SOUND_QUADS);
  QueuePanel(m_pGameVB, 0, GAME_QUADS);
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

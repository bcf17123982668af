#include "game/scenepreloader.h"

#include "engine/gamecontext.h"

namespace {

// Drawn without a colour key, as LoadTexture makes them: the intro's logo, needed once
// its first black second is over, the surroundings (both ground
// details, so changing the option later needs no load), the floor's frame, the balls,
// the top bar, then the caustic frames in the order the animation shows them.
const char* const kNames[] = {
    "VantorelLogo", "WallWall",   "FloorWall", "BordurWall", "GroundEnvHi", "GroundEnvLow00", "SkyEnviron", "PlateFloor01",
    "BallTex",    "UpMenuNums", "Podskazka", "Caust00",     "Caust01",        "Caust02",    "Caust03",
    "Caust04",    "Caust05",   "Caust06",    "Caust07",     "Caust08",        "Caust09",    "Caust10",
    "Caust11",    "Caust12",   "Caust13",    "Caust14",     "Caust15",        "Caust16",    "Caust17",
    "Caust18",    "Caust19",   "Caust20",    "Caust21",     "Caust22",        "Caust23",    "Caust24",
    "Caust25",    "Caust26",   "Caust27",    "Caust28",     "Caust29",        "Caust30",    "Caust31",
    nullptr};
const DWORD kNoKey = 0xFF000000;

}  // namespace

CScenePreloader::CScenePreloader(CGameContext* pContext) : CMyObject(pContext) {
  m_nOrder = 11;
  m_dwModeMask = GAMEMODE_INTRO;
  m_strType = "preloader";
  m_bVisible = 0;
  m_bDead = 0;
}

const char* const* CScenePreloader::Names() { return kNames; }

HRESULT CScenePreloader::FrameMove() {
  // The first frame is presented before anything is loaded.
  if (!m_bFirstFrameDone) {
    m_bFirstFrameDone = 1;
    return S_OK;
  }
  if (!m_pContext || !kNames[m_dwNext]) {
    m_bDead = 1;
    return S_OK;
  }
  // A name the library lacks is skipped: its draw reports the failure as before.
  m_pContext->LoadTexture(kNames[m_dwNext++], kNoKey, 0);
  return S_OK;
}

#include "game/scenepreloader.h"

#include "engine/gamecontext.h"
#include "game/ball.h"
#include "game/floor.h"
#include "game/objectmesh.h"
#include "shell/d3dmesh.h"

namespace {

// Drawn without a colour key, as LoadTexture makes them: the intro's logo, the largest
// picture, loaded before the first frame is shown; the surroundings (both ground details,
// so changing the option later needs no load), the floor's frame, the balls, the top bar,
// then the caustic frames in the order the animation shows them. The plates or floor the
// settings choose follow the list, then the ball's two meshes.
const char* const kNames[] = {
    "VantorelLogo", "WallWall", "FloorWall", "BordurWall", "GroundEnvHi", "GroundEnvLow00", "SkyEnviron",
    "PlateFloor01", "BallTex",  "UpMenuNums", "Podskazka", "Caust00",     "Caust01",        "Caust02",
    "Caust03",      "Caust04",  "Caust05",    "Caust06",   "Caust07",     "Caust08",        "Caust09",
    "Caust10",      "Caust11",  "Caust12",    "Caust13",   "Caust14",     "Caust15",        "Caust16",
    "Caust17",      "Caust18",  "Caust19",    "Caust20",   "Caust21",     "Caust22",        "Caust23",
    "Caust24",      "Caust25",  "Caust26",    "Caust27",   "Caust28",     "Caust29",        "Caust30",
    "Caust31",      nullptr};
const DWORD kNoKey = 0xFF000000;
const DWORD kListLength = sizeof kNames / sizeof kNames[0] - 1;

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
  if (!m_pContext) {
    m_bDead = 1;
    return S_OK;
  }
  // A name the library lacks is skipped: its draw reports the failure as before.
  const DWORD dwStep = m_dwNext++;
  if (dwStep < kListLength) {
    m_pContext->LoadTexture(kNames[dwStep], kNoKey, 0);
  } else if (dwStep == kListLength) {
    const char* strSurface = CFloor::SurfaceTexture(m_pContext);
    if (strSurface[0]) m_pContext->LoadTexture(strSurface, kNoKey, 0);
  } else {
    // The first ball then finds its meshes in the caches, as every later ball does.
    CD3DMesh mesh(m_pContext);
    LoadObjectMesh(m_pContext, &mesh, CBall::MESH_NAMES[dwStep - kListLength - 1]);
  }
  if (m_dwNext == kListLength + 3) m_bDead = 1;
  return S_OK;
}

#include "game/scenepreloader.h"

#include "engine/gamecontext.h"
#include "game/ball.h"
#include "game/floor.h"
#include "game/objectmesh.h"
#include "shell/d3dmesh.h"

namespace {

// As their first draws would load them: the intro's logo, the largest picture, loaded
// before the first frame is shown; the surroundings (both ground details, so changing
// the option later needs no load), the floor's frame, the balls, the top bar, the caustic
// frames in the order the animation shows them, and the main menu's items (colour keyed).
// The plates or floor the settings choose follow the list, then the ball's two meshes.
const PreloadedTexture kTextures[] = {
    {"VantorelLogo", 0}, {"WallWall", 0},  {"FloorWall", 0},  {"BordurWall", 0}, {"GroundEnvHi", 0},
    {"GroundEnvLow00", 0}, {"SkyEnviron", 0}, {"PlateFloor01", 0}, {"BallTex", 0},  {"UpMenuNums", 0},
    {"Podskazka", 0},    {"Caust00", 0},    {"Caust01", 0},    {"Caust02", 0},    {"Caust03", 0},
    {"Caust04", 0},      {"Caust05", 0},    {"Caust06", 0},    {"Caust07", 0},    {"Caust08", 0},
    {"Caust09", 0},      {"Caust10", 0},    {"Caust11", 0},    {"Caust12", 0},    {"Caust13", 0},
    {"Caust14", 0},      {"Caust15", 0},    {"Caust16", 0},    {"Caust17", 0},    {"Caust18", 0},
    {"Caust19", 0},      {"Caust20", 0},    {"Caust21", 0},    {"Caust22", 0},    {"Caust23", 0},
    {"Caust24", 0},      {"Caust25", 0},    {"Caust26", 0},    {"Caust27", 0},    {"Caust28", 0},
    {"Caust29", 0},      {"Caust30", 0},    {"Caust31", 0},    {"MenuEnum", 1},   {nullptr, 0}};
const DWORD kColourKey = 0xFF000000;
const DWORD kListLength = sizeof kTextures / sizeof kTextures[0] - 1;

}  // namespace

CScenePreloader::CScenePreloader(CGameContext* pContext) : CMyObject(pContext) {
  m_nOrder = 11;
  m_dwModeMask = GAMEMODE_INTRO;
  m_strType = "preloader";
  m_bVisible = 0;
  m_bDead = 0;
}

const PreloadedTexture* CScenePreloader::Textures() { return kTextures; }

HRESULT CScenePreloader::FrameMove() {
  if (!m_pContext) {
    m_bDead = 1;
    return S_OK;
  }
  // A name the library lacks is skipped: its draw reports the failure as before.
  const DWORD dwStep = m_dwNext++;
  if (dwStep < kListLength) {
    m_pContext->LoadTexture(kTextures[dwStep].strName, kColourKey, kTextures[dwStep].bColorKey);
  } else if (dwStep == kListLength) {
    const char* strSurface = CFloor::SurfaceTexture(m_pContext);
    if (strSurface[0]) m_pContext->LoadTexture(strSurface, kColourKey, 0);
  } else {
    // The first ball then finds its meshes in the caches, as every later ball does.
    CD3DMesh mesh(m_pContext);
    LoadObjectMesh(m_pContext, &mesh, CBall::MESH_NAMES[dwStep - kListLength - 1]);
  }
  if (m_dwNext == kListLength + 3) m_bDead = 1;
  return S_OK;
}

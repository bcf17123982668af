#include "tests/e2e/board_view.h"

#include <cmath>
#include <memory>

#include "engine/camera.h"
#include "engine/gamecontext.h"

namespace {

constexpr float kCellPitch = 1.1f;
constexpr float kPlateTop = 0.37f;
constexpr float kBallCentre = 0.8f;  // the sphere meshes sit on the plate around this height

}  // namespace

BoardView::BoardView(int width, int height) : m_width(width), m_height(height) {
  // As the scene assembly and the intro leave it: an active camera over the board,
  // the flight pending, the mode switched to the flight.
  auto context = std::make_unique<CGameContext>();
  context->m_dwWidth = static_cast<DWORD>(width);
  context->m_dwHeight = static_cast<DWORD>(height);
  context->m_bFlyInPending = 1;
  CCamera camera(context.get());
  camera.Activate();
  camera.SetEyeAt(0.0f, 30.0f, -22.5f, 0.0f, 0.0f, 0.0f);
  context->m_dwMode = GAMEMODE_FLYIN;
  // Frames of 16 ms until the camera hands over to play; what the flight's last frame
  // changed shows in the view of the first frame of play, taken with no input.
  for (int frame = 0; frame < 1000 && context->m_dwMode == GAMEMODE_FLYIN; ++frame) {
    context->m_dwElapsed = 16;
    camera.FrameMove();
  }
  context->m_dwElapsed = 0;
  camera.FrameMove();
  D3DXMatrixMultiply(&m_viewProjection, &context->m_matView, &context->m_matProj);
}

ScreenPoint BoardView::Project(float x, float y, float z) const {
  const D3DXVECTOR3 world(x, y, z);
  D3DXVECTOR3 ndc;
  D3DXVec3TransformCoord(&ndc, &world, &m_viewProjection);
  ScreenPoint p;
  p.x = static_cast<int>(std::lround((ndc.x + 1.0f) * 0.5f * static_cast<float>(m_width)));
  p.y = static_cast<int>(std::lround((1.0f - ndc.y) * 0.5f * static_cast<float>(m_height)));
  return p;
}

ScreenPoint BoardView::PlateCentre(int i, int j) const { return CellPoint(i, j, kPlateTop); }

ScreenPoint BoardView::BallCentre(int i, int j) const { return CellPoint(i, j, kBallCentre); }

ScreenPoint BoardView::CellPoint(int i, int j, float height) const {
  return Project((static_cast<float>(i) - 4.0f) * kCellPitch, height, (static_cast<float>(j) - 4.0f) * kCellPitch);
}

ScreenPoint BoardView::FromNormalised(float nx, float ny) const {
  ScreenPoint p;
  p.x = static_cast<int>(std::lround((nx + 1.0f) * 0.5f * static_cast<float>(m_width)));
  p.y = static_cast<int>(std::lround((ny + 1.0f) * 0.5f * static_cast<float>(m_height)));
  return p;
}

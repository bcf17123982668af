#include "engine/camera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "engine/gamecontext.h"

namespace {

void ExpectMatrixNear(const D3DXMATRIX& expected, const D3DXMATRIX& actual, float tolerance = 1e-4f) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      EXPECT_NEAR(expected.m[r][c], actual.m[r][c], tolerance) << "row " << r << " column " << c;
}

void ExpectVectorNear(const D3DXVECTOR3& expected, const D3DXVECTOR3& actual, float tolerance = 1e-4f) {
  EXPECT_NEAR(expected.x, actual.x, tolerance);
  EXPECT_NEAR(expected.y, actual.y, tolerance);
  EXPECT_NEAR(expected.z, actual.z, tolerance);
}

D3DXMATRIX Rows(float a[16]) { return D3DXMATRIX(a); }

class CameraTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context = std::make_unique<CGameContext>();
    context->m_dwWidth = 800;
    context->m_dwHeight = 600;
    context->m_dwMode = GAMEMODE_INTRO;
    camera = std::make_unique<CCamera>(context.get());
    // As the scene assembly leaves it.
    camera->Activate();
    camera->SetEyeAt(0.0f, 30.0f, -22.5f, 0.0f, 0.0f, 0.0f);
  }

  // One frame in the given mode with the given elapsed time.
  void Frame(DWORD mode, DWORD elapsed) {
    context->m_dwMode = mode;
    context->m_dwElapsed = elapsed;
    camera->FrameMove();
  }

  std::unique_ptr<CGameContext> context;
  std::unique_ptr<CCamera> camera;
};

TEST_F(CameraTest, ConstructionValues) {
  CCamera fresh(context.get());
  EXPECT_EQ(5, fresh.m_nOrder);
  EXPECT_EQ(0xFFu, fresh.m_dwModeMask);
  EXPECT_STREQ("camera", fresh.m_strType);
  EXPECT_EQ(0, fresh.m_bVisible);
  EXPECT_FALSE(fresh.IsActive());
  EXPECT_FLOAT_EQ(0.4f, fresh.m_fTilt);
  EXPECT_FLOAT_EQ(0.0f, fresh.m_fZoom);
}

TEST_F(CameraTest, InactiveCameraChangesNothing) {
  CCamera idle(context.get());
  idle.SetEyeAt(1, 2, 3, 4, 5, 6);
  ExpectVectorNear(D3DXVECTOR3(0, 0, 0), idle.m_vBaseEye);
  context->m_dwTime = 1234;
  idle.FrameMove();
  EXPECT_EQ(1234u, context->m_dwTime);
  EXPECT_EQ(0.0f, context->m_matView._11);
  EXPECT_EQ(0.0f, context->m_matProj._11);
}

// Look-at from (0, 30, -22.5) to the origin with up +Y: forward (0, -0.8, 0.6), right +X,
// up (0, 0.6, 0.8); the eye lies 37.5 units along forward's opposite.
TEST_F(CameraTest, StartingViewMatchesHandComputedLookAt) {
  Frame(GAMEMODE_INTRO, 16);
  float expected[16] = {1, 0, 0, 0,  //
                        0, 0.6f, -0.8f, 0,  //
                        0, 0.8f, 0.6f, 0,  //
                        0, 0, 37.5f, 1};
  ExpectMatrixNear(Rows(expected), context->m_matView);
  ExpectVectorNear(D3DXVECTOR3(0, 30, -22.5f), context->m_vEye);
  D3DXMATRIX product;
  D3DXMatrixMultiply(&product, &context->m_matView, &context->m_matInvView);
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  ExpectMatrixNear(identity, product);
}

// Vertical field of view pi/4: y scale cot(pi/8); x scale y scale / aspect;
// z maps 0.1..1000 to 0..1.
TEST_F(CameraTest, ProjectionFollowsBackBufferAspect) {
  const float yScale = 1.0f / std::tan(static_cast<float>(M_PI) / 8.0f);
  const float q = 1000.0f / (1000.0f - 0.1f);
  Frame(GAMEMODE_INTRO, 16);
  float expected43[16] = {yScale * 3.0f / 4.0f, 0, 0, 0,  //
                          0, yScale, 0, 0,  //
                          0, 0, q, 1,  //
                          0, 0, -0.1f * q, 0};
  ExpectMatrixNear(Rows(expected43), context->m_matProj);
  EXPECT_NEAR(1.8106602f, context->m_matProj._11, 1e-5f);
  EXPECT_NEAR(2.4142136f, context->m_matProj._22, 1e-5f);

  context->m_dwWidth = 1280;
  context->m_dwHeight = 720;
  Frame(GAMEMODE_INTRO, 16);
  EXPECT_NEAR(yScale * 9.0f / 16.0f, context->m_matProj._11, 1e-5f);
  EXPECT_NEAR(yScale, context->m_matProj._22, 1e-5f);
}

TEST_F(CameraTest, ZeroBackBufferKeepsLastProjection) {
  Frame(GAMEMODE_INTRO, 16);
  const D3DXMATRIX before = context->m_matProj;
  context->m_dwHeight = 0;
  Frame(GAMEMODE_INTRO, 16);
  ExpectMatrixNear(before, context->m_matProj, 0.0f);
}

TEST_F(CameraTest, FrameStampsTheClock) {
  context->m_dwTime = 0;
  const DWORD before = GetTickCount();
  Frame(GAMEMODE_MAINMENU, 16);
  const DWORD after = GetTickCount();
  EXPECT_GE(context->m_dwTime, before);
  EXPECT_LE(context->m_dwTime, after);
  EXPECT_EQ(16u, context->m_dwElapsed);
}

TEST_F(CameraTest, ZoomLandsExactlyOnItsLimits) {
  context->m_dwElapsed = 300;
  context->m_bKeyUp = 1;  // already fully in: nothing
  camera->UserControl();
  EXPECT_EQ(0.0f, camera->m_fZoom);
  EXPECT_TRUE(D3DXMatrixIsIdentity(&camera->m_matTranslation));
  context->m_bKeyUp = 0;

  context->m_bKeyDown = 1;
  for (int i = 0; i < 3; ++i) camera->UserControl();
  EXPECT_NEAR(9.0f, camera->m_fZoom, 1e-5f);
  camera->UserControl();  // 3 more would pass 10
  EXPECT_EQ(10.0f, camera->m_fZoom);
  camera->UserControl();  // held beyond the limit: still
  EXPECT_EQ(10.0f, camera->m_fZoom);
  EXPECT_NEAR(10.0f, camera->m_matTranslation._42, 1e-4f);
  EXPECT_NEAR(-10.0f, camera->m_matTranslation._43, 1e-4f);
  context->m_bKeyDown = 0;

  // Ten units out: the eye moved (0, 10, -10) before the (identity) rotations.
  Frame(GAMEMODE_MAINMENU, 16);
  ExpectVectorNear(D3DXVECTOR3(0, 40, -32.5f), context->m_vEye);

  context->m_fMouseWheel = 120.0f;  // forward: in, 0.06 per ms
  context->m_dwElapsed = 1000;
  camera->UserControl();
  EXPECT_EQ(0.0f, camera->m_fZoom);
  EXPECT_NEAR(0.0f, camera->m_matTranslation._42, 1e-4f);
  EXPECT_NEAR(0.0f, camera->m_matTranslation._43, 1e-4f);

  context->m_fMouseWheel = -120.0f;
  camera->UserControl();
  EXPECT_EQ(10.0f, camera->m_fZoom);
}

// The tilt quaternion's x part is sin(angle / 2).
TEST_F(CameraTest, PageDownAllowsPointFourThenStops) {
  context->m_dwElapsed = 300;
  context->m_bKeyPageDown = 1;
  camera->UserControl();
  EXPECT_NEAR(0.1f, camera->m_fTilt, 1e-5f);
  camera->UserControl();
  EXPECT_EQ(0.0f, camera->m_fTilt);
  EXPECT_NEAR(std::sin(-0.2f), camera->m_qTilt.x, 1e-5f);
  const D3DXQUATERNION held = camera->m_qTilt;
  camera->UserControl();
  EXPECT_EQ(held.x, camera->m_qTilt.x);
  EXPECT_EQ(held.w, camera->m_qTilt.w);
}

TEST_F(CameraTest, PageUpAllowsPointFiveThenStops) {
  context->m_dwElapsed = 600;
  context->m_bKeyPageUp = 1;
  camera->UserControl();
  EXPECT_EQ(0.9f, camera->m_fTilt);
  EXPECT_NEAR(std::sin(0.25f), camera->m_qTilt.x, 1e-5f);
  camera->UserControl();
  EXPECT_EQ(0.9f, camera->m_fTilt);
  EXPECT_NEAR(std::sin(0.25f), camera->m_qTilt.x, 1e-5f);
}

TEST_F(CameraTest, MouseTiltLandsOnBothLimits) {
  context->m_dwElapsed = 100;
  context->m_fMouseDY = -30.0f;  // -1 rad this frame, cut to -0.4
  camera->UserControl();
  EXPECT_EQ(0.0f, camera->m_fTilt);
  EXPECT_NEAR(std::sin(-0.2f), camera->m_qTilt.x, 1e-5f);
  camera->UserControl();
  EXPECT_NEAR(std::sin(-0.2f), camera->m_qTilt.x, 1e-5f);
  context->m_fMouseDY = 60.0f;
  camera->UserControl();
  EXPECT_EQ(0.9f, camera->m_fTilt);
  EXPECT_NEAR(std::sin(0.25f), camera->m_qTilt.x, 1e-5f);
}

TEST_F(CameraTest, TurnsHaveNoLimitAndAFullTurnReturnsToTheSameView) {
  Frame(GAMEMODE_PLAY, 16);
  const D3DXMATRIX start = context->m_matView;
  for (int i = 0; i < 8; ++i) camera->RotateY(D3DX_PI / 4.0f);
  Frame(GAMEMODE_PLAY, 16);
  ExpectMatrixNear(start, context->m_matView);

  // Half a turn by the Right key puts the eye on the other side.
  context->m_bKeyRight = 1;
  context->m_dwElapsed = 1000;
  camera->UserControl();
  camera->UserControl();
  camera->UserControl();
  context->m_bKeyRight = 0;
  context->m_bKeyLeft = 1;
  camera->UserControl();
  camera->UserControl();
  camera->UserControl();
  context->m_bKeyLeft = 0;
  Frame(GAMEMODE_PLAY, 16);
  ExpectMatrixNear(start, context->m_matView);
}

// A tenth of a radian a step (0.001 per ms): Left orbits the eye toward +X, the
// camera's right, so the board seems to turn left; Right orbits it toward -X, and
// the mouse moved left turns as Left does.
TEST_F(CameraTest, LeftAndRightTurnTheWayOfTheArrow) {
  // One control step of `ms` with the input `held` set, then a frame that shows it.
  auto step = [&](DWORD ms, auto& held, auto value) {
    context->m_dwElapsed = ms;
    held = value;
    camera->UserControl();
    held = 0;
    Frame(GAMEMODE_MAINMENU, 16);
  };
  const float s = 22.5f * std::sin(0.1f);
  const float c = -22.5f * std::cos(0.1f);
  step(100, context->m_bKeyLeft, 1);
  {
    SCOPED_TRACE("after Left");
    ExpectVectorNear(D3DXVECTOR3(s, 30.0f, c), context->m_vEye);
  }
  step(200, context->m_bKeyRight, 1);
  {
    SCOPED_TRACE("after Right");
    ExpectVectorNear(D3DXVECTOR3(-s, 30.0f, c), context->m_vEye);
  }
  step(100, context->m_fMouseDX, -3.0f);  // 3 / 3000 per ms
  {
    SCOPED_TRACE("after the mouse moved left");
    ExpectVectorNear(D3DXVECTOR3(0.0f, 30.0f, -22.5f), context->m_vEye);
  }
}

TEST_F(CameraTest, RotationsComposeTiltThenYaw) {
  camera->RotateY(D3DX_PI / 2.0f);
  Frame(GAMEMODE_MAINMENU, 16);
  // A quarter turn about Y takes (0, 30, -22.5) to (-22.5, 30, 0).
  ExpectVectorNear(D3DXVECTOR3(-22.5f, 30.0f, 0.0f), context->m_vEye);
}

// The base eye is tilted about X first, then turned about Y, both about the origin.
TEST_F(CameraTest, TiltAppliesBeforeTheTurn) {
  const float tilt = 0.3f;
  camera->RotateX(tilt);
  camera->RotateY(D3DX_PI / 2.0f);
  Frame(GAMEMODE_MAINMENU, 16);
  const float y = 30.0f * std::cos(tilt) + 22.5f * std::sin(tilt);
  const float z = 30.0f * std::sin(tilt) - 22.5f * std::cos(tilt);
  // The quarter turn then takes (0, y, z) to (z, y, 0).
  ExpectVectorNear(D3DXVECTOR3(z, y, 0.0f), context->m_vEye);
}

TEST_F(CameraTest, FlightFrameOf1900MsEndsTheFlight) {
  context->m_bFlyInPending = 1;
  Frame(GAMEMODE_FLYIN, 1900);
  EXPECT_EQ(static_cast<DWORD>(GAMEMODE_PLAY), context->m_dwMode);
  EXPECT_EQ(0, context->m_bFlyInPending);
  EXPECT_EQ(0.0f, camera->m_fFlyRemaining);
  // The start frame was drawn from the unturned eye.
  ExpectVectorNear(D3DXVECTOR3(0, 30, -22.5f), context->m_vEye);

  // Descended by (0, -19, 14.25) and turned twice by half a turn: back on the -Z side.
  Frame(GAMEMODE_PLAY, 16);
  ExpectVectorNear(D3DXVECTOR3(0, 11, -8.25f), context->m_vEye);
  float expected[16] = {1, 0, 0, 0,  //
                        0, 0.6f, -0.8f, 0,  //
                        0, 0.8f, 0.6f, 0,  //
                        0, 0, 13.75f, 1};
  ExpectMatrixNear(Rows(expected), context->m_matView);
}

TEST_F(CameraTest, LongFlightFrameIsCutToTheRemainingDistance) {
  context->m_bFlyInPending = 1;
  Frame(GAMEMODE_FLYIN, 60000);
  EXPECT_EQ(static_cast<DWORD>(GAMEMODE_PLAY), context->m_dwMode);
  Frame(GAMEMODE_PLAY, 16);
  ExpectVectorNear(D3DXVECTOR3(0, 11, -8.25f), context->m_vEye);
}

TEST_F(CameraTest, FlightInSmallStepsTakes1900Ms) {
  context->m_bFlyInPending = 1;
  for (int i = 0; i < 18; ++i) {
    Frame(GAMEMODE_FLYIN, 100);
    ASSERT_EQ(static_cast<DWORD>(GAMEMODE_FLYIN), context->m_dwMode) << "frame " << i;
  }
  // One unit of the descent is left after 18 frames.
  EXPECT_NEAR(1.0f, camera->m_fFlyRemaining, 1e-4f);
  Frame(GAMEMODE_FLYIN, 100);
  EXPECT_EQ(static_cast<DWORD>(GAMEMODE_PLAY), context->m_dwMode);
  Frame(GAMEMODE_PLAY, 16);
  ExpectVectorNear(D3DXVECTOR3(0, 11, -8.25f), context->m_vEye, 1e-3f);
}

TEST_F(CameraTest, LaterFlightSwitchesToPlayAtOnce) {
  context->m_bFlyInPending = 1;
  Frame(GAMEMODE_FLYIN, 1900);
  Frame(GAMEMODE_PLAY, 16);
  const D3DXVECTOR3 eye = context->m_vEye;
  Frame(GAMEMODE_FLYIN, 16);
  EXPECT_EQ(static_cast<DWORD>(GAMEMODE_PLAY), context->m_dwMode);
  Frame(GAMEMODE_PLAY, 16);
  ExpectVectorNear(eye, context->m_vEye);
}

TEST_F(CameraTest, NoControlOutsidePlay) {
  context->m_bKeyDown = 1;
  context->m_bKeyRight = 1;
  Frame(GAMEMODE_MAINMENU, 500);
  Frame(GAMEMODE_MAINMENU, 500);
  EXPECT_EQ(0.0f, camera->m_fZoom);
  ExpectVectorNear(D3DXVECTOR3(0, 30, -22.5f), context->m_vEye);
  Frame(GAMEMODE_PLAY, 500);
  EXPECT_NEAR(5.0f, camera->m_fZoom, 1e-5f);
}

}  // namespace

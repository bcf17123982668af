#include "engine/freecamera.h"

#include <gtest/gtest.h>

#include <memory>

#include "engine/gamecontext.h"

namespace {

void ExpectVectorNear(const D3DXVECTOR3& expected, const D3DXVECTOR3& actual, float tolerance = 1e-4f) {
  EXPECT_NEAR(expected.x, actual.x, tolerance);
  EXPECT_NEAR(expected.y, actual.y, tolerance);
  EXPECT_NEAR(expected.z, actual.z, tolerance);
}

void ExpectMatrixNear(const D3DXMATRIX& expected, const D3DXMATRIX& actual, float tolerance = 1e-4f) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      EXPECT_NEAR(expected.m[r][c], actual.m[r][c], tolerance) << "row " << r << " column " << c;
}

class FreeCameraTest : public ::testing::Test {
 protected:
  void SetUp() override {
    context = std::make_unique<CGameContext>();
    context->m_dwWidth = 640;
    context->m_dwHeight = 480;
    camera = std::make_unique<CFreeCamera>(context.get());
  }
  std::unique_ptr<CGameContext> context;
  std::unique_ptr<CFreeCamera> camera;
};

TEST_F(FreeCameraTest, ConstructionSetsEveryBaseField) {
  EXPECT_EQ(5, camera->m_nOrder);
  EXPECT_STREQ("camera", camera->m_strType);
  EXPECT_EQ(0xFFu, camera->m_dwModeMask);
  EXPECT_EQ(0, camera->m_bVisible);
  EXPECT_EQ(0, camera->m_bDead);
  EXPECT_FALSE(camera->IsActive());
  EXPECT_EQ(S_OK, camera->Reserved(7));
}

TEST_F(FreeCameraTest, InactiveLeavesContextAloneAndIgnoresMove) {
  camera->Move(0, 0, 5, 0, 0, 0);
  EXPECT_TRUE(D3DXMatrixIsIdentity(&camera->m_matTrans));
  camera->RotateX(0.5f);  // single operations still accumulate
  EXPECT_FALSE(D3DXMatrixIsIdentity(&camera->m_matRotX));
  camera->FrameMove();
  EXPECT_EQ(0.0f, context->m_matView._11);
  EXPECT_EQ(0.0f, context->m_matInvView._11);
  EXPECT_EQ(0.0f, context->m_matProj._11);
}

TEST_F(FreeCameraTest, FirstFrameLooksAlongZFromTheOrigin) {
  camera->Activate();
  camera->FrameMove();
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  ExpectVectorNear(D3DXVECTOR3(0, 0, 0), context->m_vEye);
  ExpectMatrixNear(identity, context->m_matView);
  ExpectMatrixNear(identity, context->m_matInvView);
  EXPECT_NEAR(2.4142136f * 0.75f, context->m_matProj._11, 1e-5f);
  EXPECT_NEAR(2.4142136f, context->m_matProj._22, 1e-5f);
}

TEST_F(FreeCameraTest, TranslateMovesEyeAndTarget) {
  camera->Activate();
  camera->Translate(0, 0, 5);
  camera->FrameMove();
  ExpectVectorNear(D3DXVECTOR3(0, 0, 5), context->m_vEye);
  ExpectVectorNear(D3DXVECTOR3(0, 0, 15), camera->m_vAt);
  EXPECT_NEAR(-5.0f, context->m_matView._43, 1e-5f);

  camera->MoveForward(0.5f);  // half of the 10-unit look vector
  camera->FrameMove();
  ExpectVectorNear(D3DXVECTOR3(0, 0, 10), context->m_vEye);
}

TEST_F(FreeCameraTest, TurnedCameraStrafesSideways) {
  camera->Activate();
  camera->Move(0, 0, 0, 0, D3DX_PI / 2.0f, 0);
  camera->FrameMove();
  // A quarter turn about Y: looking along +X, right is -Z.
  ExpectVectorNear(D3DXVECTOR3(10, 0, 0), camera->m_vAt);
  ExpectVectorNear(D3DXVECTOR3(0, 0, -10), camera->m_vRight);
  camera->Strafe(0.1f);
  camera->FrameMove();
  ExpectVectorNear(D3DXVECTOR3(0, 0, -1), context->m_vEye);

  D3DXMATRIX product;
  D3DXMatrixMultiply(&product, &context->m_matView, &context->m_matInvView);
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  ExpectMatrixNear(identity, product);
}

// The right direction is worked out afresh each frame: a second strafe goes on sideways.
TEST_F(FreeCameraTest, RepeatedStrafesKeepGoingSideways) {
  camera->Activate();
  camera->Move(0, 0, 0, 0, D3DX_PI / 2.0f, 0);
  for (int i = 1; i <= 3; ++i) {
    camera->FrameMove();
    camera->Strafe(0.1f);
    camera->FrameMove();
    SCOPED_TRACE(testing::Message() << "after strafe " << i);
    ExpectVectorNear(D3DXVECTOR3(0, 0, -1.0f * i), context->m_vEye);
    ExpectVectorNear(D3DXVECTOR3(0, 0, -10.0f - i), camera->m_vRight);
  }
}

}  // namespace

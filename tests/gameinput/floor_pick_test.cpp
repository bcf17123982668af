// Picking a cell through the real box probe on the floor's own cell boxes.
#include "game/ball.h"
#include "game/floor.h"
#include "gameinput_fixture.h"

namespace {

D3DXVECTOR3 CellTop(int i, int j) { return D3DXVECTOR3((i - 4) * 1.1f, 0.37f, (j - 4) * 1.1f); }

class FloorPickTest : public GameInputTest {
 protected:
  void SetUp() override {
    GameInputTest::SetUp();
    floor = new CFloor(&ctx);
    list.Add(floor);
  }
  // A pick request as the mouse raises it, along the ray from vEye through vTarget.
  void Click(const D3DXVECTOR3& vEye, const D3DXVECTOR3& vTarget) {
    Aim(vEye, vTarget);
    ctx.m_bPickRequest = 1;
    ctx.m_pBallHit = nullptr;
    ctx.m_fBallHitDist = ctx.m_fCellHitDist = 1000.0f;
    ctx.m_bCellHit = ctx.m_bCellConfirmed = 0;
  }
  void ExpectCell(int i, int j) {
    EXPECT_EQ(ctx.m_bCellHit, 1);
    EXPECT_EQ(ctx.m_nPickCellX, i);
    EXPECT_EQ(ctx.m_nPickCellY, j);
  }
  CFloor* floor = nullptr;
};

TEST_F(FloorPickTest, PicksTheCellUnderTheRayAndConfirmsItAFrameLater) {
  EXPECT_EQ(ctx.m_dwLightIndex, 19u);
  Click(D3DXVECTOR3(1.0f, 9.0f, -5.0f), CellTop(2, 6));
  Frame();
  ExpectCell(2, 6);
  EXPECT_EQ(ctx.m_bCellConfirmed, 0);
  Frame();
  EXPECT_EQ(ctx.m_bCellConfirmed, 1);

  // Straight down onto the gap between two plates: nothing.
  Click(D3DXVECTOR3(0.55f, 9.0f, 0.0f), D3DXVECTOR3(0.55f, 0.0f, 0.0f));
  Frame();
  Frame();
  EXPECT_EQ(ctx.m_bCellHit, 0);
  EXPECT_EQ(ctx.m_bCellConfirmed, 0);
  EXPECT_FLOAT_EQ(ctx.m_fCellHitDist, 1000.0f);
}

TEST_F(FloorPickTest, AShallowRayThroughTwoBoxesTakesTheNearer) {
  // Descending one in ten across the gap between rows 3 and 4 of column 4: the ray
  // passes through both thin boxes, whichever way it runs.
  Click(D3DXVECTOR3(0.0f, 1.37f, -10.65f), D3DXVECTOR3(0.0f, 0.37f, -0.65f));
  Frame();
  ExpectCell(4, 3);
  Click(D3DXVECTOR3(0.0f, 1.37f, 9.55f), D3DXVECTOR3(0.0f, 0.37f, -0.45f));
  Frame();
  ExpectCell(4, 4);
}

TEST_F(FloorPickTest, ABallHitCancelsTheCellHit) {
  CBall* ball = new CBall(&ctx);
  ASSERT_EQ(ball->PlaceAt(0, 0, 1), S_OK);
  ball->m_bDropping = 0;
  ball->m_bResting = 1;
  ball->m_fHeight = 0.0f;
  list.Add(ball);
  ball->Render();  // places the pick sphere
  Click(D3DXVECTOR3(0.3f, 9.0f, -2.0f), CellTop(4, 4));
  Frame();
  EXPECT_EQ(ctx.m_pBallHit, ball);
  EXPECT_EQ(ctx.m_bCellHit, 0);
  Frame();
  EXPECT_EQ(ctx.m_bCellConfirmed, 0);
}

TEST_F(FloorPickTest, UnderTheWobbleThePickedCellFollowsTheBoard) {
  // The ray grazes the raised edge of cell (8, 4) where the board is tilted most; at
  // rest the same ray passes over the board's edge.
  ctx.m_bPlateMov = 1;
  floor->m_fWobbleX = 0.0f;
  floor->m_fWobbleZ = 0.0f;  // full tilt about Z
  Frame(0);
  EXPECT_EQ(0, memcmp(&ctx.m_matBoard, &floor->m_matBoard, sizeof(D3DXMATRIX)));
  D3DXVECTOR3 vEdge = CellTop(8, 4) + D3DXVECTOR3(0.45f, 0.0f, 0.0f), vTarget;
  D3DXVec3TransformCoord(&vTarget, &vEdge, &floor->m_matBoard);
  const D3DXVECTOR3 vEye = vTarget + D3DXVECTOR3(-8.0f, 0.6f, 0.0f);
  Click(vEye, vTarget);
  Frame(0);
  ExpectCell(8, 4);

  ctx.m_bPlateMov = 0;
  Frame(0);
  Click(vEye, vTarget);
  Frame(0);
  EXPECT_FALSE(ctx.m_bCellHit && ctx.m_nPickCellX == 8 && ctx.m_nPickCellY == 4);
  EXPECT_EQ(0, memcmp(&floor->m_Boxes, &floor->m_ModelBoxes, sizeof floor->m_Boxes));
}

}  // namespace

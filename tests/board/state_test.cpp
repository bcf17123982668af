// The ball's states: the drop, settling, picking and selection, removal.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "board_fixture.h"

namespace board_test {
namespace {

using BallStateTest = BoardTest;

TEST_F(BallStateTest, UnplacedBallDoesNothing) {
  CBall* pBall = new CBall(&ctx);
  list.Add(pBall);
  Frame(10);
  EXPECT_EQ(pBall->m_fHeight, 4.0f);
  EXPECT_TRUE(pBall->m_bDropping);
  EXPECT_TRUE(sounds.empty());
}

TEST_F(BallStateTest, NewBallDropsBouncesTwiceAndSettles) {
  CBall temporary(&ctx);
  ASSERT_EQ(temporary.SpawnBallAt(3, 3, 2), S_OK);
  CBall* pBall = BallAt(3, 3);
  ASSERT_NE(pBall, nullptr);
  EXPECT_EQ(ctx.m_nBallCount, 1);
  int nFrames = 0;
  float fLowest = 10.0f;
  while (!pBall->m_bResting && nFrames < 1000) {
    Frame(10);
    ++nFrames;
    fLowest = std::min(fLowest, pBall->m_fHeight);
  }
  EXPECT_EQ(pBall->m_nBounces, 2);
  EXPECT_EQ(CountSounds("BallDown"), 2);
  EXPECT_GE(fLowest, 0.0f);
  // About 816 ms to fall 4 units, then a short bounce at a quarter of the speed.
  EXPECT_GT(nFrames * 10, 816);
  EXPECT_LT(nFrames * 10, 1300);
  EXPECT_EQ(pBall->m_fHeight, 0.0f);  // flat board: settled in the frame of the bounce
}

TEST_F(BallStateTest, SettlingEasesIntoATiltedBoardThenTurnsMarksIntoRemovals) {
  D3DXMatrixRotationX(&ctx.m_matBoard, 0.05f);
  CBall* pBall = RestingBall(1, 1, 4);
  ctx.m_Board[5][5] = CELL_IN_RUN;
  pBall->m_bResting = 0;
  pBall->m_bSettling = 1;
  Frame(10);
  EXPECT_TRUE(pBall->m_bSettling);
  EXPECT_EQ(ctx.m_Board[5][5], CELL_IN_RUN);
  int nFrames = 1;
  while (pBall->m_bSettling && nFrames < 1000) {
    Frame(10);
    ++nFrames;
  }
  EXPECT_TRUE(pBall->m_bResting);
  // The largest element change is sin(0.05): 0.05 / 0.003 per frame.
  EXPECT_NEAR(nFrames, 17, 1);
  EXPECT_EQ(ctx.m_Board[5][5], CELL_REMOVING);
  EXPECT_EQ(ctx.m_Board[1][1], 4);
}

TEST_F(BallStateTest, RestingBallOnAMarkedCellSettles) {
  CBall* pBall = RestingBall(2, 2, 4);
  ctx.m_Board[2][2] = CELL_IN_RUN;
  ctx.m_dwElapsed = 10;
  pBall->FrameMove();
  EXPECT_TRUE(pBall->m_bSettling);
  pBall->FrameMove();  // flat board: settles at once and the mark becomes a removal
  EXPECT_EQ(ctx.m_Board[2][2], CELL_REMOVING);
}

// Shrinks below 0.1 then grows past 1.2: the times and sounds of each style.
TEST_F(BallStateTest, RemovalTimingsPerStyle) {
  struct Case {
    int nStyle;
    int nShortDeleteMs;
    int nDeadMs;
    bool bLongDelete;
  };
  for (const Case& c :
       {Case{0, 91, 128, false}, Case{2, 91, 128, false}, Case{3, 901, 1011, true}, Case{4, 901, 1011, true}}) {
    SCOPED_TRACE(c.nStyle);
    list.DeleteAll();
    std::memset(ctx.m_Board, 0, sizeof ctx.m_Board);
    ctx.m_nBallCount = 0;
    sounds.clear();
    ctx.m_nMoveMode = c.nStyle;
    RestingBall(6, 6, 1);
    ctx.m_Board[6][6] = CELL_REMOVING;
    Frame(1);
    EXPECT_EQ(CountSounds("LongDelete"), c.bLongDelete ? 1 : 0);
    int nShortDeleteAt = 0, nDeadAt = 0;
    for (int ms = 1; ms <= 2000 && !nDeadAt; ++ms) {
      Frame(1);
      if (!nShortDeleteAt && CountSounds("ShortDelete")) nShortDeleteAt = ms;
      if (BallsInList() == 0) nDeadAt = ms;
    }
    EXPECT_NEAR(nShortDeleteAt, c.nShortDeleteMs, 2);
    EXPECT_NEAR(nDeadAt, c.nDeadMs, 3);
    EXPECT_EQ(ctx.m_Board[6][6], 0);
    EXPECT_EQ(ctx.m_nBallCount, 0);
  }
}

class PickTest : public BoardTest {
 protected:
  // Two resting balls on the ray from the eye at the origin along +Z.
  void SetUp() override {
    BoardTest::SetUp();
    ctx.m_vEye = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    pFar = RestingBall(0, 8, 1);
    pNear = RestingBall(1, 8, 2);
    pFar->m_vCentre = D3DXVECTOR3(0.0f, 0.0f, 8.0f);
    pNear->m_vCentre = D3DXVECTOR3(0.0f, 0.1f, 5.0f);
    ctx.m_fPickDirX = 0.0f;
    ctx.m_fPickDirY = 0.0f;
  }
  void Click() {
    ctx.m_bPickRequest = 1;
    ctx.m_fBallHitDist = 1000.0f;
    ctx.m_pBallHit = nullptr;
    ctx.m_bCellHit = 1;
    Frame(10);
    ctx.m_bPickRequest = 0;
  }
  CBall* pFar = nullptr;
  CBall* pNear = nullptr;
};

TEST_F(PickTest, NearestBallWinsAndCancelsTheCellHit) {
  Click();
  EXPECT_EQ(ctx.m_pBallHit, pNear);
  EXPECT_NEAR(ctx.m_fBallHitDist, 5.0f - 0.4f, 0.05f);
  EXPECT_EQ(ctx.m_bCellHit, 0);
  Frame(10);
  EXPECT_EQ(ctx.m_pSelectedBall, pNear);
  EXPECT_EQ(ctx.m_pBallHit, nullptr);
  EXPECT_TRUE(pNear->m_bJumping);
  EXPECT_TRUE(pFar->m_bResting);
  EXPECT_EQ(CountSounds("BallSelect"), 1);
}

TEST_F(PickTest, MissLeavesTheCellHit) {
  ctx.m_fPickDirX = 1.0f;  // 45 degrees off to the side
  Click();
  EXPECT_EQ(ctx.m_pBallHit, nullptr);
  EXPECT_EQ(ctx.m_bCellHit, 1);
}

TEST_F(PickTest, SelectingAnotherBallLetsTheFirstLandAndSettle) {
  Click();
  Frame(10);
  ASSERT_EQ(ctx.m_pSelectedBall, pNear);
  pNear->m_vCentre = D3DXVECTOR3(0.0f, 0.0f, 20.0f);  // out of the way
  Click();
  EXPECT_EQ(ctx.m_pBallHit, pFar);
  Frame(10);
  EXPECT_EQ(ctx.m_pSelectedBall, pFar);
  int nFrames = 0;
  while (!pNear->m_bResting && nFrames < 200) {
    Frame(10);
    ++nFrames;
  }
  EXPECT_TRUE(pNear->m_bResting);
  EXPECT_TRUE(pFar->m_bJumping);
  EXPECT_LT(nFrames * 10, 600);  // the rest of one hop of about 583 ms
}

}  // namespace
}  // namespace board_test

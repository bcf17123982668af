// Faults of the board rules that are mended, one test each (runs of marked cells and
// the short preview are tested with the runs and the spawns).
#include "board_fixture.h"

namespace board_test {
namespace {

using MendedTest = BoardTest;

// A ball dropping next to a moving ball must not take it into a run.
TEST_F(MendedTest, MovingBallIsNeverTakenIntoARun) {
  for (int i = 1; i <= 3; ++i) RestingBall(i, 4, 1);
  CBall* pMover = RestingBall(0, 4, 1);
  ctx.m_nMoveMode = 3;  // the value stays on the start cell until the arrival
  ctx.m_NextColours[0] = 2;
  ctx.m_NextColours[1] = 3;
  ctx.m_NextColours[2] = 4;
  SelectAndClick(pMover, 8, 0);
  Frame(0);
  ASSERT_TRUE(pMover->m_bMoving);
  CBall temporary(&ctx);
  temporary.SpawnBallAt(4, 4, 1);  // lands long before the slide ends
  int nFrames = 0;
  while (!ctx.m_bIdle && nFrames < 2000) {
    Frame(10);
    ++nFrames;
    if (!ctx.m_bIdle) {
      ASSERT_TRUE(AnyBallMoving()) << "waiting without a moving ball, frame " << nFrames;
    }
  }
  EXPECT_EQ(ctx.m_bIdle, 1);
  EXPECT_GT(nFrames * 10, 900);  // the dropped ball checked its runs during the move
  EXPECT_EQ(ctx.m_Board[8][0], 1);
  EXPECT_EQ(ctx.m_Board[0][4], 0);
  EXPECT_EQ(BallAt(8, 0), pMover);
  EXPECT_EQ(ctx.m_nScore, 0);
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(ctx.m_Board[i][4], 1) << i;
}

// Styles 1 and 2 carry the value over the board cell by cell; wherever it stands, a
// ball checking its runs beside it does not count it.
TEST_F(MendedTest, SteppingBallIsNeverTakenIntoARun) {
  for (int i = 1; i <= 3; ++i) RestingBall(i, 4, 1);
  for (int i = 1; i <= 3; ++i) RestingBall(i, 3, 1);
  CBall* pMover = RestingBall(0, 4, 1);
  ctx.m_nMoveMode = 2;
  SelectAndClick(pMover, 0, 0);
  Frame(0);
  ASSERT_TRUE(pMover->m_bMoving);
  CBall* pChecker = RestingBall(4, 4, 1);
  EXPECT_EQ(pChecker->CheckRows(true), E_FAIL);
  ctx.m_dwElapsed = 34;
  pMover->FrameMove();  // one step: the value now stands on (0, 3)
  ASSERT_EQ(ctx.m_Board[0][3], 1);
  CBall* pSecond = RestingBall(4, 3, 1);
  EXPECT_EQ(pSecond->CheckRows(true), E_FAIL);
  EXPECT_EQ(ctx.m_nScore, 0);
  while (pMover->m_bMoving) pMover->FrameMove();
  EXPECT_EQ(ctx.m_Board[0][0], 1);
  EXPECT_EQ(ctx.m_bIdle, 1);
}

// The selected ball, hopping, is taken into a run by a ball that lands: it is not moved
// any more, and its removal leaves the game at rest.
TEST_F(MendedTest, SelectedBallInARunDoesNotMove) {
  CBall* pSelected = RestingBall(0, 4, 1);
  ctx.m_pBallHit = pSelected;
  Frame(10);
  ASSERT_EQ(ctx.m_pSelectedBall, pSelected);
  ctx.m_Board[0][4] = CELL_IN_RUN;
  ctx.m_nPickCellX = 0;
  ctx.m_nPickCellY = 0;
  ctx.m_bCellHit = 1;
  ctx.m_bCellConfirmed = 1;
  Frame(1);
  EXPECT_FALSE(pSelected->m_bMoving);
  EXPECT_EQ(ctx.m_bIdle, 1);
  EXPECT_EQ(ctx.m_bCellConfirmed, 0);
  ctx.m_Board[0][4] = CELL_REMOVING;
  for (int n = 0; n < 300 && BallsInList() > 0; ++n) Frame(10);
  EXPECT_EQ(BallsInList(), 0);
  EXPECT_EQ(ctx.m_bIdle, 1);
  EXPECT_EQ(ctx.m_pSelectedBall, nullptr);
}

// A new game chosen while a ball moves starts at rest.
TEST_F(MendedTest, NewGameDuringAMoveStartsIdle) {
  CBall* pMover = RestingBall(0, 0, 1);
  ctx.m_nMoveMode = 4;
  SelectAndClick(pMover, 8, 8);
  Frame(0);
  Frame(50);
  ASSERT_EQ(ctx.m_bIdle, 0);
  CBall temporary(&ctx);
  temporary.NewBoard();
  EXPECT_EQ(ctx.m_bIdle, 1);
  EXPECT_EQ(ctx.m_pSelectedBall, nullptr);
  EXPECT_EQ(ctx.m_bCellConfirmed, 0);
  EXPECT_EQ(BallsInList(), 5);
  EXPECT_FALSE(AnyBallMoving());
  // And a move can be made again.
  for (int n = 0; n < 200; ++n) Frame(10);
  CBall* pBall = static_cast<CBall*>(list.First()->pObject);
  int ti = -1, tj = -1;
  for (int i = 0; i < 9 && ti < 0; ++i)
    for (int j = 0; j < 9 && ti < 0; ++j)
      if (ctx.m_Board[i][j] == 0) ti = i, tj = j;
  SelectAndClick(pBall, ti, tj);
  Frame(0);
  EXPECT_TRUE(pBall->m_bMoving || ctx.m_nPathLength == 0);
}

// Only the selected ball answers a click on the floor, not one still finishing its hop.
TEST_F(MendedTest, OnlyTheSelectedBallMoves) {
  CBall* pFirst = RestingBall(0, 0, 1);
  CBall* pSecond = RestingBall(8, 8, 2);
  ctx.m_pBallHit = pFirst;
  Frame(10);
  ctx.m_pBallHit = pSecond;
  Frame(10);
  ASSERT_EQ(ctx.m_pSelectedBall, pSecond);
  ASSERT_TRUE(pFirst->m_bJumping);
  ctx.m_nPickCellX = 4;
  ctx.m_nPickCellY = 4;
  ctx.m_bCellHit = 1;
  ctx.m_bCellConfirmed = 1;
  Frame(1);
  EXPECT_FALSE(pFirst->m_bMoving);
  EXPECT_TRUE(pSecond->m_bMoving);
  EXPECT_EQ(ctx.m_Board[0][0], 1);
}

// The selected ball and the ball hit never name a ball that is gone.
TEST_F(MendedTest, SelectionAndHitForgetDeletedBalls) {
  CBall* pSelected = RestingBall(2, 2, 3);
  ctx.m_pBallHit = pSelected;
  Frame(10);
  ASSERT_EQ(ctx.m_pSelectedBall, pSelected);
  ctx.m_Board[2][2] = CELL_REMOVING;  // a run took it
  for (int n = 0; n < 300 && BallsInList() > 0; ++n) Frame(10);
  ASSERT_EQ(BallsInList(), 0);
  EXPECT_EQ(ctx.m_pSelectedBall, nullptr);

  CBall* pHit = RestingBall(5, 5, 3);
  ctx.m_pBallHit = pHit;
  ctx.m_bUndoRequest = 1;
  ctx.m_bUndoAvailable = 1;  // the snapshot has (5, 5) empty: the ball goes
  Frame(10);
  ASSERT_EQ(BallsInList(), 0);
  EXPECT_EQ(ctx.m_pBallHit, nullptr);

  CBall* pOther = RestingBall(6, 6, 3);
  ctx.m_pSelectedBall = pOther;
  ctx.m_pBallHit = pOther;
  CBall temporary(&ctx);
  temporary.RemoveAllBalls();
  EXPECT_EQ(ctx.m_pSelectedBall, nullptr);
  EXPECT_EQ(ctx.m_pBallHit, nullptr);
}

}  // namespace
}  // namespace board_test

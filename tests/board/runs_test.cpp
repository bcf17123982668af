// Runs through a ball's cell, their marks and scores, and the preview refill.
#include <cstdlib>
#include <cstring>

#include "board_fixture.h"

namespace board_test {
namespace {

using RunsTest = BoardTest;

int CellsHolding(const CGameContext& ctx, int value) {
  int n = 0;
  for (const auto& column : ctx.m_Board)
    for (INT cell : column) n += cell == value;
  return n;
}

TEST_F(RunsTest, RowRunStopsAtAGap) {
  for (int i : {0, 1, 2, 3, 6, 7}) ctx.m_Board[i][4] = 2;
  CBall* pBall = RestingBall(4, 4, 2);
  ASSERT_EQ(pBall->CheckRows(true), S_OK);
  for (int i = 0; i <= 4; ++i) EXPECT_EQ(ctx.m_Board[i][4], CELL_IN_RUN) << i;
  EXPECT_EQ(ctx.m_Board[6][4], 2);
  EXPECT_EQ(ctx.m_Board[7][4], 2);
  EXPECT_EQ(ctx.m_nScore, 5);

  // With the gap next to the ball only four count.
  CGameContext& c = ctx;
  std::memset(c.m_Board, 0, sizeof c.m_Board);
  for (int i : {0, 1, 2, 5, 6, 7}) ctx.m_Board[i][0] = 3;
  CBall* pSecond = RestingBall(4, 0, 3);
  EXPECT_EQ(pSecond->CheckRows(true), E_FAIL);
  EXPECT_EQ(CellsHolding(ctx, CELL_IN_RUN), 0);
  EXPECT_EQ(ctx.m_nScore, 5);
}

TEST_F(RunsTest, OneSidedCrossScoresTwoRunsOfFive) {
  for (int k = 5; k <= 8; ++k) {
    ctx.m_Board[4][k] = 1;
    ctx.m_Board[k][4] = 1;
  }
  CBall* pBall = RestingBall(4, 4, 1);
  ASSERT_EQ(pBall->CheckRows(true), S_OK);
  EXPECT_EQ(ctx.m_nScore, 10);
  EXPECT_EQ(CellsHolding(ctx, CELL_IN_RUN), 9);
}

TEST_F(RunsTest, DiagonalsScoreByLength) {
  // Anti-diagonal of six: smaller column with larger row.
  for (int k = 1; k <= 6; ++k)
    if (k != 4) ctx.m_Board[k][8 - k] = 5;
  CBall* pBall = RestingBall(4, 4, 5);
  ASSERT_EQ(pBall->CheckRows(true), S_OK);
  EXPECT_EQ(ctx.m_nScore, 12);
  for (int k = 1; k <= 6; ++k) EXPECT_EQ(ctx.m_Board[k][8 - k], CELL_IN_RUN) << k;
  EXPECT_EQ(CellsHolding(ctx, CELL_IN_RUN), 6);

  // The full diagonal of nine.
  std::memset(ctx.m_Board, 0, sizeof ctx.m_Board);
  ctx.m_nScore = 0;
  for (int k = 0; k <= 8; ++k)
    if (k != 2) ctx.m_Board[k][k] = 7;
  CBall* pDiagonal = RestingBall(2, 2, 7);
  ASSERT_EQ(pDiagonal->CheckRows(true), S_OK);
  EXPECT_EQ(ctx.m_nScore, 42);
  EXPECT_EQ(CellsHolding(ctx, CELL_IN_RUN), 9);
}

TEST_F(RunsTest, PointsForEveryLength) {
  CBall ball(&ctx);
  ctx.m_NextColours[2] = 1;
  const int expected[10] = {0, 1, 2, 3, 4, 5, 12, 18, 28, 42};
  for (unsigned n = 5; n <= 9; ++n) EXPECT_EQ(ball.AddScore(n), expected[n]) << n;
}

TEST_F(RunsTest, ScoreStopsAt9999AndTheBestFollows) {
  ctx.m_nScore = 9995;
  ctx.m_nBestScore = 9995;
  ctx.m_NextColours[2] = 1;
  CBall ball(&ctx);
  EXPECT_EQ(ball.AddScore(6), 12);
  EXPECT_EQ(ctx.m_nScore, 9999);
  EXPECT_EQ(ctx.m_nBestScore, 9999);

  ctx.m_nScore = 10;
  ctx.m_nBestScore = 500;
  ball.AddScore(5);
  EXPECT_EQ(ctx.m_nScore, 15);
  EXPECT_EQ(ctx.m_nBestScore, 500);

  // Passed by a single point, the best follows as well.
  ctx.m_nScore = 496;
  ball.AddScore(5);
  EXPECT_EQ(ctx.m_nBestScore, 501) << "the best score did not follow a score that passed it by one";
}

TEST_F(RunsTest, ShortPreviewIsRefilledByARun) {
  CBall ball(&ctx);
  ctx.m_NextColours[0] = 3;
  ctx.m_NextColours[1] = 0;
  ctx.m_NextColours[2] = 0;
  // The same seed again: the three draws the run makes.
  std::srand(77);
  const int expected[3] = {std::rand() % 7 + 1, std::rand() % 7 + 1, std::rand() % 7 + 1};
  std::srand(77);
  ball.AddScore(5);
  EXPECT_EQ(ctx.m_NextColours[0], expected[0]);
  EXPECT_EQ(ctx.m_NextColours[1], expected[1]);
  EXPECT_EQ(ctx.m_NextColours[2], expected[2]);

  // A full preview stays as it is.
  ctx.m_NextColours[0] = 1;
  ctx.m_NextColours[1] = 2;
  ctx.m_NextColours[2] = 3;
  ball.AddScore(5);
  EXPECT_EQ(ctx.m_NextColours[0], 1);
  EXPECT_EQ(ctx.m_NextColours[2], 3);
}

// Mended: marked, removed and empty cells never form runs.
TEST_F(RunsTest, OnlyColoursFormRuns) {
  for (int value : {CELL_IN_RUN, CELL_REMOVING}) {
    std::memset(ctx.m_Board, 0, sizeof ctx.m_Board);
    for (int i = 0; i <= 5; ++i) ctx.m_Board[i][3] = value;
    CBall ball(&ctx);
    ball.m_nCellX = 2;
    ball.m_nCellY = 3;
    EXPECT_EQ(ball.CheckRows(true), E_FAIL) << value;
    EXPECT_EQ(ctx.m_nScore, 0) << value;
    EXPECT_EQ(CellsHolding(ctx, CELL_IN_RUN), value == CELL_IN_RUN ? 6 : 0);
  }
  std::memset(ctx.m_Board, 0, sizeof ctx.m_Board);
  CBall empty(&ctx);
  empty.m_nCellX = 4;
  empty.m_nCellY = 4;
  EXPECT_EQ(empty.CheckRows(true), E_FAIL);
  EXPECT_EQ(CellsHolding(ctx, CELL_IN_RUN), 0);
  EXPECT_EQ(ctx.m_nScore, 0);
}

// A ball re-created by an undo on a marked cell drops, and its own check finds nothing.
TEST_F(RunsTest, BallOnAMarkedCellScoresNothingWhenItLands) {
  for (int i = 0; i <= 3; ++i) ctx.m_Board[i][0] = CELL_IN_RUN;
  CBall ball(&ctx);
  ASSERT_EQ(ball.SpawnBallAt(4, 0, CELL_IN_RUN), S_OK);
  for (int n = 0; n < 300 && ctx.m_Board[4][0] == CELL_IN_RUN; ++n) Frame(10);
  EXPECT_EQ(ctx.m_nScore, 0);
}

}  // namespace
}  // namespace board_test

// The shortest-path search, the start of a move and its refusals.
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "board_fixture.h"

namespace board_test {
namespace {

using PathTest = BoardTest;

std::vector<std::pair<int, int>> PathOf(const CGameContext& ctx) {
  std::vector<std::pair<int, int>> path;
  for (int k = 0; k < ctx.m_nPathLength; ++k) path.emplace_back(ctx.m_Path[k].x, ctx.m_Path[k].y);
  return path;
}

// Every step joins edge neighbours through empty cells, from the ball to the target.
void ExpectWalkable(const CGameContext& ctx, int fromI, int fromJ, int toI, int toJ) {
  const int L = ctx.m_nPathLength;
  ASSERT_GE(L, 2);
  EXPECT_EQ(ctx.m_Path[0].x, toI);
  EXPECT_EQ(ctx.m_Path[0].y, toJ);
  EXPECT_EQ(ctx.m_Path[L - 1].x, fromI);
  EXPECT_EQ(ctx.m_Path[L - 1].y, fromJ);
  for (int k = 0; k + 1 < L; ++k) {
    EXPECT_EQ(std::abs(ctx.m_Path[k].x - ctx.m_Path[k + 1].x) + std::abs(ctx.m_Path[k].y - ctx.m_Path[k + 1].y), 1)
        << "entry " << k;
    if (k < L - 1) {
      EXPECT_EQ(ctx.m_Board[ctx.m_Path[k].x][ctx.m_Path[k].y], 0) << "entry " << k;
    }
  }
}

TEST_F(PathTest, EmptyBoardCornerToCornerTakesColumnsFirst) {
  CBall* pBall = RestingBall(0, 0, 1);
  ctx.m_nPickCellX = 8;
  ctx.m_nPickCellY = 8;
  ASSERT_EQ(pBall->FindPath(), S_OK);
  ASSERT_EQ(ctx.m_nPathLength, 17);
  // From every cell the first nearer neighbour in the order left, right, down, up.
  for (int k = 0; k <= 8; ++k) {
    EXPECT_EQ(ctx.m_Path[16 - k].x, k);
    EXPECT_EQ(ctx.m_Path[16 - k].y, 0);
    EXPECT_EQ(ctx.m_Path[8 - k].x, 8);
    EXPECT_EQ(ctx.m_Path[8 - k].y, k);
  }
}

TEST_F(PathTest, ShortPathsAndTheirOrder) {
  CBall* pBall = RestingBall(0, 0, 1);
  ctx.m_nPickCellX = 2;
  ctx.m_nPickCellY = 2;
  ASSERT_EQ(pBall->FindPath(), S_OK);
  std::vector<std::pair<int, int>> expected = {{2, 2}, {2, 1}, {2, 0}, {1, 0}, {0, 0}};
  EXPECT_EQ(PathOf(ctx), expected);

  ctx.m_nPickCellX = 0;
  ctx.m_nPickCellY = 1;
  ASSERT_EQ(pBall->FindPath(), S_OK);
  expected = {{0, 1}, {0, 0}};
  EXPECT_EQ(PathOf(ctx), expected);

  // Toward smaller columns the left neighbour comes first as well.
  CBall* pOther = RestingBall(6, 6, 2);
  ctx.m_nPickCellX = 4;
  ctx.m_nPickCellY = 4;
  ASSERT_EQ(pOther->FindPath(), S_OK);
  expected = {{4, 4}, {4, 5}, {4, 6}, {5, 6}, {6, 6}};
  EXPECT_EQ(PathOf(ctx), expected);
}

TEST_F(PathTest, DetourAroundAWall) {
  for (int j = 0; j <= 7; ++j) RestingBall(1, j, 3);
  CBall* pBall = RestingBall(0, 4, 1);
  ctx.m_nPickCellX = 2;
  ctx.m_nPickCellY = 4;
  ASSERT_EQ(pBall->FindPath(), S_OK);
  EXPECT_EQ(ctx.m_nPathLength, 11);  // up 4, across 2, down 4
  ExpectWalkable(ctx, 0, 4, 2, 4);
  EXPECT_EQ(ctx.m_Path[5].x, 1);  // over the top of the wall
  EXPECT_EQ(ctx.m_Path[5].y, 8);
}

TEST_F(PathTest, EnclosedTargetGivesNoMoveNoSoundAndKeepsTheSelection) {
  RestingBall(3, 4, 2);
  RestingBall(5, 4, 2);
  RestingBall(4, 3, 2);
  RestingBall(4, 5, 2);
  CBall* pBall = RestingBall(0, 0, 1);
  SelectAndClick(pBall, 4, 4);
  sounds.clear();
  Frame(10);
  EXPECT_EQ(ctx.m_nPathLength, 0);
  EXPECT_FALSE(pBall->m_bMoving);
  EXPECT_TRUE(pBall->m_bJumping);
  EXPECT_EQ(ctx.m_pSelectedBall, pBall);
  EXPECT_EQ(ctx.m_bIdle, 1);
  EXPECT_EQ(ctx.m_bUndoAvailable, 0);
  EXPECT_EQ(ctx.m_bCellConfirmed, 0);  // the click is used up
  EXPECT_EQ(CountSounds("FloorSelect"), 0);
  EXPECT_EQ(ctx.m_Board[0][0], 1);
}

TEST_F(PathTest, OccupiedTargetLeavesTheClickPending) {
  RestingBall(5, 5, 2);
  CBall* pBall = RestingBall(0, 0, 1);
  SelectAndClick(pBall, 5, 5);
  Frame(10);
  EXPECT_FALSE(pBall->m_bMoving);
  EXPECT_EQ(ctx.m_bCellConfirmed, 1);
  EXPECT_EQ(CountSounds("FloorSelect"), 0);
}

TEST_F(PathTest, MoveStartTakesTheSnapshotAndLeavesIdle) {
  CBall* pBall = RestingBall(0, 0, 1);
  ctx.m_nScore = 17;
  ctx.m_nBestScore = 30;
  ctx.m_NextColours[0] = 2;
  ctx.m_NextColours[1] = 3;
  ctx.m_NextColours[2] = 4;
  ctx.m_nMoveMode = 1;
  SelectAndClick(pBall, 3, 0);
  sounds.clear();
  Frame(1);  // too short for a step: only the start
  EXPECT_TRUE(pBall->m_bMoving);
  EXPECT_EQ(ctx.m_bIdle, 0);
  EXPECT_EQ(ctx.m_pSelectedBall, nullptr);
  EXPECT_EQ(ctx.m_bUndoAvailable, 1);
  EXPECT_EQ(ctx.m_UndoBoard[0][0], 1);
  EXPECT_EQ(ctx.m_nUndoScore, 17);
  EXPECT_EQ(ctx.m_nUndoBestScore, 30);
  EXPECT_EQ(ctx.m_nUndoBallCount, 1);
  EXPECT_EQ(ctx.m_UndoNextColours[2], 4);
  EXPECT_EQ(sounds, (std::vector<std::string>{"FlyNoise", "FloorSelect"}));
}

// A board of two-cell-wide corridors: very many shortest paths of great length.
TEST_F(PathTest, LongSearchOnACrowdedBoardStaysFast) {
  for (int i = 0; i < 9; ++i) {
    if (i != 8) RestingBall(i, 2, 1 + i % 7);
    if (i != 0) RestingBall(i, 5, 1 + (i + 3) % 7);
  }
  CBall* pBall = RestingBall(0, 0, 1);
  ctx.m_nPickCellX = 0;
  ctx.m_nPickCellY = 8;
  const auto start = std::chrono::steady_clock::now();
  for (int n = 0; n < 2000; ++n) ASSERT_EQ(pBall->FindPath(), S_OK);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ExpectWalkable(ctx, 0, 0, 0, 8);
  EXPECT_EQ(ctx.m_nPathLength, 1 + 10 + 11 + 3);
  EXPECT_LT(seconds, 2.0);

  // The same on an open board, corner to corner.
  list.DeleteAll();
  std::memset(ctx.m_Board, 0, sizeof ctx.m_Board);
  pBall = RestingBall(0, 0, 1);
  ctx.m_nPickCellX = 8;
  ctx.m_nPickCellY = 8;
  const auto start2 = std::chrono::steady_clock::now();
  for (int n = 0; n < 2000; ++n) ASSERT_EQ(pBall->FindPath(), S_OK);
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start2).count(), 2.0);
}

TEST_F(PathTest, CellCoordinatesPassTheOnCellTest) {
  for (int c = -4; c <= 4; ++c) {
    EXPECT_TRUE(CBall::OnCell(CBall::CellToWorld(c), c)) << c;
    EXPECT_FALSE(CBall::OnCell(CBall::CellToWorld(c) + 0.01f, c)) << c;
    EXPECT_FALSE(CBall::OnCell(CBall::CellToWorld(c) - 0.01f, c)) << c;
  }
}

}  // namespace
}  // namespace board_test

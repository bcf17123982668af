// Spawning near a full board, the game-over test, the deferred move, new game and undo.
#include <cstdlib>
#include <cstring>

#include "board_fixture.h"

namespace board_test {
namespace {

using SpawnTest = BoardTest;

class UndoTest : public BoardTest {
 protected:
  // A move in style 0, over once the second frame has brought the ball in.
  void MoveInOneFrame(CBall* pBall, int i, int j) {
    ctx.m_nMoveMode = 0;
    SelectAndClick(pBall, i, j);
    Frame(10);
    Frame(10);
  }
  // Undo as the application makes it: the balls that differ go in a frame, a ball
  // that never joins the scene does the rest.
  void Undo() {
    ctx.m_bUndoRequest = 1;
    Frame(10);
    CBall temporary(&ctx);
    temporary.ApplyUndo();
  }
};

TEST_F(SpawnTest, PlaceAtChecksTheBoardAndTheCell) {
  CBall ball(&ctx);
  EXPECT_EQ(ball.PlaceAt(4, 4, 3), S_OK);
  EXPECT_EQ(ctx.m_Board[8][8], 3);
  EXPECT_EQ(ball.m_nCellX, 8);
  EXPECT_FLOAT_EQ(ball.m_fX, 4 * 1.1f);
  EXPECT_EQ(ball.PlaceAt(5, 0, 3), E_FAIL);
  EXPECT_EQ(ball.PlaceAt(0, -5, 3), E_FAIL);
  ctx.m_Board[0][0] = CELL_REMOVING;
  EXPECT_EQ(ball.PlaceAt(-4, -4, 3), E_FAIL);
  EXPECT_EQ(ball.m_nCellX, 8);
  EXPECT_EQ(ball.CellHolds(-4, -4, CELL_REMOVING), S_OK);
  EXPECT_EQ(ball.CellHolds(-5, -4, 0), E_FAIL);
}

TEST_F(SpawnTest, NewBoardHasFiveBallsAndAFullPreview) {
  ctx.m_nBestScore = 77;
  ctx.m_nScore = 40;
  ctx.m_bUndoAvailable = 1;
  CBall temporary(&ctx);
  ASSERT_EQ(temporary.NewBoard(), S_OK);
  EXPECT_EQ(ctx.m_nBallCount, 5);
  EXPECT_EQ(NonEmptyCells(), 5);
  EXPECT_EQ(BallsInList(), 5);
  for (const auto& column : ctx.m_Board)
    for (INT value : column) EXPECT_TRUE(value >= 0 && value <= 7);
  for (INT colour : ctx.m_NextColours) EXPECT_TRUE(colour >= 1 && colour <= 7);
  EXPECT_EQ(ctx.m_nScore, 0);
  EXPECT_EQ(ctx.m_nBestScore, 77);
  EXPECT_EQ(ctx.m_bUndoAvailable, 0);
  EXPECT_EQ(ctx.m_bIdle, 1);
}

TEST_F(SpawnTest, SpawnDrawsColumnRowThenRetriesOccupiedCells) {
  ctx.m_Board[0][0] = 4;
  ctx.m_nBallCount = 1;
  ctx.m_NextColours[0] = 6;
  ctx.m_NextColours[1] = 2;
  ctx.m_NextColours[2] = 3;
  // The same seed replayed: each ball draws a column, then a row, again while the
  // cell is taken; the three preview draws follow.
  const unsigned kSeed = 2024;
  std::srand(kSeed);
  bool bTaken[9][9] = {};
  bTaken[0][0] = true;
  int cells[2][2];
  for (auto& cell : cells) {
    do {
      cell[0] = std::rand() % 9;
      cell[1] = std::rand() % 9;
    } while (bTaken[cell[0]][cell[1]]);
    bTaken[cell[0]][cell[1]] = true;
  }
  const int preview[3] = {std::rand() % 7 + 1, std::rand() % 7 + 1, std::rand() % 7 + 1};
  std::srand(kSeed);
  CBall temporary(&ctx);
  temporary.SpawnBalls(2);
  EXPECT_EQ(ctx.m_Board[cells[0][0]][cells[0][1]], 6);
  EXPECT_EQ(ctx.m_Board[cells[1][0]][cells[1][1]], 2);
  EXPECT_EQ(ctx.m_nBallCount, 3);
  EXPECT_EQ(NonEmptyCells(), 3);
  EXPECT_EQ(ctx.m_NextColours[0], preview[0]);
  EXPECT_EQ(ctx.m_NextColours[1], preview[1]);
  EXPECT_EQ(ctx.m_NextColours[2], preview[2]);
}

// 79 balls: the move spawns two in the preview colours, fills the board and ends the game.
TEST_F(SpawnTest, FullBoardAfterAMoveRaisesGameOver) {
  FillWithoutRuns({{0, 0}, {1, 0}});
  ASSERT_EQ(ctx.m_nBallCount, 79);
  ctx.m_nMoveMode = 0;
  ctx.m_NextColours[0] = 5;
  ctx.m_NextColours[1] = 6;
  ctx.m_NextColours[2] = 0;
  SelectAndClick(BallAt(2, 0), 1, 0);
  Frame(10);  // the move starts
  Frame(10);  // style 0 arrives in one frame
  EXPECT_EQ(ctx.m_nBallCount, 81);
  EXPECT_EQ(NonEmptyCells(), 81);
  EXPECT_EQ(ctx.m_Board[0][0] == 5 || ctx.m_Board[0][0] == 6, true);
  EXPECT_EQ(ctx.m_Board[0][0] + ctx.m_Board[2][0], 11);
  EXPECT_EQ(ctx.m_NextColours[0], 0);
  EXPECT_EQ(ctx.m_NextColours[1], 0);
  EXPECT_EQ(ctx.m_NextColours[2], 0);
  EXPECT_EQ(ctx.m_bGameOverRequest, 1);
  EXPECT_EQ(ctx.m_bIdle, 1);
}

TEST_F(SpawnTest, ThreeSpawnedWhenFiveWereFreeLeavesAShortPreview) {
  FillWithoutRuns({{0, 0}, {1, 0}, {0, 1}, {0, 8}, {8, 8}});
  ctx.m_nMoveMode = 0;
  ctx.m_NextColours[0] = 1;
  ctx.m_NextColours[1] = 2;
  ctx.m_NextColours[2] = 3;
  SelectAndClick(BallAt(2, 0), 1, 0);
  Frame(10);
  Frame(10);
  EXPECT_EQ(ctx.m_nBallCount, 79);
  EXPECT_NE(ctx.m_NextColours[0], 0);
  EXPECT_NE(ctx.m_NextColours[1], 0);
  EXPECT_EQ(ctx.m_NextColours[2], 0);
  EXPECT_EQ(ctx.m_bGameOverRequest, 0);
}

// The board fills while balls of an earlier run are still going: no game over.
TEST_F(SpawnTest, NoGameOverWhileBallsAreBeingRemoved) {
  FillWithoutRuns({{0, 0}, {1, 0}, {0, 1}});
  ctx.m_Board[8][8] = CELL_REMOVING;  // its ball is in its removal animation
  BallAt(8, 8)->m_bResting = 0;
  BallAt(8, 8)->m_bDeleting = 1;
  ASSERT_EQ(ctx.m_nBallCount, 78);
  ctx.m_nMoveMode = 0;
  ctx.m_NextColours[0] = 1;
  ctx.m_NextColours[1] = 2;
  ctx.m_NextColours[2] = 3;
  SelectAndClick(BallAt(2, 0), 1, 0);
  Frame(1);
  Frame(1);
  EXPECT_EQ(ctx.m_nBallCount, 81);
  EXPECT_EQ(ctx.m_bGameOverRequest, 0);
  EXPECT_EQ(ctx.m_bIdle, 1);
}

TEST_F(SpawnTest, MoveWaitsAbove78BallsWhileBallsAreBeingRemoved) {
  FillWithoutRuns({{0, 0}, {1, 0}});
  ctx.m_Board[8][8] = CELL_REMOVING;
  CBall* pRemoved = BallAt(8, 8);
  pRemoved->m_bResting = 0;
  pRemoved->m_bDeleting = 1;
  ctx.m_nMoveMode = 0;
  ctx.m_NextColours[0] = 1;
  ctx.m_NextColours[1] = 2;
  CBall* pBall = BallAt(2, 0);
  SelectAndClick(pBall, 1, 0);
  ctx.m_dwElapsed = 1;
  pBall->FrameMove();
  EXPECT_FALSE(pBall->m_bMoving);
  EXPECT_EQ(ctx.m_bCellConfirmed, 1);  // tried again next frame
  EXPECT_EQ(ctx.m_bUndoAvailable, 0);
  // Once the removal has emptied its cell the move goes ahead.
  for (int n = 0; n < 200 && ctx.m_Board[8][8] != 0; ++n) pRemoved->FrameMove();
  ASSERT_EQ(ctx.m_Board[8][8], 0);
  pRemoved->m_bDead = 0;  // kept alive here only to be deleted with the list
  pBall->FrameMove();
  EXPECT_TRUE(pBall->m_bMoving);
  pBall->FrameMove();
  EXPECT_EQ(ctx.m_Board[1][0], BoardTest::PatternColour(2, 0));
  EXPECT_EQ(ctx.m_Board[2][0] != 0, true);  // a spawned ball took a free cell
  EXPECT_EQ(ctx.m_nBallCount, 81);
}

// Mended: a short preview is drawn anew before use, and never more balls are spawned
// than cells are really empty.
TEST_F(SpawnTest, ShortPreviewNeverSpawnsAColourlessBall) {
  FillWithoutRuns({{0, 0}, {1, 0}, {0, 1}, {0, 8}, {8, 8}});
  ctx.m_NextColours[0] = 4;
  ctx.m_NextColours[1] = 0;
  ctx.m_NextColours[2] = 0;
  CBall temporary(&ctx);
  temporary.SpawnBalls(3);
  EXPECT_EQ(ctx.m_nBallCount, 79);
  EXPECT_EQ(NonEmptyCells(), 79);
  for (const auto& column : ctx.m_Board)
    for (INT value : column) EXPECT_TRUE(value >= 0 && value <= 7);
  for (CListEngine::Node* pNode = list.First(); pNode; pNode = pNode->pNext)
    EXPECT_GE(static_cast<CBall*>(pNode->pObject)->m_nColour, 1);
}

TEST_F(SpawnTest, SpawnNeverRunsForever) {
  // The count says three cells are free, the board has only one (its balls still hold
  // their cells): one ball comes, on that cell.
  FillWithoutRuns({{4, 4}});
  ctx.m_nBallCount = 78;
  ctx.m_NextColours[0] = 1;
  ctx.m_NextColours[1] = 2;
  ctx.m_NextColours[2] = 3;
  CBall temporary(&ctx);
  temporary.SpawnBalls(3);
  EXPECT_EQ(ctx.m_Board[4][4], 1);
  EXPECT_EQ(ctx.m_nBallCount, 79);
}

TEST_F(UndoTest, UndoAfterARunRestoresEverythingOnce) {
  for (int i = 0; i <= 3; ++i) RestingBall(i, 4, 2);
  CBall* pBall = RestingBall(4, 0, 2);
  RestingBall(7, 7, 5);
  ctx.m_nScore = 100;
  ctx.m_nBestScore = 103;
  ctx.m_NextColours[0] = 1;
  ctx.m_NextColours[1] = 3;
  ctx.m_NextColours[2] = 6;
  INT before[9][9];
  std::memcpy(before, ctx.m_Board, sizeof before);
  MoveInOneFrame(pBall, 4, 4);
  EXPECT_EQ(ctx.m_nScore, 105);
  EXPECT_EQ(ctx.m_nBestScore, 105);
  for (int n = 0; n < 100; ++n) Frame(10);  // the run is removed
  EXPECT_EQ(NonEmptyCells(), 1);
  EXPECT_EQ(ctx.m_nBallCount, 1);
  EXPECT_EQ(BallsInList(), 1);

  Undo();
  EXPECT_EQ(std::memcmp(before, ctx.m_Board, sizeof before), 0);
  EXPECT_EQ(ctx.m_nScore, 100);
  EXPECT_EQ(ctx.m_nBestScore, 103);
  EXPECT_EQ(ctx.m_nBallCount, 6);
  EXPECT_EQ(BallsInList(), 6);
  EXPECT_EQ(ctx.m_NextColours[1], 3);
  EXPECT_EQ(ctx.m_bUndoRequest, 0);
  EXPECT_EQ(ctx.m_bUndoAvailable, 0);
  ASSERT_NE(BallAt(4, 0), nullptr);
  EXPECT_TRUE(BallAt(4, 0)->m_bDropping);  // back as a new ball dropping onto its cell

  // A second undo changes nothing.
  for (int n = 0; n < 100; ++n) Frame(10);
  std::memcpy(before, ctx.m_Board, sizeof before);
  Undo();
  EXPECT_EQ(std::memcmp(before, ctx.m_Board, sizeof before), 0);
  EXPECT_EQ(ctx.m_nScore, 100);
  EXPECT_EQ(ctx.m_nBallCount, 6);
  EXPECT_EQ(BallsInList(), 6);
  EXPECT_EQ(ctx.m_bUndoRequest, 0);
}

// A move without a run drops three balls and draws a new preview: undo takes back both.
TEST_F(UndoTest, UndoAfterAMoveThatDroppedBallsRestoresThePreview) {
  CBall* pBall = RestingBall(0, 0, 1);
  RestingBall(8, 8, 2);
  const INT preview[3] = {4, 5, 6};
  std::memcpy(ctx.m_NextColours, preview, sizeof preview);
  INT before[9][9];
  std::memcpy(before, ctx.m_Board, sizeof before);
  MoveInOneFrame(pBall, 0, 1);
  ASSERT_EQ(NonEmptyCells(), 5);
  ASSERT_NE(std::memcmp(preview, ctx.m_NextColours, sizeof preview), 0);  // drawn anew

  Undo();
  EXPECT_EQ(std::memcmp(before, ctx.m_Board, sizeof before), 0);
  EXPECT_EQ(ctx.m_nBallCount, 2);
  EXPECT_EQ(std::memcmp(preview, ctx.m_NextColours, sizeof preview), 0)
      << "the next drop would not use the colours shown before the move: " << ctx.m_NextColours[0] << ", "
      << ctx.m_NextColours[1] << ", " << ctx.m_NextColours[2];
}

TEST_F(UndoTest, UndoWithoutASnapshotOnlyClearsTheRequest) {
  RestingBall(1, 1, 1);
  ctx.m_nScore = 9;
  Undo();
  EXPECT_EQ(ctx.m_bUndoRequest, 0);
  EXPECT_EQ(ctx.m_nScore, 9);
  EXPECT_EQ(BallsInList(), 1);
}

TEST_F(UndoTest, RebuildAfterALoadMakesOneBallPerCell) {
  RestingBall(0, 0, 1);
  ctx.m_Board[3][3] = 4;
  ctx.m_Board[5][6] = 7;
  ctx.m_nBallCount = 0;  // the load sets it to 0
  CBall temporary(&ctx);
  temporary.RebuildBalls();
  EXPECT_EQ(ctx.m_nBallCount, 3);
  EXPECT_EQ(BallsInList(), 3);
  ASSERT_NE(BallAt(5, 6), nullptr);
  EXPECT_EQ(BallAt(5, 6)->m_nColour, 7);
  EXPECT_EQ(ctx.m_bIdle, 1);
}

}  // namespace
}  // namespace board_test

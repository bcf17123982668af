// The five move styles: timing, pauses at turns and their sounds.
#include <cstring>

#include "board_fixture.h"

namespace board_test {
namespace {

class StyleMove : public BoardTest {
 protected:
  // Starts a move of a lone ball from (fromI, fromJ) to (toI, toJ) in the style.
  CBall* StartMove(int nStyle, int fromI, int fromJ, int toI, int toJ) {
    ctx.m_nMoveMode = nStyle;
    CBall* pBall = RestingBall(fromI, fromJ, 3);
    SelectAndClick(pBall, toI, toJ);
    Frame(0);
    sounds.clear();
    EXPECT_TRUE(pBall->m_bMoving);
    return pBall;
  }
  int Move(CBall* pBall, DWORD dwElapsed, std::vector<std::pair<float, float>>* pPositions = nullptr) {
    int nFrames = 0;
    while (pBall->m_bMoving && nFrames < 10000) {
      ctx.m_dwElapsed = dwElapsed;
      ctx.m_dwTime += dwElapsed;
      pBall->FrameMove();  // only the mover, so spawned balls stay silent
      ++nFrames;
      if (pPositions) pPositions->emplace_back(pBall->m_fX, pBall->m_fY);
    }
    return nFrames;
  }
  void ExpectArrived(CBall* pBall, int fromI, int fromJ, int toI, int toJ) {
    EXPECT_FALSE(pBall->m_bMoving);
    EXPECT_EQ(ctx.m_bIdle, 1);
    EXPECT_EQ(ctx.m_Board[fromI][fromJ] == 0 || BallAt(fromI, fromJ) != pBall, true);
    EXPECT_EQ(ctx.m_Board[toI][toJ], 3);
    EXPECT_EQ(pBall->m_nCellX, toI);
    EXPECT_EQ(pBall->m_nCellY, toJ);
    EXPECT_FLOAT_EQ(pBall->m_fX, CBall::CellToWorld(toI - 4));
    EXPECT_FLOAT_EQ(pBall->m_fY, CBall::CellToWorld(toJ - 4));
  }
};

TEST_F(StyleMove, AtOnceArrivesInOneFrame) {
  CBall* pBall = StartMove(0, 0, 0, 5, 3);
  EXPECT_EQ(Move(pBall, 16), 1);
  ExpectArrived(pBall, 0, 0, 5, 3);
  EXPECT_TRUE(pBall->m_bSettling || pBall->m_bResting);
  EXPECT_EQ(sounds, std::vector<std::string>{"BallDown"});
  EXPECT_EQ(ctx.m_nBallCount, 4);  // three spawned
}

TEST_F(StyleMove, FastStepsPlayFlyNoiseAtStartAndOneBallDown) {
  ctx.m_nMoveMode = 1;
  CBall* pBall = RestingBall(0, 0, 3);
  SelectAndClick(pBall, 4, 0);
  sounds.clear();
  Frame(0);
  EXPECT_EQ(sounds, (std::vector<std::string>{"FlyNoise", "FloorSelect"}));
  sounds.clear();
  EXPECT_EQ(Move(pBall, 7), 4);  // 7 ms reach 0.2: one cell a frame
  ExpectArrived(pBall, 0, 0, 4, 0);
  EXPECT_EQ(sounds, std::vector<std::string>{"BallDown"});
}

TEST_F(StyleMove, StepsPlayBallDownOnEveryCell) {
  CBall* pBall = StartMove(2, 0, 0, 2, 2);
  std::vector<int> cellsAfterFrame;
  int nFrames = 0;
  while (pBall->m_bMoving && nFrames < 1000) {
    ctx.m_dwElapsed = 10;
    pBall->FrameMove();
    ++nFrames;
  }
  EXPECT_EQ(nFrames, 4 * 4);  // a step every 1.0 / 0.03 ms: the fourth 10 ms frame
  ExpectArrived(pBall, 0, 0, 2, 2);
  EXPECT_EQ(CountSounds("BallDown"), 4);
  EXPECT_EQ(static_cast<int>(sounds.size()), 4);
}

TEST_F(StyleMove, StepsCarryTheValueCellByCell) {
  CBall* pBall = StartMove(2, 0, 0, 3, 0);
  ctx.m_dwElapsed = 40;
  pBall->FrameMove();
  EXPECT_EQ(ctx.m_Board[0][0], 0);
  EXPECT_EQ(ctx.m_Board[1][0], 3);
  pBall->FrameMove();
  EXPECT_EQ(ctx.m_Board[1][0], 0);
  EXPECT_EQ(ctx.m_Board[2][0], 3);
}

// Counts the frames in which the ball stood still before arriving.
int Pauses(const std::vector<std::pair<float, float>>& positions) {
  int nStill = 0;
  for (size_t k = 1; k + 1 < positions.size(); ++k) nStill += positions[k] == positions[k - 1];
  return nStill;
}

TEST_F(StyleMove, SlidePausesOnceAtTheCorner) {
  CBall* pBall = StartMove(3, 0, 0, 2, 2);
  std::vector<std::pair<float, float>> positions;
  Move(pBall, 10, &positions);
  ExpectArrived(pBall, 0, 0, 2, 2);
  // 4.0 / 0.03 ms at 0.3 a frame: 13 frames resting on (2, 0).
  EXPECT_EQ(Pauses(positions), 13);
  for (size_t k = 1; k + 1 < positions.size(); ++k)
    if (positions[k] == positions[k - 1]) {
      EXPECT_FLOAT_EQ(positions[k].first, CBall::CellToWorld(-2));
      EXPECT_FLOAT_EQ(positions[k].second, CBall::CellToWorld(-4));
    }
  EXPECT_EQ(CountSounds("BallDown"), 1);
  EXPECT_GE(CountSounds("SlideNoise"), 3);
}

TEST_F(StyleMove, SlideDoesNotPauseOnAStraightLineOrBeforeTheTarget) {
  CBall* pBall = StartMove(3, 0, 0, 5, 0);
  std::vector<std::pair<float, float>> positions;
  Move(pBall, 10, &positions);
  ExpectArrived(pBall, 0, 0, 5, 0);
  EXPECT_EQ(Pauses(positions), 0);

  // The corner (1, 0) is the cell before the target (1, 1).
  list.DeleteAll();
  std::memset(ctx.m_Board, 0, sizeof ctx.m_Board);
  ctx.m_nBallCount = 0;
  pBall = StartMove(3, 0, 0, 1, 1);
  positions.clear();
  Move(pBall, 10, &positions);
  ExpectArrived(pBall, 0, 0, 1, 1);
  EXPECT_EQ(Pauses(positions), 0);
}

// Also when the millisecond clock, which counts from the machine's start, wraps round
// during the slide.
TEST_F(StyleMove, SlideNoiseAtMostEvery125Milliseconds) {
  for (const DWORD start : {DWORD(1000), DWORD(0xFFFFFFFFu - 100)}) {
    const int row = start == 1000 ? 0 : 2;
    ctx.m_dwTime = start;
    CBall* pBall = StartMove(3, 0, row, 8, row);
    std::vector<DWORD> times;
    while (pBall->m_bMoving) {
      ctx.m_dwElapsed = 5;
      ctx.m_dwTime += 5;
      size_t before = sounds.size();
      pBall->FrameMove();
      if (sounds.size() > before && sounds.back() == "SlideNoise") times.push_back(ctx.m_dwTime);
    }
    ASSERT_GE(times.size(), 2u) << "from " << start;
    for (size_t k = 1; k < times.size(); ++k) EXPECT_GT(times[k] - times[k - 1], 125u) << "from " << start;
  }
}

TEST_F(StyleMove, HopPlaysOneBallDownPerCellAndRisesBetweenCells) {
  CBall* pBall = StartMove(4, 0, 0, 3, 2);
  float fHighest = 0.0f;
  int nFrames = 0;
  while (pBall->m_bMoving && nFrames < 10000) {
    ctx.m_dwElapsed = 10;
    pBall->FrameMove();
    ++nFrames;
    if (pBall->m_fHeight > fHighest) fHighest = pBall->m_fHeight;
  }
  ExpectArrived(pBall, 0, 0, 3, 2);
  EXPECT_EQ(CountSounds("BallDown"), 5);
  EXPECT_EQ(static_cast<int>(sounds.size()), 5);
  EXPECT_GT(fHighest, 0.4f);
  EXPECT_LT(fHighest, 1.2f);
}

}  // namespace
}  // namespace board_test

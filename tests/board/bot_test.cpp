// Property test: a simple bot plays thousands of seeded games through the rules and
// the balls' state machine on a fake clock; the invariants are checked every frame.
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "board_fixture.h"

namespace board_test {
namespace {

class BotTest : public BoardTest {
 protected:
  uint64_t botState = 1;
  int Roll(int n) {
    botState = botState * 2862933555777941757ULL + 3037000493ULL;
    return static_cast<int>((botState >> 33) % static_cast<uint64_t>(n));
  }

  static bool MakesRun(const INT board[9][9], int i, int j, int c) {
    static const int kAxes[4][2] = {{1, 0}, {0, 1}, {1, 1}, {1, -1}};
    for (const auto& axis : kAxes) {
      int n = 1;
      for (int s : {1, -1})
        for (int k = 1;; ++k) {
          int ni = i + s * k * axis[0], nj = j + s * k * axis[1];
          if (ni < 0 || ni > 8 || nj < 0 || nj > 8 || board[ni][nj] != c) break;
          ++n;
        }
      if (n >= 5) return true;
    }
    return false;
  }

  // A target for the ball on (i, j): a cell that completes a run when there is one
  // (most of the time), else any reachable empty cell. False when none is reachable.
  bool ChooseTarget(int i, int j, int* pTi, int* pTj) {
    bool seen[9][9] = {};
    std::vector<std::pair<int, int>> reachable, queue = {{i, j}};
    seen[i][j] = true;
    for (size_t q = 0; q < queue.size(); ++q) {
      static const int kSteps[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
      for (const auto& s : kSteps) {
        int ni = queue[q].first + s[0], nj = queue[q].second + s[1];
        if (ni < 0 || ni > 8 || nj < 0 || nj > 8 || seen[ni][nj] || ctx.m_Board[ni][nj] != 0) continue;
        seen[ni][nj] = true;
        queue.emplace_back(ni, nj);
        reachable.emplace_back(ni, nj);
      }
    }
    if (reachable.empty()) return false;
    const int c = ctx.m_Board[i][j];
    if (Roll(10) < 8) {
      INT board[9][9];
      std::memcpy(board, ctx.m_Board, sizeof board);
      board[i][j] = 0;
      for (const auto& t : reachable)
        if (MakesRun(board, t.first, t.second, c)) {
          *pTi = t.first;
          *pTj = t.second;
          return true;
        }
    }
    const auto& t = reachable[Roll(static_cast<int>(reachable.size()))];
    *pTi = t.first;
    *pTj = t.second;
    return true;
  }

  void CheckInvariants(const char* strWhen) {
    for (const auto& column : ctx.m_Board)
      for (INT value : column)
        ASSERT_TRUE((value >= 0 && value <= 7) || value == CELL_IN_RUN || value == CELL_REMOVING)
            << strWhen << ": cell value " << value;
    ASSERT_EQ(ctx.m_nBallCount, NonEmptyCells()) << strWhen;
    bool bTaken[81] = {};
    int nBalls = 0;
    bool bSelectedFound = ctx.m_pSelectedBall == nullptr, bHitFound = ctx.m_pBallHit == nullptr;
    for (CListEngine::Node* pNode = list.First(); pNode; pNode = pNode->pNext) {
      CBall* pBall = static_cast<CBall*>(pNode->pObject);
      ASSERT_TRUE(pBall->m_bPlaced) << strWhen;
      bool& bCell = bTaken[pBall->m_nCellX * 9 + pBall->m_nCellY];
      ASSERT_FALSE(bCell) << strWhen << ": two balls on a cell";
      bCell = true;
      ++nBalls;
      ASSERT_NE(ctx.m_Board[pBall->m_nCellX][pBall->m_nCellY], 0) << strWhen << ": a ball on an empty cell";
      bSelectedFound = bSelectedFound || ctx.m_pSelectedBall == pBall;
      bHitFound = bHitFound || ctx.m_pBallHit == pBall;
    }
    ASSERT_EQ(nBalls, ctx.m_nBallCount) << strWhen;
    ASSERT_TRUE(bSelectedFound) << strWhen << ": selected ball is gone";
    ASSERT_TRUE(bHitFound) << strWhen << ": ball hit is gone";
    if (!ctx.m_bIdle) {
      ASSERT_TRUE(AnyBallMoving()) << strWhen << ": waiting without a moving ball";
    }
  }

  struct Totals {
    int games = 0, moves = 0, runs = 0, undos = 0, gameOvers = 0, newGamesMidMove = 0;
  };

  void PlayGame(int nSeed, Totals* pTotals) {
    botState = static_cast<uint64_t>(nSeed) * 7919 + 17;
    std::srand(static_cast<unsigned>(nSeed) + 1);
    ctx.m_nMoveMode = nSeed % 5;
    ctx.m_nColours = 3 + nSeed % 5;
    ctx.m_nBestScore = 0;
    CBall temporary(&ctx);
    temporary.NewBoard();
    ++pTotals->games;
    enum { kNone, kSelecting, kClicked } phase = kNone;
    int nBallI = 0, nBallJ = 0, nPhaseFrames = 0, nMoveFrames = 0, nMoves = 0;
    INT nLastScore = ctx.m_nScore;
    for (int nFrame = 0; nFrame < 20000 && nMoves < 60; ++nFrame) {
      bool bScoreMayDrop = false;
      if (ctx.m_bIdle && phase == kNone) {
        const int r = Roll(100);
        if (r < 4 && ctx.m_bUndoAvailable) {
          ctx.m_bUndoRequest = 1;
          bScoreMayDrop = true;
          ++pTotals->undos;
        } else {
          std::vector<CBall*> resting;
          for (CListEngine::Node* pNode = list.First(); pNode; pNode = pNode->pNext) {
            CBall* pBall = static_cast<CBall*>(pNode->pObject);
            INT value = ctx.m_Board[pBall->m_nCellX][pBall->m_nCellY];
            if (pBall->m_bResting && value >= 1 && value <= 7) resting.push_back(pBall);
          }
          if (!resting.empty()) {
            CBall* pBall = resting[Roll(static_cast<int>(resting.size()))];
            ctx.m_pBallHit = pBall;
            nBallI = pBall->m_nCellX;
            nBallJ = pBall->m_nCellY;
            phase = kSelecting;
            nPhaseFrames = 0;
          }
        }
      } else if (!ctx.m_bIdle && Roll(1000) == 0) {
        temporary.NewBoard();  // chosen from the menu in the middle of a move
        ++pTotals->newGamesMidMove;
        bScoreMayDrop = true;
        phase = kNone;
        nLastScore = ctx.m_nScore;
        ASSERT_EQ(ctx.m_bIdle, 1);
      }

      const DWORD dwElapsed = 5 + static_cast<DWORD>(Roll(60));
      ctx.m_dwElapsed = dwElapsed;
      ctx.m_dwTime += dwElapsed;
      list.FrameMoveAll();
      // The application's requests, in its order.
      if (ctx.m_bGameOverRequest) {
        ctx.m_bGameOverRequest = 0;
        ++pTotals->gameOvers;
        CheckInvariants("game over");
        return;
      }
      if (ctx.m_bUndoRequest) temporary.ApplyUndo();

      CheckInvariants("frame");
      if (HasFatalFailure()) return;
      if (!bScoreMayDrop) {
        ASSERT_GE(ctx.m_nScore, nLastScore) << "score dropped without an undo";
      }
      if (ctx.m_nScore > nLastScore) ++pTotals->runs;
      nLastScore = ctx.m_nScore;

      nMoveFrames = ctx.m_bIdle ? 0 : nMoveFrames + 1;
      ASSERT_LT(nMoveFrames, 2000) << "a move never ends";

      ++nPhaseFrames;
      if (phase == kSelecting) {
        CBall* pSelected = ctx.m_pSelectedBall;
        if (pSelected && pSelected->m_nCellX == nBallI && pSelected->m_nCellY == nBallJ) {
          int ti = 0, tj = 0;
          if (ChooseTarget(nBallI, nBallJ, &ti, &tj)) {
            ctx.m_nPickCellX = ti;
            ctx.m_nPickCellY = tj;
            ctx.m_bCellHit = 1;
            ctx.m_bCellConfirmed = 1;
            phase = kClicked;
            nPhaseFrames = 0;
          } else {
            phase = kNone;
          }
        } else if (nPhaseFrames > 3) {
          ctx.m_pBallHit = nullptr;
          phase = kNone;
        }
      } else if (phase == kClicked) {
        if (!ctx.m_bIdle) {
          ++nMoves;
          ++pTotals->moves;
          phase = kNone;
        } else if (!ctx.m_bCellConfirmed || nPhaseFrames > 300 || !ctx.m_pSelectedBall) {
          ctx.m_bCellConfirmed = 0;
          ctx.m_bCellHit = 0;
          phase = kNone;
        }
      }
    }
  }
};

TEST_F(BotTest, ThousandsOfRandomGamesKeepTheInvariants) {
  Totals totals;
  const auto start = std::chrono::steady_clock::now();
  for (int nSeed = 0; nSeed < 2000; ++nSeed) {
    PlayGame(nSeed, &totals);
    ASSERT_FALSE(HasFailure()) << "seed " << nSeed;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  printf("games %d moves %d scoring frames %d undos %d game overs %d new games mid-move %d in %.1f s\n", totals.games,
         totals.moves, totals.runs, totals.undos, totals.gameOvers, totals.newGamesMidMove, seconds);
  EXPECT_GT(totals.moves, 20000);
  EXPECT_GT(totals.runs, 1000);
  EXPECT_GT(totals.undos, 100);
  EXPECT_GT(totals.gameOvers, 10);
  EXPECT_GT(totals.newGamesMidMove, 10);
}

}  // namespace
}  // namespace board_test

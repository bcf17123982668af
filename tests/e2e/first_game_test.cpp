// A new player's first game: the intro hands over to a board of five balls, a ball
// moves and three new ones fall, the menu saves what the screen shows, and Backspace
// takes the move back.
#include <X11/keysym.h>

#include <algorithm>
#include <deque>
#include <vector>

#include "tests/e2e/end_to_end_test.h"

namespace {

struct Move {
  int fromI = -1, fromJ = -1, toI = -1, toJ = -1;
};

// A ball and the empty cell nearest the player (smallest row) that it can reach.
Move PlanMove(const SavedGame& game) {
  Move best;
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 9; ++j) {
      if (game.board[i][j] == 0) continue;
      bool seen[9][9] = {};
      std::deque<std::pair<int, int>> open{{i, j}};
      seen[i][j] = true;
      while (!open.empty()) {
        const auto [ci, cj] = open.front();
        open.pop_front();
        for (const auto& [di, dj] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
          const int ni = ci + di, nj = cj + dj;
          if (ni < 0 || ni > 8 || nj < 0 || nj > 8 || seen[ni][nj] || game.board[ni][nj] != 0) continue;
          seen[ni][nj] = true;
          open.push_back({ni, nj});
          if (best.fromI < 0 || nj < best.toJ) best = Move{i, j, ni, nj};
        }
      }
    }
  return best;
}

}  // namespace

class FirstGameTest : public EndToEndTest {};

TEST_F(FirstGameTest, FiveBallsMoveSaveAndTakeBack) {
  StartPlaying();
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(0, Score(game.LastCapture())) << "the top bar should show the score 0000";

  const SavedGame start = SaveThroughMenu();
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(5, start.Balls());
  EXPECT_EQ(0, start.score);
  EXPECT_TRUE(game.WaitFor([&](const ScreenImage& s) { return ShowsBoard(s, start); }, 5000))
      << "the saved board is not the one on the screen";

  const Move move = PlanMove(start);
  ASSERT_GE(move.fromI, 0);
  const int colour = start.board[move.fromI][move.fromJ];
  MoveBall(move.fromI, move.fromJ, move.toI, move.toJ);
  ASSERT_FALSE(HasFatalFailure());
  // The ball travels, three new balls drop in the previewed colours. The ball counts
  // as arrived when two frames in a row show it at the target: its flight ends there and
  // passes it nowhere else. Its start is not looked at, since a new ball may drop there
  // before a slow capture sees the cell empty; the saved board below says what is where.
  int seen = 0;
  ASSERT_TRUE(game.ForFrames(400, [&](const ScreenImage& s) {
    const bool there = BallAt(s, move.toI, move.toJ) == colour;
    seen = there ? seen + 1 : 0;
    return seen >= 2;
  }))
      << "the ball did not go from (" << move.fromI << "," << move.fromJ << ") to (" << move.toI << ","
      << move.toJ << ")";
  const SavedGame after = SaveThroughMenu();
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(8, after.Balls());
  EXPECT_EQ(colour, after.board[move.toI][move.toJ]);
  // The new balls land on empty cells, and the cell the ball left is one of them.
  std::vector<int> dropped, previewed(start.next, start.next + 3);
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 9; ++j) {
      const bool wasFree = start.board[i][j] == 0 || (i == move.fromI && j == move.fromJ);
      if (after.board[i][j] != 0 && wasFree && !(i == move.toI && j == move.toJ)) dropped.push_back(after.board[i][j]);
    }
  std::sort(dropped.begin(), dropped.end());
  std::sort(previewed.begin(), previewed.end());
  EXPECT_EQ(previewed, dropped) << "the new balls should have the previewed colours";
  EXPECT_TRUE(game.WaitFor([&](const ScreenImage& s) { return ShowsBoard(s, after); }, 8000))
      << "the board after the move is not the one on the screen";

  game.Press(XK_BackSpace);
  EXPECT_TRUE(game.WaitFor([&](const ScreenImage& s) { return ShowsBoard(s, start); }, 8000))
      << "Backspace did not bring the first board back";
  const SavedGame undone = SaveThroughMenu();
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 9; ++j) EXPECT_EQ(start.board[i][j], undone.board[i][j]) << "cell " << i << "," << j;
  for (int k = 0; k < 3; ++k) EXPECT_EQ(start.next[k], undone.next[k]) << "preview " << k;
  EXPECT_EQ(0, undone.score);
}

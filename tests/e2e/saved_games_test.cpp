// Games crafted on disk and loaded from the main menu: one move completes a run and
// scores it; one move fills the board, and the records screen takes the player's name.
#include <X11/keysym.h>

#include "tests/e2e/end_to_end_test.h"

class SavedGamesTest : public EndToEndTest {
 protected:
  // Lays the game into the working folder, starts, and loads it from the menu.
  void LoadCrafted(const SavedGame& crafted) {
    ASSERT_TRUE(crafted.Write(game.PathOf("Vantorel.sav")));
    StartPlaying();
    ASSERT_FALSE(HasFatalFailure());
    ChooseMenuItem(2);
    ASSERT_TRUE(game.WaitFor([&](const ScreenImage& s) { return ShowsBoard(s, crafted); }, 10000))
        << "the loaded board is not on the screen";
  }
};

TEST_F(SavedGamesTest, OneMoveCompletesARunAndScoresFive) {
  // Four red balls in row 1 and a fifth two cells away from the gap at their end.
  SavedGame crafted;
  for (int i = 2; i <= 5; ++i) crafted.board[i][1] = 1;
  crafted.board[6][3] = 1;
  crafted.board[1][6] = 3;
  crafted.next[0] = 2, crafted.next[1] = 4, crafted.next[2] = 6;
  LoadCrafted(crafted);
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(0, Score(game.LastCapture()));

  MoveBall(6, 3, 6, 1);
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_TRUE(game.WaitFor([&](const ScreenImage& s) { return Score(s) == 5; }, 15000))
      << "the top bar should show 0005";
  SavedGame cleared;
  cleared.board[1][6] = 3;
  EXPECT_TRUE(game.WaitFor([&](const ScreenImage& s) { return ShowsBoard(s, cleared); }, 10000))
      << "the run should vanish and no new balls drop";
  const SavedGame saved = SaveThroughMenu();
  EXPECT_EQ(5, saved.score);
  EXPECT_EQ(1, saved.Balls());
}

TEST_F(SavedGamesTest, FullBoardEndsInTheRecordsWithTheTypedName) {
  // 79 balls with no run anywhere; the two gaps at the front. Moving the ball behind
  // one gap into it leaves two free cells, which the two new balls fill.
  SavedGame crafted;
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 9; ++j) crafted.board[i][j] = RunFreeColour(i, j);
  crafted.board[3][0] = crafted.board[4][0] = 0;
  crafted.next[0] = 7, crafted.next[1] = 7, crafted.next[2] = 7;
  crafted.score = 77;  // between the default records 80 and 70: it enters as row 3
  LoadCrafted(crafted);
  ASSERT_FALSE(HasFatalFailure());

  MoveBall(4, 1, 4, 0);
  ASSERT_FALSE(HasFatalFailure());
  // The records screen tints the whole picture dark blue.
  ASSERT_TRUE(game.WaitFor(
      [&](const ScreenImage& s) {
        size_t blue = 0;
        for (int y = 0; y < s.height; y += 4)
          for (int x = 0; x < s.width; x += 4) {
            const Rgb c = s.At(x, y);
            blue += c.b > c.r + 30 && c.b > c.g + 30;
          }
        return blue * 16 > s.pixels.size() * 8 / 10;
      },
      20000))
      << "the full board did not open the records screen";
  game.PressWithShift(XK_t);
  for (unsigned long key : {XK_e, XK_s, XK_t, XK_e, XK_r}) game.Press(key);
  game.Press(XK_Return);
  game.Press(XK_Return);

  RecordsTable records;
  ASSERT_TRUE(GameSession::WaitUntil(
      [&] { return RecordsTable::Read(game.PathOf("records.rcd"), &records) && records.rows[3].name == "Tester"; },
      10000))
      << "records.rcd should hold the new name in row 3";
  EXPECT_EQ(77u * 77u, records.rows[3].squaredScore);
  EXPECT_EQ(80u * 80u, records.rows[2].squaredScore);
  EXPECT_EQ(70u * 70u, records.rows[4].squaredScore);
  EXPECT_EQ(40u * 40u, records.rows[7].squaredScore);
  // Leaving the records starts a new game of five balls.
  EXPECT_TRUE(game.WaitFor([&](const ScreenImage& s) { return Score(s) == 0; }, 10000));
}

// A session recorded through SDL's disk audio driver: the intro and a new game's
// drops, a board of 40 balls landing, a run vanishing, three new balls and the options
// screen, first at the first-run volumes and then again with both sliders at their
// highest. However many effects sound together, no sample of the mix reaches full scale.
#include <X11/keysym.h>

#include <cstdio>
#include <filesystem>

#include "tests/e2e/end_to_end_test.h"
#include "tests/e2e/sound_recording.h"

class SoundSessionTest : public EndToEndTest {
 protected:
  // 36 balls with no run in the back columns; four red ones in column 1 and a fifth
  // that completes them in one move.
  static SavedGame FortyBalls() {
    SavedGame board;
    for (int i = 0; i < 9; ++i)
      for (int j = 5; j < 9; ++j) board.board[i][j] = RunFreeColour(i, j);
    board.board[8][8] = 0;
    for (int i = 2; i <= 5; ++i) board.board[i][1] = 1;
    board.board[6][3] = 1;
    board.next[0] = 2, board.next[1] = 4, board.next[2] = 6;
    return board;
  }

  void ClickMenuItem(int item) { game.ClickAt(game.View().FromNormalised(0.0f, -0.5f + 0.2f * float(item))); }

  // Loads the 40 balls, completes the run, then moves a ball that completes nothing.
  void LandRemoveAndDrop() {
    const SavedGame board = FortyBalls();
    ASSERT_EQ(40, board.Balls());
    ChooseMenuItem(2);
    ASSERT_TRUE(game.WaitFor([&](const ScreenImage& s) { return ShowsBoard(s, board); }, 10000))
        << "the 40 balls are not on the screen";
    MoveBall(6, 3, 6, 1);
    ASSERT_FALSE(HasFatalFailure());
    SavedGame cleared = board;
    for (int i = 2; i <= 5; ++i) cleared.board[i][1] = 0;
    cleared.board[6][3] = 0;
    ASSERT_TRUE(game.WaitFor([&](const ScreenImage& s) { return ShowsBoard(s, cleared); }, 15000))
        << "the run did not vanish";
    SavedGame moved = cleared;
    moved.board[0][4] = moved.board[0][5];
    moved.board[0][5] = 0;
    MoveBall(0, 5, 0, 4);
    ASSERT_FALSE(HasFatalFailure());
    // The three new balls, in the colours previewed, come to rest on free cells.
    EXPECT_TRUE(game.WaitFor(
        [&](const ScreenImage& s) {
          int landed = 0;
          for (int i = 0; i < 9; ++i)
            for (int j = 0; j < 9; ++j)
              if (moved.board[i][j] == 0) {
                const int shown = BallAt(s, i, j);
                landed += shown == board.next[0] || shown == board.next[1] || shown == board.next[2];
              }
          return BallAt(s, 0, 4) == moved.board[0][4] && landed == 3;
        },
        15000))
        << "the ball did not reach (0,4) or the new balls did not land";
    WaitForSoundAfterThis();
  }

  // Until the recording holds half a second past this point: the sounds of what was
  // just seen have been mixed into it.
  void WaitForSoundAfterThis() {
    const size_t from = FramesRecorded();
    EXPECT_TRUE(GameSession::WaitUntil([&] { return FramesRecorded() >= from + SoundRecording::kRate / 2; }, 20000))
        << "the recording stopped growing";
  }

  size_t FramesRecorded() const {
    std::error_code ignored;
    return static_cast<size_t>(std::filesystem::file_size(m_sound, ignored)) / 4;
  }

  const std::string m_sound = game.PathOf("sound.raw");
};

TEST_F(SoundSessionTest, NoSampleReachesFullScaleAtTheFirstRunOrTheHighestVolumes) {
  game.RecordSoundTo(m_sound);
  ASSERT_TRUE(FortyBalls().Write(game.PathOf("Vantorel.sav")));
  StartPlaying();
  ASSERT_FALSE(HasFatalFailure());
  LandRemoveAndDrop();
  ASSERT_FALSE(HasFatalFailure());

  // Both sliders to their right end (the music slider takes the upper row).
  ChooseMenuItem(3);
  game.ClickAt(OptionsGrid(18.7f, 7.2f));
  game.ClickAt(OptionsGrid(18.7f, 8.7f));
  const size_t loudFrom = FramesRecorded();
  game.Press(XK_Escape);
  ClickMenuItem(0);  // a new game: five balls drop
  // Saved where they fall, then seen at rest there; the forty balls go back in the file.
  const SavedGame fresh = SaveThroughMenu();
  EXPECT_EQ(5, fresh.Balls());
  EXPECT_TRUE(game.WaitFor([&](const ScreenImage& s) { return ShowsBoard(s, fresh); }, 15000))
      << "the new game's balls did not land";
  WaitForSoundAfterThis();
  ASSERT_TRUE(FortyBalls().Write(game.PathOf("Vantorel.sav")));
  LandRemoveAndDrop();
  ASSERT_FALSE(HasFatalFailure());

  SoundRecording recording;
  ASSERT_TRUE(recording.Read(m_sound));
  const size_t end = recording.Frames();
  ASSERT_GT(end, loudFrom);
  const struct {
    const char* name;
    size_t from, to;
  } parts[] = {{"first-run volumes", 0, loudFrom}, {"highest volumes", loudFrom, end}};
  for (const auto& part : parts) {
    const std::vector<double> levels = recording.BlockLevels(part.from, part.to);
    std::printf("%s: %.1f s, %zu clipped samples, 10 ms RMS median %.1f dBFS, loudest %.1f dBFS\n", part.name,
                double(part.to - part.from) / SoundRecording::kRate, recording.ClippedSamples(part.from, part.to),
                Median(levels), Loudest(levels));
    EXPECT_EQ(0u, recording.ClippedSamples(part.from, part.to)) << part.name;
    EXPECT_GT(Loudest(levels), -20.0) << part.name << ": the session should be audible";
  }
}

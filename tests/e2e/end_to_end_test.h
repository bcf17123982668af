// The base of every scenario: a game session, what a player can read off the screen,
// and the menu moves every scenario makes. A failing scenario leaves a screenshot,
// the game's log and its output in e2e-artifacts/ of the build these tests come from,
// never in the folder players run the game from; a run against another build's game
// names them "release.<scenario>.*" so that they do not take the place of this one's.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "tests/e2e/game_files.h"
#include "tests/e2e/game_session.h"
#include "tests/e2e/top_bar_reader.h"

// What the screen shows at a cell: no ball, or a ball of colour 1..7. The white ball
// (7) is told from a bare plate by its brightness.
enum : int { kNoBall = 0, kUnclear = -1 };

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts the game and waits through the intro and the opening flight into play.
  void StartPlaying();

  int BallAt(const ScreenImage& screen, int i, int j) const;
  // What a colour on the screen is: kNoBall, a ball colour or kUnclear.
  static int ColourOf(const Rgb& c);
  // Every cell as the saved board has it (a white ball may also pass for a plate).
  bool ShowsBoard(const ScreenImage& screen, const SavedGame& game) const;
  int Score(const ScreenImage& screen) const { return m_pDigits->Score(screen); }

  // Escape from play opens the main menu; item 0 new game .. 5 exit.
  void ChooseMenuItem(int item);
  // Save and resume; the file as the game wrote it.
  SavedGame SaveThroughMenu();
  // Clicks the ball at `from` once, makes sure it hops, clicks the cell `to` and takes
  // the cursor off the board, so that it cannot pass for a ball in what is read after.
  // A fatal failure when there is no ball, it does not rest or does not hop.
  void MoveBall(int fromI, int fromJ, int toI, int toJ);
  // The cursor to the lower left corner, off the board and the top bar.
  void ParkCursor() { game.PointAt(ScreenPoint{0, game.View().Height()}); }
  // A point of the grid of twentieths that the options screen is laid out on.
  ScreenPoint OptionsGrid(float gx, float gy) const;

  GameSession game;

 private:
  bool InPlay(const ScreenImage& screen, ScreenImage* previous) const;
  bool SettledInPlay(const ScreenImage& screen, ScreenImage* previous, ScreenImage* first,
                     std::chrono::steady_clock::time_point* since) const;
  // The lowest row of the screen where the ball of that colour at (i, j) shows, or -1.
  int LowestRowOf(const ScreenImage& screen, int i, int j, int colour) const;
  // The lowest row of the ball once it has come to rest; -1 when it did not.
  int RestingRowOf(int i, int j, int colour);
  // The selected ball hops: it rises off the plate it rested on and falls back.
  bool Hops(int i, int j, int colour, int restingRow);
  std::unique_ptr<TopBarReader> m_pDigits;
};

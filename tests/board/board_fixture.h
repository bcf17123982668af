// A game context with a scene list, a fake clock, sounds recorded by the sound
// backend and a seeded C random generator, for driving balls and the board rules
// without a device.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/gamecontext.h"
#include "engine/listengine.h"
#include "engine/samplecache.h"
#include "game/ball.h"
#include "tests/support/sound/recording_sound_backend.h"

namespace board_test {

class BoardTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A resting ball of that colour on the empty cell (i, j), counted on the board.
  CBall* RestingBall(int i, int j, int nColour);
  // Fills every empty cell with a colour pattern in which no two neighbours along a
  // row, a column or a diagonal match, so no runs exist.
  void FillWithoutRuns(const std::vector<std::pair<int, int>>& leaveEmpty = {});
  // Cell (i, j) of the pattern.
  static int PatternColour(int i, int j) { return (i + 2 * j) % 7 + 1; }
  // One frame of the scene list with the given elapsed milliseconds.
  void Frame(DWORD dwElapsed);
  // Selects the ball as the player would and confirms a click on cell (i, j).
  void SelectAndClick(CBall* pBall, int i, int j);
  CBall* BallAt(int i, int j) const;
  int BallsInList() const;
  int NonEmptyCells() const;
  int CountSounds(const std::string& name) const;
  bool AnyBallMoving() const;

  CGameContext ctx;
  CListEngine list;
  CSampleCache samples;
  RecordingSoundBackend backend;
  // The names of the samples played, in order.
  std::vector<std::string> sounds;
};

}  // namespace board_test

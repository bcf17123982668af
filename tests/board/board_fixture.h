// A game context with a scene list, a fake clock, recorded sounds and a scripted
// random source, for driving balls and the board rules without a device.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "engine/gamecontext.h"
#include "engine/listengine.h"
#include "game/ball.h"

namespace board_test {

// Random numbers: the scripted values first, then a seeded generator.
struct ScriptedRand {
  std::deque<int> script;
  uint64_t state = 12345;
  long calls = 0;
  long limit = 10000000;  // a spawn that never ends shows as a failure, not a hang
  int Next() {
    if (++calls > limit) throw std::runtime_error("random source drawn without end");
    if (!script.empty()) {
      int value = script.front();
      script.pop_front();
      return value;
    }
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<int>((state >> 33) % 32768);
  }
};

extern ScriptedRand* g_pRand;
extern std::vector<std::string>* g_pSounds;

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
  ScriptedRand rand;
  std::vector<std::string> sounds;
};

}  // namespace board_test

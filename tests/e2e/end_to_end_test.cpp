#include "tests/e2e/end_to_end_test.h"

#include <X11/keysym.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// A ball's lit side is strongly coloured; the plates are grey.
constexpr int kColouredSpread = 60;
constexpr int kWhiteBall = 225;

bool IsBar(const Rgb& c) { return c.r < 110 && c.g < 120 && c.b > c.r + 35 && c.b > c.g + 30; }

// Two seconds of the game's clock in frames at its pace, at least a dozen.
int TwoSecondsOfFrames(const GameSession& game) { return std::max(12, game.FramesIn(2000)); }

std::string TestName() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  return std::string(info->test_suite_name()) + "." + info->name();
}

}  // namespace

void EndToEndTest::SetUp() {
  if (access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "needs Xvfb";
  const std::string library = GameSession::GameDirectory() + "/res.dll";
  m_pDigits = std::make_unique<TopBarReader>(library);
  ASSERT_TRUE(m_pDigits->Ok()) << "no digit sheet in " << library;
}

void EndToEndTest::TearDown() {
  if (!HasFailure()) return;
  const std::string dir = VANTOREL_BINARY_DIR "/e2e-artifacts";
  std::error_code ignored;
  std::filesystem::create_directories(dir, ignored);
  // As ctest names the runs against another build's game.
  const bool other = GameSession::GameDirectory() != VANTOREL_BINARY_DIR;
  const std::string stem = dir + "/" + (other ? "release." : "") + TestName();
  // The picture of the moment the check failed, and of now if the game still runs.
  game.LastCapture().SavePng(stem + ".png");
  if (game.Running()) game.Capture().SavePng(stem + ".end.png");
  for (const char* file : {"file.log", "game.out", "registry.txt"})
    std::filesystem::copy_file(game.PathOf(file), stem + "." + file,
                               std::filesystem::copy_options::overwrite_existing, ignored);
  std::printf("artifacts of the failed scenario: %s.*\n", stem.c_str());
}

bool EndToEndTest::InPlay(const ScreenImage& screen, ScreenImage* previous) const {
  if (screen.Empty()) return false;
  const BoardView& view = game.View();
  const int barY = screen.height / 20;
  for (float x : {0.03f, 0.35f, 0.65f, 0.97f})
    if (!IsBar(screen.Mean(static_cast<int>(x * screen.width), barY, 2))) return false;
  // The opening flight is over when the board stands where the camera of play puts it
  // and holds still.
  int board = 0, still = 0;
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 9; ++j) {
      const ScreenPoint p = view.PlateCentre(i, j);
      const Rgb now = screen.Mean(p.x, p.y, 1), before = previous->Mean(p.x, p.y, 1);
      board += BallAt(screen, i, j) != kUnclear && (now.Spread() > kColouredSpread || now.Brightness() > 110);
      still += std::abs(now.r - before.r) + std::abs(now.g - before.g) + std::abs(now.b - before.b) < 24;
    }
  *previous = screen;
  return board >= 75 && still >= 78;
}

bool EndToEndTest::SettledInPlay(const ScreenImage& screen, ScreenImage* previous, ScreenImage* first,
                                 std::chrono::steady_clock::time_point* since) const {
  const auto now = std::chrono::steady_clock::now();
  if (!InPlay(screen, previous)) {
    first->pixels.clear();
    return false;
  }
  if (first->Empty()) {
    *first = screen;
    *since = now;
    return false;
  }
  // Still for a second while frames went on being drawn (the cursor spins), so a
  // slow frame in the middle of the flight is not taken for its end.
  return now - *since > std::chrono::milliseconds(1000) && screen.pixels != first->pixels;
}

void EndToEndTest::StartPlaying() {
  std::string error;
  ASSERT_TRUE(game.Start(&error)) << error;
  ScreenImage previous = game.Capture(), first;
  std::chrono::steady_clock::time_point since;
  // Intro (about 6 s) and flight (1.9 s), slower under a loaded machine.
  ASSERT_TRUE(
      game.WaitFor([&](const ScreenImage& s) { return SettledInPlay(s, &previous, &first, &since); }, 60000))
      << "the intro and the opening flight did not end in play";
  // The cursor marks its place with a mesh; keep it off the board and the top bar.
  ParkCursor();
}

int EndToEndTest::LowestRowOf(const ScreenImage& screen, int i, int j, int colour) const {
  // Along the line the ball rises on, which leans off the middle of the view. From the
  // middle of the ball at rest down to where its colour ends or, once it has risen clear
  // of that point, up to where its colour starts. Never from below: a ball seen from
  // above reaches lower than its plate, and the ball in front may share its colour.
  const ScreenPoint middle = game.View().BallCentre(i, j), top = game.View().CellPoint(i, j, 1.9f);
  const auto shows = [&](int y) {
    const int x = middle.x + (top.x - middle.x) * (middle.y - y) / std::max(1, middle.y - top.y);
    return ColourOf(screen.Mean(x, y, 1)) == colour;
  };
  int y = middle.y;
  if (shows(y)) {
    while (y + 1 < screen.height && shows(y + 1)) ++y;
    return y;
  }
  for (; y >= top.y; --y)
    if (shows(y)) return y;
  return -1;
}

int EndToEndTest::RestingRowOf(int i, int j, int colour) {
  // Still for longer than a landing ball bounces (half a second), while the game went
  // on drawing frames; a ball dropped or loaded rests well within ten seconds' worth.
  int row = -1;
  auto since = std::chrono::steady_clock::now();
  const bool rests = game.ForFrames(game.FramesIn(10000), [&](const ScreenImage& s) {
    const int now = LowestRowOf(s, i, j, colour);
    if (now < 0 || now != row) {
      row = now;
      since = std::chrono::steady_clock::now();
      return false;
    }
    return std::chrono::steady_clock::now() - since > std::chrono::milliseconds(500);
  });
  return rests ? row : -1;
}

bool EndToEndTest::Hops(int i, int j, int colour, int restingRow) {
  // A selected ball hops on for as long as it stays selected, one hop in 0.6 s of the
  // game's clock: two seconds' worth of frames show one however long they are.
  return game.ForFrames(TwoSecondsOfFrames(game), [&](const ScreenImage& s) {
    const int row = LowestRowOf(s, i, j, colour);
    return row >= 0 && row <= restingRow - 3;
  });
}

void EndToEndTest::MoveBall(int fromI, int fromJ, int toI, int toJ) {
  const std::string from = "(" + std::to_string(fromI) + "," + std::to_string(fromJ) + ")";
  // A ball just loaded or dropped may be up in the air, off the middle of its cell.
  int colour = kNoBall;
  game.ForFrames(TwoSecondsOfFrames(game), [&](const ScreenImage& s) {
    colour = BallAt(s, fromI, fromJ);
    return colour > kNoBall;
  });
  ASSERT_GT(colour, kNoBall) << "no ball at " << from;
  // A ball takes no click until it has landed; once it rests, any rise is its hop.
  const int restingRow = RestingRowOf(fromI, fromJ, colour);
  ASSERT_GE(restingRow, 0) << "the ball at " << from << " did not come to rest";
  // The ball is clicked where the ray to its plate passes through it: a click at its
  // middle could reach the cell behind it. One click: a game that lets a ball be
  // selected only by a second one is broken.
  game.ClickAt(game.View().PlateCentre(fromI, fromJ));
  game.PointAt(game.View().PlateCentre(toI, toJ));
  ASSERT_TRUE(Hops(fromI, fromJ, colour, restingRow)) << "the ball at " << from << " did not hop when clicked";
  game.Click();
  ParkCursor();
}

int EndToEndTest::ColourOf(const Rgb& c) {
  if (c.Spread() < kColouredSpread) return c.Brightness() >= kWhiteBall ? 7 : kNoBall;
  const int top = std::max({c.r, c.g, c.b});
  const bool r = c.r * 100 >= top * 65, g = c.g * 100 >= top * 65, b = c.b * 100 >= top * 65;
  if (r && !g && !b) return 1;
  if (!r && g && !b) return 2;
  if (!r && !g && b) return 3;
  if (r && g && !b) return 4;
  if (r && !g && b) return 5;
  if (!r && g && b) return 6;
  return kUnclear;
}

int EndToEndTest::BallAt(const ScreenImage& screen, int i, int j) const {
  const ScreenPoint p = game.View().BallCentre(i, j);
  return ColourOf(screen.Mean(p.x, p.y, 2));
}

bool EndToEndTest::ShowsBoard(const ScreenImage& screen, const SavedGame& saved) const {
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 9; ++j) {
      const int shown = BallAt(screen, i, j), cell = saved.board[i][j];
      if (shown == cell) continue;
      if (cell == 7 && shown == kNoBall) continue;  // a white ball in shadow
      return false;
    }
  return true;
}

void EndToEndTest::ChooseMenuItem(int item) {
  game.Press(XK_Escape);
  // Items stand in the middle third of the width, rows 2 to 7 of ten.
  game.ClickAt(game.View().FromNormalised(0.0f, -0.5f + 0.2f * static_cast<float>(item)));
}

SavedGame EndToEndTest::SaveThroughMenu() {
  std::remove(game.PathOf("Vantorel.sav").c_str());
  ChooseMenuItem(1);
  SavedGame saved;
  EXPECT_TRUE(GameSession::WaitUntil([&] { return SavedGame::Read(game.PathOf("Vantorel.sav"), &saved); }, 5000))
      << "save and resume wrote no Vantorel.sav";
  return saved;
}

ScreenPoint EndToEndTest::OptionsGrid(float gx, float gy) const {
  return game.View().FromNormalised(gx / 10.0f - 1.0f, gy / 10.0f - 1.0f);
}

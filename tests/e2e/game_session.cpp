#include "tests/e2e/game_session.h"

#include <X11/keysym.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

namespace {

const std::string kBuild = VANTOREL_BINARY_DIR;
constexpr int kStep = 100;  // largest single relative motion sent

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

GameSession::GameSession() {
  char name[] = "/tmp/vantorel-e2e-XXXXXX";
  if (mkdtemp(name)) m_folder = name;
}

GameSession::~GameSession() {
  m_game.Stop();
  m_pX.reset();
  if (!m_bKeep && !m_folder.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
  }
}

bool GameSession::Start(std::string* error) {
  if (m_folder.empty()) {
    *error = "no working folder";
    return false;
  }
  if (symlink((kBuild + "/res.dll").c_str(), PathOf("res.dll").c_str()) != 0) {
    *error = "cannot link res.dll into " + m_folder;
    return false;
  }
  if (!m_display.Start(error)) return false;
  m_pX = std::make_unique<XSession>(m_display.Name());
  if (!m_pX->IsOpen()) {
    *error = m_pX->Error();
    return false;
  }
  std::vector<std::string> environment = {
      "DISPLAY=" + m_display.Name(), "SDL_VIDEODRIVER=x11",  "LIBGL_ALWAYS_SOFTWARE=1",
      "VANTOREL_WINDOWED=1",         "VANTOREL_NO_DIALOGS=1", "VANTOREL_NO_VSYNC=1",
      "VANTOREL_REGISTRY_FILE=" + PathOf("registry.txt"),
  };
  if (m_soundFile.empty()) {
    environment.push_back("SDL_AUDIODRIVER=dummy");
  } else {
    environment.push_back("SDL_AUDIODRIVER=disk");
    environment.push_back("SDL_DISKAUDIOFILE=" + m_soundFile);
  }
  if (!m_game.Start({kBuild + "/vantorel"}, environment, m_folder, PathOf("game.out"))) {
    *error = "cannot start " + kBuild + "/vantorel";
    return false;
  }
  if (!WaitUntil([&] { return (m_window = m_pX->FindWindowOf(m_game.Pid())) != 0 || !m_game.Running(); }, 20000) ||
      m_window == 0) {
    *error = "the game showed no window (see game.out in the kept folder)";
    return false;
  }
  // The window goes "full screen" (a window of the mode's size) after the scene is
  // built; the intro gives plenty of time for that.
  int width = 0, height = 0;
  WaitUntil([&] { return m_pX->WindowSize(m_window, &width, &height) && width >= 640; }, 10000);
  m_pView = std::make_unique<BoardView>(width, height);
  // With no window manager the keyboard goes to the window that holds the focus.
  m_pX->MovePointerTo(width / 2, height / 2);
  m_pX->Focus(m_window);
  return true;
}

ScreenImage GameSession::Capture() {
  ScreenImage image;
  if (m_pX && m_window) image = m_pX->Capture(m_window);
  if (!image.Empty()) m_last = image;  // keep the last picture of a game that has gone
  return image;
}

bool GameSession::WaitFor(const std::function<bool(const ScreenImage&)>& condition, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition(Capture())) return true;
    if (!m_game.Running()) return false;
    Pause(100);
  }
  return false;
}

bool GameSession::WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    Pause(50);
  }
  return true;
}

bool GameSession::ForFrames(int frames, const std::function<bool(const ScreenImage&)>& frame, int stillMs) {
  ScreenImage before = Capture();
  for (int seen = 0; seen < frames && m_game.Running();) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(stillMs);
    ScreenImage now = Capture();
    while (now.pixels == before.pixels && std::chrono::steady_clock::now() < deadline && m_game.Running()) {
      Pause(15);
      now = Capture();
    }
    if (now.pixels == before.pixels) return false;
    if (frame(now)) return true;
    before = std::move(now);
    ++seen;
  }
  return false;
}

void GameSession::Settle(int frames) {
  // Time for the X server and SDL, then new frames: the first may have been under way
  // before the input came, the ones after it have polled the devices. A loaded
  // machine draws a frame in a good fraction of a second, so the still-screen limit
  // is generous; a screen that really stands still costs it once.
  Pause(100);
  ForFrames(frames, [](const ScreenImage&) { return false; });
}

void GameSession::Motion(int dx, int dy) {
  // SDL drops a raw motion that repeats the last one within the same millisecond, so
  // the steps alternate in size and leave the server's clock time to move on.
  for (int n = 0; dx != 0 || dy != 0; ++n) {
    const int size = kStep - (n & 1);
    const int sx = std::clamp(dx, -size, size), sy = std::clamp(dy, -size, size);
    m_pX->MovePointerBy(sx, sy);
    dx -= sx;
    dy -= sy;
    Pause(3);
  }
}

void GameSession::PointAt(ScreenPoint p) {
  if (!m_pX || !m_pView) return;
  // The game adds up the motion between two polls before it clamps, so the push into
  // the corner must be taken in before the way out starts.
  Motion(-(m_pView->Width() + kStep), -(m_pView->Height() + kStep));
  Settle();
  Motion(p.x, p.y);
  Settle();
}

void GameSession::Click(int button) {
  if (!m_pX) return;
  // Held down through several polls, as a player's click is: the game acts on a press
  // only when a poll finds the button down and the board at rest.
  m_pX->Button(button, true);
  Settle(5);
  m_pX->Button(button, false);
  Settle();
}

void GameSession::Press(unsigned long keysym) {
  if (!m_pX) return;
  m_pX->Key(keysym, true);
  Settle();
  m_pX->Key(keysym, false);
  Settle();
}

void GameSession::PressWithShift(unsigned long keysym) {
  if (!m_pX) return;
  m_pX->Key(XK_Shift_L, true);
  Press(keysym);
  m_pX->Key(XK_Shift_L, false);
  Settle();
}

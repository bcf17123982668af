#include "tests/e2e/game_session.h"

#include <X11/keysym.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/win32/registry.h"
#include "shell/dxutil_registry.h"

namespace {

constexpr int kStep = 100;  // largest single relative motion sent
constexpr size_t kPaceFrames = 15;  // frame gaps the game's pace is taken from

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

std::string GameSession::GameDirectory() {
  const char* other = getenv("VANTOREL_E2E_GAME_DIR");
  return other && *other ? other : VANTOREL_BINARY_DIR;
}

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
  const std::string game = GameDirectory();
  if (symlink((game + "/res.dll").c_str(), PathOf("res.dll").c_str()) != 0) {
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
  if (!m_game.Start({game + "/vantorel"}, environment, m_folder, PathOf("game.out"))) {
    *error = "cannot start " + game + "/vantorel";
    return false;
  }
  if (!WaitUntil([&] { return (m_window = m_pX->FindWindowOf(m_game.Pid())) != 0 || !m_game.Running(); }, 20000) ||
      m_window == 0) {
    *error = "the game showed no window (see game.out in the kept folder)";
    return false;
  }
  if (!WaitForSettledWindow(error)) return false;
  // With no window manager the keyboard goes to the window that holds the focus.
  m_pX->MovePointerTo(m_pView->Width() / 2, m_pView->Height() / 2);
  m_pX->Focus(m_window);
  return true;
}

DWORD GameSession::Setting(const char* name, DWORD fallback) const {
  // The registry functions follow the environment, as the game's do.
  setenv("VANTOREL_REGISTRY_FILE", PathOf("registry.txt").c_str(), 1);
  HKEY key = nullptr;
  DWORD value = fallback;
  if (RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Marbek\\Vantorel", 0, KEY_READ, &key) == ERROR_SUCCESS) {
    DXUtil_ReadIntRegKey(key, name, &value, fallback);
    RegCloseKey(key);
  }
  return value;
}

bool GameSession::WaitForSettledWindow(std::string* error) {
  // The mode of the settings the game starts with; a first run's is 640 x 480.
  const int width = static_cast<int>(Setting("Width", 640)), height = static_cast<int>(Setting("Height", 480));
  int seenWidth = 0, seenHeight = 0, frames = 0;
  ScreenImage before;
  const bool settled = WaitUntil(
      [&] {
        if (!m_game.Running()) return true;
        ScreenImage now = Capture();
        seenWidth = now.width, seenHeight = now.height;
        if (seenWidth != width || seenHeight != height) {
          frames = 0;
        } else if (now.pixels != before.pixels) {
          ++frames;
        }
        before = std::move(now);
        return frames > 3;
      },
      60000);
  if (!settled || !m_game.Running()) {
    *error = "the game's window did not settle at " + std::to_string(width) + "x" + std::to_string(height) +
             " (last seen " + std::to_string(seenWidth) + "x" + std::to_string(seenHeight) + ", " +
             std::to_string(frames) + " new frames at that size)" + (m_game.Running() ? "" : ": the game ended");
    return false;
  }
  m_pView = std::make_unique<BoardView>(width, height);
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

bool GameSession::Holds(const std::function<bool(const ScreenImage&)>& condition, int ms) {
  const bool broken = WaitFor([&](const ScreenImage& s) { return !condition(s); }, ms);
  return !broken && m_game.Running();
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
  // The first new frame may have been under way before the call; its gap is not a frame's.
  std::chrono::steady_clock::time_point last;
  for (int seen = 0; seen < frames && m_game.Running();) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(stillMs);
    ScreenImage now = Capture();
    while (now.pixels == before.pixels && std::chrono::steady_clock::now() < deadline && m_game.Running()) {
      Pause(15);
      now = Capture();
    }
    if (now.pixels == before.pixels) return false;
    const auto shown = std::chrono::steady_clock::now();
    if (seen > 0) {
      m_frameGapsMs.push_back(
          static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(shown - last).count()));
      if (m_frameGapsMs.size() > kPaceFrames) m_frameGapsMs.pop_front();
    }
    last = shown;
    if (frame(now)) return true;
    before = std::move(now);
    ++seen;
  }
  return false;
}

int GameSession::FramesIn(int ms) const {
  // No pace seen yet: a frame of a game at 60 Hz.
  if (m_frameGapsMs.empty()) return std::max(1, ms / 16);
  std::vector<int> gaps(m_frameGapsMs.begin(), m_frameGapsMs.end());
  std::nth_element(gaps.begin(), gaps.begin() + gaps.size() / 2, gaps.end());
  return std::max(1, ms / std::max(1, gaps[gaps.size() / 2]));
}

void GameSession::Settle(int frames) {
  // The X server has taken the input in; then new frames: the first may have been under
  // way before the input came, the ones after it have polled the devices. A loaded
  // machine draws a frame in a good fraction of a second, so the still-screen limit
  // is generous; a screen that really stands still costs it once.
  m_pX->Flush();
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

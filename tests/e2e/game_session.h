// One run of the real game binary on a display of its own, in a fresh working folder,
// driven through real X input as a player would drive it.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "platform/win32/win32.h"
#include "tests/e2e/board_view.h"
#include "tests/e2e/child_process.h"
#include "tests/e2e/private_display.h"
#include "tests/e2e/screen_image.h"
#include "tests/e2e/x_session.h"

class GameSession {
 public:
  // Where the game and its resource library are taken from: this build, or the build
  // that VANTOREL_E2E_GAME_DIR names (a Release build, the one players run).
  static std::string GameDirectory();

  GameSession();
  ~GameSession();  // stops the game and the display; the folder goes unless Keep()

  // The working folder exists from construction on, so files can be laid there first.
  const std::string& Folder() const { return m_folder; }
  std::string PathOf(const std::string& name) const { return m_folder + "/" + name; }
  void Keep() { m_bKeep = true; }
  // Before Start: the game's sound goes to this file (SDL's disk driver, raw samples in
  // the mixer's format) instead of the silent dummy driver.
  void RecordSoundTo(const std::string& path) { m_soundFile = path; }

  // Starts the display and the game and waits for the game's window to settle at the
  // mode's size.
  bool Start(std::string* error);
  // A value of the game's settings file in the working folder, or `fallback`.
  DWORD Setting(const char* name, DWORD fallback) const;
  const BoardView& View() const { return *m_pView; }

  ScreenImage Capture();
  const ScreenImage& LastCapture() const { return m_last; }
  // Captures until `condition` holds or `timeoutMs` passes.
  bool WaitFor(const std::function<bool(const ScreenImage&)>& condition, int timeoutMs);
  // Captures for `ms`: true when every picture meets `condition` and the game runs on.
  bool Holds(const std::function<bool(const ScreenImage&)>& condition, int ms);
  // Every new frame the game shows (each differs: the 3D cursor spins) goes to
  // `frame` until it returns true or `frames` have been seen; false then. A screen
  // that stays still for `stillMs` ends the wait early: nothing more is coming.
  bool ForFrames(int frames, const std::function<bool(const ScreenImage&)>& frame, int stillMs = 4000);
  // How many new frames the game shows in `ms` at the pace ForFrames last saw (the
  // median of its recent gaps, so one stall does not count); at least one.
  int FramesIn(int ms) const;
  // Waits for a file condition (the game writes its files in its own time).
  static bool WaitUntil(const std::function<bool()>& condition, int timeoutMs);

  // The game's cursor follows relative mouse motion from the screen's middle; it is
  // first pushed into the top-left corner, where the game clamps it, then moved on.
  void PointAt(ScreenPoint p);
  void Click(int button = 1);
  void ClickAt(ScreenPoint p, int button = 1) {
    PointAt(p);
    Click(button);
  }
  void Press(unsigned long keysym);
  void PressWithShift(unsigned long keysym);

  bool Running() { return m_game.Running(); }
  bool WaitExit(int timeoutMs, int* exitCode) { return m_game.WaitExit(timeoutMs, exitCode); }

 private:
  // The window is full screen at the mode's size when it keeps that size while the
  // game draws a few new frames: the switch passes through other sizes first.
  bool WaitForSettledWindow(std::string* error);
  // Relative pointer motion in steps the game takes in whole.
  void Motion(int dx, int dy);
  // Until the game has drawn a few frames and so polled its devices.
  void Settle(int frames = 4);

  std::string m_folder;
  std::string m_soundFile;
  bool m_bKeep = false;
  PrivateDisplay m_display;
  std::unique_ptr<XSession> m_pX;
  ChildProcess m_game;
  unsigned long m_window = 0;
  std::unique_ptr<BoardView> m_pView;
  ScreenImage m_last;
  std::deque<int> m_frameGapsMs;  // between new frames seen in one ForFrames, newest last
};

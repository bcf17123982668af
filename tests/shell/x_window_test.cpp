// The application base's window as the X server has it, under Xvfb without a window
// manager: the window is the back buffer in a window, covers the screen in full screen,
// and a minimise the user undoes lets the frames go on.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/win32/window_bridge.h"
#include "platform/win32/window_testing.h"
#include "shell/d3dapp.h"
#include "shell/resource.h"

// Last: Xlib's macros (None, Status, Bool) would clash with the headers above.
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

namespace {

class CClearApp : public CD3DApplication {
 public:
  CClearApp() {
    m_strWindowTitle = "Vantorel";
    m_dwCreationWidth = 500;
    m_dwCreationHeight = 375;
  }
  using CD3DApplication::m_bWindowed;
  using CD3DApplication::m_hWnd;
  std::atomic<int> frames{0};
  int minimiseAt = -1;
  int closeAt = 1000;

 protected:
  HRESULT FrameMove() override {
    const int n = ++frames;
    if (n == minimiseAt) SendMessage(m_hWnd, WM_COMMAND, IDM_MINIMIZE, 0);  // what Space does
    if (n >= closeAt) PostMessage(m_hWnd, WM_CLOSE, 0, 0);
    return S_OK;
  }
  HRESULT Render() override { return m_pd3dDevice->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699, 1.0f, 0); }
};

::Window XWindowOf(HWND window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(WindowGetSdlWindow(window), &info) || info.subsystem != SDL_SYSWM_X11) return 0;
  return info.info.x11.window;
}

struct ServerView {
  int width = 0, height = 0;
  bool mapped = false;
};

// Read on a connection of our own, so SDL's event queue is left alone.
ServerView Server(Display* display, ::Window window) {
  ServerView view;
  XWindowAttributes a;
  XSync(display, False);
  if (XGetWindowAttributes(display, window, &a)) {
    view.width = a.width;
    view.height = a.height;
    view.mapped = a.map_state == IsViewable;
  }
  return view;
}

// The window as the server has it once it is width x height, or as it is after five
// seconds; meanwhile the window machinery reads what the server sends back.
ServerView SizeWhenSettled(Display* display, ::Window window, int width, int height) {
  ServerView view;
  for (int i = 0; i < 500; ++i) {
    MSG msg;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
    view = Server(display, window);
    if (view.width == width && view.height == height) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return view;
}

class XWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "needs a display (the tests run under Xvfb)";
    m_display = XOpenDisplay(nullptr);
    ASSERT_NE(nullptr, m_display);
    setenv("VANTOREL_NO_DIALOGS", "1", 1);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    WindowResetAll();
    WindowUseVirtualWindows(false);
  }
  void TearDown() override {
    WindowResetAll();
    setenv("VANTOREL_WINDOWED", "1", 1);
    if (m_display) XCloseDisplay(m_display);
  }
  Display* m_display = nullptr;
};

TEST_F(XWindowTest, ClientAreaIsTheBackBufferAndFullScreenCoversTheScreen) {
  for (const bool keepWindowed : {false, true}) {
    SCOPED_TRACE(keepWindowed ? "VANTOREL_WINDOWED=1" : "full screen");
    if (keepWindowed) setenv("VANTOREL_WINDOWED", "1", 1);
    else unsetenv("VANTOREL_WINDOWED");
    CClearApp app;
    ASSERT_EQ(S_OK, app.Create(GetModuleHandle(nullptr)));
    const ::Window x = XWindowOf(app.m_hWnd);
    ASSERT_NE(0u, x);
    ServerView view = SizeWhenSettled(m_display, x, 500, 375);
    EXPECT_EQ(500, view.width);
    EXPECT_EQ(375, view.height);

    ASSERT_EQ(S_OK, app.ToggleFullscreen());
    ASSERT_EQ(S_OK, app.Render3DEnvironment());
    const Screen* screen = DefaultScreenOfDisplay(m_display);
    const int width = keepWindowed ? 640 : WidthOfScreen(screen), height = keepWindowed ? 480 : HeightOfScreen(screen);
    view = SizeWhenSettled(m_display, x, width, height);
    EXPECT_EQ(width, view.width);
    EXPECT_EQ(height, view.height);

    ASSERT_EQ(S_OK, app.ToggleFullscreen());
    ASSERT_EQ(S_OK, app.Render3DEnvironment());
    view = SizeWhenSettled(m_display, x, 500, 375);
    EXPECT_EQ(500, view.width);
    EXPECT_EQ(375, view.height);
    RECT client;
    GetClientRect(app.m_hWnd, &client);
    EXPECT_EQ(500, client.right);
    EXPECT_EQ(375, client.bottom);
    SendMessage(app.m_hWnd, WM_CLOSE, 0, 0);
  }
}

TEST_F(XWindowTest, MinimiseThenRestoreByTheUserResumesRendering) {
  setenv("VANTOREL_WINDOWED", "1", 1);
  CClearApp app;
  app.minimiseAt = 3;
  app.closeAt = 10;
  ASSERT_EQ(S_OK, app.Create(GetModuleHandle(nullptr)));
  const ::Window x = XWindowOf(app.m_hWnd);
  ASSERT_NE(0u, x);

  // The user's side: once the window is gone from the screen, bring it back the way a
  // task bar would, by mapping it again.
  std::atomic<bool> unmapped{false}, gaveUp{false};
  std::thread user([&] {
    Display* display = XOpenDisplay(nullptr);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < end) {
      if (app.frames >= 3 && !Server(display, x).mapped) {
        unmapped = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        XMapRaised(display, x);
        XFlush(display);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    while (app.frames < 10 && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (app.frames < 10) {  // the loop never woke: end it rather than hang
      gaveUp = true;
      SDL_Event quit = {};
      quit.type = SDL_QUIT;
      SDL_PushEvent(&quit);
    }
    XCloseDisplay(display);
  });
  const int result = app.Run();
  user.join();
  EXPECT_EQ(0, result);
  EXPECT_TRUE(unmapped);
  EXPECT_FALSE(gaveUp);
  EXPECT_EQ(10, app.frames);
}

}  // namespace

namespace {

// Without a display the program must not fall back to an invisible off-screen window.
TEST(StartUpTest, WithoutADisplayTheProgramSaysSoInOneLineAndFails) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process: SDL video not yet started
  EXPECT_EXIT(
      {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("SDL_VIDEODRIVER");
        CClearApp app;
        std::_Exit(D3DAppMain(&app, GetModuleHandle(nullptr)));
      },
      ::testing::ExitedWithCode(1), "^No usable display: neither DISPLAY nor WAYLAND_DISPLAY is set.\n$");
  EXPECT_EXIT(
      {
        setenv("DISPLAY", ":4093", 1);  // no server there
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("SDL_VIDEODRIVER");
        CClearApp app;
        std::_Exit(D3DAppMain(&app, GetModuleHandle(nullptr)));
      },
      ::testing::ExitedWithCode(1), "No usable display: cannot open DISPLAY=:4093");
}

}  // namespace

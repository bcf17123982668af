// The window machinery on its own, with virtual windows: rectangles, styles,
// the queue, accelerators, characters, menus, show states and the letterbox.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win32/window_bridge.h"
#include "platform/win32/window_testing.h"
#include "platform/win32/winuser.h"

namespace {

struct Seen {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Seen> g_seen;
LRESULT (*g_answer)(HWND, UINT, WPARAM, LPARAM) = nullptr;

LRESULT RecordingProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  g_seen.push_back({m, wp, lp});
  if (g_answer) {
    const LRESULT r = g_answer(w, m, wp, lp);
    if (r != -12345) return r;
  }
  return DefWindowProc(w, m, wp, lp);
}

class WindowMachineryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WindowResetAll();
    WindowUseVirtualWindows(true);
    g_seen.clear();
    g_answer = nullptr;
    WNDCLASS wc = {};
    wc.lpfnWndProc = RecordingProc;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = "Test Window";
    ASSERT_NE(0, RegisterClass(&wc));
  }
  void TearDown() override {
    WindowResetAll();
    WindowUseVirtualWindows(false);
  }
  HWND Make(DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE, HMENU menu = nullptr, int w = 300, int h = 200) {
    return CreateWindow("test window", "t", style, 10, 20, w, h, nullptr, menu, nullptr, nullptr);
  }
  int CountSeen(UINT m) const {
    int n = 0;
    for (const auto& s : g_seen) n += s.message == m;
    return n;
  }
  std::vector<UINT> Drain(HWND) {
    std::vector<UINT> got;
    MSG msg;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_PAINT) ValidateRect(msg.hwnd, nullptr);
      got.push_back(msg.message);
    }
    return got;
  }
};

TEST_F(WindowMachineryTest, ClassesAreUniqueAndNeededForWindows) {
  WNDCLASS wc = {};
  wc.lpfnWndProc = RecordingProc;
  wc.lpszClassName = "TEST WINDOW";
  EXPECT_EQ(0, RegisterClass(&wc));  // names are case-blind
  EXPECT_EQ(nullptr, CreateWindow("No Such Class", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
  HWND w = Make();
  EXPECT_FALSE(UnregisterClass("Test Window", nullptr));  // still in use
  DestroyWindow(w);
  EXPECT_TRUE(UnregisterClass("Test Window", nullptr));
}

TEST_F(WindowMachineryTest, AdjustedRectangleGivesBackTheClientSize) {
  for (DWORD style : {0x90CE0000u, static_cast<DWORD>(WS_OVERLAPPEDWINDOW), 0x90080000u, WS_POPUP | WS_BORDER}) {
    for (BOOL menu : {FALSE, TRUE}) {
      RECT r = {0, 0, 500, 375};
      AdjustWindowRect(&r, style, menu);
      HMENU m = menu ? CreateMenu() : nullptr;
      HWND w = Make(style, m, r.right - r.left, r.bottom - r.top);
      RECT c;
      GetClientRect(w, &c);
      EXPECT_EQ(500, c.right) << std::hex << style << " " << menu;
      EXPECT_EQ(375, c.bottom) << std::hex << style << " " << menu;
      DestroyWindow(w);
      EXPECT_FALSE(IsMenu(m)) << "a window takes its menu with it";
    }
  }
}

TEST_F(WindowMachineryTest, StyleReadsBackWithStateBits) {
  HWND w = Make(0x90CE0000u);
  EXPECT_EQ(0x90CE0000u, static_cast<DWORD>(GetWindowLong(w, GWL_STYLE)));
  EXPECT_EQ(static_cast<LONG>(0x90CE0000u), SetWindowLong(w, GWL_STYLE, static_cast<LONG>(0x90080000u)));
  EXPECT_EQ(0x90080000u, static_cast<DWORD>(GetWindowLong(w, GWL_STYLE)));
  ShowWindow(w, SW_MINIMIZE);
  EXPECT_EQ(0x90080000u | WS_MINIMIZE, static_cast<DWORD>(GetWindowLong(w, GWL_STYLE)));
  RECT c;
  GetClientRect(w, &c);
  EXPECT_EQ(0, c.right);  // a minimised window has no client area
}

TEST_F(WindowMachineryTest, CreationSendsSizeAndActivation) {
  HWND w = Make();
  ASSERT_TRUE(IsWindow(w));
  EXPECT_EQ(1, CountSeen(WM_GETMINMAXINFO));
  EXPECT_EQ(1, CountSeen(WM_CREATE));
  EXPECT_GE(CountSeen(WM_SIZE), 1);
  EXPECT_EQ(1, CountSeen(WM_ACTIVATEAPP));
  EXPECT_EQ(w, GetActiveWindow());
  MSG msg;
  ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(WM_PAINT, msg.message);  // a new window needs painting
  DispatchMessage(&msg);             // DefWindowProc validates it
  EXPECT_FALSE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowMachineryTest, MinimiseAndRestoreSendTheirMessagesOnce) {
  HWND w = Make();
  g_seen.clear();
  ShowWindow(w, SW_MINIMIZE);
  ShowWindow(w, SW_MINIMIZE);
  EXPECT_TRUE(IsIconic(w));
  ASSERT_EQ(1, CountSeen(WM_SIZE));
  for (const auto& s : g_seen) {
    if (s.message == WM_SIZE) {
      EXPECT_EQ(static_cast<WPARAM>(SIZE_MINIMIZED), s.wParam);
    }
    if (s.message == WM_ACTIVATEAPP) {
      EXPECT_EQ(0u, s.wParam);
    }
  }
  g_seen.clear();
  WindowSimulateRestore(w);
  EXPECT_FALSE(IsIconic(w));
  ASSERT_EQ(1, CountSeen(WM_SIZE));
  EXPECT_EQ(static_cast<WPARAM>(SIZE_RESTORED), g_seen[0].message == WM_SIZE ? g_seen[0].wParam : SIZE_RESTORED);
  EXPECT_EQ(1, CountSeen(WM_ACTIVATEAPP));
}

TEST_F(WindowMachineryTest, QuitComesAfterWhatIsQueuedAndDestroyedWindowsLoseTheirMessages) {
  HWND a = Make();
  HWND b = Make();
  Drain(a);
  Drain(b);
  PostMessage(a, WM_USER + 1, 0, 0);
  PostQuitMessage(7);
  PostMessage(b, WM_USER + 2, 0, 0);
  PostMessage(a, WM_USER + 3, 0, 0);
  DestroyWindow(a);
  EXPECT_FALSE(PostMessage(a, WM_USER, 0, 0));
  MSG msg;
  ASSERT_TRUE(GetMessage(&msg, nullptr, 0, 0));
  EXPECT_EQ(WM_USER + 2, msg.message);
  EXPECT_EQ(FALSE, GetMessage(&msg, nullptr, 0, 0));
  EXPECT_EQ(static_cast<UINT>(WM_QUIT), msg.message);
  EXPECT_EQ(7u, msg.wParam);
  ValidateRect(b, nullptr);
  EXPECT_EQ(-1, GetMessage(&msg, nullptr, 0, 0));  // nothing can come any more
}

TEST_F(WindowMachineryTest, PeekWithoutRemovingLeavesTheMessage) {
  HWND w = Make();
  Drain(w);
  PostMessage(w, WM_USER, 1, 2);
  MSG msg;
  ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE));
  ASSERT_TRUE(PeekMessage(&msg, w, WM_USER, WM_USER, PM_REMOVE));
  EXPECT_EQ(1u, msg.wParam);
  EXPECT_FALSE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowMachineryTest, AcceleratorsTurnKeysIntoCommands) {
  HWND w = Make();
  Drain(w);
  const ACCEL table[] = {{FVIRTKEY | FNOINVERT, VK_ESCAPE, 40011},
                         {FVIRTKEY | FALT | FNOINVERT, VK_RETURN, 40003},
                         {FVIRTKEY | FNOINVERT, VK_SPACE, 40012}};
  HACCEL accel = CreateAcceleratorTable(table, 3);
  ASSERT_NE(nullptr, accel);
  auto feed = [&](UINT message, WPARAM vk, LPARAM lp) {
    PostMessage(w, message, vk, lp);
    MSG msg;
    EXPECT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
    return TranslateAccelerator(w, accel, &msg);
  };
  const LPARAM alt = static_cast<LPARAM>(1u << 29);
  g_seen.clear();
  EXPECT_EQ(1, feed(WM_KEYDOWN, VK_ESCAPE, 0));
  EXPECT_EQ(1, feed(WM_KEYDOWN, VK_SPACE, 0));
  EXPECT_EQ(0, feed(WM_KEYDOWN, VK_RETURN, 0));  // Enter alone is a key
  EXPECT_EQ(0, feed(WM_KEYUP, VK_ESCAPE, 0));
  feed(WM_SYSKEYDOWN, VK_MENU, alt);
  EXPECT_EQ(1, feed(WM_SYSKEYDOWN, VK_RETURN, alt));
  feed(WM_KEYUP, VK_MENU, static_cast<LPARAM>(0xC0000001u));
  feed(WM_KEYDOWN, VK_SHIFT, 0);
  EXPECT_EQ(0, feed(WM_KEYDOWN, VK_ESCAPE, 0));  // Shift+Escape is not in the table
  std::vector<WPARAM> commands;
  for (const auto& s : g_seen)
    if (s.message == WM_COMMAND) commands.push_back(s.wParam);
  EXPECT_EQ((std::vector<WPARAM>{MAKEWPARAM(40011, 1), MAKEWPARAM(40012, 1), MAKEWPARAM(40003, 1)}), commands);
  EXPECT_TRUE(DestroyAcceleratorTable(accel));
}

TEST_F(WindowMachineryTest, TranslateMessageMakesCharactersFromKeys) {
  HWND w = Make();
  Drain(w);
  auto typed = [&](std::vector<std::pair<UINT, WPARAM>> keys) {
    std::string out;
    for (auto k : keys) PostMessage(w, k.first, k.second, k.first == WM_KEYUP ? static_cast<LPARAM>(0xC0000001u) : 1);
    MSG msg;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_CHAR) out += static_cast<char>(msg.wParam);
      TranslateMessage(&msg);
    }
    return out;
  };
  EXPECT_EQ("a1 ", typed({{WM_KEYDOWN, 'A'}, {WM_KEYDOWN, '1'}, {WM_KEYDOWN, VK_SPACE}}));
  EXPECT_EQ("A!.", typed({{WM_KEYDOWN, VK_SHIFT}, {WM_KEYDOWN, 'A'}, {WM_KEYDOWN, '1'}, {WM_KEYUP, VK_SHIFT},
                          {WM_KEYDOWN, VK_OEM_PERIOD}}));
  EXPECT_EQ("\b\r", typed({{WM_KEYDOWN, VK_BACK}, {WM_KEYDOWN, VK_RETURN}}));
  EXPECT_EQ("", typed({{WM_KEYDOWN, VK_LEFT}, {WM_KEYDOWN, VK_F1}}));
}

TEST_F(WindowMachineryTest, MenusAreDataWithStates) {
  const MENUITEMTEMPLATEA items[] = {
      {MF_POPUP, 0, "&File"}, {MF_STRING, 10, "&Open"}, {MF_SEPARATOR, 0, nullptr}, {MF_STRING | MF_END, 11, "E&xit"},
      {MF_POPUP | MF_END, 0, "&Help"}, {MF_STRING | MF_END, 20, "&About"}};
  Win32AddMenuResource(900, items, 6);
  HMENU menu = LoadMenu(GetModuleHandle(nullptr), MAKEINTRESOURCE(900));
  ASSERT_NE(nullptr, menu);
  EXPECT_EQ(2, GetMenuItemCount(menu));
  EXPECT_EQ(3, GetMenuItemCount(GetSubMenu(menu, 0)));
  EXPECT_EQ(11u, GetMenuItemID(GetSubMenu(menu, 0), 2));
  EXPECT_EQ(0u, EnableMenuItem(menu, 11, MF_BYCOMMAND | MF_GRAYED));
  EXPECT_EQ(static_cast<DWORD>(MF_GRAYED), EnableMenuItem(menu, 11, MF_BYCOMMAND | MF_ENABLED));
  EXPECT_EQ(0u, CheckMenuItem(menu, 20, MF_BYCOMMAND | MF_CHECKED));
  EXPECT_EQ(static_cast<UINT>(MF_CHECKED), GetMenuState(menu, 20, MF_BYCOMMAND));
  EXPECT_EQ(static_cast<DWORD>(-1), CheckMenuItem(menu, 99, MF_BYCOMMAND));
  HWND w = Make(WS_OVERLAPPEDWINDOW, menu);
  EXPECT_EQ(menu, GetMenu(w));
  EXPECT_TRUE(DestroyMenu(menu));
  EXPECT_EQ(nullptr, GetMenu(w));
  EXPECT_EQ(nullptr, LoadMenu(nullptr, MAKEINTRESOURCE(901)));

  const MENUITEMTEMPLATEA broken[] = {{MF_POPUP, 0, "&File"}, {MF_STRING, 10, "&Open"}};  // never ends
  Win32AddMenuResource(902, broken, 2);
  EXPECT_EQ(nullptr, LoadMenu(nullptr, MAKEINTRESOURCE(902)));
}

TEST_F(WindowMachineryTest, DisabledMenuCommandIsSwallowedByTheAccelerator) {
  HMENU menu = CreateMenu();
  AppendMenu(menu, MF_STRING | MF_GRAYED, 40011, "Esc");
  HWND w = Make(WS_OVERLAPPEDWINDOW | WS_VISIBLE, menu);
  Drain(w);
  const ACCEL table[] = {{FVIRTKEY, VK_ESCAPE, 40011}};
  HACCEL accel = CreateAcceleratorTable(table, 1);
  MSG msg = {w, WM_KEYDOWN, VK_ESCAPE, 0, 0, {0, 0}};
  g_seen.clear();
  EXPECT_EQ(1, TranslateAccelerator(w, accel, &msg));
  EXPECT_EQ(0, CountSeen(WM_COMMAND));
}

TEST_F(WindowMachineryTest, CloseButtonEndsInDestroyUnlessTheProgramSaysNo) {
  HWND w = Make();
  g_answer = [](HWND, UINT m, WPARAM, LPARAM) -> LRESULT { return m == WM_CLOSE ? 0 : -12345; };
  WindowSimulateClose(w);
  EXPECT_TRUE(IsWindow(w));
  g_answer = nullptr;
  WindowSimulateClose(w);
  EXPECT_FALSE(IsWindow(w));
  EXPECT_EQ(1, CountSeen(WM_DESTROY));
}

TEST_F(WindowMachineryTest, AltF4AsksToClose) {
  HWND w = Make();
  Drain(w);
  PostMessage(w, WM_SYSKEYDOWN, VK_F4, static_cast<LPARAM>(1u << 29));
  MSG msg;
  while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
  EXPECT_FALSE(IsWindow(w));
}

TEST_F(WindowMachineryTest, SetWindowPosMovesAndSizesTheClientToo) {
  HWND w = Make(0x90CE0000u);
  g_seen.clear();
  SetWindowPos(w, HWND_NOTOPMOST, 100, 50, 508, 424, SWP_SHOWWINDOW);
  RECT r, c;
  GetWindowRect(w, &r);
  GetClientRect(w, &c);
  EXPECT_EQ(100, r.left);
  EXPECT_EQ(474, r.bottom);
  EXPECT_EQ(500, c.right);
  EXPECT_EQ(424 - 4 - 4 - 22, c.bottom);
  EXPECT_EQ(1, CountSeen(WM_SIZE));
  POINT p = {0, 0};
  ClientToScreen(w, &p);
  EXPECT_EQ(104, p.x);
  EXPECT_EQ(50 + 4 + 22, p.y);
  ScreenToClient(w, &p);
  EXPECT_EQ(0, p.x);
}

TEST_F(WindowMachineryTest, FullScreenMakesTheClientTheBackBufferAndLeavingRestores) {
  HWND w = Make(0x90CE0000u, CreateMenu());
  RECT before;
  GetWindowRect(w, &before);
  SetWindowLong(w, GWL_STYLE, static_cast<LONG>(0x90080000u));
  ASSERT_TRUE(WindowEnterFullscreen(w, 800, 600));
  EXPECT_TRUE(WindowIsFullscreen(w));
  RECT c;
  GetClientRect(w, &c);
  EXPECT_EQ(800, c.right);
  EXPECT_EQ(600, c.bottom);
  POINT p = {0, 0};
  ClientToScreen(w, &p);
  EXPECT_EQ(0, p.x);
  EXPECT_EQ(0, p.y);
  EXPECT_EQ(800, GetSystemMetrics(SM_CXSCREEN));
  SetWindowLong(w, GWL_STYLE, static_cast<LONG>(0x90CE0000u));
  WindowLeaveFullscreen(w);
  EXPECT_FALSE(WindowIsFullscreen(w));
  RECT after;
  GetWindowRect(w, &after);
  EXPECT_EQ(before.left, after.left);
  EXPECT_EQ(before.bottom, after.bottom);
}

TEST_F(WindowMachineryTest, LetterboxKeepsTheAspectAndCentres) {
  int x, y, w, h;
  WindowLetterbox(640, 480, 1280, 1024, &x, &y, &w, &h);
  EXPECT_EQ(0, x);
  EXPECT_EQ(1280, w);
  EXPECT_EQ(960, h);
  EXPECT_EQ(32, y);
  WindowLetterbox(800, 600, 1920, 1080, &x, &y, &w, &h);
  EXPECT_EQ(1440, w);
  EXPECT_EQ(1080, h);
  EXPECT_EQ(240, x);
  EXPECT_EQ(0, y);
  WindowLetterbox(0, 0, 100, 100, &x, &y, &w, &h);
  EXPECT_EQ(100, w);
}

TEST_F(WindowMachineryTest, NoticesTellMinimiseRestoreDestroyAndADryQueue) {
  static std::vector<WindowNotice> notices;
  notices.clear();
  auto listener = [](HWND, WindowNotice n, void*) { notices.push_back(n); };
  auto has = [&](WindowNotice n) { return std::find(notices.begin(), notices.end(), n) != notices.end(); };
  WindowAddNoticeListener(listener, nullptr);
  HWND w = Make();
  Drain(w);
  EXPECT_TRUE(has(WINDOW_NOTICE_CREATED));
  EXPECT_TRUE(has(WINDOW_NOTICE_IDLE));
  // Reading a message is no frame of the message loop; finding the queue dry is.
  notices.clear();
  PostMessageA(w, WM_USER, 0, 0);
  MSG msg;
  EXPECT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_TRUE(notices.empty());
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(notices, std::vector<WindowNotice>{WINDOW_NOTICE_IDLE});
  ShowWindow(w, SW_MINIMIZE);
  ShowWindow(w, SW_RESTORE);
  DestroyWindow(w);
  WindowRemoveNoticeListener(listener, nullptr);
  EXPECT_TRUE(has(WINDOW_NOTICE_MINIMIZED));
  EXPECT_TRUE(has(WINDOW_NOTICE_RESTORED));
  EXPECT_TRUE(has(WINDOW_NOTICE_DESTROYED));
}

}  // namespace

// The application base driven through its window: creation, the message loop
// over a scripted queue, the frame with lost and not-reset devices, full-screen
// switches, resizes, mode changes, the error boxes and the clean-up.
#include <cstring>

#include "platform/win32/window_testing.h"
#include "tests/shell/shell_test_app.h"

namespace {

const HINSTANCE kInstance = GetModuleHandle(nullptr);

class AppLoopTest : public VirtualWindowTest {};

LPARAM AltDown() { return static_cast<LPARAM>(1u << 29); }

TEST_F(AppLoopTest, CreateOpensTheWindowAndTheFirstDeviceWindowed) {
  CTestApp app(d3d);
  ASSERT_EQ(S_OK, app.Create(kInstance));
  EXPECT_EQ((std::vector<std::string>{"OneTimeSceneInit", "InitDeviceObjects", "RestoreDeviceObjects", "InitScene"}),
            std::vector<std::string>(app.calls.begin() + (app.calls.size() - 4), app.calls.end()));
  EXPECT_TRUE(app.m_bReady);
  EXPECT_TRUE(app.m_bActive);
  EXPECT_TRUE(app.m_bWindowed);

  ASSERT_TRUE(IsWindow(app.m_hWnd));
  EXPECT_EQ(0x90CE0000u, static_cast<DWORD>(GetWindowLong(app.m_hWnd, GWL_STYLE)));
  EXPECT_EQ(0x90CE0000u, app.m_dwWindowStyle);
  RECT client;
  GetClientRect(app.m_hWnd, &client);
  EXPECT_EQ(500, client.right);
  EXPECT_EQ(375, client.bottom);
  EXPECT_EQ(500, app.m_rcWindowClient.right);
  char title[32];
  GetWindowText(app.m_hWnd, title, sizeof(title));
  EXPECT_STREQ("Vantorel", title);
  EXPECT_EQ(LoadCursor(nullptr, IDC_ARROW), reinterpret_cast<HCURSOR>(GetClassLongPtr(app.m_hWnd, GCLP_HCURSOR)));

  HMENU menu = GetMenu(app.m_hWnd);
  ASSERT_NE(nullptr, menu);
  char text[32];
  GetMenuString(menu, 0, text, sizeof(text), MF_BYPOSITION);
  EXPECT_STREQ("&File", text);
  HMENU file = GetSubMenu(menu, 0);
  ASSERT_EQ(1, GetMenuItemCount(file));
  EXPECT_EQ(static_cast<UINT>(IDM_EXIT), GetMenuItemID(file, 0));
  GetMenuString(file, IDM_EXIT, text, sizeof(text), MF_BYCOMMAND);
  EXPECT_STREQ("E&xit", text);

  const D3DPRESENT_PARAMETERS& pp = app.Recording()->PresentParameters();
  EXPECT_TRUE(pp.Windowed);
  EXPECT_EQ(3u, pp.BackBufferCount);
  EXPECT_EQ(D3DSWAPEFFECT_FLIP, pp.SwapEffect);
  EXPECT_EQ(500u, pp.BackBufferWidth);
  EXPECT_EQ(375u, pp.BackBufferHeight);
  EXPECT_EQ(D3DFMT_X8R8G8B8, pp.BackBufferFormat);  // the desktop's
  EXPECT_EQ(app.m_hWnd, pp.hDeviceWindow);
  EXPECT_EQ(500u, app.m_BackBufferDesc.Width);
}

TEST_F(AppLoopTest, EscapeAndSpaceAreCommandsNeverKeyMessages) {
  CTestApp app(d3d);
  ASSERT_EQ(S_OK, app.Create(kInstance));
  app.failures["OnMinimizeKey"] = E_FAIL;  // so Space leaves the window alone
  app.onFrame = [](CTestApp& a) {
    if (a.frames == 2) {
      PostMessage(a.m_hWnd, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
      PostMessage(a.m_hWnd, WM_KEYDOWN, VK_SPACE, 0x00390001);
      PostMessage(a.m_hWnd, WM_KEYDOWN, 'A', 0x001E0001);
    }
    if (a.frames == 4) PostMessage(a.m_hWnd, WM_COMMAND, IDM_EXIT, 0);
  };
  EXPECT_EQ(0, app.Run());
  EXPECT_EQ(1, app.Count("OnEscapeKey"));
  EXPECT_EQ(1, app.Count("OnMinimizeKey"));
  int keyDowns = 0, chars = 0;
  for (UINT m : app.messages) {
    keyDowns += m == WM_KEYDOWN;
    chars += m == WM_CHAR;
  }
  EXPECT_EQ(1, keyDowns);  // only 'A'
  EXPECT_EQ(1, chars);
  EXPECT_FALSE(IsIconic(app.m_hWnd));
}

TEST_F(AppLoopTest, MenuExitCleansUpAndEndsTheLoopWithZero) {
  CTestApp app(d3d);
  ASSERT_EQ(S_OK, app.Create(kInstance));
  const HWND window = app.m_hWnd;
  app.onFrame = [](CTestApp& a) {
    if (a.frames == 3) PostMessage(a.m_hWnd, WM_COMMAND, IDM_EXIT, 0);
  };
  EXPECT_EQ(0, app.Run());
  EXPECT_EQ(3, app.frames);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(nullptr, app.m_pd3dDevice);
  EXPECT_EQ(nullptr, app.m_pD3D);
  EXPECT_EQ(1u, d3d->RefCount());  // the device and the Direct3D object are gone
  const auto last = std::vector<std::string>(app.calls.end() - 3, app.calls.end());
  EXPECT_EQ((std::vector<std::string>{"InvalidateDeviceObjects", "DeleteDeviceObjects", "FinalCleanup"}), last);
}

TEST_F(AppLoopTest, QuitRequestPostedEveryFrameClosesOnce) {
  CTestApp app(d3d);
  ASSERT_EQ(S_OK, app.Create(kInstance));
  app.onFrame = [](CTestApp& a) {
    if (a.frames >= 2) {  // like the game's quit request: posted again and again
      PostMessage(a.m_hWnd, WM_CLOSE, 0, 0);
      PostMessage(a.m_hWnd, WM_CLOSE, 0, 0);
    }
  };
  EXPECT_EQ(0, app.Run());
  EXPECT_EQ(1, app.Count("FinalCleanup"));
}

TEST_F(AppLoopTest, MinimisedWindowRunsNoFramesUntilRestored) {
  CTestApp app(d3d);
  ASSERT_EQ(S_OK, app.Create(kInstance));
  static int framesWhenMinimised;
  static int waits;
  framesWhenMinimised = -1;
  waits = 0;
  app.onFrame = [](CTestApp& a) {
    if (a.frames == 3) PostMessage(a.m_hWnd, WM_KEYDOWN, VK_SPACE, 0x00390001);
    if (a.frames == 6) PostMessage(a.m_hWnd, WM_CLOSE, 0, 0);
  };
  WindowSetWaitHook(
      [](void* user) {
        auto* a = static_cast<CTestApp*>(user);
        ++waits;
        EXPECT_FALSE(a->m_bActive);
        EXPECT_TRUE(IsIconic(a->m_hWnd));
        if (framesWhenMinimised < 0) framesWhenMinimised = a->frames;
        if (waits == 3) WindowSimulateRestore(a->m_hWnd);  // the loop blocked three times meanwhile
        PostMessage(a->m_hWnd, WM_NULL, 0, 0);
      },
      &app);
  EXPECT_EQ(0, app.Run());
  EXPECT_EQ(3, framesWhenMinimised);
  EXPECT_GE(waits, 3);
  EXPECT_EQ(6, app.frames);
  EXPECT_EQ(1, app.Count("OnMinimizeKey"));
  EXPECT_GE(app.Count("OnDeactivate"), 1);
}

TEST_F(AppLoopTest, AltEnterSwitchesToTheModeAndBack) {
  CTestApp app(d3d);
  ASSERT_EQ(S_OK, app.Create(kInstance));
  const RECT bounds = app.m_rcWindowBounds;
  app.onFrame = [](CTestApp& a) {
    if (a.frames == 2 || a.frames == 4) {
      PostMessage(a.m_hWnd, WM_SYSKEYDOWN, VK_MENU, AltDown() | 0x00380001);
      PostMessage(a.m_hWnd, WM_SYSKEYDOWN, VK_RETURN, AltDown() | 0x001C0001);
      PostMessage(a.m_hWnd, WM_KEYUP, VK_MENU, static_cast<LPARAM>(0xC0380001u));
    }
    if (a.frames == 3) {
      EXPECT_FALSE(a.m_bWindowed);
      EXPECT_EQ(0x90080000u, static_cast<DWORD>(GetWindowLong(a.m_hWnd, GWL_STYLE)));
      const D3DPRESENT_PARAMETERS& pp = a.Recording()->PresentParameters();
      EXPECT_FALSE(pp.Windowed);
      EXPECT_EQ(640u, pp.BackBufferWidth);  // mode 0: no mode has 500 x 375
      EXPECT_EQ(480u, pp.BackBufferHeight);
      EXPECT_EQ(D3DFMT_R5G6B5, pp.BackBufferFormat);
      EXPECT_EQ(640u, a.m_BackBufferDesc.Width);
    }
    if (a.frames == 5) PostMessage(a.m_hWnd, WM_CLOSE, 0, 0);
  };
  ASSERT_EQ(0, app.Run());
  EXPECT_TRUE(app.m_bWindowed);
  EXPECT_EQ(1u, d3d->CallCount("CreateDevice"));  // resets only
  const RECT after = app.m_rcWindowBounds;
  EXPECT_EQ(0, std::memcmp(&bounds, &after, sizeof(RECT)));
}

TEST_F(AppLoopTest, SwitchKeepsTheDepthBufferChoice) {
  for (BOOL depth : {FALSE, TRUE}) {
    CTestApp app(d3d);
    app.m_bUseDepthBuffer = depth;
    ASSERT_EQ(S_OK, app.Create(kInstance));
    ASSERT_EQ(S_OK, app.ToggleFullscreen());
    const D3DPRESENT_PARAMETERS& pp = app.Recording()->PresentParameters();
    EXPECT_EQ(depth, pp.EnableAutoDepthStencil);
    EXPECT_EQ(depth ? D3DFMT_D16 : D3DFMT_UNKNOWN, pp.AutoDepthStencilFormat);
  }
}

TEST_F(AppLoopTest, FullScreenSwallowsMoveSizeMaximiseMenuAndMonitorCommands) {
  CTestApp app(d3d);
  ASSERT_EQ(S_OK, app.Create(kInstance));
  ASSERT_EQ(S_OK, app.ToggleFullscreen());
  ASSERT_FALSE(app.m_bWindowed);
  for (WPARAM command : {SC_MAXIMIZE, SC_SIZE, SC_MOVE, SC_KEYMENU, SC_MONITORPOWER})
    EXPECT_EQ(1, SendMessage(app.m_hWnd, WM_SYSCOMMAND, command, 0)) << command;
  EXPECT_FALSE(IsZoomed(app.m_hWnd));
  EXPECT_EQ(HTCLIENT, SendMessage(app.m_hWnd, WM_NCHITTEST, 0, MAKELPARAM(-5, -5)));
  EXPECT_TRUE(SendMessage(app.m_hWnd, WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, 0));
  // The cursor is hidden over a full-screen frame.
  EXPECT_TRUE(SendMessage(app.m_hWnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(app.m_hWnd),
                          MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
}

TEST_F(AppLoopTest, DraggedNewSizeResetsTheDeviceAMoveDoesNot) {
  CTestApp app(d3d);
  ASSERT_EQ(S_OK, app.Create(kInstance));
  const size_t resets = app.Recording()->CallCount("Reset");
  RECT before;
  GetWindowRect(app.m_hWnd, &before);
  WindowSimulateUserMove(app.m_hWnd, 50, 60);
  EXPECT_EQ(resets, app.Recording()->CallCount("Reset"));
  EXPECT_EQ(50 - 4, app.m_rcWindowBounds.left);  // the client area starts inside the frame

  WindowSimulateUserResize(app.m_hWnd, 640, 400);
  ASSERT_EQ(resets + 1, app.Recording()->CallCount("Reset"));
  EXPECT_EQ(640u, app.Recording()->PresentParameters().BackBufferWidth);
  EXPECT_EQ(400u, app.Recording()->PresentParameters().BackBufferHeight);
  EXPECT_EQ(640, app.m_rcWindowClient.right);
  EXPECT_TRUE(app.m_bReady);
  EXPECT_GE(app.Count("OnDeactivate"), 2);
  EXPECT_GE(app.Count("OnActivate"), 2);
}

// A drag of the bottom edge alone changes only the height: the back buffer must follow it.
TEST_F(AppLoopTest, DragChangingOnlyTheHeightResetsTheDevice) {
  CTestApp app(d3d);
  ASSERT_EQ(S_OK, app.Create(kInstance));
  const size_t resets = app.Recording()->CallCount("Reset");
  WindowSimulateUserResize(app.m_hWnd, 500, 420);
  ASSERT_EQ(resets + 1, app.Recording()->CallCount("Reset")) << "a taller window kept its old back buffer";
  EXPECT_EQ(500u, app.Recording()->PresentParameters().BackBufferWidth);
  EXPECT_EQ(420u, app.Recording()->PresentParameters().BackBufferHeight);
  EXPECT_EQ(420u, app.m_BackBufferDesc.Height);
  EXPECT_TRUE(app.m_bReady);
}

TEST_F(AppLoopTest, FailedResizeShowsTheBoxAndCloses) {
  CTestApp app(d3d);
  ASSERT_EQ(S_OK, app.Create(kInstance));
  app.Recording()->FailMethod("Reset", D3DERR_INVALIDCALL);
  testing::internal::CaptureStderr();
  WindowSimulateUserResize(app.m_hWnd, 640, 400);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos,
            err.find("[Vantorel] Could not reset the Direct3D device.\n\nThis application will now exit."));
  EXPECT_EQ(1, app.Count("FinalCleanup"));
  EXPECT_EQ(nullptr, app.m_hWnd);
}

TEST_F(AppLoopTest, ModeChangeCommandRebuildsTheDeviceInTheCreationSize) {
  CTestApp app(d3d);
  ASSERT_EQ(S_OK, app.Create(kInstance));
  ASSERT_EQ(S_OK, app.ToggleFullscreen());
  app.calls.clear();
  app.m_dwCreationWidth = 800;
  app.m_dwCreationHeight = 600;
  SendMessage(app.m_hWnd, WM_COMMAND, IDM_CHANGETOCREATIONMODE, 0);
  EXPECT_EQ((std::vector<std::string>{"InvalidateDeviceObjects", "DeleteDeviceObjects", "InitDeviceObjects",
                                      "RestoreDeviceObjects"}),
            app.calls);
  ASSERT_EQ(2u, d3d->CallCount("CreateDevice"));
  EXPECT_EQ(800u, app.Recording()->PresentParameters().BackBufferWidth);
  EXPECT_EQ(D3DFMT_X8R8G8B8, app.Recording()->PresentParameters().BackBufferFormat);
  EXPECT_EQ(3u, d3d->RefCount());  // the test, the application and the one new device
}

TEST_F(AppLoopTest, ModeChangeToASizeNoModeHasKeepsTheMode) {
  CTestApp app(d3d);
  ASSERT_EQ(S_OK, app.Create(kInstance));
  ASSERT_EQ(S_OK, app.ToggleFullscreen());
  const DWORD mode = app.Device().dwCurrentMode;
  app.m_dwCreationWidth = 123;
  app.m_dwCreationHeight = 45;
  SendMessage(app.m_hWnd, WM_COMMAND, IDM_CHANGETOCREATIONMODE, 0);
  EXPECT_EQ(mode, app.Device().dwCurrentMode);
  EXPECT_EQ(2u, d3d->CallCount("CreateDevice"));
  EXPECT_EQ(640u, app.Recording()->PresentParameters().BackBufferWidth);
}

TEST_F(AppLoopTest, FailedRecreationLeavesNoDeviceToReleaseTwice) {
  CTestApp app(d3d);
  ASSERT_EQ(S_OK, app.Create(kInstance));
  d3d->FailMethod("CreateDevice", E_OUTOFMEMORY);
  testing::internal::CaptureStderr();
  SendMessage(app.m_hWnd, WM_COMMAND, IDM_CHANGETOCREATIONMODE, 0);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(nullptr, app.m_pd3dDevice);
  EXPECT_NE(std::string::npos, err.find("Not enough memory.\n\nSwitching to the reference rasterizer"));
  EXPECT_NE(std::string::npos, err.find("Not enough memory.\n\nThis application will now exit."));
  EXPECT_EQ(1, app.Count("FinalCleanup"));
  EXPECT_EQ(1u, d3d->RefCount());
}

TEST_F(AppLoopTest, FailedSwitchToFullScreenStaysConsistentlyWindowed) {
  CTestApp app(d3d);
  ASSERT_EQ(S_OK, app.Create(kInstance));
  app.Recording()->FailMethod("Reset", D3DERR_INVALIDCALL);
  EXPECT_EQ(S_OK, app.ToggleFullscreen());
  EXPECT_TRUE(app.m_bWindowed);
  EXPECT_TRUE(app.Device().bWindowed);
  EXPECT_TRUE(app.m_bReady);
  ASSERT_NE(nullptr, app.m_pd3dDevice);
  EXPECT_EQ(2u, d3d->CallCount("CreateDevice"));
  EXPECT_TRUE(app.Recording()->PresentParameters().Windowed);
  EXPECT_EQ(500u, app.Recording()->PresentParameters().BackBufferWidth);
  EXPECT_EQ(0x90CE0000u, static_cast<DWORD>(GetWindowLong(app.m_hWnd, GWL_STYLE)));
  // And the program goes on: the next switch works.
  EXPECT_EQ(S_OK, app.ToggleFullscreen());
  EXPECT_FALSE(app.m_bWindowed);
}

TEST_F(AppLoopTest, LostDeviceSkipsFramesNotResetDeviceIsResetWithoutAFrame) {
  CTestApp app(d3d);
  ASSERT_EQ(S_OK, app.Create(kInstance));
  CRecordingDevice* dev = app.Recording();
  dev->ClearCalls();
  app.calls.clear();

  dev->SetCooperativeLevel(D3DERR_DEVICELOST);
  EXPECT_EQ(S_OK, app.Render3DEnvironment());
  EXPECT_EQ(S_OK, app.Render3DEnvironment());
  EXPECT_TRUE(app.calls.empty());
  EXPECT_FALSE(dev->WasCalled("Present"));

  dev->SetCooperativeLevel(D3DERR_DEVICENOTRESET);
  testing::internal::CaptureStderr();
  EXPECT_EQ(S_OK, app.Render3DEnvironment());
  EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find("Error: Device not Reset\n"));
  EXPECT_EQ((std::vector<std::string>{"InvalidateDeviceObjects", "RestoreDeviceObjects"}), app.calls);
  EXPECT_EQ(1u, dev->CallCount("Reset"));
  EXPECT_EQ(2u, d3d->CallCount("GetAdapterDisplayMode"));  // read again in windowed mode
  EXPECT_FALSE(dev->WasCalled("Present"));

  EXPECT_EQ(S_OK, app.Render3DEnvironment());
  EXPECT_EQ(1, app.Count("FrameMove"));
  EXPECT_EQ(1, app.Count("Render"));
  EXPECT_EQ(1u, dev->CallCount("Present"));
}

TEST_F(AppLoopTest, ResetThatFailsAfterALostDeviceClosesTheWindow) {
  CTestApp app(d3d);
  ASSERT_EQ(S_OK, app.Create(kInstance));
  app.onFrame = [](CTestApp& a) {
    if (a.frames == 2) {
      a.Recording()->SetCooperativeLevel(D3DERR_DEVICENOTRESET);
      a.Recording()->FailMethod("Reset", D3DERR_INVALIDCALL);
    }
  };
  EXPECT_EQ(0, app.Run());
  EXPECT_EQ(2, app.frames);
  EXPECT_EQ(1, app.Count("FinalCleanup"));
  EXPECT_EQ(1u, d3d->RefCount());
}

TEST_F(AppLoopTest, FailingFrameMoveOrRenderClosesTheWindow) {
  for (const char* hook : {"FrameMove", "Render"}) {
    CTestApp app(d3d);
    ASSERT_EQ(S_OK, app.Create(kInstance));
    app.failures[hook] = E_FAIL;
    testing::internal::CaptureStderr();
    EXPECT_EQ(0, app.Run());
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, err.find(std::string("Fail ") + (hook[0] == 'F' ? "FrameMoving\n" : "Rendering\n")));
    EXPECT_EQ(1, app.Count(hook));
    EXPECT_EQ(1, app.Count("FinalCleanup"));
  }
  EXPECT_EQ(1u, d3d->RefCount());
}

TEST_F(AppLoopTest, PaintWhileNotReadyPresentsTheLastFrame) {
  CTestApp app(d3d);
  ASSERT_EQ(S_OK, app.Create(kInstance));
  app.m_bReady = FALSE;
  app.Recording()->ClearCalls();
  SendMessage(app.m_hWnd, WM_PAINT, 0, 0);
  EXPECT_EQ(1u, app.Recording()->CallCount("Present"));
  app.m_bReady = TRUE;
  SendMessage(app.m_hWnd, WM_PAINT, 0, 0);
  EXPECT_EQ(1u, app.Recording()->CallCount("Present"));
}

TEST_F(AppLoopTest, MouseMoveGoesToTheDeviceCursorInClientCoordinates) {
  CTestApp app(d3d);
  ASSERT_EQ(S_OK, app.Create(kInstance));
  POINT origin = {0, 0};
  ClientToScreen(app.m_hWnd, &origin);
  SetCursorPos(origin.x + 33, origin.y + 44);
  SendMessage(app.m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(33, 44));
  EXPECT_EQ(33u, app.Recording()->CursorX());
  EXPECT_EQ(44u, app.Recording()->CursorY());
}

TEST_F(AppLoopTest, DeviceCursorInFullScreenWhenAsked) {
  CTestApp app(d3d);
  app.m_bShowCursorWhenFullscreen = TRUE;
  ASSERT_EQ(S_OK, app.Create(kInstance));
  EXPECT_FALSE(app.Recording()->WasCalled("SetCursorProperties"));  // windowed
  ASSERT_EQ(S_OK, app.ToggleFullscreen());
  const auto calls = app.Recording()->CallsTo("SetCursorProperties");
  ASSERT_EQ(1u, calls.size());
  EXPECT_EQ(0u, calls[0].values[0]);
  EXPECT_EQ(0u, calls[0].values[1]);
  EXPECT_TRUE(app.Recording()->CursorShown());
}

TEST_F(AppLoopTest, ErrorTextsAreTheProgramsOwn) {
  EXPECT_STREQ(
      "Could not initialize Direct3D. You may\nwant to check that the latest version of\nDirectX is correctly "
      "installed on your\nsystem. ",
      CD3DApplication::ErrorText(APPERR_NODIRECT3D));
  EXPECT_STREQ("Could not find any compatible Direct3D\ndevices.",
               CD3DApplication::ErrorText(APPERR_NOCOMPATIBLEDEVICES));
  EXPECT_STREQ(
      "This sample cannot run in a desktop\nwindow with the current display settings.\nPlease change your desktop "
      "settings to a\n16- or 32-bit display mode and re-run this\nsample.",
      CD3DApplication::ErrorText(APPERR_NOWINDOWABLEDEVICES));
  EXPECT_STREQ("A D3D object has a non-zero reference\ncount (meaning things were not properly\ncleaned up).",
               CD3DApplication::ErrorText(APPERR_NONZEROREFCOUNT));
  EXPECT_STREQ("Could not reset the Direct3D device.", CD3DApplication::ErrorText(APPERR_RESIZEFAILED));
  EXPECT_STREQ("Not enough video memory.", CD3DApplication::ErrorText(D3DERR_OUTOFVIDEOMEMORY));
  EXPECT_STREQ("Not enough memory.", CD3DApplication::ErrorText(E_OUTOFMEMORY));
  EXPECT_STREQ("Generic application error. Enable\ndebug output for detailed information.",
               CD3DApplication::ErrorText(E_FAIL));
}

TEST_F(AppLoopTest, WarningBoxesDoNotClose) {
  CTestApp app(d3d);
  ASSERT_EQ(S_OK, app.Create(kInstance));
  testing::internal::CaptureStderr();
  EXPECT_EQ(E_FAIL, app.DisplayErrorMsg(E_FAIL, 0));
  EXPECT_EQ(E_FAIL, app.DisplayErrorMsg(E_FAIL, MSGWARN_SWITCHEDTOREF));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, err.find("[Vantorel] Generic application error. Enable\ndebug output for detailed "
                                        "information.\n"));
  EXPECT_NE(std::string::npos,
            err.find("information.\n\nSwitching to the reference rasterizer,\na software device that implements "
                     "the entire\nDirect3D feature set, but runs very slowly."));
  EXPECT_TRUE(IsWindow(app.m_hWnd));
  EXPECT_EQ(0, app.Count("FinalCleanup"));
}

TEST_F(AppLoopTest, NoDirect3DLogsShowsTheBoxAndExitsNonZeroWithoutAWindow) {
  CTestApp app(nullptr);
  FILE* log = std::tmpfile();
  ASSERT_NE(nullptr, log);
  app.m_pLog = log;
  testing::internal::CaptureStderr();
  EXPECT_EQ(1, D3DAppMain(&app, kInstance));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, err.find("Could not initialize Direct3D.") );
  EXPECT_NE(std::string::npos, err.find("\n\nThis application will now exit."));
  EXPECT_EQ(nullptr, app.m_hWnd);
  EXPECT_EQ(0, app.Count("FinalCleanup"));  // no window, no WM_CLOSE
  std::rewind(log);
  char line[128] = {};
  ASSERT_NE(nullptr, std::fgets(line, sizeof(line), log));
  EXPECT_STREQ("Direct3D not initialize..........Error occuried!\n", line);
  std::fclose(log);
}

TEST_F(AppLoopTest, FailuresDuringCreateCloseTheWindowAndExitNonZero) {
  for (const char* hook : {"OneTimeSceneInit", "InitDeviceObjects", "RestoreDeviceObjects", "InitScene"}) {
    CTestApp app(d3d);
    app.failures[hook] = E_OUTOFMEMORY;
    testing::internal::CaptureStderr();
    EXPECT_EQ(1, D3DAppMain(&app, kInstance)) << hook;
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, err.find("Not enough memory.\n\nThis application will now exit.")) << hook;
    const bool deviceStep = std::string(hook).find("DeviceObjects") != std::string::npos;
    EXPECT_EQ(deviceStep, err.find("Switching to the reference rasterizer") != std::string::npos) << hook;
    EXPECT_EQ(1, app.Count("FinalCleanup")) << hook;
    EXPECT_EQ(nullptr, app.m_hWnd) << hook;
    EXPECT_EQ(1u, d3d->RefCount()) << hook;
  }
}

TEST_F(AppLoopTest, NoWindowableDeviceEndsTheStart) {
  d3d->Adapters()[0].caps.Caps2 = 0;
  CTestApp app(d3d);
  testing::internal::CaptureStderr();
  EXPECT_EQ(1, D3DAppMain(&app, kInstance));
  EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find("This sample cannot run in a desktop"));
  EXPECT_EQ(nullptr, app.m_hWnd);
  EXPECT_EQ(1u, d3d->RefCount());
}

}  // namespace

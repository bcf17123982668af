// The devices follow the window module: deactivating the game window loses the
// foreground devices, as switching to another program does, and the message loop's
// frames age the presses nobody read.
#include <gtest/gtest.h>

#include "platform/dinput/dinput.h"
#include "platform/dinput/dinput_bridge.h"
#include "platform/dinput/dinput_testing.h"
#include "platform/win32/window_bridge.h"
#include "platform/win32/window_testing.h"
#include "platform/win32/winuser.h"
#include "tests/support/input_events.h"

namespace {

TEST(DirectInputWindowLink, ActivationAndFramesOfTheWindowReachTheDevices) {
  WindowUseVirtualWindows(true);
  DirectInputResetForTesting();
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.lpszClassName = "InputLinkTest";
  ASSERT_NE(RegisterClassA(&windowClass), 0);
  HWND window = CreateWindowExA(0, "InputLinkTest", "input", WS_OVERLAPPEDWINDOW, 0, 0, 320, 240, nullptr, nullptr,
                                nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  WindowSimulateActivate(window, true);

  IDirectInput8* input = nullptr;
  ASSERT_EQ(DirectInput8Create(nullptr, 0x0800, IID_IDirectInput8A, reinterpret_cast<void**>(&input), nullptr),
            DI_OK);
  IDirectInputDevice8* keyboard = nullptr;
  ASSERT_EQ(input->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr), DI_OK);
  keyboard->SetDataFormat(&c_dfDIKeyboard);
  keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
  ASSERT_EQ(keyboard->Acquire(), DI_OK);
  BYTE keys[256];
  EXPECT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DI_OK);

  WindowSimulateActivate(window, false);
  EXPECT_FALSE(DirectInputHasFocus());
  EXPECT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DIERR_INPUTLOST);
  EXPECT_EQ(keyboard->Acquire(), DIERR_OTHERAPPHASPRIO);
  WindowSimulateActivate(window, true);
  EXPECT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DIERR_INPUTLOST);
  EXPECT_EQ(keyboard->Acquire(), DI_OK);
  EXPECT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DI_OK);

  // A tap that three dry message queues (three frames) passed by unread was never seen.
  const SDL_Event tap[2] = {Key(SDL_SCANCODE_Q, true), Key(SDL_SCANCODE_Q, false)};
  for (const SDL_Event& event : tap) DirectInputFeedEvent(&event);
  MSG msg;
  for (int frame = 0; frame < 3; ++frame) EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  ASSERT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DI_OK);
  EXPECT_EQ(keys[DIK_Q], 0);

  keyboard->Release();
  input->Release();
  DestroyWindow(window);
  WindowResetAll();
  WindowUseVirtualWindows(false);
  DirectInputResetForTesting();
}

}  // namespace

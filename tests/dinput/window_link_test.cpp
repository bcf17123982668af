// The devices follow the window module: deactivating the game window loses the
// foreground devices, as switching to another program does.
#include <gtest/gtest.h>

#include "platform/dinput/dinput.h"
#include "platform/dinput/dinput_bridge.h"
#include "platform/dinput/dinput_testing.h"
#include "platform/win32/window_bridge.h"
#include "platform/win32/window_testing.h"
#include "platform/win32/winuser.h"

namespace {

TEST(DirectInputWindowLink, DeactivationLosesForegroundDevicesUntilReacquired) {
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

  keyboard->Release();
  input->Release();
  DestroyWindow(window);
  WindowResetAll();
  WindowUseVirtualWindows(false);
  DirectInputResetForTesting();
}

}  // namespace

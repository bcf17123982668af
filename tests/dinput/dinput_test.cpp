// Keyboard and mouse devices fed with synthetic SDL events through the SDL queue,
// as the window's message pump will feed them.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/dinput/dinput.h"
#include "platform/dinput/dinput_bridge.h"
#include "platform/dinput/dinput_testing.h"
#include "tests/support/input_events.h"

namespace {

class DirectInputDevices : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* display = std::getenv("DISPLAY");
    m_bVideo = display && *display && SDL_Init(SDL_INIT_VIDEO) == 0;
    if (!m_bVideo) {
      ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0) << SDL_GetError();
    }
    DirectInputResetForTesting();
    Pump({});  // whatever the display had queued
    ASSERT_EQ(DirectInput8Create(nullptr, 0x0800, IID_IDirectInput8A, reinterpret_cast<void**>(&m_pDI), nullptr),
              DI_OK);
  }
  void TearDown() override {
    if (m_pKeyboard) m_pKeyboard->Release();
    if (m_pMouse) m_pMouse->Release();
    if (m_pDI) m_pDI->Release();
    DirectInputResetForTesting();
    SDL_Quit();
  }

  // The game's set-up: keyboard non-exclusive, mouse exclusive, both foreground.
  void OpenDevices() {
    ASSERT_EQ(m_pDI->CreateDevice(GUID_SysKeyboard, &m_pKeyboard, nullptr), DI_OK);
    ASSERT_EQ(m_pKeyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    ASSERT_EQ(m_pKeyboard->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
    ASSERT_EQ(m_pKeyboard->Acquire(), DI_OK);
    ASSERT_EQ(m_pDI->CreateDevice(GUID_SysMouse, &m_pMouse, nullptr), DI_OK);
    ASSERT_EQ(m_pMouse->SetDataFormat(&c_dfDIMouse), DI_OK);
    ASSERT_EQ(m_pMouse->SetCooperativeLevel(nullptr, DISCL_EXCLUSIVE | DISCL_FOREGROUND), DI_OK);
    ASSERT_EQ(m_pMouse->Acquire(), DI_OK);
  }

  std::vector<BYTE> ReadKeys(HRESULT expected = DI_OK) {
    std::vector<BYTE> keys(256, 0xEE);
    EXPECT_EQ(m_pKeyboard->GetDeviceState(256, keys.data()), expected);
    return keys;
  }
  DIMOUSESTATE ReadMouse(HRESULT expected = DI_OK) {
    DIMOUSESTATE state;
    std::memset(&state, 0xEE, sizeof state);
    EXPECT_EQ(m_pMouse->GetDeviceState(sizeof state, &state), expected);
    return state;
  }

  bool m_bVideo = false;
  IDirectInput8* m_pDI = nullptr;
  IDirectInputDevice8* m_pKeyboard = nullptr;
  IDirectInputDevice8* m_pMouse = nullptr;
};

TEST_F(DirectInputDevices, KeysArriveUnderTheirDikCodes) {
  OpenDevices();
  struct {
    SDL_Scancode scancode;
    int dik;
  } const cases[] = {
      {SDL_SCANCODE_ESCAPE, 0x01},    {SDL_SCANCODE_1, 0x02},         {SDL_SCANCODE_4, 0x05},
      {SDL_SCANCODE_9, 0x0A},         {SDL_SCANCODE_0, 0x0B},         {SDL_SCANCODE_MINUS, 0x0C},
      {SDL_SCANCODE_BACKSPACE, 0x0E}, {SDL_SCANCODE_Q, 0x10},         {SDL_SCANCODE_RETURN, 0x1C},
      {SDL_SCANCODE_A, 0x1E},         {SDL_SCANCODE_L, 0x26},         {SDL_SCANCODE_LSHIFT, 0x2A},
      {SDL_SCANCODE_Z, 0x2C},         {SDL_SCANCODE_M, 0x32},         {SDL_SCANCODE_COMMA, 0x33},
      {SDL_SCANCODE_PERIOD, 0x34},    {SDL_SCANCODE_RSHIFT, 0x36},    {SDL_SCANCODE_SPACE, 0x39},
      {SDL_SCANCODE_F1, 0x3B},        {SDL_SCANCODE_F10, 0x44},       {SDL_SCANCODE_KP_MINUS, 0x4A},
      {SDL_SCANCODE_KP_PLUS, 0x4E},   {SDL_SCANCODE_F11, 0x57},       {SDL_SCANCODE_F12, 0x58},
      {SDL_SCANCODE_KP_ENTER, 0x9C},  {SDL_SCANCODE_RCTRL, 0x9D},     {SDL_SCANCODE_KP_DIVIDE, 0xB5},
      {SDL_SCANCODE_RALT, 0xB8},      {SDL_SCANCODE_HOME, 0xC7},      {SDL_SCANCODE_UP, 0xC8},
      {SDL_SCANCODE_PAGEUP, 0xC9},    {SDL_SCANCODE_LEFT, 0xCB},      {SDL_SCANCODE_RIGHT, 0xCD},
      {SDL_SCANCODE_END, 0xCF},       {SDL_SCANCODE_DOWN, 0xD0},      {SDL_SCANCODE_PAGEDOWN, 0xD1},
      {SDL_SCANCODE_INSERT, 0xD2},    {SDL_SCANCODE_DELETE, 0xD3},
  };
  for (const auto& c : cases) {
    Pump({Key(c.scancode, true)});
    std::vector<BYTE> keys = ReadKeys();
    for (int code = 0; code < 256; ++code)
      ASSERT_EQ(keys[code], code == c.dik ? 0x80 : 0) << SDL_GetScancodeName(c.scancode) << " code " << code;
    Pump({Key(c.scancode, false)});
    EXPECT_EQ(ReadKeys()[c.dik], 0) << SDL_GetScancodeName(c.scancode);
  }
  // Letters, whose codes follow the keyboard rows rather than the alphabet.
  const BYTE letters[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
                            0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
  for (int i = 0; i < 26; ++i)
    EXPECT_EQ(DirectInputKeyFromScancode(SDL_SCANCODE_A + i), letters[i]) << static_cast<char>('A' + i);
  EXPECT_EQ(DirectInputKeyFromScancode(-1), 0);
  EXPECT_EQ(DirectInputKeyFromScancode(SDL_NUM_SCANCODES), 0);
  EXPECT_EQ(DirectInputKeyFromScancode(SDL_SCANCODE_UNKNOWN), 0);
}

TEST_F(DirectInputDevices, HeldKeysStayDownAndATapBetweenReadsCountsOnce) {
  OpenDevices();
  Pump({Key(SDL_SCANCODE_LSHIFT, true), Key(SDL_SCANCODE_1, true)});
  std::vector<BYTE> keys = ReadKeys();
  EXPECT_EQ(keys[DIK_LSHIFT], 0x80);
  EXPECT_EQ(keys[DIK_1], 0x80);
  EXPECT_EQ(ReadKeys()[DIK_LSHIFT], 0x80);  // held: still down at the next read

  Pump({Key(SDL_SCANCODE_SPACE, true), Key(SDL_SCANCODE_SPACE, false)});
  EXPECT_EQ(ReadKeys()[DIK_SPACE], 0x80);
  EXPECT_EQ(ReadKeys()[DIK_SPACE], 0);

  Pump({Key(SDL_SCANCODE_LSHIFT, false), Key(SDL_SCANCODE_1, false)});
  keys = ReadKeys();
  EXPECT_EQ(keys[DIK_LSHIFT], 0);
  EXPECT_EQ(keys[DIK_1], 0);
}

TEST_F(DirectInputDevices, APressWaitsForAReadOnlyWhileTheReaderKeepsReading) {
  OpenDevices();
  // A tap read a frame late, as a reader that polls every few milliseconds may be.
  Pump({Key(SDL_SCANCODE_SPACE, true), Key(SDL_SCANCODE_SPACE, false), Button(SDL_BUTTON_LEFT, true),
        Button(SDL_BUTTON_LEFT, false)});
  Pump({});
  EXPECT_EQ(ReadKeys()[DIK_SPACE], 0x80);
  EXPECT_EQ(ReadMouse().rgbButtons[0], 0x80);
  // Two frames without a read: the reader was elsewhere. What was let go meanwhile is
  // no press for it, what is still held is.
  Pump({Key(SDL_SCANCODE_ESCAPE, true), Key(SDL_SCANCODE_ESCAPE, false), Key(SDL_SCANCODE_LSHIFT, true),
        Button(SDL_BUTTON_LEFT, true), Button(SDL_BUTTON_LEFT, false)});
  Pump({});
  Pump({});
  const std::vector<BYTE> keys = ReadKeys();
  EXPECT_EQ(keys[DIK_ESCAPE], 0);
  EXPECT_EQ(keys[DIK_LSHIFT], 0x80);
  EXPECT_EQ(ReadMouse().rgbButtons[0], 0);
}

TEST_F(DirectInputDevices, MouseGivesMotionSinceTheLastReadWheelStepsAndButtons) {
  OpenDevices();
  Pump({Motion(3, -2), Motion(4, 5), Wheel(2)});
  DIMOUSESTATE state = ReadMouse();
  EXPECT_EQ(state.lX, 7);
  EXPECT_EQ(state.lY, 3);
  EXPECT_EQ(state.lZ, 240);
  EXPECT_EQ(state.rgbButtons[0] | state.rgbButtons[1] | state.rgbButtons[2] | state.rgbButtons[3], 0);

  state = ReadMouse();
  EXPECT_EQ(state.lX, 0);
  EXPECT_EQ(state.lY, 0);
  EXPECT_EQ(state.lZ, 0);

  Pump({Wheel(-1), Wheel(1, true)});  // down one notch, and one more from a flipped wheel
  EXPECT_EQ(ReadMouse().lZ, -240);

  Pump({Button(SDL_BUTTON_LEFT, true), Button(SDL_BUTTON_RIGHT, true)});
  state = ReadMouse();
  EXPECT_EQ(state.rgbButtons[0], 0x80);
  EXPECT_EQ(state.rgbButtons[1], 0x80);
  EXPECT_EQ(state.rgbButtons[2], 0);
  Pump({Button(SDL_BUTTON_LEFT, false), Button(SDL_BUTTON_RIGHT, false), Button(SDL_BUTTON_MIDDLE, true)});
  state = ReadMouse();
  EXPECT_EQ(state.rgbButtons[0], 0);
  EXPECT_EQ(state.rgbButtons[1], 0);
  EXPECT_EQ(state.rgbButtons[2], 0x80);

  // A click within one frame is seen once.
  Pump({Button(SDL_BUTTON_MIDDLE, false), Button(SDL_BUTTON_LEFT, true), Button(SDL_BUTTON_LEFT, false)});
  state = ReadMouse();
  EXPECT_EQ(state.rgbButtons[0], 0x80);
  EXPECT_EQ(state.rgbButtons[2], 0);
  EXPECT_EQ(ReadMouse().rgbButtons[0], 0);

  // The 16-byte state only; the bigger one needs its own format.
  BYTE big[20];
  EXPECT_EQ(m_pMouse->GetDeviceState(sizeof big, big), DIERR_INVALIDPARAM);
  EXPECT_EQ(m_pMouse->GetDeviceState(16, nullptr), DIERR_INVALIDPARAM);
}

TEST_F(DirectInputDevices, MotionIsScaledToBackBufferPixelsKeepingFractions) {
  OpenDevices();
  DirectInputSetMotionScale(0.5f, 2.0f);
  Pump({Motion(3, 1)});
  DIMOUSESTATE state = ReadMouse();
  EXPECT_EQ(state.lX, 1);
  EXPECT_EQ(state.lY, 2);
  Pump({Motion(1, 0)});
  EXPECT_EQ(ReadMouse().lX, 1);  // the half pixel left over joins the next one
}

TEST_F(DirectInputDevices, LosingTheFocusLosesTheInputUntilAcquiredAgain) {
  OpenDevices();
  Pump({Key(SDL_SCANCODE_UP, true), Button(SDL_BUTTON_LEFT, true)});
  Pump({Focus(false)});
  EXPECT_FALSE(DirectInputHasFocus());
  ReadKeys(DIERR_INPUTLOST);
  ReadMouse(DIERR_INPUTLOST);
  // Foreground devices cannot be taken back while another window has the focus.
  EXPECT_EQ(m_pKeyboard->Acquire(), DIERR_OTHERAPPHASPRIO);
  ReadKeys(DIERR_INPUTLOST);

  Pump({Motion(50, 50), Focus(true)});
  ReadKeys(DIERR_INPUTLOST);  // still lost until the game acquires again
  ASSERT_EQ(m_pKeyboard->Acquire(), DI_OK);
  ASSERT_EQ(m_pMouse->Acquire(), DI_OK);
  EXPECT_EQ(ReadKeys()[DIK_UP], 0) << "keys held when the focus went are not held any more";
  DIMOUSESTATE state = ReadMouse();
  EXPECT_EQ(state.rgbButtons[0], 0);
  EXPECT_EQ(state.lX, 0) << "motion while unacquired is not reported";

  // The game's own Unacquire is not a loss.
  EXPECT_EQ(m_pKeyboard->Unacquire(), DI_OK);
  ReadKeys(DIERR_NOTACQUIRED);
  EXPECT_EQ(m_pKeyboard->Acquire(), DI_OK);
  EXPECT_EQ(m_pKeyboard->Acquire(), DI_NOEFFECT);
}

TEST_F(DirectInputDevices, BackgroundDevicesKeepReadingWithoutTheFocus) {
  IDirectInputDevice8* keyboard = nullptr;
  ASSERT_EQ(m_pDI->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr), DI_OK);
  keyboard->SetDataFormat(&c_dfDIKeyboard);
  ASSERT_EQ(keyboard->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
  ASSERT_EQ(keyboard->Acquire(), DI_OK);
  Pump({Focus(false)});
  BYTE keys[256];
  EXPECT_EQ(keyboard->GetDeviceState(256, keys), DI_OK);
  EXPECT_EQ(keyboard->Release(), 0u);
}

TEST_F(DirectInputDevices, SetUpMistakesAreRefused) {
  IDirectInputDevice8* mouse = nullptr;
  ASSERT_EQ(m_pDI->CreateDevice(GUID_SysMouse, &mouse, nullptr), DI_OK);
  DIMOUSESTATE state;
  EXPECT_EQ(mouse->GetDeviceState(sizeof state, &state), DIERR_NOTACQUIRED);
  EXPECT_EQ(mouse->Acquire(), DIERR_INVALIDPARAM) << "no data format yet";
  EXPECT_EQ(mouse->SetDataFormat(&c_dfDIKeyboard), DIERR_INVALIDPARAM);
  EXPECT_EQ(mouse->SetDataFormat(nullptr), DIERR_INVALIDPARAM);
  EXPECT_EQ(mouse->SetCooperativeLevel(nullptr, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND),
            DIERR_INVALIDPARAM);
  EXPECT_EQ(mouse->SetCooperativeLevel(nullptr, DISCL_EXCLUSIVE), DIERR_INVALIDPARAM);
  EXPECT_EQ(mouse->SetCooperativeLevel(nullptr, DISCL_EXCLUSIVE | DISCL_BACKGROUND), DIERR_UNSUPPORTED);
  ASSERT_EQ(mouse->SetDataFormat(&c_dfDIMouse2), DI_OK);
  ASSERT_EQ(mouse->Acquire(), DI_OK);
  EXPECT_EQ(mouse->SetDataFormat(&c_dfDIMouse), DIERR_ACQUIRED);
  DIMOUSESTATE2 state2;
  Pump({Button(SDL_BUTTON_X1, true)});
  EXPECT_EQ(mouse->GetDeviceState(sizeof state2, &state2), DI_OK);
  EXPECT_EQ(state2.rgbButtons[3], 0x80);

  IDirectInputDevice8* none = reinterpret_cast<IDirectInputDevice8*>(1);
  EXPECT_EQ(m_pDI->CreateDevice(IID_IDirectInput8A, &none, nullptr), DIERR_DEVICENOTREG);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(m_pDI->CreateDevice(GUID_SysMouse, nullptr, nullptr), DIERR_INVALIDPARAM);

  // COM identity and counts.
  void* same = nullptr;
  ASSERT_EQ(mouse->QueryInterface(IID_IDirectInputDevice8A, &same), S_OK);
  EXPECT_EQ(same, static_cast<void*>(mouse));
  EXPECT_EQ(mouse->QueryInterface(IID_IDirectInput8A, &same), E_NOINTERFACE);
  EXPECT_EQ(same, nullptr);
  EXPECT_EQ(mouse->Release(), 1u);
  EXPECT_EQ(mouse->Release(), 0u);
}

TEST_F(DirectInputDevices, CreationChecksVersionInterfaceAndInjectedFaults) {
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(DirectInput8Create(nullptr, 0x0700, IID_IDirectInput8A, &out, nullptr), DIERR_OLDDIRECTINPUTVERSION);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(DirectInput8Create(nullptr, 0x0900, IID_IDirectInput8A, &out, nullptr), DIERR_BETADIRECTINPUTVERSION);
  EXPECT_EQ(DirectInput8Create(nullptr, 0x0800, IID_IUnknown, &out, nullptr), DIERR_NOINTERFACE);
  EXPECT_EQ(DirectInput8Create(nullptr, 0x0800, IID_IDirectInput8A, nullptr, nullptr), DIERR_INVALIDPARAM);

  DirectInputFaults faults;
  faults.failCreate = true;
  DirectInputInjectFaultsForTesting(faults);
  EXPECT_TRUE(FAILED(DirectInput8Create(nullptr, 0x0800, IID_IDirectInput8A, &out, nullptr)));
  EXPECT_EQ(out, nullptr);

  faults = DirectInputFaults();
  faults.failKeyboard = true;
  faults.failMouseFormat = true;
  faults.failMouseCooperativeLevel = true;
  DirectInputInjectFaultsForTesting(faults);
  IDirectInputDevice8* device = nullptr;
  EXPECT_TRUE(FAILED(m_pDI->CreateDevice(GUID_SysKeyboard, &device, nullptr)));
  EXPECT_EQ(device, nullptr);
  ASSERT_EQ(m_pDI->CreateDevice(GUID_SysMouse, &device, nullptr), DI_OK);
  EXPECT_TRUE(FAILED(device->SetDataFormat(&c_dfDIMouse)));
  EXPECT_TRUE(FAILED(device->SetCooperativeLevel(nullptr, DISCL_EXCLUSIVE | DISCL_FOREGROUND)));
  device->Release();
  faults = DirectInputFaults();
  faults.failMouse = true;
  DirectInputInjectFaultsForTesting(faults);
  EXPECT_TRUE(FAILED(m_pDI->CreateDevice(GUID_SysMouse, &device, nullptr)));
}

TEST_F(DirectInputDevices, AnExclusiveMouseCapturesThePointerWhileAcquired) {
  if (!m_bVideo) GTEST_SKIP() << "needs a display";
  SDL_Window* window = SDL_CreateWindow("input", 0, 0, 320, 240, SDL_WINDOW_SHOWN);
  ASSERT_NE(window, nullptr) << SDL_GetError();
  Pump({});
  DirectInputSetFocus(true);
  OpenDevices();
  EXPECT_TRUE(SDL_GetRelativeMouseMode());
  m_pMouse->Unacquire();
  EXPECT_FALSE(SDL_GetRelativeMouseMode());
  m_pMouse->Acquire();
  EXPECT_TRUE(SDL_GetRelativeMouseMode());
  DirectInputSetFocus(false);
  EXPECT_FALSE(SDL_GetRelativeMouseMode()) << "a window in the background gives the pointer back";
  DirectInputSetFocus(true);
  m_pMouse->Acquire();
  m_pMouse->Release();
  m_pMouse = nullptr;
  EXPECT_FALSE(SDL_GetRelativeMouseMode());
  SDL_DestroyWindow(window);
}

}  // namespace

// DirectInput start-up and close through the context; synthetic SDL events reach
// its keyboard and mouse (under Xvfb when there is a display).
#include <SDL.h>

#include <cstdlib>
#include <cstring>

#include "platform/dinput/dinput_bridge.h"
#include "platform/dinput/dinput_testing.h"
#include "platform/win32/com.h"
#include "services_fixture.h"
#include "tests/support/input_events.h"
#include "tests/support/sound/synth_audio.h"

namespace {

class InputServices : public ServicesTest {
 protected:
  void SetUp() override {
    ServicesTest::SetUp();
    const char* display = std::getenv("DISPLAY");
    m_bVideo = display && *display && SDL_Init(SDL_INIT_VIDEO) == 0;
    if (!m_bVideo) {
      ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0) << SDL_GetError();
    }
    Pump({});  // whatever the display had queued
  }
  void TearDown() override {
    ServicesTest::TearDown();
    SDL_Quit();
  }

  // Init with the faults; returns what the message boxes printed.
  std::string InitCapturingBoxes(const DirectInputFaults& faults) {
    DirectInputInjectFaultsForTesting(faults);
    testing::internal::CaptureStderr();
    InitWithLibrary();
    return testing::internal::GetCapturedStderr();
  }

  bool m_bVideo = false;
  ScopedEnv m_noDialogs{"VANTOREL_NO_DIALOGS", "1"};  // the warnings must not wait for a click
};

TEST_F(InputServices, KeysAndMouseReachTheContextsDevices) {
  const std::string boxes = InitCapturingBoxes(DirectInputFaults());
  EXPECT_EQ(boxes.find("[Warning]"), std::string::npos) << boxes;
  CGameContext& c = *m_pContext;
  ASSERT_NE(c.m_pDI, nullptr);
  ASSERT_NE(c.m_pKeyboard, nullptr);
  ASSERT_NE(c.m_pMouse, nullptr);

  Pump({Key(SDL_SCANCODE_ESCAPE, true), Key(SDL_SCANCODE_UP, true), Key(SDL_SCANCODE_KP_PLUS, true),
        Key(SDL_SCANCODE_BACKSPACE, true), Key(SDL_SCANCODE_BACKSPACE, false), Motion(5, -3), Motion(2, 1),
        Button(SDL_BUTTON_LEFT, true)});
  BYTE keys[256];
  ASSERT_EQ(c.m_pKeyboard->GetDeviceState(sizeof keys, keys), DI_OK);
  for (int code = 0; code < 256; ++code) {
    const bool down = code == DIK_ESCAPE || code == DIK_UP || code == DIK_ADD || code == DIK_BACK;
    EXPECT_EQ(keys[code], down ? 0x80 : 0) << "code " << code;
  }
  DIMOUSESTATE mouse;
  ASSERT_EQ(c.m_pMouse->GetDeviceState(sizeof mouse, &mouse), DI_OK);
  EXPECT_EQ(mouse.lX, 7);
  EXPECT_EQ(mouse.lY, -2);
  EXPECT_EQ(mouse.rgbButtons[0], 0x80);
  EXPECT_EQ(mouse.rgbButtons[1], 0);
  // Motion is relative: nothing more since the last read.
  ASSERT_EQ(c.m_pMouse->GetDeviceState(sizeof mouse, &mouse), DI_OK);
  EXPECT_EQ(mouse.lX, 0);
  EXPECT_EQ(mouse.lY, 0);

  // After a lost focus the game's re-acquire path brings the mouse back.
  DirectInputSetFocus(false);
  EXPECT_EQ(c.m_pMouse->GetDeviceState(sizeof mouse, &mouse), DIERR_INPUTLOST);
  DirectInputSetFocus(true);
  EXPECT_EQ(c.AcquireDevice(c.m_pMouse), S_OK);
  EXPECT_EQ(c.m_pMouse->GetDeviceState(sizeof mouse, &mouse), DI_OK);
  EXPECT_EQ(c.AcquireDevice(nullptr), S_OK);

  const int com = CoInitializeCount();
  c.Close();
  m_bInitDone = false;
  EXPECT_EQ(c.m_pDI, nullptr);
  EXPECT_EQ(c.m_pKeyboard, nullptr);
  EXPECT_EQ(c.m_pMouse, nullptr);
  EXPECT_EQ(CoInitializeCount(), com - 1);
}

TEST_F(InputServices, FailuresShowTheirWarningAndStartUpGoesOn) {
  struct Case {
    DirectInputFaults faults;
    const char* box;
    bool keyboard, mouseHeld, mouseAcquired;
  };
  DirectInputFaults create, keyboard, mouse, format, level;
  create.failCreate = true;
  keyboard.failKeyboard = true;
  mouse.failMouse = true;
  format.failMouseFormat = true;
  level.failMouseCooperativeLevel = true;
  const Case cases[] = {
      {create, "[Warning] Don't create DirectInput8\n", false, false, false},
      {keyboard, "[Warning] Don't create KeyBoard Device\n", false, true, true},
      {mouse, "[Warning] Don't create Mouse Device\n", true, false, false},
      {format, "[Warning] Don't set Mouse Format\n", true, true, false},
      {level, "[Warning] Don't set Mouse Cooperative Level\n", true, true, false},
  };
  for (const Case& k : cases) {
    const std::string boxes = InitCapturingBoxes(k.faults);
    CGameContext& c = *m_pContext;
    EXPECT_NE(boxes.find(k.box), std::string::npos) << k.box << " in: " << boxes;
    EXPECT_EQ(c.m_pKeyboard != nullptr, k.keyboard) << k.box;
    EXPECT_EQ(c.m_pMouse != nullptr, k.mouseHeld) << k.box;
    if (c.m_pKeyboard) {
      BYTE keys[256];
      EXPECT_EQ(c.m_pKeyboard->GetDeviceState(sizeof keys, keys), DI_OK) << k.box;
    }
    if (c.m_pMouse) {
      DIMOUSESTATE mouse;
      EXPECT_EQ(c.m_pMouse->GetDeviceState(sizeof mouse, &mouse), k.mouseAcquired ? DI_OK : DIERR_NOTACQUIRED) << k.box;
    }
    EXPECT_EQ(c.m_bSound, 1) << "sound is started before input";
    c.Close();
    m_bInitDone = false;
    DirectInputResetForTesting();
  }
}

TEST_F(InputServices, ASecondInitReleasesTheDevicesOfTheFirst) {
  InitWithLibrary();
  IDirectInputDevice8* pFirstMouse = m_pContext->m_pMouse;
  pFirstMouse->AddRef();
  InitWithLibrary();
  EXPECT_EQ(pFirstMouse->Release(), 0u);  // ours was the last reference
  EXPECT_NE(m_pContext->m_pMouse, nullptr);
  m_pContext->Close();
  m_pContext->Close();  // the CoInitialize of the second Init
  m_bInitDone = false;
}

}  // namespace

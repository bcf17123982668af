// The mouse object and its button handlers through the DirectInput stand-in.
#include <SDL.h>

#include "game/mouse.h"
#include "gameinput_fixture.h"
#include "platform/dinput/dinput_bridge.h"
#include "tests/support/input_events.h"
#include "platform/dinput/dinput_testing.h"

namespace {

class MouseTest : public GameInputTest {
 protected:
  void SetUp() override {
    GameInputTest::SetUp();
    mouse = new CMouse(&ctx);
    list.Add(mouse);
    ctx.m_bIdle = 1;
  }
  void Press(Uint8 button, bool down) {
    Pump({Button(button, down)});
    Frame();
  }
  CMouse* mouse = nullptr;
};

TEST_F(MouseTest, CursorClampsAtTheEdgesAndKeepsItsPlaceAcrossAModeChange) {
  EXPECT_EQ(mouse->m_nCursorX, 320);
  Pump({Motion(-5000, -5000)});
  Frame();
  EXPECT_EQ(mouse->m_nCursorX, 0);
  EXPECT_EQ(mouse->m_nCursorY, 0);
  EXPECT_EQ(ctx.m_fCursorX, -1.0f);
  EXPECT_EQ(ctx.m_fCursorY, -1.0f);
  EXPECT_FLOAT_EQ(ctx.m_fPickDirX, -1.0f / ctx.m_matProj._11);
  EXPECT_FLOAT_EQ(ctx.m_fPickDirY, 1.0f / ctx.m_matProj._22);
  Pump({Motion(5000, 5000)});
  Frame();
  EXPECT_EQ(mouse->m_nCursorX, 640);
  EXPECT_EQ(mouse->m_nCursorY, 480);
  EXPECT_EQ(ctx.m_fCursorX, 1.0f);

  Pump({Motion(-480, -360)});
  Frame();
  ctx.m_dwWidth = 1024;
  ctx.m_dwHeight = 768;
  mouse->m_nCursorX = 0x10000;  // stale high bits must not survive the re-placing
  mouse->RestoreDeviceObjects();
  EXPECT_EQ(mouse->m_nCursorX, 256);
  EXPECT_EQ(mouse->m_nCursorY, 192);
  Frame();
  EXPECT_FLOAT_EQ(ctx.m_fCursorX, -0.5f);
  EXPECT_FLOAT_EQ(ctx.m_fCursorY, -0.5f);
}

TEST_F(MouseTest, TheRightButtonFreezesTheCursorAndDrags) {
  Pump({Button(SDL_BUTTON_RIGHT, true), Motion(10, 0)});
  Frame();  // the poll that sees the press still moves the cursor
  EXPECT_EQ(mouse->m_nCursorX, 330);
  Pump({Motion(30, 7), Wheel(1)});
  Frame();
  EXPECT_EQ(mouse->m_nCursorX, 330);
  EXPECT_EQ(mouse->m_nCursorY, 240);
  EXPECT_EQ(ctx.m_fMouseDX, 30.0f);
  EXPECT_EQ(ctx.m_fMouseDY, 7.0f);
  EXPECT_EQ(ctx.m_fMouseWheel, 120.0f);
  Pump({Button(SDL_BUTTON_RIGHT, false)});
  Frame();
  Pump({Motion(4, 0)});
  Frame();
  EXPECT_EQ(mouse->m_nCursorX, 334);
  EXPECT_EQ(ctx.m_fMouseDX, 0.0f);
}

TEST_F(MouseTest, OnePickRequestPerPressAndNoneDuringAMove) {
  Press(SDL_BUTTON_LEFT, true);
  EXPECT_EQ(ctx.m_bPickRequest, 1);
  EXPECT_FLOAT_EQ(ctx.m_fCellHitDist, 1000.0f);
  Frame();
  EXPECT_EQ(ctx.m_bPickRequest, 0);  // held: no second request
  Press(SDL_BUTTON_LEFT, false);
  Pump({Button(SDL_BUTTON_LEFT, true)});
  Frame(3);  // closer than 4 ms to the last poll: not read
  EXPECT_EQ(ctx.m_bPickRequest, 0);
  Frame(1);
  EXPECT_EQ(ctx.m_bPickRequest, 1);
  Press(SDL_BUTTON_LEFT, false);

  ctx.m_bIdle = 0;  // a ball is moving
  Press(SDL_BUTTON_LEFT, true);
  Frame();
  EXPECT_EQ(ctx.m_bPickRequest, 0);
  ctx.m_bIdle = 1;  // held through the move: acts when it ends
  Frame();
  EXPECT_EQ(ctx.m_bPickRequest, 1);
}

TEST_F(MouseTest, TheMiddleButtonGoesBetweenPlayAndTheMenuWithItsSound) {
  ctx.m_bSound = 1;
  Press(SDL_BUTTON_MIDDLE, true);
  EXPECT_EQ(ctx.m_dwMode, static_cast<DWORD>(GAMEMODE_MAINMENU));
  Frame();
  EXPECT_EQ(ctx.m_dwMode, static_cast<DWORD>(GAMEMODE_MAINMENU));
  Press(SDL_BUTTON_MIDDLE, false);
  Press(SDL_BUTTON_MIDDLE, true);
  EXPECT_EQ(ctx.m_dwMode, static_cast<DWORD>(GAMEMODE_PLAY));
  EXPECT_EQ(sound.Count("PlaySample"), 2);

}

TEST_F(MouseTest, PollsAfterTheTickWrapsAndLogsOneFailurePerRun) {
  ctx.m_dwTime = 0xFFFFFFF0u;
  Frame();  // polled at 0xFFFFFFF5
  Pump({Motion(7, 0)});
  Frame(16);  // the tick wrapped to 5
  EXPECT_EQ(mouse->m_nCursorX, 327);

  DirectInputSetFocus(false);
  EXPECT_EQ(mouse->FrameMove(), S_OK);  // too soon: nothing read
  ctx.m_dwTime += 5;
  EXPECT_EQ(mouse->FrameMove(), E_FAIL);
  EXPECT_EQ(ctx.m_bReacquireMouse, 1);
  Frame();
  EXPECT_EQ(LogText(), "FAIL: Get Mouse State\n");
  DirectInputSetFocus(true);
  ctx.AcquireDevice(ctx.m_pMouse);
  Frame();
  DirectInputSetFocus(false);
  Frame();
  EXPECT_EQ(LogText(), "FAIL: Get Mouse State\nFAIL: Get Mouse State\n");
}

}  // namespace

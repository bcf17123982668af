// The mouse object and its button handlers through the DirectInput stand-in.
#include <utility>

#include "game/ball.h"
#include "game/mouse.h"
#include "gameinput_fixture.h"

namespace {

class MouseTest : public GameInputTest {
 protected:
  void SetUp() override {
    GameInputTest::SetUp();
    mouse = new CMouse(&ctx);
    list.Add(mouse);
    ctx.m_bIdle = 1;
  }
  // The cursor in back-buffer pixels, and normalised.
  std::pair<int, int> Cursor() const { return {int(mouse->m_nCursorX), int(mouse->m_nCursorY)}; }
  std::pair<float, float> Normalised() const { return {ctx.m_fCursorX, ctx.m_fCursorY}; }
  CMouse* mouse = nullptr;
};

TEST_F(MouseTest, CursorClampsAtTheEdgesAndKeepsItsPlaceAcrossAModeChange) {
  EXPECT_EQ(mouse->m_nCursorX, 320);
  Input({Motion(-5000, -5000)});
  EXPECT_EQ(Cursor(), std::make_pair(0, 0));
  EXPECT_EQ(Normalised(), std::make_pair(-1.0f, -1.0f));
  EXPECT_FLOAT_EQ(ctx.m_fPickDirX, -1.0f / ctx.m_matProj._11);
  EXPECT_FLOAT_EQ(ctx.m_fPickDirY, 1.0f / ctx.m_matProj._22);
  Input({Motion(5000, 5000)});
  EXPECT_EQ(Cursor(), std::make_pair(640, 480));
  EXPECT_EQ(ctx.m_fCursorX, 1.0f);

  Input({Motion(-480, -360)});
  ctx.m_dwWidth = 1024;
  ctx.m_dwHeight = 768;
  mouse->m_nCursorX = 0x10000;  // stale high bits must not survive the re-placing
  mouse->RestoreDeviceObjects();
  EXPECT_EQ(Cursor(), std::make_pair(256, 192));
  Frame();
  EXPECT_EQ(Normalised(), std::make_pair(-0.5f, -0.5f));
}

TEST_F(MouseTest, TheRightButtonFreezesTheCursorAndDrags) {
  Input({Button(SDL_BUTTON_RIGHT, true), Motion(10, 0)});  // the poll that sees the press still moves it
  EXPECT_EQ(mouse->m_nCursorX, 330);
  Input({Motion(30, 7), Wheel(1)});
  EXPECT_EQ(Cursor(), std::make_pair(330, 240));
  EXPECT_EQ(ctx.m_fMouseDX, 30.0f);
  EXPECT_EQ(ctx.m_fMouseDY, 7.0f);
  EXPECT_EQ(ctx.m_fMouseWheel, 120.0f);
  Input({Button(SDL_BUTTON_RIGHT, false)});
  Input({Motion(4, 0)});
  EXPECT_EQ(mouse->m_nCursorX, 334);
  EXPECT_EQ(ctx.m_fMouseDX, 0.0f);
}

TEST_F(MouseTest, OnePickRequestPerPressAndNoneDuringAMove) {
  Input({Button(SDL_BUTTON_LEFT, true)});
  EXPECT_EQ(ctx.m_bPickRequest, 1);
  EXPECT_FLOAT_EQ(ctx.m_fCellHitDist, 1000.0f);
  Frame();
  EXPECT_EQ(ctx.m_bPickRequest, 0);  // held: no second request
  Input({Button(SDL_BUTTON_LEFT, false)});
  Pump({Button(SDL_BUTTON_LEFT, true)});
  Frame(3);  // closer than 4 ms to the last poll: not read
  EXPECT_EQ(ctx.m_bPickRequest, 0);
  Frame(1);
  EXPECT_EQ(ctx.m_bPickRequest, 1);
  Input({Button(SDL_BUTTON_LEFT, false)});

  ctx.m_bIdle = 0;  // a ball is moving
  Input({Button(SDL_BUTTON_LEFT, true)});
  Frame();
  EXPECT_EQ(ctx.m_bPickRequest, 0);
  ctx.m_bIdle = 1;  // held through the move: acts when it ends
  Frame();
  EXPECT_EQ(ctx.m_bPickRequest, 1);
}

TEST_F(MouseTest, EachPressPicksAnewAFarBallAfterANearOne) {
  CBall* balls[2] = {new CBall(&ctx), new CBall(&ctx)};
  for (int k = 0; k < 2; ++k) {
    ASSERT_EQ(balls[k]->PlaceAt(0, k == 0 ? -4 : 4, 1), S_OK);  // the front row, then the back row
    balls[k]->m_bDropping = 0;
    balls[k]->m_bResting = 1;
    balls[k]->m_fHeight = 0.0f;
    list.Add(balls[k]);
    balls[k]->Render();  // places the pick sphere
  }
  for (CBall* pBall : balls) {
    Aim(D3DXVECTOR3(0.0f, 12.0f, -10.0f), pBall->m_vCentre);
    Input({Button(SDL_BUTTON_LEFT, true)});
    Frame();  // the balls test the ray
    EXPECT_EQ(ctx.m_pBallHit, pBall) << (pBall == balls[0] ? "the near ball" : "the far ball, after the near one");
    Input({Button(SDL_BUTTON_LEFT, false)});
  }
}

TEST_F(MouseTest, TheMiddleButtonGoesBetweenPlayAndTheMenuWithItsSound) {
  ctx.m_bSound = 1;
  Input({Button(SDL_BUTTON_MIDDLE, true)});
  EXPECT_EQ(ctx.m_dwMode, static_cast<DWORD>(GAMEMODE_MAINMENU));
  Frame();
  EXPECT_EQ(ctx.m_dwMode, static_cast<DWORD>(GAMEMODE_MAINMENU));
  Input({Button(SDL_BUTTON_MIDDLE, false)});
  Input({Button(SDL_BUTTON_MIDDLE, true)});
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

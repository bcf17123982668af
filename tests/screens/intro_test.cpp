// The intro's timeline on a fake clock: strict phase bounds, the fade's long frames,
// the hand-over to the opening flight with the first song, and a tick that wraps.
// What it draws is checked in display_test.cpp.
#include <cstdlib>

#include "engine/renderqueue.h"
#include "engine/texturecache.h"
#include "game/intro.h"
#include "screens_fixture.h"

namespace screens_test {
namespace {

class IntroTest : public ScreensTest {
 protected:
  // From the start to its end: the wait, a fade-in and a fade-out that each reach
  // their end in one long frame and stop a frame later, the hold and the last wait.
  void RunToEnd(CIntro& intro) {
    for (DWORD dwElapsed : {1001, 900, 10, 3001, 900, 10, 501}) Frame(intro, dwElapsed);
    ASSERT_EQ(1, intro.m_bDead);
  }
};

TEST_F(IntroTest, PhaseBoundsAreStrictAndALongFrameJumpsToFullBrightness) {
  CIntro intro(&ctx);
  ctx.m_dwMode = GAMEMODE_INTRO;
  Frame(intro, 1000);  // exactly 1000 ms: still black
  EXPECT_EQ(1, intro.m_bWaitPhase);
  EXPECT_EQ(0xFF000000u, intro.m_LogoQuad[0].color);
  Frame(intro, 1);
  EXPECT_EQ(0, intro.m_bWaitPhase);

  Frame(intro, 100);  // 30 grey levels
  EXPECT_EQ(0xFF1E1E1Eu, intro.m_dwFadeColor);
  Frame(intro, 800);  // past 255: full brightness at once, "Welcome" not yet
  EXPECT_EQ(0xFFFFFFFFu, intro.m_LogoQuad[3].color);
  EXPECT_EQ(0, Heard("Welcome"));
  Frame(intro, 10);
  EXPECT_EQ(1, Heard("Welcome"));

  // A device reset lays the quad out for the new size, in the fade's colour.
  intro.InvalidateDeviceObjects();
  ctx.m_dwWidth = 800;
  ctx.m_dwHeight = 600;
  intro.RestoreDeviceObjects();
  EXPECT_EQ(800.0f, intro.m_LogoQuad[4].x);
  EXPECT_EQ(600.0f, intro.m_LogoQuad[2].y);
  EXPECT_EQ(0xFFFFFFFFu, intro.m_LogoQuad[2].color);
  intro.Render();
  ASSERT_EQ(1u, Queued().size());
  EXPECT_EQ(intro.m_pLogoVB, Queued()[0].m_pVB);
  queue.Clear();

  Frame(intro, 3000);  // exactly 3000 ms held
  EXPECT_EQ(1, intro.m_bHoldPhase);
  Frame(intro, 1);
  Frame(intro, 1000);  // the fade-out goes to black and ends a frame later
  EXPECT_EQ(0xFF000000u, intro.m_dwFadeColor);
  Frame(intro, 10);
  Frame(intro, 500);
  EXPECT_EQ(0, intro.m_bDead);
  EXPECT_EQ(GAMEMODE_INTRO, ctx.m_dwMode);

  Frame(intro, 1);
  EXPECT_EQ(1, intro.m_bDead);
  EXPECT_EQ(GAMEMODE_FLYIN, ctx.m_dwMode);
  EXPECT_EQ(1, ctx.m_bNewGameRequest);
  EXPECT_EQ(nullptr, intro.m_pLogoVB);
  EXPECT_EQ("GameFone1 loop", SongStarted());
  EXPECT_EQ(100, FMUSIC_GetMasterVolume(ctx.m_pSong));
}

TEST_F(IntroTest, TimedPhasesCountRightWhenTheTickWraps) {
  // The end of the wait lies past the wrap: it must neither come at once nor late.
  ctx.m_dwTime = 0xFFFFFFFFu - 500;
  CIntro intro(&ctx);
  for (int k = 0; k < 10; ++k) Frame(intro, 100);
  EXPECT_EQ(1, intro.m_bWaitPhase);
  Frame(intro, 1);
  EXPECT_EQ(0, intro.m_bWaitPhase);

  // A long frame that crosses the wrap ends the hold.
  intro.m_bFadeInPhase = 0;
  ctx.m_dwTime = 0xFFFFFFFFu - 3500;
  intro.m_dwPhaseStart = ctx.m_dwTime;
  Frame(intro, 3600);
  EXPECT_EQ(0, intro.m_bHoldPhase);
}

TEST_F(IntroTest, SongByMusicTypeAndNoneWithoutSoundOrWhenItCannotLoad) {
  {
    ctx.m_nMusType = 0;  // random, played once so the rotation goes on
    std::srand(7);
    CIntro intro(&ctx);
    RunToEnd(intro);
    const std::string started = SongStarted();
    EXPECT_EQ(" once", started.substr(started.size() - 5)) << started;
  }
  {
    // A song that cannot be loaded starts nothing: the current one stays as it was.
    WriteLibrary(false);
    Mark();
    ctx.m_nMusType = 3;
    CIntro intro(&ctx);
    RunToEnd(intro);
    EXPECT_TRUE(Played("PlaySong").empty());
    EXPECT_NE(std::string::npos, LogText().find("FAIL: Can not find resource in FMOD!\n"));
  }
  {
    ctx.m_bSound = 0;  // without sound the intro still hands over
    ctx.m_bNewGameRequest = 0;
    CIntro intro(&ctx);
    RunToEnd(intro);
    EXPECT_EQ(GAMEMODE_FLYIN, ctx.m_dwMode);
    EXPECT_EQ(1, ctx.m_bNewGameRequest);
    EXPECT_NE(std::string::npos, LogText().find("FAIL: Can not load FMOD SONG\n"));
    EXPECT_TRUE(Played("PlaySong").empty());
  }
}

TEST_F(IntroTest, TheBlackFirstSecondDrawsNoPicture) {
  CIntro intro(&ctx);
  intro.Render();
  Frame(intro, 1000);
  intro.Render();
  Frame(intro, 1);  // the wait is over: the fade-in shows the logo
  intro.Render();
  const std::vector<RenderItem> items = Queued();
  ASSERT_EQ(3u, items.size());
  EXPECT_STREQ("", items[0].m_strTexture);
  EXPECT_STREQ("", items[1].m_strTexture);
  EXPECT_STREQ("VantorelLogo", items[2].m_strTexture);
}

TEST_F(IntroTest, TheEndReleasesTheLogoAndNothingElse) {
  CTextureCache textures;
  ctx.m_pTextureCache = &textures;
  for (const char* strName : {"VantorelLogo", "BallTex"}) {
    IDirect3DTexture8* pTexture = nullptr;
    ASSERT_EQ(S_OK, pDevice->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &pTexture));
    textures.Add(pTexture, strName);
  }
  CIntro intro(&ctx);
  RunToEnd(intro);
  ASSERT_EQ(1, intro.m_bDead);
  IDirect3DTexture8* pFound = nullptr;
  EXPECT_EQ(E_FAIL, textures.Find("VantorelLogo", &pFound));
  EXPECT_EQ(S_OK, textures.Find("BallTex", &pFound));
  textures.Clear();
  ctx.m_pTextureCache = nullptr;
}

}  // namespace
}  // namespace screens_test

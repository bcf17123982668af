// The options screen: every control through its rectangle (strict edges), the
// sliders, the song change, the resolution request and the refilled cells.
#include <functional>

#include "engine/renderqueue.h"
#include "game/options.h"
#include "screens_fixture.h"

namespace screens_test {
namespace {

class OptionsTest : public ScreensTest {
 protected:
  void SetUp() override {
    ScreensTest::SetUp();
    ctx.m_dwMode = GAMEMODE_OPTIONS;
    ctx.m_dwWidth = 800;
    ctx.m_dwHeight = 600;
    ctx.m_nMoveMode = 0;
  }
  // A click at grid position (gx, gy), one frame.
  // A click at grid position (gx, gy), one frame. With bExactOnly nothing happens
  // (false) when no cursor meets the position exactly.
  bool ClickAt(COptions& options, float gx, float gy, bool bExactOnly = false) {
    if (!CursorAtGrid(gx, gy) && bExactOnly) return false;
    ctx.m_bClick = 1;
    ctx.m_bLeftButton = 1;
    Frame(options, 16);
    ctx.m_bClick = 0;
    ctx.m_bLeftButton = 0;
    return true;
  }
};

struct Control {
  const char* strName;
  float x0, x1, y0, y1;
  const char* strSample;
  std::function<int(const CGameContext&)> state;  // changes when the control acts
};

TEST_F(OptionsTest, EachControlActsInsideItsRectangleAndNotOnItsEdges) {
  const Control controls[] = {
      {"Environ", 4.5f, 5.5f, 8.2f, 9.5f, "OptDiodButton", [](const CGameContext& c) { return c.m_bEnviron; }},
      {"HiRes", 4.5f, 5.5f, 6.7f, 8.0f, "OptDiodButton", [](const CGameContext& c) { return c.m_bHiRes; }},
      {"640x480", 4.3f, 5.8f, 5.1f, 6.4f, "OptRedButton", [](const CGameContext& c) { return int(c.m_dwNewWidth); }},
      {"1024x768", 7.7f, 9.2f, 5.1f, 6.4f, "OptRedButton", [](const CGameContext& c) { return int(c.m_dwNewWidth); }},
      {"track 2", 15.4f, 16.2f, 5.2f, 6.2f, "OptRedButton", [](const CGameContext& c) { return c.m_nMusType; }},
      {"random", 17.4f, 18.9f, 5.2f, 6.2f, "OptRedButton", [](const CGameContext& c) { return c.m_nMusType; }},
      {"plate movement", 7.8f, 8.8f, 12.3f, 13.6f, "OptDiodButton", [](const CGameContext& c) { return c.m_bPlateMov; }},
      {"move style 4", 14.2f, 15.8f, 14.0f, 14.8f, "OptGreenButton", [](const CGameContext& c) { return c.m_nMoveMode; }},
      {"floor (2, 1)", 11.1f, 12.1f, 17.55f, 18.85f, "OptTexsButton",
       [](const CGameContext& c) { return c.m_nFloorTex * 10 + c.m_bFloorType; }},
      {"floor (4, 0)", 14.5f, 15.5f, 15.8f, 17.1f, "OptTexsButton",
       [](const CGameContext& c) { return c.m_nFloorTex * 10 + c.m_bFloorType; }},
  };
  COptions options(&ctx);
  int nEdges = 0;
  for (const Control& control : controls) {
    SCOPED_TRACE(control.strName);
    const float cx = (control.x0 + control.x1) / 2, cy = (control.y0 + control.y1) / 2;
    const float edges[4][2] = {{control.x0, cy}, {control.x1, cy}, {cx, control.y0}, {cx, control.y1}};
    for (const auto& edge : edges) {
      const int before = control.state(ctx);
      // Some edges fall between two floats of the cursor: those cannot be met.
      if (!ClickAt(options, edge[0], edge[1], true)) continue;
      ++nEdges;
      EXPECT_EQ(before, control.state(ctx)) << "edge " << edge[0] << ", " << edge[1];
    }
    EXPECT_TRUE(Heard().empty());
    const int before = control.state(ctx);
    ClickAt(options, cx, cy);
    EXPECT_NE(before, control.state(ctx));
    ASSERT_EQ(1u, Heard().size());
    EXPECT_EQ(control.strSample, Heard()[0]);
    Mark();
    ctx.m_bModeChangeRequest = 0;
  }
  EXPECT_GE(nEdges, 20);
  EXPECT_EQ(4, ctx.m_nFloorTex);
  EXPECT_EQ(0, ctx.m_bFloorType);
  EXPECT_EQ(0xFFFFFFFFu, options.m_GameQuads[15 + 4][0].color);
  EXPECT_EQ(0xFFAAAAAAu, options.m_GameQuads[15 + 7][0].color);
  EXPECT_FLOAT_EQ(2.0f / 9, options.m_GameQuads[10 + 4][0].tv);  // the lit lamp under style 4
  EXPECT_FLOAT_EQ(2.0f / 9 + 1.0f / 18, options.m_GameQuads[10 + 0][0].tv);
}

TEST_F(OptionsTest, ButtonsOfTheCurrentChoiceDoNothingButTheMoveStyleSoundsAgain) {
  COptions options(&ctx);
  ctx.m_nMusType = 2;
  ctx.m_nFloorTex = 1;
  ctx.m_bFloorType = 1;
  ctx.m_nMoveMode = 3;
  ClickAt(options, 6.75f, 5.75f);   // 800x600, the current mode
  ClickAt(options, 15.8f, 5.7f);    // track 2, the one playing
  ClickAt(options, 9.9f, 18.2f);    // floor (1, 1), the chosen one
  EXPECT_EQ(0, ctx.m_bModeChangeRequest);
  EXPECT_TRUE(Heard().empty());
  EXPECT_EQ(0, CountSinceMark("LoadSong"));
  ClickAt(options, 13.3f, 14.4f);  // move style 3 again
  ClickAt(options, 13.3f, 14.4f);
  EXPECT_EQ(2, Heard("OptGreenButton"));
  EXPECT_EQ(3, ctx.m_nMoveMode);

  // A size that shares one side with the current one may still be asked for.
  ctx.m_dwWidth = 1024;
  ctx.m_dwHeight = 600;
  ClickAt(options, 8.45f, 5.75f);
  EXPECT_EQ(1, ctx.m_bModeChangeRequest);
  EXPECT_EQ(1024u, ctx.m_dwNewWidth);
  EXPECT_EQ(768u, ctx.m_dwNewHeight);
}

TEST_F(OptionsTest, SlidersFollowTheHeldButtonAndTheirLastTenthIsDead) {
  EXPECT_EQ(1, COptions::SliderValue(14.5f));
  EXPECT_EQ(125, COptions::SliderValue(16.54f));
  EXPECT_EQ(250, COptions::SliderValue(18.58f));
  ASSERT_EQ(S_OK, ctx.LoadSong("GameFone1", &ctx.m_pSong));
  COptions options(&ctx);
  ctx.m_bLeftButton = 1;
  for (float gx : {14.45f, 16.54f, 18.7f}) {
    CursorAtGrid(gx, 7.2f);
    Frame(options, 16);
    EXPECT_EQ(COptions::SliderValue(gx), ctx.m_nMusVolume) << gx;
    EXPECT_EQ(ctx.m_nMusVolume, FMUSIC_GetMasterVolume(ctx.m_pSong));
  }
  CursorAtGrid(18.85f, 7.2f);  // the last tenth of the bar
  ctx.m_nMusVolume = 7;
  Frame(options, 16);
  EXPECT_EQ(7, ctx.m_nMusVolume);
  EXPECT_TRUE(Heard().empty());

  // The knob stands at the volume: 14.60568 grid units for 1, 18.51 for 250.
  const float u = 800 * 5.0f / 100;
  ctx.m_nMusVolume = 1;
  ctx.m_nSoundVolume = 250;
  options.FillSoundControls();
  EXPECT_NEAR(14.60568f * u, options.m_SoundQuads[9][0].x, 0.01f);
  EXPECT_NEAR(18.51f * u, options.m_SoundQuads[10][0].x, 0.01f);

  // A click on the sound slider sets the volume first, then plays at it.
  ClickAt(options, 16.54f, 8.7f);
  EXPECT_EQ(125, ctx.m_nSoundVolume);
  ASSERT_EQ(1, Heard("SoundVolume"));
  const int nLast = static_cast<int>(sound.calls.size()) - 1;
  EXPECT_EQ(0u, sound.calls[nLast].find("PlaySample"));
  EXPECT_EQ("SetSampleVolume 63", sound.calls[nLast - 1]);  // 125 of 255 is 63 of 128
}

TEST_F(OptionsTest, SongChangeAndTheCurrentSongWhenTheNewOneFailsToLoad) {
  COptions options(&ctx);
  ClickAt(options, 16.8f, 5.7f);  // track 3
  EXPECT_EQ(3, ctx.m_nMusType);
  EXPECT_EQ("GameFone3 loop", SongStarted());
  EXPECT_FLOAT_EQ(5.0f / 9, options.m_SoundQuads[5][0].tu);

  ClickAt(options, 18.1f, 5.7f);  // random: played once
  EXPECT_EQ(0, ctx.m_nMusType);
  EXPECT_EQ(" once", SongStarted().substr(SongStarted().size() - 5));

  // The new song is missing: the setting changes and the current song plays on.
  FMUSIC_MODULE* pCurrent = ctx.m_pSong;
  WriteLibrary(false);
  Mark();
  ClickAt(options, 14.8f, 5.7f);  // track 1
  EXPECT_EQ(1, ctx.m_nMusType);
  EXPECT_EQ(pCurrent, ctx.m_pSong);
  EXPECT_EQ(1, CountSinceMark("PlaySong"));
  EXPECT_TRUE(FMUSIC_IsPlaying(ctx.m_pSong));

  // Without sound the music controls do nothing.
  ctx.m_bSound = 0;
  ClickAt(options, 16.8f, 5.7f);
  EXPECT_EQ(1, ctx.m_nMusType);
}

TEST_F(OptionsTest, LayoutFollowsTheBackBufferAndRendersThreePanels) {
  COptions options(&ctx);
  options.InvalidateDeviceObjects();
  ctx.m_dwWidth = 1024;
  ctx.m_dwHeight = 768;
  options.RestoreDeviceObjects();
  // 640x480 button: grid (4.3, 5.1) size 1.5 x 1.3.
  EXPECT_FLOAT_EQ(4.3f * 51.2f, options.m_VideoQuads[3][0].x);
  EXPECT_FLOAT_EQ(5.1f * 38.4f, options.m_VideoQuads[3][0].y);
  EXPECT_FLOAT_EQ(5.8f * 51.2f, options.m_VideoQuads[3][5].x);
  EXPECT_FLOAT_EQ(6.4f * 38.4f, options.m_VideoQuads[3][5].y);
  EXPECT_FLOAT_EQ(5.0f / 6, options.m_VideoQuads[5][0].tu);  // 1024x768 is current now
  options.Render();
  const std::vector<RenderItem> items = Queued();
  ASSERT_EQ(3u, items.size());
  const DWORD prims[3] = {16, 22, 50};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_STREQ("OptTex", items[i].m_strTexture);
    EXPECT_EQ(1, items[i].m_bColorKey);
    EXPECT_EQ(0xFF000000u, items[i].m_dwColorKey);
    EXPECT_EQ(prims[i], items[i].m_dwPrimCount);
    EXPECT_NE(nullptr, items[i].m_pVB);
    EXPECT_EQ(i == 1 ? 1 : 0, items[i].m_bBlend);
  }
  pQueue->Clear();
}

}  // namespace
}  // namespace screens_test

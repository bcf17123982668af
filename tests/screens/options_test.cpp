// The options screen: every control through its rectangle (strict edges), each
// switch both ways, the sliders, the song change, the resolution request and the
// refilled cells.
#include <cmath>
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
  // Puts the cursor at grid position (gx, gy) of the 20 x 20 grid the screen computes
  // from the normalised cursor; false when no float meets it exactly.
  bool CursorAtGrid(float gx, float gy) {
    bool bExact = true;
    for (float* pCursor : {&ctx.m_fCursorX, &ctx.m_fCursorY}) {
      const float g = pCursor == &ctx.m_fCursorX ? gx : gy;
      float& c = *pCursor = g / 10.0f - 1.0f;
      for (int step = 0; step < 16 && (c + 1.0f) * 10.0f != g; ++step)
        c = std::nextafter(c, (c + 1.0f) * 10.0f < g ? 2.0f : -2.0f);
      bExact = bExact && (c + 1.0f) * 10.0f == g;
    }
    return bExact;
  }
  // A click at grid position (gx, gy), one frame; with bExactOnly none (false) when the
  // position cannot be met exactly.
  bool ClickAt(COptions& options, float gx, float gy, bool bExactOnly = false) {
    if (!CursorAtGrid(gx, gy) && bExactOnly) return false;
    ctx.m_bClick = ctx.m_bLeftButton = 1;
    Frame(options, 16);
    ctx.m_bClick = ctx.m_bLeftButton = 0;
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
  auto floor = [](const CGameContext& c) { return c.m_nFloorTex * 10 + c.m_bFloorType; };
  auto width = [](const CGameContext& c) { return int(c.m_dwNewWidth); };
  auto music = [](const CGameContext& c) { return c.m_nMusType; };
  const Control controls[] = {
      {"Environ", 4.5f, 5.5f, 8.2f, 9.5f, "OptDiodButton", [](const CGameContext& c) { return c.m_bEnviron; }},
      {"HiRes", 4.5f, 5.5f, 6.7f, 8.0f, "OptDiodButton", [](const CGameContext& c) { return c.m_bHiRes; }},
      {"640x480", 4.3f, 5.8f, 5.1f, 6.4f, "OptRedButton", width},
      {"1024x768", 7.7f, 9.2f, 5.1f, 6.4f, "OptRedButton", width},
      {"track 2", 15.4f, 16.2f, 5.2f, 6.2f, "OptRedButton", music},
      {"random", 17.4f, 18.9f, 5.2f, 6.2f, "OptRedButton", music},
      {"plate movement", 7.8f, 8.8f, 12.3f, 13.6f, "OptDiodButton", [](const CGameContext& c) { return c.m_bPlateMov; }},
      {"move style 4", 14.2f, 15.8f, 14.0f, 14.8f, "OptGreenButton", [](const CGameContext& c) { return c.m_nMoveMode; }},
      {"floor (2, 1)", 11.1f, 12.1f, 17.55f, 18.85f, "OptTexsButton", floor},
      {"floor (4, 0)", 14.5f, 15.5f, 15.8f, 17.1f, "OptTexsButton", floor},
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
    const int before = control.state(ctx);
    ClickAt(options, cx, cy);
    EXPECT_NE(before, control.state(ctx));
    EXPECT_EQ(std::vector<std::string>{control.strSample}, Played("PlaySample"));
    Mark();
    ctx.m_bModeChangeRequest = 0;
    // The diodes are on/off switches: a second click turns each back.
    if (std::string(control.strSample) == "OptDiodButton") {
      ClickAt(options, cx, cy);
      EXPECT_EQ(before, control.state(ctx)) << "a second click did not turn it back";
      EXPECT_EQ(1, Heard("OptDiodButton"));
      Mark();
    }
  }
  EXPECT_GE(nEdges, 20);
  // The chosen floor and move style are shown lit.
  EXPECT_EQ(0xFFFFFFFFu, options.m_GameQuads[15 + 4][0].color);
  EXPECT_EQ(0xFFAAAAAAu, options.m_GameQuads[15 + 7][0].color);
  EXPECT_FLOAT_EQ(2.0f / 9, options.m_GameQuads[10 + 4][0].tv);
  // Three panels of atlas cells whose black is see-through.
  options.Render();
  ASSERT_EQ(3u, Queued().size());
  for (const RenderItem& item : Queued()) EXPECT_TRUE(item.m_bColorKey && item.m_dwColorKey == 0xFF000000u);
  queue.Clear();
}

TEST_F(OptionsTest, ButtonsOfTheCurrentChoiceDoNothingButTheMoveStyleSoundsAgain) {
  COptions options(&ctx);
  ctx.m_nMusType = 2;
  ctx.m_nFloorTex = 1;
  ctx.m_bFloorType = 1;
  ctx.m_nMoveMode = 3;
  ClickAt(options, 6.75f, 5.75f);  // 800x600, the current mode
  ClickAt(options, 15.8f, 5.7f);   // track 2, the one playing
  ClickAt(options, 9.9f, 18.2f);   // floor (1, 1), the chosen one
  EXPECT_EQ(0, ctx.m_bModeChangeRequest);
  EXPECT_TRUE(Played("PlaySample").empty());
  EXPECT_EQ(0, sound.Count("LoadSong"));
  ClickAt(options, 13.3f, 14.4f);  // move style 3 again, twice
  ClickAt(options, 13.3f, 14.4f);
  EXPECT_EQ(2, Heard("OptGreenButton"));
  EXPECT_EQ(3, ctx.m_nMoveMode);

  // A size that shares one side with the current one may still be asked for.
  ctx.m_dwWidth = 1024;
  ClickAt(options, 8.45f, 5.75f);
  EXPECT_EQ(1, ctx.m_bModeChangeRequest);
  EXPECT_EQ(1024u, ctx.m_dwNewWidth);
  EXPECT_EQ(768u, ctx.m_dwNewHeight);
}

TEST_F(OptionsTest, ThePlatesPictureCanBeChosenForTheWholeFloorAndBack) {
  COptions options(&ctx);
  ctx.m_nFloorTex = 2;
  ctx.m_bFloorType = 0;
  ClickAt(options, 11.6f, 18.2f);  // floor (2, 1): the same picture on the whole floor
  EXPECT_EQ(1, ctx.m_bFloorType) << "the whole floor in the plates' picture cannot be chosen";
  EXPECT_EQ(0xFFFFFFFFu, options.m_GameQuads[15 + 5 + 2][0].color);
  ClickAt(options, 11.6f, 16.45f);  // floor (2, 0): back to the plates
  EXPECT_EQ(0, ctx.m_bFloorType);
  EXPECT_EQ(2, ctx.m_nFloorTex);
  EXPECT_EQ(2, Heard("OptTexsButton"));
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
  EXPECT_TRUE(Played("PlaySample").empty());

  // A click on the sound slider sets the volume first, then plays at it.
  ClickAt(options, 16.54f, 8.7f);
  EXPECT_EQ(125, ctx.m_nSoundVolume);
  ASSERT_EQ(1, Heard("SoundVolume"));
  const size_t nLast = sound.calls.size() - 1;
  EXPECT_EQ(0u, sound.calls[nLast].find("PlaySample"));
  EXPECT_EQ("SetSampleVolume 63", sound.calls[nLast - 1]);  // 125 of 255 is 63 of 128
}

TEST_F(OptionsTest, SongChangeAndTheCurrentSongWhenTheNewOneFailsToLoad) {
  COptions options(&ctx);
  ClickAt(options, 16.8f, 5.7f);  // track 3
  EXPECT_EQ(3, ctx.m_nMusType);
  EXPECT_EQ("GameFone3 loop", SongStarted());
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
  EXPECT_EQ(1u, Played("PlaySong").size());
  EXPECT_TRUE(FMUSIC_IsPlaying(ctx.m_pSong));

  ctx.m_bSound = 0;  // without sound the music controls do nothing
  ClickAt(options, 16.8f, 5.7f);
  EXPECT_EQ(1, ctx.m_nMusType);
}

}  // namespace
}  // namespace screens_test

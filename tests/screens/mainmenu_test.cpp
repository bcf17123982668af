// The main menu's hover and items, save and load from the menu, the back button of
// the help and options screens and the exit screen.
#include <unistd.h>

#include <string>

#include "engine/renderqueue.h"
#include "game/mainmenu.h"
#include "game/savefile.h"
#include "screens_fixture.h"

namespace screens_test {
namespace {

class MainMenuTest : public ScreensTest {
 protected:
  void SetUp() override {
    ScreensTest::SetUp();
    ctx.m_dwMode = GAMEMODE_MAINMENU;
    char cwd[4096];
    ASSERT_NE(nullptr, getcwd(cwd, sizeof cwd));
    oldDir = cwd;
    ASSERT_EQ(0, chdir(dir.c_str()));  // the save file lives in the working directory
  }
  void TearDown() override {
    EXPECT_EQ(0, chdir(oldDir.c_str()));
    ScreensTest::TearDown();
  }
  // Normalised cursor over the middle of item i.
  void OverItem(int i) {
    ctx.m_fCursorX = 0.0f;
    ctx.m_fCursorY = -0.5f + 0.2f * i;
  }
  void ClickItem(CMainMenu& menu, int i) {
    OverItem(i);
    ctx.m_bClick = 1;
    Frame(menu, 16);
  }
  std::string oldDir;
};

TEST_F(MainMenuTest, EveryHoverChangeSoundsOnceAndInsetsTheItem) {
  CMainMenu menu(&ctx);
  OverItem(2);
  Frame(menu, 16);
  Frame(menu, 16);
  EXPECT_EQ(2u, menu.m_nHoverItem);
  EXPECT_EQ(1, Heard("MenuSelect"));
  // Inset by a twentieth of the cell on every side, and brighter.
  const float cw = 1024 / 3.0f, ch = 768 / 10.0f;
  EXPECT_FLOAT_EQ(cw + cw / 20, menu.m_ItemQuads[2][0].x);
  EXPECT_FLOAT_EQ(4 * ch + ch / 20, menu.m_ItemQuads[2][0].y);
  EXPECT_FLOAT_EQ(cw + cw / 20 + 0.9f * cw, menu.m_ItemQuads[2][5].x);
  EXPECT_EQ(0xFFFFFFFFu, menu.m_ItemQuads[2][0].color);
  EXPECT_EQ(0xFFCCCCCCu, menu.m_ItemQuads[1][0].color);

  ctx.m_fCursorY = (0.4f - 1.0f) + 0.2f * 2;  // on the border between items 1 and 2: no item
  Frame(menu, 16);
  EXPECT_EQ(6u, menu.m_nHoverItem);
  ctx.m_fCursorX = 0.34f;  // right of the column: still none, no sound
  Frame(menu, 16);
  OverItem(5);
  Frame(menu, 16);
  EXPECT_EQ(5u, menu.m_nHoverItem);
  EXPECT_EQ(3, Heard("MenuSelect"));
  EXPECT_FLOAT_EQ(cw, menu.m_ItemQuads[2][0].x);  // laid out afresh, unhovered
}

TEST_F(MainMenuTest, ItemsSwitchModesAndOnlyTheLastThreeClearTheClick) {
  CMainMenu menu(&ctx);
  const DWORD modes[3] = {GAMEMODE_OPTIONS, GAMEMODE_HELP, GAMEMODE_EXIT};
  for (int i = 3; i < 6; ++i) {
    ctx.m_dwMode = GAMEMODE_MAINMENU;
    ClickItem(menu, i);
    EXPECT_EQ(modes[i - 3], ctx.m_dwMode);
    EXPECT_EQ(0, ctx.m_bClick);
  }
  ctx.m_dwMode = GAMEMODE_MAINMENU;
  ctx.m_Records[0].dwScore = 420;
  ctx.m_nBestScore = 9000;
  ClickItem(menu, 0);
  EXPECT_EQ(GAMEMODE_PLAY, ctx.m_dwMode);
  EXPECT_EQ(1, ctx.m_bClick);
  EXPECT_EQ(1, ctx.m_bNewGameRequest);
  EXPECT_EQ(420, ctx.m_nBestScore);

  // A click beside the items only sounds.
  ctx.m_dwMode = GAMEMODE_MAINMENU;
  ctx.m_fCursorX = -0.5f;
  ctx.m_bClick = 1;
  Mark();
  Frame(menu, 16);
  EXPECT_EQ(GAMEMODE_MAINMENU, ctx.m_dwMode);
  EXPECT_EQ(1, Heard("OptRedButton"));
}

TEST_F(MainMenuTest, SaveWhileABallMovesWritesNothingAndLoadWithoutAFileKeepsTheBoard) {
  CMainMenu menu(&ctx);
  ctx.m_Board[3][4] = 5;
  ctx.m_nScore = 12;
  ctx.m_bIdle = 0;
  ClickItem(menu, 1);
  EXPECT_EQ(GAMEMODE_PLAY, ctx.m_dwMode);
  EXPECT_NE(0, access(SAVE_FILE_NAME, F_OK));

  ctx.m_dwMode = GAMEMODE_MAINMENU;
  ClickItem(menu, 2);
  EXPECT_EQ(GAMEMODE_PLAY, ctx.m_dwMode);
  EXPECT_EQ(5, ctx.m_Board[3][4]);
  EXPECT_EQ(0, ctx.m_bRebuildBalls);

  // At rest the game is written, and read back after the board changed.
  ctx.m_bIdle = 1;
  ctx.m_dwMode = GAMEMODE_MAINMENU;
  ClickItem(menu, 1);
  ASSERT_EQ(0, access(SAVE_FILE_NAME, F_OK));
  ctx.m_Board[3][4] = 0;
  ctx.m_nScore = 0;
  ctx.m_dwMode = GAMEMODE_MAINMENU;
  ClickItem(menu, 2);
  EXPECT_EQ(5, ctx.m_Board[3][4]);
  EXPECT_EQ(12, ctx.m_nScore);
  EXPECT_EQ(1, ctx.m_bRebuildBalls);
}

TEST_F(MainMenuTest, BackButtonLeadsToTheMenuAndTheExitScreenQuits) {
  CMainMenu menu(&ctx);
  ctx.m_dwMode = GAMEMODE_HELP;
  // The button covers x 1/15..2/15 and y 18/20..19/20 of the screen.
  ctx.m_fCursorX = 2 * 1.5f / 15 - 1;
  ctx.m_fCursorY = 0.85f;
  Frame(menu, 16);
  EXPECT_EQ(1, menu.m_bBackHighlight);
  EXPECT_FLOAT_EQ(2.0f / 9, menu.m_BackButtonQuad[0].tv);
  ctx.m_bLeftButton = 1;
  ctx.m_bClick = 1;
  Frame(menu, 16);
  EXPECT_EQ(GAMEMODE_MAINMENU, ctx.m_dwMode);
  EXPECT_EQ(0, ctx.m_bClick);
  EXPECT_EQ(1, Heard("OptRedButton"));

  ctx.m_dwMode = GAMEMODE_OPTIONS;
  ctx.m_bLeftButton = 1;
  ctx.m_fCursorY = 0.95f;  // below the button
  Frame(menu, 16);
  EXPECT_EQ(GAMEMODE_OPTIONS, ctx.m_dwMode);
  menu.Render();
  const std::vector<RenderItem> items = Queued();
  ASSERT_EQ(2u, items.size());
  EXPECT_STREQ("VantorelOptions", items[0].m_strTexture);
  EXPECT_STREQ("OptTex", items[1].m_strTexture);
  EXPECT_EQ(3u, items[1].m_dwSrcBlend);
  EXPECT_EQ(4u, items[1].m_dwDestBlend);
  pQueue->Clear();

  ctx.m_dwMode = GAMEMODE_EXIT;
  ctx.m_bLeftButton = 0;
  Frame(menu, 16);
  EXPECT_EQ(0, ctx.m_bQuitRequest);
  ctx.m_bRightButton = 1;
  Frame(menu, 16);
  EXPECT_EQ(1, ctx.m_bQuitRequest);
}

}  // namespace
}  // namespace screens_test

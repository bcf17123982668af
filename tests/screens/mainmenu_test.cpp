// The main menu's hover and items, save and load from the menu, the back button of
// the help and options screens and the exit screen.
#include <unistd.h>

#include "engine/renderqueue.h"
#include "game/mainmenu.h"
#include "game/savefile.h"
#include "screens_fixture.h"

namespace screens_test {
namespace {

class MainMenuTest : public ScreensTest {
 protected:
  // A click in the middle of item i of the menu, one frame.
  void ClickItem(CMainMenu& menu, int i) {
    ctx.m_dwMode = GAMEMODE_MAINMENU;
    ctx.m_fCursorX = 0.0f;
    ctx.m_fCursorY = -0.5f + 0.2f * i;
    ctx.m_bClick = 1;
    Frame(menu, 16);
  }
};

TEST_F(MainMenuTest, EveryHoverChangeSoundsOnceAndHighlightsTheItem) {
  CMainMenu menu(&ctx);
  ctx.m_dwMode = GAMEMODE_MAINMENU;
  const struct {
    float x, y;
    DWORD item;
  } steps[] = {{0.0f, -0.1f, 2}, {0.0f, -0.1f, 2},   // staying on an item sounds once
               // Exactly on the border between items 1 and 2, then right of the column: none.
               {0.0f, (0.4f - 1.0f) + 0.2f * 2, 6}, {0.34f, 0.0f, 6},
               {0.0f, 0.5f, 5}};
  for (const auto& step : steps) {
    ctx.m_fCursorX = step.x;
    ctx.m_fCursorY = step.y;
    Frame(menu, 16);
    EXPECT_EQ(step.item, menu.m_nHoverItem) << step.x << ", " << step.y;
    if (step.item == 2) {
      EXPECT_EQ(0xFFFFFFFFu, menu.m_ItemQuads[2][0].color);
    }
  }
  EXPECT_EQ(3, Heard("MenuSelect"));
  EXPECT_EQ(0xFFCCCCCCu, menu.m_ItemQuads[2][0].color);  // unhovered again
}

TEST_F(MainMenuTest, ItemsSwitchModesAndOnlyTheLastThreeClearTheClick) {
  CMainMenu menu(&ctx);
  const DWORD modes[3] = {GAMEMODE_OPTIONS, GAMEMODE_HELP, GAMEMODE_EXIT};
  for (int i = 3; i < 6; ++i) {
    ClickItem(menu, i);
    EXPECT_EQ(modes[i - 3], ctx.m_dwMode);
    EXPECT_EQ(0, ctx.m_bClick);
  }
  ctx.m_Records[0].dwScore = 420;
  ctx.m_nBestScore = 9000;
  ClickItem(menu, 0);
  EXPECT_EQ(GAMEMODE_PLAY, ctx.m_dwMode);
  EXPECT_EQ(1, ctx.m_bClick);
  EXPECT_EQ(1, ctx.m_bNewGameRequest);
  EXPECT_EQ(420, ctx.m_nBestScore);

  ctx.m_dwMode = GAMEMODE_MAINMENU;
  ctx.m_fCursorX = -0.5f;  // a click beside the items only sounds
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
  ClickItem(menu, 2);
  EXPECT_EQ(GAMEMODE_PLAY, ctx.m_dwMode);
  EXPECT_EQ(0, ctx.m_bRebuildBalls);

  // At rest the game is written, and read back after the board changed.
  ctx.m_bIdle = 1;
  ClickItem(menu, 1);
  ctx.m_Board[3][4] = 0;
  ctx.m_nScore = 0;
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
  ctx.m_bLeftButton = 1;
  ctx.m_bClick = 1;
  Frame(menu, 16);
  EXPECT_EQ(GAMEMODE_MAINMENU, ctx.m_dwMode);
  EXPECT_EQ(0, ctx.m_bClick);
  EXPECT_EQ(1, Heard("OptRedButton"));

  ctx.m_dwMode = GAMEMODE_OPTIONS;
  ctx.m_fCursorY = 0.95f;  // below the button
  Frame(menu, 16);
  EXPECT_EQ(GAMEMODE_OPTIONS, ctx.m_dwMode);

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

// The options screen changes the move style and the floor; the exit screen ends the
// program cleanly, and the settings file keeps the choices.
#include <X11/keysym.h>

#include "tests/e2e/end_to_end_test.h"

class OptionsAndExitTest : public EndToEndTest {
 protected:
  // The exit picture's row of balls starts red, green, blue; its coordinates (1024 x
  // 768) stretch over the screen.
  static bool ShowsExitScreen(const ScreenImage& screen) {
    for (int ball = 0; ball < 3; ++ball) {
      const Rgb c = screen.Mean((272 + ball * 120) * screen.width / 1024, 470 * screen.height / 768, 4);
      const int channels[3] = {c.r, c.g, c.b};  // the ball's own channel leads the others
      for (int k = 0; k < 3; ++k)
        if (k != ball && channels[ball] < channels[k] + 40) return false;
    }
    return true;
  }
};

TEST_F(OptionsAndExitTest, ChoicesOutliveTheExitScreen) {
  StartPlaying();
  ASSERT_FALSE(HasFatalFailure());
  ChooseMenuItem(3);
  // Move style 0 (at once) and the third whole-floor texture, on the grid of twentieths.
  game.ClickAt(OptionsGrid(8.2f, 14.4f));
  game.ClickAt(OptionsGrid(11.6f, 18.2f));
  // Back to the menu, then the exit screen. The two Escape presses on the way were let
  // go long before it opened: it waits for a key of its own.
  game.Press(XK_Escape);
  game.ClickAt(game.View().FromNormalised(0.0f, -0.5f + 0.2f * 5));
  ASSERT_TRUE(game.WaitFor(ShowsExitScreen, 10000)) << "the exit screen is not on the screen";
  ASSERT_TRUE(game.Holds(ShowsExitScreen, 3000)) << (game.Running() ? "the exit screen went away by itself"
                                                                    : "the exit screen ended by itself");
  game.Press(XK_q);
  int code = -1;
  ASSERT_TRUE(game.WaitExit(20000, &code)) << "the exit screen did not end the program";
  EXPECT_EQ(0, code);
  EXPECT_EQ(0u, game.Setting("MoveMode", ~0u));
  EXPECT_EQ(2u, game.Setting("FloorTex", ~0u));
  EXPECT_EQ(1u, game.Setting("FloorType", ~0u));
  EXPECT_EQ(640u, game.Setting("Width", ~0u));
}

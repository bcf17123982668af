// The options screen changes the move style and the floor; the exit screen ends the
// program cleanly, and the settings file keeps the choices.
#include <X11/keysym.h>
#include <stdlib.h>

#include <chrono>
#include <thread>

#include "platform/win32/registry.h"
#include "shell/dxutil_registry.h"
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
  DWORD Setting(const char* name) {
    // The registry functions follow the environment, as the game's do.
    setenv("VANTOREL_REGISTRY_FILE", game.PathOf("registry.txt").c_str(), 1);
    HKEY key = nullptr;
    DWORD value = 0xFFFFFFFFu;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Marbek\\Vantorel", 0, KEY_READ, &key) == ERROR_SUCCESS) {
      DXUtil_ReadIntRegKey(key, name, &value, 0xFFFFFFFFu);
      RegCloseKey(key);
    }
    return value;
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
  std::this_thread::sleep_for(std::chrono::seconds(1));
  ASSERT_TRUE(game.Running()) << "the exit screen ended by itself";
  EXPECT_TRUE(ShowsExitScreen(game.Capture())) << "the exit screen is not on the screen";
  game.Press(XK_q);
  int code = -1;
  ASSERT_TRUE(game.WaitExit(20000, &code)) << "the exit screen did not end the program";
  EXPECT_EQ(0, code);
  EXPECT_EQ(0u, Setting("MoveMode"));
  EXPECT_EQ(2u, Setting("FloorTex"));
  EXPECT_EQ(1u, Setting("FloorType"));
  EXPECT_EQ(640u, Setting("Width"));
}

// The demo program's scene on the real window and device: a full picture of board,
// balls, room and text, never a black or empty frame, and Escape closes it.
#include <SDL.h>

#include <cstdlib>
#include <cstring>

#include "integration_app.h"
#include "shell/demo/demo_app.h"

namespace integration {
namespace {

class CDemoProbe : public CDemoApp {
 public:
  using CDemoApp::m_hWnd;
  using CDemoApp::m_pd3dDevice;
  bool capture = false;
  Picture picture;
  int renders = 0;
  bool safetyNet = false;  // closed for taking too long, not by the key

  Picture Frame() {
    capture = true;
    picture = Picture();
    EXPECT_EQ(S_OK, Render3DEnvironment());
    capture = false;
    return picture;
  }

 protected:
  HRESULT Render() override {
    const HRESULT hr = CDemoApp::Render();
    if (++renders > 400 && !safetyNet) {
      safetyNet = true;
      PostMessage(m_hWnd, WM_CLOSE, 0, 0);
    }
    if (capture) picture = ReadBackBuffer(m_pd3dDevice);
    return hr;
  }
};

class DemoTest : public IntegrationTest {};

TEST_F(DemoTest, TheSceneFillsTheFrameWithBoardBallsRoomAndText) {
  CDemoProbe app;
  ASSERT_EQ(S_OK, app.Create(GetModuleHandle(nullptr)));
  // The frame rate shows once half a second has passed.
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 600) ASSERT_EQ(S_OK, app.Render3DEnvironment());
  const Picture frame = app.Frame();
  KeepPicture(frame, "demo");
  ASSERT_EQ(800u, frame.width);
  ASSERT_EQ(600u, frame.height);

  int black = 0, red = 0, green = 0, water = 0, grey = 0, yellowTop = 0;
  for (UINT y = 0; y < frame.height; ++y)
    for (UINT x = 0; x < frame.width; ++x) {
      const DWORD c = frame.At(static_cast<int>(x), static_cast<int>(y));
      const int r = Picture::Red(c), g = Picture::Green(c), b = Picture::Blue(c);
      black += r + g + b < 24;
      red += r > 150 && g < 90 && b < 90;                    // red balls
      green += g > 80 && g > r + 20 && g > b + 20;           // grass and green balls
      water += b > 120 && b > r + 60;                        // caustics on the pool
      grey += r > 120 && std::abs(r - g) < 20 && std::abs(g - b) < 25;  // the plates
      yellowTop += y < 16 && r > 200 && g > 200 && b < 80;   // the frame rate
    }
  const int all = static_cast<int>(frame.pixels.size());
  EXPECT_LT(black, all / 20);
  EXPECT_GT(red, 100);
  EXPECT_GT(green, all / 50);
  EXPECT_GT(water, all / 20);
  EXPECT_GT(grey, all / 10);
  EXPECT_GT(yellowTop, 50);

  // Escape, through the window's accelerator, closes the program.
  SDL_Event e;
  std::memset(&e, 0, sizeof e);
  e.type = SDL_KEYDOWN;
  e.key.windowID = SDL_GetWindowID(WindowGetSdlWindow(app.m_hWnd));
  e.key.state = SDL_PRESSED;
  e.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
  e.key.keysym.sym = SDLK_ESCAPE;
  SDL_PushEvent(&e);
  EXPECT_EQ(0, app.Run());
  EXPECT_FALSE(app.safetyNet) << "Escape did not close the program";
  EXPECT_EQ(nullptr, app.m_pd3dDevice);
}

}  // namespace
}  // namespace integration

// The context's services in a running application: Init starts the sound library on
// SDL's dummy audio driver and DirectInput on the real window; a sample and a song
// from the generated res.dll play, and keys and mouse motion pushed as SDL events
// travel through the window's message pump to the DirectInput devices.
#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/gamecontext.h"
#include "engine/samplecache.h"
#include "engine/texturecache.h"
#include "integration_app.h"

namespace integration {
namespace {

class CServicesApp : public CIntegrationApp {
 public:
  CServicesApp() : CIntegrationApp(320, 240) {}
  ~CServicesApp() override { Shutdown(); }

  CGameContext context;
  std::FILE* log = std::tmpfile();

  std::string LogText() { return ReadLog(log); }

 protected:
  HRESULT OneTimeSceneInit() override {
    context.m_pLog = log;
    context.m_pSampleCache = new CSampleCache();
    context.m_pTextureCache = new CTextureCache();
    context.m_nSoundVolume = 200;
    context.m_nMusVolume = 128;
    return S_OK;
  }
  HRESULT InitScene() override {
    context.m_dwWidth = m_BackBufferDesc.Width;
    context.m_dwHeight = m_BackBufferDesc.Height;
    context.m_pd3dDevice = m_pd3dDevice;
    context.Init(m_hWnd, m_hInstance);  // sound, then keyboard and mouse
    return S_OK;
  }
  HRESULT Render() override {
    m_pd3dDevice->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    return S_OK;
  }
  HRESULT FinalCleanup() override {
    Shutdown();
    return S_OK;
  }

 private:
  // The game's order: the caches go before the services close.
  void Shutdown() {
    delete context.m_pSampleCache;
    context.m_pSampleCache = nullptr;
    if (context.m_pTextureCache) context.m_pTextureCache->Clear();
    delete context.m_pTextureCache;
    context.m_pTextureCache = nullptr;
    if (context.m_pDI || context.m_bSoundStarted) context.Close();
    context.m_pd3dDevice = nullptr;
    if (log) std::fclose(log);
    log = nullptr;
    context.m_pLog = nullptr;
  }
};

bool AnyChannelPlaying() {
  for (int channel = 0; channel < 32; ++channel)
    if (FSOUND_IsPlaying(channel)) return true;
  return false;
}

SDL_Event Key(Uint32 window, SDL_Scancode scancode, bool down) {
  SDL_Event e;
  std::memset(&e, 0, sizeof e);
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.windowID = window;
  e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.scancode = scancode;
  e.key.keysym.sym = SDL_GetKeyFromScancode(scancode);
  return e;
}

SDL_Event Motion(Uint32 window, int dx, int dy) {
  SDL_Event e;
  std::memset(&e, 0, sizeof e);
  e.type = SDL_MOUSEMOTION;
  e.motion.windowID = window;
  e.motion.x = 100 + dx;
  e.motion.y = 100 + dy;
  e.motion.xrel = dx;
  e.motion.yrel = dy;
  return e;
}

SDL_Event Button(Uint32 window, Uint8 button, bool down) {
  SDL_Event e;
  std::memset(&e, 0, sizeof e);
  e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
  e.button.windowID = window;
  e.button.button = button;
  e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.button.x = 107;
  e.button.y = 98;
  return e;
}

SDL_Event FocusGained(Uint32 window) {
  SDL_Event e;
  std::memset(&e, 0, sizeof e);
  e.type = SDL_WINDOWEVENT;
  e.window.windowID = window;
  e.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
  return e;
}

bool Lost(HRESULT hr) { return hr == DIERR_INPUTLOST || hr == DIERR_NOTACQUIRED; }

// What the frames saw, checked after the loop ends.
struct Seen {
  bool sound = false, sampleCached = false, channelPlaying = false, mixerChannel = false;
  bool songLoaded = false, songPlaying = false, songFinished = true, mixerMusic = false;
  bool songStillPlaying = false;
  int attempts = 0;
  HRESULT keyboardRead = E_FAIL, keyboardReadAgain = E_FAIL, mouseRead = E_FAIL, mouseReadAgain = E_FAIL;
  BYTE keys[256] = {};
  BYTE keysAgain[256] = {};
  DIMOUSESTATE mouse = {};
  DIMOUSESTATE mouseAgain = {};
};

// Other programs' windows on the same display may take the focus, and with it the
// foreground devices: the input is pushed with the focus, read in the next frame, and
// pushed again (at most five times) when a read finds the input lost.
constexpr int kInputAttempts = 5;

void PushInput(CGameContext& c, Uint32 window) {
  // Let go of what an earlier attempt held; then empty what the devices gathered so far.
  SDL_Event release[] = {FocusGained(window),
                         Key(window, SDL_SCANCODE_UP, false),
                         Key(window, SDL_SCANCODE_KP_PLUS, false),
                         Key(window, SDL_SCANCODE_A, false),
                         Button(window, SDL_BUTTON_LEFT, false)};
  for (SDL_Event& e : release) SDL_PushEvent(&e);
  SDL_PumpEvents();
  c.AcquireDevice(c.m_pKeyboard);
  c.AcquireDevice(c.m_pMouse);
  BYTE keys[256];
  DIMOUSESTATE mouse;
  c.m_pKeyboard->GetDeviceState(sizeof keys, keys);
  c.m_pMouse->GetDeviceState(sizeof mouse, &mouse);
  // Held: Up, keypad plus, A; Backspace pressed and let go again; two moves; the left button down.
  SDL_Event events[] = {Key(window, SDL_SCANCODE_UP, true),         Key(window, SDL_SCANCODE_KP_PLUS, true),
                        Key(window, SDL_SCANCODE_A, true),          Key(window, SDL_SCANCODE_BACKSPACE, true),
                        Key(window, SDL_SCANCODE_BACKSPACE, false), Motion(window, 5, -3),
                        Motion(window, 2, 1),                       Button(window, SDL_BUTTON_LEFT, true)};
  for (SDL_Event& e : events) SDL_PushEvent(&e);
}

// Reads both devices twice; false when the input was lost on the way.
bool ReadInput(CGameContext& c, Seen& seen) {
  seen.keyboardRead = c.m_pKeyboard->GetDeviceState(sizeof seen.keys, seen.keys);
  seen.keyboardReadAgain = c.m_pKeyboard->GetDeviceState(sizeof seen.keysAgain, seen.keysAgain);
  seen.mouseRead = c.m_pMouse->GetDeviceState(sizeof seen.mouse, &seen.mouse);
  seen.mouseReadAgain = c.m_pMouse->GetDeviceState(sizeof seen.mouseAgain, &seen.mouseAgain);
  return !Lost(seen.keyboardRead) && !Lost(seen.keyboardReadAgain) && !Lost(seen.mouseRead) &&
         !Lost(seen.mouseReadAgain);
}

class SoundInputTest : public IntegrationTest {};

TEST_F(SoundInputTest, InitPlaysTheLibrarysSoundsAndTheDevicesReadTheWindowsEvents) {
  CServicesApp app;
  ASSERT_EQ(S_OK, app.Create(GetModuleHandle(nullptr)));
  CGameContext& c = app.context;
  ASSERT_EQ(1, c.m_bSound) << app.LogText();
  ASSERT_NE(nullptr, c.m_pKeyboard);
  ASSERT_NE(nullptr, c.m_pMouse);
  EXPECT_STREQ(kResLib, c.m_strResLib) << "Init names the project's library";
  const Uint32 window = SDL_GetWindowID(WindowGetSdlWindow(app.m_hWnd));
  ASSERT_NE(0u, window);

  static Seen seen;
  seen = Seen();
  app.onFrame = [&c, window](CIntegrationApp& a) {
    if (a.frames == 2) {
      seen.sound = c.m_bSound == 1;
      EXPECT_EQ(S_OK, c.PlaySound("BallSelect"));
      seen.sampleCached = c.m_pSampleCache->Find("BallSelect", nullptr) == S_OK;
      seen.channelPlaying = AnyChannelPlaying();
      seen.mixerChannel = Mix_Playing(-1) > 0;
      seen.songLoaded = c.LoadSong("GameFone1", &c.m_pSong) == S_OK;
      FMUSIC_SetMasterVolume(c.m_pSong, c.m_nMusVolume);
      FMUSIC_PlaySong(c.m_pSong);
      seen.songPlaying = FMUSIC_IsPlaying(c.m_pSong);
      seen.songFinished = FMUSIC_IsFinished(c.m_pSong);
      seen.mixerMusic = Mix_PlayingMusic() == 1;
    } else if (a.frames >= 3 && a.frames % 2 == 1) {
      ++seen.attempts;
      PushInput(c, window);  // the message loop pumps the events before the next frame
    } else if (a.frames >= 4) {
      if (ReadInput(c, seen) || seen.attempts >= kInputAttempts) {
        seen.songStillPlaying = FMUSIC_IsPlaying(c.m_pSong) && !FMUSIC_IsFinished(c.m_pSong);
        PostMessage(a.m_hWnd, WM_CLOSE, 0, 0);
      }
    }
    if (a.frames > 100) PostMessage(a.m_hWnd, WM_CLOSE, 0, 0);  // a safety net
  };
  const std::string logBefore = app.LogText();
  EXPECT_EQ(0, app.Run());
  EXPECT_EQ(std::string(), logBefore);

  EXPECT_TRUE(seen.sound);
  EXPECT_TRUE(seen.sampleCached);
  EXPECT_TRUE(seen.channelPlaying) << "the sample plays on a channel of the sound library";
  EXPECT_TRUE(seen.mixerChannel) << "and on a mixer channel";
  EXPECT_TRUE(seen.songLoaded);
  EXPECT_TRUE(seen.songPlaying);
  EXPECT_FALSE(seen.songFinished);
  EXPECT_TRUE(seen.mixerMusic) << "the song plays through the mixer";
  EXPECT_TRUE(seen.songStillPlaying) << "the song goes on over the frames";

  // A press let go before the read still counts once; the held keys stay down.
  ASSERT_EQ(DI_OK, seen.keyboardRead) << "after " << seen.attempts << " attempts";
  ASSERT_EQ(DI_OK, seen.keyboardReadAgain);
  for (int code = 0; code < 256; ++code) {
    const bool held = code == DIK_UP || code == DIK_ADD || code == DIK_A;
    EXPECT_EQ(held || code == DIK_BACK ? 0x80 : 0, seen.keys[code]) << "DIK code " << code;
    EXPECT_EQ(held ? 0x80 : 0, seen.keysAgain[code]) << "DIK code " << code << ", second read";
  }
  ASSERT_EQ(DI_OK, seen.mouseRead);
  EXPECT_EQ(7, seen.mouse.lX);
  EXPECT_EQ(-2, seen.mouse.lY);
  EXPECT_EQ(0, seen.mouse.lZ);
  EXPECT_EQ(0x80, seen.mouse.rgbButtons[0]);
  EXPECT_EQ(0, seen.mouse.rgbButtons[1]);
  ASSERT_EQ(DI_OK, seen.mouseReadAgain);
  EXPECT_EQ(0, seen.mouseAgain.lX) << "motion is relative: nothing new since the last read";
  EXPECT_EQ(0, seen.mouseAgain.lY);
  EXPECT_EQ(0x80, seen.mouseAgain.rgbButtons[0]) << "the button is still held";

  // The window closed: the services are shut down with the application.
  EXPECT_EQ(nullptr, c.m_pDI);
  EXPECT_EQ(nullptr, c.m_pSong);
  EXPECT_EQ(0, c.m_bSound);
}

}  // namespace
}  // namespace integration

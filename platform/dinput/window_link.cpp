#include "platform/dinput/window_link.h"

#include <SDL.h>

#include "platform/dinput/input_hub.h"
#include "platform/win32/window_bridge.h"
#include "platform/win32/winuser.h"

namespace {

void OnWindowEvent(const SDL_Event* event, void* /*user*/) { InputHub::Get().Feed(event); }

// Motion arrives in window coordinates, the game counts back-buffer pixels: in full
// screen the back buffer is letterboxed into the desktop-sized window.
void UpdateMotionScale(HWND window) {
  SDL_Window* sdlWindow = WindowGetSdlWindow(window);
  RECT client;
  if (!sdlWindow || !GetClientRect(window, &client)) return;
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  int windowWidth = 0, windowHeight = 0;
  SDL_GetWindowSize(sdlWindow, &windowWidth, &windowHeight);
  int x, y, w, h;
  WindowLetterbox(width, height, windowWidth, windowHeight, &x, &y, &w, &h);
  if (width <= 0 || height <= 0 || w <= 0 || h <= 0) return;
  InputHub::Get().SetMotionScale(static_cast<float>(width) / static_cast<float>(w),
                                 static_cast<float>(height) / static_cast<float>(h));
}

void OnWindowNotice(HWND window, WindowNotice notice, void* /*user*/) {
  switch (notice) {
    case WINDOW_NOTICE_ACTIVATED:
      InputHub::Get().SetFocus(true);
      break;
    case WINDOW_NOTICE_DEACTIVATED:
      InputHub::Get().SetFocus(false);
      break;
    case WINDOW_NOTICE_IDLE:
      InputHub::Get().NextFrame();
      break;
    case WINDOW_NOTICE_CREATED:
    case WINDOW_NOTICE_GEOMETRY:
      UpdateMotionScale(window);
      break;
    default:
      break;
  }
}

}  // namespace

void LinkInputToWindows() {
  WindowRemoveEventListener(&OnWindowEvent, nullptr);
  WindowAddEventListener(&OnWindowEvent, nullptr);
  WindowRemoveNoticeListener(&OnWindowNotice, nullptr);
  WindowAddNoticeListener(&OnWindowNotice, nullptr);
}

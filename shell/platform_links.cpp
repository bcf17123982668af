#include "shell/platform_links.h"

#include "platform/d3d8/gl_window_bridge.h"
#include "platform/win32/window_bridge.h"

namespace {

void OnWindowNotice(HWND window, WindowNotice notice, void*) {
  switch (notice) {
    case WINDOW_NOTICE_CREATED:
      D3D8BindWindow(window, WindowGetSdlWindow(window));
      break;
    case WINDOW_NOTICE_DESTROYED:
      D3D8UnbindWindow(window);
      break;
    case WINDOW_NOTICE_MINIMIZED:
      D3D8SetWindowMinimized(window, true);
      break;
    case WINDOW_NOTICE_RESTORED:
      D3D8SetWindowMinimized(window, false);
      break;
    default:
      break;
  }
}

}  // namespace

void ShellLinkPlatform() {
  static bool linked = false;
  if (linked) return;
  linked = true;
  WindowAddNoticeListener(OnWindowNotice, nullptr);
}

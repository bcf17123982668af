// The program's resources: what a resource script would hold.
#include <cmath>

#include "platform/win32/winuser.h"
#include "shell/resource.h"

namespace {

// A 32 x 32 icon: a shaded blue ball on a transparent ground.
void MakeIcon(DWORD* pixels) {
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const float dx = (static_cast<float>(x) - 15.5f) / 14.0f;
      const float dy = (static_cast<float>(y) - 15.5f) / 14.0f;
      const float d2 = dx * dx + dy * dy;
      DWORD argb = 0;
      if (d2 <= 1.0f) {
        const float nz = std::sqrt(1.0f - d2);
        float light = 0.25f + 0.75f * std::fmax(0.0f, (-0.4f * dx - 0.5f * dy + 0.77f * nz));
        const float highlight = std::pow(std::fmax(0.0f, -0.4f * dx - 0.5f * dy + 0.77f * nz), 24.0f);
        light = std::fmin(1.0f, light);
        const auto channel = [&](float base) {
          return static_cast<DWORD>(std::fmin(255.0f, 255.0f * (base * light + highlight)));
        };
        argb = 0xFF000000u | (channel(0.15f) << 16) | (channel(0.45f) << 8) | channel(1.0f);
      }
      pixels[y * 32 + x] = argb;
    }
  }
}

}  // namespace

void RegisterProgramResources() {
  static bool registered = false;
  if (registered) return;
  registered = true;

  DWORD icon[32 * 32];
  MakeIcon(icon);
  Win32AddIconResource(IDI_MAIN_ICON, 32, 32, icon);

  const MENUITEMTEMPLATEA menu[] = {
      {MF_POPUP | MF_END, 0, "&File"},
      {MF_STRING | MF_END, IDM_EXIT, "E&xit"},
  };
  Win32AddMenuResource(IDR_MENU, menu, 2);

  const ACCEL accelerators[] = {
      {FVIRTKEY | FNOINVERT, VK_ESCAPE, IDM_ESCAPE},
      {FVIRTKEY | FALT | FNOINVERT, VK_RETURN, IDM_TOGGLEFULLSCREEN},
      {FVIRTKEY | FNOINVERT, VK_SPACE, IDM_MINIMIZE},
  };
  Win32AddAcceleratorResource(IDR_MAIN_ACCEL, accelerators, 3);
}

// Full-screen pictures (logo, help, exit, options backdrop) and the main menu labels.
#include <algorithm>
#include <cmath>

#include "tools/assetgen/random.h"
#include "tools/assetgen/text.h"
#include "tools/assetgen/textures.h"

namespace assetgen {

namespace {

constexpr int kScreenW = 1024, kScreenH = 768;

// Night-blue backdrop with a soft light from above, faint hexagon sparkle and a vignette.
Image Backdrop(uint32_t seed, const Color& centre, const Color& edge) {
  TileNoise noise(4, seed);
  Image image(kScreenW, kScreenH);
  image.Shade([&](float u, float v) {
    const float dx = (u - 0.5f) * 1.33f, dy = v - 0.35f;
    const float d = std::sqrt(dx * dx + dy * dy);
    Color c = Mix(centre, edge, std::clamp(d * 1.3f, 0.0f, 1.0f));
    const float n = noise.Fractal(u * 4, v * 3, 5);
    c = Scale(c, 0.85f + 0.3f * n);
    return c;
  });
  // Scattered soft lights (bokeh).
  Random random(seed);
  for (int i = 0; i < 40; ++i) {
    const float x = random.Range(0, kScreenW), y = random.Range(0, kScreenH), r = random.Range(6, 26);
    const int size = static_cast<int>(r * 2 + 4);
    Mask dot = CircleMask(size, size, size / 2.0f, size / 2.0f, r).Blurred(static_cast<int>(r / 3));
    const Color tint = Mix(Color{0.4f, 0.6f, 1.0f, 1}, Color{1.0f, 0.8f, 0.5f, 1}, random.Uniform());
    const float strength = random.Range(0.03f, 0.09f);
    for (int py = 0; py < size; ++py)
      for (int px = 0; px < size; ++px)
        image.Add(static_cast<int>(x) + px - size / 2, static_cast<int>(y) + py - size / 2, tint,
                  dot.at(px, py) * strength);
  }
  return image;
}

TextStyle TitleStyle(float size) {
  TextStyle style;
  style.size = size;
  style.top = Color{1.0f, 0.95f, 0.7f, 1};
  style.bottom = Color{0.95f, 0.6f, 0.15f, 1};
  style.outline = Color{0.25f, 0.1f, 0.0f, 1};
  style.outlineWidth = 3;
  style.glow = Color{1.0f, 0.6f, 0.2f, 0.55f};
  style.glowRadius = 14;
  style.shadow = 0.7f;
  return style;
}

TextStyle BodyStyle(float size, int align = -1) {
  TextStyle style;
  style.font = FontStyle::kRegular;
  style.size = size;
  style.top = Color{0.95f, 0.97f, 1.0f, 1};
  style.bottom = Color{0.8f, 0.87f, 1.0f, 1};
  style.shadow = 0.8f;
  style.align = align;
  return style;
}

TextStyle KeyStyle(float size) {
  TextStyle style;
  style.size = size;
  style.top = Color{1.0f, 0.92f, 0.55f, 1};
  style.bottom = Color{1.0f, 0.75f, 0.3f, 1};
  style.shadow = 0.8f;
  style.align = -1;
  return style;
}

PanelStyle GlassPanel() {
  PanelStyle style;
  style.top = Color{0.12f, 0.16f, 0.32f, 1};
  style.bottom = Color{0.04f, 0.05f, 0.14f, 1};
  style.rim = Color{0.55f, 0.7f, 1.0f, 1};
  style.radius = 14;
  style.bevel = 3;
  return style;
}

Image Logo() {
  Image image = Backdrop(101, Color{0.12f, 0.2f, 0.45f, 1}, Color{0.01f, 0.02f, 0.06f, 1});
  // A sweeping row of five balls, one of each colour but two, as on a winning line.
  const int colours[] = {1, 4, 2, 6, 3, 5, 7};
  for (int i = 0; i < 7; ++i) {
    const float t = i / 6.0f;
    const float r = 34 + 14 * std::sin(t * 3.14159f);
    DrawBall(image, 170 + t * 690, 560 - 60 * std::sin(t * 3.14159f), r, BallColour(colours[i]));
  }
  DrawText(image, 80, 170, 864, 200, "VANTOREL", TitleStyle(190));
  TextStyle sub = BodyStyle(40, 0);
  sub.font = FontStyle::kBold;
  sub.glow = Color{0.4f, 0.6f, 1.0f, 0.5f};
  sub.glowRadius = 10;
  DrawText(image, 112, 370, 800, 60, "Five in a row, in three dimensions", sub);
  return image;
}

Image Exit() {
  Image image = Backdrop(103, Color{0.3f, 0.12f, 0.35f, 1}, Color{0.03f, 0.01f, 0.05f, 1});
  for (int i = 0; i < 5; ++i) DrawBall(image, 272 + i * 120.0f, 470, 44, BallColour(i + 1 + (i > 2 ? 2 : 0)));
  DrawText(image, 100, 150, 824, 150, "Thank you for playing", TitleStyle(96));
  DrawText(image, 100, 300, 824, 80, "VANTOREL", TitleStyle(64));
  DrawText(image, 100, 590, 824, 50, "Click, press any key or the right button to quit", BodyStyle(34, 0));
  DrawText(image, 100, 650, 824, 40, "Middle button: back to the game", BodyStyle(26, 0));
  return image;
}

Image Help() {
  Image image = Backdrop(105, Color{0.08f, 0.25f, 0.3f, 1}, Color{0.01f, 0.03f, 0.05f, 1});
  DrawText(image, 100, 18, 824, 90, "How to play", TitleStyle(76));
  DrawPanel(image, 50, 112, 924, 150, GlassPanel());
  const char* rules[] = {
      "Pick a ball, then an empty cell: the ball moves there if a free path leads to it.",
      "Five or more of one colour in a row, column or diagonal vanish and score points.",
      "Otherwise three new balls appear in the colours shown in the top bar.",
      "The game ends when the board is full. The best scores enter the records.",
  };
  for (int i = 0; i < 4; ++i) DrawText(image, 76, 124 + i * 33, 880, 32, rules[i], BodyStyle(24));
  DrawPanel(image, 50, 280, 924, 400, GlassPanel());
  const char* controls[][2] = {
      {"Left button", "pick a ball, then the cell to move it to"},
      {"Right button + mouse", "turn and tilt the camera"},
      {"Wheel, Up / Down", "zoom in and out"},
      {"Left / Right", "turn the camera"},
      {"Page Up / Page Down", "tilt the camera"},
      {"Backspace", "take back the last move"},
      {"Keypad + / -", "show or hide the next balls"},
      {"Middle button, Escape", "main menu, or back to the game"},
      {"Alt+Enter", "full screen or window"},
      {"Space", "minimise the game"},
  };
  for (int i = 0; i < 10; ++i) {
    const int y = 292 + i * 38;
    DrawText(image, 76, y, 330, 34, controls[i][0], KeyStyle(25));
    DrawText(image, 420, y, 540, 34, controls[i][1], BodyStyle(25));
  }
  return image;
}

// The options screen's panels in its grid units (the back buffer in 20 x 20).
struct PanelPlace {
  float x, y, w, h;
  const char* title;
};
const PanelPlace kOptionsPanels[] = {
    {0.6f, 3.5f, 9.0f, 6.5f, "Video"},    // controls in x 1.0..9.2, y 5.0..9.5
    {10.4f, 3.5f, 9.0f, 6.5f, "Sound"},   // controls in x 10.85..18.9, y 5.05..9.35
    {3.8f, 10.6f, 12.5f, 8.8f, "Game"},   // controls in x 4.3..15.8, y 12.2..18.85
};

Image OptionsBackdrop() {
  Image image = Backdrop(107, Color{0.1f, 0.18f, 0.38f, 1}, Color{0.01f, 0.02f, 0.06f, 1});
  const float gu = kScreenW / 20.0f, gv = kScreenH / 20.0f;
  DrawText(image, static_cast<int>(4 * gu), static_cast<int>(0.5f * gv), static_cast<int>(12 * gu),
           static_cast<int>(2.8f * gv), "Options", TitleStyle(100));
  TextStyle heading = TitleStyle(40);
  heading.glowRadius = 8;
  heading.outlineWidth = 2;
  for (const PanelPlace& p : kOptionsPanels) {
    DrawPanel(image, p.x * gu, p.y * gv, p.w * gu, p.h * gv, GlassPanel());
    DrawText(image, static_cast<int>((p.x + 0.4f) * gu), static_cast<int>((p.y + 0.15f) * gv),
             static_cast<int>((p.w - 0.8f) * gu), static_cast<int>(1.2f * gv), p.title, heading);
  }
  return image;
}

Image MenuStrip() {
  // Six labels, light on pure black (black is the transparent colour).
  const int w = 512, cell = 116;
  Image image(w, cell * 6, Color{0, 0, 0, 1});
  const char* labels[] = {"New game", "Save & resume", "Load", "Options", "Help", "Exit"};
  for (int i = 0; i < 6; ++i) {
    // No glow or shadow: the strip is drawn over the scene with black as the transparent
    // colour, so soft dark edges would show as smudges. A firm outline keeps it readable.
    TextStyle style = TitleStyle(78);
    style.shadow = 0;
    style.glow = Color{0, 0, 0, 0};
    style.outline = Color{0.3f, 0.12f, 0.02f, 1};
    DrawText(image, 24, i * cell + 10, w - 48, cell - 20, labels[i], style);
  }
  image.SnapDarkToBlack(0.06f);
  return image;
}

}  // namespace

Color OptionsPanelColour(int panel, float gridY) {
  const PanelPlace& place = kOptionsPanels[panel == 0 ? 0 : 2];
  return PanelFill(GlassPanel(), (gridY - place.y) / place.h);
}

void AddScreenTextures(std::vector<TextureAsset>& out) {
  out.push_back({"VantorelLogo", Logo(), ImageFormat::kJpeg, "screens"});
  out.push_back({"VantorelExit", Exit(), ImageFormat::kJpeg, "screens"});
  out.push_back({"VantorelHelp", Help(), ImageFormat::kPng, "screens"});
  out.push_back({"VantorelOptions", OptionsBackdrop(), ImageFormat::kJpeg, "screens"});
  out.push_back({"MenuEnum", MenuStrip(), ImageFormat::kPng, "sheets", true});
}

}  // namespace assetgen

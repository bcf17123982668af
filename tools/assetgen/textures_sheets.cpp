// Sheets addressed by cell: digits, hint icons, name symbols and the options atlas.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "game/options_layout.h"
#include "tools/assetgen/text.h"
#include "tools/assetgen/textures.h"

namespace assetgen {

namespace {

TextStyle GlyphStyle(float size) {
  TextStyle style;
  style.size = size;
  style.top = Color{1.0f, 1.0f, 0.9f, 1};
  style.bottom = Color{1.0f, 0.75f, 0.3f, 1};
  style.glow = Color{1.0f, 0.5f, 0.1f, 0.3f};
  style.glowRadius = 6;
  return style;
}

Image DigitSheet() {
  // 5 x 2 cells: 0..4 on top, 5..9 below; light on black, added to the scene.
  const int cell = 128;
  Image image(cell * 5, cell * 2, Color{0, 0, 0, 1});
  for (int d = 0; d < 10; ++d) {
    const int x = (d % 5) * cell, y = (d / 5) * cell;
    DrawText(image, x + 14, y + 10, cell - 28, cell - 20, std::string(1, static_cast<char>('0' + d)), GlyphStyle(120));
  }
  return image;
}

// The top bar draws the hint icons unblended in the vertex colour 0xCCCCCC, which scales the
// texture. The icons carry the lit ball's colour divided by that and by the shading DrawBall
// gives the middle of its sphere, so their middle shows what the ball in play shows; a
// channel that would need more than full brightness stays at full, the most the bar can
// show. The ball fills the socket: the player reads its colour at a glance.
constexpr float kIconShade = 0.8f, kBallMiddle = 0.78f;

Image HintSheet() {
  // 4 x 2 cells: an empty socket, then the seven ball colours.
  const int cell = 128;
  Image image(cell * 4, cell * 2, Color{0, 0, 0, 1});
  PanelStyle socket;
  socket.top = Color{0.12f, 0.13f, 0.25f, 1};
  socket.bottom = Color{0.03f, 0.03f, 0.08f, 1};
  socket.rim = Color{0.5f, 0.55f, 0.8f, 1};
  socket.radius = 22;
  socket.bevel = 4;
  socket.shadow = 0;
  for (int c = 0; c < 8; ++c) {
    const float x = static_cast<float>((c % 4) * cell), y = static_cast<float>((c / 4) * cell);
    DrawPanel(image, x + 6, y + 6, cell - 12, cell - 12, socket);
    if (c == 0) {
      // No ball: a dim hollow ring.
      const int size = cell;
      Mask ring = CircleMask(size, size, size / 2.0f, size / 2.0f, 34);
      Mask hole = CircleMask(size, size, size / 2.0f, size / 2.0f, 28);
      for (int py = 0; py < size; ++py)
        for (int px = 0; px < size; ++px) ring.at(px, py) = std::max(0.0f, ring.at(px, py) - hole.at(px, py));
      image.Paint(ring, static_cast<int>(x), static_cast<int>(y), Color{0.35f, 0.38f, 0.55f, 1});
    } else {
      DrawBall(image, x + cell / 2.0f, y + cell / 2.0f, 46, Scale(LitBallColour(c), 1 / (kIconShade * kBallMiddle)),
               false);
    }
  }
  return image;
}

// Cell (column, row) of a name character in the 7 x 10 symbol sheet; false when it has none.
bool SymbolCell(char ch, int* column, int* row) {
  int n;
  if (ch >= 'A' && ch <= 'Z') {
    n = ch - 'A';
    *column = n % 7;
    *row = n / 7;
  } else if (ch >= 'a' && ch <= 'z') {
    n = ch - 'a';
    *column = n % 7;
    *row = 4 + n / 7;
  } else if (ch >= '0' && ch <= '9') {
    n = ch - '0';
    *column = n % 7;
    *row = 8 + n / 7;
  } else {
    static const struct {
      char ch;
      int column, row;
    } extra[] = {{'.', 5, 3}, {'_', 6, 3}, {',', 5, 7}, {'!', 6, 7}, {'@', 3, 9}, {'#', 4, 9}, {'$', 5, 9}};
    for (const auto& e : extra)
      if (e.ch == ch) {
        *column = e.column;
        *row = e.row;
        return true;
      }
    return false;  // space (6, 9) stays an empty cell
  }
  return true;
}

Image SymbolSheet() {
  const int cell = 64;
  Image image(cell * 7, cell * 10, Color{0, 0, 0, 1});
  const std::string chars = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._,!@#$";
  for (char ch : chars) {
    int column = 0, row = 0;
    if (!SymbolCell(ch, &column, &row)) continue;
    TextStyle style = GlyphStyle(50);
    style.glowRadius = 3;
    // The cells are drawn a hair narrower than 1/7 of the sheet: keep the glyphs off the right edge,
    // and the descenders and their glow off the bottom.
    DrawText(image, column * cell + 7, row * cell + 6, cell - 16, cell - 16, std::string(1, ch), style);
  }
  return image;
}

// --- The options atlas -------------------------------------------------------------------

namespace layout = options_layout;

constexpr int kAtlasW = 1080, kAtlasH = 810;

// A cell of the atlas in pixels.
struct Cell {
  Cell(const layout::AtlasCell& c) : x(c.u * kAtlasW), y(c.v * kAtlasH), w(c.du * kAtlasW), h(c.dv * kAtlasH) {}
  float x, y, w, h;
};

PanelStyle ButtonStyle(const Color& base, bool lit) {
  PanelStyle style;
  style.top = lit ? Mix(base, Color{1, 1, 1, 1}, 0.35f) : Scale(base, 0.55f);
  style.bottom = lit ? base : Scale(base, 0.22f);
  style.rim = lit ? Color{1.0f, 0.95f, 0.8f, 1} : Color{0.45f, 0.5f, 0.6f, 1};
  style.radius = 12;
  style.bevel = 4;
  style.shadow = 0;
  return style;
}

TextStyle ButtonText(bool lit, float size) {
  TextStyle style;
  style.size = size;
  style.top = lit ? Color{1, 1, 1, 1} : Color{0.72f, 0.75f, 0.8f, 1};
  style.bottom = lit ? Color{1.0f, 0.95f, 0.75f, 1} : Color{0.55f, 0.58f, 0.65f, 1};
  style.outline = lit ? Color{0.3f, 0.08f, 0.02f, 1} : Color{0.05f, 0.05f, 0.08f, 1};
  style.outlineWidth = 2;
  if (lit) {
    style.glow = Color{1.0f, 0.8f, 0.4f, 0.4f};
    style.glowRadius = 6;
  }
  return style;
}

void Button(Image& image, const Cell& cell, const std::string& label, const Color& base, bool lit, float inset = 5) {
  DrawPanel(image, cell.x + inset, cell.y + inset, cell.w - 2 * inset, cell.h - 2 * inset, ButtonStyle(base, lit));
  DrawText(image, static_cast<int>(cell.x + inset + 8), static_cast<int>(cell.y + inset + 4),
           static_cast<int>(cell.w - 2 * inset - 16), static_cast<int>(cell.h - 2 * inset - 8), label,
           ButtonText(lit, cell.h * 0.62f));
}

void Label(Image& image, const Cell& cell, const std::string& text) {
  PanelStyle plaque;
  plaque.top = Color{0.16f, 0.2f, 0.36f, 1};
  plaque.bottom = Color{0.06f, 0.07f, 0.16f, 1};
  plaque.rim = Color{0.5f, 0.6f, 0.9f, 1};
  plaque.radius = 10;
  plaque.bevel = 3;
  plaque.shadow = 0;
  const float inset = 4;
  DrawPanel(image, cell.x + inset, cell.y + inset, cell.w - 2 * inset, cell.h - 2 * inset, plaque);
  TextStyle style;
  style.size = std::min(cell.h * 0.55f, 52.0f);
  style.top = Color{1.0f, 1.0f, 1.0f, 1};
  style.bottom = Color{0.75f, 0.85f, 1.0f, 1};
  style.shadow = 0.8f;
  DrawText(image, static_cast<int>(cell.x + 16), static_cast<int>(cell.y + 8), static_cast<int>(cell.w - 32),
           static_cast<int>(cell.h - 16), text, style);
}

// A diode switch: a dark lens when off, a glowing green one when on. A housing that fills
// its cell leaves only small corners around it (see UnblendedCells).
void Diode(Image& image, const Cell& cell, bool on, const Color& light, float scaleX = 1, float scaleY = 1,
           bool fillCell = false) {
  PanelStyle housing = ButtonStyle(Color{0.35f, 0.37f, 0.42f, 1}, false);
  housing.radius = fillCell ? 6 : std::min(cell.w, cell.h) * 0.3f;
  const float inset = fillCell ? 1 : 6;
  DrawPanel(image, cell.x + inset, cell.y + inset, cell.w - 2 * inset, cell.h - 2 * inset, housing);
  const float cx = cell.x + cell.w / 2, cy = cell.y + cell.h / 2;
  const float rx = (cell.w / 2 - 16) * scaleX, ry = (cell.h / 2 - 16) * scaleY;
  const int w = static_cast<int>(cell.w), h = static_cast<int>(cell.h);
  Mask lens(w, h);
  for (int py = 0; py < h; ++py)
    for (int px = 0; px < w; ++px) {
      const float dx = (px + 0.5f - cell.w / 2) / rx, dy = (py + 0.5f - cell.h / 2) / ry;
      lens.at(px, py) = std::clamp((1 - std::sqrt(dx * dx + dy * dy)) * std::min(rx, ry) + 0.5f, 0.0f, 1.0f);
    }
  const int ox = static_cast<int>(cell.x), oy = static_cast<int>(cell.y);
  if (on) image.Glow(lens, ox, oy, light, 14, 0.8f);
  image.Paint(lens, ox, oy, [&](int px, int py) {
    const float dy = (py - cy) / ry, dx = (px - cx) / rx;
    const float shine = std::max(0.0f, 1 - std::sqrt((dx + 0.3f) * (dx + 0.3f) + (dy + 0.4f) * (dy + 0.4f)) * 1.6f);
    const Color base = on ? Mix(light, Color{1, 1, 1, 1}, 0.25f) : Scale(light, 0.18f);
    return Mix(base, Color{1, 1, 1, 1}, shine * (on ? 0.6f : 0.3f));
  });
}

void SliderBar(Image& image, const Cell& cell) {
  PanelStyle groove = ButtonStyle(Color{0.3f, 0.32f, 0.4f, 1}, false);
  groove.radius = 10;
  DrawPanel(image, cell.x + 4, cell.y + 18, cell.w - 8, cell.h - 36, groove);
  // A ramp of light along the groove, quiet at the left and loud at the right.
  const int x0 = static_cast<int>(cell.x + 16), x1 = static_cast<int>(cell.x + cell.w - 16);
  const int y0 = static_cast<int>(cell.y + 30), y1 = static_cast<int>(cell.y + cell.h - 30);
  for (int x = x0; x < x1; ++x) {
    const float t = (x - x0) / static_cast<float>(x1 - x0);
    const int top = static_cast<int>(y1 - (y1 - y0) * (0.25f + 0.75f * t));
    for (int y = top; y < y1; ++y) {
      Color c = Mix(Color{0.15f, 0.6f, 0.25f, 1}, Color{0.95f, 0.35f, 0.1f, 1}, t);
      c = Scale(c, 0.8f + 0.4f * (y1 - y) / static_cast<float>(y1 - y0));
      image.Blend(x, y, c, (x % 12) < 9 ? 1.0f : 0.25f);
    }
  }
}

void Knob(Image& image, const Cell& cell) {
  PanelStyle knob;
  knob.top = Color{0.95f, 0.95f, 1.0f, 1};
  knob.bottom = Color{0.45f, 0.5f, 0.6f, 1};
  knob.rim = Color{1, 1, 1, 1};
  knob.radius = 6;
  knob.bevel = 3;
  knob.shadow = 0;
  DrawPanel(image, cell.x + 3, cell.y + 4, cell.w - 6, cell.h - 8, knob);
  for (int y = static_cast<int>(cell.y + 30); y < cell.y + cell.h - 30; y += 8)
    for (int x = static_cast<int>(cell.x + 9); x < cell.x + cell.w - 9; ++x) image.Blend(x, y, Color{0.3f, 0.3f, 0.4f, 1}, 0.8f);
}

void Lamp(Image& image, const Cell& cell, bool on) {
  Diode(image, cell, on, Color{0.3f, 1.0f, 0.35f, 1}, 1.0f, 1.4f);
}

void Thumbnail(Image& image, const Cell& cell, const Image& picture, bool plates) {
  const int x = static_cast<int>(cell.x + 5), y = static_cast<int>(cell.y + 5);
  const int w = static_cast<int>(cell.w - 10), h = static_cast<int>(cell.h - 10);
  Image frame(w, h, Color{0.02f, 0.02f, 0.03f, 1});
  if (plates) {
    // A 2 x 2 patch of plates with gaps.
    const int pw = (w - 12) / 2, ph = (h - 12) / 2;
    for (int j = 0; j < 2; ++j)
      for (int i = 0; i < 2; ++i) frame.Blit(picture, 4 + i * (pw + 4), 4 + j * (ph + 4), pw, ph);
  } else {
    frame.Blit(picture, 3, 3, w - 6, h - 6);
  }
  for (int py = 0; py < h; ++py)
    for (int px = 0; px < w; ++px) {
      Color c = frame.at(px, py);
      // Keep every pixel above the transparent colour.
      c.r = std::max(c.r, 0.01f);
      c.g = std::max(c.g, 0.01f);
      c.b = std::max(c.b, 0.01f);
      image.at(x + px, y + py) = c;
    }
}

// Where an unblended panel shows an atlas cell: top and height in grid units.
struct CellShownAt {
  layout::Panel panel;
  float gridY, gridH;
};

// A cell that a panel draws unblended, the places it shows at and the share of the colour
// its vertex colour leaves.
struct UnblendedCell {
  layout::AtlasCell cell;
  std::vector<CellShownAt> places;
  float shade;
};

// Every cell an unblended quad can show. A cell takes the shade of the first quad seen
// showing it, off before on: of the floor choices, all but one are off. The switch serves
// HiRes, Environ and the moving board: one colour cannot match all three places, so its
// housing fills the cell and only its small corners take the mean.
std::vector<UnblendedCell> UnblendedCells() {
  std::vector<UnblendedCell> cells;
  for (layout::Panel panel : {layout::kVideo, layout::kSound, layout::kGame}) {
    if (layout::kBlended[panel]) continue;
    for (int q = 0; q < layout::kQuads[panel]; ++q)
      for (bool on : {false, true}) {
        const layout::AtlasCell cell = layout::Cell(panel, q, on);
        const layout::GridRect place = layout::Place(panel, q);
        auto it = std::find_if(cells.begin(), cells.end(), [&](const UnblendedCell& c) { return c.cell == cell; });
        if (it == cells.end()) {
          const float shade = (layout::VertexColor(panel, q, on) & 0xFF) / 255.0f;
          it = cells.insert(it, {cell, {}, shade});
        }
        const bool known = std::any_of(it->places.begin(), it->places.end(), [&](const CellShownAt& p) {
          return p.panel == panel && p.gridY == place.y && p.gridH == place.h;
        });
        if (!known) it->places.push_back({panel, place.y, place.h});
      }
  }
  return cells;
}

// Unblended, a transparent texel would show black: it takes the colour of the panel behind
// it instead, as the blended sound panel shows it.
void FillWithPanel(Image& image, const UnblendedCell& c) {
  const Cell cell(c.cell);
  const int x0 = static_cast<int>(cell.x), x1 = std::min(image.width(), static_cast<int>(std::ceil(cell.x + cell.w)));
  const int y0 = static_cast<int>(cell.y), y1 = std::min(image.height(), static_cast<int>(std::ceil(cell.y + cell.h)));
  for (int y = y0; y < y1; ++y) {
    const float share = (y + 0.5f - cell.y) / cell.h;
    Color panel{0, 0, 0, 1};
    for (const CellShownAt& p : c.places) {
      const Color at = OptionsPanelColour(p.panel == layout::kVideo ? 0 : 1, p.gridY + share * p.gridH);
      panel.r += at.r;
      panel.g += at.g;
      panel.b += at.b;
    }
    panel = Scale(panel, 1.0f / (static_cast<float>(c.places.size()) * c.shade));
    for (int x = x0; x < x1; ++x) {
      Color& texel = image.at(x, y);
      if (texel.r == 0 && texel.g == 0 && texel.b == 0) texel = panel;
    }
  }
}

Image OptionsAtlas(const std::vector<TextureAsset>& floorTextures) {
  Image image(kAtlasW, kAtlasH, Color{0, 0, 0, 1});
  const Color red{0.8f, 0.18f, 0.12f, 1}, green{0.15f, 0.62f, 0.25f, 1}, blue{0.2f, 0.35f, 0.8f, 1};
  // Row 0: the resolution buttons, off and on.
  const char* modes[] = {"640x480", "800x600", "1024x768"};
  for (int k = 0; k < layout::kModes; ++k)
    for (bool lit : {false, true}) Button(image, layout::ModeButton(k, lit), modes[k], red, lit);
  // Row 1: slider bar and knob; back button (rows 1 and 2, normal and highlighted).
  SliderBar(image, layout::kSliderBar);
  Knob(image, layout::kSliderKnob);
  Button(image, layout::BackButton(false), "Back", blue, false, 8);
  Button(image, layout::BackButton(true), "Back", Color{0.35f, 0.55f, 1.0f, 1}, true, 8);
  // Row 2: the switch (off, on) and the move-style lamp (lit above, dark below).
  for (bool on : {false, true}) Diode(image, layout::Switch(on), on, Color{0.3f, 1.0f, 0.35f, 1}, 1, 1, true);
  for (bool lit : {true, false}) Lamp(image, layout::Lamp(lit), lit);
  // Row 3: the five move-style buttons.
  const char* styles[] = {"At once", "Fast steps", "Steps", "Slide", "Hop"};
  for (int k = 0; k < layout::kMoveStyles; ++k) Button(image, layout::StyleButton(k), styles[k], green, true, 4);
  // Labels of the video and game panels.
  const char* videoLabels[] = {"Resolution", "High detail", "Surroundings"};
  for (int k = 0; k < 3; ++k) Label(image, layout::kVideoLabels[k], videoLabels[k]);
  Label(image, layout::kBoardLabel, "Moving board");
  // Labels of the sound panel.
  const char* soundLabels[] = {"Music track", "Music volume", "Sound volume"};
  for (int k = 0; k < 3; ++k) Label(image, layout::SoundLabel(k), soundLabels[k]);
  // Labels of the game panel's rows.
  const char* rowLabels[] = {"Move style", "Plates", "Whole floor"};
  for (int k = 0; k < 3; ++k) Label(image, layout::RowLabel(k), rowLabels[k]);
  // Row 7: the track buttons 1..3 (off, on) and random (off, on).
  for (int k = 0; k < layout::kTracks; ++k)
    for (bool lit : {false, true}) Button(image, layout::TrackButton(k, lit), std::to_string(k + 1), red, lit, 4);
  for (bool lit : {false, true}) Button(image, layout::RandomButton(lit), "Random", red, lit, 4);
  // The panels draw the atlas with black as the transparent colour: faint glows are cut.
  image.SnapDarkToBlack(0.05f);
  // Row 8: the ten floor choices, plate textures then whole-floor textures.
  for (int n = 0; n < layout::kFloorChoices; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, n < 5 ? "TexPlace%02d" : "TexFloor%02d", n % 5);
    for (const TextureAsset& t : floorTextures)
      if (t.name == name) Thumbnail(image, layout::FloorChoice(n), t.image, n < layout::kFloorTextures);
  }
  for (const UnblendedCell& c : UnblendedCells()) FillWithPanel(image, c);
  return image;
}

}  // namespace

void AddSheetTextures(std::vector<TextureAsset>& out) {
  out.push_back({"UpMenuNums", DigitSheet(), ImageFormat::kPng, "sheets"});
  out.push_back({"Podskazka", HintSheet(), ImageFormat::kPng, "sheets"});
  out.push_back({"Symbols", SymbolSheet(), ImageFormat::kPng, "sheets"});
  out.push_back({"OptTex", OptionsAtlas(out), ImageFormat::kPng, "options", true});
}

}  // namespace assetgen

// Every texture decodes with the platform's image decoder, at the size and with the cell
// layout that the screens address by fractions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "game/options_layout.h"
#include "platform/d3dx/image_decoder.h"
#include "tests/assets/resource_library.h"

namespace assettest {
namespace {

struct Picture {
  DecodedImage image;
  int w() const { return static_cast<int>(image.width); }
  int h() const { return static_cast<int>(image.height); }
  uint32_t at(int x, int y) const { return image.pixels[static_cast<size_t>(y) * image.width + static_cast<size_t>(x)]; }
  float r(int x, int y) const { return ((at(x, y) >> 16) & 0xFF) / 255.0f; }
  float g(int x, int y) const { return ((at(x, y) >> 8) & 0xFF) / 255.0f; }
  float b(int x, int y) const { return (at(x, y) & 0xFF) / 255.0f; }
  float luma(int x, int y) const { return 0.3f * r(x, y) + 0.59f * g(x, y) + 0.11f * b(x, y); }
  bool black(int x, int y) const { return (at(x, y) & 0xFFFFFF) == 0; }
};

class Textures : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ResourceLibrary library;
    for (const std::string& name : TextureNames()) {
      const std::vector<uint8_t> bytes = library.Read(name);
      Picture picture;
      std::string error;
      if (!bytes.empty() && DecodeImage(bytes.data(), bytes.size(), &picture.image, &error))
        pictures_[name] = std::move(picture);
    }
  }
  static const Picture& Get(const std::string& name) {
    static const Picture empty;
    auto it = pictures_.find(name);
    return it == pictures_.end() ? empty : it->second;
  }
  static std::map<std::string, Picture> pictures_;
};
std::map<std::string, Picture> Textures::pictures_;

// Fraction of the rectangle's pixels that are not the transparent black.
float Covered(const Picture& p, float u, float v, float du, float dv) {
  const int x0 = static_cast<int>(u * p.w()), x1 = static_cast<int>((u + du) * p.w());
  const int y0 = static_cast<int>(v * p.h()), y1 = static_cast<int>((v + dv) * p.h());
  int lit = 0, all = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x, ++all) lit += p.luma(x, y) > 0.05f;
  return all ? static_cast<float>(lit) / all : 0;
}

float MeanLuma(const Picture& p, float u, float v, float du, float dv) {
  const int x0 = static_cast<int>(u * p.w()), x1 = static_cast<int>((u + du) * p.w());
  const int y0 = static_cast<int>(v * p.h()), y1 = static_cast<int>((v + dv) * p.h());
  double sum = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) sum += p.luma(x, y);
  return static_cast<float>(sum / std::max(1, (x1 - x0) * (y1 - y0)));
}

// True when no pixel of the band [x0, x1) x [y0, y1) is anything but pure black.
bool AllBlack(const Picture& p, int x0, int y0, int x1, int y1) {
  for (int y = std::max(0, y0); y < std::min(p.h(), y1); ++y)
    for (int x = std::max(0, x0); x < std::min(p.w(), x1); ++x)
      if (!p.black(x, y)) return false;
  return true;
}

bool PowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

// Every texture is stored at a power-of-two size, so the loader never has to scale one;
// pictures drawn at another size were resampled to the size the loader would have chosen.
TEST_F(Textures, DecodeAtPowerOfTwoSizes) {
  std::map<std::string, std::pair<int, int>> sizes = {
      {"BallTex", {256, 256}},          {"WallWall", {512, 256}},        {"FloorWall", {256, 256}},
      {"BordurWall", {256, 256}},       {"GroundEnvHi", {512, 512}},     {"GroundEnvLow00", {128, 128}},
      {"SkyEnviron", {1024, 512}},      {"PlateFloor01", {256, 256}},    {"VantorelLogo", {1024, 1024}},
      {"VantorelExit", {1024, 1024}},   {"VantorelHelp", {1024, 1024}},  {"VantorelOptions", {1024, 1024}},
      {"MenuEnum", {512, 1024}},        {"UpMenuNums", {1024, 256}},     {"Podskazka", {512, 256}},
      {"Symbols", {512, 1024}},         {"OptTex", {2048, 1024}}};
  for (const std::string& name : TextureNames()) {
    const Picture& p = Get(name);
    ASSERT_GT(p.w(), 0) << name << " does not decode";
    EXPECT_TRUE(PowerOfTwo(p.w()) && PowerOfTwo(p.h())) << name << " is " << p.w() << "x" << p.h();
    std::pair<int, int> want = {256, 256};
    if (name.rfind("TexFloor", 0) == 0) want = {512, 512};
    if (sizes.count(name)) want = sizes[name];
    EXPECT_EQ(std::make_pair(p.w(), p.h()), want) << name;
  }
  // Both encoders are in use, so both decoder paths are exercised by the game.
  EXPECT_EQ(Get("OptTex").image.kind, ImageFileKind::Png);
  EXPECT_EQ(Get("VantorelLogo").image.kind, ImageFileKind::Jpeg);
}

// The colour-keyed sheets keep the soft edges the loader gave them: texels next to a mark
// are partly transparent rather than opaque dark rims, and keyed black stays transparent.
TEST_F(Textures, KeyedSheetsFadeOutAtTheirEdges) {
  for (const char* name : {"MenuEnum", "OptTex"}) {
    const Picture& p = Get(name);
    ASSERT_TRUE(p.image.hasAlpha) << name;
    int partial = 0, opaqueBlack = 0;
    for (uint32_t pixel : p.image.pixels) {
      const uint32_t alpha = pixel >> 24;
      partial += alpha > 0 && alpha < 255;
      opaqueBlack += pixel == 0xFF000000u;
    }
    EXPECT_GT(partial, 0) << name;
    EXPECT_EQ(opaqueBlack, 0) << name;
  }
}

// Light marks on pure black, one per cell, none crossing into a neighbour.
void ExpectIsolatedCells(const Picture& p, int columns, int rows, float minCover, const char* name) {
  const int cw = p.w() / columns, ch = p.h() / rows;
  for (int row = 0; row < rows; ++row)
    for (int col = 0; col < columns; ++col) {
      EXPECT_GT(Covered(p, static_cast<float>(col) / columns, static_cast<float>(row) / rows, 1.0f / columns, 1.0f / rows),
                minCover)
          << name << " cell " << col << "," << row << " is empty";
      const int x = col * cw, y = row * ch;
      EXPECT_TRUE(AllBlack(p, x, y, x + cw, y + 2) && AllBlack(p, x, y + ch - 2, x + cw, y + ch) &&
                  AllBlack(p, x, y, x + 2, y + ch) && AllBlack(p, x + cw - 2, y, x + cw, y + ch))
          << name << " cell " << col << "," << row << " touches its border";
    }
}

TEST_F(Textures, MenuStripsAndDigitsAreLightOnBlack) {
  ExpectIsolatedCells(Get("MenuEnum"), 1, 6, 0.04f, "MenuEnum");
  ExpectIsolatedCells(Get("UpMenuNums"), 5, 2, 0.04f, "UpMenuNums");
  // Ten different digits.
  const Picture& digits = Get("UpMenuNums");
  for (int a = 0; a < 10; ++a)
    for (int b = a + 1; b < 10; ++b) {
      const float ca = Covered(digits, (a % 5) * 0.2f, (a / 5) * 0.5f, 0.2f, 0.5f);
      const float cb = Covered(digits, (b % 5) * 0.2f, (b / 5) * 0.5f, 0.2f, 0.5f);
      int differing = 0;
      const int cw = digits.w() / 5, ch = digits.h() / 2;
      for (int y = 0; y < ch; ++y)
        for (int x = 0; x < cw; ++x)
          differing += (digits.luma((a % 5) * cw + x, (a / 5) * ch + y) > 0.3f) !=
                       (digits.luma((b % 5) * cw + x, (b / 5) * ch + y) > 0.3f);
      EXPECT_GT(differing, cw * ch / 50) << a << " and " << b << " look alike (" << ca << ", " << cb << ")";
    }
}

TEST_F(Textures, SymbolGlyphsStayInsideTheNarrowCells) {
  const Picture& p = Get("Symbols");
  const float du = 0.142857f, dv = 0.1f;
  const std::string typeable = "ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz0123456789.,_!@#$";
  auto cell = [](char c, int* col, int* row) {
    if (c >= 'A' && c <= 'Z') *col = (c - 'A') % 7, *row = (c - 'A') / 7;
    else if (c >= 'a' && c <= 'z') *col = (c - 'a') % 7, *row = 4 + (c - 'a') / 7;
    else if (c >= '0' && c <= '9') *col = (c - '0') % 7, *row = 8 + (c - '0') / 7;
    else if (c == '.') *col = 5, *row = 3;
    else if (c == '_') *col = 6, *row = 3;
    else if (c == ',') *col = 5, *row = 7;
    else if (c == '!') *col = 6, *row = 7;
    else if (c == '@') *col = 3, *row = 9;
    else if (c == '#') *col = 4, *row = 9;
    else if (c == '$') *col = 5, *row = 9;
    else *col = 6, *row = 9;  // space
  };
  for (char c : typeable) {
    int col = 0, row = 0;
    cell(c, &col, &row);
    const float cover = Covered(p, col * du, row * dv, du, dv);
    if (c == ' ') EXPECT_EQ(cover, 0.0f) << "the space cell must be empty";
    else EXPECT_GT(cover, 0.01f) << "'" << c << "' has no glyph";
    // The quad shows [col du, (col + 1) du): nothing of the glyph may lie outside it.
    const int x0 = static_cast<int>(std::ceil(col * du * p.w())), x1 = static_cast<int>((col + 1) * du * p.w());
    const int y0 = row * p.h() / 10, y1 = (row + 1) * p.h() / 10;
    EXPECT_TRUE(AllBlack(p, x0 - 2, y0, x0 + 1, y1)) << "'" << c << "' crosses its left edge";
    EXPECT_TRUE(AllBlack(p, x1 - 1, y0, x1 + 2, y1)) << "'" << c << "' crosses its right edge";
    EXPECT_TRUE(AllBlack(p, x0, y0, x1, y0 + 1) && AllBlack(p, x0, y1 - 1, x1, y1)) << "'" << c << "' touches top or bottom";
  }
}

TEST_F(Textures, HintIconsShowTheBallColours) {
  const Picture& p = Get("Podskazka");
  ASSERT_GT(p.w(), 0);
  const int cw = p.w() / 4, ch = p.h() / 2;
  // Ball material colours 1..7 (red, green, blue, yellow, magenta, cyan, white): the
  // strongest channels at the centre of each cell.
  const bool wantR[8] = {false, true, false, false, true, true, false, true};
  const bool wantG[8] = {false, false, true, false, true, false, true, true};
  const bool wantB[8] = {false, false, false, true, false, true, true, true};
  for (int c = 1; c < 8; ++c) {
    double r = 0, g = 0, b = 0;
    const int x0 = (c % 4) * cw + cw / 2 - 8, y0 = (c / 4) * ch + ch / 2 - 8;
    for (int y = y0; y < y0 + 16; ++y)
      for (int x = x0; x < x0 + 16; ++x) r += p.r(x, y), g += p.g(x, y), b += p.b(x, y);
    const double peak = std::max({r, g, b});
    EXPECT_EQ(r > 0.6 * peak, wantR[c]) << "colour " << c;
    EXPECT_EQ(g > 0.6 * peak, wantG[c]) << "colour " << c;
    EXPECT_EQ(b > 0.6 * peak, wantB[c]) << "colour " << c;
    // As bright as the ball in play under the top bar's vertex colour 0xCCCCCC: own channels
    // at full (the most the bar shows; the ball's are 0.97), the others within 15% of its 0.34.
    const double mean[3] = {r / 256, g / 256, b / 256};
    const bool own[3] = {wantR[c], wantG[c], wantB[c]};
    for (int k = 0; k < 3; ++k)
      if (own[k]) EXPECT_GT(mean[k], 0.95) << "colour " << c << " channel " << k;
      else EXPECT_NEAR(mean[k] * (0xCC / 255.0f), 0.34f, 0.15 * 0.34f) << "colour " << c << " channel " << k;
  }
  // Cell 0, no ball, stays dim.
  EXPECT_LT(MeanLuma(p, 0, 0, 0.25f, 0.5f), MeanLuma(p, 0.25f, 0, 0.25f, 0.5f));
}

namespace layout = options_layout;
using layout::AtlasCell;


TEST_F(Textures, OptionsAtlasHasEveryAddressedCell) {
  const Picture& p = Get("OptTex");
  std::vector<AtlasCell> cells = {layout::BackButton(false), layout::BackButton(true)};
  // The selected state of each control is the brighter one.
  std::vector<std::pair<AtlasCell, AtlasCell>> pairs = {{cells[0], cells[1]}};
  for (layout::Panel panel : {layout::kVideo, layout::kSound, layout::kGame})
    for (int q = 0; q < layout::kQuads[panel]; ++q) {
      const AtlasCell off = layout::Cell(panel, q, false), on = layout::Cell(panel, q, true);
      cells.push_back(off);
      if (on != off) {
        cells.push_back(on);
        pairs.push_back({off, on});
      }
    }
  for (const AtlasCell& c : cells)
    EXPECT_GT(Covered(p, c.u, c.v, c.du, c.dv), 0.3f) << "cell at u " << c.u << ", v " << c.v << " is empty";
  for (const auto& [off, on] : pairs)
    EXPECT_GT(MeanLuma(p, on.u, on.v, on.du, on.dv), MeanLuma(p, off.u, off.v, off.du, off.dv) + 0.05f)
        << "state at u " << on.u << ", v " << on.v;
}

// The video and game panels draw their cells unblended, so the corners of a control's cell
// carry an opaque colour near the panel's own dark blue; the blended sound cells stay transparent.
TEST_F(Textures, UnblendedOptionsCellsShowThePanelAroundTheirControls) {
  const Picture& p = Get("OptTex");
  ASSERT_GT(p.w(), 0);
  // Labels, switch, lamp, a resolution and a move-style button, a floor choice; the last two, sound cells.
  const AtlasCell cells[] = {layout::kVideoLabels[0], layout::RowLabel(0),         layout::Switch(false),
                             layout::Lamp(true),       layout::ModeButton(2, true), layout::StyleButton(4),
                             layout::FloorChoice(9),   layout::SoundLabel(0),       layout::TrackButton(0, false)};
  for (const AtlasCell& c : cells) {
    const bool sound = &c - cells >= 7;
    const int x0 = static_cast<int>(std::ceil(c.u * p.w())) + 1, x1 = static_cast<int>((c.u + c.du) * p.w()) - 2;
    const int y0 = static_cast<int>(std::ceil(c.v * p.h())) + 1, y1 = static_cast<int>((c.v + c.dv) * p.h()) - 2;
    for (int y : {y0, y1})
      for (int x : {x0, x1}) {
        const uint32_t texel = p.at(x, y), a = texel >> 24, r = (texel >> 16) & 0xFF, b = texel & 0xFF;
        const bool ok = sound ? a == 0 : a == 255 && b > r && b > 20 && b < 150;
        EXPECT_TRUE(ok) << "cell at u " << c.u << ", v " << c.v << ": " << std::hex << texel;
      }
  }
}

// Pedestal and grass repeat at pitches unrelated to what lies on them: no row or column stands out
// (inlay lines showed in the pedestal's cell gaps), opposite edges continue into each other, and no
// grass patch is as large as a quarter of the tile, which would line up into a grid to the horizon.
TEST_F(Textures, FloorTexturesRepeatWithoutLinesSeamsOrAGrid) {
  for (const char* name : {"GroundEnvHi", "GroundEnvLow00", "PlateFloor01"}) {
    const Picture& p = Get(name);
    ASSERT_GT(p.w(), 0) << name;
    const float mean = MeanLuma(p, 0, 0, 1, 1);
    auto jump = [&](int a, int b, int k) {  // between columns a and b, and between rows a and b
      return std::fabs(p.luma(a, k) - p.luma(b, k)) + std::fabs(p.luma(k, a) - p.luma(k, b));
    };
    double seam = 0, inner = 0;
    for (int k = 0; k < p.w(); ++k) {  // the pictures are square
      EXPECT_NEAR(MeanLuma(p, 0, static_cast<float>(k) / p.h(), 1, 1.0f / p.h()), mean, 0.04f) << name << " row " << k;
      EXPECT_NEAR(MeanLuma(p, static_cast<float>(k) / p.w(), 0, 1.0f / p.w(), 1), mean, 0.04f) << name << " col " << k;
      seam += jump(0, p.w() - 1, k);
      inner += jump(p.w() / 2, p.w() / 2 + 1, k);
    }
    EXPECT_LT(seam, inner * 1.5) << name << " does not tile";
    if (std::string(name) == "PlateFloor01") continue;
    std::vector<float> quarters;
    for (int q = 0; q < 16; ++q) quarters.push_back(MeanLuma(p, q % 4 / 4.0f, q / 4 / 4.0f, 0.25f, 0.25f));
    const auto [lowest, highest] = std::minmax_element(quarters.begin(), quarters.end());
    EXPECT_LT(*highest - *lowest, 0.03f) << name << ": quarters of the tile differ";
  }
}

TEST_F(Textures, OptionsPictureFramesThePanels) {
  const Picture& p = Get("VantorelOptions");
  const float gu = p.w() / 20.0f, gv = p.h() / 20.0f;
  // The controls of each panel in grid units (x0, y0, x1, y1): a frame surrounds each.
  const float panels[3][4] = {{1.0f, 5.0f, 9.2f, 9.5f}, {10.85f, 5.05f, 18.9f, 9.35f}, {4.3f, 12.2f, 15.8f, 18.85f}};
  for (const auto& r : panels) {
    const int cy = static_cast<int>((r[1] + r[3]) / 2 * gv), cx = static_cast<int>((r[0] + r[2]) / 2 * gu);
    auto brightest = [&](int x0, int y0, int x1, int y1) {
      float best = 0;
      for (int y = std::min(y0, y1); y <= std::max(y0, y1); ++y)
        for (int x = std::min(x0, x1); x <= std::max(x0, x1); ++x) best = std::max(best, p.luma(x, y));
      return best;
    };
    const float inside = p.luma(cx, cy);
    // A bright rim within 0.6 grid units outside each edge of the control area.
    EXPECT_GT(brightest(static_cast<int>((r[0] - 0.6f) * gu), cy, static_cast<int>(r[0] * gu), cy), inside + 0.2f);
    EXPECT_GT(brightest(static_cast<int>(r[2] * gu), cy, static_cast<int>((r[2] + 0.6f) * gu), cy), inside + 0.2f);
    EXPECT_GT(brightest(cx, static_cast<int>(r[3] * gv), cx, static_cast<int>((r[3] + 0.6f) * gv)), inside + 0.2f);
  }
  // The back button's place (lower left) is left free of bright marks.
  const Picture& help = Get("VantorelHelp");
  for (const Picture* picture : {&p, &help}) {
    const int x0 = picture->w() / 15, x1 = 2 * picture->w() / 15, y0 = picture->h() - picture->h() / 10,
              y1 = picture->h() - picture->h() / 20;
    float brightest = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) brightest = std::max(brightest, picture->luma(x, y));
    EXPECT_LT(brightest, 0.6f);
  }
}

TEST_F(Textures, CausticsTileLoopAndStayDark) {
  auto difference = [](const Picture& a, const Picture& b) {
    double sum = 0;
    for (int y = 0; y < a.h(); ++y)
      for (int x = 0; x < a.w(); ++x) sum += std::fabs(a.luma(x, y) - b.luma(x, y));
    return sum / (a.w() * a.h());
  };
  double step = 0;
  for (int k = 0; k < 32; ++k) {
    char name[32], next[32];
    std::snprintf(name, sizeof name, "Caust%02d", k);
    std::snprintf(next, sizeof next, "Caust%02d", (k + 1) % 32);
    const Picture& p = Get(name);
    ASSERT_GT(p.w(), 0) << name;
    // Dark background: most of the picture is well below half brightness.
    EXPECT_LT(MeanLuma(p, 0, 0, 1, 1), 0.35f) << name;
    // Opposite edges continue into each other.
    double seam = 0, inner = 0;
    for (int y = 0; y < p.h(); ++y) {
      seam += std::fabs(p.luma(0, y) - p.luma(p.w() - 1, y));
      inner += std::fabs(p.luma(p.w() / 2, y) - p.luma(p.w() / 2 + 1, y));
    }
    EXPECT_LT(seam, inner * 2.5 + 1) << name << " does not tile across";
    const double d = difference(p, Get(next));
    if (k < 31) step = std::max(step, d);
    else EXPECT_LT(d, step * 1.5) << "the loop jumps from Caust31 to Caust00";
  }
}

}  // namespace
}  // namespace assettest

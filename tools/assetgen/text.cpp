#include "tools/assetgen/text.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <sys/stat.h>

namespace assetgen {

namespace {

struct Fonts {
  FT_Library library = nullptr;
  FT_Face faces[2] = {nullptr, nullptr};
};

Fonts& TheFonts() {
  static Fonts fonts;
  return fonts;
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

std::string FindFont(bool bold) {
  const char* fixed[] = {
      bold ? "/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf"
           : "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",
      bold ? "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf" : "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
  };
  for (const char* path : fixed)
    if (Exists(path)) return path;
  // Elsewhere: ask fontconfig for any sans face of the weight.
  std::string found;
  if (!FcInit()) return found;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(bold ? "sans:bold" : "sans"));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcChar8* file = nullptr;
  if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) found = reinterpret_cast<char*>(file);
  if (match) FcPatternDestroy(match);
  FcPatternDestroy(pattern);
  return found;
}

struct Layout {
  int width = 0, ascent = 0, descent = 0;
};

// Pixels the pen moves between two glyphs; 0 for the first glyph or a face without kerning.
int KerningBetween(FT_Face face, FT_UInt previous, FT_UInt glyph) {
  if (!previous || !glyph || !FT_HAS_KERNING(face)) return 0;
  FT_Vector kern;
  FT_Get_Kerning(face, previous, glyph, FT_KERNING_DEFAULT, &kern);
  return static_cast<int>(kern.x >> 6);
}

Layout Measure(FT_Face face, const std::string& text) {
  Layout layout;
  FT_UInt previous = 0;
  int pen = 0, right = 0;
  for (unsigned char ch : text) {
    FT_UInt glyph = FT_Get_Char_Index(face, ch);
    pen += KerningBetween(face, previous, glyph);
    if (FT_Load_Glyph(face, glyph, FT_LOAD_DEFAULT) == 0) {
      right = std::max(right, pen + static_cast<int>((face->glyph->metrics.horiBearingX + face->glyph->metrics.width) >> 6));
      pen += static_cast<int>(face->glyph->advance.x >> 6);
    }
    previous = glyph;
  }
  layout.width = std::max(pen, right);
  layout.ascent = static_cast<int>(face->size->metrics.ascender >> 6);
  layout.descent = static_cast<int>(-face->size->metrics.descender >> 6);
  return layout;
}

}  // namespace

bool LoadFonts(std::string* error) {
  Fonts& fonts = TheFonts();
  if (fonts.faces[0] && fonts.faces[1]) return true;
  if (!fonts.library && FT_Init_FreeType(&fonts.library) != 0) {
    if (error) *error = "FreeType could not start";
    return false;
  }
  for (int bold = 0; bold < 2; ++bold) {
    const std::string path = FindFont(bold != 0);
    if (path.empty() || FT_New_Face(fonts.library, path.c_str(), 0, &fonts.faces[bold]) != 0) {
      if (error) *error = "no usable font found (install fonts-liberation)";
      return false;
    }
  }
  return true;
}

Mask TextMask(int w, int h, const std::string& text, const TextStyle& style) {
  Mask mask(w, h);
  FT_Face face = TheFonts().faces[style.font == FontStyle::kBold ? 1 : 0];
  if (!face || text.empty()) return mask;
  int size = static_cast<int>(style.size);
  Layout layout;
  for (; size > 4; --size) {
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(size));
    layout = Measure(face, text);
    if (layout.width <= w && layout.ascent + layout.descent <= h + layout.descent / 2) break;
  }
  int pen = style.align < 0 ? 0 : style.align > 0 ? w - layout.width : (w - layout.width) / 2;
  // Centre the cap height rather than the full line, so labels sit visually in the middle.
  const int capHeight = static_cast<int>(std::lround(size * 0.72));
  const int baseline = (h + capHeight) / 2;
  FT_UInt previous = 0;
  for (unsigned char ch : text) {
    FT_UInt glyph = FT_Get_Char_Index(face, ch);
    pen += KerningBetween(face, previous, glyph);
    if (FT_Load_Glyph(face, glyph, FT_LOAD_RENDER) == 0) {
      const FT_Bitmap& bitmap = face->glyph->bitmap;
      const int left = pen + face->glyph->bitmap_left, top = baseline - face->glyph->bitmap_top;
      for (unsigned row = 0; row < bitmap.rows; ++row)
        for (unsigned col = 0; col < bitmap.width; ++col) {
          const int x = left + static_cast<int>(col), y = top + static_cast<int>(row);
          if (x < 0 || y < 0 || x >= w || y >= h) continue;
          const float v = bitmap.buffer[row * static_cast<unsigned>(bitmap.pitch) + col] / 255.0f;
          mask.at(x, y) = std::max(mask.at(x, y), v);
        }
      pen += static_cast<int>(face->glyph->advance.x >> 6);
    }
    previous = glyph;
  }
  return mask;
}

void DrawText(Image& image, int x, int y, int w, int h, const std::string& text, const TextStyle& style) {
  // A margin around the box leaves room for glow, outline and shadow.
  const int margin = std::max({style.glowRadius * 2, style.outlineWidth + 2, 8});
  Mask inner = TextMask(w, h, text, style);
  Mask mask(w + 2 * margin, h + 2 * margin);
  for (int py = 0; py < h; ++py)
    for (int px = 0; px < w; ++px) mask.at(px + margin, py + margin) = inner.at(px, py);
  const int ox = x - margin, oy = y - margin;
  if (style.shadow > 0) image.Paint(mask.Dilated(1).Shifted(2, 3).Blurred(4), ox, oy, Color{0, 0, 0, style.shadow});
  if (style.glow.a > 0 && style.glowRadius > 0) image.Glow(mask, ox, oy, style.glow, style.glowRadius, style.glow.a);
  if (style.outline.a > 0 && style.outlineWidth > 0) image.Paint(mask.Dilated(style.outlineWidth), ox, oy, style.outline);
  // The fill gradient spans the glyphs' own extent, not the box.
  int top = h, bottom = 0;
  for (int py = 0; py < h; ++py)
    for (int px = 0; px < w; ++px)
      if (inner.at(px, py) > 0.3f) {
        top = std::min(top, py);
        bottom = std::max(bottom, py);
      }
  const float span = static_cast<float>(std::max(1, bottom - top));
  image.Paint(mask, ox, oy, [&](int, int py) {
    const float t = std::clamp((py - y - top) / span, 0.0f, 1.0f);
    return Mix(style.top, style.bottom, t);
  });
}

}  // namespace assetgen

#pragma once
// Text set with FreeType from a system font (Liberation Sans, else DejaVu Sans).
#include <string>

#include "tools/assetgen/image.h"

namespace assetgen {

enum class FontStyle { kRegular, kBold };

struct TextStyle {
  FontStyle font = FontStyle::kBold;
  float size = 32;           // pixel size before fitting; shrunk until the text fits its box
  Color top{1, 1, 1, 1};     // fill at the top of the glyphs
  Color bottom{0.8f, 0.85f, 1, 1};
  Color outline{0, 0, 0, 0};  // alpha 0: none
  int outlineWidth = 0;
  Color glow{0, 0, 0, 0};  // added light around the glyphs; alpha 0: none
  int glowRadius = 0;
  float shadow = 0;  // drop shadow opacity
  int align = 0;     // -1 left, 0 centred, 1 right
};

// Loads the faces once; false when no font file could be found.
bool LoadFonts(std::string* error);

// Coverage of `text` fitted into a w x h box (centred vertically, aligned as asked).
Mask TextMask(int w, int h, const std::string& text, const TextStyle& style);

// Sets `text` into the box (x, y, w, h) of the image with the style's effects.
void DrawText(Image& image, int x, int y, int w, int h, const std::string& text, const TextStyle& style);

}  // namespace assetgen

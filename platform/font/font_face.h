// One scaled face for the text functions: found by family name through fontconfig,
// loaded and rasterised by FreeType.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CFontFace {
 public:
  // An antialiased glyph image: coverage 0..255, `left` and `top` relative to the pen
  // position on the baseline (top upwards, as FreeType gives it).
  struct Glyph {
    int left = 0, top = 0, width = 0, rows = 0;
    int advance = 0;  // whole pixels
    std::vector<uint8_t> coverage;  // rows x width
  };

  // height < 0: em height -height pixels; > 0: cell height in pixels; 0: 16 pixel em.
  // Null when no face can be found or loaded.
  static std::unique_ptr<CFontFace> Open(const std::string& family, int height, bool bold, bool italic,
                                         bool antialiased);
  ~CFontFace();

  int Ascent() const { return m_ascent; }
  int Descent() const { return m_descent; }
  int Height() const { return m_ascent + m_descent; }
  int Advance(unsigned char c);
  // False when the character has no glyph image (it still has an advance, possibly 0).
  bool Render(unsigned char c, Glyph* glyph);
  const std::string& File() const { return m_file; }

  CFontFace(const CFontFace&) = delete;
  CFontFace& operator=(const CFontFace&) = delete;

 private:
  CFontFace() = default;
  bool Load(int c);

  struct Impl;
  Impl* m_impl = nullptr;
  int m_ascent = 0, m_descent = 0;
  bool m_embolden = false, m_slant = false, m_antialiased = true;
  std::string m_file;
};

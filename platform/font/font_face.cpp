#include "platform/font/font_face.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// One FreeType library for all open faces, freed with the last of them.
FT_Library g_library = nullptr;
int g_libraryUsers = 0;

bool AcquireLibrary() {
  if (g_libraryUsers == 0 && FT_Init_FreeType(&g_library) != 0) {
    g_library = nullptr;
    return false;
  }
  ++g_libraryUsers;
  return true;
}

void ReleaseLibrary() {
  if (--g_libraryUsers == 0) {
    FT_Done_FreeType(g_library);
    g_library = nullptr;
  }
}

struct Match {
  std::string file;
  int index = 0;
  bool embolden = false;
  bool slant = false;
};

// Asks fontconfig for the best face of the family; synthetic bold or slant when
// the face found lacks the weight or the slant asked for.
bool FindFace(const std::string& family, bool bold, bool italic, Match* match) {
  if (!FcInit()) return false;
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return false;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.empty() ? "sans-serif" : family.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* found = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (!found) return false;
  FcChar8* file = nullptr;
  bool ok = FcPatternGetString(found, FC_FILE, 0, &file) == FcResultMatch && file;
  if (ok) {
    match->file = reinterpret_cast<const char*>(file);
    int index = 0;
    if (FcPatternGetInteger(found, FC_INDEX, 0, &index) == FcResultMatch) match->index = index;
    int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
    FcPatternGetInteger(found, FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(found, FC_SLANT, 0, &slant);
    match->embolden = bold && weight < FC_WEIGHT_DEMIBOLD;
    match->slant = italic && slant == FC_SLANT_ROMAN;
  }
  FcPatternDestroy(found);
  return ok;
}

}  // namespace

struct CFontFace::Impl {
  FT_Face face = nullptr;
};

std::unique_ptr<CFontFace> CFontFace::Open(const std::string& family, int height, bool bold, bool italic,
                                           bool antialiased) {
  Match match;
  if (!FindFace(family, bold, italic, &match)) return nullptr;
  if (!AcquireLibrary()) return nullptr;
  std::unique_ptr<CFontFace> font(new CFontFace());
  font->m_impl = new Impl();
  if (FT_New_Face(g_library, match.file.c_str(), match.index, &font->m_impl->face) != 0) {
    font->m_impl->face = nullptr;
    return nullptr;  // the destructor gives the library back
  }
  FT_Face face = font->m_impl->face;
  if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) return nullptr;
  font->m_file = match.file;
  font->m_embolden = match.embolden;
  font->m_slant = match.slant;
  font->m_antialiased = antialiased;

  // The cell is the face's Windows ascent and descent when it has them, as GDI measures.
  const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  double ascentUnits = face->ascender, descentUnits = -face->descender;
  if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
    ascentUnits = os2->usWinAscent;
    descentUnits = os2->usWinDescent;
  }
  if (ascentUnits + descentUnits <= 0) {
    ascentUnits = face->units_per_EM * 0.9;
    descentUnits = face->units_per_EM * 0.2;
  }
  double em = 16.0;
  if (height < 0)
    em = -static_cast<double>(height);
  else if (height > 0)
    em = height * face->units_per_EM / (ascentUnits + descentUnits);
  if (em < 1.0) em = 1.0;
  if (em > 2048.0) em = 2048.0;
  if (FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(em * 64.0)), 72, 72) != 0) return nullptr;
  const double scale = em / face->units_per_EM;
  // As GDI: the cell height rounded, the ascent rounded up, the descent what is left.
  const int cell = std::max(1, static_cast<int>(std::lround((ascentUnits + descentUnits) * scale)));
  font->m_ascent = std::min(cell, static_cast<int>(std::ceil(ascentUnits * scale - 0.01)));
  font->m_descent = cell - font->m_ascent;
  return font;
}

CFontFace::~CFontFace() {
  if (!m_impl) return;
  if (m_impl->face) FT_Done_Face(m_impl->face);
  delete m_impl;
  ReleaseLibrary();
}

bool CFontFace::Load(int c) {
  FT_Face face = m_impl->face;
  FT_UInt index = FT_Get_Char_Index(face, static_cast<FT_ULong>(c));
  FT_Int32 flags = FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP;
  flags |= m_antialiased ? FT_LOAD_TARGET_NORMAL : FT_LOAD_TARGET_MONO;
  if (FT_Load_Glyph(face, index, flags) != 0) return false;
  if (face->glyph->format == FT_GLYPH_FORMAT_OUTLINE) {
    if (m_slant) {
      FT_Matrix shear = {0x10000, 0x0366A, 0, 0x10000};  // about 12 degrees
      FT_Outline_Transform(&face->glyph->outline, &shear);
    }
    if (m_embolden) FT_GlyphSlot_Embolden(face->glyph);
  }
  return true;
}

int CFontFace::Advance(unsigned char c) {
  if (!Load(c)) return 0;
  return static_cast<int>((m_impl->face->glyph->advance.x + 32) >> 6);
}

bool CFontFace::Render(unsigned char c, Glyph* glyph) {
  *glyph = Glyph();
  if (!Load(c)) return false;
  FT_GlyphSlot slot = m_impl->face->glyph;
  glyph->advance = static_cast<int>((slot->advance.x + 32) >> 6);
  if (FT_Render_Glyph(slot, m_antialiased ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO) != 0) return false;
  const FT_Bitmap& bitmap = slot->bitmap;
  glyph->left = slot->bitmap_left;
  glyph->top = slot->bitmap_top;
  glyph->width = static_cast<int>(bitmap.width);
  glyph->rows = static_cast<int>(bitmap.rows);
  glyph->coverage.assign(static_cast<size_t>(glyph->width) * glyph->rows, 0);
  for (int y = 0; y < glyph->rows; ++y) {
    const unsigned char* row = bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap.pitch;
    for (int x = 0; x < glyph->width; ++x) {
      uint8_t value = 0;
      if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
        value = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
      else if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY)
        value = static_cast<uint8_t>(bitmap.num_grays == 256 ? row[x] : row[x] * 255 / (bitmap.num_grays - 1));
      glyph->coverage[static_cast<size_t>(y) * glyph->width + x] = value;
    }
  }
  return !glyph->coverage.empty();
}

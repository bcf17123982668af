#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "platform/font/font_face.h"
#include "platform/font/wingdi.h"

namespace {

enum class GdiKind { Font, Bitmap };

struct GdiObject {
  explicit GdiObject(GdiKind k) : kind(k) {}
  virtual ~GdiObject() = default;
  GdiKind kind;
};

struct GdiFont : GdiObject {
  GdiFont() : GdiObject(GdiKind::Font) {}
  std::unique_ptr<CFontFace> face;
};

struct GdiBitmap : GdiObject {
  GdiBitmap() : GdiObject(GdiKind::Bitmap) {}
  ~GdiBitmap() override { std::free(pixels); }
  int width = 0, height = 0;
  bool topDown = false;
  uint32_t* pixels = nullptr;

  uint32_t* Row(int y) { return pixels + static_cast<size_t>(topDown ? y : height - 1 - y) * width; }
};

struct GdiContext {
  GdiFont* font = nullptr;
  GdiBitmap* bitmap = nullptr;
  COLORREF textColor = RGB(0, 0, 0);
  COLORREF bkColor = RGB(255, 255, 255);
  UINT align = TA_LEFT | TA_TOP;
  int mapMode = MM_TEXT;
};

// Every live handle, so a stale or foreign one is refused instead of followed.
std::set<GdiObject*>& Objects() {
  static std::set<GdiObject*> objects;
  return objects;
}
std::set<GdiContext*>& Contexts() {
  static std::set<GdiContext*> contexts;
  return contexts;
}

GdiObject* ObjectOf(HGDIOBJ handle) {
  auto* object = static_cast<GdiObject*>(handle);
  return Objects().count(object) ? object : nullptr;
}

GdiContext* ContextOf(HDC handle) {
  auto* context = reinterpret_cast<GdiContext*>(handle);
  return Contexts().count(context) ? context : nullptr;
}

// COLORREF (0x00BBGGRR) to a DIB pixel (0x00RRGGBB).
uint32_t PixelOf(COLORREF color) {
  return (static_cast<uint32_t>(GetRValue(color)) << 16) | (static_cast<uint32_t>(GetGValue(color)) << 8) |
         GetBValue(color);
}

uint32_t Blend(uint32_t under, uint32_t over, unsigned coverage) {
  uint32_t result = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    unsigned a = (under >> shift) & 0xFF, b = (over >> shift) & 0xFF;
    unsigned mixed = (a * (255 - coverage) + b * coverage + 127) / 255;
    result |= mixed << shift;
  }
  return result;
}

void FillRect(GdiBitmap* bitmap, RECT rect, uint32_t pixel) {
  if (rect.left < 0) rect.left = 0;
  if (rect.top < 0) rect.top = 0;
  if (rect.right > bitmap->width) rect.right = bitmap->width;
  if (rect.bottom > bitmap->height) rect.bottom = bitmap->height;
  for (LONG y = rect.top; y < rect.bottom; ++y) {
    uint32_t* row = bitmap->Row(y);
    for (LONG x = rect.left; x < rect.right; ++x) row[x] = pixel;
  }
}

bool Inside(const RECT* clip, int x, int y) {
  return !clip || (x >= clip->left && x < clip->right && y >= clip->top && y < clip->bottom);
}

}  // namespace

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  long long product = static_cast<long long>(a) * b;
  bool negative = (product < 0) != (c < 0);
  long long num = product < 0 ? -product : product;
  long long den = c < 0 ? -static_cast<long long>(c) : c;
  long long quotient = (num + den / 2) / den;
  if (negative) quotient = -quotient;
  if (quotient > INT32_MAX || quotient < INT32_MIN) return -1;
  return static_cast<int>(quotient);
}

HDC CreateCompatibleDC(HDC) {
  auto* context = new GdiContext();
  Contexts().insert(context);
  return reinterpret_cast<HDC>(context);
}

BOOL DeleteDC(HDC hdc) {
  GdiContext* context = ContextOf(hdc);
  if (!context) return FALSE;
  Contexts().erase(context);
  delete context;
  return TRUE;
}

int GetDeviceCaps(HDC, int index) {
  switch (index) {
    case LOGPIXELSX:
    case LOGPIXELSY:
      return 96;
    case BITSPIXEL:
      return 32;
    default:
      return 0;
  }
}

int SetMapMode(HDC hdc, int mode) {
  GdiContext* context = ContextOf(hdc);
  if (!context || mode != MM_TEXT) return 0;  // only pixel units are drawn
  int old = context->mapMode;
  context->mapMode = mode;
  return old;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT, void** bits, HANDLE, DWORD) {
  if (bits) *bits = nullptr;
  if (!info) return nullptr;
  const BITMAPINFOHEADER& header = info->bmiHeader;
  const long long height = header.biHeight < 0 ? -static_cast<long long>(header.biHeight) : header.biHeight;
  if (header.biBitCount != 32 || header.biCompression != BI_RGB || header.biWidth <= 0 || height <= 0 ||
      header.biWidth > 16384 || height > 16384)
    return nullptr;
  auto* bitmap = new GdiBitmap();
  bitmap->width = header.biWidth;
  bitmap->height = static_cast<int>(height);
  bitmap->topDown = header.biHeight < 0;
  bitmap->pixels = static_cast<uint32_t*>(std::calloc(static_cast<size_t>(bitmap->width) * bitmap->height, 4));
  if (!bitmap->pixels) {
    delete bitmap;
    return nullptr;
  }
  Objects().insert(bitmap);
  if (bits) *bits = bitmap->pixels;
  return reinterpret_cast<HBITMAP>(static_cast<GdiObject*>(bitmap));
}

HFONT CreateFontA(int height, int, int, int, int weight, DWORD italic, DWORD, DWORD, DWORD, DWORD, DWORD,
                  DWORD quality, DWORD, LPCSTR faceName) {
  std::unique_ptr<CFontFace> face =
      CFontFace::Open(faceName ? std::string(faceName, strnlen(faceName, 31)) : std::string(), height,
                      weight >= 600, italic != 0, quality != NONANTIALIASED_QUALITY);
  if (!face) return nullptr;
  auto* font = new GdiFont();
  font->face = std::move(face);
  Objects().insert(font);
  return reinterpret_cast<HFONT>(static_cast<GdiObject*>(font));
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ handle) {
  GdiContext* context = ContextOf(hdc);
  GdiObject* object = ObjectOf(handle);
  if (!context || !object) return nullptr;
  if (object->kind == GdiKind::Font) {
    GdiObject* old = context->font;
    context->font = static_cast<GdiFont*>(object);
    return old;
  }
  GdiObject* old = context->bitmap;
  context->bitmap = static_cast<GdiBitmap*>(object);
  return old;
}

BOOL DeleteObject(HGDIOBJ handle) {
  GdiObject* object = ObjectOf(handle);
  if (!object) return FALSE;
  for (GdiContext* context : Contexts()) {
    if (context->font == object) context->font = nullptr;
    if (context->bitmap == object) context->bitmap = nullptr;
  }
  Objects().erase(object);
  delete object;
  return TRUE;
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
  GdiContext* context = ContextOf(hdc);
  if (!context) return CLR_INVALID;
  COLORREF old = context->textColor;
  context->textColor = color & 0x00FFFFFFu;
  return old;
}

COLORREF SetBkColor(HDC hdc, COLORREF color) {
  GdiContext* context = ContextOf(hdc);
  if (!context) return CLR_INVALID;
  COLORREF old = context->bkColor;
  context->bkColor = color & 0x00FFFFFFu;
  return old;
}

UINT SetTextAlign(HDC hdc, UINT align) {
  GdiContext* context = ContextOf(hdc);
  if (!context) return GDI_ERROR;
  UINT old = context->align;
  context->align = align;
  return old;
}

BOOL GetTextExtentPoint32A(HDC hdc, LPCSTR text, int count, SIZE* size) {
  GdiContext* context = ContextOf(hdc);
  if (!context || !context->font || !size || count < 0 || (count > 0 && !text)) return FALSE;
  LONG width = 0;
  for (int i = 0; i < count; ++i) width += context->font->face->Advance(static_cast<unsigned char>(text[i]));
  size->cx = width;
  size->cy = context->font->face->Height();
  return TRUE;
}

BOOL GetTextMetricsA(HDC hdc, TEXTMETRICA* metrics) {
  GdiContext* context = ContextOf(hdc);
  if (!context || !context->font || !metrics) return FALSE;
  CFontFace& face = *context->font->face;
  *metrics = TEXTMETRICA();
  metrics->tmAscent = face.Ascent();
  metrics->tmDescent = face.Descent();
  metrics->tmHeight = face.Height();
  metrics->tmAveCharWidth = face.Advance('x');
  metrics->tmMaxCharWidth = face.Advance('W');
  return TRUE;
}

BOOL ExtTextOutA(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT count, const INT* dx) {
  GdiContext* context = ContextOf(hdc);
  if (!context || !context->font || (count > 0 && !text)) return FALSE;
  GdiBitmap* bitmap = context->bitmap;
  if (!bitmap) return TRUE;  // nothing to draw into, as with the default 1x1 bitmap
  CFontFace& face = *context->font->face;

  LONG width = 0;
  for (UINT i = 0; i < count; ++i) width += dx ? dx[i] : face.Advance(static_cast<unsigned char>(text[i]));
  // The pen's top-left corner of the text cell, from the alignment.
  int left = x, top = y;
  if ((context->align & TA_CENTER) == TA_CENTER)
    left -= width / 2;
  else if (context->align & TA_RIGHT)
    left -= width;
  if ((context->align & TA_BASELINE) == TA_BASELINE)
    top -= face.Ascent();
  else if (context->align & TA_BOTTOM)
    top -= face.Height();

  if (options & ETO_OPAQUE) {
    RECT cell = rect ? *rect : RECT{left, top, left + width, top + face.Height()};
    FillRect(bitmap, cell, PixelOf(context->bkColor));
  }
  const RECT* clip = (options & ETO_CLIPPED) ? rect : nullptr;
  const uint32_t ink = PixelOf(context->textColor);
  const int baseline = top + face.Ascent();
  int pen = left;
  CFontFace::Glyph glyph;
  for (UINT i = 0; i < count; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (face.Render(c, &glyph)) {
      for (int row = 0; row < glyph.rows; ++row) {
        const int py = baseline - glyph.top + row;
        if (py < 0 || py >= bitmap->height) continue;
        uint32_t* pixels = bitmap->Row(py);
        for (int col = 0; col < glyph.width; ++col) {
          const int px = pen + glyph.left + col;
          const unsigned coverage = glyph.coverage[static_cast<size_t>(row) * glyph.width + col];
          if (px < 0 || px >= bitmap->width || coverage == 0 || !Inside(clip, px, py)) continue;
          pixels[px] = Blend(pixels[px], ink, coverage);
        }
      }
    }
    pen += dx ? dx[i] : glyph.advance;
  }
  return TRUE;
}

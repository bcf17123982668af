// The text functions: a face found by name, measured and drawn into a 32-bit bitmap.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/font/wingdi.h"

namespace {

struct Canvas {
  Canvas(int width, int height) {
    dc = CreateCompatibleDC(nullptr);
    BITMAPINFO bmi;
    std::memset(&bmi, 0, sizeof(bmi));
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = -height;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap = CreateDIBSection(dc, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    pixels = static_cast<DWORD*>(bits);
    SelectObject(dc, bitmap);
    w = width;
    h = height;
  }
  ~Canvas() {
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
  DWORD At(int x, int y) const { return pixels[y * w + x]; }
  // Inked pixels (any blue coverage) inside [x0, x1) x [y0, y1).
  int Ink(int x0, int y0, int x1, int y1) const {
    int count = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) count += (At(x, y) & 0xFF) ? 1 : 0;
    return count;
  }
  HDC dc;
  HBITMAP bitmap;
  DWORD* pixels;
  int w, h;
};

HFONT MakeArial(int height, int weight) {
  return CreateFont(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, VARIABLE_PITCH, "Arial");
}

}  // namespace

TEST(GdiText, MulDivRoundsToNearest) {
  EXPECT_EQ(16, MulDiv(12, 96, 72));
  EXPECT_EQ(8, MulDiv(6, 96, 72));
  EXPECT_EQ(-16, MulDiv(-12, 96, 72));
  EXPECT_EQ(2, MulDiv(3, 1, 2));
  EXPECT_EQ(-2, MulDiv(-3, 1, 2));
  EXPECT_EQ(-1, MulDiv(1, 1, 0));
  EXPECT_EQ(96, GetDeviceCaps(nullptr, LOGPIXELSY));
}

TEST(GdiText, ArialMeasuresWithArialMetrics) {
  Canvas canvas(64, 32);
  HFONT font = MakeArial(-16, FW_BOLD);
  ASSERT_NE(nullptr, font);
  SelectObject(canvas.dc, font);
  SIZE w, i, two;
  ASSERT_TRUE(GetTextExtentPoint32(canvas.dc, "W", 1, &w));
  ASSERT_TRUE(GetTextExtentPoint32(canvas.dc, "i", 1, &i));
  ASSERT_TRUE(GetTextExtentPoint32(canvas.dc, "Wi", 2, &two));
  // Arial-metric bold at a 16 pixel em: "W" is 15 pixels wide, "i" 4, the cell 18 high.
  EXPECT_NEAR(15, w.cx, 1);
  EXPECT_NEAR(4, i.cx, 1);
  EXPECT_EQ(w.cx + i.cx, two.cx);
  EXPECT_EQ(18, w.cy);
  TEXTMETRICA metrics;
  ASSERT_TRUE(GetTextMetrics(canvas.dc, &metrics));
  EXPECT_EQ(15, metrics.tmAscent);
  EXPECT_EQ(3, metrics.tmDescent);
  EXPECT_TRUE(DeleteObject(font));
  // The font was deselected by its deletion: measuring now fails instead of using it.
  EXPECT_FALSE(GetTextExtentPoint32(canvas.dc, "W", 1, &w));
}

TEST(GdiText, OpaqueTextIsWhiteInkOnBlackInsideItsCell) {
  Canvas canvas(64, 32);
  for (int k = 0; k < 64 * 32; ++k) canvas.pixels[k] = 0x00123456;
  HFONT font = MakeArial(-16, FW_BOLD);
  ASSERT_NE(nullptr, font);
  SelectObject(canvas.dc, font);
  SetTextColor(canvas.dc, RGB(255, 255, 255));
  SetBkColor(canvas.dc, 0);
  SetTextAlign(canvas.dc, TA_TOP | TA_LEFT);
  SIZE size;
  ASSERT_TRUE(GetTextExtentPoint32(canvas.dc, "H", 1, &size));
  ASSERT_TRUE(ExtTextOut(canvas.dc, 10, 4, ETO_OPAQUE, nullptr, "H", 1, nullptr));

  // The cell is filled; outside it the old pixels stay.
  EXPECT_EQ(0x00123456u, canvas.At(9, 4));
  EXPECT_EQ(0x00123456u, canvas.At(10, 3));
  EXPECT_EQ(0x00123456u, canvas.At(10 + size.cx, 4));
  // Grey levels are white scaled by coverage: red, green and blue equal.
  int full = 0;
  for (int y = 4; y < 4 + size.cy; ++y)
    for (int x = 10; x < 10 + size.cx; ++x) {
      const DWORD p = canvas.At(x, y);
      EXPECT_EQ(p & 0xFF, (p >> 8) & 0xFF);
      EXPECT_EQ(p & 0xFF, (p >> 16) & 0xFF);
      EXPECT_EQ(0u, p >> 24);
      full += (p & 0xFF) == 0xFF;
    }
  // An "H": two solid stems, so whole columns of full ink, and an empty top row.
  EXPECT_GT(full, 20);
  EXPECT_EQ(0, canvas.Ink(10, 4, 10 + size.cx, 5));
  DeleteObject(font);
}

TEST(GdiText, BadHandlesAndFormatsAreRefused) {
  BITMAPINFO bmi;
  std::memset(&bmi, 0, sizeof(bmi));
  bmi.bmiHeader.biWidth = 8;
  bmi.bmiHeader.biHeight = 8;
  bmi.bmiHeader.biBitCount = 24;
  void* bits = reinterpret_cast<void*>(1);
  EXPECT_EQ(nullptr, CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
  EXPECT_EQ(nullptr, bits);
  EXPECT_FALSE(DeleteObject(nullptr));
  EXPECT_FALSE(DeleteDC(nullptr));
  int local = 0;
  EXPECT_FALSE(DeleteObject(&local));
  EXPECT_EQ(nullptr, SelectObject(nullptr, &local));
  // Drawing into a context without a bitmap draws nothing and does not crash.
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT font = MakeArial(-12, FW_NORMAL);
  SelectObject(dc, font);
  EXPECT_TRUE(ExtTextOut(dc, 0, 0, ETO_OPAQUE, nullptr, "abc", 3, nullptr));
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_TRUE(DeleteObject(font));
}

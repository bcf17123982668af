// The subset of the Windows graphics interface that draws text into a memory bitmap:
// a memory device context, a 32-bit DIB section, a font found by face name, and
// text measured and drawn into the bitmap's pixels. Glyphs come from FreeType at
// 96 pixels per inch; the face is found by name through fontconfig, so "Arial"
// gives an Arial-metric face when Arial itself is not installed.
#pragma once

#include "platform/win32/win32.h"

#define RGB(r, g, b)                                                              \
  (static_cast<COLORREF>(static_cast<BYTE>(r) | (static_cast<WORD>(static_cast<BYTE>(g)) << 8) | \
                         (static_cast<DWORD>(static_cast<BYTE>(b)) << 16)))
#define GetRValue(c) static_cast<BYTE>((c)&0xFF)
#define GetGValue(c) static_cast<BYTE>(((c) >> 8) & 0xFF)
#define GetBValue(c) static_cast<BYTE>(((c) >> 16) & 0xFF)
#define CLR_INVALID 0xFFFFFFFFu

// GetDeviceCaps indexes.
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define LOGPIXELSX 88
#define LOGPIXELSY 90

// Mapping modes: only MM_TEXT (one logical unit is one pixel, y down) is drawn.
#define MM_TEXT 1

// Text alignment.
#define TA_LEFT 0u
#define TA_TOP 0u
#define TA_RIGHT 2u
#define TA_CENTER 6u
#define TA_BOTTOM 8u
#define TA_BASELINE 24u
#define GDI_ERROR 0xFFFFFFFFu

// ExtTextOut options.
#define ETO_OPAQUE 0x0002u
#define ETO_CLIPPED 0x0004u

// Font creation values.
#define FW_DONTCARE 0
#define FW_NORMAL 400
#define FW_BOLD 700
#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define OUT_DEFAULT_PRECIS 0
#define CLIP_DEFAULT_PRECIS 0
#define DEFAULT_QUALITY 0
#define NONANTIALIASED_QUALITY 3
#define ANTIALIASED_QUALITY 4
#define DEFAULT_PITCH 0
#define FIXED_PITCH 1
#define VARIABLE_PITCH 2
#define FF_DONTCARE 0

// Bitmaps.
#define BI_RGB 0u
#define DIB_RGB_COLORS 0u

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;  // negative: rows top-down
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};

struct RGBQUAD {
  BYTE rgbBlue, rgbGreen, rgbRed, rgbReserved;
};

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

struct TEXTMETRICA {
  LONG tmHeight;
  LONG tmAscent;
  LONG tmDescent;
  LONG tmInternalLeading;
  LONG tmExternalLeading;
  LONG tmAveCharWidth;
  LONG tmMaxCharWidth;
  LONG tmWeight;
};

// a * b / c rounded to the nearest integer (halves away from zero); -1 when c is 0.
int MulDiv(int a, int b, int c);

// hdc null: a memory context for the screen. A memory context starts with no
// bitmap selected and draws nothing until one is.
HDC CreateCompatibleDC(HDC hdc);
BOOL DeleteDC(HDC hdc);
// LOGPIXELSX/LOGPIXELSY: 96. BITSPIXEL: 32. Other indexes: 0.
int GetDeviceCaps(HDC hdc, int index);
int SetMapMode(HDC hdc, int mode);

// Only 32 bits per pixel, BI_RGB. Pixels are 0x00RRGGBB, zeroed; *bits points to them
// until the bitmap is deleted.
HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset);

// height < 0: the em height in pixels; height > 0: the cell height (ascent + descent);
// 0: a default size. weight >= 600 asks for a bold face (made bold when the face has none).
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCSTR faceName);
#define CreateFont CreateFontA

// A font or bitmap: returns the one of that kind selected before (null for none).
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object);
// Deleting an object still selected into a context deselects it there.
BOOL DeleteObject(HGDIOBJ object);

COLORREF SetTextColor(HDC hdc, COLORREF color);
COLORREF SetBkColor(HDC hdc, COLORREF color);
UINT SetTextAlign(HDC hdc, UINT align);

// The advance of the string in pixels and the font's cell height.
BOOL GetTextExtentPoint32A(HDC hdc, LPCSTR text, int count, SIZE* size);
#define GetTextExtentPoint32 GetTextExtentPoint32A
BOOL GetTextMetricsA(HDC hdc, TEXTMETRICA* metrics);
#define GetTextMetrics GetTextMetricsA

// Draws the characters with the selected font in the text colour, antialiased over
// what is there (or over the background colour filled in the text's cell with
// ETO_OPAQUE, or in *rect when given). dx (per-character advances) may be null.
BOOL ExtTextOutA(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT count, const INT* dx);
#define ExtTextOut ExtTextOutA

#include "platform/media/wide_strings.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at `i`, advancing it; malformed input gives U+FFFD.
char32_t DecodeUtf8(const unsigned char* s, size_t n, size_t& i) {
  const unsigned char c = s[i++];
  if (c < 0x80) return c;
  int extra;
  char32_t cp;
  if (c >= 0xC2 && c <= 0xDF) {
    extra = 1;
    cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    extra = 2;
    cp = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    extra = 3;
    cp = c & 0x07;
  } else {
    return kReplacement;
  }
  for (int k = 0; k < extra; ++k) {
    if (i >= n || (s[i] & 0xC0) != 0x80) return kReplacement;
    cp = (cp << 6) | (s[i++] & 0x3F);
  }
  if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF)) {
    return kReplacement;
  }
  return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

int MultiByteToWideChar(UINT, DWORD, LPCSTR multiByte, int cbMultiByte, LPWSTR wide, int cchWideChar) {
  if (!multiByte || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0) return 0;
  const size_t n = cbMultiByte == -1 ? std::strlen(multiByte) + 1 : static_cast<size_t>(cbMultiByte);
  const auto* s = reinterpret_cast<const unsigned char*>(multiByte);
  std::u16string out;
  for (size_t i = 0; i < n;) {
    const char32_t cp = DecodeUtf8(s, n, i);
    if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  if (cchWideChar == 0) return static_cast<int>(out.size());
  if (!wide || out.size() > static_cast<size_t>(cchWideChar)) return 0;
  std::copy(out.begin(), out.end(), wide);
  return static_cast<int>(out.size());
}

int WideCharToMultiByte(UINT, DWORD, LPCWSTR wide, int cchWideChar, LPSTR multiByte, int cbMultiByte, LPCSTR,
                        LPBOOL usedDefaultChar) {
  if (usedDefaultChar) *usedDefaultChar = FALSE;
  if (!wide || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0) return 0;
  size_t n = 0;
  if (cchWideChar == -1) {
    while (wide[n]) ++n;
    ++n;
  } else {
    n = static_cast<size_t>(cchWideChar);
  }
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    char32_t cp = wide[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;
    }
    AppendUtf8(out, cp);
  }
  if (cbMultiByte == 0) return static_cast<int>(out.size());
  if (!multiByte || out.size() > static_cast<size_t>(cbMultiByte)) return 0;
  std::copy(out.begin(), out.end(), multiByte);
  return static_cast<int>(out.size());
}

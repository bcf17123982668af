#include "platform/xfile/xtoken_reader.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace xfile {

namespace {

// Token codes of the binary encoding.
enum BinaryToken : uint16_t {
  kName = 1,
  kString = 2,
  kInteger = 3,
  kGuid = 5,
  kIntegerList = 6,
  kFloatList = 7,
  kOBrace = 10,
  kCBrace = 11,
  kOParen = 12,
  kCParen = 13,
  kOBracket = 14,
  kCBracket = 15,
  kOAngle = 16,
  kCAngle = 17,
  kDot = 18,
  kComma = 19,
  kSemicolon = 20,
  kTemplate = 31,
  kWord = 40,
  kDword = 41,
  kFloat = 42,
  kDouble = 43,
  kChar = 44,
  kUchar = 45,
  kSword = 46,
  kSdword = 47,
  kVoid = 48,
  kLpstr = 49,
  kUnicode = 50,
  kCstring = 51,
  kArray = 52,
};

struct Keyword {
  const char* text;
  XToken token;
};
const Keyword kKeywords[] = {
    {"template", XToken::Template}, {"array", XToken::Array},   {"WORD", XToken::Word},
    {"DWORD", XToken::Dword},       {"FLOAT", XToken::FloatType}, {"DOUBLE", XToken::Double},
    {"CHAR", XToken::Char},         {"UCHAR", XToken::Uchar},   {"BYTE", XToken::Uchar},
    {"SWORD", XToken::Sword},       {"SDWORD", XToken::Sdword}, {"VOID", XToken::Void},
    {"STRING", XToken::String8},    {"LPSTR", XToken::String8}, {"UNICODE", XToken::Unicode},
    {"CSTRING", XToken::Cstring},   {"BINARY", XToken::Binary},
};

bool IsNameStart(int c) { return std::isalpha(c) || c == '_'; }
bool IsNameChar(int c) { return std::isalnum(c) || c == '_' || c == '-' || c == '.'; }

int HexValue(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

XTokenReader::XTokenReader(const uint8_t* data, size_t size, bool binary, bool doubles)
    : m_data(data), m_size(size), m_binary(binary), m_doubles(doubles) {}

XToken XTokenReader::Peek() {
  if (!m_peeked) {
    m_peekToken = Next();
    m_peeked = true;
  }
  return m_peekToken;
}

XToken XTokenReader::Next() {
  if (m_peeked) {
    m_peeked = false;
    return m_peekToken;
  }
  if (m_listLeft > 0) return XToken::Error;
  for (;;) {
    XToken t = Scan();
    // Empty binary lists carry nothing.
    if ((t == XToken::IntegerList || t == XToken::FloatList) && m_listLeft == 0) {
      m_list = ListKind::None;
      continue;
    }
    return t;
  }
}

void XTokenReader::SkipSeparators() {
  if (m_listLeft > 0) return;
  while (Peek() == XToken::Comma || Peek() == XToken::Semicolon) Next();
}

bool XTokenReader::ReadInteger(int64_t& value) {
  if (m_peeked && m_peekToken == XToken::IntegerList) {
    m_peeked = false;  // the list is already open
  } else if (m_listLeft == 0) {
    SkipSeparators();
    XToken t = Next();
    if (t == XToken::Integer) {
      value = m_integer;
      return true;
    }
    if (t != XToken::IntegerList) return false;
  }
  if (m_list != ListKind::Integers) return false;
  uint32_t v = 0;
  if (!ReadU32(v)) return false;
  if (--m_listLeft == 0) m_list = ListKind::None;
  value = v;
  return true;
}

bool XTokenReader::ReadFloat(double& value) {
  if (m_peeked && m_peekToken == XToken::FloatList) {
    m_peeked = false;
  } else if (m_listLeft == 0) {
    SkipSeparators();
    XToken t = Next();
    if (t == XToken::Float || t == XToken::Integer) {
      value = t == XToken::Float ? m_float : static_cast<double>(m_integer);
      return true;
    }
    if (t != XToken::FloatList) return false;
  }
  if (m_list != ListKind::Floats) return false;
  if (m_doubles) {
    if (m_size - m_pos < 8) return false;
    double d;
    std::memcpy(&d, m_data + m_pos, 8);
    m_pos += 8;
    value = d;
  } else {
    if (m_size - m_pos < 4) return false;
    float f;
    std::memcpy(&f, m_data + m_pos, 4);
    m_pos += 4;
    value = f;
  }
  if (--m_listLeft == 0) m_list = ListKind::None;
  return true;
}

bool XTokenReader::ReadString(std::string& value) {
  if (m_listLeft > 0) return false;
  SkipSeparators();
  if (Next() != XToken::String) return false;
  value = m_text;
  return true;
}

bool XTokenReader::ReadU16(uint16_t& v) {
  if (m_size - m_pos < 2) return false;
  v = static_cast<uint16_t>(m_data[m_pos] | (m_data[m_pos + 1] << 8));
  m_pos += 2;
  return true;
}

bool XTokenReader::ReadU32(uint32_t& v) {
  if (m_size - m_pos < 4) return false;
  v = static_cast<uint32_t>(m_data[m_pos]) | (static_cast<uint32_t>(m_data[m_pos + 1]) << 8) |
      (static_cast<uint32_t>(m_data[m_pos + 2]) << 16) | (static_cast<uint32_t>(m_data[m_pos + 3]) << 24);
  m_pos += 4;
  return true;
}

XToken XTokenReader::Scan() { return m_binary ? ScanBinary() : ScanText(); }

XToken XTokenReader::ScanBinary() {
  if (m_pos >= m_size) return XToken::End;
  uint16_t code = 0;
  if (!ReadU16(code)) return XToken::Error;
  switch (code) {
    case kName:
    case kString: {
      uint32_t count = 0;
      if (!ReadU32(count) || count > m_size - m_pos) return XToken::Error;
      m_text.assign(reinterpret_cast<const char*>(m_data + m_pos), count);
      m_pos += count;
      if (code == kName) return XToken::Name;
      // A string is closed by a separator token of its own.
      uint16_t terminator = 0;
      if (!ReadU16(terminator) || (terminator != kSemicolon && terminator != kComma)) return XToken::Error;
      return XToken::String;
    }
    case kInteger: {
      uint32_t v = 0;
      if (!ReadU32(v)) return XToken::Error;
      m_integer = v;
      return XToken::Integer;
    }
    case kGuid: {
      if (m_size - m_pos < 16) return XToken::Error;
      uint32_t d1 = 0;
      uint16_t d2 = 0, d3 = 0;
      ReadU32(d1);
      ReadU16(d2);
      ReadU16(d3);
      m_guid.Data1 = d1;
      m_guid.Data2 = d2;
      m_guid.Data3 = d3;
      std::memcpy(m_guid.Data4, m_data + m_pos, 8);
      m_pos += 8;
      return XToken::Guid;
    }
    case kIntegerList:
    case kFloatList: {
      uint32_t count = 0;
      if (!ReadU32(count)) return XToken::Error;
      size_t itemSize = code == kIntegerList ? 4 : (m_doubles ? 8 : 4);
      if (count > (m_size - m_pos) / itemSize) return XToken::Error;  // bounded by the bytes left
      m_listLeft = count;
      m_list = code == kIntegerList ? ListKind::Integers : ListKind::Floats;
      return code == kIntegerList ? XToken::IntegerList : XToken::FloatList;
    }
    case kOBrace: return XToken::OBrace;
    case kCBrace: return XToken::CBrace;
    case kOParen: return XToken::OParen;
    case kCParen: return XToken::CParen;
    case kOBracket: return XToken::OBracket;
    case kCBracket: return XToken::CBracket;
    case kOAngle: return XToken::OAngle;
    case kCAngle: return XToken::CAngle;
    case kDot: return XToken::Dot;
    case kComma: return XToken::Comma;
    case kSemicolon: return XToken::Semicolon;
    case kTemplate: return XToken::Template;
    case kWord: return XToken::Word;
    case kDword: return XToken::Dword;
    case kFloat: return XToken::FloatType;
    case kDouble: return XToken::Double;
    case kChar: return XToken::Char;
    case kUchar: return XToken::Uchar;
    case kSword: return XToken::Sword;
    case kSdword: return XToken::Sdword;
    case kVoid: return XToken::Void;
    case kLpstr: return XToken::String8;
    case kUnicode: return XToken::Unicode;
    case kCstring: return XToken::Cstring;
    case kArray: return XToken::Array;
    default: return XToken::Error;
  }
}

void XTokenReader::SkipTextSpace() {
  while (m_pos < m_size) {
    int c = m_data[m_pos];
    if (std::isspace(c) || c == 0) {
      ++m_pos;
    } else if (c == '#' || (c == '/' && m_pos + 1 < m_size && m_data[m_pos + 1] == '/')) {
      while (m_pos < m_size && m_data[m_pos] != '\n') ++m_pos;
    } else {
      return;
    }
  }
}

bool XTokenReader::ScanTextGuid() {
  // <XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX>, the '<' already read.
  SkipTextSpace();
  static const int kGroups[5] = {8, 4, 4, 4, 12};
  uint8_t bytes[16];
  int nibble = 0;
  for (int g = 0; g < 5; ++g) {
    if (g > 0) {
      if (m_pos >= m_size || m_data[m_pos] != '-') return false;
      ++m_pos;
    }
    for (int i = 0; i < kGroups[g]; ++i) {
      if (m_pos >= m_size) return false;
      int h = HexValue(m_data[m_pos++]);
      if (h < 0) return false;
      if (nibble % 2 == 0) bytes[nibble / 2] = static_cast<uint8_t>(h << 4);
      else bytes[nibble / 2] = static_cast<uint8_t>(bytes[nibble / 2] | h);
      ++nibble;
    }
  }
  SkipTextSpace();
  if (m_pos >= m_size || m_data[m_pos] != '>') return false;
  ++m_pos;
  m_guid.Data1 = (static_cast<uint32_t>(bytes[0]) << 24) | (bytes[1] << 16) | (bytes[2] << 8) | bytes[3];
  m_guid.Data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
  m_guid.Data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
  std::memcpy(m_guid.Data4, bytes + 8, 8);
  return true;
}

XToken XTokenReader::ScanTextNumber() {
  size_t start = m_pos;
  bool isFloat = false;
  if (m_data[m_pos] == '-' || m_data[m_pos] == '+') ++m_pos;
  size_t digits = 0;
  while (m_pos < m_size && std::isdigit(m_data[m_pos])) ++m_pos, ++digits;
  if (m_pos < m_size && m_data[m_pos] == '.') {
    isFloat = true;
    ++m_pos;
    while (m_pos < m_size && std::isdigit(m_data[m_pos])) ++m_pos, ++digits;
  }
  if (digits == 0) return XToken::Error;
  if (m_pos < m_size && (m_data[m_pos] == 'e' || m_data[m_pos] == 'E')) {
    size_t p = m_pos + 1;
    if (p < m_size && (m_data[p] == '-' || m_data[p] == '+')) ++p;
    if (p < m_size && std::isdigit(m_data[p])) {
      isFloat = true;
      m_pos = p;
      while (m_pos < m_size && std::isdigit(m_data[m_pos])) ++m_pos;
    }
  }
  std::string text(reinterpret_cast<const char*>(m_data + start), m_pos - start);
  if (isFloat) {
    m_float = std::strtod(text.c_str(), nullptr);
    if (!std::isfinite(m_float)) return XToken::Error;
    return XToken::Float;
  }
  if (text.size() > 18) return XToken::Error;  // beyond any count or index we accept
  m_integer = std::strtoll(text.c_str(), nullptr, 10);
  m_float = static_cast<double>(m_integer);
  return XToken::Integer;
}

XToken XTokenReader::ScanText() {
  SkipTextSpace();
  if (m_pos >= m_size) return XToken::End;
  int c = m_data[m_pos];
  if (IsNameStart(c)) {
    size_t start = m_pos;
    while (m_pos < m_size && IsNameChar(m_data[m_pos])) ++m_pos;
    m_text.assign(reinterpret_cast<const char*>(m_data + start), m_pos - start);
    for (const Keyword& k : kKeywords) {
      if (m_text == k.text) return k.token;
    }
    return XToken::Name;
  }
  if (std::isdigit(c) || c == '-' || c == '+' ||
      (c == '.' && m_pos + 1 < m_size && std::isdigit(m_data[m_pos + 1]))) {
    return ScanTextNumber();
  }
  ++m_pos;
  switch (c) {
    case '"': {
      size_t start = m_pos;
      while (m_pos < m_size && m_data[m_pos] != '"') ++m_pos;
      if (m_pos >= m_size) return XToken::Error;
      m_text.assign(reinterpret_cast<const char*>(m_data + start), m_pos - start);
      ++m_pos;
      return XToken::String;
    }
    case '<': return ScanTextGuid() ? XToken::Guid : XToken::Error;
    case '{': return XToken::OBrace;
    case '}': return XToken::CBrace;
    case '(': return XToken::OParen;
    case ')': return XToken::CParen;
    case '[': return XToken::OBracket;
    case ']': return XToken::CBracket;
    case '>': return XToken::CAngle;
    case '.': return XToken::Dot;
    case ',': return XToken::Comma;
    case ';': return XToken::Semicolon;
    default: return XToken::Error;
  }
}

}  // namespace xfile

// Splits the body of a .x file (after the 16-byte header, decompressed) into tokens.
// Text and binary bodies give the same token kinds; binary integer and float lists are
// handed out one value at a time so a huge list never needs an array of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/win32/win32.h"

namespace xfile {

enum class XToken {
  End,
  Error,
  Name,
  String,
  Integer,
  Float,
  Guid,
  OBrace,
  CBrace,
  OParen,
  CParen,
  OBracket,
  CBracket,
  OAngle,
  CAngle,
  Dot,
  Comma,
  Semicolon,
  Template,
  Word,
  Dword,
  FloatType,
  Double,
  Char,
  Uchar,
  Sword,
  Sdword,
  Void,
  String8,  // STRING / LPSTR
  Unicode,
  Cstring,
  Array,
  Binary,
  IntegerList,  // binary list start: values follow through ReadInteger
  FloatList,
};

class XTokenReader {
 public:
  XTokenReader(const uint8_t* data, size_t size, bool binary, bool doubles);

  // Structural tokens. Fails (Error) while a binary value list still has values left.
  XToken Next();
  XToken Peek();

  // Values, skipping any ',' or ';' in front. False on anything else.
  bool ReadInteger(int64_t& value);
  bool ReadFloat(double& value);
  bool ReadString(std::string& value);
  // Skips separators; true when the next token is '}' (not consumed).
  void SkipSeparators();

  // Text of the last Name or String token, value of the last Integer/Float/Guid.
  const std::string& Text() const { return m_text; }
  int64_t IntegerValue() const { return m_integer; }
  double FloatValue() const { return m_float; }
  const GUID& GuidValue() const { return m_guid; }

  // Bytes not yet read: every count in the file is bounded by this.
  size_t Remaining() const { return m_size - m_pos; }
  bool IsBinary() const { return m_binary; }

 private:
  XToken Scan();
  XToken ScanText();
  XToken ScanBinary();
  bool ReadU16(uint16_t& v);
  bool ReadU32(uint32_t& v);
  bool ScanTextGuid();
  XToken ScanTextNumber();
  void SkipTextSpace();

  const uint8_t* m_data;
  size_t m_size;
  size_t m_pos = 0;
  bool m_binary;
  bool m_doubles;

  bool m_peeked = false;
  XToken m_peekToken = XToken::End;

  // Binary list in progress.
  enum class ListKind { None, Integers, Floats } m_list = ListKind::None;
  uint32_t m_listLeft = 0;

  std::string m_text;
  int64_t m_integer = 0;
  double m_float = 0;
  GUID m_guid{};
};

}  // namespace xfile

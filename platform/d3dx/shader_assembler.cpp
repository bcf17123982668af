#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/d3d8/d3d8types.h"
#include "platform/d3dx/d3dx8shader.h"

namespace {

// Token layout of Direct3D 8 shaders.
constexpr DWORD kVertexShaderVersion11 = 0xFFFE0101u, kVertexShaderVersion10 = 0xFFFE0100u;
constexpr DWORD kEndToken = 0x0000FFFFu;
constexpr DWORD kParameterBit = 0x80000000u;
constexpr int kRegisterTypeShift = 28;
constexpr DWORD kRelativeAddressing = 1u << 13;
constexpr DWORD kNegate = 1u << 24;
constexpr DWORD kIdentitySwizzle = 0xE4u;
constexpr DWORD kConstantDeclaration = 4u << 29;

enum RegisterType : DWORD { kTemp = 0, kInput = 1, kConst = 2, kAddress = 3, kRasterOut = 4, kAttributeOut = 5, kTexCoordOut = 6 };

struct Opcode {
  const char* name;
  DWORD code;
  int sources;
};

const Opcode kOpcodes[] = {
    {"nop", 0, -1}, {"mov", 1, 1}, {"add", 2, 2},  {"sub", 3, 2},   {"mad", 4, 3},   {"mul", 5, 2},   {"rcp", 6, 1},
    {"rsq", 7, 1},  {"dp3", 8, 2}, {"dp4", 9, 2},  {"min", 10, 2},  {"max", 11, 2},  {"slt", 12, 2},  {"sge", 13, 2},
    {"exp", 14, 1}, {"log", 15, 1}, {"lit", 16, 1}, {"dst", 17, 2}, {"frc", 19, 1}, {"m4x4", 20, 2}, {"m4x3", 21, 2},
    {"m3x4", 22, 2}, {"m3x3", 23, 2}, {"m3x2", 24, 2}, {"expp", 78, 1}, {"logp", 79, 1},
};

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r"), e = s.find_last_not_of(" \t\r");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// Splits at commas that are not inside brackets.
std::vector<std::string> SplitOperands(const std::string& text) {
  std::vector<std::string> parts;
  std::string current;
  int depth = 0;
  for (char c : text) {
    if (c == '[') ++depth;
    if (c == ']') --depth;
    if (c == ',' && depth == 0) {
      parts.push_back(Trim(current));
      current.clear();
    } else {
      current += c;
    }
  }
  if (!Trim(current).empty() || !parts.empty()) parts.push_back(Trim(current));
  return parts;
}

bool ParseNumber(const std::string& s, unsigned* value) {
  if (s.empty() || s.size() > 4) return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  *value = static_cast<unsigned>(std::strtoul(s.c_str(), nullptr, 10));
  return true;
}

int ComponentIndex(char c) {
  switch (c) {
    case 'x': case 'r': return 0;
    case 'y': case 'g': return 1;
    case 'z': case 'b': return 2;
    case 'w': case 'a': return 3;
    default: return -1;
  }
}

class Assembler {
 public:
  explicit Assembler(std::string fileName) : fileName_(std::move(fileName)) {}

  bool Run(const std::string& source) {
    std::istringstream lines(source);
    std::string line;
    int lineNumber = 0;
    while (std::getline(lines, line)) {
      ++lineNumber;
      line_ = lineNumber;
      size_t comment = std::min(line.find(';'), line.find("//"));
      if (comment != std::string::npos) line.erase(comment);
      line = Trim(line);
      if (!line.empty()) Statement(line);
    }
    if (!sawVersion_) Error("no vs.1.0 or vs.1.1 version line");
    if (!errors_.empty()) return false;
    code_.push_back(kEndToken);
    return true;
  }

  const std::vector<DWORD>& Code() const { return code_; }
  const std::vector<DWORD>& Constants() const { return constants_; }
  const std::string& Errors() const { return errors_; }

 private:
  void Error(const std::string& message) {
    errors_ += fileName_ + "(" + std::to_string(line_) + "): error: " + message + "\n";
  }

  void Statement(const std::string& line) {
    size_t space = line.find_first_of(" \t");
    std::string op = Lower(line.substr(0, space));
    std::string rest = space == std::string::npos ? std::string() : Trim(line.substr(space));
    if (!sawVersion_) {
      if (op == "vs.1.1" || op == "vs_1_1" || op == "vs.1.0" || op == "vs_1_0") {
        sawVersion_ = true;
        code_.push_back(op.back() == '1' ? kVertexShaderVersion11 : kVertexShaderVersion10);
        if (!rest.empty()) Error("unexpected text after the version");
      } else if (op.compare(0, 2, "ps") == 0) {
        Error("pixel shaders are not supported");
        sawVersion_ = true;  // one message is enough
      } else {
        Error("the shader must start with its version (vs.1.1)");
        sawVersion_ = true;
      }
      return;
    }
    if (op == "def") return Define(rest);
    for (const Opcode& o : kOpcodes) {
      if (op != o.name) continue;
      std::vector<std::string> operands = SplitOperands(rest);
      const size_t wanted = o.sources < 0 ? 0 : size_t(o.sources) + 1;
      if (operands.size() != wanted) {
        Error("'" + op + "' takes " + std::to_string(wanted) + " operands");
        return;
      }
      std::vector<DWORD> tokens{o.code};
      DWORD token = 0;
      if (wanted > 0) {
        if (!Destination(operands[0], o.code, &token)) return;
        tokens.push_back(token);
      }
      for (size_t i = 1; i < operands.size(); ++i) {
        if (!Source(operands[i], &token)) return;
        tokens.push_back(token);
      }
      code_.insert(code_.end(), tokens.begin(), tokens.end());
      return;
    }
    Error("unknown instruction '" + op + "'");
  }

  // Register name and number, e.g. "r3", "oPos", "oT1", "a0".
  bool Register(const std::string& text, RegisterType* type, unsigned* number) {
    std::string name = Lower(text);
    if (name == "opos") return *type = kRasterOut, *number = 0, true;
    if (name == "ofog") return *type = kRasterOut, *number = 1, true;
    if (name == "opts") return *type = kRasterOut, *number = 2, true;
    struct Kind { const char* prefix; RegisterType type; unsigned count; };
    static const Kind kinds[] = {{"od", kAttributeOut, 2}, {"ot", kTexCoordOut, 8}, {"r", kTemp, 12},
                                 {"v", kInput, 16},        {"c", kConst, 256},      {"a", kAddress, 1}};
    for (const Kind& k : kinds) {
      size_t n = std::strlen(k.prefix);
      if (name.compare(0, n, k.prefix) != 0) continue;
      if (!ParseNumber(name.substr(n), number)) break;
      if (*number >= k.count) {
        Error("register '" + text + "' out of range");
        return false;
      }
      *type = k.type;
      return true;
    }
    Error("unknown register '" + text + "'");
    return false;
  }

  bool Destination(const std::string& text, DWORD opcode, DWORD* token) {
    size_t dot = text.find('.');
    RegisterType type;
    unsigned number;
    if (!Register(text.substr(0, dot), &type, &number)) return false;
    if (type == kInput || type == kConst) {
      Error("'" + text + "' cannot be written");
      return false;
    }
    if (type == kAddress && opcode != 1) {
      Error("only mov writes the address register");
      return false;
    }
    DWORD mask = 0xF;
    if (dot != std::string::npos) {
      mask = 0;
      int last = -1;
      for (char c : Lower(text.substr(dot + 1))) {
        int index = ComponentIndex(c);
        if (index <= last) {
          Error("bad write mask in '" + text + "'");
          return false;
        }
        mask |= 1u << index;
        last = index;
      }
      if (mask == 0) {
        Error("empty write mask in '" + text + "'");
        return false;
      }
    }
    *token = kParameterBit | (DWORD(type) << kRegisterTypeShift) | (mask << 16) | number;
    return true;
  }

  bool Source(const std::string& original, DWORD* token) {
    std::string text = original;
    DWORD modifier = 0;
    if (!text.empty() && text[0] == '-') {
      modifier = kNegate;
      text = Trim(text.substr(1));
    }
    // Swizzle after the last dot outside brackets.
    std::string swizzle;
    size_t close = text.rfind(']');
    size_t dot = text.find('.', close == std::string::npos ? 0 : close);
    if (dot != std::string::npos) {
      swizzle = Lower(text.substr(dot + 1));
      text = text.substr(0, dot);
    }
    RegisterType type;
    unsigned number = 0;
    DWORD relative = 0;
    size_t open = text.find('[');
    if (open != std::string::npos) {
      if (Lower(Trim(text.substr(0, open))) != "c" || text.back() != ']') {
        Error("bad operand '" + original + "'");
        return false;
      }
      type = kConst;
      std::string inside = Lower(text.substr(open + 1, text.size() - open - 2));
      inside.erase(std::remove_if(inside.begin(), inside.end(), [](char c) { return c == ' ' || c == '\t'; }), inside.end());
      size_t a0 = inside.find("a0.x");
      if (a0 != std::string::npos) {
        relative = kRelativeAddressing;
        inside.erase(a0, 4);
        if (!inside.empty() && inside[0] == '+') inside.erase(0, 1);
        if (!inside.empty() && inside.back() == '+') inside.pop_back();
      }
      if (!inside.empty() && !ParseNumber(inside, &number)) {
        Error("bad constant index in '" + original + "'");
        return false;
      }
      if (number >= 256) {
        Error("constant index out of range in '" + original + "'");
        return false;
      }
    } else if (!Register(text, &type, &number)) {
      return false;
    }
    if (type == kRasterOut || type == kAttributeOut || type == kTexCoordOut || type == kAddress) {
      Error("'" + original + "' cannot be read");
      return false;
    }
    DWORD pattern = kIdentitySwizzle;
    if (!swizzle.empty()) {
      if (swizzle.size() > 4) {
        Error("bad swizzle in '" + original + "'");
        return false;
      }
      pattern = 0;
      for (int i = 0; i < 4; ++i) {
        int index = ComponentIndex(swizzle[std::min<size_t>(i, swizzle.size() - 1)]);
        if (index < 0) {
          Error("bad swizzle in '" + original + "'");
          return false;
        }
        pattern |= DWORD(index) << (2 * i);
      }
    }
    *token = kParameterBit | (DWORD(type) << kRegisterTypeShift) | (pattern << 16) | modifier | relative | number;
    return true;
  }

  // def cN, x, y, z, w
  void Define(const std::string& rest) {
    std::vector<std::string> operands = SplitOperands(rest);
    RegisterType type;
    unsigned number;
    if (operands.size() != 5 || !Register(operands[0], &type, &number) || type != kConst) {
      Error("def takes a constant register and four numbers");
      return;
    }
    constants_.push_back(kConstantDeclaration | (1u << 25) | number);
    for (size_t i = 1; i < 5; ++i) {
      char* end = nullptr;
      float value = std::strtof(operands[i].c_str(), &end);
      if (operands[i].empty() || *end != 0) {
        Error("bad number '" + operands[i] + "'");
        return;
      }
      DWORD bits;
      std::memcpy(&bits, &value, sizeof(bits));
      constants_.push_back(bits);
    }
  }

  std::string fileName_;
  int line_ = 0;
  bool sawVersion_ = false;
  std::vector<DWORD> code_;
  std::vector<DWORD> constants_;
  std::string errors_;
};

HRESULT MakeBuffer(const void* bytes, size_t size, LPD3DXBUFFER* out) {
  HRESULT hr = D3DXCreateBuffer(static_cast<DWORD>(size), out);
  if (SUCCEEDED(hr) && size) std::memcpy((*out)->GetBufferPointer(), bytes, size);
  return hr;
}

HRESULT Assemble(const std::string& source, const std::string& fileName, LPD3DXBUFFER* constants,
                 LPD3DXBUFFER* compiledShader, LPD3DXBUFFER* compilationErrors) {
  if (constants) *constants = nullptr;
  if (compiledShader) *compiledShader = nullptr;
  if (compilationErrors) *compilationErrors = nullptr;
  Assembler assembler(fileName);
  if (!assembler.Run(source)) {
    if (compilationErrors) MakeBuffer(assembler.Errors().c_str(), assembler.Errors().size() + 1, compilationErrors);
    return D3DXERR_INVALIDDATA;
  }
  if (compiledShader) {
    HRESULT hr = MakeBuffer(assembler.Code().data(), assembler.Code().size() * sizeof(DWORD), compiledShader);
    if (FAILED(hr)) return hr;
  }
  if (constants && !assembler.Constants().empty()) {
    HRESULT hr = MakeBuffer(assembler.Constants().data(), assembler.Constants().size() * sizeof(DWORD), constants);
    if (FAILED(hr)) {
      if (compiledShader && *compiledShader) (*compiledShader)->Release(), *compiledShader = nullptr;
      return hr;
    }
  }
  return S_OK;
}

}  // namespace

HRESULT D3DXAssembleShader(LPCVOID srcData, UINT srcDataLen, DWORD flags, LPD3DXBUFFER* constants,
                           LPD3DXBUFFER* compiledShader, LPD3DXBUFFER* compilationErrors) {
  (void)flags;
  if (!srcData || srcDataLen == 0) return D3DERR_INVALIDCALL;
  return Assemble(std::string(static_cast<const char*>(srcData), srcDataLen), "memory", constants, compiledShader,
                  compilationErrors);
}

HRESULT D3DXAssembleShaderFromFileA(LPCSTR srcFile, DWORD flags, LPD3DXBUFFER* constants,
                                    LPD3DXBUFFER* compiledShader, LPD3DXBUFFER* compilationErrors) {
  (void)flags;
  if (compiledShader) *compiledShader = nullptr;
  if (!srcFile) return E_FAIL;
  std::ifstream file(srcFile, std::ios::binary);
  if (!file) return E_FAIL;
  std::ostringstream text;
  text << file.rdbuf();
  // Shader sources are a few kilobytes; anything huge is not one.
  if (text.str().size() > (1u << 20)) return D3DXERR_INVALIDDATA;
  return Assemble(text.str(), srcFile, constants, compiledShader, compilationErrors);
}

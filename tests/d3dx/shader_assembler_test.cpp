#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#include "platform/d3dx/d3dx8.h"
#include "tests/d3dx/test_images.h"

namespace {

std::vector<DWORD> Tokens(ID3DXBuffer* buffer) {
  const DWORD* t = static_cast<const DWORD*>(buffer->GetBufferPointer());
  return std::vector<DWORD>(t, t + buffer->GetBufferSize() / sizeof(DWORD));
}

HRESULT AssembleText(const std::string& text, ID3DXBuffer** code, ID3DXBuffer** constants = nullptr,
                     ID3DXBuffer** errors = nullptr) {
  return D3DXAssembleShader(text.data(), UINT(text.size()), 0, constants, code, errors);
}

}  // namespace

TEST(ShaderAssembler, EncodesInstructionsRegistersMasksAndSwizzles) {
  const std::string source =
      "; transform and light\n"
      "vs.1.1\n"
      "m4x4 oPos, v0, c4      // position\n"
      "dp3 r0.w, v3, -c[20]\n"
      "mov a0.x, r0.w\n"
      "mad oD0, c[a0.x + 2].xyzw, r0.w, c1.x\n"
      "mov oT0.xy, v7.yx\n"
      "nop\n";
  ID3DXBuffer* code = nullptr;
  ASSERT_EQ(S_OK, AssembleText(source, &code));
  ASSERT_NE(nullptr, code);
  const DWORD kParam = 0x80000000u;
  // Parameter tokens: bit 31, register type in bits 28-30, write mask or swizzle from bit 16,
  // negation at bit 24, relative addressing at bit 13, register number below.
  const std::vector<DWORD> expected = {
      0xFFFE0101u,
      20, kParam | (4u << 28) | 0xF0000u, kParam | (1u << 28) | 0xE40000u, kParam | (2u << 28) | 0xE40000u | 4,
      8, kParam | 0x80000u, kParam | (1u << 28) | 0xE40000u | 3, kParam | (2u << 28) | 0xE40000u | 0x1000000u | 20,
      1, kParam | (3u << 28) | 0x10000u, kParam | 0xFF0000u,
      4, kParam | (5u << 28) | 0xF0000u, kParam | (2u << 28) | 0xE40000u | 0x2000u | 2, kParam | 0xFF0000u,
      kParam | (2u << 28) | 1,
      1, kParam | (6u << 28) | 0x30000u, kParam | (1u << 28) | 0x010000u | 7,  // .yx reads y, x, x, x
      0,
      0x0000FFFFu};
  EXPECT_EQ(expected, Tokens(code));
  code->Release();
}

TEST(ShaderAssembler, DefinitionsGoToTheConstantsBuffer) {
  ID3DXBuffer* code = nullptr;
  ID3DXBuffer* constants = nullptr;
  ASSERT_EQ(S_OK, AssembleText("vs.1.0\ndef c7, 1.0, -2.5, 0, 4\nmov oPos, v0\n", &code, &constants));
  ASSERT_NE(nullptr, constants);
  std::vector<DWORD> c = Tokens(constants);
  ASSERT_EQ(5u, c.size());
  EXPECT_EQ(D3DVSD_CONST(7, 1), c[0]);
  float second;
  std::memcpy(&second, &c[2], sizeof(second));
  EXPECT_EQ(-2.5f, second);
  EXPECT_EQ(0xFFFE0100u, Tokens(code)[0]);
  code->Release();
  constants->Release();
}

TEST(ShaderAssembler, ErrorsAreReportedWithLineNumbers) {
  const char* bad[] = {
      "mov r0, v0\n",                  // no version
      "vs.1.1\nmov r0, v0, v1\n",      // operand count
      "vs.1.1\nfoo r0, v0\n",          // unknown instruction
      "vs.1.1\nmov v0, r0\n",          // input written
      "vs.1.1\nmov r0, oPos\n",        // output read
      "vs.1.1\nmov r12, v0\n",         // register range
      "vs.1.1\nmov r0.yx, v0\n",       // mask order
      "vs.1.1\nmov r0, v0.xq\n",       // swizzle
      "vs.1.1\nmov r0, c[a0.x + 900]\n",
      "vs.1.1\nadd a0.x, v0, v1\n",
      "ps.1.1\nmov r0, v0\n",
      "vs.1.1\ndef c0, 1, 2, three, 4\n",
  };
  for (const char* text : bad) {
    ID3DXBuffer* code = reinterpret_cast<ID3DXBuffer*>(1);
    ID3DXBuffer* errors = nullptr;
    EXPECT_EQ(D3DXERR_INVALIDDATA, AssembleText(text, &code, nullptr, &errors)) << text;
    EXPECT_EQ(nullptr, code);
    ASSERT_NE(nullptr, errors) << text;
    std::string message = static_cast<const char*>(errors->GetBufferPointer());
    EXPECT_NE(std::string::npos, message.find("error")) << message;
    errors->Release();
  }
  ID3DXBuffer* errors = nullptr;
  ID3DXBuffer* code = nullptr;
  AssembleText("vs.1.1\n\nmov r0, v99\n", &code, nullptr, &errors);
  ASSERT_NE(nullptr, errors);
  EXPECT_NE(std::string::npos, std::string(static_cast<const char*>(errors->GetBufferPointer())).find("memory(3)"));
  errors->Release();
}

TEST(ShaderAssembler, FromFile) {
  std::string dir = MakeTempDirectory();
  std::string path = dir + "/light.vsh";
  {
    std::ofstream out(path);
    out << "vs.1.1\r\nmov oPos, v0\r\nmov oD0, c0\r\n";
  }
  ID3DXBuffer* code = nullptr;
  ASSERT_EQ(S_OK, D3DXAssembleShaderFromFile(path.c_str(), 0, nullptr, &code, nullptr));
  EXPECT_EQ(8u, Tokens(code).size());
  code->Release();
  EXPECT_EQ(E_FAIL, D3DXAssembleShaderFromFile((dir + "/none.vsh").c_str(), 0, nullptr, &code, nullptr));
  EXPECT_EQ(nullptr, code);
  std::remove(path.c_str());
  std::remove(dir.c_str());
}

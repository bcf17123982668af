#include "engine/vertexshader.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "engine/gamecontext.h"
#include "tests/support/d3d8/recording_device.h"

namespace {

class VertexShaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_pDevice = new CRecordingDevice();
    m_Context.m_pd3dDevice = m_pDevice;
  }
  void TearDown() override { m_pDevice->Release(); }

  CRecordingDevice* m_pDevice = nullptr;
  CGameContext m_Context;
};

const float kTwoRegisters[8] = {1, 2, 3, 4, 5, 6, 7, 8};

TEST_F(VertexShaderTest, ConstantTable) {
  CVertexShader shader(&m_Context);
  EXPECT_EQ(S_OK, shader.UploadConstants());
  EXPECT_EQ(0u, m_pDevice->CallCount("SetVertexShaderConstant"));

  EXPECT_EQ(S_OK, shader.SetConstantCount(0));
  EXPECT_EQ(0u, shader.GetConstantCount());
  EXPECT_EQ(E_FAIL, shader.SetConstant(0, 0, kTwoRegisters, sizeof kTwoRegisters, 1));

  EXPECT_EQ(S_OK, shader.SetConstantCount(3));
  EXPECT_EQ(S_OK, shader.SetConstant(0, 4, kTwoRegisters, sizeof kTwoRegisters, 2));
  EXPECT_EQ(S_OK, shader.SetConstant(2, 10, kTwoRegisters, sizeof kTwoRegisters, 1));
  EXPECT_EQ(S_OK, shader.SetConstant(2, 11, kTwoRegisters + 4, 4 * sizeof(float), 1));  // replaces the first
  EXPECT_EQ(E_FAIL, shader.SetConstant(3, 0, kTwoRegisters, sizeof kTwoRegisters, 1));
  EXPECT_EQ(S_OK, shader.UploadConstants());

  const std::vector<D3DCallRecord> uploads = m_pDevice->CallsTo("SetVertexShaderConstant");
  ASSERT_EQ(2u, uploads.size());  // entry 1 was never set
  EXPECT_EQ(4u, uploads[0].values[0]);
  EXPECT_EQ(2u, uploads[0].values.back());
  EXPECT_EQ(11u, uploads[1].values[0]);
  EXPECT_EQ((std::vector<float>{5, 6, 7, 8}), m_pDevice->VertexShaderConstants().at(11));
  EXPECT_EQ(0u, m_pDevice->VertexShaderConstants().count(10));
  shader.Release();
  EXPECT_EQ(0u, shader.GetConstantCount());
}

TEST_F(VertexShaderTest, ConstantDataMustCoverItsRegisters) {
  CVertexShader shader(&m_Context);
  shader.SetConstantCount(1);
  EXPECT_EQ(E_FAIL, shader.SetConstant(0, 0, kTwoRegisters, sizeof kTwoRegisters, 3));
  EXPECT_EQ(E_FAIL, shader.SetConstant(0, 0, kTwoRegisters, 15, 1));
  EXPECT_EQ(E_FAIL, shader.SetConstant(0, 0, nullptr, 16, 1));
  EXPECT_EQ(S_OK, shader.UploadConstants());
  EXPECT_EQ(0u, m_pDevice->CallCount("SetVertexShaderConstant"));
  shader.Release();
}

TEST_F(VertexShaderTest, FailedCreateLeavesNoShaderAndCanBeRetriedWithoutLeaking) {
  CVertexShader shader(&m_Context);
  const DWORD kDeclaration[] = {0x20000000, 0x40020000, 0xFFFFFFFF};
  EXPECT_TRUE(FAILED(shader.Create("/nonexistent/shader.vsh", kDeclaration, sizeof kDeclaration)));
  EXPECT_EQ(0u, shader.GetHandle());
  EXPECT_TRUE(FAILED(shader.Create("/nonexistent/shader.vsh", kDeclaration, sizeof kDeclaration)));
  EXPECT_TRUE(FAILED(shader.Create(nullptr, kDeclaration, sizeof kDeclaration)));
  EXPECT_TRUE(FAILED(shader.Create("/nonexistent/shader.vsh", nullptr, 0)));
  // No code: restoring creates nothing.
  EXPECT_EQ(S_OK, shader.RestoreDeviceObjects());
  EXPECT_EQ(0u, m_pDevice->CallCount("CreateVertexShader"));
  EXPECT_EQ(0u, shader.GetHandle());
  shader.Release();
}

TEST_F(VertexShaderTest, CreateDeleteAndRestoreOnTheDevice) {
  char strDir[] = "/tmp/vantorel-vsh-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(strDir));
  const std::string strFile = std::string(strDir) + "/transform.vsh";
  FILE* pFile = std::fopen(strFile.c_str(), "w");
  ASSERT_NE(nullptr, pFile);
  std::fputs("vs.1.1\nm4x4 oPos, v0, c0\nmov oD0, c4\n", pFile);
  std::fclose(pFile);

  CVertexShader shader(&m_Context);
  const DWORD kDeclaration[] = {0x20000000, 0x40020000, 0xFFFFFFFF};
  const HRESULT hr = shader.Create(strFile.c_str(), kDeclaration, sizeof kDeclaration);
  std::remove(strFile.c_str());
  rmdir(strDir);
  ASSERT_EQ(S_OK, hr);
  const DWORD dwHandle = shader.GetHandle();
  EXPECT_NE(0u, dwHandle);
  EXPECT_EQ(E_FAIL, shader.Create(strFile.c_str(), kDeclaration, sizeof kDeclaration));

  EXPECT_EQ(S_OK, shader.DeleteDeviceObjects());
  EXPECT_EQ(0u, shader.GetHandle());
  EXPECT_EQ(1u, m_pDevice->CallCount("DeleteVertexShader"));
  EXPECT_EQ(S_OK, shader.RestoreDeviceObjects());
  EXPECT_NE(0u, shader.GetHandle());
  EXPECT_EQ(2u, m_pDevice->CallCount("CreateVertexShader"));
  shader.Release();
  EXPECT_EQ(0u, shader.GetHandle());
  EXPECT_EQ(2u, m_pDevice->CallCount("DeleteVertexShader"));
}

}  // namespace

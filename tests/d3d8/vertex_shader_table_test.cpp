#include "platform/d3d8/vertex_shader_table.h"

#include <gtest/gtest.h>

TEST(VertexShaderTable, KeepsDeclarationsUpToTheEndToken) {
  CVertexShaderTable table;
  const DWORD declaration[] = {D3DVSD_STREAM(0), D3DVSD_REG(D3DVSDE_POSITION, D3DVSDT_FLOAT3), D3DVSD_END(),
                               0x12345678u};
  const DWORD handle = table.Create(declaration);
  EXPECT_TRUE(table.Has(handle));
  ASSERT_NE(nullptr, table.Declaration(handle));
  EXPECT_EQ(3u, table.Declaration(handle)->size());  // the word after the end token is not read
  EXPECT_EQ(nullptr, table.Declaration(handle + 2));

  DWORD size = 0;
  EXPECT_EQ(S_OK, table.CopyDeclaration(handle, nullptr, &size));
  EXPECT_EQ(3 * sizeof(DWORD), size);
  DWORD copy[3] = {};
  size = 2 * sizeof(DWORD);
  EXPECT_EQ(D3DERR_MOREDATA, table.CopyDeclaration(handle, copy, &size));
  EXPECT_EQ(3 * sizeof(DWORD), size);
  EXPECT_EQ(0u, copy[0]);
  EXPECT_EQ(S_OK, table.CopyDeclaration(handle, copy, &size));
  EXPECT_EQ(D3DVSD_END(), copy[2]);
  EXPECT_EQ(D3DERR_INVALIDCALL, table.CopyDeclaration(handle, copy, nullptr));

  EXPECT_TRUE(table.Delete(handle));
  EXPECT_FALSE(table.Delete(handle));
  EXPECT_EQ(D3DERR_INVALIDCALL, table.CopyDeclaration(handle, nullptr, &size));
}

TEST(VertexShaderTable, ConstantsNeverSetReadAsZero) {
  CVertexShaderTable table;
  const float values[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  table.SetConstants(10, values, 2);
  float read[12];
  for (float& v : read) v = -1.0f;
  table.GetConstants(9, read, 3);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(0.0f, read[k]);
  for (int k = 0; k < 8; ++k) EXPECT_EQ(values[k], read[4 + k]);
  EXPECT_EQ(2u, table.Constants().size());
}

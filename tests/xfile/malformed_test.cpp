// Damaged .x data must fail cleanly: no crash, no huge allocation, no mesh.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/xfile/d3dx8mesh.h"
#include "tests/support/d3d8/recording_device.h"
#include "tests/xfile/sample_meshes.h"

namespace {

class MalformedTest : public ::testing::Test {
 protected:
  void SetUp() override { m_device = new CRecordingDevice(); }
  void TearDown() override {
    EXPECT_EQ(0u, m_device->LiveResourceCount());
    m_device->Release();
  }

  HRESULT Load(const std::vector<uint8_t>& bytes) {
    ID3DXMesh* mesh = nullptr;
    ID3DXBuffer* adjacency = nullptr;
    ID3DXBuffer* materials = nullptr;
    DWORD count = 0;
    HRESULT hr = D3DXLoadMeshFromXInMemory(bytes.empty() ? "" : static_cast<const void*>(bytes.data()),
                                           static_cast<DWORD>(bytes.size()), D3DXMESH_SYSTEMMEM, m_device,
                                           &adjacency, &materials, &count, &mesh);
    if (FAILED(hr)) {
      EXPECT_EQ(nullptr, mesh);
      EXPECT_EQ(nullptr, adjacency);
      EXPECT_EQ(nullptr, materials);
      EXPECT_EQ(0u, count);
    }
    if (mesh) mesh->Release();
    if (adjacency) adjacency->Release();
    if (materials) materials->Release();
    return hr;
  }
  HRESULT LoadText(const std::string& text) { return Load(xfile_test::Bytes(text)); }

  CRecordingDevice* m_device = nullptr;
};

TEST_F(MalformedTest, EveryTruncationFails) {
  const xfile::XMeshData cube = xfile_test::Cube(true, true, true);
  const std::string text = xfile::WriteXText(cube);
  const std::vector<std::vector<uint8_t>> forms = {xfile::WriteXBinary(cube), xfile::WriteXCompressed(cube, true),
                                                   std::vector<uint8_t>(text.begin(), text.end() - 1)};  // without the last newline
  for (const auto& full : forms) {
    ASSERT_EQ(S_OK, Load(full));
    for (size_t n = 0; n < full.size(); ++n) {
      const std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
      ASSERT_TRUE(FAILED(Load(cut))) << "cut at " << n << " of " << full.size();
    }
  }
}

TEST_F(MalformedTest, InconsistentMeshesFail) {
  const std::string head = "xof 0303txt 0032\nMesh {\n";
  // A good triangle first, so the failures below are the mistakes they show.
  EXPECT_EQ(S_OK, LoadText(head + "3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }"));
  EXPECT_NE(S_OK, LoadText(head + "3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,3;; }")) << "index out of range";
  EXPECT_NE(S_OK, LoadText(head + "3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 2;0,1;; }")) << "face of two corners";
  EXPECT_NE(S_OK, LoadText(head + "4; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }")) << "fewer vertices than counted";
  EXPECT_NE(S_OK, LoadText(head + "3; 0;0;0;, 1;0;0;, 0;1;0;; 2; 3;0,1,2;; }")) << "fewer faces than counted";
  EXPECT_NE(S_OK, LoadText(head + "4294967295; 0;0;0;; 1; 3;0,0,0;; }")) << "giant count";
  EXPECT_NE(S_OK, LoadText(head + "0;; 0;; }")) << "empty mesh";
  EXPECT_NE(S_OK, LoadText("xof 0303txt 0032\nFrame { }")) << "no mesh at all";
  const std::string tri = head + "3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n";
  EXPECT_NE(S_OK, LoadText(tri + "MeshNormals { 1; 0;0;1;; 1; 3;0,0,1;; } }")) << "normal index out of range";
  EXPECT_NE(S_OK, LoadText(tri + "MeshNormals { 1; 0;0;1;; 2; 3;0,0,0;, 3;0,0,0;; } }")) << "normal faces differ";
  EXPECT_NE(S_OK, LoadText(tri + "MeshNormals { 1; 0;0;1;; 1; 4;0,0,0,0;; } }")) << "normal face corners differ";
  EXPECT_NE(S_OK, LoadText(tri + "MeshTextureCoords { 2; 0;0;, 1;1;; } }")) << "too few texture coordinates";
  EXPECT_NE(S_OK, LoadText(tri + "MeshMaterialList { 1; 1; 1;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } } }"))
      << "material index out of range";
  EXPECT_NE(S_OK, LoadText(tri + "MeshMaterialList { 2; 1; 1;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } } }"))
      << "fewer materials than counted";
  EXPECT_NE(S_OK, LoadText(tri + "MeshMaterialList { 1; 1; 0;; { Nowhere } } }")) << "dangling reference";
  EXPECT_NE(S_OK, LoadText(tri + "MeshVertexColors { 1; 5; 1;1;1;1;; } }")) << "colour of a missing vertex";
  EXPECT_EQ(S_OK, LoadText(tri + "MeshVertexColors { 1; 2; 1;0;0;1;; } }"));
}

std::vector<uint8_t> Patch32(std::vector<uint8_t> bytes, size_t offset, uint32_t value) {
  std::memcpy(bytes.data() + offset, &value, 4);
  return bytes;
}

TEST_F(MalformedTest, DamagedBinaryAndCompressedData) {
  const xfile::XMeshData cube = xfile_test::Cube(true, true, true);
  const std::vector<uint8_t> binary = xfile::WriteXBinary(cube);
  // Header 16, Name token "Mesh" (2+4+4), Name "Cube" (2+4+4), '{' (2), integer list token (2), count (4).
  const size_t firstListCount = 16 + 10 + 10 + 2 + 2;
  EXPECT_NE(S_OK, Load(Patch32(binary, firstListCount, 0x7fffffff))) << "list longer than the file";
  EXPECT_NE(S_OK, Load(Patch32(binary, firstListCount + 4, 0xffffffff))) << "vertex count beyond the file";

  const std::vector<uint8_t> compressed = xfile::WriteXCompressed(cube, true);
  ASSERT_EQ(S_OK, Load(compressed));
  EXPECT_NE(S_OK, Load(Patch32(compressed, 16, 0xffffffff))) << "declared size beyond any limit";
  EXPECT_NE(S_OK, Load(Patch32(compressed, 16, 100))) << "declared size smaller than the blocks";
  std::vector<uint8_t> badSignature = compressed;
  badSignature[24] = 'X';  // "CK" after u32 total, u16 sizes
  EXPECT_NE(S_OK, Load(badSignature));
  std::vector<uint8_t> garbage = compressed;
  for (size_t i = 26; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(i * 131u + 7u);
  EXPECT_NE(S_OK, Load(garbage)) << "block that inflates to garbage";
  std::vector<uint8_t> wrongSize = compressed;
  wrongSize[20] = static_cast<uint8_t>(wrongSize[20] + 1);  // block's uncompressed size off by one
  EXPECT_NE(S_OK, Load(wrongSize));
}

TEST_F(MalformedTest, RandomDamageNeverCrashes) {
  const xfile::XMeshData cube = xfile_test::Cube(true, true, true);
  const std::string text = xfile::WriteXText(cube);
  const std::vector<std::vector<uint8_t>> forms = {xfile::WriteXBinary(cube), xfile::WriteXCompressed(cube, true),
                                                   xfile_test::Bytes(text),
                                                   xfile_test::Bytes(xfile_test::FramesFile())};
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  for (const auto& original : forms) {
    for (int round = 0; round < 400; ++round) {
      std::vector<uint8_t> damaged = original;
      const int edits = 1 + static_cast<int>(next() % 4);
      for (int e = 0; e < edits; ++e) {
        const size_t at = 16 + next() % (damaged.size() - 16);
        switch (next() % 3) {
          case 0: damaged[at] = static_cast<uint8_t>(next()); break;
          case 1: damaged[at] ^= static_cast<uint8_t>(1u << (next() % 8)); break;
          default: damaged[at] = static_cast<uint8_t>(next() % 2 ? 0xff : 0x00); break;
        }
      }
      Load(damaged);  // either result is fine; the sanitizers watch the rest
    }
  }
}

}  // namespace

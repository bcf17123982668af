// Every mesh parses with the platform's .x reader into the subsets the scene objects draw.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "platform/xfile/dxfile.h"
#include "platform/xfile/x_mesh_loader.h"
#include "tests/assets/resource_library.h"

namespace assettest {
namespace {

struct Parsed {
  bool ok = false;
  xfile::LoadedMesh mesh;
};

Parsed Parse(const std::vector<uint8_t>& bytes) {
  Parsed parsed;
  LPDIRECTXFILE file = nullptr;
  if (FAILED(DirectXFileCreate(&file))) return parsed;
  DXFILELOADMEMORY memory{const_cast<uint8_t*>(bytes.data()), static_cast<DWORD>(bytes.size())};
  LPDIRECTXFILEENUMOBJECT enumObject = nullptr;
  if (SUCCEEDED(file->CreateEnumObject(&memory, DXFILELOAD_FROMMEMORY, &enumObject))) {
    parsed.ok = SUCCEEDED(xfile::AppendXFile(enumObject, parsed.mesh));
    if (parsed.ok) xfile::FinishLoadedMesh(parsed.mesh);
    enumObject->Release();
  }
  file->Release();
  return parsed;
}

struct Vec {
  float x, y, z;
};
Vec Position(const xfile::LoadedMesh& m, uint32_t i) { return {m.positions[3 * i], m.positions[3 * i + 1], m.positions[3 * i + 2]}; }
Vec Normal(const xfile::LoadedMesh& m, uint32_t i) { return {m.normals[3 * i], m.normals[3 * i + 1], m.normals[3 * i + 2]}; }

// Faces per subset.
std::vector<size_t> SubsetFaces(const xfile::LoadedMesh& m) {
  std::vector<size_t> counts(m.materials.size(), 0);
  for (uint32_t a : m.attributes)
    if (a < counts.size()) ++counts[a];
  return counts;
}

class Meshes : public ::testing::TestWithParam<std::string> {};

TEST_P(Meshes, ParseWithNormalsTextureCoordinatesAndFrontFaces) {
  ResourceLibrary library;
  const Parsed parsed = Parse(library.Read(GetParam()));
  ASSERT_TRUE(parsed.ok) << GetParam();
  const xfile::LoadedMesh& m = parsed.mesh;
  EXPECT_TRUE(m.hasNormals);
  EXPECT_TRUE(m.hasTexcoords);
  ASSERT_GT(m.indices.size(), 0u);
  for (uint32_t v : m.indices) {
    const Vec n = Normal(m, v);
    ASSERT_NEAR(n.x * n.x + n.y * n.y + n.z * n.z, 1.0f, 1e-3f) << "vertex " << v;
  }
  // Clockwise faces seen from the side the normals point to (left-handed front faces).
  size_t backwards = 0;
  for (size_t f = 0; f + 2 < m.indices.size(); f += 3) {
    const Vec a = Position(m, m.indices[f]), b = Position(m, m.indices[f + 1]), c = Position(m, m.indices[f + 2]);
    const Vec e1{b.x - a.x, b.y - a.y, b.z - a.z}, e2{c.x - a.x, c.y - a.y, c.z - a.z};
    const Vec cross{e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x};
    const Vec n = Normal(m, m.indices[f]);
    backwards += cross.x * n.x + cross.y * n.y + cross.z * n.z < 0;
  }
  EXPECT_EQ(backwards, 0u);
}

INSTANTIATE_TEST_SUITE_P(AllMeshes, Meshes, ::testing::ValuesIn(MeshNames()));

TEST(MeshLayout, AllThreeFileFormsAreInUse) {
  ResourceLibrary library;
  auto header = [&](const char* name) {
    const std::vector<uint8_t> bytes = library.Read(name);
    return bytes.size() < 16 ? std::string() : std::string(bytes.begin() + 8, bytes.begin() + 12);
  };
  EXPECT_EQ(header("SPHERE0"), "txt ");
  EXPECT_EQ(header("MouseModel"), "bin ");
  EXPECT_EQ(header("PlateFloor"), "bzip");
}

TEST(MeshLayout, SpheresAreCentredAboveTheCellWithOneTexturedSubset) {
  ResourceLibrary library;
  size_t faces[2] = {0, 0};
  for (int k = 0; k < 2; ++k) {
    const Parsed parsed = Parse(library.Read(k ? "SPHERE1" : "SPHERE0"));
    ASSERT_TRUE(parsed.ok);
    const xfile::LoadedMesh& m = parsed.mesh;
    ASSERT_EQ(m.materials.size(), 1u);
    EXPECT_FALSE(m.materials[0].textureFilename.empty());
    for (size_t v = 0; v < m.VertexCount(); ++v) {
      const Vec p = Position(m, static_cast<uint32_t>(v));
      EXPECT_NEAR(std::sqrt(p.x * p.x + (p.y - 0.8f) * (p.y - 0.8f) + p.z * p.z), 0.4f, 1e-3f);
    }
    faces[k] = m.attributes.size();
  }
  EXPECT_GT(faces[1], faces[0] * 2) << "SPHERE1 should be the finer one";
}

TEST(MeshLayout, FloorHasPlatesSlabAndBase) {
  ResourceLibrary library;
  const Parsed parsed = Parse(library.Read("PlateFloor"));
  ASSERT_TRUE(parsed.ok);
  const xfile::LoadedMesh& m = parsed.mesh;
  ASSERT_EQ(m.materials.size(), 3u);
  for (size_t faces : SubsetFaces(m)) EXPECT_GT(faces, 0u);
  // Each of the 81 cells has a plate top between 0.35 and 0.37 filling most of the cell's 1.0 x 1.0.
  float top[9][9] = {};
  float lo = 1e9f, hi = -1e9f;
  for (size_t f = 0; f < m.attributes.size(); ++f) {
    for (int k = 0; k < 3; ++k) {
      const Vec p = Position(m, m.indices[3 * f + static_cast<size_t>(k)]);
      if (m.attributes[f] == 0) {
        const int i = static_cast<int>(std::lround(p.x / 1.1f)) + 4, j = static_cast<int>(std::lround(p.z / 1.1f)) + 4;
        ASSERT_TRUE(i >= 0 && i < 9 && j >= 0 && j < 9);
        EXPECT_LE(std::fabs(p.x - (i - 4) * 1.1f), 0.5001f);
        EXPECT_LE(std::fabs(p.z - (j - 4) * 1.1f), 0.5001f);
        top[i][j] = std::max(top[i][j], p.y);
      }
      if (m.attributes[f] == 1) lo = std::min(lo, p.x), hi = std::max(hi, p.x);
    }
  }
  for (auto& column : top)
    for (float y : column) {
      EXPECT_GE(y, 0.35f);
      EXPECT_LE(y, 0.3701f);
    }
  // The whole-floor slab spans the board.
  EXPECT_NEAR(lo, -4.95f, 0.01f);
  EXPECT_NEAR(hi, 4.95f, 0.01f);
  EXPECT_EQ(m.materials[2].textureFilename, "PlateFloor01");
}

TEST(MeshLayout, RoomHasSixSubsetsCausticsFirstSkyLast) {
  ResourceLibrary library;
  const Parsed parsed = Parse(library.Read("Environ"));
  ASSERT_TRUE(parsed.ok);
  const xfile::LoadedMesh& m = parsed.mesh;
  ASSERT_EQ(m.materials.size(), 6u);
  for (size_t faces : SubsetFaces(m)) EXPECT_GT(faces, 0u);
  const char* textures[6] = {"Caust00", "WallWall", "FloorWall", "BordurWall", "GroundEnvHi", "SkyEnviron"};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(m.materials[static_cast<size_t>(k)].textureFilename, textures[k]);
  for (size_t f = 0; f < m.attributes.size(); ++f) {
    const uint32_t v = m.indices[3 * f];
    const Vec p = Position(m, v), n = Normal(m, v);
    if (m.attributes[f] == 5) {
      // The sky is seen from inside: far away, lit by a light at the centre.
      EXPECT_GT(std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z), 100.0f);
      EXPECT_LT(p.x * n.x + p.y * n.y + p.z * n.z, 0.0f);
    }
    if (m.attributes[f] == 0) {
      // The caustic layer lies flat under the board, around the pedestal.
      EXPECT_NEAR(n.y, 1.0f, 1e-4f);
      EXPECT_LT(p.y, 0.3f);
    }
  }
}

TEST(MeshLayout, CursorIsSmallWithItsTipAtTheOrigin) {
  ResourceLibrary library;
  const Parsed parsed = Parse(library.Read("MouseModel"));
  ASSERT_TRUE(parsed.ok);
  float extent = 0, nearest = 1e9f;
  for (size_t v = 0; v < parsed.mesh.VertexCount(); ++v) {
    const Vec p = Position(parsed.mesh, static_cast<uint32_t>(v));
    const float d = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
    extent = std::max(extent, d);
    nearest = std::min(nearest, d);
  }
  EXPECT_LT(extent, 1.0f);
  EXPECT_LT(nearest, 1e-4f);
}

}  // namespace
}  // namespace assettest

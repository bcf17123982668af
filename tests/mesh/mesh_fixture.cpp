#include "mesh_fixture.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "tools/pewriter/pe_writer.h"

namespace mesh_test {

xfile::XMeshData Strip() {
  xfile::XMeshData mesh;
  mesh.name = "Strip";
  for (int x = 0; x <= 6; ++x) {
    mesh.positions.push_back({float(x), 0.0f, 0.0f});
    mesh.positions.push_back({float(x), 1.0f, 0.0f});
  }
  for (uint32_t q = 0; q < 6; ++q) {
    mesh.faces.push_back({2 * q, 2 * q + 1, 2 * q + 3, 2 * q + 2});
    mesh.faceMaterials.push_back(q % 3);
  }
  for (int m = 0; m < 3; ++m) {
    xfile::XMaterialData material;
    material.diffuse[0] = 0.25f * m;
    material.diffuse[1] = 0.5f;
    material.diffuse[2] = 1.0f;
    material.diffuse[3] = 0.5f + 0.25f * m;
    mesh.materials.push_back(material);
  }
  return mesh;
}

// A 2 x 2 24-bit bitmap file: a 14-byte file header, a 40-byte info header, two
// rows of two pixels padded to 8 bytes.
std::vector<uint8_t> TinyBitmap() {
  std::vector<uint8_t> bmp(70, 0);
  const uint8_t head[] = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0,
                          2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0};
  const uint8_t rows[] = {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0};
  for (size_t i = 0; i < sizeof(head); ++i) bmp[i] = head[i];
  for (size_t i = 0; i < sizeof(rows); ++i) bmp[54 + i] = rows[i];
  return bmp;
}

void MeshFixture::SetUp() {
  char pattern[] = "/tmp/vantorel-mesh-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(pattern));
  dir = pattern;
  library = Path("res.dll");
  const std::string strip = xfile::WriteXText(Strip());
  xfile::XMeshData mouse = Strip();
  mouse.faceMaterials.assign(6, 0);
  const std::vector<uint8_t> mouseBytes = xfile::WriteXBinary(mouse);
  const std::string broken = "xof 0302txt 0032\nMesh Broken {\n 3;\n 0.0;0.0;0.0;,\n";
  std::string error;
  ASSERT_TRUE(WriteResourceDll(library,
                               {{"SPHERE0", std::vector<uint8_t>(strip.begin(), strip.end())},
                                {"MouseModel", mouseBytes},
                                {"Tex", TinyBitmap()},
                                {"Broken", std::vector<uint8_t>(broken.begin(), broken.end())}},
                               &error))
      << error;
  log = std::fopen(Path("file.log").c_str(), "w+");
  ASSERT_NE(nullptr, log);
  device = new DrawRecordingDevice();
  context.m_pd3dDevice = device;
  context.m_strResLib = library.c_str();
  context.m_pLog = log;
  context.m_pMeshCache = new CMeshCache();
  context.m_pLocalMeshCache = new CMeshCache();
  context.m_pTextureCache = new CTextureCache();
}

void MeshFixture::TearDown() {
  for (CMeshCache* cache : {context.m_pLocalMeshCache, context.m_pMeshCache}) {
    if (cache) cache->Clear();
    delete cache;
  }
  if (context.m_pTextureCache) context.m_pTextureCache->Clear();
  delete context.m_pTextureCache;
  context.m_pMeshCache = context.m_pLocalMeshCache = nullptr;
  context.m_pTextureCache = nullptr;
  context.m_pd3dDevice = nullptr;
  context.m_pLog = nullptr;
  if (device) {
    EXPECT_EQ(0u, device->LiveResourceCount());
    EXPECT_EQ(0u, device->Release());
  }
  if (log) std::fclose(log);
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* entry = readdir(d))
      if (entry->d_name[0] != '.') unlink(Path(entry->d_name).c_str());
    closedir(d);
  }
  rmdir(dir.c_str());
}

std::string MeshFixture::LogText() {
  std::fflush(log);
  std::ifstream in(Path("file.log"));
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void MeshFixture::WriteFile(const std::string& name, const std::string& text) {
  std::ofstream out(Path(name), std::ios::binary);
  out << text;
}

}  // namespace mesh_test

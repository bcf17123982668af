#include "tests/support/quad_row_mesh.h"

#include <string>

#include "platform/xfile/xfile_writer.h"

std::vector<uint8_t> QuadRowMesh(int nQuads, int nMaterials) {
  xfile::XMeshData mesh;
  for (int x = 0; x <= nQuads; ++x) {
    mesh.positions.push_back({float(x), 0.0f, 0.0f});
    mesh.positions.push_back({float(x), 1.0f, 0.0f});
  }
  for (uint32_t q = 0; q < uint32_t(nQuads); ++q) {
    mesh.faces.push_back({2 * q, 2 * q + 1, 2 * q + 3, 2 * q + 2});
    mesh.faceMaterials.push_back(q % uint32_t(nMaterials));
  }
  for (int m = 0; m < nMaterials; ++m) {
    xfile::XMaterialData material;
    material.diffuse[0] = 0.5f;
    material.diffuse[3] = 1.0f;
    mesh.materials.push_back(material);
  }
  const std::string text = xfile::WriteXText(mesh);
  return std::vector<uint8_t>(text.begin(), text.end());
}

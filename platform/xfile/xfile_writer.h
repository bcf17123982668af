// Writes one mesh as a .x file in text, binary or MSZIP-compressed form (for the asset
// tools and the tests). Only the standard templates are used, so no template is declared.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace xfile {

struct XMaterialData {
  float diffuse[4] = {1, 1, 1, 1};
  float power = 0;
  float specular[3] = {0, 0, 0};
  float emissive[3] = {0, 0, 0};
  std::string textureFilename;  // empty: none
};

struct XMeshData {
  std::string name;  // empty: unnamed
  std::vector<std::array<float, 3>> positions;
  std::vector<std::vector<uint32_t>> faces;  // three or more position indices each
  // Optional: normals with one index list per face (same corner counts as faces).
  std::vector<std::array<float, 3>> normals;
  std::vector<std::vector<uint32_t>> normalFaces;
  // Optional: one per position.
  std::vector<std::array<float, 2>> texcoords;
  // Optional: materials and one material index per face.
  std::vector<XMaterialData> materials;
  std::vector<uint32_t> faceMaterials;
};

std::string WriteXText(const XMeshData& mesh);
std::vector<uint8_t> WriteXBinary(const XMeshData& mesh, bool doublePrecision = false);
// "tzip" (binary false) or "bzip" of the same content.
std::vector<uint8_t> WriteXCompressed(const XMeshData& mesh, bool binary = true);
// Any complete uncompressed .x file ("txt " or "bin ") in its compressed form; empty on bad input.
std::vector<uint8_t> CompressXFile(const std::vector<uint8_t>& file);

}  // namespace xfile

// Meshes and .x files shared by the .x tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/xfile/xfile_writer.h"

namespace xfile_test {

// A unit cube of six quads. withNormals: one normal per side (so every corner splits into
// three vertices); materials: three, assigned to the sides as {2, 0, 1, 0, 2, 1}.
xfile::XMeshData Cube(bool withNormals, bool withMaterials, bool withTexcoords);

std::vector<uint8_t> Bytes(const std::string& text);

// Text file with a declared template, a top-level material, nested frames with
// transforms, a mesh that references the material, and a data object of the declared template.
std::string FramesFile();

}  // namespace xfile_test

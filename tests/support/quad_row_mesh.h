// A small .x mesh for scene-object tests: a row of unit quads in the x-y plane.
#pragma once

#include <cstdint>
#include <vector>

// The text .x file of `nQuads` quads in a row, quad q with material q % nMaterials
// (every material a half red diffuse, opaque).
std::vector<uint8_t> QuadRowMesh(int nQuads, int nMaterials);

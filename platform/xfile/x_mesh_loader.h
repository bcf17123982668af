// Turns Mesh data objects of an .x file (and the meshes inside Frames) into one list of
// triangles with per-vertex position, normal, colour and texture coordinate.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3d8/d3d8types.h"
#include "platform/xfile/dxfile.h"

namespace xfile {

struct LoadedMaterial {
  D3DMATERIAL8 material{};
  std::string textureFilename;
};

struct LoadedMesh {
  std::vector<float> positions;  // 3 per vertex
  std::vector<float> normals;    // 3 per vertex, when hasNormals
  std::vector<float> texcoords;  // 2 per vertex, when hasTexcoords
  std::vector<uint32_t> colors;  // D3DCOLOR per vertex, when hasColors
  bool hasNormals = false;
  bool hasTexcoords = false;
  bool hasColors = false;
  std::vector<uint32_t> indices;     // 3 per triangle
  std::vector<uint32_t> attributes;  // per triangle: material index
  std::vector<LoadedMaterial> materials;
  size_t meshCount = 0;

  size_t VertexCount() const { return positions.size() / 3; }
};

// Adds the object (a Mesh, or a Frame with its children) to out, moved by the 4x4 row-major
// matrix. Fails on any inconsistency (counts, indices out of range, faces under three corners).
HRESULT AppendXObject(IDirectXFileData* object, const float matrix[16], LoadedMesh& out);

// Every top-level object of an opened file.
HRESULT AppendXFile(IDirectXFileEnumObject* file, LoadedMesh& out);

// Gives the faces of meshes that had no material list their attribute: 0 when no mesh
// had materials, else a default material appended for them.
void FinishLoadedMesh(LoadedMesh& mesh);

}  // namespace xfile

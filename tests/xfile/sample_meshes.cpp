#include "tests/xfile/sample_meshes.h"

namespace xfile_test {

xfile::XMeshData Cube(bool withNormals, bool withMaterials, bool withTexcoords) {
  xfile::XMeshData m;
  m.name = "Cube";
  for (uint32_t i = 0; i < 8; ++i) {
    m.positions.push_back({static_cast<float>(i & 1), static_cast<float>((i >> 1) & 1), static_cast<float>((i >> 2) & 1)});
  }
  // Sides -z, +z, -x, +x, -y, +y; every edge runs opposite ways in its two sides.
  m.faces = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 4, 6, 2}, {1, 3, 7, 5}, {0, 1, 5, 4}, {2, 6, 7, 3}};
  if (withNormals) {
    m.normals = {{0, 0, -1}, {0, 0, 1}, {-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}};
    for (uint32_t f = 0; f < 6; ++f) m.normalFaces.push_back({f, f, f, f});
  }
  if (withTexcoords) {
    for (uint32_t i = 0; i < 8; ++i) m.texcoords.push_back({0.25f * static_cast<float>(i % 4), 0.5f * static_cast<float>(i / 4)});
  }
  if (withMaterials) {
    for (int i = 0; i < 3; ++i) {
      xfile::XMaterialData mat;
      mat.diffuse[0] = 0.1f * static_cast<float>(i + 1);
      mat.diffuse[3] = i == 1 ? 0.5f : 1.0f;
      mat.power = 4.0f * static_cast<float>(i);
      if (i == 2) mat.textureFilename = "side.png";
      m.materials.push_back(mat);
    }
    m.faceMaterials = {2, 0, 1, 0, 2, 1};
  }
  return m;
}

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::string FramesFile() {
  return R"(xof 0303txt 0032
# A template of the file's own.
template Labelled {
  <12345678-1234-1234-1234-123456789ABC>
  DWORD value;
  STRING label;
  array WORD pair[2];
}

Material SharedRed {
  1.0;0.0;0.0;1.0;;
  5.0;
  0.0;0.0;0.0;;
  0.0;0.0;0.0;;
  TextureFilename { "red.png"; }
}

Frame A {
  FrameTransformMatrix {
    1.0,0.0,0.0,0.0,
    0.0,1.0,0.0,0.0,
    0.0,0.0,1.0,0.0,
    1.0,0.0,0.0,1.0;;
  }
  Frame A1 {
    FrameTransformMatrix {
      1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, 0.0,1.0,0.0,1.0;;
    }
    Mesh Tri {
      3;
      0.0;0.0;0.0;,
      1.0;0.0;0.0;,
      0.0;1.0;0.0;;
      1;
      3;0,1,2;;
      MeshMaterialList {
        1;
        1;
        0;;
        { SharedRed }
      }
    }
  }
  Frame A2 {
  }
}

// Another top-level frame holding data of the file's template.
Frame B {
  Labelled Extra { 7; "seven"; 3, 4;; }
}
)";
}

}  // namespace xfile_test

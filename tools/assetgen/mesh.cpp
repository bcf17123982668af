#include "tools/assetgen/mesh.h"

#include <cmath>
#include <cstdio>

#include "platform/xfile/xfile_writer.h"

namespace assetgen {

Vec3 operator+(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator-(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator*(const Vec3& a, float k) { return {a.x * k, a.y * k, a.z * k}; }
Vec3 Cross(const Vec3& a, const Vec3& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
float Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Normalized(const Vec3& v) {
  const float len = std::sqrt(Dot(v, v));
  return len > 0 ? v * (1.0f / len) : v;
}

int Mesh::AddVertex(const Vertex& v) {
  vertices_.push_back(v);
  return static_cast<int>(vertices_.size()) - 1;
}

void Mesh::AddTriangle(int subset, int a, int b, int c) {
  const Vertex &va = vertices_[static_cast<size_t>(a)], &vb = vertices_[static_cast<size_t>(b)],
               &vc = vertices_[static_cast<size_t>(c)];
  const Vec3 facing = Cross(vb.position - va.position, vc.position - va.position);
  const Vec3 wanted = va.normal + vb.normal + vc.normal;
  // In a left-handed system a clockwise front face has (b - a) x (c - a) toward the viewer.
  if (Dot(facing, wanted) < 0)
    faces_.push_back({a, c, b, subset});
  else
    faces_.push_back({a, b, c, subset});
}

void Mesh::AddQuad(int subset, const Vec3 corners[4], const float uv[4][2], const Vec3* facing) {
  Vec3 normal = Normalized(Cross(corners[1] - corners[0], corners[2] - corners[0]));
  if (facing && Dot(normal, *facing) < 0) normal = normal * -1.0f;
  int index[4];
  for (int i = 0; i < 4; ++i) index[i] = AddVertex({corners[i], normal, uv[i][0], uv[i][1]});
  AddTriangle(subset, index[0], index[1], index[2]);
  AddTriangle(subset, index[0], index[2], index[3]);
}

int Mesh::AddMaterial(const MeshMaterial& material) {
  materials_.push_back(material);
  return static_cast<int>(materials_.size()) - 1;
}

namespace {

void Append(std::string& out, const char* format, double a, double b, double c, const char* end) {
  char line[128];
  std::snprintf(line, sizeof line, format, a, b, c, end);
  out += line;
}

}  // namespace

std::string Mesh::ToText(const std::string& meshName) const {
  std::string out = "xof 0303txt 0032\n\n";
  out += "Mesh " + meshName + " {\n " + std::to_string(vertices_.size()) + ";\n";
  for (size_t i = 0; i < vertices_.size(); ++i) {
    const Vec3& p = vertices_[i].position;
    Append(out, " %.5f;%.5f;%.5f;%s\n", p.x, p.y, p.z, i + 1 < vertices_.size() ? "," : ";");
  }
  auto faceList = [this](std::string& text) {
    text += " " + std::to_string(faces_.size()) + ";\n";
    for (size_t i = 0; i < faces_.size(); ++i)
      text += " 3;" + std::to_string(faces_[i].a) + "," + std::to_string(faces_[i].b) + "," +
              std::to_string(faces_[i].c) + (i + 1 < faces_.size() ? ";,\n" : ";;\n");
  };
  faceList(out);
  out += "\n MeshNormals {\n " + std::to_string(vertices_.size()) + ";\n";
  for (size_t i = 0; i < vertices_.size(); ++i) {
    const Vec3& n = vertices_[i].normal;
    Append(out, " %.5f;%.5f;%.5f;%s\n", n.x, n.y, n.z, i + 1 < vertices_.size() ? "," : ";");
  }
  faceList(out);
  out += " }\n\n MeshTextureCoords {\n " + std::to_string(vertices_.size()) + ";\n";
  for (size_t i = 0; i < vertices_.size(); ++i) {
    char line[96];
    std::snprintf(line, sizeof line, " %.5f;%.5f;%s\n", vertices_[i].u, vertices_[i].v,
                  i + 1 < vertices_.size() ? "," : ";");
    out += line;
  }
  out += " }\n\n MeshMaterialList {\n " + std::to_string(materials_.size()) + ";\n " +
         std::to_string(faces_.size()) + ";\n";
  for (size_t i = 0; i < faces_.size(); ++i)
    out += " " + std::to_string(faces_[i].subset) + (i + 1 < faces_.size() ? ",\n" : ";\n");
  for (const MeshMaterial& m : materials_) {
    char text[256];
    std::snprintf(text, sizeof text, "\n  Material {\n   %.4f;%.4f;%.4f;%.4f;;\n   %.4f;\n   0.0000;0.0000;0.0000;;\n   0.0000;0.0000;0.0000;;\n",
                  m.r, m.g, m.b, m.a, m.power);
    out += text;
    if (!m.texture.empty()) out += "\n   TextureFilename {\n    \"" + m.texture + "\";\n   }\n";
    out += "  }\n";
  }
  out += " }\n}\n";
  return out;
}

std::vector<uint8_t> Mesh::ToBinary(const std::string& meshName, bool compressed) const {
  xfile::XMeshData data;
  data.name = meshName;
  for (const Vertex& v : vertices_) {
    data.positions.push_back({v.position.x, v.position.y, v.position.z});
    data.normals.push_back({v.normal.x, v.normal.y, v.normal.z});
    data.texcoords.push_back({v.u, v.v});
  }
  for (const Triangle& f : faces_) {
    const std::vector<uint32_t> corners = {static_cast<uint32_t>(f.a), static_cast<uint32_t>(f.b), static_cast<uint32_t>(f.c)};
    data.faces.push_back(corners);
    data.normalFaces.push_back(corners);
    data.faceMaterials.push_back(static_cast<uint32_t>(f.subset));
  }
  for (const MeshMaterial& m : materials_) {
    xfile::XMaterialData material;
    material.diffuse[0] = m.r;
    material.diffuse[1] = m.g;
    material.diffuse[2] = m.b;
    material.diffuse[3] = m.a;
    material.power = m.power;
    material.textureFilename = m.texture;
    data.materials.push_back(material);
  }
  return compressed ? xfile::WriteXCompressed(data, true) : xfile::WriteXBinary(data);
}

}  // namespace assetgen

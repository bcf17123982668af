#pragma once
// Triangle meshes with normals, texture coordinates and material subsets, written as .x data.
#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

struct Vec3 {
  float x = 0, y = 0, z = 0;
};
Vec3 operator+(const Vec3& a, const Vec3& b);
Vec3 operator-(const Vec3& a, const Vec3& b);
Vec3 operator*(const Vec3& a, float k);
Vec3 Cross(const Vec3& a, const Vec3& b);
float Dot(const Vec3& a, const Vec3& b);
Vec3 Normalized(const Vec3& v);

struct Vertex {
  Vec3 position, normal;
  float u = 0, v = 0;
};

struct MeshMaterial {
  float r = 1, g = 1, b = 1, a = 1;
  float power = 0;
  std::string texture;  // empty: untextured
};

class Mesh {
 public:
  int AddVertex(const Vertex& v);
  // Faces point along their vertices' normals: the winding is chosen so that the face is a
  // front face (clockwise on screen) seen from the side its normal points to.
  void AddTriangle(int subset, int a, int b, int c);
  // A flat quad with one normal; corners in order around the edge; uv per corner. The normal
  // follows the corner order, or points to the side of `facing` when one is given.
  void AddQuad(int subset, const Vec3 corners[4], const float uv[4][2], const Vec3* facing = nullptr);
  int AddMaterial(const MeshMaterial& material);

  size_t vertex_count() const { return vertices_.size(); }
  size_t face_count() const { return faces_.size(); }
  size_t material_count() const { return materials_.size(); }
  const std::vector<Vertex>& vertices() const { return vertices_; }
  const std::vector<MeshMaterial>& materials() const { return materials_; }
  // Corner indices and subset of face i.
  void Face(size_t i, int* a, int* b, int* c, int* subset) const {
    *a = faces_[i].a, *b = faces_[i].b, *c = faces_[i].c, *subset = faces_[i].subset;
  }

  // "xof 0303txt 0032" text form.
  std::string ToText(const std::string& meshName) const;
  // Binary ("bin ") or MSZIP-compressed binary ("bzip") form.
  std::vector<uint8_t> ToBinary(const std::string& meshName, bool compressed) const;

 private:
  struct Triangle {
    int a, b, c, subset;
  };
  std::vector<Vertex> vertices_;
  std::vector<Triangle> faces_;
  std::vector<MeshMaterial> materials_;
};

// The meshes of the resource library, by name.
struct MeshAsset {
  std::string name;
  Mesh mesh;
};
std::vector<MeshAsset> MakeMeshes();

}  // namespace assetgen

#include "tools/assetgen/preview.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "tools/assetgen/mesh.h"

namespace assetgen {

namespace {

struct ViewVertex {
  Vec3 view;  // camera space: x right, y up, z forward (left-handed)
  Vec3 normal;
  float u, v;
};

struct Camera {
  Vec3 eye, right, up, forward;
  float focal;  // pixels per unit at distance 1
  int width, height;
};

Camera LookAt(Vec3 eye, Vec3 at, int width, int height) {
  Camera c;
  c.eye = eye;
  c.forward = Normalized(at - eye);
  c.right = Normalized(Cross(Vec3{0, 1, 0}, c.forward));
  c.up = Cross(c.forward, c.right);
  c.width = width;
  c.height = height;
  c.focal = height / 2.0f / std::tan(3.14159265f / 8);  // vertical field of view pi/4
  return c;
}

struct Material {
  const Image* texture = nullptr;
  Color colour{1, 1, 1, 1};
  bool unlit = false;     // the sky has a light of its own at the centre
  bool additive = false;  // the caustics: ONE, SRCCOLOR
};

class Rasteriser {
 public:
  Rasteriser(const Camera& camera) : camera_(camera), image_(camera.width, camera.height, Color{0.1f, 0.1f, 0.15f, 1}),
                                     depth_(static_cast<size_t>(camera.width) * camera.height, 1e30f) {}

  void Draw(const Mesh& mesh, int subset, const Material& material, Vec3 offset) {
    for (size_t f = 0; f < mesh.face_count(); ++f) {
      int idx[3], s;
      mesh.Face(f, &idx[0], &idx[1], &idx[2], &s);
      if (s != subset) continue;
      std::vector<ViewVertex> poly;
      for (int k : idx) {
        const Vertex& v = mesh.vertices()[static_cast<size_t>(k)];
        const Vec3 p = v.position + offset - camera_.eye;
        poly.push_back({{Dot(p, camera_.right), Dot(p, camera_.up), Dot(p, camera_.forward)}, v.normal, v.u, v.v});
      }
      // Back faces: a front face's (b - a) x (c - a) points toward the eye.
      const Vec3 a = poly[0].view, b = poly[1].view, c = poly[2].view;
      if (Dot(Cross(b - a, c - a), a) >= 0) continue;
      poly = ClipNear(poly);
      for (size_t k = 1; k + 1 < poly.size(); ++k) Triangle(poly[0], poly[k], poly[k + 1], material);
    }
  }

  Image& image() { return image_; }

 private:
  static std::vector<ViewVertex> ClipNear(const std::vector<ViewVertex>& in) {
    const float near = 0.1f;
    std::vector<ViewVertex> out;
    for (size_t i = 0; i < in.size(); ++i) {
      const ViewVertex& p = in[i];
      const ViewVertex& q = in[(i + 1) % in.size()];
      if (p.view.z >= near) out.push_back(p);
      if ((p.view.z >= near) != (q.view.z >= near)) {
        const float t = (near - p.view.z) / (q.view.z - p.view.z);
        out.push_back({p.view + (q.view - p.view) * t, p.normal, p.u + (q.u - p.u) * t, p.v + (q.v - p.v) * t});
      }
    }
    return out;
  }

  void Triangle(const ViewVertex& a, const ViewVertex& b, const ViewVertex& c, const Material& m) {
    const ViewVertex* v[3] = {&a, &b, &c};
    float sx[3], sy[3], iw[3];
    for (int k = 0; k < 3; ++k) {
      iw[k] = 1.0f / v[k]->view.z;
      sx[k] = camera_.width / 2.0f + v[k]->view.x * camera_.focal * iw[k];
      sy[k] = camera_.height / 2.0f - v[k]->view.y * camera_.focal * iw[k];
    }
    const float area = (sx[1] - sx[0]) * (sy[2] - sy[0]) - (sx[2] - sx[0]) * (sy[1] - sy[0]);
    if (std::fabs(area) < 1e-6f) return;
    const int x0 = std::max(0, static_cast<int>(std::floor(std::min({sx[0], sx[1], sx[2]}))));
    const int x1 = std::min(camera_.width - 1, static_cast<int>(std::ceil(std::max({sx[0], sx[1], sx[2]}))));
    const int y0 = std::max(0, static_cast<int>(std::floor(std::min({sy[0], sy[1], sy[2]}))));
    const int y1 = std::min(camera_.height - 1, static_cast<int>(std::ceil(std::max({sy[0], sy[1], sy[2]}))));
    // Flat lighting from the face normal: the floor's light (0.3, -1, 0.3) and some ambient.
    const Vec3 n = Normalized(a.normal + b.normal + c.normal);
    const Vec3 light = Normalized(Vec3{0.3f, -1, 0.3f});
    const float shade = m.unlit ? 1.0f : 0.35f + 0.75f * std::max(0.0f, -Dot(n, light));
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) {
        const float px = x + 0.5f, py = y + 0.5f;
        float w[3];
        w[0] = ((sx[1] - px) * (sy[2] - py) - (sx[2] - px) * (sy[1] - py)) / area;
        w[1] = ((sx[2] - px) * (sy[0] - py) - (sx[0] - px) * (sy[2] - py)) / area;
        w[2] = 1 - w[0] - w[1];
        if (w[0] < 0 || w[1] < 0 || w[2] < 0) continue;
        const float inv = w[0] * iw[0] + w[1] * iw[1] + w[2] * iw[2];
        const float z = 1.0f / inv;
        float& depth = depth_[static_cast<size_t>(y) * camera_.width + x];
        if (z >= depth) continue;
        const float u = (w[0] * a.u * iw[0] + w[1] * b.u * iw[1] + w[2] * c.u * iw[2]) * z;
        const float t = (w[0] * a.v * iw[0] + w[1] * b.v * iw[1] + w[2] * c.v * iw[2]) * z;
        Color texel{1, 1, 1, 1};
        if (m.texture) texel = m.texture->SampleWrapped(u * m.texture->width(), t * m.texture->height());
        const Color s{texel.r * m.colour.r * shade, texel.g * m.colour.g * shade, texel.b * m.colour.b * shade, 1};
        Color& d = image_.at(x, y);
        if (m.additive) {
          d = Color{s.r + d.r * s.r, s.g + d.g * s.g, s.b + d.b * s.b, 1};
        } else {
          d = s;
          depth = z;
        }
      }
  }

  Camera camera_;
  Image image_;
  std::vector<float> depth_;
};

const Image* Texture(const std::vector<TextureAsset>& textures, const std::string& name) {
  for (const TextureAsset& t : textures)
    if (t.name == name) return &t.image;
  return nullptr;
}

}  // namespace

Image ScenePreview(const std::vector<TextureAsset>& textures, bool tilted) {
  const std::vector<MeshAsset> meshes = MakeMeshes();
  auto mesh = [&](const char* name) -> const Mesh& {
    for (const MeshAsset& m : meshes)
      if (m.name == name) return m.mesh;
    return meshes.front().mesh;
  };
  const Vec3 eye = tilted ? Vec3{0, 6.5f, 12.0f} : Vec3{0, 11, 8.25f};
  Rasteriser r(LookAt(eye, Vec3{0, 0, 0}, 800, 600));
  const char* room[6] = {"Caust00", "WallWall", "FloorWall", "BordurWall", "GroundEnvHi", "SkyEnviron"};
  const Color roomColour[6] = {{0.2f, 0.4f, 0.5f, 1}, {0.9f, 0.9f, 0.9f, 1}, {0.7f, 0.7f, 0.7f, 1},
                               {0.7f, 0.7f, 0.7f, 1}, {0.9f, 0.9f, 0.9f, 1}, {1, 1, 1, 1}};
  for (int s = 1; s < 6; ++s) r.Draw(mesh("Environ"), s, {Texture(textures, room[s]), roomColour[s], s == 5, false}, {});
  r.Draw(mesh("PlateFloor"), 0, {Texture(textures, "TexPlace00"), {0.6f, 0.6f, 0.6f, 1}, false, false}, {});
  r.Draw(mesh("PlateFloor"), 2, {Texture(textures, "PlateFloor01"), {0.5f, 0.5f, 0.7f, 1}, false, false}, {});
  const int balls[][3] = {{4, 4, 1}, {2, 6, 2}, {5, 1, 3}, {6, 6, 4}, {1, 3, 5}, {7, 2, 6}, {3, 7, 7}, {0, 8, 1}};
  const Color colours[8] = {{0, 0, 0, 1}, {1, 0.3f, 0.3f, 1}, {0.3f, 1, 0.3f, 1}, {0.3f, 0.3f, 1, 1},
                            {1, 1, 0.3f, 1},  {1, 0.3f, 1, 1},    {0.3f, 1, 1, 1},    {1, 1, 1, 1}};
  for (const auto& b : balls)
    r.Draw(mesh("SPHERE1"), 0, {Texture(textures, "BallTex"), colours[b[2]], false, false},
           {(b[0] - 4) * 1.1f, 0, (b[1] - 4) * 1.1f});
  r.Draw(mesh("Environ"), 0, {Texture(textures, "Caust00"), roomColour[0], false, true}, {});
  r.image().Clamp();
  return r.image();
}

}  // namespace assetgen

// The models of the resource library: ball spheres, the board, the room and the cursor.
#include <cmath>

#include "tools/assetgen/mesh.h"

namespace assetgen {

namespace {

constexpr float kPi = 3.14159265358979f;

// A UV sphere; u runs around, v from the top pole (0) to the bottom (1).
Mesh Sphere(int slices, int stacks) {
  Mesh mesh;
  const Vec3 centre{0, 0.8f, 0};
  const float radius = 0.4f;
  for (int j = 0; j <= stacks; ++j) {
    const float theta = kPi * j / stacks;
    for (int i = 0; i <= slices; ++i) {
      const float phi = 2 * kPi * i / slices;
      const Vec3 n{std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)};
      mesh.AddVertex({centre + n * radius, n, static_cast<float>(i) / slices, static_cast<float>(j) / stacks});
    }
  }
  const int row = slices + 1;
  for (int j = 0; j < stacks; ++j)
    for (int i = 0; i < slices; ++i) {
      const int a = j * row + i, b = a + 1, c = a + row, d = c + 1;
      if (j > 0) mesh.AddTriangle(0, a, b, c);
      if (j < stacks - 1) mesh.AddTriangle(0, b, d, c);
    }
  mesh.AddMaterial({1, 1, 1, 1, 20, "BallTex"});
  return mesh;
}

// An axis-aligned box's four sides and top (the bottom is never seen); uv scale per unit.
void Box(Mesh& mesh, int subset, Vec3 lo, Vec3 hi, float uvScale, bool bottom = false) {
  const float s = uvScale;
  auto quad = [&](Vec3 a, Vec3 b, Vec3 c, Vec3 d, float w, float h) {
    const Vec3 corners[4] = {a, b, c, d};
    const float uv[4][2] = {{0, 0}, {w * s, 0}, {w * s, h * s}, {0, h * s}};
    mesh.AddQuad(subset, corners, uv);
  };
  const float w = hi.x - lo.x, d = hi.z - lo.z, h = hi.y - lo.y;
  quad({lo.x, hi.y, hi.z}, {hi.x, hi.y, hi.z}, {hi.x, hi.y, lo.z}, {lo.x, hi.y, lo.z}, w, d);  // top
  quad({lo.x, hi.y, lo.z}, {hi.x, hi.y, lo.z}, {hi.x, lo.y, lo.z}, {lo.x, lo.y, lo.z}, w, h);  // -z
  quad({hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}, {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}, w, h);  // +z
  quad({lo.x, hi.y, hi.z}, {lo.x, hi.y, lo.z}, {lo.x, lo.y, lo.z}, {lo.x, lo.y, hi.z}, d, h);  // -x
  quad({hi.x, hi.y, lo.z}, {hi.x, hi.y, hi.z}, {hi.x, lo.y, hi.z}, {hi.x, lo.y, lo.z}, d, h);  // +x
  if (bottom) quad({lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, lo.y, hi.z}, {lo.x, lo.y, hi.z}, w, d);
}

// One plate: a slab with a chamfered top edge; the top face carries the whole texture.
void Plate(Mesh& mesh, float cx, float cz) {
  const float half = 0.5f, inset = 0.045f, top = 0.37f, shoulder = 0.35f, foot = 0.28f;
  const float t = inset / (2 * half);  // texture share of the chamfer
  auto p = [&](float x, float y, float z) { return Vec3{cx + x, y, cz + z}; };
  {
    const Vec3 c[4] = {p(-half + inset, top, half - inset), p(half - inset, top, half - inset),
                       p(half - inset, top, -half + inset), p(-half + inset, top, -half + inset)};
    const float uv[4][2] = {{t, t}, {1 - t, t}, {1 - t, 1 - t}, {t, 1 - t}};
    mesh.AddQuad(0, c, uv);
  }
  // Chamfers and sides, one per edge, turning around the plate.
  const float ex[4][2] = {{-1, 1}, {1, 1}, {1, -1}, {-1, -1}};  // corners: far-left, far-right, near-right, near-left
  const float tex[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  for (int e = 0; e < 4; ++e) {
    const int f = (e + 1) % 4;
    const Vec3 outerA = p(ex[e][0] * half, shoulder, ex[e][1] * half), outerB = p(ex[f][0] * half, shoulder, ex[f][1] * half);
    const Vec3 innerA = p(ex[e][0] * (half - inset), top, ex[e][1] * (half - inset));
    const Vec3 innerB = p(ex[f][0] * (half - inset), top, ex[f][1] * (half - inset));
    const float ia[2] = {t + (1 - 2 * t) * tex[e][0], t + (1 - 2 * t) * tex[e][1]};
    const float ib[2] = {t + (1 - 2 * t) * tex[f][0], t + (1 - 2 * t) * tex[f][1]};
    {
      const Vec3 c[4] = {innerA, innerB, outerB, outerA};
      const float uv[4][2] = {{ia[0], ia[1]}, {ib[0], ib[1]}, {tex[f][0], tex[f][1]}, {tex[e][0], tex[e][1]}};
      const Vec3 facing{(ex[e][0] + ex[f][0]) / 2, 1, (ex[e][1] + ex[f][1]) / 2};
      mesh.AddQuad(0, c, uv, &facing);
    }
    {
      const Vec3 footA = p(ex[e][0] * half, foot, ex[e][1] * half), footB = p(ex[f][0] * half, foot, ex[f][1] * half);
      const Vec3 c[4] = {outerA, outerB, footB, footA};
      const float uv[4][2] = {{tex[e][0], tex[e][1]}, {tex[f][0], tex[f][1]}, {tex[f][0], tex[f][1]}, {tex[e][0], tex[e][1]}};
      const Vec3 facing{(ex[e][0] + ex[f][0]) / 2, 0, (ex[e][1] + ex[f][1]) / 2};
      mesh.AddQuad(0, c, uv, &facing);
    }
  }
}

Mesh PlateFloor() {
  Mesh mesh;
  // Subset 0: the 81 plates, 1.0 x 1.0, centres 1.1 apart, top at 0.37.
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 9; ++j) Plate(mesh, (i - 4) * 1.1f, (j - 4) * 1.1f);
  // Subset 1: one slab over the whole board; its texture spans all 9 x 9 cells.
  {
    const float e = 4.95f, top = 0.36f;
    const Vec3 c[4] = {{-e, top, e}, {e, top, e}, {e, top, -e}, {-e, top, -e}};
    const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    mesh.AddQuad(1, c, uv);
    Box(mesh, 1, {-e, 0.28f, -e}, {e, top - 0.001f, e}, 0.1f);
  }
  // Subset 2: the pedestal under the board, stepping down in two tiers.
  Box(mesh, 2, {-5.3f, -0.2f, -5.3f}, {5.3f, 0.28f, 5.3f}, 0.35f);
  Box(mesh, 2, {-5.7f, -1.2f, -5.7f}, {5.7f, -0.2f, 5.7f}, 0.35f);
  mesh.AddMaterial({0.6f, 0.6f, 0.6f, 1, 0, "TexPlace00"});
  mesh.AddMaterial({0.6f, 0.6f, 0.6f, 1, 0, "TexFloor00"});
  mesh.AddMaterial({0.5f, 0.5f, 0.7f, 1, 0, "PlateFloor01"});
  return mesh;
}

// A flat horizontal ring between two squares (|x|,|z| from inner to outer), facing up.
void SquareRing(Mesh& mesh, int subset, float inner, float outer, float y, float uvScale) {
  const float sides[4][2] = {{-1, 1}, {1, 1}, {1, -1}, {-1, -1}};
  for (int e = 0; e < 4; ++e) {
    const int f = (e + 1) % 4;
    const Vec3 c[4] = {{sides[e][0] * outer, y, sides[e][1] * outer},
                       {sides[f][0] * outer, y, sides[f][1] * outer},
                       {sides[f][0] * inner, y, sides[f][1] * inner},
                       {sides[e][0] * inner, y, sides[e][1] * inner}};
    float uv[4][2];
    for (int k = 0; k < 4; ++k) {
      uv[k][0] = c[k].x * uvScale;
      uv[k][1] = c[k].z * uvScale;
    }
    mesh.AddQuad(subset, c, uv);
  }
}

// Four vertical faces around a square of half size `half`, from y0 to y1, facing inward or outward.
void SquareWalls(Mesh& mesh, int subset, float half, float y0, float y1, bool inward, float uScale, float vScale) {
  const float sides[4][2] = {{-1, 1}, {1, 1}, {1, -1}, {-1, -1}};
  for (int e = 0; e < 4; ++e) {
    const int f = (e + 1) % 4;
    Vec3 a{sides[e][0] * half, y1, sides[e][1] * half}, b{sides[f][0] * half, y1, sides[f][1] * half};
    Vec3 c{b.x, y0, b.z}, d{a.x, y0, a.z};
    const Vec3 corners[4] = {a, b, c, d};
    const float len = 2 * half;
    const float uv[4][2] = {{0, 0}, {len * uScale, 0}, {len * uScale, (y1 - y0) * vScale}, {0, (y1 - y0) * vScale}};
    const Vec3 out = Normalized(Vec3{(a.x + b.x) / 2, 0, (a.z + b.z) / 2});
    const Vec3 facing = inward ? out * -1.0f : out;
    mesh.AddQuad(subset, corners, uv, &facing);
  }
}

Mesh Environ() {
  Mesh mesh;
  const float pool = 9.0f, rim = 10.5f;
  // 0: the caustic light on the water over the pool floor.
  {
    const Vec3 c[4] = {{-pool, -0.25f, pool}, {pool, -0.25f, pool}, {pool, -0.25f, -pool}, {-pool, -0.25f, -pool}};
    const float k = 2 * pool / 4.5f;
    const float uv[4][2] = {{0, 0}, {k, 0}, {k, k}, {0, k}};
    mesh.AddQuad(0, c, uv);
  }
  // 1: the courtyard walls, far around the board, with a coping on top.
  const float wall = 42.0f, thick = 1.5f, height = 7.0f;
  SquareWalls(mesh, 1, wall, 0, height, true, 1 / 8.0f, 1 / 3.5f);
  SquareWalls(mesh, 1, wall + thick, 0, height, false, 1 / 8.0f, 1 / 3.5f);
  SquareRing(mesh, 1, wall, wall + thick, height, 1 / 8.0f);
  // 2: the pool: its tiled floor and inner sides.
  {
    const Vec3 c[4] = {{-pool, -1.0f, pool}, {pool, -1.0f, pool}, {pool, -1.0f, -pool}, {-pool, -1.0f, -pool}};
    const float k = 2 * pool / 2.0f;
    const float uv[4][2] = {{0, 0}, {k, 0}, {k, k}, {0, k}};
    mesh.AddQuad(2, c, uv);
    SquareWalls(mesh, 2, pool, -1.0f, 0.15f, true, 0.5f, 0.5f);
  }
  // 3: the stone border around the pool.
  SquareRing(mesh, 3, pool, rim, 0.15f, 0.5f);
  SquareWalls(mesh, 3, rim, 0.0f, 0.15f, false, 0.5f, 0.5f);
  // 4: the ground out to the walls and beyond them.
  SquareRing(mesh, 4, rim, wall, 0.0f, 1 / 6.0f);
  SquareRing(mesh, 4, wall + thick, 160.0f, 0.0f, 1 / 6.0f);
  // 5: the sky: a dome seen from inside, reaching a little below the horizon.
  {
    const int slices = 32, stacks = 10;
    const float radius = 420.0f;
    const int first = static_cast<int>(mesh.vertex_count());
    for (int j = 0; j <= stacks; ++j) {
      const float theta = (kPi / 2 + 0.12f) * j / stacks;  // from the zenith down past the horizon
      for (int i = 0; i <= slices; ++i) {
        const float phi = 2 * kPi * i / slices;
        const Vec3 out{std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)};
        mesh.AddVertex({out * radius, out * -1.0f, 2.0f * i / slices, static_cast<float>(j) / stacks});
      }
    }
    const int row = slices + 1;
    for (int j = 0; j < stacks; ++j)
      for (int i = 0; i < slices; ++i) {
        const int a = first + j * row + i, b = a + 1, c = a + row, d = c + 1;
        if (j > 0) mesh.AddTriangle(5, a, b, c);
        mesh.AddTriangle(5, b, d, c);
      }
  }
  mesh.AddMaterial({0.2f, 0.4f, 0.5f, 1, 0, "Caust00"});
  mesh.AddMaterial({0.9f, 0.9f, 0.9f, 1, 0, "WallWall"});
  mesh.AddMaterial({0.7f, 0.7f, 0.7f, 1, 0, "FloorWall"});
  mesh.AddMaterial({0.7f, 0.7f, 0.7f, 1, 0, "BordurWall"});
  mesh.AddMaterial({0.9f, 0.9f, 0.9f, 1, 0, "GroundEnvHi"});
  mesh.AddMaterial({1, 1, 1, 1, 0, "SkyEnviron"});
  return mesh;
}

// The cursor: an arrowhead with its tip at the origin and a short shaft along -z. Turned
// as the mouse object turns it, the shaft trails down and to the right of the tip, as a
// pointer does, and the spin turns it about its own axis.
Mesh MouseModel() {
  Mesh mesh;
  const float head = 0.2f, width = 0.1f, shaft = 0.035f, end = 0.4f;
  const Vec3 tip{0, 0, 0};
  const Vec3 base[4] = {{-width, -width, -head}, {width, -width, -head}, {width, width, -head}, {-width, width, -head}};
  for (int e = 0; e < 4; ++e) {
    const Vec3 a = base[e], b = base[(e + 1) % 4];
    Vec3 n = Normalized(Cross(a - tip, b - tip));
    if (Dot(n, (a + b) * 0.5f - Vec3{0, 0, -head}) < 0) n = n * -1.0f;
    const int i0 = mesh.AddVertex({tip, n, 0.5f, 0}), i1 = mesh.AddVertex({a, n, 0, 1}), i2 = mesh.AddVertex({b, n, 1, 1});
    mesh.AddTriangle(0, i0, i1, i2);
  }
  {
    const Vec3 c[4] = {base[3], base[2], base[1], base[0]};
    const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    const Vec3 back{0, 0, -1};
    mesh.AddQuad(0, c, uv, &back);
  }
  Box(mesh, 0, {-shaft, -shaft, -end}, {shaft, shaft, -head}, 1.0f, true);
  mesh.AddMaterial({1.0f, 0.7f, 0.5f, 1, 10, ""});
  return mesh;
}

}  // namespace

std::vector<MeshAsset> MakeMeshes() {
  std::vector<MeshAsset> meshes;
  meshes.push_back({"SPHERE0", Sphere(14, 9)});
  meshes.push_back({"SPHERE1", Sphere(32, 20)});
  meshes.push_back({"PlateFloor", PlateFloor()});
  meshes.push_back({"Environ", Environ()});
  meshes.push_back({"MouseModel", MouseModel()});
  return meshes;
}

}  // namespace assetgen

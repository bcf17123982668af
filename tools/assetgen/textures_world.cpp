// Textures of the 3D scene: the ball, the caustics, the room and the board.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tools/assetgen/random.h"
#include "tools/assetgen/textures.h"

namespace assetgen {

namespace {

constexpr float kPi = 3.14159265358979f;

float Smooth(float e0, float e1, float x) {
  const float t = std::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
  return t * t * (3 - 2 * t);
}

// Darkens toward the edges of a square tile and lights its top-left rim: a bevelled look.
float BevelLight(float u, float v, float width) {
  const float left = Smooth(0, width, u), top = Smooth(0, width, v);
  const float right = Smooth(0, width, 1 - u), bottom = Smooth(0, width, 1 - v);
  float light = 1.0f;
  light += (1 - left) * 0.35f + (1 - top) * 0.35f;
  light -= (1 - right) * 0.45f + (1 - bottom) * 0.45f;
  return light;
}

Image BallTexture() {
  // Pale marble: the material tints it with the ball's colour.
  TileNoise noise(4, 11);
  Image image(256, 256);
  image.Shade([&](float u, float v) {
    const float n = noise.Fractal(u * 4, v * 4, 5);
    const float vein = std::pow(std::fabs(std::sin((u * 2 + v) * kPi * 2 + n * 6)), 0.2f);
    const float k = 0.86f + 0.14f * vein;
    return Color{k, k, k * 0.98f + 0.02f, 1};
  });
  return image;
}

// One frame of a looping, tileable caustic pattern: bright lines where a sum of waves crosses zero.
Image CausticFrame(int frame) {
  struct Wave {
    int kx, ky, speed;
    float phase;
  };
  static const Wave a[] = {{3, 1, 1, 0.1f}, {-1, 4, -1, 1.7f}, {2, -3, 1, 2.9f}, {4, 3, -1, 0.6f}, {-3, 2, 2, 4.0f}};
  static const Wave b[] = {{5, -2, -1, 2.2f}, {1, 5, 1, 0.4f}, {-4, -3, 2, 5.1f}, {3, 4, -2, 3.3f}};
  const float t = static_cast<float>(frame) / 32.0f;
  TileNoise warp(4, 29);
  Image image(256, 256);
  image.Shade([&](float u, float v) {
    // A gentle warp that also loops with the animation.
    const float wu = u + 0.04f * std::sin(2 * kPi * (2 * v + t)) + 0.03f * (warp.Fractal(u * 4, v * 4, 3) - 0.5f);
    const float wv = v + 0.04f * std::sin(2 * kPi * (3 * u - t));
    auto lines = [&](const Wave* waves, int count, float sharpness) {
      float sum = 0;
      for (int i = 0; i < count; ++i)
        sum += std::sin(2 * kPi * (waves[i].kx * wu + waves[i].ky * wv + waves[i].speed * t) + waves[i].phase);
      return std::pow(std::max(0.0f, 1.0f - std::fabs(sum) / count * 2.2f), sharpness);
    };
    const float l1 = lines(a, 5, 6.0f), l2 = lines(b, 4, 8.0f);
    const float light = std::min(1.0f, l1 * 0.9f + l2 * 0.6f + l1 * l2 * 1.2f);
    return Color{0.05f + 0.75f * light, 0.09f + 0.88f * light, 0.13f + 0.87f * light, 1};
  });
  return image;
}

Image WallTexture() {
  // Sandstone blocks in running bond; tiles in both directions.
  TileNoise noise(8, 5);
  Random random(77);
  float shade[4][4];
  for (auto& row : shade)
    for (float& s : row) s = random.Range(0.82f, 1.08f);
  Image image(512, 256);
  image.Shade([&](float u, float v) {
    const int row = static_cast<int>(v * 4);
    const float bu = u * 4 + (row % 2 ? 0.5f : 0.0f);
    const int col = static_cast<int>(std::floor(bu)) % 4;
    const float fu = bu - std::floor(bu), fv = v * 4 - row;
    const float mortar = 0.035f;
    const float edge = std::min({fu / 0.5f, (1 - fu) / 0.5f, fv, 1 - fv});
    const float n = noise.Fractal(u * 8, v * 8, 5);
    Color stone{0.78f, 0.66f, 0.5f, 1};
    stone = Scale(stone, shade[row][col] * (0.8f + 0.4f * n) * BevelLight(fu, fv, 0.08f));
    const Color joint{0.32f, 0.29f, 0.26f, 1};
    return Mix(joint, stone, Smooth(mortar * 0.6f, mortar, edge));
  });
  return image;
}

Image PoolTileTexture() {
  TileNoise noise(4, 13);
  Image image(256, 256);
  image.Shade([&](float u, float v) {
    const float fu = u * 4 - std::floor(u * 4), fv = v * 4 - std::floor(v * 4);
    const bool dark = (static_cast<int>(u * 4) + static_cast<int>(v * 4)) % 2 == 0;
    const float edge = std::min({fu, 1 - fu, fv, 1 - fv});
    const float n = noise.Fractal(u * 4, v * 4, 4);
    Color tile = dark ? Color{0.35f, 0.62f, 0.78f, 1} : Color{0.7f, 0.86f, 0.92f, 1};
    tile = Scale(tile, (0.9f + 0.2f * n) * BevelLight(fu, fv, 0.06f));
    return Mix(Color{0.55f, 0.58f, 0.6f, 1}, tile, Smooth(0.02f, 0.035f, edge));
  });
  return image;
}

Image BorderTexture() {
  TileNoise noise(8, 17);
  Image image(256, 256);
  image.Shade([&](float u, float v) {
    const float n = noise.Fractal(u * 8, v * 8, 6);
    const float grain = noise.Fractal(u * 32, v * 32, 2);
    const float k = 0.6f + 0.35f * n + 0.1f * grain;
    const float seam = Smooth(0.0f, 0.02f, std::fabs(u - 0.5f)) * 0.25f + 0.75f;
    return Color{k * 0.92f * seam, k * 0.9f * seam, k * 0.86f * seam, 1};
  });
  return image;
}

Image GroundTexture(int size) {
  // The ground repeats every few metres out to the horizon, so nothing in it may be as large
  // as the tile: every noise wraps at the picture's edge, the broadest one runs four times
  // across it, and a warp bends the lattice so no patch sits on a regular grid.
  TileNoise warp(4, 22);
  TileNoise noise(8, 23);
  TileNoise fine(64, 24);
  TileNoise dryness(4, 25);
  Image image(size, size);
  image.Shade([&](float u, float v) {
    const float wu = u + 0.06f * (warp.Fractal(u * 4, v * 4, 3) - 0.5f);
    const float wv = v + 0.06f * (warp.Fractal(u * 4 + 2, v * 4 + 1, 3) - 0.5f);
    const float n = noise.Fractal(wu * 8, wv * 8, 5);
    const float blades = fine.Fractal(u * 64, v * 64, 2);
    const float dry = Smooth(0.55f, 0.8f, dryness.Fractal(wu * 4, wv * 4, 5));
    Color grass = Mix(Color{0.22f, 0.42f, 0.14f, 1}, Color{0.36f, 0.55f, 0.2f, 1}, n);
    grass = Mix(grass, Color{0.5f, 0.5f, 0.28f, 1}, dry * 0.35f);
    return Scale(grass, 0.85f + 0.3f * blades);
  });
  return image;
}

Image SkyTexture() {
  // u goes around the horizon (tiles), v from the zenith (0) to below the horizon (1).
  TileNoise noise(8, 31);
  Image image(1024, 512);
  image.Shade([&](float u, float v) {
    const float h = std::clamp(v / 0.92f, 0.0f, 1.0f);
    Color sky = Mix(Color{0.12f, 0.3f, 0.68f, 1}, Color{0.55f, 0.75f, 0.95f, 1}, std::pow(h, 1.6f));
    sky = Mix(sky, Color{0.93f, 0.88f, 0.78f, 1}, Smooth(0.82f, 1.0f, h) * 0.7f);
    const float c = noise.Fractal(u * 8, v * 4 * (1.0f + v), 6);
    const float cloud = Smooth(0.5f, 0.72f, c) * Smooth(0.05f, 0.35f, v) * (1 - Smooth(0.85f, 0.95f, v));
    const float lit = 0.85f + 0.3f * (noise.Fractal(u * 8 + 1.3f, v * 4 + 0.7f, 4) - 0.5f);
    return Mix(sky, Color{lit, lit, lit * 1.02f, 1}, cloud * 0.9f);
  });
  return image;
}

// The five plate faces: marble, wood, brushed metal, granite, jade.
Image PlateTexture(int style) {
  TileNoise noise(4, 41 + static_cast<uint32_t>(style));
  TileNoise fine(32, 51 + static_cast<uint32_t>(style));
  Image image(256, 256);
  image.Shade([&](float u, float v) {
    const float n = noise.Fractal(u * 4, v * 4, 6);
    Color c;
    switch (style) {
      case 0: {
        const float vein = std::pow(std::fabs(std::sin((u + v * 0.6f) * 10 + n * 12)), 0.25f);
        const float k = 0.72f + 0.25f * vein;
        c = Color{k, k * 0.98f, k * 0.95f, 1};
        break;
      }
      case 1: {
        const float ring = std::sin((v * 22 + n * 6) * kPi);
        const float k = 0.75f + 0.25f * ring * ring;
        c = Scale(Color{0.62f, 0.4f, 0.22f, 1}, k + 0.2f * (fine.Fractal(u * 32, v * 4, 2) - 0.5f));
        break;
      }
      case 2: {
        const float brush = fine.Fractal(u * 32, v * 2, 3);
        const float k = 0.6f + 0.3f * brush + 0.1f * n;
        c = Color{k * 0.95f, k * 0.97f, k, 1};
        // Four rivets in the corners.
        for (float cu : {0.12f, 0.88f})
          for (float cv : {0.12f, 0.88f}) {
            const float d = std::hypot(u - cu, v - cv);
            if (d < 0.04f) c = Scale(Color{0.85f, 0.86f, 0.9f, 1}, 1.2f - d / 0.04f * 0.6f);
          }
        break;
      }
      case 3: {
        const float speck = fine.Fractal(u * 32, v * 32, 2);
        const float k = 0.45f + 0.25f * n;
        c = Mix(Color{k, k * 0.92f, k * 0.9f, 1}, speck > 0.62f ? Color{0.1f, 0.1f, 0.1f, 1} : Color{0.9f, 0.88f, 0.85f, 1},
                std::fabs(speck - 0.5f) > 0.12f ? 0.5f : 0.0f);
        break;
      }
      default: {
        const float cloud = noise.Fractal(u * 4 + 7, v * 4, 5);
        c = Mix(Color{0.1f, 0.45f, 0.38f, 1}, Color{0.45f, 0.8f, 0.65f, 1}, cloud);
        break;
      }
    }
    return Scale(c, BevelLight(u, v, 0.1f));
  });
  return image;
}

// The five whole-board faces, each showing the 9 x 9 cells so the board stays readable.
Image FloorTexture(int style) {
  TileNoise noise(4, 61 + static_cast<uint32_t>(style));
  TileNoise fine(64, 81 + static_cast<uint32_t>(style));
  Image image(512, 512);
  image.Shade([&](float u, float v) {
    const float cu = u * 9 - std::floor(u * 9), cv = v * 9 - std::floor(v * 9);
    const int ci = static_cast<int>(u * 9), cj = static_cast<int>(v * 9);
    const bool odd = (ci + cj) % 2 == 1;
    const float n = noise.Fractal(u * 4, v * 4, 6);
    const float edge = std::min({cu, 1 - cu, cv, 1 - cv});
    Color c, line;
    switch (style) {
      case 0: {  // chequered marble
        const float vein = std::pow(std::fabs(std::sin((u - v) * 14 + n * 10)), 0.3f);
        c = odd ? Color{0.25f + 0.15f * vein, 0.25f + 0.15f * vein, 0.3f + 0.15f * vein, 1}
                : Color{0.75f + 0.2f * vein, 0.74f + 0.2f * vein, 0.7f + 0.2f * vein, 1};
        line = Color{0.75f, 0.62f, 0.3f, 1};
        break;
      }
      case 1: {  // parquet planks
        const float grain = noise.Fractal(odd ? u * 64 : u * 4, odd ? v * 4 : v * 64, 3);
        c = Scale(odd ? Color{0.55f, 0.35f, 0.18f, 1} : Color{0.7f, 0.5f, 0.28f, 1}, 0.8f + 0.35f * grain);
        line = Color{0.2f, 0.12f, 0.06f, 1};
        break;
      }
      case 2: {  // engraved steel
        const float brush = fine.Fractal(u * 64, v * 2, 2);
        const float k = 0.55f + 0.25f * brush + 0.1f * n;
        c = Color{k * 0.95f, k * 0.97f, k, 1};
        line = Color{0.2f, 0.22f, 0.25f, 1};
        break;
      }
      case 3: {  // slate mosaic
        const float k = 0.3f + 0.3f * n + (odd ? 0.05f : 0.0f);
        c = Color{k * 0.9f, k, k * 1.1f, 1};
        line = Color{0.8f, 0.78f, 0.7f, 1};
        break;
      }
      default: {  // glazed teal tiles
        const float k = 0.85f + 0.25f * n;
        c = Scale(odd ? Color{0.1f, 0.45f, 0.5f, 1} : Color{0.2f, 0.62f, 0.6f, 1}, k);
        line = Color{0.9f, 0.9f, 0.85f, 1};
        break;
      }
    }
    c = Scale(c, 0.9f + 0.1f * BevelLight(cu, cv, 0.06f));
    return Mix(line, c, Smooth(0.015f, 0.03f, edge));
  });
  return image;
}

Image BaseTexture() {
  // Dark lacquered stone for the board's pedestal. Plain: the box mapping repeats it at a
  // pitch of its own, so any line in it would cross the cells at random.
  TileNoise noise(4, 71);
  Image image(256, 256);
  image.Shade([&](float u, float v) {
    const float n = noise.Fractal(u * 4, v * 4, 6);
    const float k = 0.18f + 0.2f * n;
    return Color{k * 0.8f, k * 0.85f, k * 1.2f, 1};
  });
  return image;
}

}  // namespace

void AddWorldTextures(std::vector<TextureAsset>& out) {
  out.push_back({"BallTex", BallTexture(), ImageFormat::kJpeg, "world"});
  for (int frame = 0; frame < 32; ++frame) {
    char name[32];
    std::snprintf(name, sizeof name, "Caust%02d", frame);
    out.push_back({name, CausticFrame(frame), frame % 2 ? ImageFormat::kPng : ImageFormat::kJpeg, "caustics"});
  }
  out.push_back({"WallWall", WallTexture(), ImageFormat::kJpeg, "world"});
  out.push_back({"FloorWall", PoolTileTexture(), ImageFormat::kJpeg, "world"});
  out.push_back({"BordurWall", BorderTexture(), ImageFormat::kJpeg, "world"});
  out.push_back({"GroundEnvHi", GroundTexture(512), ImageFormat::kJpeg, "world"});
  out.push_back({"GroundEnvLow00", GroundTexture(128), ImageFormat::kJpeg, "world"});
  out.push_back({"SkyEnviron", SkyTexture(), ImageFormat::kJpeg, "world"});
  for (int k = 0; k < 5; ++k) {
    char name[32];
    std::snprintf(name, sizeof name, "TexPlace%02d", k);
    out.push_back({name, PlateTexture(k), ImageFormat::kJpeg, "floor"});
  }
  for (int k = 0; k < 5; ++k) {
    char name[32];
    std::snprintf(name, sizeof name, "TexFloor%02d", k);
    out.push_back({name, FloorTexture(k), ImageFormat::kJpeg, "floor"});
  }
  out.push_back({"PlateFloor01", BaseTexture(), ImageFormat::kPng, "floor"});
}

}  // namespace assetgen

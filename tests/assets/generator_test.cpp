// The generator's own building blocks: module timing, WAV layout, tiling noise, face winding.
#include <gtest/gtest.h>

#include <cstring>

#include "tools/assetgen/mesh.h"
#include "tools/assetgen/random.h"
#include "tools/assetgen/sounds.h"

namespace assettest {
namespace {

// A 31-sample module with `patterns` empty patterns played in order 0, 1, ...
std::vector<uint8_t> EmptyModule(int patterns) {
  std::vector<uint8_t> module(1084 + static_cast<size_t>(patterns) * 1024, 0);
  module[950] = static_cast<uint8_t>(patterns);
  module[951] = 127;
  for (int i = 0; i < patterns; ++i) module[952 + static_cast<size_t>(i)] = static_cast<uint8_t>(i);
  std::memcpy(&module[1080], "M.K.", 4);
  return module;
}

void SetEffect(std::vector<uint8_t>& module, int pattern, int row, int channel, int effect, int param) {
  uint8_t* cell = &module[1084 + static_cast<size_t>(pattern) * 1024 + static_cast<size_t>(row) * 16 + static_cast<size_t>(channel) * 4];
  cell[2] = static_cast<uint8_t>(effect);
  cell[3] = static_cast<uint8_t>(param);
}

TEST(ModuleTiming, FollowsSpeedTempoAndPatternBreaks) {
  // Default speed 6, tempo 125: 64 rows x 6 ticks x 20 ms.
  EXPECT_NEAR(assetgen::ModuleSeconds(EmptyModule(1)), 7.68, 1e-9);
  std::vector<uint8_t> module = EmptyModule(2);
  SetEffect(module, 0, 0, 3, 0xF, 3);    // speed 3 from the first row
  SetEffect(module, 0, 0, 2, 0xF, 250);  // tempo 250 in the same row
  SetEffect(module, 1, 15, 1, 0xD, 0);   // the second pattern breaks after 16 rows
  EXPECT_NEAR(assetgen::ModuleSeconds(module), (64 + 16) * 3 * 2.5 / 250, 1e-9);
}

TEST(ModuleTiming, RejectsWhatIsNotAModule) {
  EXPECT_LT(assetgen::ModuleSeconds({}), 0);
  std::vector<uint8_t> module = EmptyModule(1);
  module.resize(1500);  // pattern data cut short
  EXPECT_LT(assetgen::ModuleSeconds(module), 0);
  module = EmptyModule(1);
  std::memcpy(&module[1080], "XXXX", 4);
  EXPECT_LT(assetgen::ModuleSeconds(module), 0);
}

TEST(Wave, HeaderDescribesMono16BitPcm) {
  const std::vector<uint8_t> wav = assetgen::EncodeWav({0.0f, 1.0f, -1.0f, 2.0f}, 22050);
  ASSERT_EQ(wav.size(), 44u + 8u);
  EXPECT_EQ(std::memcmp(wav.data(), "RIFF", 4), 0);
  EXPECT_EQ(std::memcmp(&wav[8], "WAVEfmt ", 8), 0);
  auto u32 = [&](size_t at) { return wav[at] | wav[at + 1] << 8 | wav[at + 2] << 16 | static_cast<uint32_t>(wav[at + 3]) << 24; };
  auto s16 = [&](size_t at) { return static_cast<int16_t>(wav[at] | wav[at + 1] << 8); };
  EXPECT_EQ(u32(4), 44u);     // RIFF size: everything after the first 8 bytes
  EXPECT_EQ(s16(20), 1);      // PCM
  EXPECT_EQ(s16(22), 1);      // mono
  EXPECT_EQ(u32(24), 22050u);
  EXPECT_EQ(s16(34), 16);
  EXPECT_EQ(u32(40), 8u);
  EXPECT_EQ(s16(46), 32767);
  EXPECT_EQ(s16(48), -32767);
  EXPECT_EQ(s16(50), 32767);  // clipped, not wrapped
}

TEST(TileNoise, RepeatsAfterOnePeriodInEveryOctave) {
  const assetgen::TileNoise noise(4, 7);
  for (float x = 0; x < 4; x += 0.37f)
    for (float y = 0; y < 4; y += 0.41f) {
      EXPECT_NEAR(noise.Fractal(x, y, 5), noise.Fractal(x + 4, y, 5), 1e-4f);
      EXPECT_NEAR(noise.Fractal(x, y, 5), noise.Fractal(x, y + 4, 5), 1e-4f);
    }
}

TEST(MeshWinding, FacesTurnTowardTheirNormalsWhateverTheCornerOrder) {
  assetgen::Mesh mesh;
  const assetgen::Vec3 up{0, 1, 0};
  const int a = mesh.AddVertex({{0, 0, 0}, up, 0, 0});
  const int b = mesh.AddVertex({{1, 0, 0}, up, 1, 0});
  const int c = mesh.AddVertex({{0, 0, 1}, up, 0, 1});
  mesh.AddTriangle(0, a, b, c);
  mesh.AddTriangle(0, a, c, b);
  for (size_t f = 0; f < 2; ++f) {
    int i[3], subset;
    mesh.Face(f, &i[0], &i[1], &i[2], &subset);
    const auto& v = mesh.vertices();
    const assetgen::Vec3 n = Cross(v[static_cast<size_t>(i[1])].position - v[static_cast<size_t>(i[0])].position,
                                   v[static_cast<size_t>(i[2])].position - v[static_cast<size_t>(i[0])].position);
    EXPECT_GT(Dot(n, up), 0) << "face " << f;
  }
}

}  // namespace
}  // namespace assettest

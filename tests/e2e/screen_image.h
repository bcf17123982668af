// A window's picture as the player sees it, with the few measures the scenarios
// need, and a PNG copy of it for the record when a check fails.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Rgb {
  int r = 0, g = 0, b = 0;
  int Brightness() const { return (r + g + b) / 3; }
  int Spread() const;  // largest channel minus smallest: 0 for greys
};

struct ScreenImage {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // 0xRRGGBB, row 0 at the top

  bool Empty() const { return pixels.empty(); }
  // Coordinates are clamped to the picture.
  Rgb At(int x, int y) const;
  // Mean colour of the square of side 2 r + 1 around (x, y).
  Rgb Mean(int x, int y, int r) const;
  // Share (0..1) of pixels darker than `level` in the whole picture.
  double DarkShare(int level) const;
  bool SavePng(const std::string& path) const;
};

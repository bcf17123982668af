// The real device's back buffer read back as colours, for the tests that check what
// was drawn.
#pragma once

#include <string>
#include <vector>

#include "platform/d3d8/d3d8.h"

struct Pixel {
  int r, g, b;
};

// Every pixel of a 32-bit back buffer; pixels[y][x], row 0 at the top. Expects the
// surface to come and go without a reference left over.
std::vector<std::vector<Pixel>> ReadBackPixels(IDirect3DDevice8* device);

// With VANTOREL_TEST_PICTURES set to a folder, writes the pixels there as
// "<name>.ppm", for looking at what a test drew.
void KeepPixels(const std::vector<std::vector<Pixel>>& pixels, const std::string& name);

// Reads the two four-digit numbers of the top bar off the screen by matching each
// digit cell against the digit sheet that the game draws them from.
#pragma once

#include <string>
#include <vector>

#include "tests/e2e/screen_image.h"

class TopBarReader {
 public:
  // Loads "UpMenuNums" from the resource library; Ok() is false when it cannot.
  explicit TopBarReader(const std::string& resourceLibrary);
  bool Ok() const { return m_width > 0; }

  // The number at the right (the score) or the left (the best score); -1 while any
  // digit cannot be told with confidence.
  int Score(const ScreenImage& screen) const { return Number(screen, 11); }
  int Best(const ScreenImage& screen) const { return Number(screen, 1); }

 private:
  int Number(const ScreenImage& screen, int firstColumn) const;
  // The digit drawn in the digit cell at that column of the top bar, or -1.
  int Digit(const ScreenImage& screen, int column) const;

  int m_width = 0;
  int m_height = 0;
  std::vector<float> m_luma;  // the sheet's brightness, 5 x 2 cells
};

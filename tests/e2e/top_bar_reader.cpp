#include "tests/e2e/top_bar_reader.h"

#include <png.h>

#include <cmath>

#include "engine/resourcebytes.h"

TopBarReader::TopBarReader(const std::string& resourceLibrary) {
  CResourceBytes bytes(resourceLibrary.c_str(), "UpMenuNums");
  if (bytes.GetResult() != CResourceBytes::OK) return;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.Bytes(), static_cast<size_t>(bytes.Size()))) return;
  image.format = PNG_FORMAT_RGB;
  std::vector<unsigned char> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return;
  m_luma.resize(static_cast<size_t>(image.width) * image.height);
  for (size_t i = 0; i < m_luma.size(); ++i)
    m_luma[i] = (rgb[3 * i] + rgb[3 * i + 1] + rgb[3 * i + 2]) / 3.0f;
  m_width = static_cast<int>(image.width);
  m_height = static_cast<int>(image.height);
}

int TopBarReader::Number(const ScreenImage& screen, int firstColumn) const {
  int value = 0;
  for (int k = 0; k < 4; ++k) {
    const int d = Digit(screen, firstColumn + k);
    if (d < 0) return -1;
    value = value * 10 + d;
  }
  return value;
}

int TopBarReader::Digit(const ScreenImage& screen, int column) const {
  if (!Ok() || screen.Empty()) return -1;
  // The digit cells: a sixteenth of the width, a twelfth of the height, centred in
  // the bar (a tenth of the height).
  const float w = screen.width / 16.0f, h = screen.height / 12.0f;
  const float left = column * w, top = (screen.height / 10.0f - h) / 2.0f;
  std::vector<float> shown;
  for (int y = static_cast<int>(std::ceil(top)) + 1; y < static_cast<int>(top + h) - 1; ++y)
    for (int x = static_cast<int>(std::ceil(left)) + 1; x < static_cast<int>(left + w) - 1; ++x)
      shown.push_back(static_cast<float>(screen.At(x, y).Brightness()));

  int best = -1;
  double bestScore = 0.6;  // below this the picture matches no digit well enough
  for (int d = 0; d < 10; ++d) {
    const float cellW = m_width / 5.0f, cellH = m_height / 2.0f;
    const float cellX = (d % 5) * cellW, cellY = (d / 5) * cellH;
    std::vector<float> sheet;
    for (int y = static_cast<int>(std::ceil(top)) + 1; y < static_cast<int>(top + h) - 1; ++y)
      for (int x = static_cast<int>(std::ceil(left)) + 1; x < static_cast<int>(left + w) - 1; ++x) {
        const int tx = static_cast<int>(cellX + (x + 0.5f - left) / w * cellW);
        const int ty = static_cast<int>(cellY + (y + 0.5f - top) / h * cellH);
        sheet.push_back(m_luma[static_cast<size_t>(ty) * static_cast<size_t>(m_width) + static_cast<size_t>(tx)]);
      }
    // Pearson correlation: the digit is added to a bar whose own brightness varies.
    double ms = 0, mt = 0;
    for (size_t i = 0; i < shown.size(); ++i) {
      ms += shown[i];
      mt += sheet[i];
    }
    ms /= static_cast<double>(shown.size());
    mt /= static_cast<double>(shown.size());
    double st = 0, ss = 0, tt = 0;
    for (size_t i = 0; i < shown.size(); ++i) {
      st += (shown[i] - ms) * (sheet[i] - mt);
      ss += (shown[i] - ms) * (shown[i] - ms);
      tt += (sheet[i] - mt) * (sheet[i] - mt);
    }
    const double score = (ss > 0 && tt > 0) ? st / std::sqrt(ss * tt) : 0.0;
    if (score > bestScore) {
      bestScore = score;
      best = d;
    }
  }
  return best;
}

#include "tests/e2e/game_files.h"

#include <fstream>
#include <iterator>
#include <vector>

namespace {

std::vector<unsigned char> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t U32At(const std::vector<unsigned char>& bytes, size_t offset) {
  return static_cast<uint32_t>(bytes[offset]) | static_cast<uint32_t>(bytes[offset + 1]) << 8 |
         static_cast<uint32_t>(bytes[offset + 2]) << 16 | static_cast<uint32_t>(bytes[offset + 3]) << 24;
}

void PutU32(std::vector<unsigned char>* bytes, uint32_t value) {
  for (int k = 0; k < 4; ++k) bytes->push_back(static_cast<unsigned char>(value >> (8 * k)));
}

}  // namespace

int SavedGame::Balls() const {
  int n = 0;
  for (const auto& column : board)
    for (int32_t cell : column) n += cell != 0;
  return n;
}

bool SavedGame::Read(const std::string& path, SavedGame* game) {
  const std::vector<unsigned char> bytes = ReadAll(path);
  if (bytes.size() != 340) return false;
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 9; ++j) game->board[i][j] = static_cast<int32_t>(U32At(bytes, 36 * i + 4 * j));
  for (int k = 0; k < 3; ++k) game->next[k] = static_cast<int32_t>(U32At(bytes, 324 + 4 * k));
  game->score = static_cast<int32_t>(U32At(bytes, 336));
  return true;
}

bool SavedGame::Write(const std::string& path) const {
  std::vector<unsigned char> bytes;
  for (const auto& column : board)
    for (int32_t cell : column) PutU32(&bytes, static_cast<uint32_t>(cell));
  for (int32_t colour : next) PutU32(&bytes, static_cast<uint32_t>(colour));
  PutU32(&bytes, static_cast<uint32_t>(score));
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool RecordsTable::Read(const std::string& path, RecordsTable* table) {
  const std::vector<unsigned char> bytes = ReadAll(path);
  if (bytes.size() != 128) return false;
  for (int r = 0; r < 8; ++r) {
    const char* name = reinterpret_cast<const char*>(&bytes[16 * r]);
    size_t length = 0;
    while (length < 12 && name[length]) ++length;
    table->rows[r].name.assign(name, length);
    table->rows[r].squaredScore = U32At(bytes, 16 * r + 12);
  }
  return true;
}

int32_t RunFreeColour(int i, int j) {
  // Steps along a row, a column and the diagonals change the value by 1, 3, 4 and 2
  // (mod 7); none of their multiples up to four is a multiple of seven.
  return (i + 3 * j) % 7 + 1;
}

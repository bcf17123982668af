// The files the game leaves in its working folder, read and written byte for byte
// as the game lays them out, so the scenarios can craft games and check results.
#pragma once

#include <cstdint>
#include <string>

// "Vantorel.sav": 340 bytes of little-endian i32; cell (i, j) at 36 i + 4 j, then the
// three preview colours, then the score.
struct SavedGame {
  int32_t board[9][9] = {};
  int32_t next[3] = {};
  int32_t score = 0;

  int Balls() const;
  static bool Read(const std::string& path, SavedGame* game);
  bool Write(const std::string& path) const;
};

// "records.rcd": 8 rows of a 12-byte name and the squared score (u32 little-endian).
struct RecordsTable {
  struct Row {
    std::string name;
    uint32_t squaredScore = 0;
  };
  Row rows[8];

  static bool Read(const std::string& path, RecordsTable* table);
};

// A board of all seven colours in which no two cells of one colour lie within four
// steps along a row, a column or a diagonal: a run of five needs four cells changed.
int32_t RunFreeColour(int i, int j);

// Writes packed archives with the reader's keys, for tests and the fuzz corpus.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace packfile_test {

struct Entry {
  std::string name;
  std::vector<uint8_t> data;
};

// Header, directory, then every entry's data back to back in entry order; version 1025
// scrambles ten bytes from each entry's start (padding the file when the last is short).
std::vector<uint8_t> WriteArchive(uint32_t version, const std::vector<Entry>& entries);

// Offset of the directory head of entry `index` in an archive written by WriteArchive.
size_t HeadOffset(const std::vector<Entry>& entries, size_t index);

// Stores a scrambled offset and size into the head of entry `index`.
void PatchHead(std::vector<uint8_t>& archive, const std::vector<Entry>& entries, size_t index, uint32_t offset,
               uint32_t size);

}  // namespace packfile_test

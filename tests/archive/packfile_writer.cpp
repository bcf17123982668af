#include "tests/archive/packfile_writer.h"

#include "engine/packfile.h"

namespace packfile_test {

namespace {

void PutLE32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
  for (int b = 0; b < 4; ++b) out[at + b] = static_cast<uint8_t>(value >> (8 * b));
}

}  // namespace

size_t HeadOffset(const std::vector<Entry>& entries, size_t index) {
  size_t pos = 5;
  for (size_t i = 0; i < index; ++i) pos += 1 + entries[i].name.size() + 8;
  return pos;
}

std::vector<uint8_t> WriteArchive(uint32_t version, const std::vector<Entry>& entries) {
  const size_t directoryEnd = HeadOffset(entries, entries.size());
  std::vector<uint8_t> out(directoryEnd);
  PutLE32(out, 0, version);
  out[4] = static_cast<uint8_t>(entries.size() ^ CPackFile::kCountKey);

  uint32_t dataOffset = static_cast<uint32_t>(directoryEnd);
  for (size_t i = 0; i < entries.size(); ++i) {
    const Entry& e = entries[i];
    const size_t head = HeadOffset(entries, i);
    const uint8_t nameKey = CPackFile::NameKey(static_cast<DWORD>(i));
    out[head] = static_cast<uint8_t>(e.name.size() ^ nameKey);
    for (size_t c = 0; c < e.name.size(); ++c) out[head + 1 + c] = static_cast<uint8_t>(e.name[c] ^ nameKey);
    PatchHead(out, entries, i, dataOffset, static_cast<uint32_t>(e.data.size()));

    out.insert(out.end(), e.data.begin(), e.data.end());
    dataOffset += static_cast<uint32_t>(e.data.size());
  }
  if (version == CPackFile::kVersionScrambledHeads) {
    // Ten bytes from each entry's start, entry by entry, as the reader undoes them; a
    // short last entry needs bytes after it for its ten.
    size_t offset = directoryEnd;
    for (const Entry& e : entries) {
      if (out.size() < offset + CPackFile::kScrambledHeadBytes) out.resize(offset + CPackFile::kScrambledHeadBytes);
      for (size_t b = 0; b < CPackFile::kScrambledHeadBytes; ++b) out[offset + b] ^= CPackFile::kCountKey;
      offset += e.data.size();
    }
  }
  return out;
}

void PatchHead(std::vector<uint8_t>& archive, const std::vector<Entry>& entries, size_t index, uint32_t offset,
               uint32_t size) {
  const size_t numbers = HeadOffset(entries, index) + 1 + entries[index].name.size();
  const uint32_t key = CPackFile::NumberKey(static_cast<DWORD>(index));
  PutLE32(archive, numbers, offset ^ key);
  PutLE32(archive, numbers + 4, size ^ key);
}

}  // namespace packfile_test

// A read-only view of a PE32 or PE32+ image held in memory, enough to find its
// resources. Every offset, RVA and size taken from the image is checked against
// the buffer before it is used, so a damaged or hostile file only makes a lookup fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/win32/win32.h"

// A resource type or name: a 16-bit integer ID, or a name compared without regard
// to ASCII case.
struct PeResourceKey {
  bool isId = false;
  uint16_t id = 0;
  std::string name;

  static PeResourceKey Id(uint16_t value);
  static PeResourceKey Name(const std::string& value);
  // The Win32 calling convention: an integer made by MAKEINTRESOURCE, "#n" for the
  // integer n, or a name. False for a null pointer, an empty name or a bad "#n".
  static bool FromArgument(const char* argument, PeResourceKey* key);
};

class PeImage {
 public:
  // Checks the headers of `size` bytes at `data`; the bytes must outlive this object.
  // On failure returns false and stores a Win32 error code in `*error`.
  bool Parse(const uint8_t* data, size_t size, DWORD* error);

  // Finds resource (type, name) in the neutral language, else US English, else the
  // lowest language ID. On success points `*bytes`
  // into the image at `*size` bytes, all of which lie inside it.
  bool Lookup(const PeResourceKey& type, const PeResourceKey& name, const uint8_t** bytes, uint32_t* size,
              DWORD* error) const;

  bool IsPe32Plus() const { return m_pe32Plus; }

 private:
  struct Section {
    uint32_t virtualAddress;
    uint32_t extent;  // bytes backed by the file
    uint64_t fileOffset;
  };

  // Maps [rva, rva + length) to a file offset when the whole range is backed by the file.
  bool RvaToOffset(uint64_t rva, uint64_t length, uint64_t* offset) const;
  bool Read16(uint64_t offset, uint16_t* value) const;
  bool Read32(uint64_t offset, uint32_t* value) const;
  // Offsets inside the resource tree are relative to its root and may not leave it.
  bool TreeRead32(uint64_t offset, uint32_t* value) const;
  bool TreeRead16(uint64_t offset, uint16_t* value) const;
  // Looks up `key` in the directory at tree offset `directory`; stores the raw
  // offset field of the matching entry.
  bool FindEntry(uint64_t directory, const PeResourceKey& key, uint32_t* target) const;
  bool PreferredLanguageEntry(uint64_t directory, uint32_t* target) const;
  bool EntryMatches(uint32_t nameField, const PeResourceKey& key) const;

  static const int kMaxSections = 96;

  const uint8_t* m_data = nullptr;
  uint64_t m_size = 0;
  bool m_pe32Plus = false;
  Section m_sections[kMaxSections] = {};
  int m_sectionCount = 0;
  bool m_hasResources = false;
  uint64_t m_treeOffset = 0;  // file offset of the resource root
  uint64_t m_treeSize = 0;    // bytes of the tree that the file backs
};

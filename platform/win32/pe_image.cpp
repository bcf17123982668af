#include "platform/win32/pe_image.h"

namespace {

const uint16_t kDosMagic = 0x5A4D;         // "MZ"
const uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
const uint16_t kPe32Magic = 0x10B;
const uint16_t kPe32PlusMagic = 0x20B;
const uint32_t kResourceDirectoryIndex = 2;
const uint64_t kCoffHeaderSize = 20;
const uint64_t kSectionHeaderSize = 40;
const uint64_t kDirectoryHeaderSize = 16;
const uint64_t kDirectoryEntrySize = 8;
const uint64_t kDataEntrySize = 16;
const uint32_t kHighBit = 0x80000000u;

char UpperAscii(uint32_t c) {
  return static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
}

}  // namespace

PeResourceKey PeResourceKey::Id(uint16_t value) {
  PeResourceKey key;
  key.isId = true;
  key.id = value;
  return key;
}

PeResourceKey PeResourceKey::Name(const std::string& value) {
  PeResourceKey key;
  key.name = value;
  return key;
}

bool PeResourceKey::FromArgument(const char* argument, PeResourceKey* key) {
  const uintptr_t raw = reinterpret_cast<uintptr_t>(argument);
  if (raw == 0) return false;
  if ((raw >> 16) == 0) {
    *key = Id(static_cast<uint16_t>(raw));
    return true;
  }
  if (argument[0] == '\0') return false;
  if (argument[0] != '#') {
    *key = Name(argument);
    return true;
  }
  // "#n": decimal digits only, and the value must fit an ID.
  const char* digits = argument + 1;
  if (*digits == '\0') return false;
  uint32_t value = 0;
  for (const char* p = digits; *p; ++p) {
    if (*p < '0' || *p > '9') return false;
    value = value * 10 + static_cast<uint32_t>(*p - '0');
    if (value > 0xFFFF) return false;
  }
  *key = Id(static_cast<uint16_t>(value));
  return true;
}

bool PeImage::Read16(uint64_t offset, uint16_t* value) const {
  if (offset > m_size || m_size - offset < 2) return false;
  *value = static_cast<uint16_t>(m_data[offset] | (m_data[offset + 1] << 8));
  return true;
}

bool PeImage::Read32(uint64_t offset, uint32_t* value) const {
  if (offset > m_size || m_size - offset < 4) return false;
  *value = static_cast<uint32_t>(m_data[offset]) | (static_cast<uint32_t>(m_data[offset + 1]) << 8) |
           (static_cast<uint32_t>(m_data[offset + 2]) << 16) | (static_cast<uint32_t>(m_data[offset + 3]) << 24);
  return true;
}

bool PeImage::TreeRead16(uint64_t offset, uint16_t* value) const {
  if (offset > m_treeSize || m_treeSize - offset < 2) return false;
  return Read16(m_treeOffset + offset, value);
}

bool PeImage::TreeRead32(uint64_t offset, uint32_t* value) const {
  if (offset > m_treeSize || m_treeSize - offset < 4) return false;
  return Read32(m_treeOffset + offset, value);
}

bool PeImage::Parse(const uint8_t* data, size_t size, DWORD* error) {
  *this = PeImage();
  m_data = data;
  m_size = size;
  *error = ERROR_BAD_EXE_FORMAT;
  if (!data) return false;

  uint16_t magic = 0;
  uint32_t peOffset = 0;
  if (!Read16(0, &magic) || magic != kDosMagic || !Read32(0x3C, &peOffset)) return false;
  uint32_t signature = 0;
  if (!Read32(peOffset, &signature) || signature != kPeSignature) return false;

  const uint64_t coff = static_cast<uint64_t>(peOffset) + 4;
  uint16_t sectionCount = 0;
  uint16_t optionalSize = 0;
  if (!Read16(coff + 2, &sectionCount) || !Read16(coff + 16, &optionalSize)) return false;
  if (sectionCount > kMaxSections) return false;

  const uint64_t optional = coff + kCoffHeaderSize;
  uint16_t optionalMagic = 0;
  if (!Read16(optional, &optionalMagic)) return false;
  uint64_t countField = 0;
  if (optionalMagic == kPe32Magic) {
    countField = 92;
  } else if (optionalMagic == kPe32PlusMagic) {
    countField = 108;
    m_pe32Plus = true;
  } else {
    return false;
  }
  // The data directories must lie inside the optional header that the COFF header declares.
  uint32_t directoryCount = 0;
  if (optionalSize < countField + 4 || !Read32(optional + countField, &directoryCount)) return false;
  const uint64_t directories = optional + countField + 4;
  const uint64_t directoryRoom = (optionalSize - countField - 4) / 8;
  if (directoryCount > directoryRoom) directoryCount = static_cast<uint32_t>(directoryRoom);

  const uint64_t sectionTable = optional + optionalSize;
  if (sectionTable + kSectionHeaderSize * sectionCount > m_size) return false;
  for (uint16_t i = 0; i < sectionCount; ++i) {
    const uint64_t header = sectionTable + kSectionHeaderSize * i;
    uint32_t virtualSize = 0, virtualAddress = 0, rawSize = 0, rawOffset = 0;
    if (!Read32(header + 8, &virtualSize) || !Read32(header + 12, &virtualAddress) || !Read32(header + 16, &rawSize) ||
        !Read32(header + 20, &rawOffset)) {
      return false;
    }
    // Only bytes that are both in the section's memory image and in the file count;
    // the rest would be zero fill, which resources never need.
    uint64_t extent = rawSize;
    if (virtualSize != 0 && virtualSize < extent) extent = virtualSize;
    if (rawOffset >= m_size) extent = 0;
    else if (extent > m_size - rawOffset) extent = m_size - rawOffset;
    Section& section = m_sections[m_sectionCount++];
    section.virtualAddress = virtualAddress;
    section.extent = static_cast<uint32_t>(extent);
    section.fileOffset = rawOffset;
  }

  *error = ERROR_SUCCESS;
  if (directoryCount <= kResourceDirectoryIndex) return true;  // a valid image without resources
  uint32_t treeRva = 0, treeSize = 0;
  const uint64_t entry = directories + 8 * kResourceDirectoryIndex;
  if (!Read32(entry, &treeRva) || !Read32(entry + 4, &treeSize)) {
    *error = ERROR_BAD_EXE_FORMAT;
    return false;
  }
  if (treeRva == 0 || treeSize == 0) return true;
  // The tree spans from its root to the end of the section that holds it; the
  // declared size is not trusted to cover the strings and data entries.
  for (int i = 0; i < m_sectionCount; ++i) {
    const Section& section = m_sections[i];
    if (treeRva >= section.virtualAddress && treeRva - section.virtualAddress < section.extent) {
      const uint64_t into = treeRva - section.virtualAddress;
      m_treeOffset = section.fileOffset + into;
      m_treeSize = section.extent - into;
      m_hasResources = true;
      return true;
    }
  }
  *error = ERROR_BAD_EXE_FORMAT;
  return false;
}

bool PeImage::RvaToOffset(uint64_t rva, uint64_t length, uint64_t* offset) const {
  for (int i = 0; i < m_sectionCount; ++i) {
    const Section& section = m_sections[i];
    if (rva < section.virtualAddress) continue;
    const uint64_t into = rva - section.virtualAddress;
    if (into > section.extent || section.extent - into < length) continue;
    *offset = section.fileOffset + into;
    return *offset <= m_size && m_size - *offset >= length;
  }
  return false;
}

bool PeImage::EntryMatches(uint32_t nameField, const PeResourceKey& key) const {
  const bool named = (nameField & kHighBit) != 0;
  if (!named) return key.isId && (nameField & 0xFFFF) == key.id && (nameField >> 16) == 0;
  if (key.isId) return false;
  const uint64_t string = nameField & ~kHighBit;
  uint16_t length = 0;
  if (!TreeRead16(string, &length) || length != key.name.size()) return false;
  for (uint16_t i = 0; i < length; ++i) {
    uint16_t unit = 0;
    if (!TreeRead16(string + 2 + 2u * i, &unit)) return false;
    const uint32_t wanted = static_cast<unsigned char>(key.name[i]);
    if (UpperAscii(unit) != UpperAscii(wanted) || (unit > 0x7F && unit != wanted)) return false;
  }
  return true;
}

bool PeImage::FindEntry(uint64_t directory, const PeResourceKey& key, uint32_t* target) const {
  uint16_t namedCount = 0, idCount = 0;
  if (!TreeRead16(directory + 12, &namedCount) || !TreeRead16(directory + 14, &idCount)) return false;
  const uint64_t count = static_cast<uint64_t>(namedCount) + idCount;
  // A count larger than the tree can hold ends the walk at the first unreadable entry.
  for (uint64_t i = 0; i < count; ++i) {
    const uint64_t entry = directory + kDirectoryHeaderSize + kDirectoryEntrySize * i;
    uint32_t nameField = 0, offsetField = 0;
    if (!TreeRead32(entry, &nameField) || !TreeRead32(entry + 4, &offsetField)) return false;
    if (EntryMatches(nameField, key)) {
      *target = offsetField;
      return true;
    }
  }
  return false;
}

// Ranks a language the way a program without a locale of its own would pick: the
// neutral language (primary language 0) first, then US English, then any other,
// the lowest ID first within each rank.
static uint32_t LanguageRank(uint32_t language) {
  const uint32_t kUsEnglish = 0x409;
  const uint32_t rank = (language & 0x3FF) == 0 ? 0 : language == kUsEnglish ? 1 : 2;
  return rank << 16 | language;
}

bool PeImage::PreferredLanguageEntry(uint64_t directory, uint32_t* target) const {
  uint16_t namedCount = 0, idCount = 0;
  if (!TreeRead16(directory + 12, &namedCount) || !TreeRead16(directory + 14, &idCount)) return false;
  const uint64_t count = static_cast<uint64_t>(namedCount) + idCount;
  bool found = false;
  uint32_t bestRank = 0;
  for (uint64_t i = 0; i < count; ++i) {
    const uint64_t entry = directory + kDirectoryHeaderSize + kDirectoryEntrySize * i;
    uint32_t nameField = 0, offsetField = 0;
    if (!TreeRead32(entry, &nameField) || !TreeRead32(entry + 4, &offsetField)) break;
    if ((nameField & kHighBit) || (nameField >> 16)) continue;  // languages are 16-bit IDs
    const uint32_t rank = LanguageRank(nameField);
    if (!found || rank < bestRank) {
      found = true;
      bestRank = rank;
      *target = offsetField;
    }
  }
  return found;
}

bool PeImage::Lookup(const PeResourceKey& type, const PeResourceKey& name, const uint8_t** bytes,
                     uint32_t* size, DWORD* error) const {
  *error = ERROR_RESOURCE_DATA_NOT_FOUND;
  if (!m_hasResources) return false;

  // The tree has exactly three levels (type, name, language), and each level is
  // walked once, so a directory that points back at itself cannot loop.
  uint32_t typeTarget = 0;
  if (!FindEntry(0, type, &typeTarget)) {
    *error = ERROR_RESOURCE_TYPE_NOT_FOUND;
    return false;
  }
  if (!(typeTarget & kHighBit)) return false;
  uint32_t nameTarget = 0;
  if (!FindEntry(typeTarget & ~kHighBit, name, &nameTarget)) {
    *error = ERROR_RESOURCE_NAME_NOT_FOUND;
    return false;
  }
  if (!(nameTarget & kHighBit)) return false;
  uint32_t languageTarget = 0;
  if (!PreferredLanguageEntry(nameTarget & ~kHighBit, &languageTarget) || (languageTarget & kHighBit)) return false;

  uint32_t dataRva = 0, dataSize = 0;
  if (!TreeRead32(languageTarget, &dataRva) || !TreeRead32(static_cast<uint64_t>(languageTarget) + 4, &dataSize)) {
    return false;
  }
  if (languageTarget > m_treeSize || m_treeSize - languageTarget < kDataEntrySize) return false;
  uint64_t offset = 0;
  if (!RvaToOffset(dataRva, dataSize, &offset)) return false;
  *bytes = m_data + offset;
  *size = dataSize;
  *error = ERROR_SUCCESS;
  return true;
}

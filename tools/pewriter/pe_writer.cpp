#include "tools/pewriter/pe_writer.h"

#include <algorithm>
#include <cstring>

#include "platform/win32/kept_file.h"

namespace {

const uint32_t kPeOffset = 0x80;
const uint32_t kFileAlignment = 0x200;
const uint32_t kSectionAlignment = 0x1000;
const uint32_t kResourceRva = kSectionAlignment;  // the only section, right after the headers
const uint32_t kOptionalHeaderSize = 240;         // PE32+ with 16 data directories
const uint32_t kHeadersEnd = kPeOffset + 4 + 20 + kOptionalHeaderSize + 40;
const uint32_t kHeadersSize = (kHeadersEnd + kFileAlignment - 1) / kFileAlignment * kFileAlignment;
const uint64_t kMaxImageSize = uint64_t(1) << 30;
const uint16_t kRcDataType = 10;
const uint16_t kLanguageEnglishUs = 0x409;

uint64_t AlignUp(uint64_t value, uint64_t alignment) { return (value + alignment - 1) / alignment * alignment; }

std::string UpperAscii(const std::string& text) {
  std::string upper = text;
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

class ByteWriter {
 public:
  explicit ByteWriter(std::vector<uint8_t>* bytes) : m_bytes(bytes) {}
  void Put16(size_t at, uint32_t value) {
    (*m_bytes)[at] = static_cast<uint8_t>(value);
    (*m_bytes)[at + 1] = static_cast<uint8_t>(value >> 8);
  }
  void Put32(size_t at, uint32_t value) {
    Put16(at, value & 0xFFFF);
    Put16(at + 2, value >> 16);
  }
  void Put64(size_t at, uint64_t value) {
    Put32(at, static_cast<uint32_t>(value));
    Put32(at + 4, static_cast<uint32_t>(value >> 32));
  }
  void PutBytes(size_t at, const void* data, size_t size) {
    if (size) std::memcpy(m_bytes->data() + at, data, size);
  }

 private:
  std::vector<uint8_t>* m_bytes;
};

struct Entry {
  std::string name;  // upper case
  const std::vector<uint8_t>* data;
};

// Sorted entries with unique names: Windows looks names up by binary search.
std::vector<Entry> SortedEntries(const std::vector<PeResource>& resources) {
  std::vector<Entry> entries;
  for (const PeResource& resource : resources) {
    if (resource.name.empty()) continue;
    entries.push_back(Entry{UpperAscii(resource.name), &resource.data});
  }
  std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
  const auto sameName = [](const Entry& a, const Entry& b) { return a.name == b.name; };
  entries.erase(std::unique(entries.begin(), entries.end(), sameName), entries.end());
  return entries;
}

// The resource tree: root (one type), the RT_RCDATA directory of names, one language
// directory per name, the data entries, the name strings, then the data itself.
std::vector<uint8_t> BuildResourceSection(const std::vector<Entry>& entries) {
  const uint64_t count = entries.size();
  const uint64_t typeDirectory = 16 + (count ? 8 : 0);
  const uint64_t languageDirectories = typeDirectory + 16 + 8 * count;
  const uint64_t dataEntries = languageDirectories + 24 * count;
  const uint64_t strings = dataEntries + 16 * count;
  uint64_t end = strings;
  for (const Entry& entry : entries) end += 2 + 2 * static_cast<uint64_t>(entry.name.size());
  std::vector<uint64_t> dataOffsets;
  for (const Entry& entry : entries) {
    end = AlignUp(end, 8);
    dataOffsets.push_back(end);
    end += entry.data->size();
  }
  if (end + kResourceRva > kMaxImageSize) return std::vector<uint8_t>();

  std::vector<uint8_t> section(end, 0);
  ByteWriter out(&section);
  if (count == 0) return section;  // an empty root directory
  out.Put16(14, 1);  // one ID entry: RT_RCDATA
  out.Put32(16, kRcDataType);
  out.Put32(20, 0x80000000u | static_cast<uint32_t>(typeDirectory));
  out.Put16(typeDirectory + 12, static_cast<uint32_t>(count));  // named entries only
  uint64_t stringAt = strings;
  for (uint64_t i = 0; i < count; ++i) {
    const Entry& entry = entries[i];
    const uint64_t nameEntry = typeDirectory + 16 + 8 * i;
    const uint64_t languageDirectory = languageDirectories + 24 * i;
    const uint64_t dataEntry = dataEntries + 16 * i;
    out.Put32(nameEntry, 0x80000000u | static_cast<uint32_t>(stringAt));
    out.Put32(nameEntry + 4, 0x80000000u | static_cast<uint32_t>(languageDirectory));
    out.Put16(languageDirectory + 14, 1);
    out.Put32(languageDirectory + 16, kLanguageEnglishUs);
    out.Put32(languageDirectory + 20, static_cast<uint32_t>(dataEntry));
    out.Put32(dataEntry, static_cast<uint32_t>(kResourceRva + dataOffsets[i]));
    out.Put32(dataEntry + 4, static_cast<uint32_t>(entry.data->size()));
    out.Put16(stringAt, static_cast<uint32_t>(entry.name.size()));
    for (size_t c = 0; c < entry.name.size(); ++c) {
      out.Put16(stringAt + 2 + 2 * c, static_cast<unsigned char>(entry.name[c]));
    }
    stringAt += 2 + 2 * entry.name.size();
    out.PutBytes(dataOffsets[i], entry.data->data(), entry.data->size());
  }
  return section;
}

// The PE checksum: 16-bit one's-complement style sum of the file, plus its length.
uint32_t PeChecksum(const std::vector<uint8_t>& image, size_t checksumField) {
  uint64_t sum = 0;
  for (size_t i = 0; i + 1 < image.size(); i += 2) {
    if (i == checksumField || i == checksumField + 2) continue;
    sum += static_cast<uint32_t>(image[i] | (image[i + 1] << 8));
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  if (image.size() & 1) sum += image.back();
  sum = (sum & 0xFFFF) + (sum >> 16);
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + image.size());
}

}  // namespace

std::vector<uint8_t> BuildResourceDll(const std::vector<PeResource>& resources) {
  const std::vector<Entry> entries = SortedEntries(resources);
  const std::vector<uint8_t> section = BuildResourceSection(entries);
  if (section.empty()) return std::vector<uint8_t>();
  const uint64_t rawSize = AlignUp(section.size(), kFileAlignment);
  const uint64_t imageSize = AlignUp(kResourceRva + section.size(), kSectionAlignment);

  std::vector<uint8_t> image(kHeadersSize + rawSize, 0);
  ByteWriter out(&image);
  out.Put16(0, 0x5A4D);  // "MZ"
  out.Put32(0x3C, kPeOffset);
  out.Put32(kPeOffset, 0x00004550);  // "PE\0\0"

  const size_t coff = kPeOffset + 4;
  out.Put16(coff, 0x8664);  // x86-64
  out.Put16(coff + 2, 1);   // one section
  out.Put16(coff + 16, kOptionalHeaderSize);
  out.Put16(coff + 18, 0x222E);  // executable DLL, large address aware, no symbols or debug data

  const size_t optional = coff + 20;
  out.Put16(optional, 0x20B);  // PE32+
  out.Put32(optional + 8, static_cast<uint32_t>(rawSize));  // initialised data
  out.Put64(optional + 24, 0x180000000ull);                 // image base
  out.Put32(optional + 32, kSectionAlignment);
  out.Put32(optional + 36, kFileAlignment);
  out.Put16(optional + 40, 4);  // operating system 4.0
  out.Put16(optional + 48, 5);  // subsystem 5.2
  out.Put16(optional + 50, 2);
  out.Put32(optional + 56, static_cast<uint32_t>(imageSize));
  out.Put32(optional + 60, kHeadersSize);
  out.Put16(optional + 68, 2);       // Windows GUI
  out.Put16(optional + 70, 0x0100);  // NX compatible
  out.Put64(optional + 72, 0x100000);
  out.Put64(optional + 80, 0x1000);
  out.Put64(optional + 88, 0x100000);
  out.Put64(optional + 96, 0x1000);
  out.Put32(optional + 108, 16);
  out.Put32(optional + 112 + 8 * 2, kResourceRva);  // resource data directory
  out.Put32(optional + 112 + 8 * 2 + 4, static_cast<uint32_t>(section.size()));

  const size_t header = optional + kOptionalHeaderSize;
  out.PutBytes(header, ".rsrc", 5);
  out.Put32(header + 8, static_cast<uint32_t>(section.size()));
  out.Put32(header + 12, kResourceRva);
  out.Put32(header + 16, static_cast<uint32_t>(rawSize));
  out.Put32(header + 20, kHeadersSize);
  out.Put32(header + 36, 0x40000040u);  // initialised data, readable

  out.PutBytes(kHeadersSize, section.data(), section.size());
  out.Put32(optional + 64, PeChecksum(image, optional + 64));
  return image;
}

bool WriteResourceDll(const std::string& path, const std::vector<PeResource>& resources, std::string* error) {
  std::vector<std::string> seen;
  for (const PeResource& resource : resources) {
    std::string problem;
    if (resource.name.empty()) problem = "empty resource name";
    for (char c : resource.name) {
      if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) {
        problem = "resource name \"" + resource.name + "\" is not printable ASCII";
      }
    }
    const std::string upper = UpperAscii(resource.name);
    if (problem.empty() && std::find(seen.begin(), seen.end(), upper) != seen.end()) {
      problem = "resource name \"" + resource.name + "\" is given twice";
    }
    if (!problem.empty()) {
      if (error) *error = problem;
      return false;
    }
    seen.push_back(upper);
  }
  const std::vector<uint8_t> image = BuildResourceDll(resources);
  if (image.empty()) {
    if (error) *error = "resources too large for one library";
    return false;
  }
  // A new file renamed into place: a running game that maps the old library keeps
  // reading the old bytes, where rewriting it in place would pull them from under it.
  if (!WriteFileAtomically(path, image.data(), image.size())) {
    if (error) *error = "cannot write " + path;
    return false;
  }
  return true;
}

// libFuzzer target for the PE reader: any image must either be refused by Parse or
// give lookups whose bytes lie wholly inside it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "platform/win32/pe_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact-size copy, so AddressSanitizer sees any read past the end.
  std::unique_ptr<uint8_t[]> copy(new uint8_t[size ? size : 1]);
  if (size) std::memcpy(copy.get(), data, size);
  PeImage image;
  DWORD error = 0;
  if (!image.Parse(copy.get(), size, &error)) return 0;
  const PeResourceKey types[] = {PeResourceKey::Id(10), PeResourceKey::Id(3), PeResourceKey::Name("RCDATA")};
  const PeResourceKey names[] = {PeResourceKey::Name("ALPHA"), PeResourceKey::Name("BETA"), PeResourceKey::Id(1),
                                 PeResourceKey::Name("ball_red.jpg")};
  for (const PeResourceKey& type : types) {
    for (const PeResourceKey& name : names) {
      const uint8_t* bytes = nullptr;
      uint32_t length = 0;
      if (!image.Lookup(type, name, &bytes, &length, &error)) continue;
      if (bytes < copy.get() || static_cast<size_t>(bytes - copy.get()) + length > size) __builtin_trap();
      unsigned sum = 0;
      for (uint32_t i = 0; i < length; ++i) sum += bytes[i];
      volatile unsigned sink = sum;
      (void)sink;
    }
  }
  return 0;
}

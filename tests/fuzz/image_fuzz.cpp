// libFuzzer target for one image decoder, chosen at build time (IMAGE_FUZZ_DECODER):
// any input must decode to a consistent image within the size caps, or fail cleanly.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/d3dx/image_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DecodedImage image;
  std::string error;
  if (!IMAGE_FUZZ_DECODER(data, size, &image, &error)) return 0;
  if (image.width == 0 || image.height == 0 || image.width > kMaxImageDimension ||
      image.height > kMaxImageDimension ||
      static_cast<uint64_t>(image.width) * image.height > kMaxImagePixels ||
      image.pixels.size() != static_cast<size_t>(image.width) * image.height) {
    __builtin_trap();
  }
  return 0;
}

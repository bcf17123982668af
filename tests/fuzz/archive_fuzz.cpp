// libFuzzer target for the packed archive reader: any file must either open with every
// entry inside it, or be rejected, under AddressSanitizer and UBSan.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/packfile.h"
#include "tests/support/d3d8/recording_device.h"

namespace {

// The input as a file without touching the disk.
std::string MemoryFile(const uint8_t* data, size_t size, int& fd) {
  fd = memfd_create("archive_fuzz", MFD_CLOEXEC);
  if (fd < 0) return std::string();
  size_t written = 0;
  while (written < size) {
    const ssize_t n = ::write(fd, data + written, size - written);
    if (n <= 0) return std::string();
    written += static_cast<size_t>(n);
  }
  return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int fd = -1;
  const std::string path = MemoryFile(data, size, fd);
  if (path.empty()) {
    if (fd >= 0) ::close(fd);
    return 0;
  }

  CRecordingDevice* device = new CRecordingDevice();
  CPackFile pack;
  if (pack.Open(device, path.c_str())) {
    unsigned sum = 0;
    for (DWORD i = 0; i < pack.GetCount(); ++i) {
      const INT index = static_cast<INT>(i);
      const BYTE* bytes = pack.GetData(index);
      for (DWORD b = 0; b < pack.GetSize(index); ++b) sum += bytes[b];
      if (pack.Find(pack.GetName(index)) > index) __builtin_trap();  // Find returns the first
    }
    volatile unsigned sink = sum;
    (void)sink;

    // A few textures through the image decoders; the array is sized by the reader.
    IDirect3DTexture8* textures[4] = {};
    const DWORD n = pack.GetCount() < 4 ? pack.GetCount() : 4;
    if (n) pack.CreateTexturesEx(nullptr, textures, n, 4, 0xFF000000);
    for (IDirect3DTexture8* t : textures)
      if (t) t->Release();

    pack.FreeDirectory();  // before Close, as a careless caller might
    pack.Close();
  }
  pack.Open(device, path.c_str());  // a second Open on the same reader
  device->Release();
  ::close(fd);
  return 0;
}

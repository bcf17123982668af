// PNG through libpng. libpng reports errors by longjmp; the function that calls
// setjmp keeps every C++ object (with a destructor) in a caller-owned struct, so
// the jump skips no destructor, and its callbacks hold only plain values.
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <new>

#include "platform/d3dx/image_decoder.h"

namespace {

struct PngInput {
  const uint8_t* data;
  size_t size;
  size_t position;
};

struct PngWork {
  png_structp png = nullptr;
  png_infop info = nullptr;
  PngInput input{};
  std::vector<uint32_t> pixels;  // filled with R, G, B, A bytes, then packed in place
  std::vector<png_bytep> rows;
  uint32_t width = 0, height = 0;
  bool hasAlpha = false;
  char message[128] = {0};
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
  PngInput* input = static_cast<PngInput*>(png_get_io_ptr(png));
  if (count > input->size - input->position) png_error(png, "file is truncated");
  std::memcpy(out, input->data + input->position, count);
  input->position += count;
}

void OnError(png_structp png, png_const_charp message) {
  PngWork* work = static_cast<PngWork*>(png_get_error_ptr(png));
  std::strncpy(work->message, message ? message : "error", sizeof(work->message) - 1);
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

bool AllocateRows(PngWork* work, size_t rowBytes) noexcept {
  try {
    work->pixels.assign(static_cast<size_t>(work->width) * work->height, 0);
    work->rows.resize(work->height);
  } catch (const std::bad_alloc&) {
    return false;
  }
  png_bytep bytes = reinterpret_cast<png_bytep>(work->pixels.data());
  for (uint32_t y = 0; y < work->height; ++y) work->rows[y] = bytes + rowBytes * y;
  return true;
}

// Decodes into work->rgba as R, G, B, A bytes. Only plain values live in this frame.
bool ReadPng(PngWork* work) {
  work->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, work, OnError, OnWarning);
  if (!work->png) return false;
  work->info = png_create_info_struct(work->png);
  if (!work->info) return false;
  if (setjmp(png_jmpbuf(work->png))) return false;

  png_set_user_limits(work->png, kMaxImageDimension, kMaxImageDimension);
  png_set_read_fn(work->png, &work->input, ReadFromMemory);
  png_read_info(work->png, work->info);

  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0;
  png_get_IHDR(work->png, work->info, &width, &height, &bitDepth, &colorType, nullptr, nullptr, nullptr);
  if (!ImageSizeAllowed(width, height)) {
    std::strncpy(work->message, "image size out of range", sizeof(work->message) - 1);
    return false;
  }
  work->width = width;
  work->height = height;
  work->hasAlpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(work->png, work->info, PNG_INFO_tRNS);

  // Everything to 8-bit R, G, B, A: palettes and low gray depths expand, a
  // transparent colour (tRNS) becomes alpha, 16-bit samples scale down.
  png_set_expand(work->png);
  png_set_scale_16(work->png);
  if ((colorType & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(work->png);
  png_set_add_alpha(work->png, 0xff, PNG_FILLER_AFTER);
  png_set_interlace_handling(work->png);
  png_read_update_info(work->png, work->info);

  size_t rowBytes = png_get_rowbytes(work->png, work->info);
  if (rowBytes != static_cast<size_t>(width) * 4) {
    std::strncpy(work->message, "unexpected row layout", sizeof(work->message) - 1);
    return false;
  }
  if (!AllocateRows(work, rowBytes)) {
    std::strncpy(work->message, "out of memory", sizeof(work->message) - 1);
    return false;
  }
  png_read_image(work->png, work->rows.data());
  png_read_end(work->png, nullptr);  // a file cut before its end chunk counts as damaged
  return true;
}

}  // namespace

bool DecodePng(const uint8_t* data, size_t size, DecodedImage* image, std::string* error) {
  PngWork work;
  work.input = PngInput{data, size, 0};
  bool ok = ReadPng(&work);
  if (work.png) png_destroy_read_struct(&work.png, &work.info, nullptr);
  if (!ok) {
    *error = std::string("PNG: ") + (work.message[0] ? work.message : "cannot decode");
    return false;
  }
  image->width = work.width;
  image->height = work.height;
  image->hasAlpha = work.hasAlpha;
  image->kind = ImageFileKind::Png;
  for (uint32_t& pixel : work.pixels) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(&pixel);
    pixel = (uint32_t(p[3]) << 24) | (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
  }
  image->pixels.swap(work.pixels);
  return true;
}

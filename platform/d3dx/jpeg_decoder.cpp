// JPEG through libjpeg. Its fatal errors longjmp back into ReadJpeg, whose frame
// holds no C++ object with a destructor (those live in the caller's JpegWork).
#include <cstdio>
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <csetjmp>
#include <cstring>
#include <new>

#include "platform/d3dx/image_decoder.h"

namespace {

// With the pixels (at most 64 MiB) this keeps a decode under 256 MiB.
const long kMaxDecoderWorkBytes = 160L * 1024 * 1024;

struct JpegErrorManager {
  jpeg_error_mgr base;
  jmp_buf jump;
  bool truncated;
  char message[JMSG_LENGTH_MAX];
};

struct JpegWork {
  jpeg_decompress_struct info;
  JpegErrorManager errors;
  const uint8_t* data = nullptr;
  size_t size = 0;
  std::vector<uint8_t> row;        // one scanline, output_components bytes per pixel
  std::vector<uint32_t> pixels;    // ARGB, converted row by row
  uint32_t width = 0, height = 0;
  int components = 0;
  bool inverted = false;  // CMYK as written by most tools stores inverted inks
  bool created = false;
};

void OnFatalError(j_common_ptr info) {
  JpegErrorManager* errors = reinterpret_cast<JpegErrorManager*>(info->err);
  errors->base.format_message(info, errors->message);
  longjmp(errors->jump, 1);
}

// The warnings by which libjpeg reports damaged data that it would paper over.
bool IsCorruptDataWarning(int code) {
  switch (code) {
    case JWRN_ARITH_BAD_CODE:
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_EXTRANEOUS_DATA:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_JPEG_EOF:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
      return true;
    default:
      return false;
  }
}

void OnMessage(j_common_ptr info, int level) {
  // libjpeg would fill what it cannot decode with grey and go on; stop at once and call
  // the file damaged, so a short file claiming a large picture costs no decoding time either.
  if (level < 0 && IsCorruptDataWarning(info->err->msg_code)) {
    JpegErrorManager* errors = reinterpret_cast<JpegErrorManager*>(info->err);
    errors->truncated = info->err->msg_code == JWRN_JPEG_EOF;
    errors->base.format_message(info, errors->message);
    longjmp(errors->jump, 1);
  }
}

void OnOutputMessage(j_common_ptr) {}

bool Allocate(JpegWork* work) noexcept {
  try {
    work->row.assign(static_cast<size_t>(work->width) * work->components, 0);
    work->pixels.assign(static_cast<size_t>(work->width) * work->height, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void ConvertRow(JpegWork* work, uint32_t y) {
  const uint8_t* p = work->row.data();
  uint32_t* out = work->pixels.data() + static_cast<size_t>(y) * work->width;
  for (uint32_t x = 0; x < work->width; ++x, p += work->components) {
    uint32_t r, g, b;
    if (work->components == 3) {
      r = p[0], g = p[1], b = p[2];
    } else {
      uint32_t c = p[0], m = p[1], yellow = p[2], k = p[3];
      if (!work->inverted) c = 255 - c, m = 255 - m, yellow = 255 - yellow, k = 255 - k;
      r = (c * k + 127) / 255, g = (m * k + 127) / 255, b = (yellow * k + 127) / 255;
    }
    out[x] = 0xff000000u | (r << 16) | (g << 8) | b;
  }
}

bool ReadJpeg(JpegWork* work) {
  work->info.err = jpeg_std_error(&work->errors.base);
  work->errors.base.error_exit = OnFatalError;
  work->errors.base.emit_message = OnMessage;
  work->errors.base.output_message = OnOutputMessage;
  work->errors.truncated = false;
  work->errors.message[0] = 0;
  if (setjmp(work->errors.jump)) return false;

  jpeg_create_decompress(&work->info);
  work->created = true;
  // libjpeg's own working memory (progressive coefficients), beside the pixels.
  work->info.mem->max_memory_to_use = kMaxDecoderWorkBytes;
  jpeg_mem_src(&work->info, work->data, static_cast<unsigned long>(work->size));
  if (jpeg_read_header(&work->info, TRUE) != JPEG_HEADER_OK) return false;
  if (!ImageSizeAllowed(work->info.image_width, work->info.image_height)) {
    std::strncpy(work->errors.message, "image size out of range", sizeof(work->errors.message) - 1);
    return false;
  }
  if (work->info.jpeg_color_space == JCS_CMYK || work->info.jpeg_color_space == JCS_YCCK) {
    work->info.out_color_space = JCS_CMYK;
    work->inverted = work->info.saw_Adobe_marker;
  } else {
    work->info.out_color_space = JCS_RGB;
  }
  jpeg_start_decompress(&work->info);
  work->width = work->info.output_width;
  work->height = work->info.output_height;
  work->components = work->info.output_components;
  if (!ImageSizeAllowed(work->width, work->height) || (work->components != 3 && work->components != 4)) {
    std::strncpy(work->errors.message, "unexpected output layout", sizeof(work->errors.message) - 1);
    return false;
  }
  if (!Allocate(work)) {
    std::strncpy(work->errors.message, "out of memory", sizeof(work->errors.message) - 1);
    return false;
  }
  while (work->info.output_scanline < work->info.output_height) {
    const uint32_t y = work->info.output_scanline;
    JSAMPROW row = work->row.data();
    if (jpeg_read_scanlines(&work->info, &row, 1) != 1) return false;
    ConvertRow(work, y);
  }
  jpeg_finish_decompress(&work->info);
  return !work->errors.truncated;
}

}  // namespace

bool DecodeJpeg(const uint8_t* data, size_t size, DecodedImage* image, std::string* error) {
  JpegWork work;
  std::memset(&work.info, 0, sizeof(work.info));
  work.data = data;
  work.size = size;
  bool ok = ReadJpeg(&work);
  if (work.created) jpeg_destroy_decompress(&work.info);
  if (!ok) {
    *error = std::string("JPEG: ") +
             (work.errors.truncated ? "file is truncated" : (work.errors.message[0] ? work.errors.message : "cannot decode"));
    return false;
  }
  image->width = work.width;
  image->height = work.height;
  image->hasAlpha = false;
  image->kind = ImageFileKind::Jpeg;
  image->pixels.swap(work.pixels);
  return true;
}

#include "platform/xfile/xdecompress.h"

#include <zlib.h>

#include <cstring>

namespace xfile {

namespace {

constexpr size_t kBlockSize = 32768;  // the deflate window: one block fills it at most

uint32_t GetU16(const uint8_t* p) { return static_cast<uint32_t>(p[0] | (p[1] << 8)); }

void PutU16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

}  // namespace

bool InflateMszipBody(const uint8_t* data, size_t size, std::vector<uint8_t>& body) {
  body.clear();
  if (size < 4) return false;
  uint32_t total = static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
                   (static_cast<uint32_t>(data[2]) << 16) | (static_cast<uint32_t>(data[3]) << 24);
  // The total counts the 16-byte header of the uncompressed file.
  if (total < 16 || total - 16 > kMaxInflatedBody) return false;
  const size_t expected = total - 16;
  body.reserve(expected < 4 * size + 64 ? expected : 4 * size + 64);

  z_stream stream;
  std::memset(&stream, 0, sizeof(stream));
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return false;
  bool ok = true;
  size_t pos = 4;
  size_t previousStart = 0, previousSize = 0;
  while (ok && pos < size) {
    if (size - pos < 6) { ok = false; break; }
    const uint32_t uncompressed = GetU16(data + pos);
    const uint32_t compressed = GetU16(data + pos + 2);
    if (data[pos + 4] != 'C' || data[pos + 5] != 'K' || compressed < 2 || uncompressed == 0 ||
        uncompressed > kBlockSize || compressed - 2 > size - pos - 6 ||
        body.size() + uncompressed > expected) {
      ok = false;
      break;
    }
    const uint8_t* in = data + pos + 6;
    const uInt inSize = compressed - 2;
    pos += 6 + inSize;

    const size_t start = body.size();
    body.resize(start + uncompressed);
    if (inflateReset(&stream) != Z_OK) { ok = false; break; }
    if (previousSize > 0 &&
        inflateSetDictionary(&stream, body.data() + previousStart, static_cast<uInt>(previousSize)) != Z_OK) {
      ok = false;
      break;
    }
    stream.next_in = const_cast<Bytef*>(in);
    stream.avail_in = inSize;
    stream.next_out = body.data() + start;
    stream.avail_out = uncompressed;
    const int rc = inflate(&stream, Z_FINISH);
    // The block must end exactly where its header says.
    if (rc != Z_STREAM_END || stream.avail_out != 0) { ok = false; break; }
    previousStart = start;
    previousSize = uncompressed;
  }
  inflateEnd(&stream);
  if (!ok || body.size() != expected) {
    body.clear();
    return false;
  }
  return true;
}

std::vector<uint8_t> DeflateMszipBody(const uint8_t* body, size_t size) {
  std::vector<uint8_t> out;
  const uint32_t total = static_cast<uint32_t>(size + 16);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(total >> (8 * i)));
  size_t previous = 0, previousSize = 0;
  for (size_t pos = 0; pos < size; pos += kBlockSize) {
    const size_t chunk = size - pos < kBlockSize ? size - pos : kBlockSize;
    z_stream stream;
    std::memset(&stream, 0, sizeof(stream));
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
    if (previousSize > 0) deflateSetDictionary(&stream, body + previous, static_cast<uInt>(previousSize));
    std::vector<uint8_t> packed(deflateBound(&stream, static_cast<uLong>(chunk)) + 16);
    stream.next_in = const_cast<Bytef*>(body + pos);
    stream.avail_in = static_cast<uInt>(chunk);
    stream.next_out = packed.data();
    stream.avail_out = static_cast<uInt>(packed.size());
    const int rc = deflate(&stream, Z_FINISH);
    const size_t packedSize = packed.size() - stream.avail_out;
    deflateEnd(&stream);
    if (rc != Z_STREAM_END || packedSize + 2 > 0xFFFF) return {};
    PutU16(out, static_cast<uint32_t>(chunk));
    PutU16(out, static_cast<uint32_t>(packedSize + 2));
    out.push_back('C');
    out.push_back('K');
    out.insert(out.end(), packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(packedSize));
    previous = pos;
    previousSize = chunk;
  }
  return out;
}

}  // namespace xfile

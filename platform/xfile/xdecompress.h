// MSZIP bodies of compressed .x files: after the 16-byte header a u32 total size, then
// blocks of u16 uncompressed size, u16 compressed size (counting the "CK" signature),
// "CK" and raw deflate data whose dictionary is the previous block's output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace xfile {

// Largest body we agree to inflate: a small file must not turn into gigabytes.
constexpr size_t kMaxInflatedBody = 128u * 1024u * 1024u;

// data/size: everything after the 16-byte header. False on any damage.
bool InflateMszipBody(const uint8_t* data, size_t size, std::vector<uint8_t>& body);

// The reverse, for our writer: the u32 total (body size + 16) and the blocks.
std::vector<uint8_t> DeflateMszipBody(const uint8_t* body, size_t size);

}  // namespace xfile

// Writes resource-only Windows DLLs: the format the game reads its assets from.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PeResource {
  std::string name;
  std::vector<uint8_t> data;
};

// Builds a PE32+ DLL image (x86-64) holding each entry as a named RT_RCDATA resource
// (language 0x409). Names are stored upper-case as Windows resource compilers do and
// sorted, so the bytes depend only on the entries (no time stamp). Of entries whose
// names differ only in case the first is kept; an empty name is skipped. Returns an
// empty vector when the image would exceed 1 GiB.
std::vector<uint8_t> BuildResourceDll(const std::vector<PeResource>& resources);

// Writes the image to `path` through WriteFileAtomically, so a process that has the
// old file mapped keeps its bytes. False with a message in `*error` (if given) when a
// name is empty, non-ASCII or repeated, the image is too large, or the file cannot
// be written.
bool WriteResourceDll(const std::string& path, const std::vector<PeResource>& resources, std::string* error);

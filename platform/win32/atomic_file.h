// Reading and replacing a kept file whole. A replacement goes to a temporary file
// beside the file's real location and is renamed over it, so a crash or a failed write
// leaves either the old file or the new one, never a part of one.
#pragma once

#include <cstddef>
#include <string>

// Where a write to `path` lands: the target of a symbolic link (followed to the end),
// else the path itself.
std::string ResolveWriteTarget(const std::string& path);

// The one temporary name used beside `target` while it is being replaced.
std::string TemporaryNameFor(const std::string& target);

// Writes `size` bytes to `path` through a temporary file and a rename. A symbolic
// link keeps pointing at its target, which receives the new contents; an existing
// file keeps its permission bits (a new one gets 0644 less the umask). Returns false,
// leaving the old file as it was and no temporary behind, when any step fails.
bool WriteFileAtomically(const std::string& path, const void* data, std::size_t size);

// Reads a kept file of a known size into `buffer`: the bytes read when the file has at
// most `size`, `size` + 1 when it is longer (nothing beyond `size` is stored), -1 when
// it cannot be opened.
long ReadKeptFile(const std::string& path, void* buffer, std::size_t size);

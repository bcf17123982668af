// The files the game keeps in its working folder (records, saved game, settings, log):
// read whole, replaced whole and, for the log, opened anew, never blocking on what is
// not a regular file and never writing over a file this user may not write. A
// replacement goes to a temporary file beside the file's real location and is renamed
// over it, so a crash or a failed write leaves either the old file or the new one,
// never a part of one.
#pragma once

#include <cstddef>
#include <cstdio>
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
// Nothing but a regular file is ever replaced, nor one this user may not write itself
// (the rename needs only the folder's permission), nor one its owner made read-only
// (no owner write bit, even to root): those are refused, and `refusal` (when given)
// says why, e.g. "is read-only"; it is left empty when a step failed instead.
bool WriteFileAtomically(const std::string& path, const void* data, std::size_t size,
                         std::string* refusal = nullptr);

// What reading a kept file found.
struct KeptFileContents {
  enum Status { kRead, kMissing, kRefused };
  Status status = kMissing;
  std::string bytes;    // the file's first bytes, at most the limit that was asked for
  bool longer = false;  // the file holds more than the limit
  std::string reason;   // why a file that is there was refused, e.g. "is not a regular file"
};

// Reads at most `limit` bytes of the kept file at `path` without ever blocking: a
// FIFO, a device or anything else that is not a regular file is refused before a read
// could wait or never end, as is a file that cannot be opened (only a missing one
// counts as missing).
KeptFileContents ReadKeptFile(const std::string& path, std::size_t limit);

// Opens the log at `path` anew (emptied, or created 0644 less the umask) for writing as
// the game goes, under the same rules as a replacement and without ever blocking: a
// FIFO, a device or a file this user may not write is left as it is. Null then, and
// `refusal` says why.
std::FILE* OpenLogFile(const std::string& path, std::string* refusal);

// The text a test's log stream holds so far.
#pragma once

#include <cstdio>
#include <string>

// Everything written to `log` (flushed first), read from its start; the stream is left
// at its end for further writes. Empty for a null stream.
std::string ReadLog(std::FILE* log);

#include "tests/support/log_text.h"

std::string ReadLog(std::FILE* log) {
  std::string out;
  if (!log) return out;
  std::fflush(log);
  std::rewind(log);
  char buffer[256];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, log)) > 0) out.append(buffer, n);
  std::fseek(log, 0, SEEK_END);
  return out;
}

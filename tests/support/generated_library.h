// The resource library the build generates in its root, which the tests that show or
// play the game's own pictures, meshes and sounds read. Including this header in a test
// program checks once, before any test runs, that the library is there: without it the
// program fails with one message that names it instead of a cascade of pixel checks.
// Such a program is built after the library (vantorel_test_reads_library).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

inline std::string GeneratedLibrary() { return std::string(VANTOREL_BINARY_DIR) + "/res.dll"; }

class GeneratedLibraryCheck : public ::testing::Environment {
 public:
  void SetUp() override {
    if (access(GeneratedLibrary().c_str(), R_OK) != 0)
      FAIL() << GeneratedLibrary() << " is missing: the build's resdll target makes it";
  }
};

inline ::testing::Environment* const kGeneratedLibraryCheck =
    ::testing::AddGlobalTestEnvironment(new GeneratedLibraryCheck);

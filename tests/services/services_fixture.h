// A game context with its sample and texture caches, a log file and a resource
// library written into a temporary directory, for the services tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/gamecontext.h"
#include "engine/samplecache.h"
#include "engine/texturecache.h"
#include "tests/support/sound/recording_sound_backend.h"
#include "tools/pewriter/pe_writer.h"

class ServicesTest : public ::testing::Test {
 public:
  // Helpers the test files use outside the fixture too.
  static std::vector<uint8_t> Bytes(const std::vector<unsigned char>& data) {
    return std::vector<uint8_t>(data.begin(), data.end());
  }
  // A 24-bit bottom-up BMP of one colour.
  static std::vector<uint8_t> MakeBmp(int width, int height, uint8_t r, uint8_t g, uint8_t b);

 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes res.dll into the temporary directory and points the context at it. A
  // full build puts the project's own res.dll beside the test program, where the
  // bare name would find it first: the tests name theirs by path.
  void WriteLibrary(const std::vector<PeResource>& resources);
  void RemoveLibrary();
  // Everything written to the context's log so far.
  std::string LogText();
  // Init, then the test library (Init names the bare "res.dll").
  void InitWithLibrary();

  RecordingSoundBackend m_sound;
  std::unique_ptr<CGameContext> m_pContext;
  std::string m_strDir;
  std::string m_strLibrary;
  std::FILE* m_pLog = nullptr;
  bool m_bInitDone = false;
};

// A game context whose working folder is a fresh temporary directory (the save and
// records files live there) and whose log is a file in it.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "engine/gamecontext.h"
#include "tests/support/sound/synth_audio.h"

namespace records_test {

using Bytes = std::vector<unsigned char>;

class RecordsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(work.Path().empty());
    ctx.m_pLog = log = std::fopen("file.log", "w+");
    ctx.m_dwWidth = 640;
    ctx.m_dwHeight = 480;
    ctx.m_dwMode = GAMEMODE_PLAY;
  }
  void TearDown() override {
    if (log) std::fclose(log);
  }
  std::string LogText() const {
    std::fflush(log);
    const Bytes text = ReadWholeFile("file.log");
    return std::string(text.begin(), text.end());
  }
  static void WriteBytes(const char* strName, const Bytes& bytes) {
    std::ofstream(strName, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }

  ScopedWorkDir work;
  CGameContext ctx;
  FILE* log = nullptr;
};

}  // namespace records_test

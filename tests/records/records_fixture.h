// A game context whose working folder is a fresh temporary directory (the save and
// records files live there) and whose log is a file in it.
#pragma once

#include <ftw.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/gamecontext.h"

namespace records_test {

using Bytes = std::vector<unsigned char>;

class RecordsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char cwd[PATH_MAX], pattern[] = "/tmp/vantorel-records-XXXXXX";
    ASSERT_NE(nullptr, getcwd(cwd, sizeof cwd));
    oldDir = cwd;
    ASSERT_NE(nullptr, mkdtemp(pattern));
    dir = pattern;
    ASSERT_EQ(0, chdir(dir.c_str()));
    ctx.m_pLog = log = std::fopen("file.log", "w+");
    ctx.m_dwWidth = 640;
    ctx.m_dwHeight = 480;
    ctx.m_dwMode = GAMEMODE_PLAY;
  }
  void TearDown() override {
    if (log) std::fclose(log);
    ASSERT_EQ(0, chdir(oldDir.c_str()));
    nftw(dir.c_str(), [](const char* path, const struct stat*, int, FTW*) { return remove(path); }, 8,
         FTW_DEPTH | FTW_PHYS);
  }
  std::string LogText() const {
    std::fflush(log);
    std::ifstream in(dir + "/file.log");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  static Bytes ReadBytes(const char* strName) {
    std::ifstream in(strName, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  static void WriteBytes(const char* strName, const Bytes& bytes) {
    std::ofstream(strName, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }

  CGameContext ctx;
  std::string dir, oldDir;
  FILE* log = nullptr;
};

}  // namespace records_test

// The real program, windowed on the test display: it runs through its intro, ends on
// the session's request like a closed window, and leaves its log and settings.
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "tests/gameapp/gameapp_fixture.h"

namespace gameapp_test {
namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(ProgramTest, RunsThroughTheIntroAndLeavesItsLogAndSettings) {
  if (!getenv("DISPLAY")) GTEST_SKIP() << "needs the test display";
  char pattern[] = "/tmp/vantorel-run-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(pattern));
  const std::string dir = pattern;
  const std::string program = std::string(VANTOREL_BINARY_DIR) + "/vantorel";

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (chdir(dir.c_str()) != 0) _exit(120);
    setenv("SDL_AUDIODRIVER", "dummy", 1);  // no sound card on the test machine
    setenv("VANTOREL_WINDOWED", "1", 1);
    setenv("VANTOREL_NO_DIALOGS", "1", 1);
    setenv("VANTOREL_REGISTRY_FILE", (dir + "/registry.txt").c_str(), 1);
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(121);
  }
  // The intro lasts about six seconds; the opening flight follows.
  sleep(8);
  int status = 0;
  ASSERT_EQ(0, waitpid(child, &status, WNOHANG)) << "the program ended by itself";
  kill(child, SIGTERM);
  ASSERT_EQ(child, waitpid(child, &status, 0));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(0, WEXITSTATUS(status)) << Slurp(dir + "/file.log");

  const std::string log = Slurp(dir + "/file.log");
  EXPECT_EQ(0u, log.find("Start Execute: Begin Log File \n\nRead Settings"));
  EXPECT_NE(std::string::npos, log.find("CAPS: DeviceType............"));
  EXPECT_NE(std::string::npos, log.find("CAPS: VertexShader version.."));
  // Every resource loaded. (Input may fail now and then on a display that other
  // windows share: the game re-acquires it.)
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("FAIL: ", 0) == 0) {
      EXPECT_EQ(0u, line.find("FAIL: Get ")) << line;
    }
  }
  const std::string ending = "Write Settings................................Ok\n";
  ASSERT_GE(log.size(), ending.size());
  EXPECT_EQ(ending, log.substr(log.size() - ending.size()));

  const std::string settings = Slurp(dir + "/registry.txt");
  for (const char* name : {"Width", "Height", "MinDep", "HiRes", "Environ", "MusType", "MusVolume", "SoundVolume",
                           "PlateMov", "FloorType", "FloorTex", "MoveMode"})
    EXPECT_NE(std::string::npos, settings.find(name)) << name;
  EXPECT_EQ(0, system(("rm -rf '" + dir + "'").c_str()));
}

}  // namespace
}  // namespace gameapp_test

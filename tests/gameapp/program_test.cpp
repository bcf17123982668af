// The real program, windowed on the test display: it runs through its intro, ends on
// the session's request like a closed window, and leaves its log and settings.
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>

#include "tests/gameapp/gameapp_fixture.h"
#include "tests/support/generated_library.h"

namespace gameapp_test {
namespace {

std::string Slurp(const std::string& path) {
  const std::vector<unsigned char> bytes = ReadWholeFile(path);
  return std::string(bytes.begin(), bytes.end());
}

// Runs `program` in a new temporary folder for `seconds` and until its log holds `awaited`,
// then asks it to end as the session would; returns the folder. The program must still
// run at that point and end with code 0. A busy machine only makes the wait longer: the
// bound on it only ends a program that never gets there.
std::string RunFor(const std::string& program, unsigned seconds, const std::string& awaited) {
  const std::string dir = MakeTempDir();
  EXPECT_FALSE(dir.empty());
  const pid_t child = fork();
  if (child == 0) {
    if (chdir(dir.c_str()) != 0) _exit(120);
    setenv("SDL_AUDIODRIVER", "dummy", 1);  // no sound card on the test machine
    setenv("VANTOREL_WINDOWED", "1", 1);
    setenv("VANTOREL_NO_DIALOGS", "1", 1);
    setenv("VANTOREL_REGISTRY_FILE", (dir + "/registry.txt").c_str(), 1);
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(121);
  }
  EXPECT_GT(child, 0);
  if (child <= 0) return dir;
  sleep(seconds);
  int status = 0;
  bool ended = false;
  for (int n = 0; n < 2400 && !ended && Slurp(dir + "/file.log").find(awaited) == std::string::npos; ++n) {
    ended = waitpid(child, &status, WNOHANG) == child;
    usleep(50000);
  }
  EXPECT_NE(std::string::npos, Slurp(dir + "/file.log").find(awaited)) << "the log never said " << awaited;
  EXPECT_FALSE(ended || waitpid(child, &status, WNOHANG) == child) << "the program ended by itself";
  if (!ended) {
    kill(child, SIGTERM);
    EXPECT_EQ(child, waitpid(child, &status, 0));
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << Slurp(dir + "/file.log");
  return dir;
}

TEST(ProgramTest, RunsThroughTheIntroAndLeavesItsLogAndSettings) {
  if (!getenv("DISPLAY")) GTEST_SKIP() << "needs the test display";
  // The intro lasts about six seconds; the opening flight follows.
  const std::string dir = RunFor(std::string(VANTOREL_BINARY_DIR) + "/vantorel", 8, "CAPS: VertexShader version..");
  ASSERT_FALSE(HasFailure());

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
  RemoveTree(dir);
}

TEST(ProgramTest, WithoutItsResourceLibraryItSaysWhereItLookedAndPlaysOn) {
  if (!getenv("DISPLAY")) GTEST_SKIP() << "needs the test display";
  // A copy of the program in a folder of its own, where no library lies beside it.
  char pattern[] = "/tmp/vantorel-bare-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(pattern));
  const std::string bare = std::string(pattern) + "/vantorel";
  ASSERT_EQ(0, system(("cp '" VANTOREL_BINARY_DIR "/vantorel' '" + bare + "'").c_str()));
  const std::string dir = RunFor(bare, 3, "FAIL: Resource library \"res.dll\" not found");
  const std::string log = Slurp(dir + "/file.log");
  EXPECT_NE(std::string::npos, log.find("FAIL: Resource library \"res.dll\" not found: tried " + std::string(pattern) +
                                        "/res.dll (No such file or directory)"))
      << log;
  RemoveTree(dir);
  RemoveTree(pattern);
}

}  // namespace
}  // namespace gameapp_test

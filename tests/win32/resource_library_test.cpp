#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>

#include "platform/win32/resources.h"
#include "tests/win32/test_files.h"
#include "tools/pewriter/pe_writer.h"

namespace {

// Changes the working directory for one test and restores it.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::string& path) {
    if (!getcwd(m_previous, sizeof(m_previous))) m_previous[0] = '\0';
    m_changed = chdir(path.c_str()) == 0;
  }
  ~WorkingDirectory() {
    if (m_previous[0] && chdir(m_previous) != 0) std::perror("chdir");
  }
  bool Changed() const { return m_changed; }

 private:
  char m_previous[4096];
  bool m_changed = false;
};

std::string ExecutableName() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
  if (length <= 0) return std::string();
  path[length] = '\0';
  const std::string text(path);
  return text.substr(text.rfind('/') + 1);
}

}  // namespace

TEST(ResourceLibrary, ReadsEveryResourceOurWriterPacks) {
  TestDirectory directory;
  const std::vector<PeResource> resources = {
      {"Ball.x", PatternBytes(4000, 1)},
      {"OptRedButton", PatternBytes(1, 2)},
      {"Nothing", {}},
      {"Big", PatternBytes(300000, 3)},
  };
  const std::string path = directory.File("res.dll");
  ASSERT_TRUE(WriteBytes(path, BuildResourceDll(resources)));
  HMODULE module = LoadLibraryA(path.c_str());
  ASSERT_NE(module, nullptr) << GetLastError();
  for (const PeResource& resource : resources) EXPECT_EQ(ResourceBytes(module, resource.name.c_str()), resource.data);
  // Names are matched whatever their case; the type may be given as "#10".
  EXPECT_EQ(ResourceBytes(module, "ball.X"), resources[0].data);
  EXPECT_EQ(ResourceBytes(module, "OPTREDBUTTON"), resources[1].data);
  EXPECT_NE(FindResourceA(module, "big", "#10"), nullptr);
  // Repeated lookups hand back the same handle; LockResource passes the pointer through.
  HRSRC first = FindResourceA(module, "Big", RT_RCDATA);
  EXPECT_EQ(first, FindResourceA(module, "BIG", RT_RCDATA));
  HGLOBAL loaded = LoadResource(module, first);
  EXPECT_EQ(LockResource(loaded), loaded);
  EXPECT_EQ(LockResource(nullptr), nullptr);
  EXPECT_TRUE(FreeLibrary(module));
}

TEST(ResourceLibrary, MissingNamesTypesAndBadArgumentsFail) {
  TestDirectory directory;
  const std::string path = directory.File("res.dll");
  ASSERT_TRUE(WriteBytes(path, BuildResourceDll({{"Floor", {1, 2, 3}}, {"12", {4}}})));
  HMODULE module = LoadLibraryA(path.c_str());
  ASSERT_NE(module, nullptr);
  SetLastError(0);
  EXPECT_EQ(FindResourceA(module, "Flo", RT_RCDATA), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(FindResourceA(module, "FloorX", RT_RCDATA), nullptr);
  EXPECT_EQ(FindResourceA(module, "Floor", MAKEINTRESOURCE(3)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
  EXPECT_EQ(FindResourceA(module, "Floor", "RCDATA"), nullptr);  // a type name, not type 10
  // "#12" means the integer 12, which is not the name "12".
  EXPECT_EQ(FindResourceA(module, "#12", RT_RCDATA), nullptr);
  EXPECT_NE(FindResourceA(module, "12", RT_RCDATA), nullptr);
  for (const char* bad : {"", "#", "#1x", "#70000"}) {
    SetLastError(0);
    EXPECT_EQ(FindResourceA(module, bad, RT_RCDATA), nullptr) << bad;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << bad;
  }
  EXPECT_EQ(FindResourceA(module, nullptr, RT_RCDATA), nullptr);
  EXPECT_EQ(FindResourceA(module, "Floor", nullptr), nullptr);
  EXPECT_TRUE(IS_INTRESOURCE(RT_RCDATA));
  EXPECT_FALSE(IS_INTRESOURCE("Floor"));
  EXPECT_TRUE(FreeLibrary(module));
}

TEST(ResourceLibrary, HandlesAreCheckedAndFreedOnce) {
  TestDirectory directory;
  const std::string path = directory.File("res.dll");
  ASSERT_TRUE(WriteBytes(path, BuildResourceDll({{"A", {1}}, {"B", {2, 2}}})));
  HMODULE one = LoadLibraryA(path.c_str());
  HMODULE two = LoadLibraryA(path.c_str());
  ASSERT_NE(one, nullptr);
  ASSERT_NE(two, nullptr);
  HRSRC fromOne = FindResourceA(one, "B", RT_RCDATA);
  ASSERT_NE(fromOne, nullptr);
  EXPECT_EQ(SizeofResource(one, fromOne), 2u);
  // A resource handle belongs to the module that found it.
  SetLastError(0);
  EXPECT_EQ(SizeofResource(two, fromOne), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(LoadResource(two, fromOne), nullptr);
  EXPECT_EQ(SizeofResource(one, nullptr), 0u);
  EXPECT_EQ(FindResourceA(nullptr, "A", RT_RCDATA), nullptr);
  EXPECT_TRUE(FreeLibrary(one));
  // The other mapping of the same file is unaffected.
  EXPECT_EQ(ResourceBytes(two, "A"), std::vector<uint8_t>{1});
  EXPECT_TRUE(FreeLibrary(two));
  EXPECT_FALSE(FreeLibrary(two));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(FreeLibrary(nullptr));
}

TEST(ResourceLibrary, BareNamesSearchTheExecutableDirectoryThenTheWorkingDirectory) {
  TestDirectory directory;
  ASSERT_TRUE(WriteBytes(directory.File("only_here.dll"), BuildResourceDll({{"WHERE", {'c', 'w', 'd'}}})));
  std::filesystem::create_directory(directory.File("sub"));
  ASSERT_TRUE(WriteBytes(directory.File("sub/deeper.dll"), BuildResourceDll({{"WHERE", {'s', 'u', 'b'}}})));
  std::filesystem::create_directory(directory.File("folder.dll"));
  ASSERT_EQ(mkfifo(directory.File("pipe.dll").c_str(), 0600), 0);  // must not block the search
  const std::string self = ExecutableName();
  ASSERT_FALSE(self.empty());
  // A valid library under the test program's own name: the program itself, beside
  // which the search looks first, must win (and is refused, being no PE file).
  ASSERT_TRUE(WriteBytes(directory.File(self), BuildResourceDll({{"WHERE", {'c', 'w', 'd'}}})));

  WorkingDirectory cwd(directory.Path());
  ASSERT_TRUE(cwd.Changed());
  HMODULE module = LoadLibraryA("only_here.dll");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(ResourceBytes(module, "where"), (std::vector<uint8_t>{'c', 'w', 'd'}));
  EXPECT_TRUE(FreeLibrary(module));

  SetLastError(0);
  EXPECT_EQ(LoadLibraryA(self.c_str()), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));

  module = LoadLibraryA("sub/deeper.dll");  // a path is used as given
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(ResourceBytes(module, "WHERE"), (std::vector<uint8_t>{'s', 'u', 'b'}));
  EXPECT_TRUE(FreeLibrary(module));
  module = LoadLibraryA((directory.Path() + "/only_here.dll").c_str());
  ASSERT_NE(module, nullptr);
  EXPECT_TRUE(FreeLibrary(module));

  for (const char* missing : {"deeper.dll", "nowhere.dll", "folder.dll", "pipe.dll", "./nowhere.dll"}) {
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA(missing), nullptr) << missing;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND)) << missing;
  }
  EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
  EXPECT_EQ(LoadLibraryA(""), nullptr);
}

// An independent check: a library made by the MinGW-w64 resource compiler and linker.
TEST(ResourceLibrary, ReadsALibraryBuiltByMinGwBinutils) {
  TestDirectory directory;
  const std::vector<uint8_t> small = {'h', 'e', 'l', 'l', 'o', 0, 0xFF};
  const std::vector<uint8_t> other = PatternBytes(3, 5);
  const std::vector<uint8_t> large = PatternBytes(70000, 6);
  ASSERT_TRUE(WriteBytes(directory.File("small.bin"), small));
  ASSERT_TRUE(WriteBytes(directory.File("other.bin"), other));
  ASSERT_TRUE(WriteBytes(directory.File("large.bin"), large));
  ASSERT_TRUE(WriteText(directory.File("res.rc"),
                        "Hello RCDATA \"small.bin\"\n"
                        "lower_name RCDATA \"other.bin\"\n"
                        "42 RCDATA \"large.bin\"\n"
                        "MeshBall RCDATA \"large.bin\"\n"
                        "Hello 300 \"other.bin\"\n"));
  int status = 0;
  // No C preprocessor is needed for this file, so none is required on the machine.
  std::string log = RunCommand("cd '" + directory.Path() +
                                   "' && x86_64-w64-mingw32-windres --preprocessor=cat -O coff -i res.rc -o res.o"
                                   " && x86_64-w64-mingw32-ld --dll -e 0 -s -o res.dll res.o",
                               &status);
  ASSERT_EQ(status, 0) << "binutils-mingw-w64-x86-64 must be installed (tools/install-deps.sh)\n" << log;

  HMODULE module = LoadLibraryA(directory.File("res.dll").c_str());
  ASSERT_NE(module, nullptr) << GetLastError();
  EXPECT_EQ(ResourceBytes(module, "Hello"), small);
  EXPECT_EQ(ResourceBytes(module, "hello"), small);
  EXPECT_EQ(ResourceBytes(module, "LOWER_NAME"), other);
  EXPECT_EQ(ResourceBytes(module, "meshball"), large);
  EXPECT_EQ(ResourceBytes(module, "#42"), large);
  EXPECT_EQ(ResourceBytes(module, MAKEINTRESOURCE(42)), large);
  EXPECT_EQ(FindResourceA(module, "42", RT_RCDATA), nullptr);
  HRSRC custom = FindResourceA(module, "HELLO", MAKEINTRESOURCE(300));
  ASSERT_NE(custom, nullptr);
  EXPECT_EQ(SizeofResource(module, custom), other.size());
  EXPECT_TRUE(FreeLibrary(module));
}

// Sets a file's times to one fixed moment long ago, as for a library built then.
void MakeOld(const std::string& path) {
  struct timespec times[2] = {{1600000000, 0}, {1600000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// Loads are served from a kept mapping: a file changed or replaced since must still be
// seen, and a handle on the old file must stay readable.
TEST(ResourceLibrary, AChangedOrReplacedFileIsSeenAndOldHandlesStayReadable) {
  TestDirectory directory;
  const std::string path = directory.File("res.dll");
  const std::vector<uint8_t> first = PatternBytes(5000, 1), second = PatternBytes(5000, 2),
                             third = PatternBytes(5000, 3), fourth = PatternBytes(5000, 4);
  ASSERT_TRUE(WriteBytes(path, BuildResourceDll({{"X", first}})));
  MakeOld(path);
  HMODULE module = LoadLibraryA(path.c_str());
  ASSERT_NE(module, nullptr);
  EXPECT_TRUE(FreeLibrary(module));
  HMODULE old = LoadLibraryA(path.c_str());
  ASSERT_NE(old, nullptr);
  EXPECT_EQ(ResourceBytes(old, "X"), first);

  // Replaced by rename while `old` is in use, by a file of the same size and time.
  ASSERT_TRUE(WriteBytes(path + ".new", BuildResourceDll({{"X", second}})));
  MakeOld(path + ".new");
  ASSERT_EQ(std::rename((path + ".new").c_str(), path.c_str()), 0);
  module = LoadLibraryA(path.c_str());
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(ResourceBytes(module, "X"), second);
  EXPECT_EQ(ResourceBytes(old, "X"), first);
  EXPECT_TRUE(FreeLibrary(old));
  EXPECT_TRUE(FreeLibrary(module));

  // Rewritten in place, same size; then again at once (within the clock's granularity).
  ASSERT_TRUE(WriteBytes(path, BuildResourceDll({{"X", third}})));
  module = LoadLibraryA(path.c_str());
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(ResourceBytes(module, "X"), third);
  EXPECT_TRUE(FreeLibrary(module));
  ASSERT_TRUE(WriteBytes(path, BuildResourceDll({{"X", fourth}})));
  module = LoadLibraryA(path.c_str());
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(ResourceBytes(module, "X"), fourth);
  EXPECT_TRUE(FreeLibrary(module));

  ASSERT_EQ(std::remove(path.c_str()), 0);
  EXPECT_EQ(LoadLibraryA(path.c_str()), nullptr);
}

TEST(ResourceLibrary, AFailedLoadSaysOnceWhichPathsWereTriedAndWhy) {
  TestDirectory directory;
  WorkingDirectory cwd(directory.Path());
  ASSERT_TRUE(cwd.Changed());
  char line[512];
  auto failureOf = [&line](const char* name) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(LoadLibraryA(name), nullptr);
    EXPECT_EQ(LoadLibraryA(name), nullptr);
    const std::string said = testing::internal::GetCapturedStderr();
    const DWORD length = GetResourceLibraryProblem(line, sizeof(line));
    EXPECT_EQ(said, std::string(line) + "\n") << "said once, the same line as the log gets";
    EXPECT_EQ(length, std::strlen(line));
    return std::string(line);
  };

  std::string text = failureOf("absent.dll");
  EXPECT_NE(text.find("\"absent.dll\" not found: tried "), std::string::npos) << text;
  const std::string exeDir = std::filesystem::canonical("/proc/self/exe").parent_path().string();
  EXPECT_NE(text.find(exeDir + "/absent.dll (No such file or directory)"), std::string::npos) << text;
  EXPECT_NE(text.find(directory.Path() + "/absent.dll (No such file or directory)"), std::string::npos) << text;

  ASSERT_TRUE(WriteBytes(directory.File("empty.dll"), {}));
  text = failureOf(directory.File("empty.dll").c_str());
  EXPECT_NE(text.find(directory.File("empty.dll") + " is empty"), std::string::npos) << text;

  std::vector<uint8_t> whole = BuildResourceDll({{"X", PatternBytes(3000, 4)}});
  whole.resize(whole.size() / 3);
  ASSERT_TRUE(WriteBytes(directory.File("cut.dll"), whole));
  text = failureOf("cut.dll");
  EXPECT_NE(text.find(directory.File("cut.dll") + " is not a resource library (truncated or damaged)"),
            std::string::npos)
      << text;

  // The copy is bounded; a load that works clears the report.
  EXPECT_EQ(GetResourceLibraryProblem(line, 8), 7u);
  EXPECT_EQ(std::strlen(line), 7u);
  ASSERT_TRUE(WriteBytes(directory.File("good.dll"), BuildResourceDll({{"X", {1}}})));
  HMODULE module = LoadLibraryA("good.dll");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(GetResourceLibraryProblem(line, sizeof(line)), 0u);
  EXPECT_STREQ(line, "");
  EXPECT_TRUE(FreeLibrary(module));
}

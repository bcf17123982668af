#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/win32/registry.h"
#include "tests/support/child_process.h"
#include "tests/win32/test_files.h"

namespace {

const char kKey[] = "Software\\Maker\\Vantorel";

// Each test gets its own registry file in a fresh directory.
class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(m_directory.Path().empty());
    m_file = m_directory.File("registry.txt");
    setenv("VANTOREL_REGISTRY_FILE", m_file.c_str(), 1);
  }
  void TearDown() override { unsetenv("VANTOREL_REGISTRY_FILE"); }

  HKEY Create(REGSAM access = KEY_ALL_ACCESS, DWORD* disposition = nullptr) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key,
                              disposition),
              ERROR_SUCCESS);
    return key;
  }
  HKEY Open(REGSAM access) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, access, &key), ERROR_SUCCESS);
    return key;
  }
  std::vector<std::string> DirectoryEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_directory.Path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  TestDirectory m_directory;
  std::string m_file;
};

std::vector<uint8_t> Query(HKEY key, const char* name, DWORD* type) {
  DWORD size = 0;
  if (RegQueryValueExA(key, name, nullptr, type, nullptr, &size) != ERROR_SUCCESS) return {0xBA, 0xD0};
  std::vector<uint8_t> data(size + 1, 0xCC);
  if (RegQueryValueExA(key, name, nullptr, type, data.data(), &size) != ERROR_SUCCESS) return {0xBA, 0xD1};
  data.resize(size);
  return data;
}

}  // namespace

TEST_F(Registry, CreateReportsANewKeyThenAnExistingOne) {
  DWORD disposition = 0;
  HKEY key = Create(KEY_ALL_ACCESS, &disposition);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  key = Create(KEY_ALL_ACCESS, &disposition);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

  // Names compare without case; parents of a created key exist too.
  HKEY opened = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\maker\\VANTOREL", 0, KEY_READ, &opened), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(opened), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Maker", 0, KEY_READ, &opened), ERROR_SUCCESS);
  HKEY child = nullptr;
  EXPECT_EQ(RegOpenKeyExA(opened, "Vantorel", 0, KEY_READ, &child), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(child), ERROR_SUCCESS);
  // A read-only parent may open children but not create new ones.
  EXPECT_EQ(RegCreateKeyExA(opened, "Other", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, &disposition),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegCloseKey(opened), ERROR_SUCCESS);

  opened = reinterpret_cast<HKEY>(1);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Mak", 0, KEY_READ, &opened), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(opened, nullptr);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Maker\\Vantorel\\Deeper", 0, KEY_READ, &opened),
            ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, AllThreeTypesRoundTripThroughTheFile) {
  HKEY key = Create();
  const DWORD number = 0xA1B2C3D4u;
  const char text[] = "Player \"One\" 100%";
  const std::vector<uint8_t> blob = {0, 1, 0xFF, '\n', '"', '%', 0x7F};
  ASSERT_EQ(RegSetValueExA(key, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof(text)), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "Blob", 0, REG_BINARY, blob.data(), static_cast<DWORD>(blob.size())), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "Empty", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

  EXPECT_NE(ReadText(m_file).find("value \"Number\" dword 2712847316\n"), std::string::npos) << ReadText(m_file);

  key = Open(KEY_READ);
  DWORD type = 0;
  EXPECT_EQ(Query(key, "number", &type), std::vector<uint8_t>({0xD4, 0xC3, 0xB2, 0xA1}));
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(Query(key, "TEXT", &type), std::vector<uint8_t>(text, text + sizeof(text)));
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(Query(key, "Blob", &type), blob);
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_EQ(Query(key, "Empty", &type), std::vector<uint8_t>());
  EXPECT_EQ(Query(key, nullptr, &type), std::vector<uint8_t>({'x', 0}));
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

  // Overwriting changes type and size.
  key = Create();
  ASSERT_EQ(RegSetValueExA(key, "NUMBER", 0, REG_SZ, reinterpret_cast<const BYTE*>("7"), 2), ERROR_SUCCESS);
  EXPECT_EQ(Query(key, "Number", &type), std::vector<uint8_t>({'7', 0}));
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(Registry, QueryFollowsTheWin32SizeRules) {
  HKEY key = Create();
  const char text[] = "abcdefgh";
  ASSERT_EQ(RegSetValueExA(key, "Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof(text)), ERROR_SUCCESS);
  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "Text", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, sizeof(text));
  EXPECT_EQ(RegQueryValueExA(key, "Text", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);  // exists?

  uint8_t small[4] = {1, 2, 3, 4};
  size = sizeof(small);
  type = 0;
  EXPECT_EQ(RegQueryValueExA(key, "Text", nullptr, &type, small, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, sizeof(text));
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(small[0], 1);  // left untouched

  char exact[sizeof(text)];
  size = sizeof(exact);
  EXPECT_EQ(RegQueryValueExA(key, "Text", nullptr, nullptr, reinterpret_cast<BYTE*>(exact), &size), ERROR_SUCCESS);
  EXPECT_STREQ(exact, text);

  size = sizeof(small);
  EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, &type, small, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegQueryValueExA(key, "Text", nullptr, &type, small, nullptr), ERROR_INVALID_PARAMETER);
  DWORD reserved = 0;
  EXPECT_EQ(RegQueryValueExA(key, "Text", &reserved, &type, nullptr, &size), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(Registry, AccessRightsAndHandlesAreEnforced) {
  HKEY writable = Create();
  const DWORD one = 1, two = 2;
  ASSERT_EQ(RegSetValueExA(writable, "Value", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4), ERROR_SUCCESS);
  const std::string before = ReadText(m_file);

  HKEY readOnly = Open(KEY_READ);
  EXPECT_EQ(RegSetValueExA(readOnly, "Value", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&two), 4),
            ERROR_ACCESS_DENIED);
  HKEY writeOnly = Open(KEY_WRITE);
  DWORD size = 4, value = 0;
  EXPECT_EQ(RegQueryValueExA(writeOnly, "Value", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
            ERROR_ACCESS_DENIED);
  HKEY queryOnly = Open(KEY_QUERY_VALUE);
  EXPECT_EQ(RegQueryValueExA(queryOnly, "Value", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(value, 1u);
  EXPECT_EQ(ReadText(m_file), before);

  // A DWORD must be four bytes; data may not be missing when a size is given.
  EXPECT_EQ(RegSetValueExA(writable, "Value", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&two), 2),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueExA(writable, "Value", 0, REG_BINARY, nullptr, 3), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(ReadText(m_file), before);

  for (HKEY key : {writable, readOnly, writeOnly, queryOnly}) EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(writable), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegSetValueExA(writable, "Value", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&two), 4),
            ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
  HKEY result = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegCreateKeyExA(reinterpret_cast<HKEY>(0x1234), "X", 0, nullptr, 0, KEY_READ, nullptr, &result, nullptr),
            ERROR_INVALID_HANDLE);
}

TEST_F(Registry, EveryWriteReplacesTheWholeFileAtomically) {
  ASSERT_TRUE(WriteText(m_directory.File("neighbour.txt"), "keep me"));
  HKEY key = Create();
  // A second name for the file as it was: a write in place would change it too.
  const std::string before = ReadText(m_file);
  const std::string link = m_directory.File("old-link");
  ASSERT_EQ(::link(m_file.c_str(), link.c_str()), 0);
  for (DWORD i = 0; i < 20; ++i) {
    const std::string name = "V" + std::to_string(i);
    ASSERT_EQ(RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&i), 4), ERROR_SUCCESS);
  }
  EXPECT_EQ(ReadText(link), before);
  EXPECT_NE(ReadText(m_file), before);
  ASSERT_EQ(unlink(link.c_str()), 0);
  EXPECT_EQ(DirectoryEntries(), std::vector<std::string>({"neighbour.txt", "registry.txt"}));  // no temporary left
  EXPECT_EQ(ReadText(m_directory.File("neighbour.txt")), "keep me");
  const std::string text = ReadText(m_file);
  EXPECT_EQ(text.rfind("end\n"), text.size() - 4);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(Registry, DamagedFilesReadAsAnEmptyKeyAndAreLeftAlone) {
  const std::string good = std::string("vantorel-registry 1\nkey \"") + "Software\\Maker\\Vantorel" +
                           "\"\nvalue \"Kept\" dword 5\nend\n";
  const std::vector<std::string> damaged = {
      good.substr(0, good.size() - 4),  // cut before "end"
      good.substr(0, good.size() / 2),
      "\x01\x02garbage\xFF",
      good + "trailing\n",
      "vantorel-registry 1\nvalue \"Orphan\" dword 1\nend\n",                    // value outside a key
      "vantorel-registry 1\nkey \"A\"\nvalue \"V\" dword 99999999999\nend\n",    // too large
      "vantorel-registry 1\nkey \"A\"\nvalue \"V\" binary \"abc\"\nend\n",       // odd hex
      "vantorel-registry 1\nkey \"A\\\\B\"\nend\n",                               // empty component
      "vantorel-registry 1\nkey \"A%4\"\nend\n",                                  // broken escape
      good + std::string(64 * 1024, '#'),                                       // larger than any store
  };
  const DWORD value = 5;
  for (const std::string& text : damaged) {
    ASSERT_TRUE(WriteText(m_file, text));
    HKEY opened = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &opened), ERROR_FILE_NOT_FOUND) << text;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened, nullptr),
              ERROR_ACCESS_DENIED)
        << text;
    EXPECT_EQ(ReadText(m_file), text);
  }
  // A key that was open before the file was damaged can no longer write either.
  ASSERT_TRUE(WriteText(m_file, good));
  HKEY key = Create();
  ASSERT_TRUE(WriteText(m_file, "damaged"));
  EXPECT_EQ(RegSetValueExA(key, "Back", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4), ERROR_ACCESS_DENIED);
  EXPECT_EQ(ReadText(m_file), "damaged");
  // An empty file holds nothing to lose: it is an empty key and the next write fills it.
  ASSERT_TRUE(WriteText(m_file, ""));
  EXPECT_EQ(RegSetValueExA(key, "Back", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4), ERROR_SUCCESS);
  DWORD type = 0;
  EXPECT_EQ(Query(key, "Back", &type), std::vector<uint8_t>({5, 0, 0, 0}));
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(Registry, LinkedAndCrlfFilesKeepTheirValuesAndModeAcrossAWriteAndReadOnlyOnesAreLeftAlone) {
  const std::string text = std::string("vantorel-registry 1\r\nkey \"") + kKey + "\"\r\nvalue \"Old\" dword 7\r\nend\r\n";
  const std::string real = m_directory.File("real.txt");
  ASSERT_TRUE(WriteText(real, text));
  ASSERT_EQ(chmod(real.c_str(), 0640), 0);
  ASSERT_EQ(symlink("real.txt", m_file.c_str()), 0);

  HKEY key = Open(KEY_ALL_ACCESS);
  const DWORD value = 8;
  ASSERT_EQ(RegSetValueExA(key, "New", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4), ERROR_SUCCESS);
  DWORD type = 0;
  EXPECT_EQ(Query(key, "Old", &type), std::vector<uint8_t>({7, 0, 0, 0}));
  EXPECT_EQ(Query(key, "New", &type), std::vector<uint8_t>({8, 0, 0, 0}));

  struct stat info;
  ASSERT_EQ(lstat(m_file.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  ASSERT_EQ(stat(real.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_NE(ReadText(real).find("\"New\" dword 8"), std::string::npos);
  EXPECT_EQ(DirectoryEntries(), std::vector<std::string>({"real.txt", "registry.txt"}));

  // The player took the write bit away: the values still read, no write replaces them,
  // even for root, who could.
  const std::string kept = ReadText(real);
  ASSERT_EQ(chmod(real.c_str(), 0444), 0);
  EXPECT_EQ(Query(key, "New", &type), std::vector<uint8_t>({8, 0, 0, 0}));
  EXPECT_EQ(RegSetValueExA(key, "New", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4), ERROR_ACCESS_DENIED);
  EXPECT_EQ(ReadText(real), kept);
  ASSERT_EQ(stat(real.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0444u);
  EXPECT_EQ(DirectoryEntries(), std::vector<std::string>({"real.txt", "registry.txt"}));
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(Registry, FilesItCannotReadAreNeverReplaced) {
  const std::string text = std::string("vantorel-registry 1\nkey \"") + kKey + "\"\nvalue \"Old\" dword 7\nend\n";
  ASSERT_TRUE(WriteText(m_file, text));
  ASSERT_EQ(chmod(m_file.c_str(), 0), 0);
  ASSERT_EQ(chmod(m_directory.Path().c_str(), 0777), 0);  // the directory itself would allow a rename
  EXPECT_TRUE(InChildProcess(
      [] {
        HKEY key = nullptr;
        return RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
               ERROR_ACCESS_DENIED;
      },
      true));
  EXPECT_EQ(ReadText(m_file), text);

  // A FIFO or a device at the path gives the defaults at once and stays what it is. The
  // device is the machine's own, so the store is used by an unprivileged user, whom the
  // FIFO lets in.
  ASSERT_EQ(unlink(m_file.c_str()), 0);
  ASSERT_EQ(mkfifo(m_file.c_str(), 0600), 0);
  ASSERT_EQ(chmod(m_file.c_str(), 0666), 0);
  for (const char* path : {m_file.c_str(), "/dev/zero"}) {
    setenv("VANTOREL_REGISTRY_FILE", path, 1);
    const ChildOutcome outcome = WatchForBlocking(
        [] {
          HKEY key = nullptr;
          return RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) == ERROR_FILE_NOT_FOUND &&
                 RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
                     ERROR_ACCESS_DENIED;
        },
        true);
    EXPECT_EQ(outcome, ChildOutcome::kTrue) << path;
  }
  struct stat info;
  ASSERT_EQ(lstat(m_file.c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

TEST_F(Registry, StaleTemporaryIsCleanedUpAndWritersInTwoProcessesLoseNothing) {
  ASSERT_TRUE(WriteText(m_file + ".tmp", "left by a killed writer"));
  HKEY key = Create();
  const DWORD value = 1;
  ASSERT_EQ(RegSetValueExA(key, "First", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4), ERROR_SUCCESS);
  EXPECT_EQ(DirectoryEntries(), std::vector<std::string>({"registry.txt"}));

  const auto writer = [key](const char* prefix) {
    return [key, prefix] {
      for (DWORD i = 0; i < 60; ++i) {
        const std::string name = prefix + std::to_string(i);
        if (RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&i), 4) != ERROR_SUCCESS) {
          return false;
        }
      }
      return true;
    };
  };
  const pid_t other = fork();
  if (other == 0) _exit(writer("B")() ? 0 : 1);
  EXPECT_TRUE(writer("A")());
  int status = 0;
  ASSERT_EQ(waitpid(other, &status, 0), other);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  for (DWORD i = 0; i < 60; ++i) {
    DWORD type = 0;
    const std::vector<uint8_t> expected = {static_cast<uint8_t>(i), 0, 0, 0};
    EXPECT_EQ(Query(key, ("A" + std::to_string(i)).c_str(), &type), expected) << i;
    EXPECT_EQ(Query(key, ("B" + std::to_string(i)).c_str(), &type), expected) << i;
  }
  EXPECT_EQ(DirectoryEntries(), std::vector<std::string>({"registry.txt"}));
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(Registry, FileLivesUnderTheXdgConfigDirectory) {
  unsetenv("VANTOREL_REGISTRY_FILE");
  const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
  const char* oldHome = std::getenv("HOME");
  const std::string savedXdg = oldXdg ? oldXdg : "";
  const std::string savedHome = oldHome ? oldHome : "";
  const std::string config = m_directory.File("config");
  std::filesystem::create_directory(config);
  ASSERT_TRUE(WriteText(config + "/other.conf", "untouched"));
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  EXPECT_EQ(RegistryFilePath(), config + "/vantorel/registry.txt");

  HKEY key = Create();
  const DWORD value = 9;
  EXPECT_EQ(RegSetValueExA(key, "Where", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_NE(ReadText(config + "/vantorel/registry.txt").find("\"Where\" dword 9"), std::string::npos);
  EXPECT_EQ(ReadText(config + "/other.conf"), "untouched");

  // A relative XDG_CONFIG_HOME is ignored in favour of ~/.config.
  setenv("XDG_CONFIG_HOME", "relative/dir", 1);
  setenv("HOME", m_directory.Path().c_str(), 1);
  EXPECT_EQ(RegistryFilePath(), m_directory.Path() + "/.config/vantorel/registry.txt");
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(RegistryFilePath(), m_directory.Path() + "/.config/vantorel/registry.txt");

  if (oldXdg) setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
  if (oldHome) setenv("HOME", savedHome.c_str(), 1);
  else unsetenv("HOME");
}

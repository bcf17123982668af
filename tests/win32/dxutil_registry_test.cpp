#include <gtest/gtest.h>

#include <cstdlib>

#include "shell/dxutil_registry.h"
#include "tests/win32/test_files.h"

namespace {

class DXUtilRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    m_file = m_directory.File("registry.txt");
    setenv("VANTOREL_REGISTRY_FILE", m_file.c_str(), 1);
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Maker\\Vantorel", 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &m_key, nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    RegCloseKey(m_key);
    unsetenv("VANTOREL_REGISTRY_FILE");
  }
  void Set(const char* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(RegSetValueExA(m_key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
  }

  TestDirectory m_directory;
  std::string m_file;
  HKEY m_key = nullptr;
};

}  // namespace

TEST_F(DXUtilRegistry, WrittenValuesReadBack) {
  EXPECT_EQ(DXUtil_WriteIntRegKey(m_key, "Width", 1024), S_OK);
  EXPECT_EQ(DXUtil_WriteIntRegKey(m_key, "Max", 0xFFFFFFFFu), S_OK);
  DWORD value = 0;
  EXPECT_EQ(DXUtil_ReadIntRegKey(m_key, "Width", &value, 7), S_OK);
  EXPECT_EQ(value, 1024u);
  EXPECT_EQ(DXUtil_ReadIntRegKey(m_key, "max", &value, 7), S_OK);
  EXPECT_EQ(value, 0xFFFFFFFFu);
  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExA(m_key, "Width", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(size, 4u);
}

TEST_F(DXUtilRegistry, MissingOrUnreadableValuesGiveTheDefault) {
  DWORD value = 1;
  EXPECT_EQ(DXUtil_ReadIntRegKey(m_key, "Missing", &value, 42), S_OK);
  EXPECT_EQ(value, 42u);

  Set("Long", REG_SZ, "eighteen", 9);  // longer than four bytes
  value = 1;
  EXPECT_EQ(DXUtil_ReadIntRegKey(m_key, "Long", &value, 43), S_OK);
  EXPECT_EQ(value, 43u);

  // Values of another type or size are not taken as numbers (a short value would
  // have left stray bytes of the old contents).
  Set("Text", REG_SZ, "abc", 4);
  Set("Bytes", REG_BINARY, "\x01\x02\x03\x04", 4);
  Set("Short", REG_BINARY, "\x09\x00", 2);
  for (const char* name : {"Text", "Bytes", "Short"}) {
    value = 0xAAAAAAAAu;
    EXPECT_EQ(DXUtil_ReadIntRegKey(m_key, name, &value, 44), S_OK) << name;
    EXPECT_EQ(value, 44u) << name;
  }
  // A REG_DWORD of the wrong size can only come from the file itself.
  ASSERT_TRUE(WriteText(m_file,
                        "vantorel-registry 1\nkey \"Software\\Maker\\Vantorel\"\n"
                        "value \"Odd\" type:4 \"0102\"\nvalue \"Good\" dword 3\nend\n"));
  EXPECT_EQ(DXUtil_ReadIntRegKey(m_key, "Odd", &value, 45), S_OK);
  EXPECT_EQ(value, 45u);
  EXPECT_EQ(DXUtil_ReadIntRegKey(m_key, "Good", &value, 45), S_OK);
  EXPECT_EQ(value, 3u);

  // A key opened without read access also gives the default.
  HKEY writeOnly = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Maker\\Vantorel", 0, KEY_WRITE, &writeOnly), ERROR_SUCCESS);
  EXPECT_EQ(DXUtil_ReadIntRegKey(writeOnly, "Good", &value, 46), S_OK);
  EXPECT_EQ(value, 46u);
  EXPECT_EQ(RegCloseKey(writeOnly), ERROR_SUCCESS);
  EXPECT_EQ(DXUtil_ReadIntRegKey(m_key, "Good", nullptr, 47), S_OK);  // nowhere to store: no crash
}

TEST_F(DXUtilRegistry, WritingWithoutWriteAccessFails) {
  HKEY readOnly = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Maker\\Vantorel", 0, KEY_READ, &readOnly), ERROR_SUCCESS);
  EXPECT_EQ(DXUtil_WriteIntRegKey(readOnly, "Width", 800), E_FAIL);
  DWORD value = 0;
  EXPECT_EQ(DXUtil_ReadIntRegKey(readOnly, "Width", &value, 5), S_OK);
  EXPECT_EQ(value, 5u);
  EXPECT_EQ(RegCloseKey(readOnly), ERROR_SUCCESS);
  EXPECT_EQ(DXUtil_WriteIntRegKey(nullptr, "Width", 800), E_FAIL);
}

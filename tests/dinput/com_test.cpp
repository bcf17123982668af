#include <gtest/gtest.h>

#include "platform/win32/com.h"

TEST(Com, InitialisationIsCountedAndBalanced) {
  ASSERT_EQ(CoInitializeCount(), 0);
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
  EXPECT_EQ(CoInitializeCount(), 2);
  CoUninitialize();
  CoUninitialize();
  EXPECT_EQ(CoInitializeCount(), 0);
  CoUninitialize();  // one too many is ignored
  EXPECT_EQ(CoInitializeCount(), 0);
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  CoUninitialize();
  int reserved = 0;
  EXPECT_EQ(CoInitialize(&reserved), E_INVALIDARG);
  EXPECT_EQ(CoInitializeCount(), 0);
}

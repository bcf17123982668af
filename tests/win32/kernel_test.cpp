#include "platform/win32/win32.h"

#include <gtest/gtest.h>

TEST(Kernel, TickIsMonotonicAndSleepWaits) {
  const DWORD start = GetTickCount();
  Sleep(20);
  const DWORD elapsed = GetTickCount() - start;  // unsigned difference survives the wrap
  EXPECT_GE(elapsed, 19u);
  EXPECT_LT(elapsed, 2000u);
}

TEST(Kernel, StatusCodesHaveTheirWin32Values) {
  EXPECT_TRUE(FAILED(E_FAIL));
  EXPECT_TRUE(SUCCEEDED(S_FALSE));
  EXPECT_EQ(static_cast<DWORD>(E_FAIL), 0x80004005u);
  EXPECT_EQ(sizeof(LONG), 4u);
  EXPECT_EQ(sizeof(GUID), 16u);
}

TEST(Kernel, MessageBoxNeverBlocksUnderTest) {
  setenv("VANTOREL_NO_DIALOGS", "1", 1);
  ASSERT_TRUE(Win32IsHeadless());
  EXPECT_EQ(MessageBoxA(nullptr, "text", "Warning", MB_OK | MB_ICONWARNING), IDOK);
  EXPECT_EQ(MessageBoxA(nullptr, "question", "Vantorel", MB_YESNO), IDNO);
}

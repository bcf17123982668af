// The device cursor: the arrow's AND/XOR masks become a 32 x 32 image with
// alpha; colour cursors keep their colours; the hotspot goes to the device as it is.
#include <gtest/gtest.h>

#include <vector>

#include "shell/d3dutil_cursor.h"
#include "tests/support/d3d8/recording_device.h"

namespace {

TEST(DeviceCursorTest, ArrowBecomesOpaqueBlackAndWhiteOnTransparent) {
  CURSORPIXELS arrow;
  ASSERT_TRUE(GetCursorPixels(LoadCursor(nullptr, IDC_ARROW), &arrow));
  ASSERT_FALSE(arrow.hasColor);
  ASSERT_EQ(32, arrow.width);
  ASSERT_EQ(64, arrow.maskHeight);
  ASSERT_EQ(32, D3DUtil_CursorHeight(arrow));
  std::vector<DWORD> image(32 * 32, 0x12345678u);
  ASSERT_TRUE(D3DUtil_CursorToArgb(arrow, reinterpret_cast<BYTE*>(image.data()), 32 * 4));
  EXPECT_EQ(0xFF000000u, image[0]);             // the tip: black outline
  EXPECT_EQ(0xFFFFFFFFu, image[3 * 32 + 1]);    // inside: white
  EXPECT_EQ(0x00000000u, image[0 * 32 + 5]);    // beside it: transparent
  EXPECT_EQ(0x00000000u, image[31 * 32 + 31]);  // bottom right: transparent
  int opaque = 0;
  for (DWORD p : image) {
    EXPECT_TRUE(p == 0 || p == 0xFF000000u || p == 0xFFFFFFFFu);
    opaque += (p >> 24) == 0xFF;
  }
  EXPECT_GT(opaque, 50);
}

TEST(DeviceCursorTest, ColourCursorKeepsItsColoursWhereTheMaskIsClear) {
  CURSORPIXELS c;
  c.width = 2;
  c.maskHeight = 2;
  c.hasColor = true;
  // Rows bottom-up: row 0 is the lower row.
  c.color = {0x00112233u, 0x00445566u, 0x00778899u, 0x00AABBCCu};
  c.mask = {0u, 0x00FFFFFFu, 0u, 0u};
  DWORD image[4];
  ASSERT_TRUE(D3DUtil_CursorToArgb(c, reinterpret_cast<BYTE*>(image), 8));
  EXPECT_EQ(0xFF778899u, image[0]);  // top row comes from the last array row
  EXPECT_EQ(0xFFAABBCCu, image[1]);
  EXPECT_EQ(0xFF112233u, image[2]);
  EXPECT_EQ(0x00000000u, image[3]);  // its mask bit is set
}

TEST(DeviceCursorTest, PitchWiderThanTheRowIsHonoured) {
  CURSORPIXELS arrow;
  ASSERT_TRUE(GetCursorPixels(LoadCursor(nullptr, IDC_ARROW), &arrow));
  std::vector<BYTE> image(32 * 200, 0xAB);
  ASSERT_TRUE(D3DUtil_CursorToArgb(arrow, image.data(), 200));
  EXPECT_EQ(0xAB, image[128]);  // padding untouched
  EXPECT_EQ(0xFF, image[200 + 3]);  // row 1, pixel 0: opaque
}

TEST(DeviceCursorTest, DamagedPixelsAreRefused) {
  CURSORPIXELS c;
  c.width = 4;
  c.maskHeight = 8;
  c.mask.resize(5);  // too short
  DWORD image[16];
  EXPECT_FALSE(D3DUtil_CursorToArgb(c, reinterpret_cast<BYTE*>(image), 16));
  c.mask.resize(32);
  EXPECT_FALSE(D3DUtil_CursorToArgb(c, reinterpret_cast<BYTE*>(image), 8));  // pitch too small
  EXPECT_TRUE(D3DUtil_CursorToArgb(c, reinterpret_cast<BYTE*>(image), 16));
}

TEST(DeviceCursorTest, SetDeviceCursorHandsTheImageAndHotspotToTheDevice) {
  auto* device = new CRecordingDevice();
  EXPECT_EQ(S_OK, D3DUtil_SetDeviceCursor(device, LoadCursor(nullptr, IDC_ARROW)));
  const auto calls = device->CallsTo("SetCursorProperties");
  ASSERT_EQ(1u, calls.size());
  EXPECT_EQ(0u, calls[0].values[0]);
  EXPECT_EQ(0u, calls[0].values[1]);
  EXPECT_EQ(0u, device->LiveResourceCount());  // the surface was released

  EXPECT_EQ(E_FAIL, D3DUtil_SetDeviceCursor(device, nullptr));  // unreadable cursor
  device->FailMethod("CreateImageSurface", E_OUTOFMEMORY);
  EXPECT_EQ(E_OUTOFMEMORY, D3DUtil_SetDeviceCursor(device, LoadCursor(nullptr, IDC_ARROW)));
  device->ClearFailures();
  device->FailMethod("SetCursorProperties", D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DERR_INVALIDCALL, D3DUtil_SetDeviceCursor(device, LoadCursor(nullptr, IDC_ARROW)));
  EXPECT_EQ(0u, device->LiveResourceCount());
  EXPECT_EQ(0u, device->Release());
}

}  // namespace

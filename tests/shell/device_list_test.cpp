// The device list: which modes are kept, their order, the default mode, the
// vertex processing, the depth formats, and what happens when nothing fits.
#include <cstring>

#include "tests/shell/shell_test_app.h"

namespace {

D3DDISPLAYMODE Mode(UINT w, UINT h, D3DFORMAT f, UINT refresh = 60) { return D3DDISPLAYMODE{w, h, refresh, f}; }

class DeviceListTest : public VirtualWindowTest {
 protected:
  CRecordingDirect3D::Adapter& Adapter0() { return d3d->Adapters()[0]; }
};

TEST_F(DeviceListTest, KeepsOnlyTheThreeSizesOnceEachSortedByFormatThenSize) {
  Adapter0().modes = {Mode(1024, 768, D3DFMT_X8R8G8B8, 60), Mode(640, 480, D3DFMT_X8R8G8B8, 60),
                      Mode(640, 480, D3DFMT_X8R8G8B8, 75),  Mode(1280, 1024, D3DFMT_X8R8G8B8),
                      Mode(800, 600, D3DFMT_R5G6B5),        Mode(640, 480, D3DFMT_R5G6B5),
                      Mode(720, 480, D3DFMT_R5G6B5),        Mode(800, 600, D3DFMT_X8R8G8B8, 85)};
  CTestApp app;
  ASSERT_EQ(S_OK, app.BuildWith(d3d));
  ASSERT_EQ(1u, app.m_dwNumAdapters);
  const D3DDeviceInfo& dev = app.m_Adapters[0].devices[0];
  ASSERT_EQ(5u, dev.dwNumModes);
  // R5G6B5 (23) before X8R8G8B8 (22); then width, then height.
  const DWORD expected[5][3] = {{640, 480, D3DFMT_R5G6B5},   {800, 600, D3DFMT_R5G6B5},
                                {640, 480, D3DFMT_X8R8G8B8}, {800, 600, D3DFMT_X8R8G8B8},
                                {1024, 768, D3DFMT_X8R8G8B8}};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(expected[i][0], dev.modes[i].Width) << i;
    EXPECT_EQ(expected[i][1], dev.modes[i].Height) << i;
    EXPECT_EQ(expected[i][2], static_cast<DWORD>(dev.modes[i].Format)) << i;
  }
  EXPECT_STREQ("HAL", dev.strDesc);
  EXPECT_EQ(D3DDEVTYPE_HAL, dev.DeviceType);
  EXPECT_EQ(D3DMULTISAMPLE_NONE, dev.MultiSampleType);
  EXPECT_TRUE(dev.bCanDoWindowed);
  EXPECT_TRUE(app.m_bWindowed);
}

TEST_F(DeviceListTest, SortComparatorOrdersFormatDescendingThenWidthThenHeight) {
  const D3DDISPLAYMODE a = Mode(800, 600, D3DFMT_R5G6B5), b = Mode(640, 480, D3DFMT_X8R8G8B8);
  EXPECT_LT(CD3DApplication::SortModesCallback(&a, &b), 0);
  EXPECT_GT(CD3DApplication::SortModesCallback(&b, &a), 0);
  const D3DDISPLAYMODE c = Mode(640, 480, D3DFMT_R5G6B5), d = Mode(640, 600, D3DFMT_R5G6B5);
  EXPECT_LT(CD3DApplication::SortModesCallback(&c, &d), 0);
  EXPECT_EQ(0, CD3DApplication::SortModesCallback(&c, &c));
}

TEST_F(DeviceListTest, DefaultModeChoice) {
  {  // A size no mode has: mode 0, the 640x480 mode of the largest format code.
    CTestApp app;
    ASSERT_EQ(S_OK, app.BuildWith(d3d));
    EXPECT_EQ(0u, app.m_Adapters[0].devices[0].dwCurrentMode);
    EXPECT_EQ(D3DFMT_R5G6B5, app.m_Adapters[0].devices[0].modes[0].Format);
  }
  {  // X8R8G8B8 wins over R5G6B5 at the creation size.
    CTestApp app;
    app.m_dwCreationWidth = 800;
    app.m_dwCreationHeight = 600;
    ASSERT_EQ(S_OK, app.BuildWith(d3d));
    const D3DDeviceInfo& dev = app.m_Adapters[0].devices[0];
    EXPECT_EQ(800u, dev.modes[dev.dwCurrentMode].Width);
    EXPECT_EQ(D3DFMT_X8R8G8B8, dev.modes[dev.dwCurrentMode].Format);
  }
  {  // Without a 32-bit format: R5G6B5 over X1R5G5B5 (which sorts before it).
    Adapter0().modes = {Mode(800, 600, D3DFMT_X1R5G5B5), Mode(800, 600, D3DFMT_R5G6B5),
                        Mode(640, 480, D3DFMT_X1R5G5B5)};
    CTestApp app;
    app.m_dwCreationWidth = 800;
    app.m_dwCreationHeight = 600;
    ASSERT_EQ(S_OK, app.BuildWith(d3d));
    const D3DDeviceInfo& dev = app.m_Adapters[0].devices[0];
    EXPECT_EQ(D3DFMT_R5G6B5, dev.modes[dev.dwCurrentMode].Format);
    EXPECT_EQ(800u, dev.modes[dev.dwCurrentMode].Width);
  }
  {  // Only X1R5G5B5 at that size: the last mode of the size.
    Adapter0().modes = {Mode(800, 600, D3DFMT_X1R5G5B5), Mode(800, 600, D3DFMT_A1R5G5B5),
                        Mode(640, 480, D3DFMT_X1R5G5B5)};
    CTestApp app;
    app.m_dwCreationWidth = 800;
    app.m_dwCreationHeight = 600;
    ASSERT_EQ(S_OK, app.BuildWith(d3d));
    const D3DDeviceInfo& dev = app.m_Adapters[0].devices[0];
    EXPECT_EQ(800u, dev.modes[dev.dwCurrentMode].Width);
    EXPECT_EQ(D3DFMT_X1R5G5B5, dev.modes[dev.dwCurrentMode].Format);  // 24 sorts after 25
  }
}

TEST_F(DeviceListTest, VertexProcessingIsTheFirstConfirmedChoice) {
  Adapter0().caps.DevCaps |= D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_PUREDEVICE;
  {
    CTestApp app;
    ASSERT_EQ(S_OK, app.BuildWith(d3d));
    EXPECT_EQ(0x50u, app.m_Adapters[0].devices[0].modes[0].dwBehavior);
  }
  {  // Like the game: hardware processing needs vertex shaders, which this device lacks.
    std::vector<DWORD> asked;
    CTestApp app;
    app.confirm = [&](D3DCAPS8* caps, DWORD behavior, D3DFORMAT) {
      asked.push_back(behavior);
      if ((behavior & (D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MIXED_VERTEXPROCESSING)) &&
          caps->VertexShaderVersion < 0xFFFE0100u)
        return E_FAIL;
      return S_OK;
    };
    ASSERT_EQ(S_OK, app.BuildWith(d3d));
    EXPECT_EQ(0x20u, app.m_Adapters[0].devices[0].modes[0].dwBehavior);
    ASSERT_GE(asked.size(), 4u);
    EXPECT_EQ((std::vector<DWORD>{0x50, 0x40, 0x80, 0x20}), std::vector<DWORD>(asked.begin(), asked.begin() + 4));
  }
  {  // Without hardware T&L only software processing is asked for.
    Adapter0().caps.DevCaps &= ~(D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_PUREDEVICE);
    std::vector<DWORD> asked;
    CTestApp app;
    app.confirm = [&](D3DCAPS8*, DWORD behavior, D3DFORMAT) {
      asked.push_back(behavior);
      return S_OK;
    };
    ASSERT_EQ(S_OK, app.BuildWith(d3d));
    for (DWORD b : asked) EXPECT_EQ(0x20u, b);
  }
}

TEST_F(DeviceListTest, DepthFormatFollowsTheMinimums) {
  {  // 24 bits, no stencil: D24X8 first.
    CTestApp app;
    app.m_bUseDepthBuffer = TRUE;
    app.m_dwMinDepthBits = 24;
    ASSERT_EQ(S_OK, app.BuildWith(d3d));
    EXPECT_EQ(D3DFMT_D24X8, app.m_Adapters[0].devices[0].modes[0].DepthStencilFormat);
  }
  {  // Only D24S8 and D32 on offer: D24S8 comes before D32.
    Adapter0().resourceFormats = {D3DFMT_D24S8, D3DFMT_D32};
    CTestApp app;
    app.m_bUseDepthBuffer = TRUE;
    app.m_dwMinDepthBits = 24;
    ASSERT_EQ(S_OK, app.BuildWith(d3d));
    EXPECT_EQ(D3DFMT_D24S8, app.m_Adapters[0].devices[0].modes[0].DepthStencilFormat);
  }
  {  // 16 bits: D16 first; with one stencil bit asked for, D15S1.
    Adapter0().resourceFormats.clear();
    CTestApp app;
    app.m_bUseDepthBuffer = TRUE;
    ASSERT_EQ(S_OK, app.BuildWith(d3d));
    EXPECT_EQ(D3DFMT_D16, app.m_Adapters[0].devices[0].modes[0].DepthStencilFormat);
    CTestApp stencil;
    stencil.m_bUseDepthBuffer = TRUE;
    stencil.m_dwMinDepthBits = 15;
    stencil.m_dwMinStencilBits = 1;
    ASSERT_EQ(S_OK, stencil.BuildWith(d3d));
    EXPECT_EQ(D3DFMT_D15S1, stencil.m_Adapters[0].devices[0].modes[0].DepthStencilFormat);
  }
  {  // No depth buffer wanted: format 0.
    CTestApp app;
    ASSERT_EQ(S_OK, app.BuildWith(d3d));
    EXPECT_EQ(0u, static_cast<DWORD>(app.m_Adapters[0].devices[0].modes[0].DepthStencilFormat));
  }
}

TEST_F(DeviceListTest, TwentyFourBitDepthOnADeviceWithOnlyD16LeavesNoDevice) {
  Adapter0().resourceFormats = {D3DFMT_D16};
  CTestApp app;
  app.m_bUseDepthBuffer = TRUE;
  app.m_dwMinDepthBits = 24;
  EXPECT_EQ(APPERR_NOCOMPATIBLEDEVICES, app.BuildWith(d3d));
  EXPECT_EQ(0u, app.m_dwNumAdapters);
}

TEST_F(DeviceListTest, DesktopFormatThatCannotRenderWindowedLeavesNoDefaultDevice) {
  Adapter0().desktopMode.Format = D3DFMT_P8;
  Adapter0().displayFormats = {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5};
  CTestApp app;
  EXPECT_EQ(APPERR_NOWINDOWABLEDEVICES, app.BuildWith(d3d));
  EXPECT_EQ(1u, app.m_dwNumAdapters);
  EXPECT_FALSE(app.m_Adapters[0].devices[0].bCanDoWindowed);
}

TEST_F(DeviceListTest, DeviceWithoutWindowedRenderingIsNotWindowable) {
  Adapter0().caps.Caps2 &= ~D3DCAPS2_CANRENDERWINDOWED;
  CTestApp app;
  EXPECT_EQ(APPERR_NOWINDOWABLEDEVICES, app.BuildWith(d3d));
}

TEST_F(DeviceListTest, AtMostTenAdaptersAreKept) {
  const CRecordingDirect3D::Adapter one = Adapter0();
  for (int i = 0; i < 13; ++i) d3d->Adapters().push_back(one);
  CTestApp app;
  ASSERT_EQ(S_OK, app.BuildWith(d3d));
  EXPECT_EQ(CD3DApplication::kMaxAdapters, app.m_dwNumAdapters);
}

TEST_F(DeviceListTest, ManyFormatsFillAtMostFifteenModes) {
  Adapter0().modes.clear();
  for (DWORD f = 20; f <= 40; ++f)
    for (UINT size : {640u, 800u, 1024u}) Adapter0().modes.push_back(Mode(size, size * 3 / 4, static_cast<D3DFORMAT>(f)));
  CTestApp app;
  ASSERT_EQ(S_OK, app.BuildWith(d3d));
  EXPECT_EQ(15u, app.m_Adapters[0].devices[0].dwNumModes);
}

TEST_F(DeviceListTest, UnusableFirstAdapterMakesTheDeviceOnTheSecond) {
  d3d->Adapters().push_back(Adapter0());
  d3d->Adapters()[0].modes = {Mode(1280, 1024, D3DFMT_X8R8G8B8)};  // nothing kept
  CTestApp app(d3d);
  ASSERT_EQ(S_OK, app.Create(GetModuleHandle(nullptr)));
  EXPECT_EQ(1u, app.m_dwNumAdapters);
  ASSERT_EQ(1u, d3d->CallCount("CreateDevice"));
  for (const auto& call : d3d->Calls()) {
    if (call.method == "CreateDevice") {
      EXPECT_EQ(1u, call.values[0]);  // the adapter's own number
    }
  }
}

TEST_F(DeviceListTest, LongAdapterDescriptionIsCutToTheStatsField) {
  std::memset(Adapter0().identifier.Description, 'x', MAX_DEVICE_IDENTIFIER_STRING - 1);
  Adapter0().identifier.Description[MAX_DEVICE_IDENTIFIER_STRING - 1] = '\0';
  CTestApp app(d3d);
  ASSERT_EQ(S_OK, app.Create(GetModuleHandle(nullptr)));
  EXPECT_EQ(89u, std::strlen(app.m_szDeviceStats));
  EXPECT_EQ(0, std::strncmp(app.m_szDeviceStats, "HAL (hw vp): xxx", 16));
}

TEST_F(DeviceListTest, DeviceStatsNameTheVertexProcessing) {
  std::snprintf(Adapter0().identifier.Description, MAX_DEVICE_IDENTIFIER_STRING, "Card");
  Adapter0().caps.DevCaps |= D3DDEVCAPS_PUREDEVICE;
  CTestApp pure(d3d);
  ASSERT_EQ(S_OK, pure.Create(GetModuleHandle(nullptr)));
  EXPECT_STREQ("HAL (pure hw vp): Card", pure.m_szDeviceStats);
}

}  // namespace

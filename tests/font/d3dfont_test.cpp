// The bitmap font against the recording device: atlas, batches and the caller's states.
#include "shell/d3dfont.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/d3d8/recording_device.h"

namespace {

class D3DFontTest : public ::testing::Test {
 protected:
  void SetUp() override { device = new CRecordingDevice(); }
  void TearDown() override {
    EXPECT_EQ(0u, device->LiveResourceCount());
    EXPECT_EQ(0u, device->Release());
  }

  // The vertices of the last batch, read from the font's buffer (still stream 0).
  std::vector<FONT2DVERTEX> LastBatch(UINT count) {
    IDirect3DVertexBuffer8* vb = nullptr;
    UINT stride = 0;
    device->GetStreamSource(0, &vb, &stride);
    std::vector<FONT2DVERTEX> vertices;
    if (!vb) return vertices;
    BYTE* data = nullptr;
    if (SUCCEEDED(vb->Lock(0, 0, &data, D3DLOCK_READONLY))) {
      const FONT2DVERTEX* v = reinterpret_cast<const FONT2DVERTEX*>(data);
      vertices.assign(v, v + count);
      vb->Unlock();
    }
    vb->Release();
    return vertices;
  }

  std::vector<DWORD> DrawnTriangleCounts() {
    std::vector<DWORD> counts;
    for (const D3DCallRecord& call : device->CallsTo("DrawPrimitive")) counts.push_back(call.values[2]);
    return counts;
  }

  CRecordingDevice* device = nullptr;
};

}  // namespace

TEST_F(D3DFontTest, AtlasSizeFollowsTheHeight) {
  const struct {
    DWORD height, size;
  } cases[] = {{12, 256}, {20, 256}, {21, 512}, {40, 512}, {41, 1024}};
  for (const auto& c : cases) {
    CD3DFont font("Arial", c.height, FONT_BOLD);
    ASSERT_EQ(S_OK, font.InitDeviceObjects(device)) << c.height;
    EXPECT_EQ(c.size, font.TexWidth()) << c.height;
    EXPECT_EQ(c.size, font.TexHeight()) << c.height;
    EXPECT_FLOAT_EQ(1.0f, font.TextScale());
    D3DSURFACE_DESC desc;
    ASSERT_EQ(S_OK, font.Texture()->GetLevelDesc(0, &desc));
    EXPECT_EQ(D3DFMT_A4R4G4B4, desc.Format);
    EXPECT_EQ(c.size, desc.Width);
  }
}

TEST_F(D3DFontTest, SmallDevicesGetAScaledAtlasLimitedByWidthAndHeight) {
  device->Caps().MaxTextureWidth = 1024;
  device->Caps().MaxTextureHeight = 512;
  CD3DFont font("Arial", 41, 0);
  ASSERT_EQ(S_OK, font.InitDeviceObjects(device));
  EXPECT_EQ(512u, font.TexWidth());
  EXPECT_EQ(512u, font.TexHeight());
  EXPECT_FLOAT_EQ(0.5f, font.TextScale());
  // Every glyph fits the smaller atlas.
  for (int c = 32; c < 127; ++c) {
    EXPECT_LE(font.TexCoords(static_cast<unsigned char>(c))[2], 1.0f) << c;
    EXPECT_LE(font.TexCoords(static_cast<unsigned char>(c))[3], 1.0f) << c;
  }
}

TEST_F(D3DFontTest, AtlasIsTransparentOutsideInkAndWhiteWithSixteenAlphaSteps) {
  CD3DFont font("Arial", 12, FONT_BOLD);
  ASSERT_EQ(S_OK, font.InitDeviceObjects(device));
  D3DLOCKED_RECT locked;
  ASSERT_EQ(S_OK, font.Texture()->LockRect(0, &locked, nullptr, D3DLOCK_READONLY));
  int ink = 0;
  for (UINT y = 0; y < 256; ++y) {
    const WORD* row = reinterpret_cast<const WORD*>(static_cast<const BYTE*>(locked.pBits) + y * locked.Pitch);
    for (UINT x = 0; x < 256; ++x) {
      if (row[x] == 0) continue;
      EXPECT_EQ(0x0FFF, row[x] & 0x0FFF) << x << "," << y;
      ++ink;
    }
  }
  // The space glyph's cell is empty; the "M" cell holds ink.
  auto inkIn = [&](unsigned char c) {
    const FLOAT* tc = font.TexCoords(c);
    int count = 0;
    for (UINT y = UINT(tc[1] * 256); y < UINT(tc[3] * 256); ++y)
      for (UINT x = UINT(tc[0] * 256); x < UINT(tc[2] * 256); ++x)
        count += reinterpret_cast<const WORD*>(static_cast<const BYTE*>(locked.pBits) + y * locked.Pitch)[x] != 0;
    return count;
  };
  EXPECT_EQ(0, inkIn(' '));
  EXPECT_GT(inkIn('M'), 30);
  font.Texture()->UnlockRect(0);
  EXPECT_GT(ink, 1000);
  // Glyph cells are as high as the 12-point (16 pixel) face and do not overlap.
  const FLOAT* a = font.TexCoords('A');
  const FLOAT* b = font.TexCoords('B');
  EXPECT_NEAR(18.0f, (a[3] - a[1]) * 256, 2.0f);
  if (a[1] == b[1]) {
    EXPECT_GE(b[0] * 256, a[2] * 256 + 1);
  }
}

TEST_F(D3DFontTest, FiftyOneCharactersDrawInTwoBatches) {
  CD3DFont font("Arial", 12, FONT_BOLD);
  ASSERT_EQ(S_OK, font.InitDeviceObjects(device));
  ASSERT_EQ(S_OK, font.RestoreDeviceObjects());
  device->ClearCalls();
  std::string text(51, 'a');
  ASSERT_EQ(S_OK, font.DrawText(2, 0, 0xFFFFFF00, text.c_str(), 0));
  EXPECT_EQ((std::vector<DWORD>{100, 2}), DrawnTriangleCounts());
  const std::vector<D3DCallRecord> shader = device->CallsTo("SetVertexShader");
  ASSERT_EQ(1u, shader.size());
  EXPECT_EQ(0x144u, shader[0].values[0]);

  device->ClearCalls();
  ASSERT_EQ(S_OK, font.DrawText(2, 0, 0xFFFFFF00, std::string(50, 'a').c_str(), 0));
  EXPECT_EQ((std::vector<DWORD>{100}), DrawnTriangleCounts());
  device->ClearCalls();
  ASSERT_EQ(S_OK, font.DrawText(2, 0, 0xFFFFFF00, "", 0));
  EXPECT_TRUE(DrawnTriangleCounts().empty());
}

TEST_F(D3DFontTest, GlyphQuadsAndNewlinesFollowTheAtlas) {
  CD3DFont font("Arial", 12, FONT_BOLD);
  ASSERT_EQ(S_OK, font.InitDeviceObjects(device));
  ASSERT_EQ(S_OK, font.RestoreDeviceObjects());
  ASSERT_EQ(S_OK, font.DrawText(10, 20, 0xFFFFFF00, "ab\ncd\t\x7f\xff", 0));
  EXPECT_EQ((std::vector<DWORD>{8}), DrawnTriangleCounts());
  const std::vector<FONT2DVERTEX> v = LastBatch(24);
  ASSERT_EQ(24u, v.size());
  const FLOAT* a = font.TexCoords('a');
  const FLOAT* space = font.TexCoords(' ');
  const float aw = (a[2] - a[0]) * 256, lineHeight = (space[3] - space[1]) * 256;
  // First corner of "a": left bottom, shifted by half a pixel.
  EXPECT_FLOAT_EQ(9.5f, v[0].x);
  EXPECT_FLOAT_EQ(19.5f + (a[3] - a[1]) * 256, v[0].y);
  EXPECT_FLOAT_EQ(a[0], v[0].tu);
  EXPECT_FLOAT_EQ(a[3], v[0].tv);
  EXPECT_FLOAT_EQ(0.9f, v[0].z);
  EXPECT_FLOAT_EQ(1.0f, v[0].rhw);
  EXPECT_EQ(0xFFFFFF00u, v[0].color);
  // "b" starts where "a" ends; "c" (second vertex is its top left) at the start x one row lower.
  EXPECT_FLOAT_EQ(9.5f + aw, v[7].x);
  EXPECT_FLOAT_EQ(9.5f, v[13].x);
  EXPECT_FLOAT_EQ(19.5f + lineHeight, v[13].y);
  // Tab, DEL and high bytes draw nothing and do not move the pen.
  const FLOAT* d = font.TexCoords('d');
  EXPECT_NEAR(9.5f + (font.TexCoords('c')[2] - font.TexCoords('c')[0]) * 256 + (d[2] - d[0]) * 256, v[21].x, 1e-3);
}

TEST_F(D3DFontTest, ScaledFontsKeepScreenSizeForGlyphsAndNewlines) {
  device->Caps().MaxTextureWidth = device->Caps().MaxTextureHeight = 512;
  CD3DFont font("Arial", 41, 0);
  ASSERT_EQ(S_OK, font.InitDeviceObjects(device));
  ASSERT_EQ(S_OK, font.RestoreDeviceObjects());
  ASSERT_EQ(S_OK, font.DrawText(0, 0, 0xFFFFFFFF, "\nA", 0));
  const std::vector<FONT2DVERTEX> v = LastBatch(6);
  const FLOAT* space = font.TexCoords(' ');
  const FLOAT* a = font.TexCoords('A');
  // Glyph and row sizes are atlas texels divided by the scale (0.5): screen size as wanted.
  EXPECT_FLOAT_EQ(-0.5f + (space[3] - space[1]) * 512 / 0.5f, v[1].y);
  EXPECT_FLOAT_EQ(-0.5f + (a[2] - a[0]) * 512 / 0.5f, v[3].x);
}

TEST_F(D3DFontTest, CallerStatesAreRestored) {
  CD3DFont font("Arial", 12, FONT_BOLD);
  ASSERT_EQ(S_OK, font.InitDeviceObjects(device));
  IDirect3DTexture8* callerTexture = nullptr;
  ASSERT_EQ(S_OK, device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &callerTexture));
  device->SetTexture(0, callerTexture);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  device->SetRenderState(D3DRS_FOGENABLE, TRUE);
  device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
  ASSERT_EQ(S_OK, font.RestoreDeviceObjects());
  const D3DRecordedState before = device->State();

  device->ClearCalls();
  ASSERT_EQ(S_OK, font.DrawText(2, 0, 0xFFFFFF00, "60.00 fps", FONT_FILTERED));
  // While drawing, the font's own states were in force.
  bool sawAtlas = false;
  for (const D3DCallRecord& call : device->CallsTo("SetTextureStageState"))
    if (call.values[1] == D3DTSS_MINFILTER && call.values[2] == D3DTEXF_LINEAR) sawAtlas = true;
  EXPECT_TRUE(sawAtlas);

  EXPECT_EQ(callerTexture, device->BoundTexture(0));
  EXPECT_EQ(static_cast<DWORD>(FALSE), device->RenderState(D3DRS_ALPHABLENDENABLE));
  EXPECT_EQ(static_cast<DWORD>(D3DBLEND_ONE), device->RenderState(D3DRS_SRCBLEND));
  EXPECT_EQ(static_cast<DWORD>(FALSE), device->RenderState(D3DRS_ALPHATESTENABLE));
  EXPECT_EQ(static_cast<DWORD>(D3DZB_TRUE), device->RenderState(D3DRS_ZENABLE));
  EXPECT_EQ(static_cast<DWORD>(TRUE), device->RenderState(D3DRS_FOGENABLE));
  EXPECT_EQ(static_cast<DWORD>(D3DTEXF_LINEAR), device->StageState(0, D3DTSS_MINFILTER));
  EXPECT_EQ(static_cast<DWORD>(D3DTOP_SELECTARG1), device->StageState(0, D3DTSS_COLOROP));
  EXPECT_EQ(static_cast<DWORD>(D3DTOP_MODULATE), device->StageState(1, D3DTSS_COLOROP));
  EXPECT_EQ(0, std::memcmp(before.renderStates, device->State().renderStates, sizeof(before.renderStates)));
  device->SetTexture(0, nullptr);
  callerTexture->Release();
}

TEST_F(D3DFontTest, LifecycleReleasesEverythingAndDrawingWithoutObjectsFails) {
  CD3DFont font("Arial", 12, FONT_BOLD);
  EXPECT_EQ(E_FAIL, font.DrawText(0, 0, 0xFFFFFFFF, "x", 0));
  ASSERT_EQ(S_OK, font.InitDeviceObjects(device));
  // Not restored yet: no vertex buffer to draw with.
  EXPECT_EQ(E_FAIL, font.DrawText(0, 0, 0xFFFFFFFF, "x", 0));
  ASSERT_EQ(S_OK, font.RestoreDeviceObjects());
  EXPECT_EQ(2u, device->StateBlockCount());
  EXPECT_EQ(1u, device->LiveDefaultPoolResourceCount());
  EXPECT_EQ(S_OK, font.InvalidateDeviceObjects());
  EXPECT_EQ(0u, device->StateBlockCount());
  EXPECT_EQ(0u, device->LiveDefaultPoolResourceCount());
  EXPECT_EQ(E_FAIL, font.DrawText(0, 0, 0xFFFFFFFF, "x", 0));
  ASSERT_EQ(S_OK, font.RestoreDeviceObjects());
  EXPECT_EQ(S_OK, font.DrawText(0, 0, 0xFFFFFFFF, "x", 0));
  // A vertex buffer that cannot be made records no state block.
  font.InvalidateDeviceObjects();
  device->FailMethod("CreateVertexBuffer", E_OUTOFMEMORY);
  EXPECT_EQ(E_OUTOFMEMORY, font.RestoreDeviceObjects());
  EXPECT_EQ(0u, device->StateBlockCount());
  device->ClearFailures();
  EXPECT_EQ(S_OK, font.DeleteDeviceObjects());
  EXPECT_EQ(E_FAIL, font.DrawText(0, 0, 0xFFFFFFFF, "x", 0));
  EXPECT_EQ(nullptr, font.Texture());
}

TEST_F(D3DFontTest, AtlasCreationFailureIsReturned) {
  device->FailMethod("CreateTexture", D3DERR_OUTOFVIDEOMEMORY);
  CD3DFont font("Arial", 12, FONT_BOLD);
  EXPECT_EQ(D3DERR_OUTOFVIDEOMEMORY, font.InitDeviceObjects(device));
  EXPECT_EQ(nullptr, font.Texture());
}

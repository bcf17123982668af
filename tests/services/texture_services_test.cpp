// Textures by name into the texture cache, on the recording device.
#include "services_fixture.h"
#include "tests/support/d3d8/recording_device.h"

namespace {

class TextureServices : public ServicesTest {
 protected:
  void SetUp() override {
    ServicesTest::SetUp();
    m_pDevice = new CRecordingDevice;
    std::vector<uint8_t> damaged = MakeBmp(4, 4, 1, 2, 3);
    damaged.resize(30);
    WriteLibrary({{"WallWall", MakeBmp(4, 4, 200, 100, 50)},
                  {"SkyEnviron", MakeBmp(3, 5, 0, 0, 255)},
                  {"Damaged", damaged},
                  {"Empty", {}}});
  }
  void TearDown() override {
    ServicesTest::TearDown();  // the cache releases its textures first
    EXPECT_EQ(m_pDevice->LiveResourceCount(), 0u);
    m_pDevice->Release();
  }

  D3DFORMAT CachedFormat(const char* name) {
    IDirect3DTexture8* texture = nullptr;
    if (FAILED(m_pContext->m_pTextureCache->Find(name, &texture)) || !texture) return D3DFMT_UNKNOWN;
    D3DSURFACE_DESC desc;
    texture->GetLevelDesc(0, &desc);
    return desc.Format;
  }

  CRecordingDevice* m_pDevice = nullptr;
};

TEST_F(TextureServices, WithoutADeviceNothingIsLoaded) {
  EXPECT_EQ(m_pContext->LoadTexture("WallWall", 0xFF000000, 0), E_FAIL);
  EXPECT_EQ(m_pContext->m_pTextureCache->Count(), 0u);
}

TEST_F(TextureServices, ATextureIsReadOnceAndKeptInTheCache) {
  m_pContext->m_pd3dDevice = m_pDevice;
  EXPECT_EQ(m_pContext->LoadTexture("WallWall", 0xFF000000, 0), S_OK);
  EXPECT_EQ(m_pContext->m_pTextureCache->Count(), 1u);
  EXPECT_EQ(CachedFormat("WallWall"), D3DFMT_X8R8G8B8);
  RemoveLibrary();
  EXPECT_EQ(m_pContext->LoadTexture("WallWall", 0xFF000000, 0), S_OK);
  EXPECT_EQ(m_pContext->m_pTextureCache->Count(), 1u);
  // Once cached, even a lost device does not matter.
  m_pContext->m_pd3dDevice = nullptr;
  EXPECT_EQ(m_pContext->LoadTexture("WallWall", 0xFF000000, 0), S_OK);
}

TEST_F(TextureServices, WithTheKeySwitchTheColourKeyedLoaderIsUsed) {
  m_pContext->m_pd3dDevice = m_pDevice;
  EXPECT_EQ(m_pContext->LoadTexture("SkyEnviron", 0xFF0000FF, 1), S_OK);
  EXPECT_EQ(CachedFormat("SkyEnviron"), D3DFMT_A8R8G8B8);  // a key asks for transparency
}

TEST_F(TextureServices, BadResourcesFailAndAreNotCached) {
  m_pContext->m_pd3dDevice = m_pDevice;
  for (const char* name : {"Damaged", "Empty", "Missing", ""}) {
    EXPECT_EQ(m_pContext->LoadTexture(name, 0, 0), E_FAIL) << name;
    EXPECT_EQ(m_pContext->LoadTexture(name, 0xFF000000, 1), E_FAIL) << name;
  }
  EXPECT_EQ(m_pContext->LoadTexture(nullptr, 0, 0), E_FAIL);
  EXPECT_EQ(m_pContext->m_pTextureCache->Count(), 0u);
  EXPECT_EQ(m_pDevice->LiveResourceCount(), 0u);
  m_pContext->m_strResLib = "no-such-library.dll";
  EXPECT_EQ(m_pContext->LoadTexture("WallWall", 0, 0), E_FAIL);
  EXPECT_EQ(LogText(), "");
}

}  // namespace

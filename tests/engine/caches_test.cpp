#include <gtest/gtest.h>

#include <string>

#include "engine/samplecache.h"
#include "engine/texturecache.h"
#include "platform/sound/sound_backend_testing.h"
#include "tests/support/d3d8/recording_device.h"
#include "tests/support/sound/recording_sound_backend.h"

namespace {

ULONG RefsOf(IUnknown* pObject) {
  pObject->AddRef();
  return pObject->Release();
}

class TextureCacheTest : public ::testing::Test {
 protected:
  void SetUp() override { m_pDevice = new CRecordingDevice(); }
  void TearDown() override { m_pDevice->Release(); }

  IDirect3DTexture8* NewTexture() {
    IDirect3DTexture8* pTexture = nullptr;
    EXPECT_EQ(S_OK, m_pDevice->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &pTexture));
    return pTexture;
  }

  CRecordingDevice* m_pDevice = nullptr;
};

TEST_F(TextureCacheTest, LookupsFindTheFirstEntryOfANameAndAddNoReference) {
  CTextureCache cache;
  IDirect3DTexture8* pOut = nullptr;
  EXPECT_EQ(E_FAIL, cache.Find("Floor", &pOut));
  EXPECT_EQ(nullptr, pOut);

  IDirect3DTexture8* pFirst = NewTexture();
  IDirect3DTexture8* pSecond = NewTexture();
  cache.Add(pFirst, "Floor");
  cache.Add(pSecond, "Floor");
  EXPECT_EQ(S_OK, cache.Find("Floor", &pOut));
  EXPECT_EQ(pFirst, pOut);
  EXPECT_EQ(1u, RefsOf(pFirst));
  EXPECT_EQ(E_FAIL, cache.Find("Flo", &pOut));
  EXPECT_EQ(nullptr, pOut);

  EXPECT_EQ(S_OK, cache.Clear());
  EXPECT_EQ(0u, m_pDevice->LiveResourceCount());
  EXPECT_EQ(E_FAIL, cache.Find("Floor", &pOut));
  EXPECT_EQ(S_OK, cache.Clear());
}

TEST_F(TextureCacheTest, KeepsItsOwnCopyOfEachName) {
  CTextureCache cache;
  IDirect3DTexture8* pTexture = NewTexture();
  {
    std::string strName = "Caust07";
    cache.Add(pTexture, strName.c_str());
    strName.assign("Garbage");  // the caller's text changes after the add
  }
  IDirect3DTexture8* pFound = nullptr;
  EXPECT_EQ(S_OK, cache.Find("Caust07", &pFound));
  EXPECT_EQ(pTexture, pFound);
  EXPECT_NE(S_OK, cache.Find("Garbage", &pFound));
}

TEST_F(TextureCacheTest, FindReleasesACallerTextureButNeverACachedOne) {
  CTextureCache cache;
  IDirect3DTexture8* pCached = NewTexture();
  cache.Add(pCached, "Caust01");

  // The out variable still holds what the cache gave before: it is borrowed.
  IDirect3DTexture8* pOut = pCached;
  EXPECT_EQ(E_FAIL, cache.Find("missing", &pOut));
  EXPECT_EQ(nullptr, pOut);
  EXPECT_EQ(1u, RefsOf(pCached));
  pOut = pCached;
  EXPECT_EQ(S_OK, cache.Find("Caust01", &pOut));
  EXPECT_EQ(1u, RefsOf(pCached));

  // A texture of the caller's own is released, hit or miss.
  IDirect3DTexture8* pOwn = NewTexture();
  pOut = pOwn;
  EXPECT_EQ(E_FAIL, cache.Find("missing", &pOut));
  EXPECT_EQ(1u, m_pDevice->LiveResourceCount());
  cache.Clear();
}

TEST_F(TextureCacheTest, RemoveReleasesEveryEntryOfTheNameAndKeepsTheOthersInOrder) {
  CTextureCache cache;
  IDirect3DTexture8* pKept = NewTexture();
  IDirect3DTexture8* pBound = NewTexture();
  cache.Add(NewTexture(), "Logo");
  cache.Add(pKept, "Floor");
  cache.Add(pBound, "Logo");
  pBound->AddRef();  // as a device holds what it has bound
  EXPECT_EQ(S_OK, cache.Remove("Logo"));
  EXPECT_EQ(1u, cache.Count());
  EXPECT_FALSE(cache.Holds(pBound));
  EXPECT_EQ(2u, m_pDevice->LiveResourceCount());  // the bound one lives on
  EXPECT_EQ(0u, pBound->Release());
  IDirect3DTexture8* pOut = nullptr;
  EXPECT_EQ(E_FAIL, cache.Find("Logo", &pOut));
  EXPECT_EQ(S_OK, cache.Find("Floor", &pOut));
  EXPECT_EQ(pKept, pOut);
  EXPECT_EQ(E_FAIL, cache.Remove("Logo"));
  EXPECT_EQ(E_FAIL, cache.Remove(nullptr));
  cache.Clear();
}

TEST_F(TextureCacheTest, DeletingTheCacheReleasesWhatIsLeft) {
  CTextureCache* pCache = new CTextureCache;
  pCache->Add(NewTexture(), "a");
  pCache->Add(NewTexture(), "b");
  EXPECT_EQ(2u, pCache->Count());
  delete pCache;
  EXPECT_EQ(0u, m_pDevice->LiveResourceCount());
}

TEST(SampleCacheTest, FindsByNameAndFreesTheSamplesWhenEmptiedOrDeleted) {
  RecordingSoundBackend backend;
  FSOUND_UseBackendForTesting(&backend);
  ASSERT_TRUE(FSOUND_Init(44100, 32, 1));
  static const char kBytes[] = "RIFF....WAVE";
  FSOUND_SAMPLE* pA = FSOUND_Sample_Load(FSOUND_FREE, kBytes, FSOUND_LOADMEMORY | FSOUND_LOOP_OFF, sizeof kBytes);
  FSOUND_SAMPLE* pB = FSOUND_Sample_Load(FSOUND_FREE, kBytes, FSOUND_LOADMEMORY | FSOUND_LOOP_OFF, sizeof kBytes);
  ASSERT_NE(nullptr, pA);
  ASSERT_NE(nullptr, pB);

  CSampleCache* pCache = new CSampleCache;
  FSOUND_SAMPLE* pOut = pA;
  EXPECT_EQ(E_FAIL, pCache->Find("BallDown", &pOut));
  EXPECT_EQ(nullptr, pOut);
  EXPECT_EQ(E_FAIL, pCache->Find("BallDown", nullptr));
  pCache->Add(pA, "BallDown");
  pCache->Add(pB, "BallSelect");
  EXPECT_EQ(S_OK, pCache->Find("BallSelect", &pOut));
  EXPECT_EQ(pB, pOut);
  EXPECT_EQ(S_OK, pCache->Find("BallDown", nullptr));
  EXPECT_EQ(0, backend.Count("FreeSample"));

  delete pCache;  // at shutdown, before the sound library closes
  EXPECT_EQ(2, backend.Count("FreeSample"));
  FSOUND_Close();
  FSOUND_UseBackendForTesting(nullptr);
}

}  // namespace

#include "screens_fixture.h"

#include <cmath>
#include <sstream>

#include "engine/meshcache.h"
#include "engine/renderqueue.h"
#include "engine/samplecache.h"
#include "platform/xfile/xfile_writer.h"
#include "tests/support/sound/synth_audio.h"
#include "platform/sound/sound_backend_testing.h"

namespace screens_test {
namespace {

const char* const kSamples[] = {"Welcome",        "MenuSelect",    "OptRedButton", "OptDiodButton",
                                "OptGreenButton", "OptTexsButton", "SoundVolume"};
const char* const kSongs[] = {"GameFone1", "GameFone2", "GameFone3"};

// Seven quads in a row, quad q with material q: seven subsets, one more than the room has.
std::vector<uint8_t> SevenSubsetMesh() {
  xfile::XMeshData mesh;
  for (int x = 0; x <= 7; ++x) {
    mesh.positions.push_back({float(x), 0.0f, 0.0f});
    mesh.positions.push_back({float(x), 1.0f, 0.0f});
  }
  for (uint32_t q = 0; q < 7; ++q) {
    mesh.faces.push_back({2 * q, 2 * q + 1, 2 * q + 3, 2 * q + 2});
    mesh.faceMaterials.push_back(q);
    xfile::XMaterialData material;
    material.diffuse[0] = 0.5f;
    material.diffuse[3] = 1.0f;
    mesh.materials.push_back(material);
  }
  const std::string text = xfile::WriteXText(mesh);
  return std::vector<uint8_t>(text.begin(), text.end());
}

}  // namespace

void ScreensTest::SetUp() {
  dir = MakeTempDir();
  ASSERT_FALSE(dir.empty());
  library = dir + "/res.dll";
  log = std::fopen((dir + "/file.log").c_str(), "w+");
  ASSERT_NE(nullptr, log);
  WriteLibrary(true);
  FSOUND_UseBackendForTesting(&sound);
  ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
  pDevice = new CRecordingDevice();
  pQueue = new CRenderQueue(&ctx);
  ctx.m_pd3dDevice = pDevice;
  ctx.m_strResLib = library.c_str();
  ctx.m_pLog = log;
  ctx.m_pMeshCache = new CMeshCache();
  ctx.m_pLocalMeshCache = new CMeshCache();
  ctx.m_pSampleCache = new CSampleCache();
  ctx.m_pRenderQueue = pQueue;
  ctx.m_bSound = 1;
  ctx.m_dwWidth = 1024;
  ctx.m_dwHeight = 768;
  ctx.m_dwTime = 5000;
  ctx.m_nMusVolume = 100;
  ctx.m_nSoundVolume = 200;
  ctx.m_nMusType = 1;
  ctx.m_bIdle = 1;
}

void ScreensTest::TearDown() {
  pQueue->Clear();
  delete pQueue;
  ctx.m_pRenderQueue = nullptr;
  for (CMeshCache* pCache : {ctx.m_pLocalMeshCache, ctx.m_pMeshCache}) {
    if (!pCache) continue;
    pCache->Clear();
    delete pCache;
  }
  ctx.m_pMeshCache = ctx.m_pLocalMeshCache = nullptr;
  delete ctx.m_pSampleCache;
  ctx.m_pSampleCache = nullptr;
  if (ctx.m_pSong) FMUSIC_FreeSong(ctx.m_pSong);
  ctx.m_pSong = nullptr;
  FSOUND_Close();
  FSOUND_UseBackendForTesting(nullptr);
  ctx.m_pd3dDevice = nullptr;
  if (pDevice) {
    EXPECT_EQ(0u, pDevice->LiveResourceCount());
    EXPECT_EQ(0u, pDevice->Release());
  }
  if (log) std::fclose(log);
  RemoveTree(dir);
}

void ScreensTest::WriteLibrary(bool withSongs) {
  // Every sample and song gets a size of its own, so the recorded loads tell them apart.
  std::vector<PeResource> resources;
  m_sizeNames.clear();
  size_t size = 100;
  for (const char* strName : kSamples) {
    resources.push_back({strName, std::vector<uint8_t>(size, 1)});
    m_sizeNames[size++] = strName;
  }
  if (withSongs) {
    for (const char* strName : kSongs) {
      resources.push_back({strName, std::vector<uint8_t>(size, 2)});
      m_sizeNames[size++] = strName;
    }
  }
  resources.push_back({"Environ", SevenSubsetMesh()});
  std::string error;
  ASSERT_TRUE(WriteResourceDll(library, resources, &error)) << error;
}

void ScreensTest::Frame(CMyObject& object, DWORD dwElapsed) {
  ctx.m_dwElapsed = dwElapsed;
  ctx.m_dwTime += dwElapsed;
  object.FrameMove();
}

bool ScreensTest::CursorAtGrid(float gx, float gy) {
  bool bExact = true;
  auto cursor = [&bExact](float g) {
    float c = g / 10.0f - 1.0f;
    for (int step = 0; step < 16 && (c + 1.0f) * 10.0f != g; ++step)
      c = std::nextafter(c, (c + 1.0f) * 10.0f < g ? 2.0f : -2.0f);
    if ((c + 1.0f) * 10.0f != g) {
      bExact = false;
      c = g / 10.0f - 1.0f;
    }
    return c;
  };
  ctx.m_fCursorX = cursor(gx);
  ctx.m_fCursorY = cursor(gy);
  return bExact;
}

int ScreensTest::CountSinceMark(const std::string& prefix) const {
  int n = 0;
  for (size_t i = m_nMark; i < sound.calls.size(); ++i) n += sound.calls[i].compare(0, prefix.size(), prefix) == 0;
  return n;
}

std::map<std::string, std::string> ScreensTest::TokenNames(const char* strLoad) const {
  std::map<std::string, std::string> names;
  for (const std::string& line : sound.calls) {
    std::istringstream in(line);
    std::string method, token;
    size_t size = 0;
    if (in >> method >> size >> token && method == strLoad) {
      auto found = m_sizeNames.find(size);
      names[token] = found == m_sizeNames.end() ? "?" : found->second;
    }
  }
  return names;
}

std::vector<std::string> ScreensTest::Heard() const {
  const std::map<std::string, std::string> names = TokenNames("LoadSample");
  std::vector<std::string> heard;
  for (size_t i = m_nMark; i < sound.calls.size(); ++i) {
    std::istringstream in(sound.calls[i]);
    std::string method, channel, token;
    if (in >> method >> channel >> token && method == "PlaySample") heard.push_back(names.at(token));
  }
  return heard;
}

int ScreensTest::Heard(const std::string& name) const {
  int n = 0;
  for (const std::string& heard : Heard()) n += heard == name;
  return n;
}

std::string ScreensTest::SongStarted() const {
  const std::map<std::string, std::string> names = TokenNames("LoadSong");
  std::string started;
  for (const std::string& line : sound.calls) {
    std::istringstream in(line);
    std::string method, token, mode;
    if (in >> method >> token >> mode && method == "PlaySong") started = names.at(token) + " " + mode;
  }
  return started;
}

std::vector<RenderItem> ScreensTest::Queued() const {
  std::vector<RenderItem> items;
  for (RenderNode* pNode = pQueue->Head(); pNode; pNode = pNode->pNext) items.push_back(*pNode->pItem);
  return items;
}

std::string ScreensTest::LogText() const {
  std::fflush(log);
  std::string text;
  std::FILE* in = std::fopen((dir + "/file.log").c_str(), "r");
  if (!in) return text;
  char buffer[512];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) text.append(buffer, n);
  std::fclose(in);
  return text;
}

}  // namespace screens_test

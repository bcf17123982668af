#include "screens_fixture.h"

#include <sstream>

#include "platform/sound/sound_backend_testing.h"
#include "tests/support/quad_row_mesh.h"
#include "tools/pewriter/pe_writer.h"

namespace screens_test {

void ScreensTest::SetUp() {
  ASSERT_FALSE(work.Path().empty());
  log = std::fopen("file.log", "w+");
  ASSERT_NE(nullptr, log);
  WriteLibrary(true);
  FSOUND_UseBackendForTesting(&sound);
  ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
  ctx.m_pd3dDevice = pDevice;
  ctx.m_strResLib = library.c_str();
  ctx.m_pLog = log;
  ctx.m_pMeshCache = &meshes;
  ctx.m_pLocalMeshCache = &localMeshes;
  ctx.m_pSampleCache = &samples;
  ctx.m_pRenderQueue = &queue;
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
  queue.Clear();
  meshes.Clear();
  localMeshes.Clear();
  samples.Clear();
  if (ctx.m_pSong) FMUSIC_FreeSong(ctx.m_pSong);
  FSOUND_Close();
  FSOUND_UseBackendForTesting(nullptr);
  EXPECT_EQ(0u, pDevice->LiveResourceCount());
  EXPECT_EQ(0u, pDevice->Release());
  if (log) std::fclose(log);
}

void ScreensTest::WriteLibrary(bool withSongs) {
  // Every sample and song gets a size of its own, so the recorded loads tell them apart.
  std::vector<std::string> names = {"Welcome",        "MenuSelect",    "OptRedButton", "OptDiodButton",
                                    "OptGreenButton", "OptTexsButton", "SoundVolume"};
  if (withSongs) names.insert(names.end(), {"GameFone1", "GameFone2", "GameFone3"});
  std::vector<PeResource> resources;
  m_sizeNames.clear();
  for (size_t i = 0; i < names.size(); ++i) {
    resources.push_back({names[i], std::vector<uint8_t>(100 + i, 1)});
    m_sizeNames[100 + i] = names[i];
  }
  // Seven subsets: one more than the room has.
  resources.push_back({"Environ", QuadRowMesh(7, 7)});
  std::string error;
  ASSERT_TRUE(WriteResourceDll(library, resources, &error)) << error;
}

void ScreensTest::Frame(CMyObject& object, DWORD dwElapsed) {
  ctx.m_dwElapsed = dwElapsed;
  ctx.m_dwTime += dwElapsed;
  object.FrameMove();
}

std::vector<std::string> ScreensTest::Played(const std::string& method) const {
  std::map<std::string, std::string> names;  // token -> resource; tokens are unique across both kinds
  std::vector<std::string> played;
  for (size_t i = 0; i < sound.calls.size(); ++i) {
    std::istringstream in(sound.calls[i]);
    std::string verb, a, b;
    in >> verb >> a >> b;
    if ((verb == "LoadSample" || verb == "LoadSong") && b != "refused") {
      auto found = m_sizeNames.find(std::stoul(a));
      names[b] = found == m_sizeNames.end() ? "?" : found->second;
    } else if (verb == method && i >= m_nMark) {
      played.push_back(verb == "PlaySong" ? names[a] + " " + b : names[b]);  // PlaySong token mode
    }
  }
  return played;
}

std::vector<RenderItem> ScreensTest::Queued() const {
  std::vector<RenderItem> items;
  for (RenderNode* pNode = queue.Head(); pNode; pNode = pNode->pNext) items.push_back(*pNode->pItem);
  return items;
}

std::string ScreensTest::LogText() const {
  std::fflush(log);
  const std::vector<unsigned char> bytes = ReadWholeFile("file.log");
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace screens_test

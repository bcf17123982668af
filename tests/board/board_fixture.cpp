#include "board_fixture.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <map>

#include "platform/sound/sound_backend_testing.h"
#include "tools/pewriter/pe_writer.h"

namespace board_test {

namespace {

// Every sample a ball plays.
const char* const kSampleNames[] = {"BallDown",  "BallSelect",  "FloorSelect", "FlyNoise",
                                    "SlideNoise", "ShortDelete", "LongDelete"};

}  // namespace

void BoardTest::SetUp() {
  std::srand(12345);
  ctx.m_pList = &list;
  D3DXMatrixIdentity(&ctx.m_matBoard);
  D3DXMatrixIdentity(&ctx.m_matView);
  ctx.m_nColours = 7;
  ctx.m_dwMode = GAMEMODE_PLAY;
  ctx.m_bIdle = 1;
  ctx.m_nMoveMode = 4;
  ctx.m_fBallHitDist = 1000.0f;
  ctx.m_dwTime = 1000;

  // The balls play through the context and the sound library, which records the
  // backend's calls: the samples are loaded once here, then every play names one.
  FSOUND_UseBackendForTesting(&backend);
  ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
  char path[] = "/tmp/vantorel-board-sounds-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  std::vector<PeResource> resources;
  for (const char* strName : kSampleNames)
    resources.push_back({strName, std::vector<uint8_t>(resources.size() + 1, 0)});
  std::string error;
  ASSERT_TRUE(WriteResourceDll(path, resources, &error)) << error;
  ctx.m_strResLib = path;
  ctx.m_pSampleCache = &samples;
  ctx.m_bSound = 1;
  std::map<std::string, std::string> names;  // backend token -> sample name
  for (const char* strName : kSampleNames) {
    FSOUND_SAMPLE* pSample = nullptr;
    ASSERT_EQ(ctx.LoadSample(strName, &pSample), S_OK) << strName;
    const std::string& line = backend.calls.back();
    names[line.substr(line.rfind(' ') + 1)] = strName;
  }
  unlink(path);
  ctx.m_strResLib = nullptr;
  backend.onCall = [this, names](const std::string& line) {
    const std::string kPlay = "PlaySample ";
    if (line.compare(0, kPlay.size(), kPlay) != 0) return;
    auto found = names.find(line.substr(line.rfind(' ') + 1));
    sounds.push_back(found != names.end() ? found->second : line);
  };
}

void BoardTest::TearDown() {
  list.DeleteAll();
  samples.Clear();
  ctx.m_pSampleCache = nullptr;
  FSOUND_Close();
  FSOUND_UseBackendForTesting(nullptr);
}

CBall* BoardTest::RestingBall(int i, int j, int nColour) {
  CBall* pBall = new CBall(&ctx);
  EXPECT_EQ(pBall->PlaceAt(i - 4, j - 4, nColour), S_OK);
  pBall->m_bDropping = 0;
  pBall->m_bResting = 1;
  pBall->m_fHeight = 0.0f;
  list.Add(pBall);
  ++ctx.m_nBallCount;
  return pBall;
}

void BoardTest::FillWithoutRuns(const std::vector<std::pair<int, int>>& leaveEmpty) {
  for (int i = 0; i < 9; ++i) {
    for (int j = 0; j < 9; ++j) {
      bool bLeave = false;
      for (const auto& cell : leaveEmpty) bLeave = bLeave || (cell.first == i && cell.second == j);
      if (ctx.m_Board[i][j] == 0 && !bLeave) RestingBall(i, j, PatternColour(i, j));
    }
  }
}

void BoardTest::Frame(DWORD dwElapsed) {
  ctx.m_dwElapsed = dwElapsed;
  ctx.m_dwTime += dwElapsed;
  list.FrameMoveAll();
}

void BoardTest::SelectAndClick(CBall* pBall, int i, int j) {
  ctx.m_pBallHit = pBall;
  Frame(10);  // the hit becomes the selected, hopping ball
  ASSERT_EQ(ctx.m_pSelectedBall, pBall);
  ctx.m_nPickCellX = i;
  ctx.m_nPickCellY = j;
  ctx.m_bCellHit = 1;
  ctx.m_bCellConfirmed = 1;
}

CBall* BoardTest::BallAt(int i, int j) const {
  for (CListEngine::Node* pNode = list.First(); pNode; pNode = pNode->pNext) {
    CBall* pBall = static_cast<CBall*>(pNode->pObject);
    if (pBall->m_bPlaced && pBall->m_nCellX == i && pBall->m_nCellY == j) return pBall;
  }
  return nullptr;
}

int BoardTest::BallsInList() const { return static_cast<int>(list.Count()); }

int BoardTest::NonEmptyCells() const {
  int n = 0;
  for (const auto& column : ctx.m_Board)
    for (INT value : column) n += value != 0;
  return n;
}

int BoardTest::CountSounds(const std::string& name) const {
  int n = 0;
  for (const std::string& sound : sounds) n += sound == name;
  return n;
}

bool BoardTest::AnyBallMoving() const {
  for (CListEngine::Node* pNode = list.First(); pNode; pNode = pNode->pNext)
    if (static_cast<CBall*>(pNode->pObject)->m_bMoving) return true;
  return false;
}

}  // namespace board_test

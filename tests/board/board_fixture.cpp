#include "board_fixture.h"

#include <cstring>

namespace board_test {

ScriptedRand* g_pRand = nullptr;
std::vector<std::string>* g_pSounds = nullptr;

namespace {

int TestRand() { return g_pRand->Next(); }
void TestSound(CGameContext*, const char* strName) { g_pSounds->push_back(strName); }

}  // namespace

void BoardTest::SetUp() {
  g_pRand = &rand;
  g_pSounds = &sounds;
  CBall::s_pfnRand = TestRand;
  CBall::s_pfnPlaySound = TestSound;
  ctx.m_pList = &list;
  D3DXMatrixIdentity(&ctx.m_matBoard);
  D3DXMatrixIdentity(&ctx.m_matView);
  ctx.m_nColours = 7;
  ctx.m_dwMode = GAMEMODE_PLAY;
  ctx.m_bIdle = 1;
  ctx.m_nMoveMode = 4;
  ctx.m_fBallHitDist = 1000.0f;
  ctx.m_dwTime = 1000;
}

void BoardTest::TearDown() {
  list.DeleteAll();
  CBall::s_pfnRand = std::rand;
  CBall::s_pfnPlaySound = nullptr;
  g_pRand = nullptr;
  g_pSounds = nullptr;
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

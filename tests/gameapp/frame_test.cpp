// The frame's requests in their order, the undo on the application side, the music
// rotation and the minimise key.
#include <array>
#include <cstring>
#include <functional>

#include "engine/listengine.h"
#include "game/ball.h"
#include "shell/resource.h"
#include "tests/gameapp/gameapp_fixture.h"

namespace gameapp_test {
namespace {

class FrameTest : public GameAppTest {
 protected:
  // Frames with the real clock until the condition holds; false after the timeout.
  bool RunUntil(const std::function<bool()>& done, DWORD dwTimeoutMs = 5000) {
    const DWORD start = GetTickCount();
    while (!done()) {
      if (GetTickCount() - start > dwTimeoutMs) return false;
      m_pApp->FrameMove();
      Sleep(2);
    }
    return true;
  }
  CBall* BallAt(int i, int j) {
    for (CListEngine::Node* pNode = m_pContext->m_pList->First(); pNode; pNode = pNode->pNext) {
      if (std::strcmp(pNode->pObject->m_strType, "ball") != 0) continue;
      CBall* pBall = static_cast<CBall*>(pNode->pObject);
      if (pBall->m_bPlaced && pBall->m_nCellX == i && pBall->m_nCellY == j) return pBall;
    }
    return nullptr;
  }
  bool AllBallsResting() {
    for (CListEngine::Node* pNode = m_pContext->m_pList->First(); pNode; pNode = pNode->pNext)
      if (std::strcmp(pNode->pObject->m_strType, "ball") == 0 && !static_cast<CBall*>(pNode->pObject)->m_bResting)
        return false;
    return true;
  }
  // Empties the board, then places resting balls of the given colours.
  void SetBoard(const std::vector<std::array<int, 3>>& balls) {
    CBall builder(m_pContext.get());
    builder.RemoveAllBalls();
    std::memset(m_pContext->m_Board, 0, sizeof m_pContext->m_Board);
    m_pContext->m_nBallCount = 0;
    for (const auto& ball : balls) builder.SpawnBallAt(ball[0], ball[1], ball[2]);
    builder.DeleteDeviceObjects();
    ASSERT_TRUE(RunUntil([this] { return AllBallsResting(); }));
  }
  // The close and command messages waiting in the queue, in their order (the window
  // layer makes up paint messages without end, so the look is bounded).
  std::vector<MSG> PostedMessages() {
    std::vector<MSG> messages;
    MSG msg;
    for (int n = 0; n < 100 && PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE); ++n)
      if (msg.message == WM_CLOSE || msg.message == WM_COMMAND) messages.push_back(msg);
    return messages;
  }
};

TEST_F(FrameTest, QuitIsPostedOnceAndBeforeTheModeChange) {
  CTestGameApp& app = StartApp();
  PostedMessages();
  m_pContext->m_bQuitRequest = 1;
  m_pContext->m_bModeChangeRequest = 1;
  m_pContext->m_dwNewWidth = 800;
  m_pContext->m_dwNewHeight = 600;
  app.FrameMove();
  std::vector<MSG> posted = PostedMessages();
  ASSERT_EQ(2u, posted.size());
  EXPECT_EQ(static_cast<UINT>(WM_CLOSE), posted[0].message);
  EXPECT_EQ(static_cast<UINT>(WM_COMMAND), posted[1].message);
  EXPECT_EQ(static_cast<WPARAM>(IDM_CHANGETOCREATIONMODE), posted[1].wParam);
  EXPECT_EQ(800u, app.m_dwCreationWidth);
  EXPECT_EQ(600u, app.m_dwCreationHeight);
  EXPECT_EQ(0, m_pContext->m_bQuitRequest);
  EXPECT_EQ(0, m_pContext->m_bModeChangeRequest);

  m_pContext->m_bQuitRequest = 1;  // raised again before the window is gone
  app.FrameMove();
  EXPECT_TRUE(PostedMessages().empty());
}

TEST_F(FrameTest, NewGameRunsBeforeTheRecordsScreenOpens) {
  CTestGameApp& app = StartApp();
  m_pContext->m_dwMode = GAMEMODE_PLAY;
  m_pContext->m_nScore = 120;
  m_pContext->m_bNewGameRequest = 1;
  m_pContext->m_bGameOverRequest = 1;
  app.FrameMove();
  EXPECT_EQ(static_cast<DWORD>(GAMEMODE_RECORDS), m_pContext->m_dwMode);
  EXPECT_EQ(1, CountType("records"));
  EXPECT_EQ(0, m_pContext->m_nScore);  // the new game came first
  EXPECT_EQ(5, CountType("ball"));
  EXPECT_EQ(0, m_pContext->m_bNewGameRequest);
  EXPECT_EQ(0, m_pContext->m_bGameOverRequest);
}

TEST_F(FrameTest, UndoWithoutASnapshotOnlyClearsTheRequest) {
  CTestGameApp& app = StartApp();
  app.NewGame();
  INT board[BOARD_SIZE][BOARD_SIZE];
  std::memcpy(board, m_pContext->m_Board, sizeof board);
  m_pContext->m_bUndoAvailable = 0;
  m_pContext->m_bUndoRequest = 1;
  app.FrameMove();
  EXPECT_EQ(0, m_pContext->m_bUndoRequest);
  EXPECT_EQ(0, std::memcmp(board, m_pContext->m_Board, sizeof board));
  EXPECT_EQ(5, CountType("ball"));
}

TEST_F(FrameTest, UndoAfterARunBringsBackTheRemovedBallsAndTheMovedOne) {
  CTestGameApp& app = StartApp();
  m_pContext->m_dwMode = GAMEMODE_PLAY;
  m_pContext->m_nMoveMode = 0;  // at once
  SetBoard({{0, 0, 3}, {1, 0, 3}, {2, 0, 3}, {3, 0, 3}, {4, 2, 3}, {7, 7, 5}});
  INT before[BOARD_SIZE][BOARD_SIZE];
  std::memcpy(before, m_pContext->m_Board, sizeof before);

  CBall* mover = BallAt(4, 2);
  ASSERT_NE(nullptr, mover);
  m_pContext->m_pBallHit = mover;
  ASSERT_TRUE(RunUntil([&] { return m_pContext->m_pSelectedBall == mover; }));
  m_pContext->m_nPickCellX = 4;
  m_pContext->m_nPickCellY = 0;
  m_pContext->m_bCellHit = 1;
  m_pContext->m_bCellConfirmed = 1;
  ASSERT_TRUE(RunUntil([&] { return m_pContext->m_nScore == 5 && m_pContext->m_Board[0][0] == CELL_EMPTY; }));
  ASSERT_TRUE(RunUntil([&] { return m_pContext->m_bIdle && CountType("ball") == 1; }));

  m_pContext->m_bUndoRequest = 1;
  app.FrameMove();
  EXPECT_EQ(0, std::memcmp(before, m_pContext->m_Board, sizeof before));
  EXPECT_EQ(0, m_pContext->m_nScore);
  EXPECT_EQ(6, CountType("ball"));
  EXPECT_EQ(6, m_pContext->m_nBallCount);
  EXPECT_NE(nullptr, BallAt(4, 2));
  EXPECT_EQ(nullptr, BallAt(4, 0));
  EXPECT_EQ(0, m_pContext->m_bUndoAvailable);
}

class MusicTest : public FrameTest {
 protected:
  // A song of the rotation playing once, as the intro leaves it.
  void PlayingSong() {
    ASSERT_EQ(1, m_pContext->m_bSound);
    ASSERT_EQ(S_OK, m_pContext->LoadSong("GameFone1", &m_pContext->m_pSong));
    FMUSIC_SetLooping(m_pContext->m_pSong, FALSE);
    FMUSIC_PlaySong(m_pContext->m_pSong);
  }
  void FinishedSong() {
    PlayingSong();
    m_sound.EndSong();
  }
};

TEST_F(MusicTest, OnlyRandomMusicFollowsAFinishedSongAndAMissingOneLetsItPlayAgain) {
  CTestGameApp& app = StartApp();
  FinishedSong();
  for (INT type : {1, 2, 3, 0}) {
    m_pContext->m_nMusType = type;
    const int loads = m_sound.Count("LoadSong");
    app.m_dwLastStatsTime = m_pContext->m_dwTime - 2000;  // the once-a-second check is due
    app.FrameMove();
    EXPECT_EQ(loads + (type == 0 ? 1 : 0), m_sound.Count("LoadSong")) << "music type " << type;
  }
  FinishedSong();
  m_sound.refuseSongs = true;
  const int plays = m_sound.Count("PlaySong");
  app.m_dwLastStatsTime = m_pContext->m_dwTime - 2000;
  app.FrameMove();
  EXPECT_EQ(plays + 1, m_sound.Count("PlaySong"));
  EXPECT_EQ(1, m_pContext->m_bSound);
  EXPECT_NE(nullptr, m_pContext->m_pSong);
}

TEST_F(MusicTest, EachRandomSongPlaysOnceSoAnotherFollowsIt) {
  CTestGameApp& app = StartApp();
  m_pContext->m_nMusType = 0;
  FinishedSong();
  for (int song = 1; song <= 2; ++song) {
    const int loads = m_sound.Count("LoadSong");
    app.m_dwLastStatsTime = m_pContext->m_dwTime - 2000;  // the once-a-second check is due
    app.FrameMove();
    ASSERT_EQ(loads + 1, m_sound.Count("LoadSong")) << "song " << song;
    const std::string& played = m_sound.calls.back();
    ASSERT_EQ(0u, played.find("PlaySong"));
    EXPECT_EQ(" once", played.substr(played.size() - 5)) << "a looping song never ends: the rotation stops at it";
    m_sound.EndSong();
  }
}

TEST_F(MusicTest, TheSongPausedForADeviceResetPlaysOnAfterIt) {
  CTestGameApp& app = StartApp();
  PlayingSong();
  ASSERT_EQ(S_OK, app.ToggleFullscreen());  // Alt+Enter resets the device
  EXPECT_EQ(1, m_sound.Count("PauseSong"));
  EXPECT_EQ(1, m_sound.Count("ResumeSong"));
  EXPECT_FALSE(m_sound.songPaused) << "the music stays silent after the reset";
}

TEST_F(MusicTest, SpaceWhileANameIsTypedNeitherMinimisesNorPauses) {
  CTestGameApp& app = StartApp();
  PlayingSong();
  m_pContext->m_dwMode = GAMEMODE_RECORDS;
  m_pContext->m_dwRecordsState = 0;
  EXPECT_EQ(E_FAIL, app.OnMinimizeKey());
  EXPECT_EQ(0, m_sound.Count("PauseSong"));
  m_pContext->m_dwRecordsState = 1;
  EXPECT_EQ(S_OK, app.OnMinimizeKey());
  EXPECT_EQ(1, m_sound.Count("PauseSong"));
}

}  // namespace
}  // namespace gameapp_test

// The records screen and the top bar without a device: where a new score enters the
// table, the texture cells of digits and name characters, the hint panel's fold and
// the requests raised when the screen is left.
#include <cmath>
#include <memory>

#include "game/records.h"
#include "game/upmenu.h"
#include "records_fixture.h"

namespace records_test {
namespace {

class ScreensTest : public RecordsTest {
 protected:
  // The records screen opened on the table 100, 90, .. 30 with that game score.
  void Open(INT nScore) {
    for (int r = 0; r < 8; ++r) {
      std::snprintf(ctx.m_Records[r].szName, 12, "Old%c", char('0' + r));
      ctx.m_Records[r].dwScore = DWORD(100 - 10 * r);
    }
    ctx.m_nScore = nScore;
    screen = std::make_unique<CRecords>(&ctx);
  }
  std::vector<DWORD> Scores() const {
    std::vector<DWORD> scores;
    for (const RecordRow& row : ctx.m_Records) scores.push_back(row.dwScore);
    return scores;
  }
  // The quad maps the cell at (u, v) of size du x dv.
  static void ExpectCell(const ScreenVertex* q, float u, float v, float du, float dv) {
    EXPECT_TRUE(std::fabs(q[0].tu - u) + std::fabs(q[0].tv - v) + std::fabs(q[5].tu - u - du) +
                    std::fabs(q[5].tv - v - dv) < 1e-5f)
        << "(" << q[0].tu << ", " << q[0].tv << ") .. (" << q[5].tu << ", " << q[5].tv << ")";
  }
  std::unique_ptr<CRecords> screen;
};

TEST_F(ScreensTest, NewScoresEnterBelowEqualOnesAndOnlyAboveTheLastRow) {
  Open(30);  // equal to row 7: no place, no name entry
  EXPECT_EQ(std::vector<DWORD>({100, 90, 80, 70, 60, 50, 40, 30}), Scores());
  EXPECT_EQ(1u, ctx.m_dwRecordsState);
  EXPECT_EQ(8u, ctx.m_dwEditRow);

  Open(70);  // equal to row 3: enters as row 4, the old row 7 drops out
  EXPECT_EQ(std::vector<DWORD>({100, 90, 80, 70, 70, 60, 50, 40}), Scores());
  EXPECT_EQ("Old3||Old4", std::string(ctx.m_Records[3].szName) + "|" + ctx.m_Records[4].szName + "|" +
                             ctx.m_Records[5].szName);
  EXPECT_EQ(4u, ctx.m_dwEditRow);
  EXPECT_EQ(0u, ctx.m_dwRecordsState);

  Open(20000);  // above row 0: the top, capped
  EXPECT_EQ(std::vector<DWORD>({9999, 100, 90, 80, 70, 60, 50, 40}), Scores());
  EXPECT_EQ(0u, ctx.m_dwEditRow);

  // A table out of order: no row above the new one is overwritten.
  ctx.m_Records[6].dwScore = 95;
  ctx.m_nScore = 85;
  CRecords again(&ctx);
  EXPECT_EQ(std::vector<DWORD>({9999, 100, 90, 80, 70, 60, 95, 85}), Scores());
}

TEST_F(ScreensTest, ASecondRecordInOneRunIsTypedFromItsFirstCharacter) {
  Open(95);
  ctx.m_dwEditColumn = 6;  // where the first name of the run ended
  ctx.m_dwRecordsState = 2;
  screen->FrameMove();
  Open(85);
  EXPECT_EQ(0u, ctx.m_dwRecordsState);
  EXPECT_EQ(0u, ctx.m_dwEditColumn) << "the new name would start after empty cells, and show as nothing";
}

TEST_F(ScreensTest, DigitsAndNameCharactersTakeTheirSheetCells) {
  Open(75);
  ExpectCell(screen->m_ScoreQuads[4 + 2], 0.8f, 0.5f, 0.2f, 0.5f);  // row 1 (90): 0, 0, 9, 0
  ExpectCell(screen->m_ScoreQuads[4 + 3], 0.0f, 0.0f, 0.2f, 0.5f);
  ExpectCell(screen->m_ScoreQuads[34], 0.4f, 0.5f, 0.2f, 0.5f);  // the game's 75
  ASSERT_EQ(3u, ctx.m_dwEditRow);
  std::strcpy(ctx.m_Records[3].szName, "Zo9 _");  // typed: the screen follows
  screen->FrameMove();
  const float du = 0.142857f;
  ScreenVertex(*name)[6] = screen->m_NameQuads + 33;
  const float cells[5][2] = {{4 * du, 0.3f}, {0, 0.6f}, {}, {6 * du, 0.9f}, {6 * du, 0.3f}};  // Z o _ 9 cursor
  for (int k : {0, 1, 3, 4}) ExpectCell(name[k], cells[k][0], cells[k][1], du, 0.1f);
  std::strcpy(ctx.m_Records[3].szName, "Z\x7f");  // no cell for it; the old cursor mark goes
  screen->FrameMove();
  ExpectCell(name[1], 0, 0, 0, 0);
  ExpectCell(name[4], 0, 0, 0, 0);

  CUpMenu bar(&ctx);  // the top bar's score: 7 is cell 2 of the bottom row in the units place
  for (INT score : {7, 9999, 0}) {
    ctx.m_nScore = score;
    bar.FrameMove();
    for (int k = 4; k < 8; ++k) {
      const int digit = k == 7 ? score % 10 : score == 9999 ? 9 : 0;
      ExpectCell(bar.m_DigitQuads[k], 0.2f * (digit % 5), 0.5f * (digit / 5), 0.2f, 0.5f);
    }
  }
}

TEST_F(ScreensTest, LeavingRaisesTheRequestsAndTheBarWritesTheFile) {
  CUpMenu bar(&ctx);
  ctx.m_dwMode = GAMEMODE_RECORDS;
  Open(0);
  ctx.m_dwRecordsState = 2;
  screen->FrameMove();
  EXPECT_EQ(1, screen->m_bDead);
  EXPECT_EQ(1, ctx.m_bNewGameRequest);
  EXPECT_EQ(GAMEMODE_PLAY, ctx.m_dwMode);
  EXPECT_EQ(1, ctx.m_bSaveRecordsRequest);
  bar.FrameMove();
  EXPECT_EQ(0, ctx.m_bSaveRecordsRequest);
  EXPECT_EQ(128u, ReadWholeFile("records.rcd").size());
}

TEST_F(ScreensTest, HintPanelFoldsInAThirdOfASecondAndPlusReversesIt) {
  CUpMenu bar(&ctx);
  ctx.m_dwElapsed = 16;
  ctx.m_bKeyMinus = 1;
  for (int frame = 0; frame < 20; ++frame) bar.FrameMove();  // 320 ms
  EXPECT_EQ(0, ctx.m_bKeyMinus);
  EXPECT_NEAR(4.0f, bar.m_fHintPercent, 1e-3f);
  bar.FrameMove();  // 336 ms: folded, at rest
  EXPECT_EQ(0.0f, bar.m_fHintPercent + bar.m_fHintSpeed);
  EXPECT_FLOAT_EQ(bar.m_PreviewQuads[2][0].y, bar.m_PreviewQuads[2][5].y);

  ctx.m_bKeyPlus = 1;
  for (int frame = 0; frame < 10; ++frame) bar.FrameMove();
  ctx.m_bKeyMinus = 1;  // reversed from where it stands
  bar.FrameMove();
  EXPECT_NEAR(43.2f, bar.m_fHintPercent, 1e-3f);
  ctx.m_bKeyMinus = ctx.m_bKeyPlus = 1;  // both in one frame: plus wins
  bar.FrameMove();
  EXPECT_NEAR(48.0f, bar.m_fHintPercent, 1e-3f);
  EXPECT_FLOAT_EQ(bar.m_PreviewQuads[0][0].y + 48 * 0.48f, bar.m_PreviewQuads[0][5].y);
}

}  // namespace
}  // namespace records_test

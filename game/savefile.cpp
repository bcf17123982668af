#include "game/savefile.h"

#include <cstring>
#include <string>

#include "engine/gamecontext.h"
#include "platform/win32/kept_file.h"

const char SAVE_FILE_NAME[] = "Vantorel.sav";

namespace {

const int kPreviewOffset = BOARD_CELLS * 4;
const int kScoreOffset = kPreviewOffset + 3 * 4;
const int kMaxScore = 9999;

void PutInt(unsigned char* p, INT value) {
  const DWORD v = static_cast<DWORD>(value);
  for (int k = 0; k < 4; ++k) p[k] = static_cast<unsigned char>(v >> (8 * k));
}

INT GetInt(const unsigned char* p) {
  DWORD v = 0;
  for (int k = 0; k < 4; ++k) v |= static_cast<DWORD>(p[k]) << (8 * k);
  return static_cast<INT>(v);
}

unsigned char* CellAt(unsigned char* file, int i, int j) { return file + (i * BOARD_SIZE + j) * 4; }

}  // namespace

HRESULT SaveGame(CGameContext* c) {
  if (!c->m_bIdle) return S_FALSE;
  unsigned char file[SAVE_FILE_SIZE];
  for (int i = 0; i < BOARD_SIZE; ++i)
    for (int j = 0; j < BOARD_SIZE; ++j) {
      const INT value = c->m_Board[i][j];
      PutInt(CellAt(file, i, j), IsColour(value) ? value : CELL_EMPTY);
    }
  // Only values that load back are written: a file this writes is never refused.
  for (int k = 0; k < 3; ++k) {
    const INT colour = c->m_NextColours[k];
    PutInt(file + kPreviewOffset + 4 * k, IsColour(colour) ? colour : CELL_EMPTY);
  }
  const INT score = c->m_nScore;
  PutInt(file + kScoreOffset, score < 0 ? 0 : score > kMaxScore ? kMaxScore : score);
  std::string refusal;
  if (!WriteFileAtomically(SAVE_FILE_NAME, file, sizeof file, &refusal)) {
    c->WriteLog(refusal.empty() ? "FAIL: Can not write save file Vantorel.sav!\n"
                                : ("FAIL: Save file Vantorel.sav " + refusal + ", it is left as it is!\n").c_str());
    return E_FAIL;
  }
  return S_OK;
}

HRESULT LoadGame(CGameContext* c) {
  const KeptFileContents kept = ReadKeptFile(SAVE_FILE_NAME, SAVE_FILE_SIZE);
  if (kept.status == KeptFileContents::kMissing) return S_FALSE;
  if (kept.status == KeptFileContents::kRefused) {
    c->WriteLog(("FAIL: Save file Vantorel.sav " + kept.reason + ", it is left as it is!\n").c_str());
    return E_FAIL;
  }
  unsigned char file[SAVE_FILE_SIZE] = {};
  std::memcpy(file, kept.bytes.data(), kept.bytes.size());

  INT board[BOARD_SIZE][BOARD_SIZE];
  INT preview[3];
  bool ok = kept.bytes.size() == SAVE_FILE_SIZE && !kept.longer;
  for (int i = 0; ok && i < BOARD_SIZE; ++i)
    for (int j = 0; ok && j < BOARD_SIZE; ++j) {
      const INT value = GetInt(CellAt(file, i, j));
      // A run caught in the middle of its removal comes back as empty cells.
      ok = value == CELL_EMPTY || IsColour(value) || value == CELL_IN_RUN || value == CELL_REMOVING;
      board[i][j] = IsColour(value) ? value : CELL_EMPTY;
    }
  for (int k = 0; ok && k < 3; ++k) {
    preview[k] = GetInt(file + kPreviewOffset + 4 * k);
    ok = preview[k] == CELL_EMPTY || IsColour(preview[k]);
  }
  const INT score = ok ? GetInt(file + kScoreOffset) : 0;
  ok = ok && score >= 0 && score <= kMaxScore;
  if (!ok) {
    c->WriteLog("FAIL: Damaged save file Vantorel.sav!\n");
    return E_FAIL;
  }

  std::memcpy(c->m_Board, board, sizeof board);
  std::memcpy(c->m_NextColours, preview, sizeof preview);
  c->m_nScore = score;
  c->m_bUndoAvailable = 0;
  if (static_cast<DWORD>(c->m_nBestScore) < static_cast<DWORD>(c->m_nScore)) c->m_nBestScore = c->m_nScore;
  c->m_nBallCount = 0;
  c->m_bIdle = 1;
  c->m_bRebuildBalls = 1;
  return S_OK;
}

// The top bar: the best score at the left, the score at the right, the three preview
// colours between them on a hint panel that folds away and back (minus and plus
// keys). It also owns the records file "records.rcd" (upmenu_records.cpp): loaded
// when the bar is built, written on request and whenever its device objects go.
#pragma once

#include "engine/myobject.h"
#include "engine/screenquad.h"
#include "platform/win32/win32.h"

class CGameContext;

extern const char RECORDS_FILE_NAME[];
enum { RECORDS_FILE_SIZE = 128, MAX_SCORE = 9999 };

// A score brought into 0..MAX_SCORE.
DWORD CappedScore(INT nScore);
DWORD CappedScore(DWORD dwScore);

// Four quads (thousands to units) take the "UpMenuNums" cells (5 x 2) of the
// value's digits, leading zeros shown; the value is capped into 0..9999 first.
void SetNumberCells(ScreenVertex (*pQuads)[QUAD_VERTICES], DWORD dwValue);

class CUpMenu : public CMyObject {
 public:
  // Loads the records (the default table when the file is missing or damaged), shows
  // row 0's score as the best score, lays out and fills the bar's buffers.
  explicit CUpMenu(CGameContext* pContext);
  ~CUpMenu() override;

  // Digits and icons follow the context, the hint panel moves, records are written on request.
  HRESULT FrameMove() override;
  // Queues the bar, the digits and the hint icons.
  HRESULT Render() override;
  HRESULT InvalidateDeviceObjects() override;
  // Lays out again for the current screen size and refills the buffers.
  HRESULT RestoreDeviceObjects() override;
  // Writes the records file, then releases the buffers.
  HRESULT DeleteDeviceObjects() override;

  // Positions of every quad from the screen size and the fold; texture cells untouched.
  HRESULT BuildNumbers();

  // The records file. LoadRecords takes the file's first 128 bytes only when there
  // are that many and every stored value is a square (else E_FAIL, a "FAIL: " entry
  // when the file was there, and the table untouched); names are cut to 11 characters
  // and ended. SaveRecords writes the table through a temporary file; a failed or
  // refused write is logged, returns E_FAIL and leaves the old file. A file that was
  // there but could not be read is never written in the same run.
  HRESULT LoadRecords();
  HRESULT SetDefaultRecords();
  HRESULT SaveRecords();

  ScreenVertex m_BarQuad[QUAD_VERTICES];
  ScreenVertex m_DigitQuads[8][QUAD_VERTICES];  // 0..3 best score, 4..7 score (thousands to units)
  ScreenVertex m_PreviewQuads[3][QUAD_VERTICES];
  DWORD m_dwQuadBytes = QUAD_BYTES;
  FLOAT m_fDigitCols = 16.0f;
  FLOAT m_fDigitRows = 12.0f;
  FLOAT m_fPreviewCols = 13.0f;
  FLOAT m_fPreviewRows = 10.0f;
  FLOAT m_fHintPercent = 100.0f;  // how far the hint icons are unfolded
  FLOAT m_fHintSpeed = 0.0f;      // percent per millisecond
  IDirect3DVertexBuffer8* m_pBarVB = nullptr;
  IDirect3DVertexBuffer8* m_pDigitVB = nullptr;
  IDirect3DVertexBuffer8* m_pPreviewVB = nullptr;
  // What the quads show; out of range at first, so the first frame lays everything out.
  INT m_nShownScore = MAX_SCORE + 1;
  INT m_nShownBest = MAX_SCORE + 1;
  INT m_ShownColours[3] = {-1, -1, -1};
  bool m_bLeaveRecordsFile = false;  // the file was there but could not be read

 private:
  void LayOut(FLOAT fHintPercent);
  void SetPreviewCells();
};

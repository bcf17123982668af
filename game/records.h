// The records screen, shown when a game ends with a full board: the eight records and
// the score of the game just ended. A score above the eighth row enters the table at
// its place ("HiRecords" plays) and the player types a name into the new row (the
// keyboard's name entry writes it; this screen follows it). Leaving asks the top bar
// to write the records file and starts a new game.
#pragma once

#include "engine/myobject.h"
#include "engine/screenquad.h"
#include "platform/win32/win32.h"

class CGameContext;

// Cell (column, row) of a name character in the "Symbols" sheet (7 x 10); false for a
// character the sheet has no cell for.
bool SymbolCell(unsigned char ch, int* pColumn, int* pRow);

class CRecords : public CMyObject {
 public:
  // Shows the table (state 1, no row edited), enters the game's score when it earns
  // a place, lays out and fills the buffers.
  explicit CRecords(CGameContext* pContext);
  ~CRecords() override;

  // Follows the typed name; in state 2 the screen leaves.
  HRESULT FrameMove() override;
  HRESULT Render() override;
  HRESULT InvalidateDeviceObjects() override;
  HRESULT RestoreDeviceObjects() override;
  // Releases the buffers and asks for the records file to be written.
  HRESULT DeleteDeviceObjects() override;

  // Enters the game's score below the last row whose score is greater or equal; the
  // old row 7 drops out. Nothing happens when the score does not beat row 7.
  HRESULT InsertNewRecord();
  HRESULT ClearName(DWORD dwRow);
  // Texture cells of every digit and character from the table and the score, then
  // the three buffers are filled.
  HRESULT BuildTableText();

  ScreenVertex m_BackQuad[QUAD_VERTICES];
  ScreenVertex m_ScoreQuads[36][QUAD_VERTICES];  // 4 r .. 4 r + 3: row r's score; 32..35: the game's score
  ScreenVertex m_NameQuads[88][QUAD_VERTICES];   // 11 r .. 11 r + 10: row r's name
  DWORD m_dwQuadBytes = QUAD_BYTES;
  FLOAT m_fGridCols = 20.0f;
  FLOAT m_fGridRows = 15.0f;
  IDirect3DVertexBuffer8* m_pNameVB = nullptr;
  IDirect3DVertexBuffer8* m_pBackVB = nullptr;
  IDirect3DVertexBuffer8* m_pScoreVB = nullptr;
  char m_ShownName[12] = {};  // the edited row's name as last laid into the quads

 private:
  void LayOut();
};

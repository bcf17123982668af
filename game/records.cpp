#include "game/records.h"

#include <cstring>

#include "engine/gamecontext.h"
#include "engine/renderqueue.h"
#include "game/upmenu.h"

namespace {

const D3DCOLOR kBackColour = 0xFF222266;
const D3DCOLOR kWhite = 0xFFFFFFFF;
const FLOAT kDepth = 0.4f;
const DWORD kNoRow = RECORD_ROWS;
const int kNameCells = RECORD_NAME_SIZE - 1;
const FLOAT kSymbolWidth = 0.142857f;  // a little less than a seventh, keeping clear of the next cell
const FLOAT kSymbolHeight = 0.1f;

void QueueQuads(CGameContext* c, const char* strTexture, DWORD dwDestBlend, IDirect3DVertexBuffer8* pVB,
                DWORD dwPrimCount) {
  RenderItem& item = c->m_RenderItem;
  item.m_bQuad = 1;
  item.m_bNoDepth = 0;
  item.m_bBlend = 1;
  item.m_bColorKey = 0;
  item.m_dwColorKey = 0xFF000000;
  item.m_strTexture = strTexture;
  item.m_dwSrcBlend = D3DBLEND_ONE;
  item.m_dwDestBlend = dwDestBlend;
  item.m_pVB = pVB;
  item.m_dwPrimCount = dwPrimCount;
  c->m_pRenderQueue->Add(item);
}

// The name's characters, its end and everything after it shown as nothing.
void SetNameCells(ScreenVertex (*pQuads)[QUAD_VERTICES], const char* strName) {
  bool ended = false;
  for (int k = 0; k < kNameCells; ++k) {
    ended = ended || strName[k] == '\0';
    int column = 0, row = 0;
    if (!ended && SymbolCell(static_cast<unsigned char>(strName[k]), &column, &row))
      SetQuadTexCoords(pQuads[k], static_cast<FLOAT>(column) * kSymbolWidth, static_cast<FLOAT>(row) * kSymbolHeight,
                       kSymbolWidth, kSymbolHeight);
    else
      SetQuadTexCoords(pQuads[k], 0.0f, 0.0f, 0.0f, 0.0f);
  }
}

}  // namespace

bool SymbolCell(unsigned char ch, int* pColumn, int* pRow) {
  int n = -1, firstRow = 0;
  if (ch >= 'A' && ch <= 'Z') {
    n = ch - 'A';
  } else if (ch >= 'a' && ch <= 'z') {
    n = ch - 'a';
    firstRow = 4;
  } else if (ch >= '0' && ch <= '9') {
    n = ch - '0';
    firstRow = 8;
  }
  if (n >= 0) {
    *pColumn = n % 7;
    *pRow = firstRow + n / 7;
    return true;
  }
  static const struct {
    unsigned char ch;
    int column, row;
  } kOthers[] = {{'.', 5, 3}, {'_', 6, 3}, {',', 5, 7}, {'!', 6, 7}, {'@', 3, 9}, {'#', 4, 9}, {'$', 5, 9}, {' ', 6, 9}};
  for (const auto& other : kOthers)
    if (other.ch == ch) {
      *pColumn = other.column;
      *pRow = other.row;
      return true;
    }
  return false;
}

CRecords::CRecords(CGameContext* pContext) : CMyObject(pContext) {
  m_nOrder = 86;
  m_dwModeMask = GAMEMODE_RECORDS;
  m_strType = "records";
  m_bVisible = 1;
  m_pContext->m_dwRecordsState = 1;
  m_pContext->m_dwEditRow = kNoRow;
  InsertNewRecord();
  LayOut();
  BuildTableText();
}

CRecords::~CRecords() = default;

HRESULT CRecords::ClearName(DWORD dwRow) {
  if (dwRow >= RECORD_ROWS) return E_FAIL;
  std::memset(m_pContext->m_Records[dwRow].szName, 0, RECORD_NAME_SIZE);
  return S_OK;
}

HRESULT CRecords::InsertNewRecord() {
  CGameContext* c = m_pContext;
  RecordRow* rows = c->m_Records;
  const DWORD score = CappedScore(c->m_nScore);
  if (score <= rows[RECORD_ROWS - 1].dwScore) return S_OK;

  c->PlaySound("HiRecords");
  c->m_dwRecordsState = 0;
  c->m_dwEditColumn = 0;
  std::memset(m_ShownName, 0, sizeof m_ShownName);

  ClearName(RECORD_ROWS - 1);
  rows[RECORD_ROWS - 1].dwScore = score;
  c->m_dwEditRow = RECORD_ROWS - 1;
  // The new row rises past every smaller row directly above it and stops at the first
  // one that is not smaller, so an older equal score stays above, and a table out of
  // order never has a row overwritten.
  for (DWORD r = RECORD_ROWS - 1; r-- > 0 && rows[r].dwScore < score;) {
    std::memcpy(rows[r + 1].szName, rows[r].szName, RECORD_NAME_SIZE - 1);
    rows[r + 1].szName[RECORD_NAME_SIZE - 1] = '\0';
    rows[r + 1].dwScore = rows[r].dwScore;
    ClearName(r);
    rows[r].dwScore = score;
    c->m_dwEditRow = r;
  }
  return S_OK;
}

void CRecords::LayOut() {
  const FLOAT W = static_cast<FLOAT>(m_pContext->m_dwWidth), H = static_cast<FLOAT>(m_pContext->m_dwHeight);
  const FLOAT cw = W / m_fGridCols, ch = H / m_fGridRows;
  SetQuadRect(m_BackQuad, 0.0f, 0.0f, W, H, kDepth, kDepth, kBackColour);
  SetQuadTexCoords(m_BackQuad, 0.0f, 0.0f, 0.0f, 0.0f);
  for (int r = 0; r < RECORD_ROWS; ++r) {
    const FLOAT y = 2.0f * ch + 1.3f * ch * static_cast<FLOAT>(r);
    for (int k = 0; k < kNameCells; ++k) {
      SetQuadRect(m_NameQuads[kNameCells * r + k], static_cast<FLOAT>(2 + k) * cw, y, cw, ch, kDepth, kDepth, kWhite);
      SetQuadTexCoords(m_NameQuads[kNameCells * r + k], 0.0f, 0.0f, 0.0f, 0.0f);
    }
    for (int k = 0; k < 4; ++k)
      SetQuadRect(m_ScoreQuads[4 * r + k], static_cast<FLOAT>(15 + k) * cw, y, cw, ch, kDepth, kDepth, kWhite);
  }
  for (int k = 0; k < 4; ++k)
    SetQuadRect(m_ScoreQuads[32 + k], 7.0f * cw + 1.5f * cw * static_cast<FLOAT>(k), 12.7f * ch, 1.5f * cw,
                1.5f * ch, kDepth, kDepth, kWhite);
  for (auto& quad : m_ScoreQuads) SetQuadTexCoords(quad, 0.0f, 0.0f, 0.0f, 0.0f);
}

HRESULT CRecords::BuildTableText() {
  CGameContext* c = m_pContext;
  for (int r = 0; r < RECORD_ROWS; ++r) {
    SetNumberCells(m_ScoreQuads + 4 * r, c->m_Records[r].dwScore);
    SetNameCells(m_NameQuads + kNameCells * r, c->m_Records[r].szName);
  }
  SetNumberCells(m_ScoreQuads + 32, CappedScore(c->m_nScore));
  IDirect3DDevice8* pDevice = c->m_pd3dDevice;
  FillQuadBuffer(pDevice, &m_pNameVB, m_NameQuads[0], 88);
  FillQuadBuffer(pDevice, &m_pBackVB, m_BackQuad, 1);
  FillQuadBuffer(pDevice, &m_pScoreVB, m_ScoreQuads[0], 36);
  return S_OK;
}

HRESULT CRecords::FrameMove() {
  CGameContext* c = m_pContext;
  const DWORD state = c->m_dwRecordsState;
  if ((state == 0 || state == 1) && c->m_dwEditRow < RECORD_ROWS) {
    const char* strName = c->m_Records[c->m_dwEditRow].szName;
    if (std::memcmp(m_ShownName, strName, kNameCells) != 0) {
      std::memset(m_ShownName, 0, sizeof m_ShownName);
      std::memcpy(m_ShownName, strName, kNameCells);
      BuildTableText();
    }
  }
  if (state == 2) {
    CRecords::DeleteDeviceObjects();
    m_bDead = 1;
    c->m_bNewGameRequest = 1;
    c->m_dwMode = GAMEMODE_PLAY;
  }
  return S_OK;
}

HRESULT CRecords::Render() {
  CGameContext* c = m_pContext;
  if (!c->m_pRenderQueue) return S_OK;
  QueueQuads(c, "", D3DBLEND_SRCCOLOR, m_pBackVB, 2);
  QueueQuads(c, "UpMenuNums", D3DBLEND_ONE, m_pScoreVB, 72);
  QueueQuads(c, "Symbols", D3DBLEND_ONE, m_pNameVB, 176);
  return S_OK;
}

HRESULT CRecords::InvalidateDeviceObjects() {
  ReleaseQuadBuffer(&m_pNameVB);
  ReleaseQuadBuffer(&m_pBackVB);
  ReleaseQuadBuffer(&m_pScoreVB);
  return S_OK;
}

HRESULT CRecords::RestoreDeviceObjects() {
  LayOut();
  return BuildTableText();
}

HRESULT CRecords::DeleteDeviceObjects() {
  CRecords::InvalidateDeviceObjects();
  m_pContext->m_bSaveRecordsRequest = 1;
  return S_OK;
}

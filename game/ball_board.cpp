// Board rules of the ball: placing, spawning, the colour preview, new game, undo and
// the rebuild after a load.
#include <cstdlib>
#include <cstring>

#include "engine/gamecontext.h"
#include "engine/listengine.h"
#include "game/ball.h"

namespace {

// Random cells tried before a spawn takes the first free cell in board order.
const int kSpawnAttempts = 1000;

int FreeCells(const CGameContext* ctx) {
  int nFree = 0;
  for (const auto& column : ctx->m_Board)
    for (INT value : column) nFree += value == CELL_EMPTY;
  return nFree;
}

}  // namespace

int CBall::DrawColour() {
  const int nColours = m_pContext->m_nColours > 0 ? m_pContext->m_nColours : CELL_LAST_COLOUR;
  return std::rand() % nColours + CELL_FIRST_COLOUR;
}

HRESULT CBall::PlaceAt(int x, int y, int nColour) {
  const int i = x + CENTRE_CELL, j = y + CENTRE_CELL;
  if (!OnBoard(i, j) || Cell(i, j) != CELL_EMPTY) return E_FAIL;
  Cell(i, j) = nColour;
  m_nCellX = i;
  m_nCellY = j;
  m_nColour = nColour;
  m_fX = CellToWorld(x);
  m_fY = CellToWorld(y);
  m_bPlaced = 1;
  return S_OK;
}

HRESULT CBall::CellHolds(int x, int y, int nValue) const {
  const int i = x + CENTRE_CELL, j = y + CENTRE_CELL;
  if (!OnBoard(i, j)) return E_FAIL;
  return Cell(i, j) == nValue ? S_OK : E_FAIL;
}

HRESULT CBall::SpawnBalls(unsigned n) {
  CGameContext* ctx = m_pContext;
  // Five means a new game: random colours instead of the preview.
  const bool bRandomColours = n == 5;
  // Never more balls than cells that are really empty (removed balls may still hold
  // theirs), so the search for a free cell always ends.
  const unsigned nFree = static_cast<unsigned>(FreeCells(ctx));
  if (n > nFree) n = nFree;
  for (unsigned k = 0; k < n; ++k) {
    CBall* pBall = new CBall(ctx);
    bool bPlaced = false;
    int nColour = 0;
    for (int nAttempt = 0; nAttempt < kSpawnAttempts && !bPlaced; ++nAttempt) {
      const int x = std::rand() % BOARD_SIZE - CENTRE_CELL;
      const int y = std::rand() % BOARD_SIZE - CENTRE_CELL;
      if (bRandomColours) {
        nColour = DrawColour();
      } else {
        nColour = k < 3 ? ctx->m_NextColours[k] : 0;
        // A short preview holds zeros: such an entry is drawn now.
        if (!IsColour(nColour)) nColour = DrawColour();
      }
      bPlaced = SUCCEEDED(pBall->PlaceAt(x, y, nColour));
    }
    for (int i = 0; i < BOARD_SIZE && !bPlaced; ++i)
      for (int j = 0; j < BOARD_SIZE && !bPlaced; ++j)
        bPlaced = SUCCEEDED(pBall->PlaceAt(i - CENTRE_CELL, j - CENTRE_CELL, nColour));
    if (ctx->m_pList)
      ctx->m_pList->Add(pBall);
    else
      delete pBall;
    ++ctx->m_nBallCount;
  }
  DrawPreview();
  return S_OK;
}

void CBall::DrawPreview() {
  CGameContext* ctx = m_pContext;
  int m = BOARD_CELLS - ctx->m_nBallCount;
  if (m > 3) m = 3;
  if (m < 0) m = 0;
  for (INT& colour : ctx->m_NextColours) colour = 0;
  for (int k = 0; k < m; ++k) ctx->m_NextColours[k] = DrawColour();
}

HRESULT CBall::SpawnBallAt(int i, int j, int nColour) {
  CBall* pBall = new CBall(m_pContext);
  if (FAILED(pBall->PlaceAt(i - CENTRE_CELL, j - CENTRE_CELL, nColour))) {
    delete pBall;
    return E_FAIL;
  }
  if (m_pContext->m_pList)
    m_pContext->m_pList->Add(pBall);
  else
    delete pBall;
  ++m_pContext->m_nBallCount;
  return S_OK;
}

HRESULT CBall::RemoveAllBalls() {
  CGameContext* ctx = m_pContext;
  ctx->m_pSelectedBall = nullptr;
  ctx->m_pBallHit = nullptr;
  if (ctx->m_pList) ctx->m_pList->RemoveByType("ball");
  // A ball that was on its way is gone with the others: nothing is moving now.
  ctx->m_bIdle = 1;
  ctx->m_bPickRequest = 0;
  ctx->m_bCellHit = 0;
  ctx->m_bCellConfirmed = 0;
  ctx->m_nPathLength = 0;
  return S_OK;
}

HRESULT CBall::NewBoard() {
  CGameContext* ctx = m_pContext;
  RemoveAllBalls();
  std::memset(ctx->m_Board, 0, sizeof ctx->m_Board);
  ctx->m_nBallCount = 0;
  ctx->m_nScore = 0;
  SpawnBalls(5);
  for (INT& colour : ctx->m_NextColours) colour = DrawColour();
  ctx->m_bUndoAvailable = 0;
  return S_OK;
}

HRESULT CBall::ApplyUndo() {
  CGameContext* ctx = m_pContext;
  if (ctx->m_bUndoRequest && ctx->m_bUndoAvailable) {
    ctx->m_nScore = ctx->m_nUndoScore;
    ctx->m_nBestScore = ctx->m_nUndoBestScore;
    for (int i = 0; i < BOARD_SIZE; ++i)
      for (int j = 0; j < BOARD_SIZE; ++j)
        if (Cell(i, j) == CELL_EMPTY && ctx->m_UndoBoard[i][j] != CELL_EMPTY) SpawnBallAt(i, j, ctx->m_UndoBoard[i][j]);
    std::memcpy(ctx->m_NextColours, ctx->m_UndoNextColours, sizeof ctx->m_NextColours);
    ctx->m_nBallCount = ctx->m_nUndoBallCount;
    ctx->m_pSelectedBall = nullptr;
    ctx->m_pBallHit = nullptr;
    ctx->m_bUndoAvailable = 0;
  }
  ctx->m_bUndoRequest = 0;
  return S_OK;
}

HRESULT CBall::RebuildBalls() {
  RemoveAllBalls();
  for (int i = 0; i < BOARD_SIZE; ++i) {
    for (int j = 0; j < BOARD_SIZE; ++j) {
      const INT value = Cell(i, j);
      if (value == CELL_EMPTY) continue;
      Cell(i, j) = CELL_EMPTY;
      SpawnBallAt(i, j, value);
    }
  }
  return S_OK;
}

void CBall::TakeUndoSnapshot() {
  CGameContext* ctx = m_pContext;
  std::memcpy(ctx->m_UndoBoard, ctx->m_Board, sizeof ctx->m_UndoBoard);
  ctx->m_bUndoAvailable = 1;
  ctx->m_nUndoScore = ctx->m_nScore;
  ctx->m_nUndoBestScore = ctx->m_nBestScore;
  ctx->m_nUndoBallCount = ctx->m_nBallCount;
  std::memcpy(ctx->m_UndoNextColours, ctx->m_NextColours, sizeof ctx->m_UndoNextColours);
}

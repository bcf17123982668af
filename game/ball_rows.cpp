// Runs of five or more through a ball's cell, their marking and scoring.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "engine/gamecontext.h"
#include "engine/listengine.h"
#include "game/ball.h"

void CBall::MarkMovingCells(bool bExcluded[BOARD_SIZE][BOARD_SIZE]) const {
  std::memset(bExcluded, 0, sizeof(bool) * BOARD_CELLS);
  if (!m_pContext->m_pList) return;
  for (CListEngine::Node* pNode = m_pContext->m_pList->First(); pNode; pNode = pNode->pNext) {
    CMyObject* pObject = pNode->pObject;
    if (pObject == this || !pObject->m_strType || std::strcmp(pObject->m_strType, "ball") != 0) continue;
    const CBall* pBall = static_cast<const CBall*>(pObject);
    if (pBall->m_bMoving && pBall->m_bPlaced && OnBoard(pBall->m_nCellX, pBall->m_nCellY))
      bExcluded[pBall->m_nCellX][pBall->m_nCellY] = true;
  }
}

HRESULT CBall::CheckRows(bool bMark) {
  const int i = m_nCellX, j = m_nCellY;
  if (!OnBoard(i, j)) return E_FAIL;
  const INT c = Cell(i, j);
  // Only balls of a colour form runs: marked, removed and empty cells never do.
  if (!IsColour(c)) return E_FAIL;
  // A ball on its way is off the board for runs; it checks its own at the arrival.
  bool bExcluded[BOARD_SIZE][BOARD_SIZE];
  MarkMovingCells(bExcluded);
  auto count = [&](int di, int dj) {
    int n = 0;
    for (int ni = i + di, nj = j + dj; OnBoard(ni, nj) && Cell(ni, nj) == c && !bExcluded[ni][nj]; ni += di, nj += dj)
      ++n;
    return n;
  };
  const int nRight = count(1, 0), nLeft = count(-1, 0);
  const int nUp = count(0, 1), nDown = count(0, -1);
  const int nUpRight = count(1, 1), nDownLeft = count(-1, -1);
  const int nDownRight = count(1, -1), nUpLeft = count(-1, 1);
  bool bRun = false;
  if (nUp + nDown + 1 >= 5) {
    bRun = true;
    if (bMark) MarkLine(i, j + nUp, i, j - nDown);
  }
  if (nLeft + nRight + 1 >= 5) {
    bRun = true;
    if (bMark) MarkLine(i - nLeft, j, i + nRight, j);
  }
  if (nUpLeft + nDownRight + 1 >= 5) {
    bRun = true;
    if (bMark) MarkLine(i - nUpLeft, j + nUpLeft, i + nDownRight, j - nDownRight);
  }
  if (nDownLeft + nUpRight + 1 >= 5) {
    bRun = true;
    if (bMark) MarkLine(i - nDownLeft, j - nDownLeft, i + nUpRight, j + nUpRight);
  }
  return bRun ? S_OK : E_FAIL;
}

HRESULT CBall::MarkLine(int x1, int y1, int x2, int y2) {
  if (x1 > x2) {
    std::swap(x1, x2);
    std::swap(y1, y2);
  }
  const int dx = x2 - x1, dy = std::abs(y2 - y1);
  int n = 0;
  if (dx == 0) {
    for (int y = std::min(y1, y2); y <= std::max(y1, y2); ++y)
      if (OnBoard(x1, y)) Cell(x1, y) = CELL_IN_RUN;
    n = dy + 1;
  } else if (y1 == y2) {
    for (int x = x1; x <= x2; ++x)
      if (OnBoard(x, y1)) Cell(x, y1) = CELL_IN_RUN;
    n = dx + 1;
  } else {
    for (int k = 0; k <= dx; ++k) {
      const int x = x1 + k, y = y1 >= y2 ? y1 - k : y1 + k;
      if (OnBoard(x, y)) Cell(x, y) = CELL_IN_RUN;
    }
    n = (dx > dy ? dx : dy) + 1;
  }
  AddScore(static_cast<unsigned>(n));
  return S_OK;
}

int CBall::AddScore(unsigned n) {
  CGameContext* ctx = m_pContext;
  const int nLength = static_cast<int>(n);
  const int nPoints = nLength <= 5 ? nLength : (2 * nLength - 20) * nLength + 60;
  ctx->m_nScore += nPoints;
  if (ctx->m_nScore > 9999) ctx->m_nScore = 9999;
  if (ctx->m_nBestScore < ctx->m_nScore) ctx->m_nBestScore = ctx->m_nScore;
  if (ctx->m_NextColours[2] == 0)
    for (INT& colour : ctx->m_NextColours) colour = DrawColour();
  return nPoints;
}

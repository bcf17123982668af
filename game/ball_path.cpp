// Moves of the ball: the start of a move, the shortest-path search and the five move
// styles with their arrival.
#include <cstdlib>

#include "engine/gamecontext.h"
#include "game/ball.h"

namespace {

// Search grid marks besides the distances kUnvisitedEmpty - 1 - d: no path is longer
// than the board has cells, so these stay above every distance.
const INT kBlocked = -1;
const INT kVisited = -2;
const INT kUnvisitedEmpty = BOARD_CELLS;
const INT kTarget = BOARD_CELLS + 1;
// Cells the waves from the target cannot enter: any positive value (waves are negative).
const INT kWaveBlocked = BOARD_CELLS + 1;

}  // namespace

bool CBall::OnCell(float fCoordinate, int c) { return static_cast<int>(fCoordinate / 1.1f * 10000.0f) == c * 10000; }

HRESULT CBall::OnFloorSelect() {
  CGameContext* ctx = m_pContext;
  m_nRemovingAtStart = 0;
  const int nTargetX = ctx->m_nPickCellX;
  const int nTargetY = ctx->m_nPickCellY;
  if (!OnBoard(nTargetX, nTargetY) || Cell(nTargetX, nTargetY) != CELL_EMPTY) return E_FAIL;
  for (const auto& column : ctx->m_Board)
    for (INT value : column) m_nRemovingAtStart += value == CELL_REMOVING;
  // A nearly full board waits until the removed balls have freed their cells.
  if (ctx->m_nBallCount > BOARD_DEFER_MOVE_BALLS && m_nRemovingAtStart != 0) return S_OK;
  // A ball already taken into a run stays where it is to be removed.
  if (IsColour(OwnCell()) && SUCCEEDED(FindPath()) &&
      SUCCEEDED(CellHolds(nTargetX - CENTRE_CELL, nTargetY - CENTRE_CELL, CELL_EMPTY))) {
    TakeUndoSnapshot();
    ctx->m_bPickRequest = 0;
    ctx->m_pSelectedBall = nullptr;
    ctx->m_bCellHit = 0;
    ctx->m_bCellConfirmed = 0;
    m_nStep = 0;
    m_fStepTimer = 0.0f;
    SetState(State::Moving);
    ctx->m_bIdle = 0;
    if (ctx->m_nMoveMode == 1) PlaySound("FlyNoise");
    PlaySound("FloorSelect");
  }
  ctx->m_bCellHit = 0;
  ctx->m_bCellConfirmed = 0;
  return S_OK;
}

HRESULT CBall::FindPath() {
  CGameContext* ctx = m_pContext;
  INT grid[BOARD_SIZE][BOARD_SIZE];
  for (int i = 0; i < BOARD_SIZE; ++i)
    for (int j = 0; j < BOARD_SIZE; ++j) grid[i][j] = Cell(i, j) != CELL_EMPTY ? kBlocked : kUnvisitedEmpty;
  ctx->m_nPathLength = 0;
  if (!OnBoard(ctx->m_nPickCellX, ctx->m_nPickCellY) || !OnBoard(m_nCellX, m_nCellY)) return E_FAIL;
  if (grid[ctx->m_nPickCellX][ctx->m_nPickCellY] != kUnvisitedEmpty) return E_FAIL;
  TracePath(grid);
  grid[ctx->m_nPickCellX][ctx->m_nPickCellY] = kTarget;
  ctx->m_nPathLength = 0;
  return SUCCEEDED(FindPathStep(grid, m_nCellX, m_nCellY, 0)) ? S_OK : E_FAIL;
}

HRESULT CBall::TracePath(INT grid[BOARD_SIZE][BOARD_SIZE]) {
  const int nTargetX = m_pContext->m_nPickCellX;
  const int nTargetY = m_pContext->m_nPickCellY;
  // Waves from the target: the wave grid holds -1 - d for cells at distance d.
  INT wave[BOARD_SIZE][BOARD_SIZE];
  for (int i = 0; i < BOARD_SIZE; ++i)
    for (int j = 0; j < BOARD_SIZE; ++j) wave[i][j] = grid[i][j] == kBlocked ? kWaveBlocked : 0;
  if (OnBoard(nTargetX, nTargetY)) wave[nTargetX][nTargetY] = -1;
  static const int kNeighbours[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
  bool bFound = true;
  for (INT v = -1; bFound; --v) {
    bFound = false;
    for (int i = 0; i < BOARD_SIZE; ++i) {
      for (int j = 0; j < BOARD_SIZE; ++j) {
        if (wave[i][j] != v) continue;
        bFound = true;
        for (const auto& step : kNeighbours) {
          const int ni = i + step[0], nj = j + step[1];
          if (OnBoard(ni, nj) && wave[ni][nj] == 0) wave[ni][nj] = v - 1;
        }
        grid[i][j] += v;
      }
    }
  }
  for (int i = 0; i < BOARD_SIZE; ++i)
    for (int j = 0; j < BOARD_SIZE; ++j)
      if (grid[i][j] == kUnvisitedEmpty) grid[i][j] = 0;
  return S_OK;
}

HRESULT CBall::FindPathStep(INT grid[BOARD_SIZE][BOARD_SIZE], int i, int j, int nDepth) {
  CGameContext* ctx = m_pContext;
  const INT nKept = grid[i][j];
  grid[i][j] = kVisited;
  const int kNeighbours[4][2] = {{i - 1, j}, {i + 1, j}, {i, j - 1}, {i, j + 1}};
  INT values[4];
  INT nBest = 0;
  for (int n = 0; n < 4; ++n) {
    const int ni = kNeighbours[n][0], nj = kNeighbours[n][1];
    values[n] = OnBoard(ni, nj) && grid[ni][nj] > 0 ? grid[ni][nj] : 0;
    if (values[n] > nBest) nBest = values[n];
  }
  // A path at least as short is already recorded.
  if (ctx->m_nPathLength != 0 && ctx->m_nPathLength <= nDepth + 2) return E_FAIL;
  bool bSucceeded = false;
  // The first path found is a shortest one and no later neighbour can replace it,
  // so the search stops there instead of walking every other shortest path.
  for (int n = 0; n < 4 && nBest >= 1 && !bSucceeded; ++n) {
    if (values[n] != nBest) continue;
    const int ni = kNeighbours[n][0], nj = kNeighbours[n][1];
    if (nBest == kTarget) {
      if (ctx->m_nPathLength != 0 && ctx->m_nPathLength <= nDepth + 2) return E_FAIL;
      ctx->m_nPathLength = nDepth + 2;
      ctx->m_Path[0] = {ni, nj};
      ctx->m_Path[1] = {i, j};
      grid[i][j] = nKept;
      return S_OK;
    }
    if (SUCCEEDED(FindPathStep(grid, ni, nj, nDepth + 1))) {
      ctx->m_Path[ctx->m_nPathLength - (nDepth + 1)] = {i, j};
      bSucceeded = true;
    }
  }
  grid[i][j] = nKept;
  return bSucceeded ? S_OK : E_FAIL;
}

void CBall::MoveFrame() {
  CGameContext* ctx = m_pContext;
  const float fSurface = SurfaceHeight();
  const float fElapsed = static_cast<float>(ctx->m_dwElapsed);
  switch (ctx->m_nMoveMode) {
    case 0:
      MoveValueTo(ctx->m_Path[0].x, ctx->m_Path[0].y);
      Arrive("BallDown");
      break;
    case 1:
      m_fHeight = fSurface + 0.05f;
      m_fStepTimer += fElapsed * 0.03f;
      if (m_fStepTimer >= 0.2f) CellStep(false);
      break;
    case 2:
      m_fHeight = fSurface + 0.05f;
      m_fStepTimer += fElapsed * 0.03f;
      if (m_fStepTimer >= 1.0f) CellStep(true);
      break;
    case 3:
      m_fHeight = fSurface + 0.05f;
      Slide();
      break;
    default:
      m_fHeight = fSurface + 0.05f;
      Hop();
      break;
  }
}

bool CBall::MoveValueTo(int i, int j) {
  const int nFromX = m_nCellX, nFromY = m_nCellY;
  if (FAILED(PlaceAt(i - CENTRE_CELL, j - CENTRE_CELL, Cell(nFromX, nFromY)))) return false;
  Cell(nFromX, nFromY) = CELL_EMPTY;
  return true;
}

void CBall::CellStep(bool bSoundEveryStep) {
  CGameContext* ctx = m_pContext;
  const int m = ctx->m_nPathLength - m_nStep - 2;
  if (m < 0) {  // no path left to walk: end where the ball stands
    Arrive(nullptr);
    return;
  }
  MoveValueTo(ctx->m_Path[m].x, ctx->m_Path[m].y);
  if (m == 0) Arrive(bSoundEveryStep ? nullptr : "BallDown");
  m_fStepTimer = 0.0f;
  ++m_nStep;
  if (bSoundEveryStep) PlaySound("BallDown");
}

HRESULT CBall::Slide() { return Travel(true); }
HRESULT CBall::Hop() { return Travel(false); }

HRESULT CBall::Travel(bool bSlide) {
  CGameContext* ctx = m_pContext;
  const float fElapsed = static_cast<float>(ctx->m_dwElapsed);
  const float fSpeed = bSlide ? 0.007f : 0.005f;
  const PathCell* path = ctx->m_Path;
  const int L = ctx->m_nPathLength;
  const int k = m_nStep;
  const int m = L - k - 2;
  m_fStepTimer += fElapsed * 0.03f;

  // Rest at a turn; the step bound comes first, so entries m .. m + 2 exist.
  const bool bPause = k != 0 && m_fStepTimer < (bSlide ? 4.0f : 2.0f) && k < L - 2 && OnCell(m_fX, path[m + 1].x - CENTRE_CELL) &&
                      OnCell(m_fY, path[m + 1].y - CENTRE_CELL) &&
                      !(path[m + 2].x == path[m + 1].x && path[m + 1].x == path[m].x) &&
                      !(path[m + 2].y == path[m + 1].y && path[m + 1].y == path[m].y);
  if (!bPause) {
    if (L < 1 || m < 0 || (OnCell(m_fX, path[0].x - CENTRE_CELL) && OnCell(m_fY, path[0].y - CENTRE_CELL))) {
      if (L >= 1) MoveValueTo(path[0].x, path[0].y);
      Arrive(bSlide ? "BallDown" : nullptr);
      return S_OK;
    }
    bool bSnapped = false;
    float* pCoordinate = nullptr;
    int nFrom = 0, nTo = 0;
    if (path[m].x == path[m + 1].x) {
      pCoordinate = &m_fY;
      nFrom = path[m + 1].y;
      nTo = path[m].y;
    } else if (path[m].y == path[m + 1].y) {
      pCoordinate = &m_fX;
      nFrom = path[m + 1].x;
      nTo = path[m].x;
    }
    if (pCoordinate) {
      if (OnCell(*pCoordinate, nFrom - CENTRE_CELL)) {
        m_fStepFrom = CellToWorld(nFrom - CENTRE_CELL);
        m_fStepTo = CellToWorld(nTo - CENTRE_CELL);
      }
      // A coordinate that already passes the on-cell test has reached the cell: the
      // step ends now, with its sound, instead of the arrival taking it unsnapped.
      if (m_fStepFrom < m_fStepTo) {
        *pCoordinate += fElapsed * fSpeed;
        bSnapped = *pCoordinate >= m_fStepTo || OnCell(*pCoordinate, nTo - CENTRE_CELL);
      } else if (m_fStepFrom > m_fStepTo) {
        *pCoordinate -= fElapsed * fSpeed;
        bSnapped = *pCoordinate <= m_fStepTo || OnCell(*pCoordinate, nTo - CENTRE_CELL);
      }
      if (bSnapped) {
        *pCoordinate = m_fStepTo;
        ++m_nStep;
        if (!bSlide) PlaySound("BallDown");
      }
    }
    m_fStepTimer = 0.0f;
  }
  if (bSlide && ctx->m_dwTime - m_dwLastSlideNoise > 125) {
    m_dwLastSlideNoise = ctx->m_dwTime;
    PlaySound("SlideNoise");
  }
  if (!bSlide) {
    auto lift = [](float fCoordinate) {
      float a = static_cast<float>(std::abs(static_cast<int>(fCoordinate * 10.0f) % 11)) / 10.0f;
      if (1.1f - a <= a) a = 1.1f - a;
      return a;
    };
    m_fHeight += lift(m_fX) + lift(m_fY);
  }
  return S_OK;
}

void CBall::Arrive(const char* strSound) {
  CGameContext* ctx = m_pContext;
  if (FAILED(CheckRows(true))) {
    int nSpawn = BOARD_CELLS - ctx->m_nBallCount;
    if (nSpawn > 3) nSpawn = 3;
    if (nSpawn < 0) nSpawn = 0;
    SpawnBalls(static_cast<unsigned>(nSpawn));
    if (ctx->m_nBallCount >= BOARD_CELLS && m_nRemovingAtStart == 0) ctx->m_bGameOverRequest = 1;
  }
  SetState(State::Settling);
  ctx->m_bIdle = 1;
  if (strSound) PlaySound(strSound);
}

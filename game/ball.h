// A ball on the board, and the board rules it carries: placing and spawning with the
// colour preview, the path search and the five move styles, runs and scoring, undo.
// The rule operations that touch only the context may be called on a temporary ball
// that is never added to the scene list (new game, undo, rebuild after a load).
#pragma once

#include "engine/board.h"
#include "engine/myobject.h"
#include "platform/d3dx/d3dx8.h"
#include "platform/win32/win32.h"

class CGameContext;

class CBall : public CMyObject {
 public:
  explicit CBall(CGameContext* pContext);
  ~CBall() override;

  // One frame of the ball's state machine; always S_OK.
  HRESULT FrameMove() override;
  // Queues one draw record per sub-mesh of "SPHERE0" (the "SPHERE1" sub-meshes in
  // their place with HiRes on, when they match in count and stride); never draws.
  HRESULT Render() override;
  HRESULT Reserved(DWORD dwArg) override;
  HRESULT InvalidateDeviceObjects() override;
  HRESULT RestoreDeviceObjects() override;
  HRESULT DeleteDeviceObjects() override;

  // Board. x and y are centred coordinates -4..4; i and j are columns and rows 0..8.
  // Colours and cells come from the C runtime's rand (tests seed it with srand).
  static constexpr int CENTRE_CELL = BOARD_SIZE / 2;  // column and row of centred coordinate 0
  // The resource names of the low- and high-detail meshes every ball shares.
  static const char* const MESH_NAMES[2];
  HRESULT PlaceAt(int x, int y, int nColour);
  HRESULT CellHolds(int x, int y, int nValue) const;
  // Places min(n, free cells) new balls in the preview colours (random colours when
  // n is 5), then draws a new preview.
  HRESULT SpawnBalls(unsigned n);
  // A new ball on an empty cell (i, j); E_FAIL and nothing added when it is not empty.
  HRESULT SpawnBallAt(int i, int j, int nColour);
  void DrawPreview();

  // Game-level operations for the game application.
  // Deletes every ball of the list and returns the board to rest (idle, nothing
  // selected or hit, no click pending). Board cells are left as they are.
  HRESULT RemoveAllBalls();
  // A new game: empty board, score 0, five random balls, a fresh preview, no undo;
  // the board is at rest afterwards even if a ball was moving.
  HRESULT NewBoard();
  // The application side of an undo request; clears the request in any case.
  HRESULT ApplyUndo();
  // Ball objects anew for every occupied cell after a saved game was loaded.
  HRESULT RebuildBalls();

  // Moves.
  HRESULT OnFloorSelect();
  HRESULT FindPath();
  HRESULT TracePath(INT grid[BOARD_SIZE][BOARD_SIZE]);
  HRESULT FindPathStep(INT grid[BOARD_SIZE][BOARD_SIZE], int i, int j, int nDepth);
  HRESULT Slide();
  HRESULT Hop();

  // Runs and scoring.
  HRESULT CheckRows(bool bMark);
  HRESULT MarkLine(int x1, int y1, int x2, int y2);
  int AddScore(unsigned n);

  // Whether a world coordinate stands exactly on cell coordinate c (-4..4).
  static bool OnCell(float fCoordinate, int c);
  static float CellToWorld(int c) { return static_cast<float>(c) * 1.1f; }

  // State.
  BYTE m_bPlaced = 0;
  BYTE m_bDropping = 1;
  INT m_nBounces = 0;
  BYTE m_bSettling = 0;
  BYTE m_bResting = 0;
  BYTE m_bJumping = 0;
  BYTE m_bDeleting = 0;
  BYTE m_bMoving = 0;
  FLOAT m_fRadius = 0.4f;
  D3DXVECTOR3 m_vCentre;
  FLOAT m_fHeight = 4.0f;
  FLOAT m_fFloorY = 0.0f;
  FLOAT m_fSpeed = 0.0f;
  FLOAT m_fJumpSpeed = -0.0035f;
  FLOAT m_fGravity = 1.2e-5f;
  FLOAT m_fScale = 1.0f;
  BYTE m_bGrowing = 0;
  D3DXMATRIX m_matTilt;
  D3DXMATRIX m_matEase;
  INT m_nCellX = 0;
  INT m_nCellY = 0;
  INT m_nColour = 0;
  INT m_nRemovingAtStart = 0;
  FLOAT m_fStepTimer = 0.0f;
  INT m_nStep = 0;
  FLOAT m_fStepFrom = 0.0f;
  FLOAT m_fStepTo = 0.0f;
  DWORD m_dwLastSlideNoise = 0;
  // The low-detail sphere "SPHERE0" is the base's m_pMesh; both are owned by the ball.
  CD3DMesh* m_pMeshHi = nullptr;  // "SPHERE1"

 private:
  enum class State { Dropping, Settling, Resting, Jumping, Deleting, Moving };
  void SetState(State state);

  void PlaySound(const char* strName);
  int DrawColour();
  float SurfaceHeight() const;
  INT& Cell(int i, int j) const;
  INT& OwnCell() const { return Cell(m_nCellX, m_nCellY); }

  void PickTest();
  void Select(float fSurface);
  // One frame of falling under gravity towards the surface; true when the ball touched
  // it this frame (it is then put just above it).
  bool FallFrame(float fSurface);
  void JumpFrame(float fSurface);
  void DropFrame(float fSurface);
  void SettleFrame();
  void RemovalFrame();

  void MoveFrame();
  void CellStep(bool bSoundEveryStep);
  HRESULT Travel(bool bSlide);
  bool MoveValueTo(int i, int j);
  void Arrive(const char* strSound);
  void TakeUndoSnapshot();

  // Cells held by another ball that is on its way: they take no part in runs.
  void MarkMovingCells(bool bExcluded[BOARD_SIZE][BOARD_SIZE]) const;
};

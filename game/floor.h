// The board's plate: the floor mesh in the texture the settings choose, the cell
// under the mouse (picked against one thin box per cell and confirmed a frame
// later), the slow wobble of the board and the scene's directional light.
#pragma once

#include "engine/board.h"
#include "engine/myobject.h"
#include "platform/d3dx/d3dx8.h"
#include "platform/win32/win32.h"

class CGameContext;

// An axis-aligned box over one cell.
struct CellBox {
  D3DXVECTOR3 m_vMin;
  D3DXVECTOR3 m_vMax;
};

class CFloor : public CMyObject {
 public:
  explicit CFloor(CGameContext* pContext);
  ~CFloor() override;

  // Confirms last frame's cell hit, picks a cell while a pick request stands, moves
  // the wobble on and publishes the board matrix. Always S_OK.
  HRESULT FrameMove() override;
  // Queues the plates or the floor (by FloorType) and the board's frame.
  HRESULT Render() override;
  // The texture of the plates or the floor the settings choose; "" for none.
  static const char* SurfaceTexture(const CGameContext* pContext);
  HRESULT InvalidateDeviceObjects() override;
  HRESULT RestoreDeviceObjects() override;
  HRESULT DeleteDeviceObjects() override;

  CellBox m_Boxes[BOARD_SIZE][BOARD_SIZE];       // carried by the board matrix; [column][row]
  CellBox m_ModelBoxes[BOARD_SIZE][BOARD_SIZE];  // the board at rest; [column][row]
  FLOAT m_fWobbleX = 0.0f;                       // radians, never wrapped
  FLOAT m_fWobbleZ = 0.0f;
  D3DXMATRIX m_matBoard;

 private:
  void SetUpLight();
  void PickCell();
};

// The main menu and the screens it leads to: six labels over the game scene (new game,
// save and resume, load, options, help, exit), the help and options pictures with
// their back button, and the exit picture that quits on a click, a key or the right
// button. In the options mode only the picture and the back button are this object's.
#pragma once

#include "engine/myobject.h"
#include "engine/renderitem.h"
#include "platform/win32/win32.h"

class CGameContext;

class CMainMenu : public CMyObject {
 public:
  enum { MENU_ITEMS = 6, NO_ITEM = 6 };

  explicit CMainMenu(CGameContext* pContext);
  ~CMainMenu() override;

  // The handler of the current mode (menu, options back, help back, exit).
  HRESULT FrameMove() override;
  // The records of the current mode.
  HRESULT Render() override;
  HRESULT InvalidateDeviceObjects() override;
  // Lays everything out again for the current size, nothing hovered.
  HRESULT RestoreDeviceObjects() override;
  HRESULT DeleteDeviceObjects() override;

  // Sets the texture cells of the picture, the back button and the items, then
  // copies each quad set into its buffer, creating buffers that are missing.
  HRESULT FillVertexBuffers();
  HRESULT UpdateMenu();
  HRESULT UpdateHelpBack();
  HRESULT UpdateOptionsBack();
  HRESULT UpdateExit();

  ScreenVertex m_PictureQuad[6];
  ScreenVertex m_BackButtonQuad[6];
  ScreenVertex m_ItemQuads[MENU_ITEMS][6];
  DWORD m_dwQuadBytes;
  FLOAT m_fMenuCols = 3.0f;
  FLOAT m_fMenuRows = 10.0f;
  IDirect3DVertexBuffer8* m_pPictureVB = nullptr;
  IDirect3DVertexBuffer8* m_pItemVB = nullptr;
  IDirect3DVertexBuffer8* m_pBackButtonVB = nullptr;
  DWORD m_nHoverItem = NO_ITEM;
  DWORD m_nShownHoverItem = NO_ITEM;
  BYTE m_bBackHighlight = 0;

 private:
  void LayOut();
  void LayOutItems();
  void ActOnItem(DWORD nItem);
  void QueueQuads(const char* strTexture, BYTE bBlend, DWORD dwSrc, DWORD dwDest, BYTE bColorKey,
                  IDirect3DVertexBuffer8* pVB, DWORD dwPrimCount);
};

// A small scene from the resource library on the application base: the board with
// a few coloured balls (one of them hopping), the room around it with its animated
// caustics, a camera circling slowly above the board and the frame rate in the
// corner. Escape quits.
#pragma once

#include <cstdio>

#include "engine/gamecontext.h"
#include "shell/d3dapp.h"

class CD3DFont;
class CD3DMesh;

class CDemoApp : public CD3DApplication {
 public:
  CDemoApp();
  ~CDemoApp() override;

 protected:
  HRESULT OneTimeSceneInit() override;
  HRESULT InitDeviceObjects() override;
  HRESULT InitScene() override;
  HRESULT RestoreDeviceObjects() override;
  HRESULT FrameMove() override;
  HRESULT Render() override;
  HRESULT InvalidateDeviceObjects() override;
  HRESULT DeleteDeviceObjects() override;
  HRESULT FinalCleanup() override;
  HRESULT OnEscapeKey() override;

 private:
  // The meshes come from the library the first time and after every device deletion.
  void LoadMeshes();
  void PreloadTextures();
  void SetDeviceStates();
  void SetCamera();
  void QueueMesh(CD3DMesh* pMesh, DWORD dwSubset, const D3DXMATRIX& matWorld, const char* strTexture,
                 const D3DMATERIAL8& material, DWORD dwLight, bool bBlend);
  void QueueEnviron();
  void QueueFloor();
  void QueueBalls();
  void DrawStats();
  void FreeScene();

  CGameContext m_Context;
  std::FILE* m_pContextLog = nullptr;
  CD3DFont* m_pFont = nullptr;
  CD3DMesh* m_pBall = nullptr;
  CD3DMesh* m_pFloor = nullptr;
  CD3DMesh* m_pEnviron = nullptr;
  DWORD m_dwStart = 0;
  DWORD m_dwLastTime = 0;
  FLOAT m_fSeconds = 0.0f;         // scene time since start
  FLOAT m_fCausticFrame = 0.0f;    // 0 .. 31.5, whole part is the texture frame
  DWORD m_dwFrames = 0;            // since the last rate update
  DWORD m_dwLastStats = 0;
  char m_szStats[64] = "";
};

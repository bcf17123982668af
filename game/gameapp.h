// The game on the application base: the log, the settings, the assembly of the scene,
// the frame with the requests that scene objects raise, the music, and the device
// operations that it forwards to the scene list.
#pragma once

#include <cstdio>

#include "shell/d3dapp.h"

class CGameContext;
class CListEngine;
class CD3DFont;

// Where the game keeps its twelve settings (under HKEY_CURRENT_USER).
extern const char SETTINGS_KEY[];
// The game's log in the working directory, started empty by every run.
extern const char LOG_FILE_NAME[];

class CGameApp : public CD3DApplication {
 public:
  explicit CGameApp(CGameContext* pContext);
  ~CGameApp() override;

  HRESULT ConfirmDevice(D3DCAPS8* pCaps, DWORD dwBehavior, D3DFORMAT format) override;
  HRESULT InitScene() override;
  HRESULT OneTimeSceneInit() override;
  HRESULT InitDeviceObjects() override;
  HRESULT RestoreDeviceObjects() override;
  HRESULT FrameMove() override;
  HRESULT Render() override;
  HRESULT InvalidateDeviceObjects() override;
  HRESULT DeleteDeviceObjects() override;
  HRESULT FinalCleanup() override;
  HRESULT OnMinimizeKey() override;
  HRESULT OnEscapeKey() override;
  HRESULT DestroyScene() override;
  HRESULT OnDeactivate() override;
  HRESULT OnActivate() override;

  void ReadSettings();
  void WriteSettings();
  HRESULT LogDeviceCaps();
  HRESULT StartGame();
  HRESULT NewGame();

 protected:
  CGameContext* m_pContext = nullptr;
  CListEngine* m_pList = nullptr;
  CD3DFont* m_pFont = nullptr;
  DWORD m_dwFrameCount = 0;
  DWORD m_dwLastStatsTime = 0;
  BYTE m_bShowStats = 0;
  BYTE m_bClosePosted = 0;  // WM_CLOSE goes to the window once

 private:
  // One entry in the game's log (the settings are read before the context has it).
  void Log(const char* strEntry);
  // The device states the scene relies on; a reset returns the device to its
  // defaults, so they are set again after every one.
  void SetSceneStates();
  void UpdateStats();
  void RotateMusic();
  void ServeRequests();
  void OpenRecordsScreen();
  void ApplyUndo();
  void RebuildBalls();
};

// The one shared state of the running game: device and matrices, clock, input and
// sound state, resource caches, render queue, board and game state, records table
// and the request flags that scene objects raise for the game application.
#pragma once

#include <cstdio>

#include "engine/board.h"
#include "engine/renderitem.h"
#include "platform/d3d8/d3d8.h"
#include "platform/d3dx/d3dx8.h"
#include "platform/dinput/dinput.h"
#include "platform/sound/fmod.h"
#include "platform/win32/win32.h"

class CListEngine;
class CMeshCache;
class CTextureCache;
class CSampleCache;
class CRenderQueue;
class CBall;
class CCamera;

// Game modes: m_dwMode holds exactly one of these bits.
enum : DWORD {
  GAMEMODE_PLAY = 1,
  GAMEMODE_INTRO = 2,
  GAMEMODE_FLYIN = 4,
  GAMEMODE_OPTIONS = 8,
  GAMEMODE_MAINMENU = 16,
  GAMEMODE_HELP = 32,
  GAMEMODE_RECORDS = 64,
  GAMEMODE_EXIT = 128,
};

enum { RECORD_ROWS = 8, RECORD_NAME_SIZE = 12 };

// One row of the records table: a name of at most 11 characters and its score.
struct RecordRow {
  char szName[RECORD_NAME_SIZE];
  DWORD dwScore;
};

struct PathCell {
  INT x;
  INT y;
};

class CGameContext {
 public:
  CGameContext();
  CGameContext(HWND hWnd, HINSTANCE hInst);
  virtual ~CGameContext();

  // Input and sound services (gamecontext_services.cpp).
  void Init(HWND hWnd, HINSTANCE hInst);
  void Close();
  HRESULT AcquireDevice(IDirectInputDevice8* pDevice);
  HRESULT PlaySound(const char* strName);

  // Resources by name and the pick ray (gamecontext_services.cpp).
  HRESULT LoadSample(const char* strName, FSOUND_SAMPLE** ppSample);
  HRESULT LoadSong(const char* strName, FMUSIC_MODULE** ppSong);
  HRESULT LoadTexture(const char* strName, DWORD dwColorKey, BYTE bUseKey);
  HRESULT GetPickRay(D3DXVECTOR3* pDirection, D3DXVECTOR3* pOrigin);

  // Appends one entry to the log and flushes it; nothing when the game runs without one.
  void WriteLog(const char* strEntry) const;

  // Window, screen, log, clock.
  HWND m_hWnd = nullptr;
  HINSTANCE m_hInst = nullptr;
  DWORD m_dwWidth = 0;
  DWORD m_dwHeight = 0;
  BYTE m_bInactive = 0;
  const char* m_strResLib = nullptr;
  FILE* m_pLog = nullptr;
  DWORD m_dwTime = 0;
  DWORD m_dwElapsed = 0;

  // Engine objects, created and deleted by the game application.
  CListEngine* m_pList = nullptr;
  CMeshCache* m_pMeshCache = nullptr;
  CMeshCache* m_pLocalMeshCache = nullptr;
  CTextureCache* m_pTextureCache = nullptr;
  CSampleCache* m_pSampleCache = nullptr;
  CRenderQueue* m_pRenderQueue = nullptr;

  // Picking, one click at a time.
  BYTE m_bPickRequest = 0;
  CBall* m_pBallHit = nullptr;
  CBall* m_pSelectedBall = nullptr;
  BYTE m_bCellHit = 0;
  BYTE m_bCellConfirmed = 0;
  INT m_nPickCellX = 0;
  INT m_nPickCellY = 0;
  FLOAT m_fBallHitDist = 0.0f;
  FLOAT m_fCellHitDist = 0.0f;

  // Device (borrowed) and camera matrices.
  IDirect3DDevice8* m_pd3dDevice = nullptr;
  D3DXMATRIX m_matView;
  D3DXMATRIX m_matProj;

  // Input devices and the per-frame input state.
  IDirectInput8* m_pDI = nullptr;
  IDirectInputDevice8* m_pMouse = nullptr;
  IDirectInputDevice8* m_pKeyboard = nullptr;
  BYTE m_bReacquireMouse = 0;
  BYTE m_bLeftButton = 0;
  BYTE m_bRightButton = 0;
  BYTE m_bMiddleButton = 0;
  FLOAT m_fPickDirX = 0.0f;
  FLOAT m_fPickDirY = 0.0f;
  FLOAT m_fCursorX = 0.0f;
  FLOAT m_fCursorY = 0.0f;
  BYTE m_bClick = 0;
  FLOAT m_fMouseDX = 0.0f;
  FLOAT m_fMouseDY = 0.0f;
  FLOAT m_fMouseWheel = 0.0f;

  // Sound.
  FMUSIC_MODULE* m_pSong = nullptr;
  BYTE m_bSound = 0;
  BYTE m_bSoundStarted = 0;  // FSOUND_Init succeeded; Close shuts it down even after m_bSound went off

  // Device capabilities.
  BYTE m_bCapsMipMap = 0;
  BYTE m_bCapsMipLinear = 0;
  FLOAT m_fVertexShaderVersion = 0.0f;

  // Settings and game state.
  BYTE m_bScaleCursor = 0;
  BYTE m_bHiRes = 0;
  BYTE m_bPlateMov = 0;
  BYTE m_bFloorType = 0;
  BYTE m_bEnviron = 0;
  INT m_nFloorTex = 0;
  INT m_Board[BOARD_SIZE][BOARD_SIZE] = {};
  INT m_nBallCount = 0;
  INT m_nColours = 0;
  INT m_nMoveMode = 0;
  INT m_nScore = 0;
  INT m_nBestScore = 0;
  INT m_nMusType = 0;
  INT m_nMusVolume = 0;
  INT m_nSoundVolume = 0;
  DWORD m_dwLightIndex = 0;
  DWORD m_dwMode = 0;
  PathCell m_Path[BOARD_SIZE * BOARD_SIZE] = {};
  INT m_nPathLength = 0;
  INT m_NextColours[3] = {};
  BYTE m_bUndoAvailable = 0;
  INT m_UndoBoard[BOARD_SIZE][BOARD_SIZE] = {};
  INT m_nUndoScore = 0;
  INT m_nUndoBestScore = 0;
  INT m_nUndoBallCount = 0;
  INT m_UndoNextColours[3] = {};
  D3DXMATRIX m_matBoard;

  // Camera.
  CCamera* m_pCamera = nullptr;
  D3DXMATRIX m_matInvView;
  D3DXVECTOR3 m_vEye;
  BYTE m_bFlyInPending = 0;

  // Staging draw record: filled by every Render and queued by value.
  RenderItem m_RenderItem;

  // Requests, keys, records screen.
  BYTE m_bNewGameRequest = 0;
  BYTE m_bGameOverRequest = 0;
  BYTE m_bSaveRecordsRequest = 0;
  BYTE m_bModeChangeRequest = 0;
  DWORD m_dwNewWidth = 0;
  DWORD m_dwNewHeight = 0;
  BYTE m_bKeyMinus = 0;
  BYTE m_bKeyPlus = 0;
  BYTE m_bKeyUp = 0;
  BYTE m_bKeyDown = 0;
  BYTE m_bKeyPageUp = 0;
  BYTE m_bKeyPageDown = 0;
  BYTE m_bKeyLeft = 0;
  BYTE m_bKeyRight = 0;
  BYTE m_bUndoRequest = 0;
  BYTE m_bIdle = 0;
  DWORD m_dwRecordsState = 0;
  DWORD m_dwEditRow = 0;
  DWORD m_dwEditColumn = 0;
  BYTE m_bRebuildBalls = 0;
  BYTE m_bQuitRequest = 0;
  RecordRow m_Records[RECORD_ROWS] = {};
  RecordRow m_SaveRecords[RECORD_ROWS] = {};

 private:
  void ZeroMatrices();
};

// Approximate 1/sqrt(x) and sqrt(x) for x > 0 (gamecontext_services.cpp).
float FastInvSqrt(float x);
float FastSqrt(float x);

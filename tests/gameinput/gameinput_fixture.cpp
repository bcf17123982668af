#include "gameinput_fixture.h"

#include <cmath>

#include "engine/samplecache.h"
#include "platform/sound/sound_backend_testing.h"
#include "tests/support/log_text.h"
#include "tests/support/sound/synth_audio.h"
#include "tools/pewriter/pe_writer.h"

void GameInputTest::SetUp() {
  ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0) << SDL_GetError();
  DirectInputResetForTesting();
  Pump({});
  FSOUND_UseBackendForTesting(&sound);
  dir = MakeTempDir();
  ASSERT_FALSE(dir.empty());
  library = dir + "/res.dll";
  std::string error;
  ASSERT_TRUE(WriteResourceDll(library, {{"OptRedButton", {1, 2, 3, 4}}}, &error)) << error;
  log = std::tmpfile();
  ASSERT_NE(log, nullptr);
  ctx.m_pLog = log;
  ctx.Init(nullptr, nullptr);
  ASSERT_NE(ctx.m_pMouse, nullptr);
  ASSERT_NE(ctx.m_pKeyboard, nullptr);
  ctx.m_strResLib = library.c_str();
  ctx.m_pSampleCache = new CSampleCache;
  ctx.m_pList = &list;
  ctx.m_dwWidth = 640;
  ctx.m_dwHeight = 480;
  ctx.m_dwTime = 1000;
  ctx.m_dwMode = GAMEMODE_PLAY;
  D3DXMatrixPerspectiveFovLH(&ctx.m_matProj, D3DX_PI / 4, 640.0f / 480.0f, 0.1f, 100.0f);
  Aim(D3DXVECTOR3(0.0f, 12.0f, -6.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
  D3DXMatrixIdentity(&ctx.m_matBoard);
}

void GameInputTest::TearDown() {
  list.DeleteAll();
  delete ctx.m_pSampleCache;
  ctx.m_pSampleCache = nullptr;
  ctx.Close();
  FSOUND_UseBackendForTesting(nullptr);
  DirectInputResetForTesting();
  SDL_QuitSubSystem(SDL_INIT_EVENTS);
  std::fclose(log);
  RemoveTree(dir);
}

void GameInputTest::Input(std::vector<SDL_Event> events, DWORD dwElapsed) {
  Pump(std::move(events));
  ctx.m_dwElapsed = dwElapsed;
  ctx.m_dwTime += dwElapsed;
  list.FrameMoveAll();
}

void GameInputTest::Aim(const D3DXVECTOR3& vEye, const D3DXVECTOR3& vTarget) {
  D3DXVECTOR3 vLook = vTarget - vEye;
  D3DXVec3Normalize(&vLook, &vLook);
  const D3DXVECTOR3 vUp = std::fabs(vLook.y) > 0.9f ? D3DXVECTOR3(0, 0, 1) : D3DXVECTOR3(0, 1, 0);
  D3DXMatrixLookAtLH(&ctx.m_matView, &vEye, &vTarget, &vUp);
  ctx.m_vEye = vEye;
  ctx.m_fPickDirX = ctx.m_fPickDirY = 0.0f;  // straight along the view
}

std::string GameInputTest::LogText() { return ReadLog(log); }

// The game application on a recording device and virtual windows, in a temporary
// working folder with its own settings file, with every sound call recorded.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/gamecontext.h"
#include "game/gameapp.h"
#include "tests/support/d3d8/recording_device.h"
#include "tests/support/sound/recording_sound_backend.h"

namespace gameapp_test {

class CTestGameApp : public CGameApp {
 public:
  CTestGameApp(CGameContext* pContext, IDirect3D8* pD3D) : CGameApp(pContext), m_pD3DToHand(pD3D) {}

  using CGameApp::m_bWindowed;
  using CGameApp::m_dwCreationHeight;
  using CGameApp::m_dwCreationWidth;
  using CGameApp::m_dwLastStatsTime;
  using CGameApp::m_dwMinDepthBits;
  using CGameApp::m_hWnd;
  using CGameApp::m_pd3dDevice;
  using CGameApp::m_pList;
  CRecordingDevice* Recording() const { return static_cast<CRecordingDevice*>(m_pd3dDevice); }

 protected:
  IDirect3D8* CreateDirect3D() override {
    if (m_pD3DToHand) m_pD3DToHand->AddRef();
    return m_pD3DToHand;
  }

 private:
  IDirect3D8* m_pD3DToHand;
};

class GameAppTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A new application on the fixture's context (the constructor reads the settings).
  CTestGameApp& MakeApp();
  // MakeApp, then Create: the scene is assembled and the window switched to full screen.
  CTestGameApp& StartApp();
  std::string ReadFile(const std::string& name) const;
  std::vector<std::string> ObjectTypes() const;
  int CountType(const char* strType) const;
  // Stores a settings value as the previous run would have.
  void StoreSetting(const char* strName, DWORD dwValue);

  std::string m_strDir;
  std::string m_strOldDir;
  RecordingSoundBackend m_sound;
  CRecordingDirect3D* m_pD3D = nullptr;
  std::unique_ptr<CGameContext> m_pContext;
  std::unique_ptr<CTestGameApp> m_pApp;
};

}  // namespace gameapp_test

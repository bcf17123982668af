#include "tests/gameapp/gameapp_fixture.h"

#include "engine/listengine.h"
#include "engine/myobject.h"
#include "game/gameapp.h"
#include "platform/win32/registry.h"
#include "platform/win32/window_bridge.h"
#include "shell/dxutil_registry.h"
#include "platform/sound/sound_backend_testing.h"
#include "platform/win32/window_testing.h"

namespace gameapp_test {

void GameAppTest::SetUp() {
  ASSERT_FALSE(m_strDir.empty());
  WindowResetAll();
  WindowUseVirtualWindows(true);
  FSOUND_UseBackendForTesting(&m_sound);
  m_pD3D = new CRecordingDirect3D();
  m_pContext = std::make_unique<CGameContext>();
}

void GameAppTest::TearDown() {
  // The window's close runs the whole shutdown: device objects, clean-up, settings.
  if (m_pApp && m_pApp->m_hWnd) SendMessage(m_pApp->m_hWnd, WM_CLOSE, 0, 0);
  MSG msg;
  for (int n = 0; n < 100 && PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
  }
  m_pApp.reset();
  m_pContext.reset();
  FSOUND_UseBackendForTesting(nullptr);
  WindowResetAll();
  WindowUseVirtualWindows(false);
  if (m_pD3D) m_pD3D->Release();
}

CTestGameApp& GameAppTest::MakeApp() {
  m_pApp.reset();
  m_pApp = std::make_unique<CTestGameApp>(m_pContext.get(), m_pD3D);
  return *m_pApp;
}

CTestGameApp& GameAppTest::StartApp() {
  CTestGameApp& app = MakeApp();
  EXPECT_EQ(S_OK, app.Create(GetModuleHandle(nullptr)));
  return app;
}

std::string GameAppTest::ReadFile(const std::string& name) const {
  const std::vector<unsigned char> bytes = ReadWholeFile(m_strDir + "/" + name);
  return std::string(bytes.begin(), bytes.end());
}

std::vector<int> GameAppTest::Settings() const {
  const CGameContext& c = *m_pContext;
  return {int(m_pApp->m_dwCreationWidth), int(m_pApp->m_dwCreationHeight), int(m_pApp->m_dwMinDepthBits),
          c.m_bHiRes, c.m_bEnviron, c.m_nMusType, c.m_nMusVolume, c.m_nSoundVolume, c.m_bPlateMov, c.m_bFloorType,
          c.m_nFloorTex, c.m_nMoveMode};
}

std::vector<std::string> GameAppTest::ObjectTypes() const {
  std::vector<std::string> types;
  if (!m_pContext->m_pList) return types;
  for (CListEngine::Node* pNode = m_pContext->m_pList->First(); pNode; pNode = pNode->pNext)
    types.push_back(pNode->pObject->m_strType);
  return types;
}

int GameAppTest::CountType(const char* strType) const {
  int n = 0;
  for (const std::string& type : ObjectTypes()) n += type == strType;
  return n;
}

void GameAppTest::StoreSetting(const char* strName, DWORD dwValue) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
  DXUtil_WriteIntRegKey(key, strName, dwValue);
  RegCloseKey(key);
}

}  // namespace gameapp_test

#include "tests/gameapp/gameapp_fixture.h"

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

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
  char pattern[] = "/tmp/gameapp-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(pattern));
  m_strDir = pattern;
  char cwd[4096];
  ASSERT_NE(nullptr, getcwd(cwd, sizeof cwd));
  m_strOldDir = cwd;
  ASSERT_EQ(0, chdir(m_strDir.c_str()));
  setenv("VANTOREL_REGISTRY_FILE", (m_strDir + "/registry.txt").c_str(), 1);
  setenv("VANTOREL_NO_DIALOGS", "1", 1);
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
  unsetenv("VANTOREL_REGISTRY_FILE");
  EXPECT_EQ(0, chdir(m_strOldDir.c_str()));
  std::string command = "rm -rf '" + m_strDir + "'";
  EXPECT_EQ(0, system(command.c_str()));
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
  std::ifstream in(m_strDir + "/" + name, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
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

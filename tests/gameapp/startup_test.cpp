// Start-up and scene assembly, the Escape table and the new game, on a recording
// device: what the log says, which objects the scene holds, the states that survive
// the full-screen reset.
#include <sys/stat.h>

#include <cstring>

#include "engine/camera.h"
#include "engine/listengine.h"
#include "game/ball.h"
#include "tests/gameapp/gameapp_fixture.h"
#include "tests/support/child_process.h"

namespace gameapp_test {
namespace {

TEST_F(GameAppTest, StartUpLogsTheCapsAssemblesTheSceneAndKeepsItsStatesAcrossTheReset) {
  D3DCAPS8& caps = m_pD3D->Adapters()[0].caps;
  caps.Caps2 &= ~static_cast<DWORD>(D3DCAPS2_NO2DDURING3DSCENE);
  caps.TextureCaps |= D3DPTEXTURECAPS_MIPMAP;
  caps.TextureFilterCaps &= ~static_cast<DWORD>(D3DPTFILTERCAPS_MIPFLINEAR);
  caps.RasterCaps &= ~static_cast<DWORD>(D3DPRASTERCAPS_ANTIALIASEDGES);
  caps.VertexShaderVersion = D3DVS_VERSION(1, 1);
  caps.MaxVertexShaderConst = 96;
  CTestGameApp& app = StartApp();

  D3DCAPS8 used = {};
  app.m_pd3dDevice->GetDeviceCaps(&used);
  const std::string type = used.DeviceType == D3DDEVTYPE_HAL ? "D3DDEVTYPE_HAL" : "D3DDEVTYPE_REF";
  const std::string expected = "Start Execute: Begin Log File \n\n"
                               "Read Settings.................................Ok\n"
                               "Read Settings....Fucking SHIT!!! Erorr occuried!\n"
                               "CAPS: DeviceType............" + type + "\n"
                               "CAPS: Render2D..............Can did render 2D\n"
                               "CAPS: MipMap................Supported\n"
                               "CAPS: MipMap Linear.........Unsupported\n"
                               "CAPS: Edge AntiAliasing.....Unsupported\n"
                               "CAPS: VertexShader version..1.1\n"
                               "CAPS: Max VSD constants.....96\n";
  EXPECT_EQ(expected, ReadFile("file.log").substr(0, expected.size()));

  // The list keeps its objects by draw order: keys 0 first, the mouse 99 last.
  EXPECT_EQ((std::vector<std::string>{"keys", "camera", "intro", "preloader", "environ", "floor", "upmenu", "mainmenu",
                                      "options", "mouse"}),
            ObjectTypes());
  ASSERT_NE(nullptr, m_pContext->m_pCamera);
  EXPECT_STREQ("camera", static_cast<CMyObject*>(m_pContext->m_pCamera)->m_strType);
  EXPECT_EQ(static_cast<DWORD>(GAMEMODE_INTRO), m_pContext->m_dwMode);
  EXPECT_EQ(7, m_pContext->m_nColours);

  // The switch to full screen reset the device to its defaults; the scene's states hold.
  EXPECT_FALSE(app.m_bWindowed);
  EXPECT_GE(app.Recording()->CallCount("Reset"), 1u);
  CRecordingDevice* device = app.Recording();
  EXPECT_EQ(static_cast<DWORD>(D3DCULL_NONE), device->RenderState(D3DRS_CULLMODE));
  EXPECT_EQ(static_cast<DWORD>(FALSE), device->RenderState(D3DRS_CLIPPING));
  EXPECT_EQ(static_cast<DWORD>(TRUE), device->RenderState(D3DRS_LIGHTING));
  EXPECT_EQ(0x50505050u, device->RenderState(D3DRS_AMBIENT));
  EXPECT_EQ(static_cast<DWORD>(D3DTEXF_LINEAR), device->State().stageStates[0][D3DTSS_MINFILTER]);
  EXPECT_EQ(static_cast<DWORD>(D3DTEXF_LINEAR), device->State().stageStates[0][D3DTSS_MAGFILTER]);
  EXPECT_EQ(static_cast<DWORD>(D3DTEXF_NONE), device->State().stageStates[0][D3DTSS_MIPFILTER]);
}

TEST_F(GameAppTest, HardwareVertexProcessingNeedsVertexShadersOneZero) {
  CTestGameApp& app = MakeApp();
  D3DCAPS8 caps = {};
  caps.VertexShaderVersion = D3DVS_VERSION(0, 9);
  EXPECT_EQ(E_FAIL, app.ConfirmDevice(&caps, D3DCREATE_HARDWARE_VERTEXPROCESSING, D3DFMT_X8R8G8B8));
  EXPECT_EQ(E_FAIL, app.ConfirmDevice(&caps, D3DCREATE_MIXED_VERTEXPROCESSING, D3DFMT_X8R8G8B8));
  EXPECT_EQ(S_OK, app.ConfirmDevice(&caps, D3DCREATE_SOFTWARE_VERTEXPROCESSING, D3DFMT_X8R8G8B8));
  caps.VertexShaderVersion = D3DVS_VERSION(1, 0);
  EXPECT_EQ(S_OK, app.ConfirmDevice(&caps, D3DCREATE_HARDWARE_VERTEXPROCESSING, D3DFMT_X8R8G8B8));
}

TEST_F(GameAppTest, EscapeSwitchesPlayAndTheMenusAndLeavesTheOtherScreensSilently) {
  CTestGameApp& app = StartApp();
  const struct {
    DWORD from, to;
    bool sound;
  } table[] = {{GAMEMODE_PLAY, GAMEMODE_MAINMENU, true},  {GAMEMODE_OPTIONS, GAMEMODE_MAINMENU, true},
               {GAMEMODE_HELP, GAMEMODE_MAINMENU, true},  {GAMEMODE_MAINMENU, GAMEMODE_PLAY, true},
               {GAMEMODE_INTRO, GAMEMODE_INTRO, false},   {GAMEMODE_FLYIN, GAMEMODE_FLYIN, false},
               {GAMEMODE_RECORDS, GAMEMODE_RECORDS, false}, {GAMEMODE_EXIT, GAMEMODE_EXIT, false}};
  for (const auto& row : table) {
    m_pContext->m_dwMode = row.from;
    const int before = m_sound.Count("PlaySample");
    app.OnEscapeKey();
    EXPECT_EQ(row.to, m_pContext->m_dwMode) << "from mode " << row.from;
    EXPECT_EQ(row.sound ? 1 : 0, m_sound.Count("PlaySample") - before) << "from mode " << row.from;
  }
}

TEST_F(GameAppTest, NewGameKeepsTheBestScoreAndTheModeAndForgetsTheUndo) {
  CTestGameApp& app = StartApp();
  m_pContext->m_dwMode = GAMEMODE_MAINMENU;
  m_pContext->m_nBestScore = 77;
  m_pContext->m_nScore = 40;
  m_pContext->m_bUndoAvailable = 1;
  app.NewGame();
  EXPECT_TRUE(m_pContext->m_nBestScore == 77 && m_pContext->m_nScore == 0 && !m_pContext->m_bUndoAvailable);
  EXPECT_EQ(static_cast<DWORD>(GAMEMODE_MAINMENU), m_pContext->m_dwMode);
  EXPECT_TRUE(CountType("ball") == 5 && m_pContext->m_nBallCount == 5);
  for (INT colour : m_pContext->m_NextColours) EXPECT_TRUE(IsColour(colour));

  app.NewGame();  // the balls of the first game go with it
  EXPECT_EQ(5, CountType("ball"));
}

// A FIFO in the log's place is neither waited on (the constructor returns) nor written.
// The game runs in a watched child, so an open that waited on the FIFO fails the test as
// blocked at once rather than hanging it.
TEST_F(GameAppTest, WithoutItsLogTheGamePlaysOn) {
  ASSERT_EQ(0, mkfifo((m_strDir + "/file.log").c_str(), 0600));
  const ChildOutcome outcome = WatchForBlocking([this] {
    testing::internal::CaptureStderr();
    CTestGameApp& app = StartApp();
    EXPECT_EQ(nullptr, m_pContext->m_pLog);
    m_pContext->m_dwMode = GAMEMODE_PLAY;
    for (int n = 0; n < 3; ++n) app.FrameMove();
    m_pContext->m_bQuitRequest = 1;
    app.FrameMove();
    const std::string errors = testing::internal::GetCapturedStderr();
    const std::string notice = "vantorel: file.log is not a regular file; the game runs without its log\n";
    EXPECT_NE(std::string::npos, errors.find(notice)) << errors;
    EXPECT_EQ(errors.find(notice), errors.rfind(notice)) << errors;
    return !HasFailure();
  });
  EXPECT_EQ(ChildOutcome::kTrue, outcome) << "the game with a FIFO for its log";
  struct stat info;
  EXPECT_TRUE(stat((m_strDir + "/file.log").c_str(), &info) == 0 && S_ISFIFO(info.st_mode));
}

TEST_F(GameAppTest, ShutdownLeavesNoEngineObjectBehindInTheContext) {
  CTestGameApp& app = StartApp();
  SendMessage(app.m_hWnd, WM_CLOSE, 0, 0);
  const CGameContext& c = *m_pContext;
  const void* engine[] = {c.m_pList,         c.m_pMeshCache,   c.m_pLocalMeshCache, c.m_pTextureCache,
                          c.m_pSampleCache, c.m_pRenderQueue, c.m_pCamera};
  for (size_t i = 0; i < sizeof engine / sizeof engine[0]; ++i) EXPECT_EQ(nullptr, engine[i]) << "pointer " << i;
  EXPECT_NE(std::string::npos, ReadFile("file.log").find("Write Settings................................Ok\n"));
}

}  // namespace
}  // namespace gameapp_test

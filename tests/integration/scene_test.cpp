// The ball and the board from the generated res.dll, loaded through CD3DMesh and the
// context's caches, drawn lit and textured through the render queue as the game
// draws them, with the statistics text of CD3DFont, on the real window and device.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/gamecontext.h"
#include "engine/meshcache.h"
#include "engine/renderqueue.h"
#include "engine/texturecache.h"
#include "integration_app.h"
#include "shell/d3dfont.h"
#include "shell/d3dmesh.h"

namespace integration {
namespace {

constexpr DWORD kLight = 19;  // the floor's light index in the game
constexpr D3DCOLOR kClear = 0xFF102040;
constexpr D3DCOLOR kYellow = 0xFFFFFF00;
constexpr char kText[] = "Vantorel 60.00 fps";
constexpr float kBallRadius = 0.4f;
const D3DXVECTOR3 kBallCentre(0.0f, 0.8f, 0.0f);  // the sphere's centre in its own coordinates
const D3DXVECTOR3 kEye(0.0f, 1.6f, -1.8f);

D3DMATERIAL8 Material(float r, float g, float b) {
  D3DMATERIAL8 m;
  std::memset(&m, 0, sizeof m);
  m.Diffuse = {r, g, b, 1.0f};
  m.Ambient = m.Diffuse;
  return m;
}

class CSceneApp : public CIntegrationApp {
 public:
  CSceneApp() : CIntegrationApp(320, 240) {}
  ~CSceneApp() override { FreeScene(); }

  CGameContext context;
  std::FILE* log = std::tmpfile();
  CD3DMesh* ball = nullptr;
  CD3DMesh* floor = nullptr;
  bool textured = true;
  bool text = true;
  bool capture = false;
  Picture picture;  // the last captured frame

  std::string LogText() { return ReadLog(log); }

  // Draws one frame through the base's frame driver and keeps its picture.
  Picture Frame(bool withTexture, bool withText) {
    textured = withTexture;
    text = withText;
    capture = true;
    picture = Picture();
    EXPECT_EQ(S_OK, Render3DEnvironment());
    capture = false;
    return picture;
  }

  // Where the ball's centre lands on the screen and its radius there, in pixels.
  void BallOnScreen(float* x, float* y, float* radius) const {
    D3DXMATRIX viewProj;
    D3DXMatrixMultiply(&viewProj, &context.m_matView, &context.m_matProj);
    const D3DXVECTOR3& c = kBallCentre;
    const float cx = c.x * viewProj._11 + c.y * viewProj._21 + c.z * viewProj._31 + viewProj._41;
    const float cy = c.x * viewProj._12 + c.y * viewProj._22 + c.z * viewProj._32 + viewProj._42;
    const float cw = c.x * viewProj._14 + c.y * viewProj._24 + c.z * viewProj._34 + viewProj._44;
    const float w = static_cast<float>(m_BackBufferDesc.Width), h = static_cast<float>(m_BackBufferDesc.Height);
    *x = (cx / cw * 0.5f + 0.5f) * w;
    *y = (0.5f - cy / cw * 0.5f) * h;
    *radius = kBallRadius / cw * context.m_matProj._22 * 0.5f * h;
  }

 protected:
  HRESULT OneTimeSceneInit() override {
    context.m_pLog = log;
    context.m_strResLib = kResLib;
    context.m_pMeshCache = new CMeshCache();
    context.m_pLocalMeshCache = new CMeshCache();
    context.m_pTextureCache = new CTextureCache();
    context.m_pRenderQueue = new CRenderQueue(&context);
    m_pFont = new CD3DFont("Arial", 12, FONT_BOLD);
    return S_OK;
  }
  HRESULT InitDeviceObjects() override {
    context.m_pd3dDevice = m_pd3dDevice;
    return m_pFont->InitDeviceObjects(m_pd3dDevice);
  }
  HRESULT InitScene() override {
    context.m_pd3dDevice = m_pd3dDevice;
    ball = new CD3DMesh(&context);
    floor = new CD3DMesh(&context);
    if (FAILED(ball->CreateFromResource(m_pd3dDevice, kResLib, "SPHERE1", log))) return E_FAIL;
    if (FAILED(floor->CreateFromResource(m_pd3dDevice, kResLib, "PlateFloor", log))) return E_FAIL;
    SetStates();
    return S_OK;
  }
  HRESULT RestoreDeviceObjects() override {
    context.m_pd3dDevice = m_pd3dDevice;
    context.m_dwWidth = m_BackBufferDesc.Width;
    context.m_dwHeight = m_BackBufferDesc.Height;
    m_pFont->RestoreDeviceObjects();
    for (CD3DMesh* mesh : {ball, floor})
      if (mesh) mesh->RestoreDeviceObjects(m_pd3dDevice);
    SetStates();
    return S_OK;
  }
  HRESULT InvalidateDeviceObjects() override {
    m_pFont->InvalidateDeviceObjects();
    for (CD3DMesh* mesh : {ball, floor})
      if (mesh) mesh->InvalidateDeviceObjects();
    context.m_pLocalMeshCache->Clear();
    return S_OK;
  }
  HRESULT DeleteDeviceObjects() override {
    m_pFont->DeleteDeviceObjects();
    for (CD3DMesh* mesh : {ball, floor})
      if (mesh) mesh->Destroy();
    context.m_pMeshCache->Clear();
    context.m_pTextureCache->Clear();
    return S_OK;
  }
  HRESULT FinalCleanup() override {
    FreeScene();
    return S_OK;
  }

  HRESULT Render() override {
    m_pd3dDevice->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kClear, 1.0f, 0);
    if (FAILED(m_pd3dDevice->BeginScene())) return S_OK;
    RenderItem& item = context.m_RenderItem;
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    // The plates and the board's frame, as the floor queues them.
    const char* floorTextures[3] = {"TexPlace00", "", "PlateFloor01"};
    for (DWORD i = 0; i < floor->m_dwNumSubMeshes && i < 3; ++i) {
      if (i == 1) continue;  // the plain floor replaces the plates only in another floor style
      item.Reset();
      item.m_matWorld = identity;
      item.m_strTexture = floorTextures[i];
      item.m_Material = i == 0 ? Material(0.6f, 0.6f, 0.6f) : Material(0.5f, 0.5f, 0.7f);
      item.m_dwLight = kLight;
      item.m_pMesh = floor->m_ppSubMeshes[i];
      item.m_dwStride = floor->m_dwStride;
      context.m_pRenderQueue->Add(item);
    }
    // A red ball on the centre cell, as a ball queues itself.
    for (DWORD k = 0; k < ball->m_dwNumSubMeshes; ++k) {
      item.Reset();
      item.m_matWorld = identity;
      item.m_strTexture = k == 0 && textured ? "BallTex" : "";
      item.m_Material = k == 0 ? Material(1.0f, 0.3f, 0.3f) : Material(0, 0, 0);
      item.m_dwLight = kLight;
      item.m_pMesh = ball->m_ppSubMeshes[k];
      item.m_dwStride = ball->m_dwStride;
      context.m_pRenderQueue->Add(item);
    }
    EXPECT_EQ(S_OK, context.m_pRenderQueue->Draw());
    context.m_pRenderQueue->Clear();
    if (text) m_pFont->DrawText(4, 4, kYellow, kText);
    m_pd3dDevice->EndScene();
    if (capture) picture = ReadBackBuffer(m_pd3dDevice);
    return S_OK;
  }

 private:
  void SetStates() {
    m_pd3dDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    m_pd3dDevice->SetRenderState(D3DRS_LIGHTING, TRUE);
    m_pd3dDevice->SetRenderState(D3DRS_ZENABLE, TRUE);
    m_pd3dDevice->SetRenderState(D3DRS_AMBIENT, 0x30303030);
    m_pd3dDevice->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    m_pd3dDevice->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    // From the viewer's upper left, in front: the ball's upper left faces it.
    D3DLIGHT8 light;
    std::memset(&light, 0, sizeof light);
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
    D3DXVECTOR3 direction(1.0f, -1.0f, 0.6f);
    D3DXVec3Normalize(&direction, &direction);
    light.Direction = direction;
    light.Range = 1000.0f;
    m_pd3dDevice->SetLight(kLight, &light);

    const D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
    D3DXMatrixLookAtLH(&context.m_matView, &kEye, &kBallCentre, &up);
    const float aspect = static_cast<float>(m_BackBufferDesc.Width) / static_cast<float>(m_BackBufferDesc.Height);
    D3DXMatrixPerspectiveFovLH(&context.m_matProj, D3DX_PI / 4, aspect, 0.1f, 100.0f);
    m_pd3dDevice->SetTransform(D3DTS_VIEW, &context.m_matView);
    m_pd3dDevice->SetTransform(D3DTS_PROJECTION, &context.m_matProj);
  }

  void FreeScene() {
    delete ball;
    delete floor;
    ball = floor = nullptr;
    delete m_pFont;
    m_pFont = nullptr;
    for (CMeshCache** cache : {&context.m_pLocalMeshCache, &context.m_pMeshCache}) {
      if (*cache) (*cache)->Clear();
      delete *cache;
      *cache = nullptr;
    }
    if (context.m_pTextureCache) context.m_pTextureCache->Clear();
    delete context.m_pTextureCache;
    context.m_pTextureCache = nullptr;
    delete context.m_pRenderQueue;
    context.m_pRenderQueue = nullptr;
    context.m_pd3dDevice = nullptr;
    if (log) std::fclose(log);
    log = nullptr;
    context.m_pLog = nullptr;
  }

  CD3DFont* m_pFont = nullptr;
};

// Mean brightness (r + g + b) and mean red of the pixels within `r` of (x, y).
struct Patch {
  double brightness = 0, red = 0, green = 0;
  int count = 0;
};
Patch Sample(const Picture& p, float x, float y, float r) {
  Patch patch;
  for (int j = static_cast<int>(y - r); j <= static_cast<int>(y + r); ++j)
    for (int i = static_cast<int>(x - r); i <= static_cast<int>(x + r); ++i) {
      if ((i - x) * (i - x) + (j - y) * (j - y) > r * r) continue;
      if (i < 0 || j < 0 || i >= static_cast<int>(p.width) || j >= static_cast<int>(p.height)) continue;
      const DWORD c = p.At(i, j);
      patch.brightness += Picture::Brightness(c);
      patch.red += Picture::Red(c);
      patch.green += Picture::Green(c);
      ++patch.count;
    }
  if (patch.count) {
    patch.brightness /= patch.count;
    patch.red /= patch.count;
    patch.green /= patch.count;
  }
  return patch;
}

bool IsYellow(DWORD c) { return Picture::Red(c) > 200 && Picture::Green(c) > 200 && Picture::Blue(c) < 80; }

// Yellow pixels in the rectangle [x0, x1) x [y0, y1).
int YellowIn(const Picture& p, UINT x0, UINT y0, UINT x1, UINT y1) {
  int n = 0;
  for (UINT y = y0; y < y1 && y < p.height; ++y)
    for (UINT x = x0; x < x1 && x < p.width; ++x) n += IsYellow(p.At(static_cast<int>(x), static_cast<int>(y)));
  return n;
}

class SceneTest : public IntegrationTest {};

TEST_F(SceneTest, BallFromTheGeneratedLibraryIsLitTexturedAndTheTextIsYellow) {
  CSceneApp app;
  ASSERT_EQ(S_OK, app.Create(GetModuleHandle(nullptr))) << app.LogText();
  ASSERT_NE(nullptr, app.ball->GetSysMemMesh()) << app.LogText();
  ASSERT_GT(app.ball->m_dwNumSubMeshes, 0u);
  ASSERT_GT(app.floor->m_dwNumSubMeshes, 2u);
  EXPECT_EQ(32u, app.ball->m_dwStride) << "position, normal, one texture coordinate";
  // Both meshes came through the caches.
  EXPECT_TRUE(app.context.m_pMeshCache->Holds(app.ball->GetSysMemMesh()));
  EXPECT_TRUE(app.context.m_pLocalMeshCache->Holds(app.floor->GetLocalMesh()));

  const Picture plain = app.Frame(false, false);
  const Picture full = app.Frame(true, true);
  KeepPicture(plain, "scene-plain");
  KeepPicture(full, "scene-full");
  ASSERT_EQ(320u, full.width) << "back buffer unreadable";
  ASSERT_EQ(plain.width, full.width);
  // The render queue loaded the textures into the cache on first use.
  IDirect3DTexture8* texture = nullptr;
  EXPECT_EQ(S_OK, app.context.m_pTextureCache->Find("BallTex", &texture));
  EXPECT_EQ(S_OK, app.context.m_pTextureCache->Find("TexPlace00", &texture));

  float bx, by, br;
  app.BallOnScreen(&bx, &by, &br);
  ASSERT_GT(br, 30.0f);
  ASSERT_GT(bx - br, 0.0f);
  ASSERT_LT(by + br, 240.0f);

  // Lit: a red ball, bright on the side toward the light, dark on the far side, never black.
  const Patch centre = Sample(full, bx, by, br * 0.6f);
  const Patch nearLight = Sample(full, bx - br * 0.45f, by - br * 0.45f, br * 0.2f);
  const Patch farSide = Sample(full, bx + br * 0.55f, by + br * 0.55f, br * 0.2f);
  EXPECT_GT(centre.red, centre.green * 1.5) << "the material tints the ball red";
  EXPECT_GT(nearLight.brightness, farSide.brightness * 1.6)
      << "toward the light " << nearLight.brightness << ", away " << farSide.brightness;
  EXPECT_GT(nearLight.red, 150.0);
  EXPECT_GT(farSide.red, 8.0) << "the ambient light keeps the far side from black";

  // Not flat: shades spread across the ball.
  int minRed = 255, maxRed = 0;
  for (int j = static_cast<int>(by - br * 0.7f); j <= static_cast<int>(by + br * 0.7f); ++j)
    for (int i = static_cast<int>(bx - br * 0.7f); i <= static_cast<int>(bx + br * 0.7f); ++i) {
      if ((i - bx) * (i - bx) + (j - by) * (j - by) > br * br * 0.49f) continue;
      const int r = Picture::Red(full.At(i, j));
      minRed = std::min(minRed, r);
      maxRed = std::max(maxRed, r);
    }
  EXPECT_GT(maxRed - minRed, 60);

  // Textured: the marble darkens the lit ball here and there, never brightens it.
  int darker = 0, brighter = 0, compared = 0;
  for (int j = static_cast<int>(by - br * 0.6f); j <= static_cast<int>(by + br * 0.6f); ++j)
    for (int i = static_cast<int>(bx - br * 0.6f); i <= static_cast<int>(bx + br * 0.6f); ++i) {
      if ((i - bx) * (i - bx) + (j - by) * (j - by) > br * br * 0.36f) continue;
      const int diff = Picture::Red(full.At(i, j)) - Picture::Red(plain.At(i, j));
      ++compared;
      darker += diff < -6;
      brighter += diff > 6;
    }
  EXPECT_GT(darker, compared / 10) << "of " << compared;
  EXPECT_LT(brighter, compared / 50) << "of " << compared;

  // The board lies under the ball: below it the clear colour gives way to the plates.
  const Patch board = Sample(full, bx, by + br * 1.8f, 6);
  EXPECT_GT(std::abs(board.brightness - Picture::Brightness(kClear & 0xFFFFFF)), 30.0);

  // The text: yellow in its row at the top left, only in the frame that drew it.
  const int yellowText = YellowIn(full, 0, 0, 160, 24);
  EXPECT_GT(yellowText, 80);
  EXPECT_EQ(0, YellowIn(plain, 0, 0, 160, 24));
  EXPECT_EQ(0, YellowIn(full, 0, 24, full.width, full.height)) << "nothing yellow below the text row";
  EXPECT_EQ(0, YellowIn(full, 170, 0, full.width, 24)) << "the text is short";

  EXPECT_EQ(std::string(), app.LogText());
  SendMessage(app.m_hWnd, WM_CLOSE, 0, 0);
  EXPECT_EQ(nullptr, app.m_pd3dDevice);
}

TEST_F(SceneTest, AResetRestoresTheMeshesFromTheCachesAndTheSameFrameReturns) {
  CSceneApp app;
  ASSERT_EQ(S_OK, app.Create(GetModuleHandle(nullptr))) << app.LogText();
  const Picture before = app.Frame(true, true);
  ASSERT_EQ(320u, before.width);
  ID3DXMesh* loaded = app.ball->GetSysMemMesh();

  ASSERT_EQ(S_OK, app.Resize3DEnvironment());  // invalidates and restores every device object
  EXPECT_EQ(loaded, app.ball->GetSysMemMesh()) << "the loaded mesh outlives a reset";
  ASSERT_GT(app.ball->m_dwNumSubMeshes, 0u);
  const Picture after = app.Frame(true, true);
  ASSERT_EQ(before.width, after.width);
  int differing = 0;
  for (size_t i = 0; i < before.pixels.size(); ++i) {
    const DWORD a = before.pixels[i], b = after.pixels[i];
    if (std::abs(Picture::Red(a) - Picture::Red(b)) > 8 || std::abs(Picture::Green(a) - Picture::Green(b)) > 8 ||
        std::abs(Picture::Blue(a) - Picture::Blue(b)) > 8)
      ++differing;
  }
  EXPECT_LT(differing, static_cast<int>(before.pixels.size() / 200));
  EXPECT_EQ(std::string(), app.LogText());
  SendMessage(app.m_hWnd, WM_CLOSE, 0, 0);
}

}  // namespace
}  // namespace integration

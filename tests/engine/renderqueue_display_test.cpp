// The render queue on the OpenGL device under a (virtual) display: a lit mesh, a
// blended quad and a colour-keyed quad drawn through the queue, read back.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/gamecontext.h"
#include "engine/renderqueue.h"
#include "engine/texturecache.h"
#include "platform/d3d8/d3d8.h"
#include "platform/d3d8/gl_window_bridge.h"
#include "platform/d3dx/d3dx8tex.h"
#include "platform/win32/window_bridge.h"
#include "platform/win32/winuser.h"
#include "platform/xfile/d3dx8mesh.h"
#include "tests/support/back_buffer_pixels.h"
#include "tests/support/gl_test_window.h"

namespace {

struct MeshVertex {
  float x, y, z, nx, ny, nz, u, v;
};

// A 2x1 24-bit bitmap: a black texel, then a white one.
std::vector<BYTE> BlackWhiteBitmap() {
  std::vector<BYTE> bytes(14 + 40 + 8, 0);
  auto put32 = [&](size_t at, DWORD value) { std::memcpy(&bytes[at], &value, 4); };
  auto put16 = [&](size_t at, WORD value) { std::memcpy(&bytes[at], &value, 2); };
  bytes[0] = 'B';
  bytes[1] = 'M';
  put32(2, static_cast<DWORD>(bytes.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, 2);  // width
  put32(22, 1);  // height
  put16(26, 1);
  put16(28, 24);
  put32(34, 8);
  const BYTE kTexels[6] = {0, 0, 0, 255, 255, 255};
  std::memcpy(&bytes[54], kTexels, sizeof kTexels);
  return bytes;
}

class RenderQueueDisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "EngineQueueTest";
    RegisterClassA(&windowClass);
    m_hWnd = CreateWindowExA(0, "EngineQueueTest", "queue", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr, nullptr,
                             nullptr);
    SDL_Window* pWindow = m_hWnd ? WindowGetSdlWindow(m_hWnd) : nullptr;
    if (!pWindow) GTEST_SKIP() << "no display";
    D3D8BindWindow(m_hWnd, pWindow);
    m_pD3D = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(nullptr, m_pD3D);
    D3DPRESENT_PARAMETERS params = WindowedPresentParams(m_hWnd, 64, 64);
    ASSERT_EQ(S_OK, m_pD3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, m_hWnd,
                                         D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &m_pDevice));
    m_Context.m_pd3dDevice = m_pDevice;
    m_Context.m_strResLib = "res.dll";
    m_Context.m_pTextureCache = &m_Textures;
    m_Context.m_bCapsMipMap = 1;
    m_Context.m_bCapsMipLinear = 1;
  }

  void TearDown() override {
    m_Queue.Clear();
    m_Textures.Clear();
    if (m_pMesh) m_pMesh->Release();
    if (m_pQuadVB) m_pQuadVB->Release();
    if (m_pDevice) {
      EXPECT_EQ(0u, m_pDevice->Release());
    }
    if (m_pD3D) m_pD3D->Release();
    if (m_hWnd) {
      D3D8UnbindWindow(m_hWnd);
      DestroyWindow(m_hWnd);
    }
    UnregisterClassA("EngineQueueTest", nullptr);
  }

  std::vector<std::vector<Pixel>> ReadBack() { return ReadBackPixels(m_pDevice); }

  static void ExpectColor(const Pixel& p, int r, int g, int b, const char* strWhere) {
    EXPECT_NEAR(r, p.r, 4) << strWhere;
    EXPECT_NEAR(g, p.g, 4) << strWhere;
    EXPECT_NEAR(b, p.b, 4) << strWhere;
  }

  HWND m_hWnd = nullptr;
  IDirect3D8* m_pD3D = nullptr;
  IDirect3DDevice8* m_pDevice = nullptr;
  CGameContext m_Context;
  CTextureCache m_Textures;
  CRenderQueue m_Queue{&m_Context};
  ID3DXMesh* m_pMesh = nullptr;
  IDirect3DVertexBuffer8* m_pQuadVB = nullptr;
};

TEST_F(RenderQueueDisplayTest, LitMeshBlendedQuadAndColourKeyedQuadGiveTheExpectedPixels) {
  // The left half: a mesh facing the viewer, lit only by light 1.
  ASSERT_EQ(S_OK, D3DXCreateMeshFVF(2, 4, D3DXMESH_MANAGED, FVF_MESHVERTEX, m_pDevice, &m_pMesh));
  MeshVertex* pVertices = nullptr;
  ASSERT_EQ(S_OK, m_pMesh->LockVertexBuffer(0, reinterpret_cast<BYTE**>(&pVertices)));
  const MeshVertex kCorners[4] = {{-1, 1, 0.5f, 0, 0, -1, 0, 0},
                                  {0, 1, 0.5f, 0, 0, -1, 1, 0},
                                  {-1, -1, 0.5f, 0, 0, -1, 0, 1},
                                  {0, -1, 0.5f, 0, 0, -1, 1, 1}};
  std::memcpy(pVertices, kCorners, sizeof kCorners);
  m_pMesh->UnlockVertexBuffer();
  WORD* pIndices = nullptr;
  ASSERT_EQ(S_OK, m_pMesh->LockIndexBuffer(0, reinterpret_cast<BYTE**>(&pIndices)));
  const WORD kIndices[6] = {0, 1, 2, 2, 1, 3};
  std::memcpy(pIndices, kIndices, sizeof kIndices);
  m_pMesh->UnlockIndexBuffer();

  // The right half: a blended green quad above a colour-keyed black-and-white quad.
  ASSERT_EQ(S_OK, m_pDevice->CreateVertexBuffer(12 * sizeof(ScreenVertex), 0, FVF_SCREENVERTEX, D3DPOOL_MANAGED,
                                                &m_pQuadVB));
  ScreenVertex* pQuads = nullptr;
  ASSERT_EQ(S_OK, m_pQuadVB->Lock(0, 0, reinterpret_cast<BYTE**>(&pQuads), 0));
  auto quad = [](ScreenVertex* p, float x0, float y0, float x1, float y1, D3DCOLOR color) {
    const ScreenVertex corners[6] = {{x0, y0, 0.5f, 1, color, 0, 0}, {x1, y0, 0.5f, 1, color, 1, 0},
                                     {x0, y1, 0.5f, 1, color, 0, 1}, {x0, y1, 0.5f, 1, color, 0, 1},
                                     {x1, y0, 0.5f, 1, color, 1, 0}, {x1, y1, 0.5f, 1, color, 1, 1}};
    std::memcpy(p, corners, sizeof corners);
  };
  quad(pQuads, 32, 0, 64, 32, D3DCOLOR_ARGB(255, 255, 255, 255));
  quad(pQuads + 6, 32, 32, 64, 64, D3DCOLOR_ARGB(255, 255, 255, 255));
  m_pQuadVB->Unlock();

  const std::vector<BYTE> bitmap = BlackWhiteBitmap();
  IDirect3DTexture8* pKeyed = nullptr;
  ASSERT_EQ(S_OK, D3DXCreateTextureFromFileInMemoryEx(m_pDevice, bitmap.data(), static_cast<UINT>(bitmap.size()), 0,
                                                      0, 0, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                                      D3DX_DEFAULT, 0xFF000000, nullptr, nullptr, &pKeyed));
  m_Textures.Add(pKeyed, "Keyed");
  // Stage 0 takes its alpha from the texture: a half-transparent green one.
  IDirect3DTexture8* pHalf = nullptr;
  ASSERT_EQ(S_OK, m_pDevice->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &pHalf));
  D3DLOCKED_RECT locked;
  ASSERT_EQ(S_OK, pHalf->LockRect(0, &locked, nullptr, 0));
  const DWORD dwHalfGreen = D3DCOLOR_ARGB(128, 0, 255, 0);
  std::memcpy(locked.pBits, &dwHalfGreen, sizeof dwHalfGreen);
  pHalf->UnlockRect(0);
  m_Textures.Add(pHalf, "HalfGreen");

  D3DLIGHT8 light = {};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = {1, 1, 1, 1};
  light.Direction = {0, 0, 1};
  m_pDevice->SetLight(1, &light);
  m_pDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  m_pDevice->SetRenderState(D3DRS_ZENABLE, TRUE);
  m_pDevice->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_LINEAR);
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  m_pDevice->SetTransform(D3DTS_VIEW, &identity);
  m_pDevice->SetTransform(D3DTS_PROJECTION, &identity);

  RenderItem& item = m_Context.m_RenderItem;
  item.Reset();
  item.m_matWorld = identity;
  item.m_pMesh = m_pMesh;
  item.m_dwStride = sizeof(MeshVertex);
  item.m_dwLight = 1;
  item.m_Material.Diffuse = {1, 0, 0, 1};
  m_Queue.Add(item);

  item.m_bQuad = 1;
  item.m_bBlend = 1;
  item.m_dwSrcBlend = D3DBLEND_SRCALPHA;
  item.m_dwDestBlend = D3DBLEND_INVSRCALPHA;
  item.m_strTexture = "HalfGreen";
  item.m_pVB = m_pQuadVB;
  item.m_dwPrimCount = 2;
  m_Queue.Add(item);

  // A second buffer for the keyed quad: the queue draws from each record's first vertex.
  IDirect3DVertexBuffer8* pKeyedVB = nullptr;
  ASSERT_EQ(S_OK, m_pDevice->CreateVertexBuffer(6 * sizeof(ScreenVertex), 0, FVF_SCREENVERTEX, D3DPOOL_MANAGED,
                                                &pKeyedVB));
  ScreenVertex* pKeyedQuad = nullptr;
  ASSERT_EQ(S_OK, pKeyedVB->Lock(0, 0, reinterpret_cast<BYTE**>(&pKeyedQuad), 0));
  quad(pKeyedQuad, 32, 32, 64, 64, D3DCOLOR_ARGB(255, 255, 255, 255));
  pKeyedVB->Unlock();
  item.m_strTexture = "Keyed";
  item.m_bColorKey = 1;
  item.m_dwColorKey = 0xFF000000;
  item.m_pVB = pKeyedVB;
  m_Queue.Add(item);

  ASSERT_EQ(S_OK, m_pDevice->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(0, 0, 255), 1.0f, 0));
  ASSERT_EQ(S_OK, m_pDevice->BeginScene());
  EXPECT_EQ(S_OK, m_Queue.Draw());
  m_pDevice->EndScene();
  m_Queue.Clear();

  const std::vector<std::vector<Pixel>> pixels = ReadBack();
  ASSERT_EQ(64u, pixels.size());
  ExpectColor(pixels[32][16], 255, 0, 0, "lit mesh");
  ExpectColor(pixels[16][48], 0, 128, 127, "blended quad over the blue background");
  ExpectColor(pixels[48][40], 0, 0, 255, "keyed black texel lets the background through");
  ExpectColor(pixels[48][56], 255, 255, 255, "white texel");

  DWORD dwValue = 0;
  m_pDevice->GetRenderState(D3DRS_ALPHABLENDENABLE, &dwValue);
  EXPECT_EQ(static_cast<DWORD>(FALSE), dwValue);
  pKeyedVB->Release();
}

}  // namespace

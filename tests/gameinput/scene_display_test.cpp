// The floor and the 3D cursor from the game's own resource library, drawn through
// the render queue on the OpenGL device and read back.
#include <gtest/gtest.h>

#include <cstdio>

#include "engine/gamecontext.h"
#include "engine/listengine.h"
#include "engine/meshcache.h"
#include "engine/renderqueue.h"
#include "engine/texturecache.h"
#include "game/floor.h"
#include "game/mouse.h"
#include "shell/d3dmesh.h"
#include "tests/support/back_buffer_pixels.h"
#include "tests/support/gl_test_window.h"

namespace {

const int kWidth = 320;
const int kHeight = 240;
const std::string kLibrary = std::string(VANTOREL_BINARY_DIR) + "/res.dll";

bool IsBackground(const Pixel& p) { return p.r == 0 && p.g == 0 && p.b == 40; }

TEST(FloorAndCursorDisplay, DrawTheBoardAndTheCursorOverIt) {
  GLTestWindow window("floor", kWidth, kHeight);
  if (!window.IsOpen()) GTEST_SKIP() << "no display";
  FILE* probe = std::fopen(kLibrary.c_str(), "rb");
  ASSERT_NE(probe, nullptr) << "the build makes " << kLibrary;
  std::fclose(probe);

  IDirect3D8* pD3D = Direct3DCreate8(D3D_SDK_VERSION);
  ASSERT_NE(pD3D, nullptr);
  D3DPRESENT_PARAMETERS params = WindowedPresentParams(window.Hwnd(), kWidth, kHeight);
  IDirect3DDevice8* pDevice = nullptr;
  ASSERT_EQ(S_OK, pD3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window.Hwnd(),
                                     D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &pDevice));
  CGameContext ctx;
  CMeshCache meshes, localMeshes;
  CTextureCache textures;
  CRenderQueue queue(&ctx);
  CListEngine list;
  ctx.m_pd3dDevice = pDevice;
  ctx.m_strResLib = kLibrary.c_str();
  ctx.m_pMeshCache = &meshes;
  ctx.m_pLocalMeshCache = &localMeshes;
  ctx.m_pTextureCache = &textures;
  ctx.m_pRenderQueue = &queue;
  ctx.m_pList = &list;
  ctx.m_dwWidth = kWidth;
  ctx.m_dwHeight = kHeight;
  ctx.m_dwMode = GAMEMODE_PLAY;
  ctx.m_nFloorTex = 2;
  const D3DXVECTOR3 vEye(0.0f, 9.0f, -8.0f), vAt(0.0f, 0.0f, 0.0f), vUp(0.0f, 1.0f, 0.0f);
  D3DXMatrixLookAtLH(&ctx.m_matView, &vEye, &vAt, &vUp);
  D3DXMatrixInverse(&ctx.m_matInvView, nullptr, &ctx.m_matView);
  D3DXMatrixPerspectiveFovLH(&ctx.m_matProj, D3DX_PI / 4, float(kWidth) / kHeight, 0.1f, 100.0f);
  pDevice->SetTransform(D3DTS_VIEW, &ctx.m_matView);
  pDevice->SetTransform(D3DTS_PROJECTION, &ctx.m_matProj);
  pDevice->SetRenderState(D3DRS_LIGHTING, TRUE);
  pDevice->SetRenderState(D3DRS_ZENABLE, TRUE);
  pDevice->SetRenderState(D3DRS_AMBIENT, D3DCOLOR_XRGB(60, 60, 60));

  CMouse* mouse = new CMouse(&ctx);
  list.Add(mouse);
  CFloor* floor = new CFloor(&ctx);
  list.Add(floor);
  ASSERT_NE(floor->m_pMesh->m_dwNumSubMeshes, 0u);
  ASSERT_NE(mouse->m_pMesh->m_dwNumSubMeshes, 0u);
  // The cursor over the sky, an eighth of the way in from the top-right corner.
  mouse->m_nCursorX = kWidth * 7 / 8;
  mouse->m_nCursorY = kHeight / 8;
  mouse->m_fX = 0.75f;
  mouse->m_fY = -0.75f;

  list.FrameMoveAll();
  pDevice->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(0, 0, 40), 1.0f, 0);
  pDevice->BeginScene();
  list.RenderAll();
  EXPECT_EQ(S_OK, queue.Draw());
  pDevice->EndScene();
  queue.Clear();
  const std::vector<std::vector<Pixel>> pixels = ReadBackPixels(pDevice);
  ASSERT_EQ(pixels.size(), static_cast<size_t>(kHeight));
  EXPECT_FALSE(IsBackground(pixels[kHeight / 2][kWidth / 2])) << "the board at the centre";
  int nCursorPixels = 0;  // the mesh's tip sits at the cursor, its body below and right of it
  for (int y = kHeight / 8; y < kHeight / 8 + 8; ++y)
    for (int x = kWidth * 7 / 8; x < kWidth * 7 / 8 + 12; ++x) nCursorPixels += !IsBackground(pixels[y][x]);
  EXPECT_GT(nCursorPixels, 10) << "the cursor";

  list.DeleteAll();
  textures.Clear();
  localMeshes.Clear();
  meshes.Clear();
  EXPECT_EQ(0u, pDevice->Release());
  pD3D->Release();
}

}  // namespace

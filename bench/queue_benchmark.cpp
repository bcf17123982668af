// One frame of render-queue work as the game produces it: fill, sort and draw about
// 300 records against the recording device, then clear.
#include <benchmark/benchmark.h>

#include <vector>

#include "engine/gamecontext.h"
#include "engine/renderqueue.h"
#include "engine/texturecache.h"
#include "platform/xfile/d3dx8mesh.h"
#include "tests/support/d3d8/recording_device.h"

namespace {

class Scene {
 public:
  Scene() {
    m_pDevice = new CRecordingDevice();
    m_Context.m_pd3dDevice = m_pDevice;
    m_Context.m_strResLib = "res.dll";
    m_Context.m_bCapsMipMap = 1;
    m_Context.m_bCapsMipLinear = 1;
    m_Context.m_pTextureCache = &m_Textures;
    m_pDevice->SetRenderState(D3DRS_ZENABLE, TRUE);
    m_pDevice->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_LINEAR);
    for (const char* strName : kTextures) {
      IDirect3DTexture8* pTexture = nullptr;
      m_pDevice->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &pTexture);
      m_Textures.Add(pTexture, strName);
    }
    for (ID3DXMesh*& pMesh : m_pMeshes) D3DXCreateMeshFVF(200, 150, D3DXMESH_MANAGED, 0x112, m_pDevice, &pMesh);
    m_pDevice->CreateVertexBuffer(60 * sizeof(ScreenVertex), 0, 0x144, D3DPOOL_MANAGED, &m_pQuadVB);
  }
  ~Scene() {
    m_Queue.Clear();
    m_Textures.Clear();
    for (ID3DXMesh* pMesh : m_pMeshes) pMesh->Release();
    m_pQuadVB->Release();
    m_pDevice->Release();
  }

  // What the objects' Render operations queue in one frame of play.
  void Fill() {
    RenderItem& item = m_Context.m_RenderItem;
    for (int nBall = 0; nBall < 81; ++nBall) {
      for (int nSub = 0; nSub < 2; ++nSub) {
        item.Reset();
        item.m_strTexture = nSub == 0 ? kTextures[nBall % 7] : "";
        item.m_pMesh = m_pMeshes[nSub];
        item.m_dwStride = 32;
        item.m_dwLight = 19;
        m_Queue.Add(item);
      }
    }
    for (int nPlate = 0; nPlate < 81; ++nPlate) {  // the floor as separate plates
      item.Reset();
      item.m_strTexture = "Floor0";
      item.m_pMesh = m_pMeshes[2];
      item.m_dwStride = 32;
      item.m_dwLight = 19;
      m_Queue.Add(item);
    }
    for (int nPart = 0; nPart < 10; ++nPart) {  // surroundings, the caustics blended
      item.Reset();
      item.m_strTexture = nPart < 6 ? "Ground" : "Caust07";
      item.m_bBlend = nPart < 6 ? 0 : 1;
      item.m_dwSrcBlend = D3DBLEND_ONE;
      item.m_dwDestBlend = D3DBLEND_ONE;
      item.m_pMesh = m_pMeshes[3];
      item.m_dwStride = 32;
      item.m_dwLight = 18;
      m_Queue.Add(item);
    }
    for (int nQuad = 0; nQuad < 46; ++nQuad) {  // top bar and menu quads
      item.m_bQuad = 1;
      item.m_bNoDepth = 0;
      item.m_bBlend = nQuad % 3 == 0 ? 0 : 1;
      item.m_strTexture = nQuad < 20 ? "UpMenu" : "MainMenu";
      item.m_bColorKey = nQuad < 20 ? 0 : 1;
      item.m_dwColorKey = 0xFF000000;
      item.m_pVB = m_pQuadVB;
      item.m_dwPrimCount = 2;
      item.m_dwSrcBlend = D3DBLEND_SRCALPHA;
      item.m_dwDestBlend = D3DBLEND_INVSRCALPHA;
      m_Queue.Add(item);
    }
    item.Reset();  // the cursor, over everything
    item.m_bNoDepth = 1;
    item.m_pMesh = m_pMeshes[4];
    item.m_dwStride = 32;
    item.m_dwLight = 99;
    m_Queue.Add(item);
  }

  void FillAndSort() {
    Fill();
    m_Queue.Sort();
    m_Queue.Clear();
  }

  void Frame() {
    Fill();
    m_Queue.Draw();
    m_Queue.Clear();
    m_pDevice->ClearCalls();
  }

  static constexpr const char* kTextures[] = {"Ball1",  "Ball2",  "Ball3",  "Ball4",   "Ball5",  "Ball6",
                                              "Ball7",  "Floor0", "Ground", "Caust07", "UpMenu", "MainMenu"};

 private:
  CRecordingDevice* m_pDevice;
  CGameContext m_Context;
  CTextureCache m_Textures;
  CRenderQueue m_Queue{&m_Context};
  ID3DXMesh* m_pMeshes[5] = {};
  IDirect3DVertexBuffer8* m_pQuadVB = nullptr;
};

void BM_QueueFrame(benchmark::State& state) {
  Scene scene;
  for (auto _ : state) scene.Frame();
  state.counters["records"] = 300;
}
BENCHMARK(BM_QueueFrame)->Unit(benchmark::kMicrosecond);

// The queue's own share: filling and sorting, without the device calls.
void BM_QueueFillAndSort(benchmark::State& state) {
  Scene scene;
  for (auto _ : state) scene.FillAndSort();
}
BENCHMARK(BM_QueueFillAndSort)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

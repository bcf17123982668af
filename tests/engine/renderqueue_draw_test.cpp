#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/gamecontext.h"
#include "engine/renderqueue.h"
#include "engine/texturecache.h"
#include "engine/vertexshader.h"
#include "platform/xfile/d3dx8mesh.h"
#include "tests/support/d3d8/recording_device.h"

namespace {

ULONG RefsOf(IUnknown* pObject) {
  pObject->AddRef();
  return pObject->Release();
}

// A mesh that counts how often its buffers are fetched and passes every call on.
class CountingMesh : public ID3DXMesh {
 public:
  explicit CountingMesh(ID3DXMesh* pInner) : m_pInner(pInner) {}
  ~CountingMesh() override = default;

  int m_nVertexBufferFetches = 0;
  int m_nIndexBufferFetches = 0;

  HRESULT QueryInterface(REFIID riid, void** ppv) override { return m_pInner->QueryInterface(riid, ppv); }
  ULONG AddRef() override { return ++m_nRefs; }
  ULONG Release() override {
    if (--m_nRefs != 0) return m_nRefs;
    m_pInner->Release();
    delete this;
    return 0;
  }
  HRESULT DrawSubset(DWORD id) override { return m_pInner->DrawSubset(id); }
  DWORD GetNumFaces() override { return m_pInner->GetNumFaces(); }
  DWORD GetNumVertices() override { return m_pInner->GetNumVertices(); }
  DWORD GetFVF() override { return m_pInner->GetFVF(); }
  HRESULT GetDeclaration(DWORD d[MAX_FVF_DECL_SIZE]) override { return m_pInner->GetDeclaration(d); }
  DWORD GetOptions() override { return m_pInner->GetOptions(); }
  HRESULT GetDevice(LPDIRECT3DDEVICE8* p) override { return m_pInner->GetDevice(p); }
  HRESULT CloneMeshFVF(DWORD o, DWORD f, LPDIRECT3DDEVICE8 d, LPD3DXMESH* m) override {
    return m_pInner->CloneMeshFVF(o, f, d, m);
  }
  HRESULT CloneMesh(DWORD o, CONST DWORD* decl, LPDIRECT3DDEVICE8 d, LPD3DXMESH* m) override {
    return m_pInner->CloneMesh(o, decl, d, m);
  }
  HRESULT GetVertexBuffer(LPDIRECT3DVERTEXBUFFER8* vb) override {
    ++m_nVertexBufferFetches;
    return m_pInner->GetVertexBuffer(vb);
  }
  HRESULT GetIndexBuffer(LPDIRECT3DINDEXBUFFER8* ib) override {
    ++m_nIndexBufferFetches;
    return m_pInner->GetIndexBuffer(ib);
  }
  HRESULT LockVertexBuffer(DWORD f, BYTE** p) override { return m_pInner->LockVertexBuffer(f, p); }
  HRESULT UnlockVertexBuffer() override { return m_pInner->UnlockVertexBuffer(); }
  HRESULT LockIndexBuffer(DWORD f, BYTE** p) override { return m_pInner->LockIndexBuffer(f, p); }
  HRESULT UnlockIndexBuffer() override { return m_pInner->UnlockIndexBuffer(); }
  HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* t, DWORD* n) override { return m_pInner->GetAttributeTable(t, n); }
  HRESULT ConvertPointRepsToAdjacency(CONST DWORD* p, DWORD* a) override {
    return m_pInner->ConvertPointRepsToAdjacency(p, a);
  }
  HRESULT ConvertAdjacencyToPointReps(CONST DWORD* a, DWORD* p) override {
    return m_pInner->ConvertAdjacencyToPointReps(a, p);
  }
  HRESULT GenerateAdjacency(FLOAT e, DWORD* a) override { return m_pInner->GenerateAdjacency(e, a); }
  HRESULT LockAttributeBuffer(DWORD f, DWORD** p) override { return m_pInner->LockAttributeBuffer(f, p); }
  HRESULT UnlockAttributeBuffer() override { return m_pInner->UnlockAttributeBuffer(); }
  HRESULT Optimize(DWORD f, CONST DWORD* ai, DWORD* ao, DWORD* fr, LPD3DXBUFFER* vr, LPD3DXMESH* m) override {
    return m_pInner->Optimize(f, ai, ao, fr, vr, m);
  }
  HRESULT OptimizeInplace(DWORD f, CONST DWORD* ai, DWORD* ao, DWORD* fr, LPD3DXBUFFER* vr) override {
    return m_pInner->OptimizeInplace(f, ai, ao, fr, vr);
  }

 private:
  ID3DXMesh* m_pInner;
  ULONG m_nRefs = 1;
};

// A queue whose chain can be cut, to reach Draw's error exit.
class BreakableQueue : public CRenderQueue {
 public:
  using CRenderQueue::CRenderQueue;
  RenderNode* Cut(RenderNode* pAfter) {
    RenderNode* pRest = pAfter->pNext;
    pAfter->pNext = nullptr;
    return pRest;
  }
  void Mend(RenderNode* pAfter, RenderNode* pRest) { pAfter->pNext = pRest; }
};

class RenderQueueDrawTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_pDevice = new CRecordingDevice();
    m_Context.m_pd3dDevice = m_pDevice;
    m_Context.m_strResLib = "no-such-library-for-engine-tests.dll";
    m_Context.m_bCapsMipMap = 1;
    m_Context.m_bCapsMipLinear = 1;
    m_Context.m_pTextureCache = &m_Textures;
    m_Context.m_pRenderQueue = &m_Queue;
    // The entry state the game sets up after creating the device.
    m_pDevice->SetRenderState(D3DRS_ZENABLE, TRUE);
    m_pDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    m_pDevice->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_LINEAR);
    for (const char* strName : {"Ball1", "Ball2", "Floor", "Caust01", "OptTex", "UpMenu"}) {
      IDirect3DTexture8* pTexture = nullptr;
      ASSERT_EQ(S_OK, m_pDevice->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &pTexture));
      m_Textures.Add(pTexture, strName);
    }
    ASSERT_EQ(S_OK, m_pDevice->CreateVertexBuffer(6 * sizeof(ScreenVertex), 0, FVF_SCREENVERTEX, D3DPOOL_MANAGED,
                                                  &m_pQuadVB));
    m_pDevice->ClearCalls();
  }

  void TearDown() override {
    m_Queue.Clear();
    for (CountingMesh* pMesh : m_Meshes) pMesh->Release();
    m_pQuadVB->Release();
    m_Textures.Clear();
    EXPECT_EQ(0u, m_pDevice->LiveResourceCount());
    m_Context.m_pd3dDevice = nullptr;
    m_pDevice->Release();
  }

  CountingMesh* NewMesh(DWORD dwFaces = 2, DWORD dwVertices = 4) {
    ID3DXMesh* pInner = nullptr;
    EXPECT_EQ(S_OK, D3DXCreateMeshFVF(dwFaces, dwVertices, D3DXMESH_MANAGED, FVF_MESHVERTEX, m_pDevice, &pInner));
    m_Meshes.push_back(new CountingMesh(pInner));
    return m_Meshes.back();
  }

  RenderItem MeshRecord(ID3DXMesh* pMesh, const char* strTexture, DWORD dwLight = 0) {
    RenderItem& item = m_Context.m_RenderItem;
    item.Reset();
    item.m_pMesh = pMesh;
    item.m_dwStride = 32;
    item.m_strTexture = strTexture;
    item.m_dwLight = dwLight;
    item.m_Material.Diffuse.r = 1.0f;
    return item;
  }

  // Quad fillers leave the other fields as the previous filler did.
  RenderItem QuadRecord(const char* strTexture, BYTE bBlend = 0, DWORD dwSrc = D3DBLEND_SRCALPHA,
                        DWORD dwDest = D3DBLEND_INVSRCALPHA) {
    RenderItem& item = m_Context.m_RenderItem;
    item.m_bQuad = 1;
    item.m_bNoDepth = 0;
    item.m_bBlend = bBlend;
    item.m_strTexture = strTexture;
    item.m_bColorKey = 0;
    item.m_pVB = m_pQuadVB;
    item.m_dwPrimCount = 2;
    item.m_dwSrcBlend = dwSrc;
    item.m_dwDestBlend = dwDest;
    return item;
  }

  size_t TextureBinds() const {
    size_t nBinds = 0;
    for (const D3DCallRecord& call : m_pDevice->CallsTo("SetTexture"))
      if (!call.objects.empty() && call.objects[0]) ++nBinds;
    return nBinds;
  }

  CRecordingDevice* m_pDevice = nullptr;
  CGameContext m_Context;
  CTextureCache m_Textures;
  CRenderQueue m_Queue{&m_Context};
  IDirect3DVertexBuffer8* m_pQuadVB = nullptr;
  std::vector<CountingMesh*> m_Meshes;
};

TEST_F(RenderQueueDrawTest, EmptyQueueMakesNoDeviceCall) {
  EXPECT_EQ(S_OK, m_Queue.Draw());
  EXPECT_TRUE(m_pDevice->Calls().empty());
}

TEST_F(RenderQueueDrawTest, SameTextureTwiceIsBoundOnceAndReleasedAfterTheSecond) {
  m_Queue.Add(QuadRecord("OptTex"));
  m_Queue.Add(QuadRecord("OptTex"));
  EXPECT_EQ(S_OK, m_Queue.Draw());
  // Calls in order: bind, draw, draw, unbind.
  std::vector<std::string> sequence;
  for (const D3DCallRecord& call : m_pDevice->Calls()) {
    if (call.method == "DrawPrimitive") sequence.push_back("draw");
    if (call.method == "SetTexture") sequence.push_back(call.objects.at(0) ? "bind" : "unbind");
  }
  EXPECT_EQ((std::vector<std::string>{"bind", "draw", "draw", "unbind"}), sequence);
  EXPECT_EQ(nullptr, m_pDevice->BoundTexture(0));
}

TEST_F(RenderQueueDrawTest, EmptyOrMissingTextureDrawsUntextured) {
  m_Queue.Add(QuadRecord(""));
  m_Queue.Add(QuadRecord("NotInTheLibrary"));
  EXPECT_EQ(S_OK, m_Queue.Draw());
  EXPECT_EQ(0u, TextureBinds());
  EXPECT_EQ(2u, m_pDevice->CallCount("DrawPrimitive"));
  EXPECT_EQ(6u, m_Textures.Count());  // nothing cached for the missing name
}

TEST_F(RenderQueueDrawTest, TenRecordsOfOneMeshFetchItsBuffersOnce) {
  CountingMesh* pMesh = NewMesh();
  IDirect3DVertexBuffer8* pVB = nullptr;
  pMesh->GetVertexBuffer(&pVB);
  const ULONG nRefsBefore = RefsOf(pVB);
  pMesh->m_nVertexBufferFetches = 0;
  for (int i = 0; i < 10; ++i) m_Queue.Add(MeshRecord(pMesh, "Ball1"));
  EXPECT_EQ(S_OK, m_Queue.Draw());
  EXPECT_EQ(1, pMesh->m_nVertexBufferFetches);
  EXPECT_EQ(1, pMesh->m_nIndexBufferFetches);
  EXPECT_EQ(10u, m_pDevice->CallCount("DrawIndexedPrimitive"));
  EXPECT_EQ(nRefsBefore, RefsOf(pVB));  // released after the tenth
  pVB->Release();
  const D3DCallRecord draw = m_pDevice->CallsTo("DrawIndexedPrimitive").front();
  EXPECT_EQ((std::vector<DWORD>{D3DPT_TRIANGLELIST, 0, 4, 0, 2}), draw.values);
}

TEST_F(RenderQueueDrawTest, EachMeshOfARunFetchesItsBuffersOnce) {
  CountingMesh* pMesh = NewMesh();
  CountingMesh* pOther = NewMesh();
  for (int i = 0; i < 3; ++i) {
    m_Queue.Add(MeshRecord(pMesh, "Ball1"));
    m_Queue.Add(MeshRecord(pOther, "Ball1"));
  }
  EXPECT_EQ(S_OK, m_Queue.Draw());
  EXPECT_EQ(1, pMesh->m_nVertexBufferFetches);
  EXPECT_EQ(1, pOther->m_nVertexBufferFetches);
  EXPECT_EQ(6u, m_pDevice->CallCount("DrawIndexedPrimitive"));
}

TEST_F(RenderQueueDrawTest, LightZeroEnablesNoLightAndOtherLightsOnlyForTheirRecord) {
  CountingMesh* pMesh = NewMesh();
  m_Queue.Add(MeshRecord(pMesh, "Floor", 0));
  EXPECT_EQ(S_OK, m_Queue.Draw());
  m_Queue.Clear();
  EXPECT_EQ(0u, m_pDevice->CallCount("LightEnable"));

  m_Queue.Add(MeshRecord(pMesh, "Floor", 19));
  EXPECT_EQ(S_OK, m_Queue.Draw());
  const std::vector<D3DCallRecord> lights = m_pDevice->CallsTo("LightEnable");
  ASSERT_EQ(2u, lights.size());
  EXPECT_EQ((std::vector<DWORD>{19, TRUE}), lights[0].values);
  EXPECT_EQ((std::vector<DWORD>{19, FALSE}), lights[1].values);
  m_Queue.Clear();

  // A run of records of one light enables it once; an unlit record after it has it off.
  m_pDevice->ClearCalls();
  m_Queue.Add(MeshRecord(pMesh, "UpMenu", 0));  // sorts after the "Floor" records
  m_Queue.Add(MeshRecord(pMesh, "Floor", 19));
  m_Queue.Add(MeshRecord(pMesh, "Floor", 19));
  EXPECT_EQ(S_OK, m_Queue.Draw());
  std::vector<std::string> sequence;
  for (const D3DCallRecord& call : m_pDevice->Calls()) {
    if (call.method == "DrawIndexedPrimitive") sequence.push_back("draw");
    if (call.method == "LightEnable") sequence.push_back(call.values.at(1) ? "on" : "off");
  }
  EXPECT_EQ((std::vector<std::string>{"on", "draw", "draw", "off", "draw"}), sequence);
}

TEST_F(RenderQueueDrawTest, MeshItemsUseTheFixedFunctionPipeline) {
  CountingMesh* pMesh = NewMesh();
  RenderItem item = MeshRecord(pMesh, "Ball1");
  D3DXMatrixTranslation(&item.m_matWorld, 1.0f, 2.0f, 3.0f);
  m_Queue.Add(item);
  EXPECT_EQ(S_OK, m_Queue.Draw());
  EXPECT_EQ(3.0f, m_pDevice->Transform(D3DTS_WORLD)._43);
  EXPECT_EQ(1.0f, m_pDevice->State().material.Diffuse.r);
  EXPECT_EQ(static_cast<DWORD>(FVF_MESHVERTEX), m_pDevice->State().vertexShader);
  EXPECT_EQ(nullptr, m_pDevice->State().streamSource);
  EXPECT_EQ(nullptr, m_pDevice->State().indices);
}

TEST_F(RenderQueueDrawTest, BlendedDepthOffRecordSwitchesAndRestoresEverything) {
  const D3DRecordedState before = m_pDevice->State();
  RenderItem item = QuadRecord("UpMenu", 1, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
  item.m_bNoDepth = 1;
  m_Queue.Add(item);
  EXPECT_EQ(S_OK, m_Queue.Draw());
  EXPECT_FALSE(m_pDevice->CallsTo("SetRenderState").empty());
  bool bSawDepthOff = false, bSawBlendOn = false;
  for (const D3DCallRecord& call : m_pDevice->CallsTo("SetRenderState")) {
    if (call.values == std::vector<DWORD>{D3DRS_ZENABLE, FALSE}) bSawDepthOff = true;
    if (call.values == std::vector<DWORD>{D3DRS_ALPHABLENDENABLE, TRUE}) bSawBlendOn = true;
  }
  EXPECT_TRUE(bSawDepthOff);
  EXPECT_TRUE(bSawBlendOn);
  const D3DRecordedState& after = m_pDevice->State();
  EXPECT_EQ(0, std::memcmp(before.renderStates, after.renderStates, sizeof before.renderStates));
  EXPECT_EQ(0, std::memcmp(before.stageStates, after.stageStates, sizeof before.stageStates));
  EXPECT_EQ(static_cast<DWORD>(D3DTEXF_LINEAR), m_pDevice->StageState(0, D3DTSS_MIPFILTER));
}

TEST_F(RenderQueueDrawTest, ColourKeyedRecordOfACachedNameUsesTheCachedTexture) {
  RenderItem item = QuadRecord("OptTex");
  item.m_bColorKey = 1;
  item.m_dwColorKey = 0xFF000000;
  m_Queue.Add(item);
  EXPECT_EQ(S_OK, m_Queue.Draw());
  EXPECT_EQ(1u, TextureBinds());
}

// A frame much like the game's: balls of two sub-meshes, floor, surroundings with
// blended caustics, top-bar and menu quads, the cursor without depth test.
TEST_F(RenderQueueDrawTest, ASortedFrameRestoresStatesAndNeverSetsAStateItAlreadyHas) {
  CountingMesh* pSphere0 = NewMesh(40, 30);
  CountingMesh* pSphere1 = NewMesh(40, 30);
  CountingMesh* pFloor = NewMesh(2, 4);
  CountingMesh* pEnviron = NewMesh(20, 20);
  CountingMesh* pCursor = NewMesh(8, 6);
  const char* const kBalls[] = {"Ball1", "Ball2"};
  std::mt19937 random(7);
  m_Context.m_RenderItem.m_pMesh = pCursor;  // leftovers that quad fillers keep
  for (int nFrame = 0; nFrame < 3; ++nFrame) {
    for (int i = 0; i < 81; ++i) {
      m_Queue.Add(MeshRecord(pSphere0, kBalls[random() % 2], 0));
      m_Queue.Add(MeshRecord(pSphere1, "", 0));
    }
    m_Queue.Add(QuadRecord("UpMenu", 1));
    m_Queue.Add(MeshRecord(pFloor, "Floor", 19));
    RenderItem caustics = MeshRecord(pEnviron, "Caust01", 18);
    caustics.m_bBlend = 1;
    caustics.m_dwSrcBlend = D3DBLEND_ONE;
    caustics.m_dwDestBlend = D3DBLEND_ONE;
    m_Queue.Add(caustics);
    m_Queue.Add(QuadRecord("OptTex", 1, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA));
    m_Queue.Add(QuadRecord("OptTex", 0));
    m_Queue.Add(QuadRecord("UpMenu", 1, D3DBLEND_ONE, D3DBLEND_ONE));
    RenderItem cursor = MeshRecord(pCursor, "", 99);
    cursor.m_bNoDepth = 1;
    m_Queue.Add(cursor);

    D3DRecordedState model = m_pDevice->State();
    const D3DRecordedState before = model;
    m_pDevice->ClearCalls();
    EXPECT_EQ(S_OK, m_Queue.Draw());
    m_Queue.Clear();

    for (const D3DCallRecord& call : m_pDevice->Calls()) {
      if (call.method == "SetRenderState") {
        DWORD& dwCurrent = model.renderStates[call.values[0]];
        EXPECT_NE(dwCurrent, call.values[1]) << "render state " << call.values[0] << " set to what it was";
        dwCurrent = call.values[1];
      } else if (call.method == "SetTextureStageState") {
        DWORD& dwCurrent = model.stageStates[call.values[0]][call.values[1]];
        EXPECT_NE(dwCurrent, call.values[2]) << "stage state " << call.values[1] << " set to what it was";
        dwCurrent = call.values[2];
      }
    }
    const D3DRecordedState& after = m_pDevice->State();
    EXPECT_EQ(0, std::memcmp(before.renderStates, after.renderStates, sizeof before.renderStates));
    EXPECT_EQ(0, std::memcmp(before.stageStates, after.stageStates, sizeof before.stageStates));
    EXPECT_EQ(nullptr, m_pDevice->BoundTexture(0));
    EXPECT_EQ(nullptr, after.streamSource);
    EXPECT_EQ(nullptr, after.indices);
    EXPECT_EQ(169u, m_pDevice->CallCount("DrawIndexedPrimitive") + m_pDevice->CallCount("DrawPrimitive"));
    // Runs of one texture are bound once: two ball colours, floor, caustics, two quad textures.
    EXPECT_EQ(6u, TextureBinds());
    // Every mesh's buffers are fetched once per frame.
    EXPECT_EQ(nFrame + 1, pSphere0->m_nVertexBufferFetches);
  }
}

TEST_F(RenderQueueDrawTest, BrokenChainFailsButRestoresStatesAndReleasesBuffers) {
  BreakableQueue queue(&m_Context);
  CountingMesh* pMesh = NewMesh();
  IDirect3DVertexBuffer8* pVB = nullptr;
  pMesh->GetVertexBuffer(&pVB);
  const ULONG nRefsBefore = RefsOf(pVB);
  RenderItem blended = MeshRecord(pMesh, "Caust01", 18);
  blended.m_bBlend = 1;
  blended.m_bNoDepth = 1;
  blended.m_dwSrcBlend = D3DBLEND_ONE;
  blended.m_dwDestBlend = D3DBLEND_ONE;
  queue.Add(blended);
  queue.Add(blended);
  queue.Add(blended);
  const D3DRecordedState before = m_pDevice->State();
  RenderNode* pSecond = queue.Head()->pNext;
  RenderNode* pRest = queue.Cut(pSecond);
  EXPECT_EQ(E_FAIL, queue.Draw());
  queue.Mend(pSecond, pRest);
  queue.Clear();
  const D3DRecordedState& after = m_pDevice->State();
  EXPECT_EQ(0, std::memcmp(before.renderStates, after.renderStates, sizeof before.renderStates));
  EXPECT_EQ(nullptr, m_pDevice->BoundTexture(0));
  EXPECT_EQ(nRefsBefore, RefsOf(pVB));
  EXPECT_EQ(2u, m_pDevice->CallCount("DrawIndexedPrimitive"));
  pVB->Release();
}

TEST_F(RenderQueueDrawTest, VertexShaderPathUploadsConstantsInsteadOfTransformMaterialAndLight) {
  CountingMesh* pMesh = NewMesh();
  CVertexShader shader(&m_Context);
  shader.SetConstantCount(2);
  const float kRow[4] = {1.0f, 2.0f, 3.0f, 4.0f};
  ASSERT_EQ(S_OK, shader.SetConstant(1, 8, kRow, sizeof kRow, 1));
  RenderItem item = MeshRecord(pMesh, "", 19);
  item.m_pShader = &shader;

  m_Context.m_fVertexShaderVersion = 1.1f;
  m_Queue.Add(item);
  EXPECT_EQ(S_OK, m_Queue.Draw());
  EXPECT_EQ(0u, m_pDevice->CallCount("SetTransform"));
  EXPECT_EQ(0u, m_pDevice->CallCount("SetMaterial"));
  EXPECT_EQ(0u, m_pDevice->CallCount("LightEnable"));
  EXPECT_EQ(1u, m_pDevice->CallCount("SetVertexShaderConstant"));
  EXPECT_EQ(0u, m_Queue.Head()->pItem->m_dwLight);
  m_Queue.Clear();

  // Without a shader version the record takes the fixed-function path.
  m_Context.m_fVertexShaderVersion = 0.0f;
  m_pDevice->ClearCalls();
  m_Queue.Add(item);
  EXPECT_EQ(S_OK, m_Queue.Draw());
  EXPECT_EQ(1u, m_pDevice->CallCount("SetTransform"));
  EXPECT_EQ(2u, m_pDevice->CallCount("LightEnable"));
  shader.Release();
}

}  // namespace

// Drawing the queue: device states change only where consecutive records differ.
#include <cstring>

#include "engine/gamecontext.h"
#include "engine/renderqueue.h"
#include "engine/resourcebytes.h"
#include "engine/texturecache.h"
#include "engine/vertexshader.h"
#include "platform/d3dx/d3dx8tex.h"
#include "platform/xfile/d3dx8mesh.h"

namespace {

const char* NameOf(const char* strName) { return strName ? strName : ""; }

bool SameName(const char* strA, const char* strB) { return std::strcmp(NameOf(strA), NameOf(strB)) == 0; }

// The render and texture-stage states Draw may change. Each one's value at entry
// is read the first time Draw changes it and put back on the way out, so the
// caller finds the device as it left it; a value the device already has is not
// set again.
class DrawStates {
 public:
  explicit DrawStates(IDirect3DDevice8* pDevice) : m_pDevice(pDevice) {}

  void SetDepth(BOOL bEnable) { SetRender(m_Depth, D3DRS_ZENABLE, bEnable ? TRUE : FALSE, TRUE); }
  void SetBlend(BOOL bEnable) { SetRender(m_Blend, D3DRS_ALPHABLENDENABLE, bEnable ? TRUE : FALSE, FALSE); }
  void SetBlendFactors(DWORD dwSrc, DWORD dwDest) {
    SetRender(m_SrcBlend, D3DRS_SRCBLEND, dwSrc, D3DBLEND_ONE);
    SetRender(m_DestBlend, D3DRS_DESTBLEND, dwDest, D3DBLEND_ZERO);
  }
  void SetMipFilter(DWORD dwFilter) {
    if (!m_MipFilter.bSaved) {
      const HRESULT hrGet = m_pDevice->GetTextureStageState(0, D3DTSS_MIPFILTER, &m_MipFilter.dwEntry);
      Save(m_MipFilter, hrGet, D3DTEXF_LINEAR);
    }
    if (m_MipFilter.dwCurrent == dwFilter) return;
    m_pDevice->SetTextureStageState(0, D3DTSS_MIPFILTER, dwFilter);
    m_MipFilter.dwCurrent = dwFilter;
  }

  void Restore() {
    RestoreRender(m_Blend, D3DRS_ALPHABLENDENABLE);
    RestoreRender(m_Depth, D3DRS_ZENABLE);
    if (m_MipFilter.bSaved && m_MipFilter.dwCurrent != m_MipFilter.dwEntry) {
      m_pDevice->SetTextureStageState(0, D3DTSS_MIPFILTER, m_MipFilter.dwEntry);
      m_MipFilter.dwCurrent = m_MipFilter.dwEntry;
    }
    RestoreRender(m_SrcBlend, D3DRS_SRCBLEND);
    RestoreRender(m_DestBlend, D3DRS_DESTBLEND);
  }

 private:
  struct Saved {
    bool bSaved = false;
    DWORD dwEntry = 0;
    DWORD dwCurrent = 0;
  };

  // A device that cannot report a state is taken to have the value Draw expects.
  static void Save(Saved& state, HRESULT hrGet, DWORD dwExpected) {
    if (FAILED(hrGet)) state.dwEntry = dwExpected;
    state.dwCurrent = state.dwEntry;
    state.bSaved = true;
  }

  void SetRender(Saved& state, D3DRENDERSTATETYPE type, DWORD dwValue, DWORD dwExpected) {
    if (!state.bSaved) Save(state, m_pDevice->GetRenderState(type, &state.dwEntry), dwExpected);
    if (state.dwCurrent == dwValue) return;
    m_pDevice->SetRenderState(type, dwValue);
    state.dwCurrent = dwValue;
  }

  void RestoreRender(Saved& state, D3DRENDERSTATETYPE type) {
    if (!state.bSaved || state.dwCurrent == state.dwEntry) return;
    m_pDevice->SetRenderState(type, state.dwEntry);
    state.dwCurrent = state.dwEntry;
  }

  IDirect3DDevice8* m_pDevice;
  Saved m_Depth, m_Blend, m_SrcBlend, m_DestBlend, m_MipFilter;
};

// What Draw has bound on the device besides the render states: stream, indices,
// vertex format, world transform, material, light and texture. Each is set only when it changes and
// everything is unbound again before Draw returns.
class DrawBindings {
 public:
  explicit DrawBindings(IDirect3DDevice8* pDevice) : m_pDevice(pDevice) {}

  void SetVertexShader(DWORD dwHandle) {
    if (m_bShaderSet && m_dwShader == dwHandle) return;
    m_pDevice->SetVertexShader(dwHandle);
    m_dwShader = dwHandle;
    m_bShaderSet = true;
  }
  // Records placed in world coordinates (floor plates, the room) share one matrix.
  void SetWorld(const D3DXMATRIX& matrix) {
    if (m_bWorldSet && std::memcmp(&m_World, &matrix, sizeof matrix) == 0) return;
    m_pDevice->SetTransform(D3DTS_WORLD, &matrix);
    m_World = matrix;
    m_bWorldSet = true;
  }
  void SetMaterial(const D3DMATERIAL8& material) {
    if (m_bMaterialSet && std::memcmp(&m_Material, &material, sizeof material) == 0) return;
    m_pDevice->SetMaterial(&material);
    m_Material = material;
    m_bMaterialSet = true;
  }
  void SetStream(IDirect3DVertexBuffer8* pVB, UINT nStride) {
    if (pVB == m_pStream && nStride == m_nStride) return;
    m_pDevice->SetStreamSource(0, pVB, nStride);
    m_pStream = pVB;
    m_nStride = nStride;
  }
  void SetIndices(IDirect3DIndexBuffer8* pIB) {
    if (pIB == m_pIndices) return;
    m_pDevice->SetIndices(pIB, 0);
    m_pIndices = pIB;
  }
  // Only one light of a record is enabled at a time; 0 = none.
  void SetLight(DWORD dwLight) {
    if (dwLight == m_dwLight) return;
    if (m_dwLight != 0) m_pDevice->LightEnable(m_dwLight, FALSE);
    if (dwLight != 0) m_pDevice->LightEnable(dwLight, TRUE);
    m_dwLight = dwLight;
  }
  void TextureBound(bool bBound) { m_bTexture = bBound; }
  void UnbindTexture() {
    if (!m_bTexture) return;
    m_pDevice->SetTexture(0, nullptr);
    m_bTexture = false;
  }
  void UnbindBuffers() {
    if (m_pIndices) SetIndices(nullptr);
    if (m_pStream) SetStream(nullptr, m_nStride);
  }
  void UnbindAll() {
    UnbindTexture();
    UnbindBuffers();
    SetLight(0);
  }

 private:
  IDirect3DDevice8* m_pDevice;
  bool m_bShaderSet = false;
  DWORD m_dwShader = 0;
  bool m_bWorldSet = false;
  D3DXMATRIX m_World;
  bool m_bMaterialSet = false;
  D3DMATERIAL8 m_Material = {};
  IDirect3DVertexBuffer8* m_pStream = nullptr;
  UINT m_nStride = 0;
  IDirect3DIndexBuffer8* m_pIndices = nullptr;
  DWORD m_dwLight = 0;
  bool m_bTexture = false;
};

// The vertex and index buffers of the mesh being drawn, one reference each.
struct HeldBuffers {
  IDirect3DVertexBuffer8* pVB = nullptr;
  IDirect3DIndexBuffer8* pIB = nullptr;

  void Take(ID3DXMesh* pMesh) {
    Release();
    if (pMesh) {
      pMesh->GetVertexBuffer(&pVB);
      pMesh->GetIndexBuffer(&pIB);
    }
  }
  void Release() {
    if (pVB) pVB->Release();
    if (pIB) pIB->Release();
    pVB = nullptr;
    pIB = nullptr;
  }
};

}  // namespace

// The fixed-function pipeline serves a mesh item unless it brings a vertex shader
// that the device can run.
bool CRenderQueue::UsesFixedFunction(const RenderItem& item) const {
  return m_pContext->m_fVertexShaderVersion == 0.0f || !item.m_pShader;
}

HRESULT CRenderQueue::Draw() {
  if (!m_pHead) return S_OK;
  if (!m_pContext || !m_pContext->m_pd3dDevice) return E_FAIL;
  if (m_pHead != m_pTail) Sort();

  IDirect3DDevice8* pDevice = m_pContext->m_pd3dDevice;
  const bool bMipCaps = m_pContext->m_bCapsMipMap && m_pContext->m_bCapsMipLinear;
  DrawStates states(pDevice);
  DrawBindings bindings(pDevice);
  BYTE bLastNoDepth = 0;
  BYTE bLastBlend = 0;
  BYTE bLastQuad = 0;
  const char* strLastTexture = "";
  ID3DXMesh* pLastMesh = nullptr;
  HeldBuffers held;
  HRESULT hr = S_OK;

  for (m_pCursor = m_pHead; m_pCursor; m_pCursor = m_pCursor->pNext) {
    RenderItem& item = *m_pCursor->pItem;
    RenderNode* pNext = m_pCursor->pNext;
    const bool bLast = m_pCursor == m_pTail;
    // A broken chain (no next record before the tail) ends the walk like the last record.
    const bool bEnd = bLast || !pNext;

    if (item.m_bNoDepth != bLastNoDepth) {
      states.SetDepth(item.m_bNoDepth == 0);
      bLastNoDepth = item.m_bNoDepth;
    }
    if (item.m_bBlend != bLastBlend) {
      states.SetBlend(item.m_bBlend == 1);
      bLastBlend = item.m_bBlend;
    }
    if (item.m_bBlend == 1) states.SetBlendFactors(item.m_dwSrcBlend, item.m_dwDestBlend);
    if (item.m_bQuad != bLastQuad) {
      if (bMipCaps) states.SetMipFilter(item.m_bQuad ? D3DTEXF_NONE : D3DTEXF_LINEAR);
      bLastQuad = item.m_bQuad;
    }
    if (!SameName(item.m_strTexture, strLastTexture)) {
      // A texture that cannot be bound leaves the record untextured.
      const HRESULT hrTexture = item.m_bColorKey == 0 ? SetTextureByName(item.m_strTexture)
                                                      : SetTextureByNameEx(item.m_strTexture, item.m_dwColorKey);
      if (SUCCEEDED(hrTexture))
        bindings.TextureBound(true);
      else
        bindings.UnbindTexture();
      strLastTexture = NameOf(item.m_strTexture);
    }

    if (item.m_bQuad == 0) {
      if (item.m_pMesh != pLastMesh) {
        held.Take(item.m_pMesh);
        pLastMesh = item.m_pMesh;
      }
      if (UsesFixedFunction(item)) {
        bindings.SetWorld(item.m_matWorld);
        bindings.SetMaterial(item.m_Material);
        bindings.SetLight(item.m_dwLight);
        bindings.SetVertexShader(FVF_MESHVERTEX);
      } else {
        bindings.SetLight(0);
        bindings.SetVertexShader(item.m_pShader->GetHandle());
        item.m_pShader->UploadConstants();
        item.m_dwLight = 0;
      }
      // A record without a mesh (its mesh failed to load) draws nothing.
      if (item.m_pMesh && held.pVB && held.pIB) {
        bindings.SetStream(held.pVB, item.m_dwStride);
        bindings.SetIndices(held.pIB);
        pDevice->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, item.m_pMesh->GetNumVertices(), 0,
                                      item.m_pMesh->GetNumFaces());
      }
    } else {
      bindings.SetLight(0);
      bindings.SetVertexShader(FVF_SCREENVERTEX);
      if (item.m_pVB) {
        bindings.SetStream(item.m_pVB, sizeof(ScreenVertex));
        pDevice->DrawPrimitive(D3DPT_TRIANGLELIST, 0, item.m_dwPrimCount);
      }
    }

    // The mesh's buffers stay held through a run of its records (quads between
    // them included) and go when another mesh follows or the walk ends.
    if (bEnd || (pNext->pItem->m_bQuad == 0 && pNext->pItem->m_pMesh != pLastMesh)) {
      bindings.UnbindBuffers();
      held.Release();
      pLastMesh = nullptr;
    }

    if (bLast) break;
    if (!pNext) {
      hr = E_FAIL;  // the chain ends before the tail
      break;
    }
  }

  bindings.UnbindAll();
  held.Release();
  states.Restore();
  return hr;
}

HRESULT CRenderQueue::SetTextureByName(const char* strName) { return LoadAndBindTexture(strName, false, 0); }

HRESULT CRenderQueue::SetTextureByNameEx(const char* strName, DWORD dwColorKey) {
  return LoadAndBindTexture(strName, true, dwColorKey);
}

HRESULT CRenderQueue::LoadAndBindTexture(const char* strName, bool bColorKey, DWORD dwColorKey) {
  if (!strName || !strName[0] || !m_pContext || !m_pContext->m_pd3dDevice || !m_pContext->m_pTextureCache)
    return E_FAIL;
  IDirect3DDevice8* pDevice = m_pContext->m_pd3dDevice;
  IDirect3DTexture8* pTexture = nullptr;
  if (SUCCEEDED(m_pContext->m_pTextureCache->Find(strName, &pTexture))) {
    pDevice->SetTexture(0, pTexture);
    return S_OK;
  }

  CResourceBytes resource(m_pContext->m_strResLib, strName);
  if (resource.GetResult() != CResourceBytes::OK) return E_FAIL;
  HRESULT hr;
  if (bColorKey)
    hr = D3DXCreateTextureFromFileInMemoryEx(pDevice, resource.Bytes(), resource.Size(), 0, 0, 0, 0, D3DFMT_UNKNOWN,
                                             D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, dwColorKey, nullptr, nullptr,
                                             &pTexture);
  else
    hr = D3DXCreateTextureFromFileInMemory(pDevice, resource.Bytes(), resource.Size(), &pTexture);
  if (FAILED(hr) || !pTexture) return E_FAIL;
  m_pContext->m_pTextureCache->Add(pTexture, strName);  // the cache keeps the reference
  pDevice->SetTexture(0, pTexture);
  return S_OK;
}

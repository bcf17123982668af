#include "shell/d3dfile.h"

#include <cstring>
#include <string>

#include "shell/dxutil_media.h"

namespace {

// The object's name, cut to the 511 characters a frame or mesh name holds; empty when it has none.
void ReadName(IDirectXFileData* pFileData, char (&strName)[512]) {
  std::memset(strName, 0, sizeof(strName));
  DWORD dwSize = 0;
  if (FAILED(pFileData->GetName(nullptr, &dwSize)) || dwSize == 0) return;
  std::string name(dwSize, '\0');
  if (FAILED(pFileData->GetName(&name[0], &dwSize))) return;
  std::strncpy(strName, name.c_str(), sizeof(strName) - 1);
}

}  // namespace

HRESULT CD3DFile::Create(IDirect3DDevice8* pd3dDevice, const char* strFilename) {
  IDirectXFile* pDXFile = nullptr;
  if (FAILED(DirectXFileCreate(&pDXFile)) || !pDXFile) return E_FAIL;
  if (FAILED(pDXFile->RegisterTemplates(const_cast<unsigned char*>(D3DRM_XTEMPLATES), D3DRM_XTEMPLATE_BYTES))) {
    pDXFile->Release();
    return E_FAIL;
  }

  std::string path;
  if (!DXUtil_FindMediaFile(strFilename, &path)) path = strFilename ? strFilename : "";
  IDirectXFileEnumObject* pEnumObj = nullptr;
  HRESULT hr = pDXFile->CreateEnumObject(const_cast<char*>(path.c_str()), DXFILELOAD_FROMFILE, &pEnumObj);
  if (FAILED(hr) || !pEnumObj) {
    pDXFile->Release();
    return FAILED(hr) ? hr : E_FAIL;
  }

  IDirectXFileData* pFileData = nullptr;
  while (SUCCEEDED(pEnumObj->GetNextDataObject(&pFileData)) && pFileData) {
    hr = LoadFrame(pd3dDevice, pFileData, this);
    pFileData->Release();
    pFileData = nullptr;
    if (FAILED(hr)) {
      pEnumObj->Release();
      pDXFile->Release();
      return E_FAIL;
    }
  }
  pEnumObj->Release();
  pDXFile->Release();
  return S_OK;
}

HRESULT CD3DFile::LoadFrame(IDirect3DDevice8* pd3dDevice, IDirectXFileData* pFileData, CD3DFrame* pParentFrame) {
  const GUID* pGUID = nullptr;
  HRESULT hr = pFileData->GetType(&pGUID);
  if (FAILED(hr)) return hr;
  if (!pGUID) return E_FAIL;

  if (*pGUID == TID_D3DRMMesh) return LoadMesh(pd3dDevice, pFileData, pParentFrame);

  if (*pGUID == TID_D3DRMFrameTransformMatrix) {
    DWORD cbSize = 0;
    void* pData = nullptr;
    hr = pFileData->GetData(nullptr, &cbSize, &pData);
    if (FAILED(hr)) return hr;
    // A matrix is 16 floats; less is a damaged file.
    if (!pData || cbSize < 16 * sizeof(FLOAT)) return E_FAIL;
    FLOAT values[16];
    std::memcpy(values, pData, sizeof(values));
    pParentFrame->SetMatrix(values);
    return S_OK;
  }

  if (*pGUID == TID_D3DRMFrame) {
    char strName[512];
    ReadName(pFileData, strName);
    CD3DFrame* pFrame = new CD3DFrame(strName);
    pFrame->m_pNext = pParentFrame->m_pChild;
    pParentFrame->m_pChild = pFrame;

    IDirectXFileObject* pChildObj = nullptr;
    while (SUCCEEDED(pFileData->GetNextObject(&pChildObj)) && pChildObj) {
      IDirectXFileData* pChildData = nullptr;
      if (SUCCEEDED(pChildObj->QueryInterface(IID_IDirectXFileData, reinterpret_cast<void**>(&pChildData))) &&
          pChildData) {
        hr = LoadFrame(pd3dDevice, pChildData, pFrame);
        pChildData->Release();
      } else {
        // References to objects elsewhere and binary objects carry nothing to load here.
        IDirectXFileDataReference* pReference = nullptr;
        hr = pChildObj->QueryInterface(IID_IDirectXFileDataReference, reinterpret_cast<void**>(&pReference));
        if (SUCCEEDED(hr) && pReference) {
          pReference->Release();
        } else {
          IDirectXFileBinary* pBinary = nullptr;
          hr = pChildObj->QueryInterface(IID_IDirectXFileBinary, reinterpret_cast<void**>(&pBinary));
          if (SUCCEEDED(hr) && pBinary) pBinary->Release();
        }
      }
      pChildObj->Release();
      pChildObj = nullptr;
      if (FAILED(hr)) return hr;
    }
  }
  return S_OK;
}

HRESULT CD3DFile::LoadMesh(IDirect3DDevice8* pd3dDevice, IDirectXFileData* pFileData, CD3DFrame* pParentFrame) {
  if (pParentFrame->m_pMesh) return E_FAIL;  // a frame holds one mesh

  char strName[512];
  ReadName(pFileData, strName);
  pParentFrame->m_pMesh = new CD3DMesh(strName);
  const HRESULT hr = pParentFrame->m_pMesh->Create(pd3dDevice, pFileData);
  return FAILED(hr) ? hr : S_OK;
}

HRESULT CD3DFile::Render(IDirect3DDevice8* pd3dDevice) {
  D3DXMATRIX matSavedWorld, matWorld;
  pd3dDevice->GetTransform(D3DTS_WORLD, &matSavedWorld);
  D3DXMatrixMultiply(&matWorld, &matSavedWorld, &m_mat);
  pd3dDevice->SetTransform(D3DTS_WORLD, &matWorld);

  if (m_pChild) m_pChild->Render(pd3dDevice, true, false);

  pd3dDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  pd3dDevice->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  pd3dDevice->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  if (m_pChild) m_pChild->Render(pd3dDevice, false, true);
  pd3dDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);

  pd3dDevice->SetTransform(D3DTS_WORLD, &matSavedWorld);
  return S_OK;
}

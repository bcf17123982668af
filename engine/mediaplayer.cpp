#include "engine/mediaplayer.h"

#include "platform/media/wide_strings.h"

CMediaPlayer::CMediaPlayer() {
  if (SUCCEEDED(CoInitialize(nullptr))) m_bComInitialised = 1;
}

CMediaPlayer::~CMediaPlayer() { Shutdown(); }

void CMediaPlayer::ReleaseGraph() {
  if (m_pControl) {
    m_pControl->Stop();
    m_pControl->Release();
    m_pControl = nullptr;
  }
  if (m_pGraph) {
    m_pGraph->Release();
    m_pGraph = nullptr;
  }
  m_bLoaded = 0;
}

HRESULT CMediaPlayer::Open(const char* strFileName) {
  ReleaseGraph();
  if (!strFileName) return E_POINTER;
  // After a Shutdown the player may be opened again.
  if (!m_bComInitialised && SUCCEEDED(CoInitialize(nullptr))) m_bComInitialised = 1;

  WCHAR wideName[MAX_PATH];
  if (MultiByteToWideChar(CP_ACP, 0, strFileName, -1, wideName, MAX_PATH) == 0) {
    return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  }

  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                reinterpret_cast<void**>(&m_pGraph));
  if (FAILED(hr)) {
    m_pGraph = nullptr;
    return hr;
  }
  hr = m_pGraph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&m_pControl));
  if (FAILED(hr) || !m_pControl) {
    m_pControl = nullptr;
    ReleaseGraph();
    return FAILED(hr) ? hr : E_NOINTERFACE;
  }
  hr = m_pGraph->RenderFile(wideName, nullptr);
  if (FAILED(hr)) {
    ReleaseGraph();
    return hr;
  }
  m_bLoaded = 1;
  return hr;
}

void CMediaPlayer::Play() {
  if (m_bLoaded && m_pControl) m_pControl->Run();
}

void CMediaPlayer::Pause() {
  if (m_bLoaded && m_pControl) m_pControl->Pause();
}

void CMediaPlayer::Stop() {
  if (m_bLoaded && m_pControl) m_pControl->Stop();
}

void CMediaPlayer::Shutdown() {
  ReleaseGraph();
  if (m_bComInitialised) {
    CoUninitialize();
    m_bComInitialised = 0;
  }
}

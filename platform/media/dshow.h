// Media playback with the filter-graph interfaces: a graph renders one sound or video
// file, its media control runs, pauses and stops it, its media event reports the end.
// Backed by a GStreamer playbin; nothing of GStreamer shows here.
#pragma once

#include "platform/win32/com.h"
#include "platform/win32/win32.h"

#define CLSCTX_INPROC_SERVER 0x1u

#ifndef E_ABORT
#define E_ABORT static_cast<HRESULT>(0x80004004u)
#endif
#ifndef E_UNEXPECTED
#define E_UNEXPECTED static_cast<HRESULT>(0x8000FFFFu)
#endif
#ifndef CO_E_NOTINITIALIZED
#define CO_E_NOTINITIALIZED static_cast<HRESULT>(0x800401F0u)
#endif
#ifndef REGDB_E_CLASSNOTREG
#define REGDB_E_CLASSNOTREG static_cast<HRESULT>(0x80040154u)
#endif
#ifndef HRESULT_FROM_WIN32
#define HRESULT_FROM_WIN32(code) \
  ((code) <= 0 ? static_cast<HRESULT>(code) : MAKE_HRESULT(1, 7, static_cast<DWORD>(code) & 0xFFFF))
#endif
#ifndef ERROR_FILENAME_EXCED_RANGE
#define ERROR_FILENAME_EXCED_RANGE 206L
#endif
#define VFW_E_UNSUPPORTED_STREAM static_cast<HRESULT>(0x8004022Fu)
#define VFW_S_STATE_INTERMEDIATE static_cast<HRESULT>(0x00040237)

#ifndef INFINITE
#define INFINITE 0xFFFFFFFFu
#endif

// Event codes of IMediaEvent.
#define EC_COMPLETE 0x01
#define EC_USERABORT 0x02
#define EC_ERRORABORT 0x03

typedef LONG OAFilterState;
enum { State_Stopped = 0, State_Paused = 1, State_Running = 2 };

extern const CLSID CLSID_FilterGraph;
extern const IID IID_IGraphBuilder;
extern const IID IID_IMediaControl;
extern const IID IID_IMediaEvent;

struct IGraphBuilder : IUnknown {
  // Builds the playback graph for the file; fails when it is missing or cannot be
  // decoded. The graph is then stopped. The play list must be null.
  virtual HRESULT RenderFile(LPCWSTR file, LPCWSTR playList) = 0;
};

struct IMediaControl : IUnknown {
  virtual HRESULT Run() = 0;
  virtual HRESULT Pause() = 0;
  virtual HRESULT Stop() = 0;  // also rewinds to the start
  virtual HRESULT GetState(LONG msTimeout, OAFilterState* state) = 0;
};

struct IMediaEvent : IUnknown {
  // Waits (INFINITE, or at most msTimeout) until playback ends: EC_COMPLETE at the end of
  // every stream, EC_ERRORABORT when it failed. E_ABORT when the time ran out.
  virtual HRESULT WaitForCompletion(LONG msTimeout, LONG* evCode) = 0;
};

// Creates a filter graph (the only class here). Needs CoInitialize on the thread.
HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD clsContext, REFIID riid, LPVOID* ppv);

// For tests: graphs come from this function instead (null restores the real graphs).
typedef HRESULT (*PFN_CREATE_FILTER_GRAPH)(REFIID riid, void** ppv);
void MediaSetFilterGraphFactory(PFN_CREATE_FILTER_GRAPH factory);

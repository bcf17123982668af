// The filter graph over a GStreamer playbin. Headless runs (SDL_AUDIODRIVER=dummy, no
// display) play into sinks that keep the clock but output nothing.
#include <gst/gst.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/media/dshow.h"
#include "platform/media/wide_strings.h"

const CLSID CLSID_FilterGraph = {0xe436ebb3, 0x524f, 0x11ce, {0x9f, 0x53, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};
const IID IID_IGraphBuilder = {0x56a868a9, 0x0ad4, 0x11ce, {0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};
const IID IID_IMediaControl = {0x56a868b1, 0x0ad4, 0x11ce, {0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};
const IID IID_IMediaEvent = {0x56a868b6, 0x0ad4, 0x11ce, {0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};

namespace {

PFN_CREATE_FILTER_GRAPH g_factory = nullptr;

constexpr GstClockTime kPrerollTimeout = 10 * GST_SECOND;

bool InitGStreamer() {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] {
    GError* error = nullptr;
    ok = gst_init_check(nullptr, nullptr, &error) != FALSE;
    if (error) {
      std::fprintf(stderr, "media: GStreamer start failed: %s\n", error->message);
      g_error_free(error);
    }
  });
  return ok;
}

bool AudioIsSilent() {
  const char* driver = std::getenv("SDL_AUDIODRIVER");
  return driver && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "disk") == 0);
}

GstElement* SilentSink() {
  GstElement* sink = gst_element_factory_make("fakesink", nullptr);
  if (sink) g_object_set(sink, "sync", TRUE, nullptr);
  return sink;
}

GstClockTime Timeout(LONG ms) {
  return static_cast<DWORD>(ms) == INFINITE ? GST_CLOCK_TIME_NONE : static_cast<GstClockTime>(ms) * GST_MSECOND;
}

class CFilterGraph final : public IGraphBuilder, public IMediaControl, public IMediaEvent {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IGraphBuilder) {
      *ppv = static_cast<IGraphBuilder*>(this);
    } else if (riid == IID_IMediaControl) {
      *ppv = static_cast<IMediaControl*>(this);
    } else if (riid == IID_IMediaEvent) {
      *ppv = static_cast<IMediaEvent*>(this);
    } else {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++m_refs; }
  ULONG Release() override {
    const ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
  }

  HRESULT RenderFile(LPCWSTR file, LPCWSTR playList) override {
    if (!file) return E_POINTER;
    if (playList) return E_INVALIDARG;
    Teardown();
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, file, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return E_INVALIDARG;
    std::string path(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, file, -1, &path[0], bytes, nullptr, nullptr);
    path.resize(static_cast<size_t>(bytes) - 1);

    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    if (!InitGStreamer()) return E_FAIL;

    GError* error = nullptr;
    gchar* uri = gst_filename_to_uri(path.c_str(), &error);
    if (!uri) {
      if (error) g_error_free(error);
      return E_INVALIDARG;
    }
    m_pipeline = gst_element_factory_make("playbin", nullptr);
    if (!m_pipeline) {
      g_free(uri);
      std::fprintf(stderr, "media: no playbin element (GStreamer base plug-ins missing)\n");
      return REGDB_E_CLASSNOTREG;
    }
    gst_object_ref_sink(m_pipeline);
    g_object_set(m_pipeline, "uri", uri, nullptr);
    g_free(uri);
    if (AudioIsSilent()) g_object_set(m_pipeline, "audio-sink", SilentSink(), nullptr);
    if (Win32IsHeadless()) g_object_set(m_pipeline, "video-sink", SilentSink(), nullptr);

    // Prerolling proves that the file can be decoded; then the graph stands stopped.
    GstState state = GST_STATE_NULL;
    if (gst_element_set_state(m_pipeline, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE ||
        gst_element_get_state(m_pipeline, &state, nullptr, kPrerollTimeout) != GST_STATE_CHANGE_SUCCESS ||
        state != GST_STATE_PAUSED) {
      Teardown();
      return VFW_E_UNSUPPORTED_STREAM;
    }
    gst_element_set_state(m_pipeline, GST_STATE_READY);
    DrainBus();
    return S_OK;
  }

  HRESULT Run() override { return SetState(GST_STATE_PLAYING); }
  HRESULT Pause() override { return SetState(GST_STATE_PAUSED); }
  HRESULT Stop() override {
    const HRESULT hr = SetState(GST_STATE_READY);
    if (SUCCEEDED(hr)) {
      gst_element_get_state(m_pipeline, nullptr, nullptr, kPrerollTimeout);
      DrainBus();
      m_completion = 0;
    }
    return hr;
  }

  HRESULT GetState(LONG msTimeout, OAFilterState* state) override {
    if (!state) return E_POINTER;
    *state = State_Stopped;
    if (!m_pipeline) return S_OK;
    GstState current = GST_STATE_NULL;
    GstState pending = GST_STATE_VOID_PENDING;
    const GstStateChangeReturn ret = gst_element_get_state(m_pipeline, &current, &pending, Timeout(msTimeout));
    const GstState shown = ret == GST_STATE_CHANGE_ASYNC && pending != GST_STATE_VOID_PENDING ? pending : current;
    *state = shown == GST_STATE_PLAYING ? State_Running : shown == GST_STATE_PAUSED ? State_Paused : State_Stopped;
    return ret == GST_STATE_CHANGE_ASYNC ? VFW_S_STATE_INTERMEDIATE : S_OK;
  }

  HRESULT WaitForCompletion(LONG msTimeout, LONG* evCode) override {
    if (!evCode) return E_POINTER;
    *evCode = 0;
    if (!m_pipeline) return E_UNEXPECTED;
    if (!m_completion) {
      GstBus* bus = gst_element_get_bus(m_pipeline);
      GstMessage* message = gst_bus_timed_pop_filtered(
          bus, Timeout(msTimeout), static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
      gst_object_unref(bus);
      if (message) {
        m_completion = GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS ? EC_COMPLETE : EC_ERRORABORT;
        gst_message_unref(message);
      }
    }
    if (!m_completion) return E_ABORT;
    *evCode = m_completion;
    return S_OK;
  }

 private:
  ~CFilterGraph() override { Teardown(); }

  HRESULT SetState(GstState state) {
    if (!m_pipeline) return E_UNEXPECTED;
    switch (gst_element_set_state(m_pipeline, state)) {
      case GST_STATE_CHANGE_FAILURE:
        return E_FAIL;
      case GST_STATE_CHANGE_ASYNC:
        return S_FALSE;  // still on its way
      default:
        return S_OK;
    }
  }

  void DrainBus() {
    GstBus* bus = gst_element_get_bus(m_pipeline);
    while (GstMessage* message = gst_bus_pop(bus)) gst_message_unref(message);
    gst_object_unref(bus);
  }

  void Teardown() {
    if (m_pipeline) {
      gst_element_set_state(m_pipeline, GST_STATE_NULL);
      gst_object_unref(m_pipeline);
      m_pipeline = nullptr;
    }
    m_completion = 0;
  }

  std::atomic<ULONG> m_refs{1};
  GstElement* m_pipeline = nullptr;
  LONG m_completion = 0;  // EC_COMPLETE or EC_ERRORABORT once seen
};

}  // namespace

void MediaSetFilterGraphFactory(PFN_CREATE_FILTER_GRAPH factory) { g_factory = factory; }

HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD clsContext, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (CoInitializeCount() <= 0) return CO_E_NOTINITIALIZED;
  if (clsid != CLSID_FilterGraph || !(clsContext & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
  if (outer) return E_NOINTERFACE;  // no aggregation
  if (g_factory) return g_factory(riid, ppv);
  CFilterGraph* graph = new CFilterGraph();
  const HRESULT hr = graph->QueryInterface(riid, ppv);
  graph->Release();
  return hr;
}

#include "tests/support/d3d8/recording_device.h"

#include <algorithm>
#include <cstdio>

#include "platform/d3d8/pixel_format.h"

namespace {

DWORD Bits(float value) {
  DWORD bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

DWORD Ptr(const void* p) { return static_cast<DWORD>(reinterpret_cast<uintptr_t>(p)); }

D3DPRESENT_PARAMETERS DefaultParams() {
  D3DPRESENT_PARAMETERS p;
  std::memset(&p, 0, sizeof p);
  p.BackBufferWidth = 640;
  p.BackBufferHeight = 480;
  p.BackBufferFormat = D3DFMT_X8R8G8B8;
  p.BackBufferCount = 1;
  p.SwapEffect = D3DSWAPEFFECT_DISCARD;
  p.Windowed = TRUE;
  return p;
}

D3DCallRecord MakeRecord(const char* method, std::vector<DWORD> values, std::vector<const void*> objects) {
  D3DCallRecord record;
  record.method = method;
  for (DWORD v : values) {
    if (!record.args.empty()) record.args += ", ";
    record.args += std::to_string(v);
  }
  for (const void* o : objects) {
    if (!record.args.empty()) record.args += ", ";
    char text[32];
    std::snprintf(text, sizeof text, "%p", o);
    record.args += o ? text : "null";
  }
  record.values = std::move(values);
  record.objects = std::move(objects);
  return record;
}

}  // namespace

// ===========================================================================
CRecordingDevice::CRecordingDevice(CRecordingDirect3D* owner, const D3DPRESENT_PARAMETERS* params, HWND focusWindow,
                                   DWORD behaviorFlags)
    : m_owner(owner), m_host(std::make_shared<CMemoryResourceHost>()) {
  if (m_owner) m_owner->AddRef();
  m_host->device = this;
  m_params = params ? *params : DefaultParams();
  if (m_params.BackBufferWidth == 0) m_params.BackBufferWidth = 640;
  if (m_params.BackBufferHeight == 0) m_params.BackBufferHeight = 480;
  m_creation = D3DDEVICE_CREATION_PARAMETERS{0, D3DDEVTYPE_HAL, focusWindow, behaviorFlags};
  m_caps = D3DDefaultCaps();
  m_displayMode = D3DDISPLAYMODE{m_params.BackBufferWidth, m_params.BackBufferHeight, 60,
                                 m_params.BackBufferFormat ? m_params.BackBufferFormat : D3DFMT_X8R8G8B8};
  m_model.SetDefaults(m_params.BackBufferWidth, m_params.BackBufferHeight, m_params.EnableAutoDepthStencil != 0);
  std::memset(&m_gamma, 0, sizeof m_gamma);
}

CRecordingDevice::~CRecordingDevice() {
  m_host->device = nullptr;
  if (m_owner) {
    m_owner->ForgetDevice(this);
    m_owner->Release();
  }
}

void CRecordingDevice::Log(const char* method, std::vector<DWORD> values, std::vector<const void*> objects) {
  m_calls.push_back(MakeRecord(method, std::move(values), std::move(objects)));
}

bool CRecordingDevice::Failing(const char* method, HRESULT* result) const {
  auto it = m_failures.find(method);
  if (it == m_failures.end()) return false;
  *result = it->second;
  return true;
}

#define RECORD_FAILURE(name)             \
  do {                                   \
    HRESULT failure_;                    \
    if (Failing(name, &failure_)) return failure_; \
  } while (0)

size_t CRecordingDevice::CallCount(const std::string& method) const {
  return static_cast<size_t>(
      std::count_if(m_calls.begin(), m_calls.end(), [&](const D3DCallRecord& r) { return r.method == method; }));
}

std::vector<D3DCallRecord> CRecordingDevice::CallsTo(const std::string& method) const {
  std::vector<D3DCallRecord> result;
  for (const auto& r : m_calls)
    if (r.method == method) result.push_back(r);
  return result;
}

std::vector<std::string> CRecordingDevice::MethodNames() const {
  std::vector<std::string> names;
  for (const auto& r : m_calls) names.push_back(r.method);
  return names;
}

DWORD CRecordingDevice::StageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type) const {
  if (stage >= D3DMAXTEXTURESTAGES || type >= D3DTSS_MAX_COUNT) return 0;
  return State().stageStates[stage][type];
}

D3DMATRIX CRecordingDevice::Transform(D3DTRANSFORMSTATETYPE state) const { return m_model.Transform(state); }

IDirect3DBaseTexture8* CRecordingDevice::BoundTexture(DWORD stage) const {
  return stage < D3DMAXTEXTURESTAGES ? State().textures[stage] : nullptr;
}

size_t CRecordingDevice::LiveResourceCount() const { return m_host->LiveCount(); }
size_t CRecordingDevice::LiveDefaultPoolResourceCount() const { return m_host->LiveCount(D3DPOOL_DEFAULT); }

// --- Device ---
HRESULT CRecordingDevice::TestCooperativeLevel() {
  Log("TestCooperativeLevel", {});
  return m_cooperativeLevel;
}

UINT CRecordingDevice::GetAvailableTextureMem() {
  Log("GetAvailableTextureMem", {});
  return 64u << 20;
}

HRESULT CRecordingDevice::ResourceManagerDiscardBytes(DWORD bytes) {
  Log("ResourceManagerDiscardBytes", {bytes});
  return S_OK;
}

HRESULT CRecordingDevice::GetDirect3D(IDirect3D8** d3d) {
  Log("GetDirect3D", {});
  if (!d3d || !m_owner) return D3DERR_INVALIDCALL;
  *d3d = m_owner;
  m_owner->AddRef();
  return S_OK;
}

HRESULT CRecordingDevice::GetDeviceCaps(D3DCAPS8* caps) {
  Log("GetDeviceCaps", {});
  RECORD_FAILURE("GetDeviceCaps");
  if (!caps) return D3DERR_INVALIDCALL;
  *caps = m_caps;
  return S_OK;
}

HRESULT CRecordingDevice::GetDisplayMode(D3DDISPLAYMODE* mode) {
  Log("GetDisplayMode", {});
  RECORD_FAILURE("GetDisplayMode");
  if (!mode) return D3DERR_INVALIDCALL;
  *mode = m_displayMode;
  return S_OK;
}

HRESULT CRecordingDevice::GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* parameters) {
  Log("GetCreationParameters", {});
  if (!parameters) return D3DERR_INVALIDCALL;
  *parameters = m_creation;
  return S_OK;
}

HRESULT CRecordingDevice::SetCursorProperties(UINT x, UINT y, IDirect3DSurface8* bitmap) {
  Log("SetCursorProperties", {x, y}, {bitmap});
  RECORD_FAILURE("SetCursorProperties");
  if (!bitmap) return D3DERR_INVALIDCALL;
  D3DSURFACE_DESC desc;
  if (FAILED(bitmap->GetDesc(&desc)) || desc.Format != D3DFMT_A8R8G8B8 || x >= desc.Width || y >= desc.Height)
    return D3DERR_INVALIDCALL;
  return S_OK;
}

void CRecordingDevice::SetCursorPosition(int x, int y, DWORD flags) {
  Log("SetCursorPosition", {static_cast<DWORD>(x), static_cast<DWORD>(y), flags});
  m_cursorX = static_cast<UINT>(x);
  m_cursorY = static_cast<UINT>(y);
}

BOOL CRecordingDevice::ShowCursor(BOOL show) {
  Log("ShowCursor", {static_cast<DWORD>(show)});
  const BOOL old = m_cursorShown;
  m_cursorShown = show ? TRUE : FALSE;
  return old;
}

HRESULT CRecordingDevice::CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS*, IDirect3DSwapChain8** chain) {
  Log("CreateAdditionalSwapChain", {});
  if (chain) *chain = nullptr;
  return D3DERR_NOTAVAILABLE;
}

HRESULT CRecordingDevice::Reset(D3DPRESENT_PARAMETERS* params) {
  Log("Reset", {params ? params->BackBufferWidth : 0u, params ? params->BackBufferHeight : 0u,
                params ? static_cast<DWORD>(params->BackBufferFormat) : 0u});
  RECORD_FAILURE("Reset");
  if (!params) return D3DERR_INVALIDCALL;
  // Default-pool resources must be gone first, as on a real device.
  if (m_host->LiveCount(D3DPOOL_DEFAULT) > 0) return D3DERR_INVALIDCALL;
  m_params = *params;
  if (m_params.BackBufferWidth == 0) m_params.BackBufferWidth = 640;
  if (m_params.BackBufferHeight == 0) m_params.BackBufferHeight = 480;
  m_model.SetDefaults(m_params.BackBufferWidth, m_params.BackBufferHeight, m_params.EnableAutoDepthStencil != 0);
  m_inScene = false;
  if (m_cooperativeLevel == D3DERR_DEVICENOTRESET) m_cooperativeLevel = S_OK;
  return S_OK;
}

HRESULT CRecordingDevice::Present(CONST RECT* source, CONST RECT* dest, HWND window, CONST RGNDATA* region) {
  Log("Present", {}, {source, dest, window, region});
  RECORD_FAILURE("Present");
  if (m_cooperativeLevel == D3DERR_DEVICELOST) return D3DERR_DEVICELOST;
  return S_OK;
}

HRESULT CRecordingDevice::GetBackBuffer(UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface8** surface) {
  Log("GetBackBuffer", {index, static_cast<DWORD>(type)});
  RECORD_FAILURE("GetBackBuffer");
  if (!surface || index >= std::max(1u, m_params.BackBufferCount)) return D3DERR_INVALIDCALL;
  const D3DFORMAT format = m_params.BackBufferFormat ? m_params.BackBufferFormat : D3DFMT_X8R8G8B8;
  *surface = new CMemorySurface(m_host, m_params.BackBufferWidth, m_params.BackBufferHeight, format,
                                D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT);
  return S_OK;
}

HRESULT CRecordingDevice::GetRasterStatus(D3DRASTER_STATUS* status) {
  Log("GetRasterStatus", {});
  if (!status) return D3DERR_INVALIDCALL;
  *status = D3DRASTER_STATUS{FALSE, 0};
  return S_OK;
}

void CRecordingDevice::SetGammaRamp(DWORD flags, CONST D3DGAMMARAMP* ramp) {
  Log("SetGammaRamp", {flags}, {ramp});
  if (ramp) m_gamma = *ramp;
}

void CRecordingDevice::GetGammaRamp(D3DGAMMARAMP* ramp) {
  Log("GetGammaRamp", {});
  if (ramp) *ramp = m_gamma;
}

HRESULT CRecordingDevice::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                        D3DPOOL pool, IDirect3DTexture8** texture) {
  Log("CreateTexture", {width, height, levels, usage, static_cast<DWORD>(format), static_cast<DWORD>(pool)});
  RECORD_FAILURE("CreateTexture");
  if (!texture) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  if (width == 0 || height == 0 || !D3DIsTextureFormat(format)) return D3DERR_INVALIDCALL;
  *texture = new CMemoryTexture(m_host, width, height, levels, usage, format, pool);
  return S_OK;
}

HRESULT CRecordingDevice::CreateVolumeTexture(UINT width, UINT height, UINT depth, UINT levels, DWORD usage,
                                              D3DFORMAT format, D3DPOOL pool, IDirect3DVolumeTexture8** texture) {
  Log("CreateVolumeTexture", {width, height, depth, levels, usage, static_cast<DWORD>(format),
                              static_cast<DWORD>(pool)});
  if (texture) *texture = nullptr;
  return D3DERR_NOTAVAILABLE;
}

HRESULT CRecordingDevice::CreateCubeTexture(UINT edge, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                            IDirect3DCubeTexture8** texture) {
  Log("CreateCubeTexture", {edge, levels, usage, static_cast<DWORD>(format), static_cast<DWORD>(pool)});
  if (texture) *texture = nullptr;
  return D3DERR_NOTAVAILABLE;
}

HRESULT CRecordingDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                             IDirect3DVertexBuffer8** buffer) {
  Log("CreateVertexBuffer", {length, usage, fvf, static_cast<DWORD>(pool)});
  RECORD_FAILURE("CreateVertexBuffer");
  if (!buffer) return D3DERR_INVALIDCALL;
  *buffer = nullptr;
  if (length == 0) return D3DERR_INVALIDCALL;
  *buffer = new CMemoryVertexBuffer(m_host, length, usage, fvf, pool);
  return S_OK;
}

HRESULT CRecordingDevice::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                            IDirect3DIndexBuffer8** buffer) {
  Log("CreateIndexBuffer", {length, usage, static_cast<DWORD>(format), static_cast<DWORD>(pool)});
  RECORD_FAILURE("CreateIndexBuffer");
  if (!buffer) return D3DERR_INVALIDCALL;
  *buffer = nullptr;
  if (length == 0 || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32)) return D3DERR_INVALIDCALL;
  *buffer = new CMemoryIndexBuffer(m_host, length, usage, format, pool);
  return S_OK;
}

HRESULT CRecordingDevice::CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE sample,
                                             BOOL lockable, IDirect3DSurface8** surface) {
  Log("CreateRenderTarget", {width, height, static_cast<DWORD>(format), static_cast<DWORD>(sample),
                             static_cast<DWORD>(lockable)});
  if (surface) *surface = nullptr;
  return D3DERR_NOTAVAILABLE;
}

HRESULT CRecordingDevice::CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                                    D3DMULTISAMPLE_TYPE sample, IDirect3DSurface8** surface) {
  Log("CreateDepthStencilSurface", {width, height, static_cast<DWORD>(format), static_cast<DWORD>(sample)});
  RECORD_FAILURE("CreateDepthStencilSurface");
  if (!surface || width == 0 || height == 0 || !D3DIsDepthFormat(format)) return D3DERR_INVALIDCALL;
  *surface = new CMemorySurface(m_host, width, height, format, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT);
  return S_OK;
}

HRESULT CRecordingDevice::CreateImageSurface(UINT width, UINT height, D3DFORMAT format, IDirect3DSurface8** surface) {
  Log("CreateImageSurface", {width, height, static_cast<DWORD>(format)});
  RECORD_FAILURE("CreateImageSurface");
  if (!surface) return D3DERR_INVALIDCALL;
  *surface = nullptr;
  if (width == 0 || height == 0 || D3DFormatBytesPerPixel(format) == 0) return D3DERR_INVALIDCALL;
  *surface = new CMemorySurface(m_host, width, height, format, 0, D3DPOOL_SYSTEMMEM);
  return S_OK;
}

HRESULT CRecordingDevice::CopyRects(IDirect3DSurface8* source, CONST RECT* rects, UINT count,
                                    IDirect3DSurface8* destination, CONST POINT* points) {
  Log("CopyRects", {count}, {source, rects, destination, points});
  return source && destination ? S_OK : D3DERR_INVALIDCALL;
}

HRESULT CRecordingDevice::UpdateTexture(IDirect3DBaseTexture8* source, IDirect3DBaseTexture8* destination) {
  Log("UpdateTexture", {}, {source, destination});
  return source && destination ? S_OK : D3DERR_INVALIDCALL;
}

HRESULT CRecordingDevice::GetFrontBuffer(IDirect3DSurface8* destination) {
  Log("GetFrontBuffer", {}, {destination});
  return destination ? S_OK : D3DERR_INVALIDCALL;
}

HRESULT CRecordingDevice::SetRenderTarget(IDirect3DSurface8* target, IDirect3DSurface8* depth) {
  Log("SetRenderTarget", {}, {target, depth});
  return D3DERR_NOTAVAILABLE;
}

HRESULT CRecordingDevice::GetRenderTarget(IDirect3DSurface8** target) {
  Log("GetRenderTarget", {});
  return GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, target);
}

HRESULT CRecordingDevice::GetDepthStencilSurface(IDirect3DSurface8** surface) {
  Log("GetDepthStencilSurface", {});
  if (!surface) return D3DERR_INVALIDCALL;
  *surface = nullptr;
  if (!m_params.EnableAutoDepthStencil) return D3DERR_NOTFOUND;
  *surface = new CMemorySurface(m_host, m_params.BackBufferWidth, m_params.BackBufferHeight,
                                m_params.AutoDepthStencilFormat, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT);
  return S_OK;
}

HRESULT CRecordingDevice::BeginScene() {
  Log("BeginScene", {});
  RECORD_FAILURE("BeginScene");
  if (m_inScene) return D3DERR_INVALIDCALL;
  m_inScene = true;
  return S_OK;
}

HRESULT CRecordingDevice::EndScene() {
  Log("EndScene", {});
  RECORD_FAILURE("EndScene");
  if (!m_inScene) return D3DERR_INVALIDCALL;
  m_inScene = false;
  return S_OK;
}

HRESULT CRecordingDevice::Clear(DWORD count, CONST D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                                DWORD stencil) {
  Log("Clear", {count, flags, color, Bits(z), stencil}, {rects});
  RECORD_FAILURE("Clear");
  return S_OK;
}

HRESULT CRecordingDevice::SetTransform(D3DTRANSFORMSTATETYPE state, CONST D3DMATRIX* matrix) {
  Log("SetTransform", {static_cast<DWORD>(state)}, {matrix});
  RECORD_FAILURE("SetTransform");
  if (!matrix) return D3DERR_INVALIDCALL;
  return m_model.SetTransform(state, *matrix);
}

HRESULT CRecordingDevice::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
  Log("GetTransform", {static_cast<DWORD>(state)});
  if (!matrix) return D3DERR_INVALIDCALL;
  *matrix = m_model.Transform(state);
  return S_OK;
}

HRESULT CRecordingDevice::MultiplyTransform(D3DTRANSFORMSTATETYPE state, CONST D3DMATRIX* matrix) {
  Log("MultiplyTransform", {static_cast<DWORD>(state)}, {matrix});
  if (!matrix) return D3DERR_INVALIDCALL;
  return m_model.MultiplyTransform(state, *matrix);
}

HRESULT CRecordingDevice::SetViewport(CONST D3DVIEWPORT8* viewport) {
  Log("SetViewport", viewport ? std::vector<DWORD>{viewport->X, viewport->Y, viewport->Width, viewport->Height,
                                                   Bits(viewport->MinZ), Bits(viewport->MaxZ)}
                              : std::vector<DWORD>{});
  RECORD_FAILURE("SetViewport");
  if (!viewport) return D3DERR_INVALIDCALL;
  return m_model.SetViewport(*viewport);
}

HRESULT CRecordingDevice::GetViewport(D3DVIEWPORT8* viewport) {
  Log("GetViewport", {});
  if (!viewport) return D3DERR_INVALIDCALL;
  *viewport = State().viewport;
  return S_OK;
}

HRESULT CRecordingDevice::SetMaterial(CONST D3DMATERIAL8* material) {
  Log("SetMaterial", {}, {material});
  RECORD_FAILURE("SetMaterial");
  if (!material) return D3DERR_INVALIDCALL;
  return m_model.SetMaterial(*material);
}

HRESULT CRecordingDevice::GetMaterial(D3DMATERIAL8* material) {
  Log("GetMaterial", {});
  if (!material) return D3DERR_INVALIDCALL;
  *material = State().material;
  return S_OK;
}

HRESULT CRecordingDevice::SetLight(DWORD index, CONST D3DLIGHT8* light) {
  Log("SetLight", {index, light ? static_cast<DWORD>(light->Type) : 0u}, {light});
  RECORD_FAILURE("SetLight");
  if (!light) return D3DERR_INVALIDCALL;
  return m_model.SetLight(index, *light);
}

HRESULT CRecordingDevice::GetLight(DWORD index, D3DLIGHT8* light) {
  Log("GetLight", {index});
  if (!light) return D3DERR_INVALIDCALL;
  auto it = State().lights.find(index);
  if (it == State().lights.end()) return D3DERR_INVALIDCALL;
  *light = it->second;
  return S_OK;
}

HRESULT CRecordingDevice::LightEnable(DWORD index, BOOL enable) {
  Log("LightEnable", {index, static_cast<DWORD>(enable)});
  RECORD_FAILURE("LightEnable");
  return m_model.LightEnable(index, enable);
}

HRESULT CRecordingDevice::GetLightEnable(DWORD index, BOOL* enable) {
  Log("GetLightEnable", {index});
  if (!enable) return D3DERR_INVALIDCALL;
  auto it = State().lightEnabled.find(index);
  if (it == State().lightEnabled.end()) return D3DERR_INVALIDCALL;
  *enable = it->second;
  return S_OK;
}

HRESULT CRecordingDevice::SetClipPlane(DWORD index, CONST float* plane) {
  Log("SetClipPlane", {index}, {plane});
  return plane ? S_OK : D3DERR_INVALIDCALL;
}

HRESULT CRecordingDevice::GetClipPlane(DWORD index, float* plane) {
  Log("GetClipPlane", {index});
  if (!plane) return D3DERR_INVALIDCALL;
  std::fill(plane, plane + 4, 0.0f);
  return S_OK;
}

HRESULT CRecordingDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  Log("SetRenderState", {static_cast<DWORD>(state), value});
  RECORD_FAILURE("SetRenderState");
  return m_model.SetRenderState(state, value);
}

HRESULT CRecordingDevice::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
  Log("GetRenderState", {static_cast<DWORD>(state)});
  if (!value || state >= D3DRS_MAX_COUNT) return D3DERR_INVALIDCALL;
  *value = State().renderStates[state];
  return S_OK;
}

HRESULT CRecordingDevice::BeginStateBlock() {
  Log("BeginStateBlock", {});
  RECORD_FAILURE("BeginStateBlock");
  return m_model.BeginStateBlock();
}

HRESULT CRecordingDevice::EndStateBlock(DWORD* token) {
  Log("EndStateBlock", {});
  RECORD_FAILURE("EndStateBlock");
  return m_model.EndStateBlock(token);
}

HRESULT CRecordingDevice::ApplyStateBlock(DWORD token) {
  Log("ApplyStateBlock", {token});
  RECORD_FAILURE("ApplyStateBlock");
  return m_model.ApplyStateBlock(token);
}

HRESULT CRecordingDevice::CaptureStateBlock(DWORD token) {
  Log("CaptureStateBlock", {token});
  RECORD_FAILURE("CaptureStateBlock");
  return m_model.CaptureStateBlock(token);
}

HRESULT CRecordingDevice::DeleteStateBlock(DWORD token) {
  Log("DeleteStateBlock", {token});
  RECORD_FAILURE("DeleteStateBlock");
  return m_model.DeleteStateBlock(token);
}

HRESULT CRecordingDevice::CreateStateBlock(D3DSTATEBLOCKTYPE type, DWORD* token) {
  Log("CreateStateBlock", {static_cast<DWORD>(type)});
  RECORD_FAILURE("CreateStateBlock");
  return m_model.CreateStateBlock(type, token);
}

HRESULT CRecordingDevice::SetClipStatus(CONST D3DCLIPSTATUS8* status) {
  Log("SetClipStatus", status ? std::vector<DWORD>{status->ClipUnion, status->ClipIntersection}
                              : std::vector<DWORD>{});
  if (!status) return D3DERR_INVALIDCALL;
  m_clipStatus = *status;
  return S_OK;
}

HRESULT CRecordingDevice::GetClipStatus(D3DCLIPSTATUS8* status) {
  Log("GetClipStatus", {});
  if (!status) return D3DERR_INVALIDCALL;
  *status = m_clipStatus;
  return S_OK;
}

HRESULT CRecordingDevice::GetTexture(DWORD stage, IDirect3DBaseTexture8** texture) {
  Log("GetTexture", {stage});
  if (!texture || stage >= D3DMAXTEXTURESTAGES) return D3DERR_INVALIDCALL;
  *texture = State().textures[stage];
  if (*texture) (*texture)->AddRef();
  return S_OK;
}

HRESULT CRecordingDevice::SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) {
  Log("SetTexture", {stage}, {texture});
  RECORD_FAILURE("SetTexture");
  return m_model.SetTexture(stage, texture);
}

HRESULT CRecordingDevice::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
  Log("GetTextureStageState", {stage, static_cast<DWORD>(type)});
  if (!value || stage >= D3DMAXTEXTURESTAGES || type >= D3DTSS_MAX_COUNT) return D3DERR_INVALIDCALL;
  *value = State().stageStates[stage][type];
  return S_OK;
}

HRESULT CRecordingDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  Log("SetTextureStageState", {stage, static_cast<DWORD>(type), value});
  RECORD_FAILURE("SetTextureStageState");
  return m_model.SetStageState(stage, type, value);
}

HRESULT CRecordingDevice::ValidateDevice(DWORD* passes) {
  Log("ValidateDevice", {});
  if (passes) *passes = 1;
  return S_OK;
}

HRESULT CRecordingDevice::GetInfo(DWORD id, void*, DWORD size) {
  Log("GetInfo", {id, size});
  return S_FALSE;
}

HRESULT CRecordingDevice::SetPaletteEntries(UINT number, CONST PALETTEENTRY* entries) {
  Log("SetPaletteEntries", {number}, {entries});
  return D3DERR_INVALIDCALL;
}

HRESULT CRecordingDevice::GetPaletteEntries(UINT number, PALETTEENTRY*) {
  Log("GetPaletteEntries", {number});
  return D3DERR_INVALIDCALL;
}

HRESULT CRecordingDevice::SetCurrentTexturePalette(UINT number) {
  Log("SetCurrentTexturePalette", {number});
  return D3DERR_INVALIDCALL;
}

HRESULT CRecordingDevice::GetCurrentTexturePalette(UINT* number) {
  Log("GetCurrentTexturePalette", {});
  return number ? D3DERR_INVALIDCALL : D3DERR_INVALIDCALL;
}

HRESULT CRecordingDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT start, UINT count) {
  Log("DrawPrimitive", {static_cast<DWORD>(type), start, count});
  RECORD_FAILURE("DrawPrimitive");
  return State().streamSource ? S_OK : D3DERR_INVALIDCALL;
}

HRESULT CRecordingDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT vertices, UINT start,
                                               UINT count) {
  Log("DrawIndexedPrimitive", {static_cast<DWORD>(type), minIndex, vertices, start, count});
  RECORD_FAILURE("DrawIndexedPrimitive");
  return State().streamSource && State().indices ? S_OK : D3DERR_INVALIDCALL;
}

HRESULT CRecordingDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT count, CONST void* data, UINT stride) {
  Log("DrawPrimitiveUP", {static_cast<DWORD>(type), count, stride}, {data});
  RECORD_FAILURE("DrawPrimitiveUP");
  if (!data || stride == 0) return D3DERR_INVALIDCALL;
  // Direct3D 8 unbinds stream 0 after a user-pointer draw.
  m_model.SetStreamSource(nullptr, 0);
  return S_OK;
}

HRESULT CRecordingDevice::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT vertices, UINT count,
                                                 CONST void* indices, D3DFORMAT format, CONST void* data,
                                                 UINT stride) {
  Log("DrawIndexedPrimitiveUP", {static_cast<DWORD>(type), minIndex, vertices, count,
                                 static_cast<DWORD>(format), stride},
      {indices, data});
  RECORD_FAILURE("DrawIndexedPrimitiveUP");
  if (!indices || !data || stride == 0) return D3DERR_INVALIDCALL;
  m_model.SetStreamSource(nullptr, 0);
  m_model.SetIndices(nullptr, 0);
  return S_OK;
}

HRESULT CRecordingDevice::ProcessVertices(UINT src, UINT dest, UINT count, IDirect3DVertexBuffer8* buffer,
                                          DWORD flags) {
  Log("ProcessVertices", {src, dest, count, flags}, {buffer});
  return D3DERR_INVALIDCALL;
}

HRESULT CRecordingDevice::CreateVertexShader(CONST DWORD* declaration, CONST DWORD* function, DWORD* handle,
                                             DWORD usage) {
  Log("CreateVertexShader", {usage}, {declaration, function});
  RECORD_FAILURE("CreateVertexShader");
  if (!declaration || !handle) return D3DERR_INVALIDCALL;
  *handle = m_vertexShaders.Create(declaration);
  return S_OK;
}

HRESULT CRecordingDevice::SetVertexShader(DWORD handle) {
  Log("SetVertexShader", {handle});
  RECORD_FAILURE("SetVertexShader");
  return m_model.SetVertexShader(handle);
}

HRESULT CRecordingDevice::GetVertexShader(DWORD* handle) {
  Log("GetVertexShader", {});
  if (!handle) return D3DERR_INVALIDCALL;
  *handle = State().vertexShader;
  return S_OK;
}

HRESULT CRecordingDevice::DeleteVertexShader(DWORD handle) {
  Log("DeleteVertexShader", {handle});
  RECORD_FAILURE("DeleteVertexShader");
  return m_vertexShaders.Delete(handle) ? S_OK : D3DERR_INVALIDCALL;
}

HRESULT CRecordingDevice::SetVertexShaderConstant(DWORD reg, CONST void* data, DWORD count) {
  Log("SetVertexShaderConstant", {reg, count}, {data});
  RECORD_FAILURE("SetVertexShaderConstant");
  if (!data) return D3DERR_INVALIDCALL;
  m_vertexShaders.SetConstants(reg, static_cast<const float*>(data), count);
  return S_OK;
}

HRESULT CRecordingDevice::GetVertexShaderConstant(DWORD reg, void* data, DWORD count) {
  Log("GetVertexShaderConstant", {reg, count});
  if (!data) return D3DERR_INVALIDCALL;
  m_vertexShaders.GetConstants(reg, static_cast<float*>(data), count);
  return S_OK;
}

HRESULT CRecordingDevice::GetVertexShaderDeclaration(DWORD handle, void* data, DWORD* size) {
  Log("GetVertexShaderDeclaration", {handle});
  return m_vertexShaders.CopyDeclaration(handle, data, size);
}

HRESULT CRecordingDevice::GetVertexShaderFunction(DWORD handle, void*, DWORD* size) {
  Log("GetVertexShaderFunction", {handle});
  if (size) *size = 0;
  return D3DERR_INVALIDCALL;
}

HRESULT CRecordingDevice::SetStreamSource(UINT stream, IDirect3DVertexBuffer8* buffer, UINT stride) {
  Log("SetStreamSource", {stream, stride}, {buffer});
  RECORD_FAILURE("SetStreamSource");
  if (stream != 0) return D3DERR_INVALIDCALL;
  return m_model.SetStreamSource(buffer, stride);
}

HRESULT CRecordingDevice::GetStreamSource(UINT stream, IDirect3DVertexBuffer8** buffer, UINT* stride) {
  Log("GetStreamSource", {stream});
  if (stream != 0 || !buffer || !stride) return D3DERR_INVALIDCALL;
  *buffer = State().streamSource;
  if (*buffer) (*buffer)->AddRef();
  *stride = State().streamStride;
  return S_OK;
}

HRESULT CRecordingDevice::SetIndices(IDirect3DIndexBuffer8* buffer, UINT base) {
  Log("SetIndices", {base}, {buffer});
  RECORD_FAILURE("SetIndices");
  return m_model.SetIndices(buffer, base);
}

HRESULT CRecordingDevice::GetIndices(IDirect3DIndexBuffer8** buffer, UINT* base) {
  Log("GetIndices", {});
  if (!buffer || !base) return D3DERR_INVALIDCALL;
  *buffer = State().indices;
  if (*buffer) (*buffer)->AddRef();
  *base = State().baseVertexIndex;
  return S_OK;
}

HRESULT CRecordingDevice::CreatePixelShader(CONST DWORD* function, DWORD* handle) {
  Log("CreatePixelShader", {}, {function});
  if (handle) *handle = 0;
  return D3DERR_INVALIDCALL;
}
HRESULT CRecordingDevice::SetPixelShader(DWORD handle) {
  Log("SetPixelShader", {handle});
  return handle == 0 ? S_OK : D3DERR_INVALIDCALL;
}
HRESULT CRecordingDevice::GetPixelShader(DWORD* handle) {
  Log("GetPixelShader", {});
  if (!handle) return D3DERR_INVALIDCALL;
  *handle = 0;
  return S_OK;
}
HRESULT CRecordingDevice::DeletePixelShader(DWORD handle) {
  Log("DeletePixelShader", {handle});
  return D3DERR_INVALIDCALL;
}
HRESULT CRecordingDevice::SetPixelShaderConstant(DWORD reg, CONST void* data, DWORD count) {
  Log("SetPixelShaderConstant", {reg, count}, {data});
  return D3DERR_INVALIDCALL;
}
HRESULT CRecordingDevice::GetPixelShaderConstant(DWORD reg, void*, DWORD count) {
  Log("GetPixelShaderConstant", {reg, count});
  return D3DERR_INVALIDCALL;
}
HRESULT CRecordingDevice::GetPixelShaderFunction(DWORD handle, void*, DWORD*) {
  Log("GetPixelShaderFunction", {handle});
  return D3DERR_INVALIDCALL;
}
HRESULT CRecordingDevice::DrawRectPatch(UINT handle, CONST float*, CONST D3DRECTPATCH_INFO*) {
  Log("DrawRectPatch", {handle});
  return D3DERR_INVALIDCALL;
}
HRESULT CRecordingDevice::DrawTriPatch(UINT handle, CONST float*, CONST D3DTRIPATCH_INFO*) {
  Log("DrawTriPatch", {handle});
  return D3DERR_INVALIDCALL;
}
HRESULT CRecordingDevice::DeletePatch(UINT handle) {
  Log("DeletePatch", {handle});
  return D3DERR_INVALIDCALL;
}

// ===========================================================================
CRecordingDirect3D::CRecordingDirect3D() {
  Adapter adapter;
  std::memset(&adapter.identifier, 0, sizeof adapter.identifier);
  std::snprintf(adapter.identifier.Driver, sizeof adapter.identifier.Driver, "recording");
  std::snprintf(adapter.identifier.Description, sizeof adapter.identifier.Description, "Recording adapter");
  for (D3DFORMAT format : {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5})
    for (UINT size : {640u, 800u, 1024u})
      adapter.modes.push_back(D3DDISPLAYMODE{size, size * 3 / 4, 60, format});
  adapter.desktopMode = D3DDISPLAYMODE{1024, 768, 60, D3DFMT_X8R8G8B8};
  adapter.caps = D3DDefaultCaps();
  m_adapters.push_back(adapter);
}

CRecordingDirect3D::~CRecordingDirect3D() = default;

void CRecordingDirect3D::Log(const char* method, std::vector<DWORD> values) {
  m_calls.push_back(MakeRecord(method, std::move(values), {}));
}

bool CRecordingDirect3D::Failing(const char* method, HRESULT* result) const {
  auto it = m_failures.find(method);
  if (it == m_failures.end()) return false;
  *result = it->second;
  return true;
}

size_t CRecordingDirect3D::CallCount(const std::string& method) const {
  return static_cast<size_t>(
      std::count_if(m_calls.begin(), m_calls.end(), [&](const D3DCallRecord& r) { return r.method == method; }));
}

void CRecordingDirect3D::ForgetDevice(CRecordingDevice* device) {
  if (m_lastDevice == device) m_lastDevice = nullptr;
}

HRESULT CRecordingDirect3D::RegisterSoftwareDevice(void*) {
  Log("RegisterSoftwareDevice", {});
  return D3DERR_INVALIDCALL;
}

UINT CRecordingDirect3D::GetAdapterCount() {
  Log("GetAdapterCount", {});
  return static_cast<UINT>(m_adapters.size());
}

HRESULT CRecordingDirect3D::GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER8* identifier) {
  Log("GetAdapterIdentifier", {adapter, flags});
  RECORD_FAILURE("GetAdapterIdentifier");
  if (adapter >= m_adapters.size() || !identifier) return D3DERR_INVALIDCALL;
  *identifier = m_adapters[adapter].identifier;
  return S_OK;
}

UINT CRecordingDirect3D::GetAdapterModeCount(UINT adapter) {
  Log("GetAdapterModeCount", {adapter});
  return adapter < m_adapters.size() ? static_cast<UINT>(m_adapters[adapter].modes.size()) : 0u;
}

HRESULT CRecordingDirect3D::EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE* result) {
  Log("EnumAdapterModes", {adapter, mode});
  RECORD_FAILURE("EnumAdapterModes");
  if (adapter >= m_adapters.size() || !result || mode >= m_adapters[adapter].modes.size())
    return D3DERR_INVALIDCALL;
  *result = m_adapters[adapter].modes[mode];
  return S_OK;
}

HRESULT CRecordingDirect3D::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) {
  Log("GetAdapterDisplayMode", {adapter});
  RECORD_FAILURE("GetAdapterDisplayMode");
  if (adapter >= m_adapters.size() || !mode) return D3DERR_INVALIDCALL;
  *mode = m_adapters[adapter].desktopMode;
  return S_OK;
}

HRESULT CRecordingDirect3D::CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT display, D3DFORMAT backBuffer,
                                            BOOL windowed) {
  Log("CheckDeviceType", {adapter, static_cast<DWORD>(type), static_cast<DWORD>(display),
                          static_cast<DWORD>(backBuffer), static_cast<DWORD>(windowed)});
  RECORD_FAILURE("CheckDeviceType");
  if (adapter >= m_adapters.size()) return D3DERR_INVALIDCALL;
  const auto& formats = m_adapters[adapter].displayFormats;
  if (!formats.empty() && !formats.count(display)) return D3DERR_NOTAVAILABLE;
  return S_OK;
}

HRESULT CRecordingDirect3D::CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                                              D3DRESOURCETYPE resourceType, D3DFORMAT format) {
  Log("CheckDeviceFormat", {adapter, static_cast<DWORD>(type), static_cast<DWORD>(adapterFormat), usage,
                            static_cast<DWORD>(resourceType), static_cast<DWORD>(format)});
  RECORD_FAILURE("CheckDeviceFormat");
  if (adapter >= m_adapters.size()) return D3DERR_INVALIDCALL;
  const auto& formats = m_adapters[adapter].resourceFormats;
  if (!formats.empty() && !formats.count(format)) return D3DERR_NOTAVAILABLE;
  return S_OK;
}

HRESULT CRecordingDirect3D::CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT format, BOOL windowed,
                                                       D3DMULTISAMPLE_TYPE samples) {
  Log("CheckDeviceMultiSampleType", {adapter, static_cast<DWORD>(type), static_cast<DWORD>(format),
                                     static_cast<DWORD>(windowed), static_cast<DWORD>(samples)});
  return samples == D3DMULTISAMPLE_NONE ? S_OK : D3DERR_NOTAVAILABLE;
}

HRESULT CRecordingDirect3D::CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                                   D3DFORMAT target, D3DFORMAT depth) {
  Log("CheckDepthStencilMatch", {adapter, static_cast<DWORD>(type), static_cast<DWORD>(adapterFormat),
                                 static_cast<DWORD>(target), static_cast<DWORD>(depth)});
  RECORD_FAILURE("CheckDepthStencilMatch");
  if (adapter >= m_adapters.size()) return D3DERR_INVALIDCALL;
  const auto& formats = m_adapters[adapter].resourceFormats;
  if (!formats.empty() && !formats.count(depth)) return D3DERR_NOTAVAILABLE;
  return S_OK;
}

HRESULT CRecordingDirect3D::GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8* caps) {
  Log("GetDeviceCaps", {adapter, static_cast<DWORD>(type)});
  RECORD_FAILURE("GetDeviceCaps");
  if (adapter >= m_adapters.size() || !caps) return D3DERR_INVALIDCALL;
  *caps = m_adapters[adapter].caps;
  caps->DeviceType = type;
  caps->AdapterOrdinal = adapter;
  return S_OK;
}

HMONITOR CRecordingDirect3D::GetAdapterMonitor(UINT adapter) {
  Log("GetAdapterMonitor", {adapter});
  return nullptr;
}

HRESULT CRecordingDirect3D::CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focus, DWORD behavior,
                                         D3DPRESENT_PARAMETERS* params, IDirect3DDevice8** device) {
  Log("CreateDevice", {adapter, static_cast<DWORD>(type), Ptr(focus), behavior});
  if (device) *device = nullptr;
  RECORD_FAILURE("CreateDevice");
  if (adapter >= m_adapters.size() || !params || !device) return D3DERR_INVALIDCALL;
  auto* created = new CRecordingDevice(this, params, focus, behavior);
  created->Caps() = m_adapters[adapter].caps;
  created->Caps().DeviceType = type;
  created->Caps().AdapterOrdinal = adapter;
  m_lastDevice = created;
  *device = created;
  return S_OK;
}

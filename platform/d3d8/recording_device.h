// A Direct3D 8 device and Direct3D object that draw nothing: they log every call
// with its arguments, keep the state that was set (so Get* returns it and tests
// can compare state before and after), count references and create real
// in-memory buffers, textures and surfaces. For unit tests of drawing code.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/d3d8/d3d8.h"
#include "platform/d3d8/memory_resources.h"
#include "platform/d3d8/state_model.h"

class CRecordingDirect3D;

// One logged call. `values` holds the numeric arguments in order (floats as
// their bit pattern), `objects` the interface/pointer arguments, and `args`
// the text form: the values in decimal, then the objects, e.g. "27, 1" for
// SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE).
struct D3DCallRecord {
  std::string method;
  std::string args;
  std::vector<DWORD> values;
  std::vector<const void*> objects;
};

class CRecordingDevice : public IDirect3DDevice8 {
 public:
  // Starts with one reference. `owner` (may be null) is referenced for the device's lifetime.
  CRecordingDevice(CRecordingDirect3D* owner = nullptr, const D3DPRESENT_PARAMETERS* params = nullptr,
                   HWND focusWindow = nullptr, DWORD behaviorFlags = D3DCREATE_SOFTWARE_VERTEXPROCESSING);

  // --- Inspection ---
  const std::vector<D3DCallRecord>& Calls() const { return m_calls; }
  void ClearCalls() { m_calls.clear(); }
  size_t CallCount(const std::string& method) const;
  bool WasCalled(const std::string& method) const { return CallCount(method) > 0; }
  std::vector<D3DCallRecord> CallsTo(const std::string& method) const;
  // Methods in call order, e.g. {"BeginScene", "SetTexture", ...}.
  std::vector<std::string> MethodNames() const;
  ULONG RefCount() const { return m_refs; }
  // The current state (D3DRecordedState: render/stage states, textures, transforms, lights...).
  const D3DRecordedState& State() const { return m_model.State(); }
  DWORD RenderState(D3DRENDERSTATETYPE state) const { return State().renderStates[state % D3DRS_MAX_COUNT]; }
  DWORD StageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type) const;
  D3DMATRIX Transform(D3DTRANSFORMSTATETYPE state) const;
  IDirect3DBaseTexture8* BoundTexture(DWORD stage) const;
  bool InScene() const { return m_inScene; }
  size_t StateBlockCount() const { return m_model.StateBlockCount(); }
  // Resources created by this device whose reference count is above zero.
  size_t LiveResourceCount() const;
  size_t LiveDefaultPoolResourceCount() const;
  const D3DPRESENT_PARAMETERS& PresentParameters() const { return m_params; }
  // Constants last set through SetVertexShaderConstant, by register (4 floats each).
  const std::map<DWORD, std::vector<float>>& VertexShaderConstants() const { return m_vsConstants; }
  UINT CursorX() const { return m_cursorX; }
  UINT CursorY() const { return m_cursorY; }
  BOOL CursorShown() const { return m_cursorShown; }

  // --- Configuration ---
  D3DCAPS8& Caps() { return m_caps; }
  D3DDISPLAYMODE& DisplayMode() { return m_displayMode; }
  // Result of TestCooperativeLevel (S_OK, D3DERR_DEVICELOST, D3DERR_DEVICENOTRESET).
  void SetCooperativeLevel(HRESULT result) { m_cooperativeLevel = result; }
  // Makes every later call of `method` return `result` (and do nothing) until cleared.
  void FailMethod(const std::string& method, HRESULT result) { m_failures[method] = result; }
  void ClearFailures() { m_failures.clear(); }

  // --- IUnknown ---
  HRESULT QueryInterface(REFIID riid, void** ppvObj) override;
  ULONG AddRef() override;
  ULONG Release() override;

  // --- IDirect3DDevice8 ---
  HRESULT TestCooperativeLevel() override;
  UINT GetAvailableTextureMem() override;
  HRESULT ResourceManagerDiscardBytes(DWORD Bytes) override;
  HRESULT GetDirect3D(IDirect3D8** ppD3D8) override;
  HRESULT GetDeviceCaps(D3DCAPS8* pCaps) override;
  HRESULT GetDisplayMode(D3DDISPLAYMODE* pMode) override;
  HRESULT GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* pParameters) override;
  HRESULT SetCursorProperties(UINT XHotSpot, UINT YHotSpot, IDirect3DSurface8* pCursorBitmap) override;
  void SetCursorPosition(int X, int Y, DWORD Flags) override;
  BOOL ShowCursor(BOOL bShow) override;
  HRESULT CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS* pPresentationParameters,
                                    IDirect3DSwapChain8** pSwapChain) override;
  HRESULT Reset(D3DPRESENT_PARAMETERS* pPresentationParameters) override;
  HRESULT Present(CONST RECT* pSourceRect, CONST RECT* pDestRect, HWND hDestWindowOverride,
                  CONST RGNDATA* pDirtyRegion) override;
  HRESULT GetBackBuffer(UINT BackBuffer, D3DBACKBUFFER_TYPE Type, IDirect3DSurface8** ppBackBuffer) override;
  HRESULT GetRasterStatus(D3DRASTER_STATUS* pRasterStatus) override;
  void SetGammaRamp(DWORD Flags, CONST D3DGAMMARAMP* pRamp) override;
  void GetGammaRamp(D3DGAMMARAMP* pRamp) override;
  HRESULT CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                        IDirect3DTexture8** ppTexture) override;
  HRESULT CreateVolumeTexture(UINT Width, UINT Height, UINT Depth, UINT Levels, DWORD Usage, D3DFORMAT Format,
                              D3DPOOL Pool, IDirect3DVolumeTexture8** ppVolumeTexture) override;
  HRESULT CreateCubeTexture(UINT EdgeLength, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                            IDirect3DCubeTexture8** ppCubeTexture) override;
  HRESULT CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                             IDirect3DVertexBuffer8** ppVertexBuffer) override;
  HRESULT CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                            IDirect3DIndexBuffer8** ppIndexBuffer) override;
  HRESULT CreateRenderTarget(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample,
                             BOOL Lockable, IDirect3DSurface8** ppSurface) override;
  HRESULT CreateDepthStencilSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample,
                                    IDirect3DSurface8** ppSurface) override;
  HRESULT CreateImageSurface(UINT Width, UINT Height, D3DFORMAT Format, IDirect3DSurface8** ppSurface) override;
  HRESULT CopyRects(IDirect3DSurface8* pSourceSurface, CONST RECT* pSourceRectsArray, UINT cRects,
                    IDirect3DSurface8* pDestinationSurface, CONST POINT* pDestPointsArray) override;
  HRESULT UpdateTexture(IDirect3DBaseTexture8* pSourceTexture, IDirect3DBaseTexture8* pDestinationTexture) override;
  HRESULT GetFrontBuffer(IDirect3DSurface8* pDestSurface) override;
  HRESULT SetRenderTarget(IDirect3DSurface8* pRenderTarget, IDirect3DSurface8* pNewZStencil) override;
  HRESULT GetRenderTarget(IDirect3DSurface8** ppRenderTarget) override;
  HRESULT GetDepthStencilSurface(IDirect3DSurface8** ppZStencilSurface) override;
  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT Clear(DWORD Count, CONST D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD Stencil) override;
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE State, CONST D3DMATRIX* pMatrix) override;
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) override;
  HRESULT MultiplyTransform(D3DTRANSFORMSTATETYPE State, CONST D3DMATRIX* pMatrix) override;
  HRESULT SetViewport(CONST D3DVIEWPORT8* pViewport) override;
  HRESULT GetViewport(D3DVIEWPORT8* pViewport) override;
  HRESULT SetMaterial(CONST D3DMATERIAL8* pMaterial) override;
  HRESULT GetMaterial(D3DMATERIAL8* pMaterial) override;
  HRESULT SetLight(DWORD Index, CONST D3DLIGHT8* pLight) override;
  HRESULT GetLight(DWORD Index, D3DLIGHT8* pLight) override;
  HRESULT LightEnable(DWORD Index, BOOL Enable) override;
  HRESULT GetLightEnable(DWORD Index, BOOL* pEnable) override;
  HRESULT SetClipPlane(DWORD Index, CONST float* pPlane) override;
  HRESULT GetClipPlane(DWORD Index, float* pPlane) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) override;
  HRESULT BeginStateBlock() override;
  HRESULT EndStateBlock(DWORD* pToken) override;
  HRESULT ApplyStateBlock(DWORD Token) override;
  HRESULT CaptureStateBlock(DWORD Token) override;
  HRESULT DeleteStateBlock(DWORD Token) override;
  HRESULT CreateStateBlock(D3DSTATEBLOCKTYPE Type, DWORD* pToken) override;
  HRESULT SetClipStatus(CONST D3DCLIPSTATUS8* pClipStatus) override;
  HRESULT GetClipStatus(D3DCLIPSTATUS8* pClipStatus) override;
  HRESULT GetTexture(DWORD Stage, IDirect3DBaseTexture8** ppTexture) override;
  HRESULT SetTexture(DWORD Stage, IDirect3DBaseTexture8* pTexture) override;
  HRESULT GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) override;
  HRESULT SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) override;
  HRESULT ValidateDevice(DWORD* pNumPasses) override;
  HRESULT GetInfo(DWORD DevInfoID, void* pDevInfoStruct, DWORD DevInfoStructSize) override;
  HRESULT SetPaletteEntries(UINT PaletteNumber, CONST PALETTEENTRY* pEntries) override;
  HRESULT GetPaletteEntries(UINT PaletteNumber, PALETTEENTRY* pEntries) override;
  HRESULT SetCurrentTexturePalette(UINT PaletteNumber) override;
  HRESULT GetCurrentTexturePalette(UINT* PaletteNumber) override;
  HRESULT DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) override;
  HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT MinIndex, UINT NumVertices, UINT StartIndex,
                               UINT PrimitiveCount) override;
  HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount, CONST void* pVertexStreamZeroData,
                          UINT VertexStreamZeroStride) override;
  HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT MinVertexIndex, UINT NumVertexIndices,
                                 UINT PrimitiveCount, CONST void* pIndexData, D3DFORMAT IndexDataFormat,
                                 CONST void* pVertexStreamZeroData, UINT VertexStreamZeroStride) override;
  HRESULT ProcessVertices(UINT SrcStartIndex, UINT DestIndex, UINT VertexCount, IDirect3DVertexBuffer8* pDestBuffer,
                          DWORD Flags) override;
  HRESULT CreateVertexShader(CONST DWORD* pDeclaration, CONST DWORD* pFunction, DWORD* pHandle,
                             DWORD Usage) override;
  HRESULT SetVertexShader(DWORD Handle) override;
  HRESULT GetVertexShader(DWORD* pHandle) override;
  HRESULT DeleteVertexShader(DWORD Handle) override;
  HRESULT SetVertexShaderConstant(DWORD Register, CONST void* pConstantData, DWORD ConstantCount) override;
  HRESULT GetVertexShaderConstant(DWORD Register, void* pConstantData, DWORD ConstantCount) override;
  HRESULT GetVertexShaderDeclaration(DWORD Handle, void* pData, DWORD* pSizeOfData) override;
  HRESULT GetVertexShaderFunction(DWORD Handle, void* pData, DWORD* pSizeOfData) override;
  HRESULT SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer8* pStreamData, UINT Stride) override;
  HRESULT GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer8** ppStreamData, UINT* pStride) override;
  HRESULT SetIndices(IDirect3DIndexBuffer8* pIndexData, UINT BaseVertexIndex) override;
  HRESULT GetIndices(IDirect3DIndexBuffer8** ppIndexData, UINT* pBaseVertexIndex) override;
  HRESULT CreatePixelShader(CONST DWORD* pFunction, DWORD* pHandle) override;
  HRESULT SetPixelShader(DWORD Handle) override;
  HRESULT GetPixelShader(DWORD* pHandle) override;
  HRESULT DeletePixelShader(DWORD Handle) override;
  HRESULT SetPixelShaderConstant(DWORD Register, CONST void* pConstantData, DWORD ConstantCount) override;
  HRESULT GetPixelShaderConstant(DWORD Register, void* pConstantData, DWORD ConstantCount) override;
  HRESULT GetPixelShaderFunction(DWORD Handle, void* pData, DWORD* pSizeOfData) override;
  HRESULT DrawRectPatch(UINT Handle, CONST float* pNumSegs, CONST D3DRECTPATCH_INFO* pRectPatchInfo) override;
  HRESULT DrawTriPatch(UINT Handle, CONST float* pNumSegs, CONST D3DTRIPATCH_INFO* pTriPatchInfo) override;
  HRESULT DeletePatch(UINT Handle) override;

 protected:
  ~CRecordingDevice() override;

 private:
  void Log(const char* method, std::vector<DWORD> values, std::vector<const void*> objects = {});
  bool Failing(const char* method, HRESULT* result) const;

  ULONG m_refs = 1;
  CRecordingDirect3D* m_owner;
  MemoryHostPtr m_host;
  D3DPRESENT_PARAMETERS m_params;
  D3DDEVICE_CREATION_PARAMETERS m_creation;
  D3DCAPS8 m_caps;
  D3DDISPLAYMODE m_displayMode;
  HRESULT m_cooperativeLevel = S_OK;
  std::map<std::string, HRESULT> m_failures;
  std::vector<D3DCallRecord> m_calls;
  CD3DStateModel m_model;
  bool m_inScene = false;
  D3DCLIPSTATUS8 m_clipStatus = {0, 0};
  std::map<DWORD, std::vector<DWORD>> m_vertexShaders;  // handle -> declaration
  DWORD m_nextShader = 1;
  std::map<DWORD, std::vector<float>> m_vsConstants;
  UINT m_cursorX = 0, m_cursorY = 0;
  BOOL m_cursorShown = FALSE;
  D3DGAMMARAMP m_gamma;
};

// A Direct3D object with scripted adapters. By default: one adapter with the
// modes 640x480, 800x600, 1024x768 in X8R8G8B8 and R5G6B5, D3DDefaultCaps, and
// every Check* succeeding.
class CRecordingDirect3D : public IDirect3D8 {
 public:
  struct Adapter {
    D3DADAPTER_IDENTIFIER8 identifier;
    std::vector<D3DDISPLAYMODE> modes;
    D3DDISPLAYMODE desktopMode;
    D3DCAPS8 caps;
    // Formats CheckDeviceType accepts as display formats, CheckDeviceFormat as
    // texture/depth formats; empty means everything is accepted.
    std::set<DWORD> displayFormats;
    std::set<DWORD> resourceFormats;
  };

  CRecordingDirect3D();  // one reference

  std::vector<Adapter>& Adapters() { return m_adapters; }
  const std::vector<D3DCallRecord>& Calls() const { return m_calls; }
  size_t CallCount(const std::string& method) const;
  void FailMethod(const std::string& method, HRESULT result) { m_failures[method] = result; }
  void ClearFailures() { m_failures.clear(); }
  ULONG RefCount() const { return m_refs; }
  // The device most recently made by CreateDevice (not referenced; null before).
  CRecordingDevice* LastDevice() const { return m_lastDevice; }
  void ForgetDevice(CRecordingDevice* device);

  HRESULT QueryInterface(REFIID riid, void** ppvObj) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT RegisterSoftwareDevice(void* pInitializeFunction) override;
  UINT GetAdapterCount() override;
  HRESULT GetAdapterIdentifier(UINT Adapter, DWORD Flags, D3DADAPTER_IDENTIFIER8* pIdentifier) override;
  UINT GetAdapterModeCount(UINT Adapter) override;
  HRESULT EnumAdapterModes(UINT Adapter, UINT Mode, D3DDISPLAYMODE* pMode) override;
  HRESULT GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode) override;
  HRESULT CheckDeviceType(UINT Adapter, D3DDEVTYPE CheckType, D3DFORMAT DisplayFormat, D3DFORMAT BackBufferFormat,
                          BOOL Windowed) override;
  HRESULT CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat, DWORD Usage,
                            D3DRESOURCETYPE RType, D3DFORMAT CheckFormat) override;
  HRESULT CheckDeviceMultiSampleType(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT SurfaceFormat, BOOL Windowed,
                                     D3DMULTISAMPLE_TYPE MultiSampleType) override;
  HRESULT CheckDepthStencilMatch(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat,
                                 D3DFORMAT RenderTargetFormat, D3DFORMAT DepthStencilFormat) override;
  HRESULT GetDeviceCaps(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS8* pCaps) override;
  HMONITOR GetAdapterMonitor(UINT Adapter) override;
  HRESULT CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                       D3DPRESENT_PARAMETERS* pPresentationParameters,
                       IDirect3DDevice8** ppReturnedDeviceInterface) override;

 protected:
  ~CRecordingDirect3D() override;

 private:
  void Log(const char* method, std::vector<DWORD> values);
  bool Failing(const char* method, HRESULT* result) const;

  ULONG m_refs = 1;
  std::vector<Adapter> m_adapters;
  std::vector<D3DCallRecord> m_calls;
  std::map<std::string, HRESULT> m_failures;
  CRecordingDevice* m_lastDevice = nullptr;
};

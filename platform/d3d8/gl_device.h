// The Direct3D 8 device over OpenGL (fixed function, compatibility profile).
// It renders into an offscreen framebuffer at the back-buffer size, stored top
// row first like a Direct3D surface; Present scales it into the window with
// letterboxing. Internal header: game code uses d3d8.h and Direct3DCreate8.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/d3d8/d3d8.h"
#include "platform/d3d8/gl_functions.h"
#include "platform/d3d8/gl_window_bridge.h"
#include "platform/d3d8/memory_resources.h"
#include "platform/d3d8/state_model.h"

class CGLDevice : public IDirect3DDevice8 {
 public:
  // Use Create; the device starts with one reference and references `owner`.
  static HRESULT Create(IDirect3D8* owner, HWND focusWindow, DWORD behaviorFlags, D3DPRESENT_PARAMETERS* params,
                        IDirect3DDevice8** device);

  // Resources made by this device that the caller still references.
  size_t LiveResourceCount() const { return m_host->LiveCount(); }

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
  ~CGLDevice() override;

 private:
  struct VertexLayout;
  CGLDevice(IDirect3D8* owner, HWND focusWindow, DWORD behaviorFlags);
  HRESULT Configure(const D3DPRESENT_PARAMETERS& params);
  bool MakeCurrent();
  void ReleaseFramebuffer();
  void ApplyState(const VertexLayout& layout);
  void ApplyStages(const VertexLayout& layout);
  void ApplyLights(const VertexLayout& layout);
  void BindTexture(DWORD stage, CMemoryTexture* texture);
  void UploadTexture(CMemoryTexture* texture);
  HRESULT Draw(D3DPRIMITIVETYPE type, UINT primitiveCount, const BYTE* vertices, UINT vertexCount, UINT stride,
               DWORD shader, const std::vector<UINT>* indices);
  bool LayoutFor(DWORD shader, VertexLayout* layout) const;
  void ReadBackBuffer(CMemoryImage& image);
  void DrawCursor(int viewX, int viewY, int viewWidth, int viewHeight);
  void TextureDestroyed(CMemoryTexture* texture);

  ULONG m_refs = 1;
  IDirect3D8* m_owner;
  HWND m_focusWindow;
  HWND m_deviceWindow = nullptr;
  D3D8WindowEntry* m_window = nullptr;
  DWORD m_behavior;
  D3DPRESENT_PARAMETERS m_params;
  D3DCAPS8 m_caps;
  MemoryHostPtr m_host;
  CD3DStateModel m_model;
  GLFunctions m_gl;
  unsigned m_framebuffer = 0, m_colorBuffer = 0, m_depthBuffer = 0;
  unsigned m_whiteTexture = 0;
  unsigned m_seenMinimizeCount = 0;
  bool m_inScene = false;
  D3DCLIPSTATUS8 m_clipStatus = {0, 0};
  std::map<DWORD, std::vector<DWORD>> m_vertexShaders;  // handle -> declaration tokens
  DWORD m_nextShader = 1;
  std::map<DWORD, std::vector<float>> m_vsConstants;
  D3DGAMMARAMP m_gamma;
  // Cursor image (RGBA), hotspot and position in back-buffer pixels.
  std::vector<BYTE> m_cursorPixels;
  UINT m_cursorWidth = 0, m_cursorHeight = 0, m_cursorHotX = 0, m_cursorHotY = 0;
  unsigned m_cursorTexture = 0;
  bool m_cursorDirty = false;
  int m_cursorX = 0, m_cursorY = 0;
  BOOL m_cursorShown = FALSE;
};

// The Direct3D object over OpenGL: one adapter with virtual display modes.
class CGLDirect3D : public IDirect3D8 {
 public:
  CGLDirect3D() = default;

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
  ~CGLDirect3D() override = default;

 private:
  ULONG m_refs = 1;
};

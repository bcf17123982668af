// The Direct3D 8 device over OpenGL (fixed function, compatibility profile).
// It renders into an offscreen framebuffer at the back-buffer size, stored top
// row first like a Direct3D surface; Present scales it into the window with
// letterboxing. This is the front end (the COM face, resources, state model,
// framebuffer, presentation); gl_back_end.h translates the state into OpenGL.
// Internal header: game code uses d3d8.h and Direct3DCreate8.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/d3d8/d3d8.h"
#include "platform/d3d8/gl_back_end.h"
#include "platform/d3d8/gl_functions.h"
#include "platform/d3d8/gl_window_bridge.h"
#include "platform/d3d8/memory_resources.h"
#include "platform/d3d8/state_model.h"
#include "platform/d3d8/vertex_shader_table.h"
#include "platform/win32/com_object.h"

class CGLDevice : public ComObject<IDirect3DDevice8, IID_IDirect3DDevice8> {
 public:
  // Use Create; the device starts with one reference and references `owner`.
  static HRESULT Create(IDirect3D8* owner, HWND focusWindow, DWORD behaviorFlags, D3DPRESENT_PARAMETERS* params,
                        IDirect3DDevice8** device);

  // Whether presentation waits for vertical sync (where the display offers it).
  static bool WantsVerticalSync(const D3DPRESENT_PARAMETERS& params);

  // Resources made by this device that the caller still references.
  size_t LiveResourceCount() const { return m_host->LiveCount(); }

  // --- IDirect3DDevice8 ---
#include "platform/d3d8/device_methods.inc"

 protected:
  ~CGLDevice() override;

 private:
  CGLDevice(IDirect3D8* owner, HWND focusWindow, DWORD behaviorFlags);
  HRESULT Configure(const D3DPRESENT_PARAMETERS& params);
  bool MakeCurrent();
  void ReleaseFramebuffer();
  CGLBackEnd::Target Target() const;
  // Draws from memory, or from the buffer objects of `vertexBuffer` and `indexBuffer` when
  // given (refreshed first if a lock has changed them); `indices` is null for a list.
  HRESULT Draw(D3DPRIMITIVETYPE type, UINT primitiveCount, CGLBackEnd::VertexSource vertices, DWORD shader,
               CGLBackEnd::IndexSource* indices, CMemoryVertexBuffer* vertexBuffer = nullptr,
               CMemoryIndexBuffer* indexBuffer = nullptr);
  void ReadBackBuffer(CMemoryImage& image);
  void DrawCursor(int viewX, int viewY, int viewWidth, int viewHeight);
  void TextureLevelFilled(CMemoryTexture* texture, UINT level);
  void TextureDestroyed(CMemoryTexture* texture);

  IDirect3D8* m_owner;
  HWND m_focusWindow;
  HWND m_deviceWindow = nullptr;
  DWORD m_behavior;
  D3DPRESENT_PARAMETERS m_params;
  D3DCAPS8 m_caps;
  MemoryHostPtr m_host;
  CD3DStateModel m_model;
  GLFunctions m_gl;
  CGLBackEnd m_backEnd;
  unsigned m_framebuffer = 0, m_colorBuffer = 0, m_depthBuffer = 0;
  unsigned m_seenMinimizeCount = 0;
  bool m_inScene = false;
  D3DCLIPSTATUS8 m_clipStatus = {0, 0};
  CVertexShaderTable m_vertexShaders;
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
class CGLDirect3D : public ComObject<IDirect3D8, IID_IDirect3D8> {
 public:
  CGLDirect3D() = default;

#include "platform/d3d8/direct3d_methods.inc"

 protected:
  ~CGLDirect3D() override = default;
};

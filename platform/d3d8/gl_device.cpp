#include "platform/d3d8/gl_device.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>

#include "platform/d3d8/pixel_format.h"
#include "platform/win32/window_bridge.h"

namespace {

UINT VertexCount(D3DPRIMITIVETYPE type, UINT primitives) {
  switch (type) {
    case D3DPT_POINTLIST: return primitives;
    case D3DPT_LINELIST: return primitives * 2;
    case D3DPT_LINESTRIP: return primitives + 1;
    case D3DPT_TRIANGLELIST: return primitives * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: return primitives + 2;
    default: return 0;
  }
}

// An environment variable set to anything but empty or "0".
bool EnvironmentFlag(const char* name) {
  const char* value = std::getenv(name);
  return value && *value && std::strcmp(value, "0") != 0;
}

bool WindowedOnly() { return EnvironmentFlag("VANTOREL_WINDOWED"); }

// The buffer object holding a buffer's bytes, made or refreshed when a lock may have changed them.
template <class I>
unsigned BufferObject(const GLFunctions& gl, TMemoryBuffer<I>* buffer, GLenum target) {
  if (!buffer->glName) gl.GenBuffers(1, &buffer->glName);
  if (buffer->glVersion != buffer->Version()) {
    gl.BindBuffer(target, buffer->glName);
    gl.BufferData(target, static_cast<GLsizeiptr>(buffer->Data().size()), buffer->Data().data(),
                  (buffer->Usage() & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    gl.BindBuffer(target, 0);
    buffer->glVersion = buffer->Version();
  }
  return buffer->glName;
}

// A buffer the caller still holds outlives the device: it keeps its bytes, not the GL copy.
template <class I>
void ForgetBufferObject(const GLFunctions& gl, bool current, TMemoryBuffer<I>* buffer) {
  if (buffer->glName && current) gl.DeleteBuffers(1, &buffer->glName);
  buffer->glName = 0;
  buffer->glVersion = 0;
}

}  // namespace

CGLDevice::CGLDevice(IDirect3D8* owner, HWND focusWindow, DWORD behaviorFlags)
    : m_owner(owner), m_focusWindow(focusWindow), m_behavior(behaviorFlags),
      m_host(std::make_shared<CMemoryResourceHost>()), m_backEnd(m_gl, D3DDefaultCaps().MaxTextureBlendStages) {
  m_owner->AddRef();
  m_host->device = this;
  m_host->textureDestroyed = [this](CMemoryTexture* texture) { TextureDestroyed(texture); };
  m_host->textureLevelUnlocked = [this](CMemoryTexture* texture, UINT level) { TextureLevelFilled(texture, level); };
  m_host->bufferDestroyed = [this](unsigned name) {
    if (MakeCurrent()) m_gl.DeleteBuffers(1, &name);
  };
  m_host->readTextureLevel = [this](CMemoryTexture* texture, UINT level, CMemoryImage& image) {
    if (texture->glName && MakeCurrent()) m_backEnd.ReadTextureLevel(texture, level, image);
  };
  m_caps = D3DDefaultCaps();
  std::memset(&m_params, 0, sizeof m_params);
  for (int i = 0; i < 256; ++i)
    m_gamma.red[i] = m_gamma.green[i] = m_gamma.blue[i] = static_cast<WORD>(i * 257);
}

HRESULT CGLDevice::Create(IDirect3D8* owner, HWND focusWindow, DWORD behaviorFlags, D3DPRESENT_PARAMETERS* params,
                          IDirect3DDevice8** device) {
  auto* created = new CGLDevice(owner, focusWindow, behaviorFlags);
  const HRESULT hr = created->Configure(*params);
  if (FAILED(hr)) {
    created->Release();
    return hr;
  }
  *params = created->m_params;
  *device = created;
  return S_OK;
}

CGLDevice::~CGLDevice() {
  const bool current = MakeCurrent();
  // Drop bindings and state blocks while the GL context is still ours.
  m_model.DeleteAllStateBlocks();
  m_model.SetDefaults(1, 1, false);
  for (CMemoryResource* resource : m_host->live) {
    if (auto* texture = dynamic_cast<CMemoryTexture*>(resource)) {
      // A texture the caller still holds keeps its pixels: back into memory before OpenGL's copy goes.
      for (UINT level = 0; level < texture->GetLevelCount(); ++level) texture->Level(level);
      if (texture->glName && current) m_backEnd.DeleteTexture(texture);
      texture->glName = 0;
    }
    if (auto* vertices = dynamic_cast<CMemoryVertexBuffer*>(resource)) ForgetBufferObject(m_gl, current, vertices);
    if (auto* indices = dynamic_cast<CMemoryIndexBuffer*>(resource)) ForgetBufferObject(m_gl, current, indices);
  }
  if (!m_host->live.empty())
    std::fprintf(stderr, "FAIL: Direct3D device released with %zu resources still referenced\n",
                 m_host->live.size());
  m_host->textureDestroyed = nullptr;
  m_host->textureLevelUnlocked = nullptr;
  m_host->bufferDestroyed = nullptr;
  m_host->readTextureLevel = nullptr;
  m_host->device = nullptr;
  if (current) {
    ReleaseFramebuffer();
    m_backEnd.DeleteObjects();
    if (m_cursorTexture) glDeleteTextures(1, &m_cursorTexture);
  }
  if (D3D8WindowEntry* entry = D3D8WindowEntryFor(m_deviceWindow)) entry->presenting = false;
  m_owner->Release();
}

bool CGLDevice::MakeCurrent() { return D3D8MakeContextCurrent(D3D8WindowEntryFor(m_deviceWindow)); }

void CGLDevice::ReleaseFramebuffer() {
  if (!m_gl.BindFramebuffer) return;
  m_gl.BindFramebuffer(GL_FRAMEBUFFER, 0);
  if (m_framebuffer) m_gl.DeleteFramebuffers(1, &m_framebuffer);
  if (m_colorBuffer) m_gl.DeleteRenderbuffers(1, &m_colorBuffer);
  if (m_depthBuffer) m_gl.DeleteRenderbuffers(1, &m_depthBuffer);
  m_framebuffer = m_colorBuffer = m_depthBuffer = 0;
}

HRESULT CGLDevice::Configure(const D3DPRESENT_PARAMETERS& requested) {
  D3DPRESENT_PARAMETERS params = requested;
  m_deviceWindow = params.hDeviceWindow ? params.hDeviceWindow : m_focusWindow;
  D3D8WindowEntry* entry = D3D8WindowEntryFor(m_deviceWindow);
  if (!entry) {
    std::fprintf(stderr, "FAIL: Direct3D device: no SDL window is bound to the device window\n");
    return D3DERR_INVALIDCALL;
  }
  SDL_Window* window = static_cast<SDL_Window*>(entry->window);
  // Windows of the window layer go full screen through it, so their client area,
  // mouse messages and motion scale follow the back buffer; bare SDL windows directly.
  const bool managed = WindowGetSdlWindow(m_deviceWindow) == window;
  if (!params.Windowed && managed && params.BackBufferWidth && params.BackBufferHeight)
    WindowEnterFullscreen(m_deviceWindow, static_cast<int>(params.BackBufferWidth),
                          static_cast<int>(params.BackBufferHeight));
  else if (params.Windowed && managed)
    WindowLeaveFullscreen(m_deviceWindow);
  else if (!params.Windowed && !WindowedOnly())
    SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
  else if (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN)
    SDL_SetWindowFullscreen(window, 0);
  if (!MakeCurrent()) return D3DERR_NOTAVAILABLE;
  if (!m_gl.BindFramebuffer && !m_gl.Load()) return D3DERR_NOTAVAILABLE;

  if (params.BackBufferWidth == 0 || params.BackBufferHeight == 0) {
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(window, &w, &h);
    if (params.BackBufferWidth == 0) params.BackBufferWidth = static_cast<UINT>(std::max(w, 1));
    if (params.BackBufferHeight == 0) params.BackBufferHeight = static_cast<UINT>(std::max(h, 1));
  }
  if (params.BackBufferWidth > m_caps.MaxTextureWidth * 4 || params.BackBufferHeight > m_caps.MaxTextureHeight * 4)
    return D3DERR_INVALIDCALL;
  if (params.BackBufferFormat == D3DFMT_UNKNOWN) params.BackBufferFormat = D3DFMT_X8R8G8B8;
  if (params.BackBufferCount == 0) params.BackBufferCount = 1;
  if (D3DFormatBytesPerPixel(params.BackBufferFormat) == 0 || D3DIsDepthFormat(params.BackBufferFormat))
    return D3DERR_INVALIDCALL;
  if (params.EnableAutoDepthStencil && !D3DIsDepthFormat(params.AutoDepthStencilFormat)) return D3DERR_INVALIDCALL;

  ReleaseFramebuffer();
  m_gl.GenFramebuffers(1, &m_framebuffer);
  m_gl.BindFramebuffer(GL_FRAMEBUFFER, m_framebuffer);
  m_gl.GenRenderbuffers(1, &m_colorBuffer);
  m_gl.BindRenderbuffer(GL_RENDERBUFFER, m_colorBuffer);
  m_gl.RenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, static_cast<GLsizei>(params.BackBufferWidth),
                           static_cast<GLsizei>(params.BackBufferHeight));
  m_gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_colorBuffer);
  if (params.EnableAutoDepthStencil) {
    m_gl.GenRenderbuffers(1, &m_depthBuffer);
    m_gl.BindRenderbuffer(GL_RENDERBUFFER, m_depthBuffer);
    m_gl.RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, static_cast<GLsizei>(params.BackBufferWidth),
                             static_cast<GLsizei>(params.BackBufferHeight));
    m_gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, m_depthBuffer);
    m_gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER, m_depthBuffer);
  }
  if (m_gl.CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    std::fprintf(stderr, "FAIL: Direct3D device: the OpenGL framebuffer is incomplete\n");
    ReleaseFramebuffer();
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
  glClearColor(0, 0, 0, 1);
  glClearDepth(1.0);
  glClearStencil(0);
  glClear(GL_COLOR_BUFFER_BIT | (m_depthBuffer ? GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT : 0));

  m_backEnd.CreateObjects();
  // Without swap control on the display frames run free.
  SDL_GL_SetSwapInterval(WantsVerticalSync(params) ? 1 : 0);

  m_params = params;
  m_model.SetDefaults(params.BackBufferWidth, params.BackBufferHeight, params.EnableAutoDepthStencil != 0);
  m_seenMinimizeCount = entry->minimizeCount;
  entry->backBufferWidth = params.BackBufferWidth;
  entry->backBufferHeight = params.BackBufferHeight;
  m_inScene = false;
  return S_OK;
}

// Textures reach OpenGL when they are filled, so no frame waits for an upload, and
// the memory copy goes: a managed texture is not kept twice. System-memory textures
// are never drawn and stay in memory.
void CGLDevice::TextureLevelFilled(CMemoryTexture* texture, UINT level) {
  if (texture->Pool() == D3DPOOL_SYSTEMMEM || !MakeCurrent()) return;
  try {
    m_backEnd.UploadTextureLevel(texture, level);
  } catch (const std::bad_alloc&) {
    return;  // the pixels stay in memory; the first draw with the texture uploads them
  }
  if (texture->glName) texture->TakeOverPixels(level);
}

// Vertical sync, windowed and full screen: an idle scene then waits for the display
// instead of spinning a core. VANTOREL_NO_VSYNC=1 turns it off (the benchmark and the
// tests run with it); so does a full-screen device that asks for immediate presentation.
bool CGLDevice::WantsVerticalSync(const D3DPRESENT_PARAMETERS& params) {
  if (EnvironmentFlag("VANTOREL_NO_VSYNC")) return false;
  return params.Windowed || params.FullScreen_PresentationInterval != D3DPRESENT_INTERVAL_IMMEDIATE;
}

void CGLDevice::TextureDestroyed(CMemoryTexture* texture) {
  if (texture->glName && MakeCurrent()) m_backEnd.DeleteTexture(texture);
  texture->glName = 0;
}

CGLBackEnd::Target CGLDevice::Target() const {
  CGLBackEnd::Target target;
  target.framebuffer = m_framebuffer;
  target.width = static_cast<int>(m_params.BackBufferWidth);
  target.height = static_cast<int>(m_params.BackBufferHeight);
  target.depthBuffer = m_depthBuffer != 0;
  return target;
}

// --- Device status ---
HRESULT CGLDevice::TestCooperativeLevel() {
  D3D8WindowEntry* entry = D3D8WindowEntryFor(m_deviceWindow);
  if (!entry || entry->minimized) return D3DERR_DEVICELOST;
  if (entry->minimizeCount != m_seenMinimizeCount) return D3DERR_DEVICENOTRESET;
  return S_OK;
}

UINT CGLDevice::GetAvailableTextureMem() { return 256u << 20; }
HRESULT CGLDevice::ResourceManagerDiscardBytes(DWORD) { return S_OK; }

HRESULT CGLDevice::GetDirect3D(IDirect3D8** d3d) {
  if (!d3d) return D3DERR_INVALIDCALL;
  *d3d = m_owner;
  m_owner->AddRef();
  return S_OK;
}

HRESULT CGLDevice::GetDeviceCaps(D3DCAPS8* caps) {
  if (!caps) return D3DERR_INVALIDCALL;
  *caps = m_caps;
  return S_OK;
}

HRESULT CGLDevice::GetDisplayMode(D3DDISPLAYMODE* mode) {
  if (!mode) return D3DERR_INVALIDCALL;
  if (m_params.Windowed) return m_owner->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, mode);
  *mode = D3DDISPLAYMODE{m_params.BackBufferWidth, m_params.BackBufferHeight, 60, m_params.BackBufferFormat};
  return S_OK;
}

HRESULT CGLDevice::GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* parameters) {
  if (!parameters) return D3DERR_INVALIDCALL;
  *parameters = D3DDEVICE_CREATION_PARAMETERS{D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, m_focusWindow, m_behavior};
  return S_OK;
}

// --- Cursor ---
HRESULT CGLDevice::SetCursorProperties(UINT hotX, UINT hotY, IDirect3DSurface8* bitmap) {
  CMemorySurface* surface = AsMemorySurface(bitmap);
  if (!surface) return D3DERR_INVALIDCALL;
  const CMemoryImage& image = surface->Image();
  if (image.format != D3DFMT_A8R8G8B8 || hotX >= image.width || hotY >= image.height) return D3DERR_INVALIDCALL;
  m_cursorWidth = image.width;
  m_cursorHeight = image.height;
  m_cursorHotX = hotX;
  m_cursorHotY = hotY;
  m_cursorPixels.resize(static_cast<size_t>(image.width) * image.height * 4);
  D3DConvertToRGBA(image.pixels.data(), image.format, image.width * image.height, m_cursorPixels.data());
  m_cursorDirty = true;
  return S_OK;
}

void CGLDevice::SetCursorPosition(int x, int y, DWORD) {
  m_cursorX = x;
  m_cursorY = y;
}

BOOL CGLDevice::ShowCursor(BOOL show) {
  const BOOL old = m_cursorShown;
  m_cursorShown = show ? TRUE : FALSE;
  return old;
}

void CGLDevice::DrawCursor(int viewX, int viewY, int viewWidth, int viewHeight) {
  if (!m_cursorShown || m_cursorPixels.empty() || m_params.BackBufferWidth == 0) return;
  if (!m_cursorTexture) glGenTextures(1, &m_cursorTexture);
  m_backEnd.ForgetTextureStages();  // the cursor takes the units over
  m_gl.ActiveTexture(GL_TEXTURE1);
  glDisable(GL_TEXTURE_2D);
  m_gl.ActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, m_cursorTexture);
  if (m_cursorDirty) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(m_cursorWidth),
                 static_cast<GLsizei>(m_cursorHeight), 0, GL_RGBA, GL_UNSIGNED_BYTE, m_cursorPixels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    m_cursorDirty = false;
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  int drawableW = 0, drawableH = 0;
  SDL_GL_GetDrawableSize(static_cast<SDL_Window*>(D3D8WindowEntryFor(m_deviceWindow)->window), &drawableW, &drawableH);
  glViewport(0, 0, drawableW, drawableH);
  glDisable(GL_SCISSOR_TEST);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LIGHTING);
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_FOG);
  glDisable(GL_CULL_FACE);
  glDisable(GL_STENCIL_TEST);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  m_gl.BlendEquation(GL_FUNC_ADD);
  glMatrixMode(GL_TEXTURE);
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, drawableW, drawableH, 0, -1, 1);  // window pixels, y down
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  const double scaleX = static_cast<double>(viewWidth) / m_params.BackBufferWidth;
  const double scaleY = static_cast<double>(viewHeight) / m_params.BackBufferHeight;
  const double left = viewX + (m_cursorX - static_cast<int>(m_cursorHotX)) * scaleX;
  const double top = viewY + (m_cursorY - static_cast<int>(m_cursorHotY)) * scaleY;
  const double right = left + m_cursorWidth * scaleX, bottom = top + m_cursorHeight * scaleY;
  glColor4ub(255, 255, 255, 255);
  glBegin(GL_QUADS);
  glTexCoord2f(0, 0), glVertex2d(left, top);
  glTexCoord2f(1, 0), glVertex2d(right, top);
  glTexCoord2f(1, 1), glVertex2d(right, bottom);
  glTexCoord2f(0, 1), glVertex2d(left, bottom);
  glEnd();
}

// --- Presentation ---
HRESULT CGLDevice::CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS*, IDirect3DSwapChain8** chain) {
  if (chain) *chain = nullptr;
  return D3DERR_NOTAVAILABLE;
}

HRESULT CGLDevice::Reset(D3DPRESENT_PARAMETERS* params) {
  if (!params) return D3DERR_INVALIDCALL;
  D3D8WindowEntry* entry = D3D8WindowEntryFor(params->hDeviceWindow ? params->hDeviceWindow : m_focusWindow);
  if (entry && entry->minimized) return D3DERR_DEVICELOST;
  const size_t leftOver = m_host->LiveCount(D3DPOOL_DEFAULT);
  if (leftOver > 0) {
    std::fprintf(stderr, "FAIL: Reset with %zu default-pool resources still referenced\n", leftOver);
    return D3DERR_INVALIDCALL;
  }
  const HRESULT hr = Configure(*params);
  if (SUCCEEDED(hr)) *params = m_params;
  return hr;
}

HRESULT CGLDevice::Present(CONST RECT*, CONST RECT*, HWND, CONST RGNDATA*) {
  if (TestCooperativeLevel() != S_OK) return D3DERR_DEVICELOST;
  D3D8WindowEntry* entry = D3D8WindowEntryFor(m_deviceWindow);
  if (!MakeCurrent() || !m_framebuffer) return D3DERR_DEVICELOST;
  SDL_Window* window = static_cast<SDL_Window*>(entry->window);
  int drawableW = 0, drawableH = 0;
  SDL_GL_GetDrawableSize(window, &drawableW, &drawableH);
  const int bbW = static_cast<int>(m_params.BackBufferWidth), bbH = static_cast<int>(m_params.BackBufferHeight);
  // Scale to fit, keeping the aspect ratio; the rest of the window is black.
  const double scale = std::min(static_cast<double>(drawableW) / bbW, static_cast<double>(drawableH) / bbH);
  const int viewW = std::max(1, static_cast<int>(std::lround(bbW * scale)));
  const int viewH = std::max(1, static_cast<int>(std::lround(bbH * scale)));
  const int viewX = (drawableW - viewW) / 2, viewY = (drawableH - viewH) / 2;

  m_gl.BindFramebuffer(GL_READ_FRAMEBUFFER, m_framebuffer);
  m_gl.BindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  // The framebuffer holds the top row first; the window's first row is its bottom.
  m_gl.BlitFramebuffer(0, 0, bbW, bbH, viewX, drawableH - viewY, viewX + viewW, drawableH - viewY - viewH,
                       GL_COLOR_BUFFER_BIT, (viewW == bbW && viewH == bbH) ? GL_NEAREST : GL_LINEAR);
  m_gl.BindFramebuffer(GL_FRAMEBUFFER, 0);
  DrawCursor(viewX, viewY, viewW, viewH);
  SDL_GL_SwapWindow(window);
  m_gl.BindFramebuffer(GL_FRAMEBUFFER, m_framebuffer);

  entry->presenting = true;
  entry->viewX = viewX, entry->viewY = viewY, entry->viewWidth = viewW, entry->viewHeight = viewH;
  entry->backBufferWidth = m_params.BackBufferWidth;
  entry->backBufferHeight = m_params.BackBufferHeight;
  return S_OK;
}

void CGLDevice::ReadBackBuffer(CMemoryImage& image) {
  if (!MakeCurrent() || !m_framebuffer) return;
  if (image.width != m_params.BackBufferWidth || image.height != m_params.BackBufferHeight)
    image.Allocate(m_params.BackBufferWidth, m_params.BackBufferHeight, image.format);
  std::vector<BYTE> rgba(static_cast<size_t>(image.width) * image.height * 4);
  m_gl.BindFramebuffer(GL_FRAMEBUFFER, m_framebuffer);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, static_cast<GLsizei>(image.width), static_cast<GLsizei>(image.height), GL_RGBA,
               GL_UNSIGNED_BYTE, rgba.data());
  D3DConvertFromRGBA(rgba.data(), image.format, image.width * image.height, image.pixels.data());
}

HRESULT CGLDevice::GetBackBuffer(UINT index, D3DBACKBUFFER_TYPE, IDirect3DSurface8** result) {
  if (!result) return D3DERR_INVALIDCALL;
  *result = nullptr;
  if (index >= m_params.BackBufferCount) return D3DERR_INVALIDCALL;
  return UnlessOutOfMemory([&] {
    // The surface reads the frame when locked, as long as this device lives.
    MemoryHostPtr host = m_host;
    std::function<void(CMemoryImage&)> readFrame = [host](CMemoryImage& image) {
      if (auto* device = dynamic_cast<CGLDevice*>(host->device)) device->ReadBackBuffer(image);
    };
    auto* surface = new CMemorySurface(m_host, m_params.BackBufferWidth, m_params.BackBufferHeight,
                                       m_params.BackBufferFormat, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT);
    surface->refreshOnLock = std::move(readFrame);  // allocates nothing: the surface cannot be left behind
    *result = surface;
    return S_OK;
  });
}

HRESULT CGLDevice::GetRasterStatus(D3DRASTER_STATUS* status) {
  if (!status) return D3DERR_INVALIDCALL;
  *status = D3DRASTER_STATUS{FALSE, 0};
  return S_OK;
}

void CGLDevice::SetGammaRamp(DWORD, CONST D3DGAMMARAMP* ramp) {
  if (ramp) m_gamma = *ramp;
}

void CGLDevice::GetGammaRamp(D3DGAMMARAMP* ramp) {
  if (ramp) *ramp = m_gamma;
}

// --- Resources ---
HRESULT CGLDevice::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                 IDirect3DTexture8** texture) {
  if (!texture) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  if (width == 0 || height == 0 || width > m_caps.MaxTextureWidth || height > m_caps.MaxTextureHeight ||
      !D3DIsTextureFormat(format) || (usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)))
    return D3DERR_INVALIDCALL;
  return UnlessOutOfMemory([&] {
    auto* created = new CMemoryTexture(m_host, width, height, levels, usage, format, pool);
    if (pool != D3DPOOL_SYSTEMMEM && MakeCurrent()) m_backEnd.CreateTexture(created);
    *texture = created;
    return S_OK;
  });
}

HRESULT CGLDevice::CreateVolumeTexture(UINT, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL,
                                       IDirect3DVolumeTexture8** texture) {
  if (texture) *texture = nullptr;
  return D3DERR_NOTAVAILABLE;
}

HRESULT CGLDevice::CreateCubeTexture(UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DCubeTexture8** texture) {
  if (texture) *texture = nullptr;
  return D3DERR_NOTAVAILABLE;
}

HRESULT CGLDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                      IDirect3DVertexBuffer8** buffer) {
  if (!buffer) return D3DERR_INVALIDCALL;
  *buffer = nullptr;
  if (length == 0) return D3DERR_INVALIDCALL;
  return UnlessOutOfMemory([&] {
    *buffer = new CMemoryVertexBuffer(m_host, length, usage, fvf, pool);
    return S_OK;
  });
}

HRESULT CGLDevice::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                     IDirect3DIndexBuffer8** buffer) {
  if (!buffer) return D3DERR_INVALIDCALL;
  *buffer = nullptr;
  if (length == 0 || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32)) return D3DERR_INVALIDCALL;
  return UnlessOutOfMemory([&] {
    *buffer = new CMemoryIndexBuffer(m_host, length, usage, format, pool);
    return S_OK;
  });
}

HRESULT CGLDevice::CreateRenderTarget(UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, BOOL, IDirect3DSurface8** surface) {
  if (surface) *surface = nullptr;
  return D3DERR_NOTAVAILABLE;
}

HRESULT CGLDevice::CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE,
                                             IDirect3DSurface8** surface) {
  if (!surface) return D3DERR_INVALIDCALL;
  *surface = nullptr;
  if (width == 0 || height == 0 || !D3DIsDepthFormat(format)) return D3DERR_INVALIDCALL;
  return UnlessOutOfMemory([&] {
    *surface = new CMemorySurface(m_host, width, height, format, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT);
    return S_OK;
  });
}

HRESULT CGLDevice::CreateImageSurface(UINT width, UINT height, D3DFORMAT format, IDirect3DSurface8** surface) {
  if (!surface) return D3DERR_INVALIDCALL;
  *surface = nullptr;
  if (width == 0 || height == 0 || D3DFormatBytesPerPixel(format) == 0 || D3DIsDepthFormat(format))
    return D3DERR_INVALIDCALL;
  return UnlessOutOfMemory([&] {
    *surface = new CMemorySurface(m_host, width, height, format, 0, D3DPOOL_SYSTEMMEM);
    return S_OK;
  });
}

HRESULT CGLDevice::CopyRects(IDirect3DSurface8* sourceSurface, CONST RECT* rects, UINT count,
                             IDirect3DSurface8* destinationSurface, CONST POINT* points) {
  CMemorySurface* source = AsMemorySurface(sourceSurface);
  CMemorySurface* destination = AsMemorySurface(destinationSurface);
  if (!source || !destination) return D3DERR_INVALIDCALL;
  D3DLOCKED_RECT from, to;
  if (FAILED(source->LockRect(&from, nullptr, D3DLOCK_READONLY))) return D3DERR_INVALIDCALL;
  if (FAILED(destination->LockRect(&to, nullptr, 0))) {
    source->UnlockRect();
    return D3DERR_INVALIDCALL;
  }
  const CMemoryImage& src = source->Image();
  const CMemoryImage& dst = destination->Image();
  HRESULT hr = S_OK;
  if (src.format != dst.format) {
    hr = D3DERR_INVALIDCALL;
  } else {
    const UINT bpp = D3DFormatBytesPerPixel(src.format);
    const RECT whole = {0, 0, static_cast<LONG>(src.width), static_cast<LONG>(src.height)};
    for (UINT i = 0; i < std::max(count, 1u); ++i) {
      const RECT r = rects && count ? rects[i] : whole;
      const bool placed = points && rects && count;
      const LONG dx = placed ? points[i].x : r.left, dy = placed ? points[i].y : r.top;
      if (r.left < 0 || r.top < 0 || r.right > whole.right || r.bottom > whole.bottom || r.left >= r.right ||
          r.top >= r.bottom || dx < 0 || dy < 0 || dx + (r.right - r.left) > static_cast<LONG>(dst.width) ||
          dy + (r.bottom - r.top) > static_cast<LONG>(dst.height)) {
        hr = D3DERR_INVALIDCALL;
        continue;
      }
      for (LONG y = r.top; y < r.bottom; ++y)
        std::memcpy(static_cast<BYTE*>(to.pBits) + static_cast<size_t>(dy + y - r.top) * to.Pitch + dx * bpp,
                    static_cast<const BYTE*>(from.pBits) + static_cast<size_t>(y) * from.Pitch + r.left * bpp,
                    static_cast<size_t>(r.right - r.left) * bpp);
    }
  }
  destination->UnlockRect();
  source->UnlockRect();
  return hr;
}

HRESULT CGLDevice::UpdateTexture(IDirect3DBaseTexture8* sourceTexture, IDirect3DBaseTexture8* destinationTexture) {
  CMemoryTexture* source = AsMemoryTexture(sourceTexture);
  CMemoryTexture* destination = AsMemoryTexture(destinationTexture);
  if (!source || !destination || source->Format() != destination->Format() ||
      source->GetLevelCount() < destination->GetLevelCount() || source->Width() != destination->Width() ||
      source->Height() != destination->Height())
    return D3DERR_INVALIDCALL;
  for (UINT level = 0; level < destination->GetLevelCount(); ++level) {
    destination->Level(level).pixels = source->Level(level).pixels;
    TextureLevelFilled(destination, level);
  }
  return S_OK;
}

HRESULT CGLDevice::GetFrontBuffer(IDirect3DSurface8* destinationSurface) {
  // The last presented frame is what the framebuffer still holds after Present.
  CMemorySurface* destination = AsMemorySurface(destinationSurface);
  if (!destination || destination->Image().format != D3DFMT_A8R8G8B8) return D3DERR_INVALIDCALL;
  CMemoryImage frame;
  frame.Allocate(m_params.BackBufferWidth, m_params.BackBufferHeight, D3DFMT_A8R8G8B8);
  ReadBackBuffer(frame);
  CMemoryImage& image = destination->Image();
  const UINT w = std::min(image.width, frame.width), h = std::min(image.height, frame.height);
  for (UINT y = 0; y < h; ++y)
    std::memcpy(image.pixels.data() + static_cast<size_t>(y) * image.Pitch(),
                frame.pixels.data() + static_cast<size_t>(y) * frame.Pitch(), static_cast<size_t>(w) * 4);
  return S_OK;
}

HRESULT CGLDevice::SetRenderTarget(IDirect3DSurface8*, IDirect3DSurface8*) { return D3DERR_NOTAVAILABLE; }

HRESULT CGLDevice::GetRenderTarget(IDirect3DSurface8** target) {
  return GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, target);
}

HRESULT CGLDevice::GetDepthStencilSurface(IDirect3DSurface8** surface) {
  if (!surface) return D3DERR_INVALIDCALL;
  *surface = nullptr;
  if (!m_params.EnableAutoDepthStencil) return D3DERR_NOTFOUND;
  return UnlessOutOfMemory([&] {
    *surface = new CMemorySurface(m_host, m_params.BackBufferWidth, m_params.BackBufferHeight,
                                  m_params.AutoDepthStencilFormat, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT);
    return S_OK;
  });
}

// --- Scene ---
HRESULT CGLDevice::BeginScene() {
  if (m_inScene) return D3DERR_INVALIDCALL;
  m_inScene = true;
  return S_OK;
}

HRESULT CGLDevice::EndScene() {
  if (!m_inScene) return D3DERR_INVALIDCALL;
  m_inScene = false;
  if (MakeCurrent()) glFlush();
  return S_OK;
}

HRESULT CGLDevice::Clear(DWORD count, CONST D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
  if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !m_depthBuffer) return D3DERR_INVALIDCALL;
  if (!MakeCurrent() || !m_framebuffer) return S_OK;
  if (!(flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL))) return D3DERR_INVALIDCALL;
  m_backEnd.Clear(m_model, Target(), count, rects, flags, color, z, stencil);
  return S_OK;
}

// --- State ---
HRESULT CGLDevice::SetTransform(D3DTRANSFORMSTATETYPE state, CONST D3DMATRIX* matrix) {
  if (!matrix) return D3DERR_INVALIDCALL;
  return m_model.SetTransform(state, *matrix);
}

HRESULT CGLDevice::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
  if (!matrix) return D3DERR_INVALIDCALL;
  *matrix = m_model.Transform(state);
  return S_OK;
}

HRESULT CGLDevice::MultiplyTransform(D3DTRANSFORMSTATETYPE state, CONST D3DMATRIX* matrix) {
  if (!matrix) return D3DERR_INVALIDCALL;
  return m_model.MultiplyTransform(state, *matrix);
}

HRESULT CGLDevice::SetViewport(CONST D3DVIEWPORT8* viewport) {
  if (!viewport || viewport->X + viewport->Width > m_params.BackBufferWidth ||
      viewport->Y + viewport->Height > m_params.BackBufferHeight)
    return D3DERR_INVALIDCALL;
  return m_model.SetViewport(*viewport);
}

HRESULT CGLDevice::GetViewport(D3DVIEWPORT8* viewport) {
  if (!viewport) return D3DERR_INVALIDCALL;
  *viewport = m_model.State().viewport;
  return S_OK;
}

HRESULT CGLDevice::SetMaterial(CONST D3DMATERIAL8* material) {
  if (!material) return D3DERR_INVALIDCALL;
  return m_model.SetMaterial(*material);
}

HRESULT CGLDevice::GetMaterial(D3DMATERIAL8* material) {
  if (!material) return D3DERR_INVALIDCALL;
  *material = m_model.State().material;
  return S_OK;
}

HRESULT CGLDevice::SetLight(DWORD index, CONST D3DLIGHT8* light) {
  if (!light) return D3DERR_INVALIDCALL;
  return m_model.SetLight(index, *light);
}

HRESULT CGLDevice::GetLight(DWORD index, D3DLIGHT8* light) {
  auto it = m_model.State().lights.find(index);
  if (!light || it == m_model.State().lights.end()) return D3DERR_INVALIDCALL;
  *light = it->second;
  return S_OK;
}

HRESULT CGLDevice::LightEnable(DWORD index, BOOL enable) { return m_model.LightEnable(index, enable); }

HRESULT CGLDevice::GetLightEnable(DWORD index, BOOL* enable) {
  auto it = m_model.State().lightEnabled.find(index);
  if (!enable || it == m_model.State().lightEnabled.end()) return D3DERR_INVALIDCALL;
  *enable = it->second;
  return S_OK;
}

HRESULT CGLDevice::SetClipPlane(DWORD, CONST float* plane) { return plane ? S_OK : D3DERR_INVALIDCALL; }

HRESULT CGLDevice::GetClipPlane(DWORD, float* plane) {
  if (!plane) return D3DERR_INVALIDCALL;
  std::fill(plane, plane + 4, 0.0f);
  return S_OK;
}

HRESULT CGLDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) { return m_model.SetRenderState(state, value); }

HRESULT CGLDevice::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
  if (!value || state >= D3DRS_MAX_COUNT) return D3DERR_INVALIDCALL;
  *value = m_model.State().renderStates[state];
  return S_OK;
}

HRESULT CGLDevice::BeginStateBlock() {
  return UnlessOutOfMemory([&] { return m_model.BeginStateBlock(); });
}
HRESULT CGLDevice::EndStateBlock(DWORD* token) {
  return UnlessOutOfMemory([&] { return m_model.EndStateBlock(token); });
}
HRESULT CGLDevice::ApplyStateBlock(DWORD token) { return m_model.ApplyStateBlock(token); }
HRESULT CGLDevice::CaptureStateBlock(DWORD token) { return m_model.CaptureStateBlock(token); }
HRESULT CGLDevice::DeleteStateBlock(DWORD token) { return m_model.DeleteStateBlock(token); }
HRESULT CGLDevice::CreateStateBlock(D3DSTATEBLOCKTYPE type, DWORD* token) {
  return UnlessOutOfMemory([&] { return m_model.CreateStateBlock(type, token); });
}

HRESULT CGLDevice::SetClipStatus(CONST D3DCLIPSTATUS8* status) {
  if (!status) return D3DERR_INVALIDCALL;
  m_clipStatus = *status;
  return S_OK;
}

HRESULT CGLDevice::GetClipStatus(D3DCLIPSTATUS8* status) {
  if (!status) return D3DERR_INVALIDCALL;
  *status = m_clipStatus;
  return S_OK;
}

HRESULT CGLDevice::GetTexture(DWORD stage, IDirect3DBaseTexture8** texture) {
  if (!texture || stage >= D3DMAXTEXTURESTAGES) return D3DERR_INVALIDCALL;
  *texture = m_model.State().textures[stage];
  if (*texture) (*texture)->AddRef();
  return S_OK;
}

HRESULT CGLDevice::SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) { return m_model.SetTexture(stage, texture); }

HRESULT CGLDevice::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
  if (!value || stage >= D3DMAXTEXTURESTAGES || type >= D3DTSS_MAX_COUNT) return D3DERR_INVALIDCALL;
  *value = m_model.State().stageStates[stage][type];
  return S_OK;
}

HRESULT CGLDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  return m_model.SetStageState(stage, type, value);
}

HRESULT CGLDevice::ValidateDevice(DWORD* passes) {
  if (passes) *passes = 1;
  return S_OK;
}

HRESULT CGLDevice::GetInfo(DWORD, void*, DWORD) { return S_FALSE; }
HRESULT CGLDevice::SetPaletteEntries(UINT, CONST PALETTEENTRY*) { return D3DERR_INVALIDCALL; }
HRESULT CGLDevice::GetPaletteEntries(UINT, PALETTEENTRY*) { return D3DERR_INVALIDCALL; }
HRESULT CGLDevice::SetCurrentTexturePalette(UINT) { return D3DERR_INVALIDCALL; }
HRESULT CGLDevice::GetCurrentTexturePalette(UINT*) { return D3DERR_INVALIDCALL; }

// --- Drawing: the back end translates the state and draws ---
HRESULT CGLDevice::Draw(D3DPRIMITIVETYPE type, UINT primitiveCount, CGLBackEnd::VertexSource vertices, DWORD shader,
                        CGLBackEnd::IndexSource* indices, CMemoryVertexBuffer* vertexBuffer,
                        CMemoryIndexBuffer* indexBuffer) {
  CGLBackEnd::VertexLayout layout;
  if (!CGLBackEnd::LayoutFor(shader, m_vertexShaders, &layout) || vertices.stride < layout.size)
    return D3DERR_INVALIDCALL;
  if (primitiveCount == 0 || vertices.count == 0) return S_OK;
  if (!MakeCurrent() || !m_framebuffer) return S_OK;
  if (vertexBuffer) vertices.buffer = BufferObject(m_gl, vertexBuffer, GL_ARRAY_BUFFER);
  if (indexBuffer && indices) indices->buffer = BufferObject(m_gl, indexBuffer, GL_ELEMENT_ARRAY_BUFFER);
  m_backEnd.Draw(m_model, Target(), layout, type, vertices, indices);
  return S_OK;
}

HRESULT CGLDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT start, UINT count) {
  const D3DRecordedState& s = m_model.State();
  CMemoryVertexBuffer* buffer = AsMemoryVertexBuffer(s.streamSource);
  const UINT n = VertexCount(type, count);
  if (!buffer || s.streamStride == 0 || n == 0) return count == 0 ? S_OK : D3DERR_INVALIDCALL;
  if ((static_cast<size_t>(start) + n) * s.streamStride > buffer->Data().size()) return D3DERR_INVALIDCALL;
  CGLBackEnd::VertexSource vertices;
  vertices.offset = static_cast<size_t>(start) * s.streamStride;
  vertices.memory = buffer->Data().data() + vertices.offset;
  vertices.count = n;
  vertices.stride = s.streamStride;
  return Draw(type, count, vertices, s.vertexShader, nullptr, buffer);
}

HRESULT CGLDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT, UINT, UINT startIndex, UINT count) {
  const D3DRecordedState& s = m_model.State();
  CMemoryVertexBuffer* buffer = AsMemoryVertexBuffer(s.streamSource);
  CMemoryIndexBuffer* indexBuffer = AsMemoryIndexBuffer(s.indices);
  const UINT n = VertexCount(type, count);
  if (!buffer || !indexBuffer || s.streamStride == 0 || n == 0) return count == 0 ? S_OK : D3DERR_INVALIDCALL;
  const size_t indexSize = indexBuffer->IndexSize();
  if ((static_cast<size_t>(startIndex) + n) * indexSize > indexBuffer->Data().size()) return D3DERR_INVALIDCALL;
  // The caller's range hints are not trusted: every index drawn must reach a vertex of the
  // buffer. The largest index of the whole buffer, kept per version, settles that at once
  // almost always; only when it reaches too far are the drawn indices themselves looked at.
  const size_t vertexCapacity = buffer->Data().size() / s.streamStride;
  const size_t base = s.baseVertexIndex;
  size_t high = indexBuffer->MaxIndex();
  if (base + high >= vertexCapacity) {
    high = indexBuffer->MaxIndexIn(startIndex, n);
    if (base + high >= vertexCapacity) return D3DERR_INVALIDCALL;
  }
  CGLBackEnd::VertexSource vertices;
  vertices.offset = base * s.streamStride;
  vertices.memory = buffer->Data().data() + vertices.offset;
  vertices.count = static_cast<UINT>(high + 1);
  vertices.stride = s.streamStride;
  CGLBackEnd::IndexSource indices;
  indices.offset = startIndex * indexSize;
  indices.memory = indexBuffer->Data().data() + indices.offset;
  indices.count = n;
  indices.size = static_cast<UINT>(indexSize);
  return Draw(type, count, vertices, s.vertexShader, &indices, buffer, indexBuffer);
}

HRESULT CGLDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT count, CONST void* data, UINT stride) {
  if (!data || stride == 0) return D3DERR_INVALIDCALL;
  CGLBackEnd::VertexSource vertices;
  vertices.memory = static_cast<const BYTE*>(data);
  vertices.count = VertexCount(type, count);
  vertices.stride = stride;
  const HRESULT hr = Draw(type, count, vertices, m_model.State().vertexShader, nullptr);
  m_model.SetStreamSource(nullptr, 0);  // as Direct3D 8 does after a user-pointer draw
  return hr;
}

HRESULT CGLDevice::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT vertexCount, UINT count,
                                          CONST void* indexData, D3DFORMAT format, CONST void* data, UINT stride) {
  if (!indexData || !data || stride == 0 || vertexCount == 0) return D3DERR_INVALIDCALL;
  const UINT n = VertexCount(type, count);
  std::vector<UINT> list(n);
  for (UINT i = 0; i < n; ++i) {
    UINT index = format == D3DFMT_INDEX32 ? static_cast<const uint32_t*>(indexData)[i]
                                          : static_cast<const uint16_t*>(indexData)[i];
    if (index < minIndex || index >= minIndex + vertexCount) return D3DERR_INVALIDCALL;
    list[i] = index - minIndex;
  }
  CGLBackEnd::VertexSource vertices;
  vertices.memory = static_cast<const BYTE*>(data) + static_cast<size_t>(minIndex) * stride;
  vertices.count = vertexCount;
  vertices.stride = stride;
  CGLBackEnd::IndexSource indices;
  indices.memory = list.data();
  indices.count = n;
  const HRESULT hr = Draw(type, count, vertices, m_model.State().vertexShader, &indices);
  m_model.SetStreamSource(nullptr, 0);
  m_model.SetIndices(nullptr, 0);
  return hr;
}

HRESULT CGLDevice::ProcessVertices(UINT, UINT, UINT, IDirect3DVertexBuffer8*, DWORD) { return D3DERR_INVALIDCALL; }

// --- Vertex shaders: declarations are kept; drawing uses the fixed pipeline with the declared layout ---
HRESULT CGLDevice::CreateVertexShader(CONST DWORD* declaration, CONST DWORD*, DWORD* handle, DWORD) {
  if (!declaration || !handle) return D3DERR_INVALIDCALL;
  return UnlessOutOfMemory([&] {
    *handle = m_vertexShaders.Create(declaration);
    return S_OK;
  });
}

HRESULT CGLDevice::SetVertexShader(DWORD handle) {
  if ((handle & 1u) && !m_vertexShaders.Has(handle)) return D3DERR_INVALIDCALL;
  return m_model.SetVertexShader(handle);
}

HRESULT CGLDevice::GetVertexShader(DWORD* handle) {
  if (!handle) return D3DERR_INVALIDCALL;
  *handle = m_model.State().vertexShader;
  return S_OK;
}

HRESULT CGLDevice::DeleteVertexShader(DWORD handle) {
  if (!m_vertexShaders.Delete(handle)) return D3DERR_INVALIDCALL;
  if (m_model.State().vertexShader == handle) m_model.SetVertexShader(0);
  return S_OK;
}

HRESULT CGLDevice::SetVertexShaderConstant(DWORD reg, CONST void* data, DWORD count) {
  if (!data || reg + count > 96) return D3DERR_INVALIDCALL;
  m_vertexShaders.SetConstants(reg, static_cast<const float*>(data), count);
  return S_OK;
}

HRESULT CGLDevice::GetVertexShaderConstant(DWORD reg, void* data, DWORD count) {
  if (!data) return D3DERR_INVALIDCALL;
  m_vertexShaders.GetConstants(reg, static_cast<float*>(data), count);
  return S_OK;
}

HRESULT CGLDevice::GetVertexShaderDeclaration(DWORD handle, void* data, DWORD* size) {
  return m_vertexShaders.CopyDeclaration(handle, data, size);
}

HRESULT CGLDevice::GetVertexShaderFunction(DWORD, void*, DWORD* size) {
  if (size) *size = 0;
  return D3DERR_INVALIDCALL;
}

HRESULT CGLDevice::SetStreamSource(UINT stream, IDirect3DVertexBuffer8* buffer, UINT stride) {
  if (stream != 0) return D3DERR_INVALIDCALL;
  return m_model.SetStreamSource(buffer, stride);
}

HRESULT CGLDevice::GetStreamSource(UINT stream, IDirect3DVertexBuffer8** buffer, UINT* stride) {
  if (stream != 0 || !buffer || !stride) return D3DERR_INVALIDCALL;
  *buffer = m_model.State().streamSource;
  if (*buffer) (*buffer)->AddRef();
  *stride = m_model.State().streamStride;
  return S_OK;
}

HRESULT CGLDevice::SetIndices(IDirect3DIndexBuffer8* buffer, UINT base) { return m_model.SetIndices(buffer, base); }

HRESULT CGLDevice::GetIndices(IDirect3DIndexBuffer8** buffer, UINT* base) {
  if (!buffer || !base) return D3DERR_INVALIDCALL;
  *buffer = m_model.State().indices;
  if (*buffer) (*buffer)->AddRef();
  *base = m_model.State().baseVertexIndex;
  return S_OK;
}

HRESULT CGLDevice::CreatePixelShader(CONST DWORD*, DWORD* handle) {
  if (handle) *handle = 0;
  return D3DERR_INVALIDCALL;
}
HRESULT CGLDevice::SetPixelShader(DWORD handle) { return handle == 0 ? S_OK : D3DERR_INVALIDCALL; }
HRESULT CGLDevice::GetPixelShader(DWORD* handle) {
  if (!handle) return D3DERR_INVALIDCALL;
  *handle = 0;
  return S_OK;
}
HRESULT CGLDevice::DeletePixelShader(DWORD) { return D3DERR_INVALIDCALL; }
HRESULT CGLDevice::SetPixelShaderConstant(DWORD, CONST void*, DWORD) { return D3DERR_INVALIDCALL; }
HRESULT CGLDevice::GetPixelShaderConstant(DWORD, void*, DWORD) { return D3DERR_INVALIDCALL; }
HRESULT CGLDevice::GetPixelShaderFunction(DWORD, void*, DWORD*) { return D3DERR_INVALIDCALL; }
HRESULT CGLDevice::DrawRectPatch(UINT, CONST float*, CONST D3DRECTPATCH_INFO*) { return D3DERR_INVALIDCALL; }
HRESULT CGLDevice::DrawTriPatch(UINT, CONST float*, CONST D3DTRIPATCH_INFO*) { return D3DERR_INVALIDCALL; }
HRESULT CGLDevice::DeletePatch(UINT) { return D3DERR_INVALIDCALL; }

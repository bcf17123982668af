#include "platform/d3d8/gl_device.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/d3d8/pixel_format.h"
#include "platform/win32/window_bridge.h"

namespace {

float FloatOf(DWORD bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

void ColorToFloats(D3DCOLOR c, float out[4]) {
  out[0] = ((c >> 16) & 0xff) / 255.0f;
  out[1] = ((c >> 8) & 0xff) / 255.0f;
  out[2] = (c & 0xff) / 255.0f;
  out[3] = ((c >> 24) & 0xff) / 255.0f;
}

void ValueToFloats(const D3DCOLORVALUE& c, float out[4]) {
  out[0] = c.r, out[1] = c.g, out[2] = c.b, out[3] = c.a;
}

// Direct3D's row-major row-vector matrices read as GL's column-major column-vector ones.
void LoadMatrix(const D3DMATRIX& m) { glLoadMatrixf(&m.m[0][0]); }
void MultMatrix(const D3DMATRIX& m) { glMultMatrixf(&m.m[0][0]); }

GLenum CompareFunc(DWORD f) {
  switch (f) {
    case D3DCMP_NEVER: return GL_NEVER;
    case D3DCMP_LESS: return GL_LESS;
    case D3DCMP_EQUAL: return GL_EQUAL;
    case D3DCMP_LESSEQUAL: return GL_LEQUAL;
    case D3DCMP_GREATER: return GL_GREATER;
    case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
  }
}

GLenum BlendFactor(DWORD b) {
  switch (b) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
    default: return GL_ONE;
  }
}

GLenum StencilOp(DWORD op) {
  switch (op) {
    case D3DSTENCILOP_ZERO: return GL_ZERO;
    case D3DSTENCILOP_REPLACE: return GL_REPLACE;
    case D3DSTENCILOP_INCRSAT: return GL_INCR;
    case D3DSTENCILOP_DECRSAT: return GL_DECR;
    case D3DSTENCILOP_INVERT: return GL_INVERT;
    case D3DSTENCILOP_INCR: return GL_INCR_WRAP;
    case D3DSTENCILOP_DECR: return GL_DECR_WRAP;
    default: return GL_KEEP;
  }
}

GLint AddressMode(DWORD a) {
  switch (a) {
    case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
    case D3DTADDRESS_MIRRORONCE: return GL_CLAMP_TO_EDGE;
    default: return GL_REPEAT;
  }
}

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

GLenum PrimitiveMode(D3DPRIMITIVETYPE type) {
  switch (type) {
    case D3DPT_POINTLIST: return GL_POINTS;
    case D3DPT_LINELIST: return GL_LINES;
    case D3DPT_LINESTRIP: return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN: return GL_TRIANGLE_FAN;
    default: return GL_TRIANGLES;
  }
}

// Combiner source and operand for a texture-stage argument.
void StageArgument(DWORD arg, bool alpha, GLint* source, GLint* operand) {
  switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_TEXTURE: *source = GL_TEXTURE; break;
    case D3DTA_TFACTOR: *source = GL_CONSTANT; break;
    case D3DTA_CURRENT:
    case D3DTA_TEMP: *source = GL_PREVIOUS; break;
    default: *source = GL_PRIMARY_COLOR; break;  // diffuse, specular
  }
  const bool complement = (arg & D3DTA_COMPLEMENT) != 0;
  if (alpha || (arg & D3DTA_ALPHAREPLICATE))
    *operand = complement ? GL_ONE_MINUS_SRC_ALPHA : GL_SRC_ALPHA;
  else
    *operand = complement ? GL_ONE_MINUS_SRC_COLOR : GL_SRC_COLOR;
}

void SetCombiner(bool alpha, DWORD op, DWORD arg1, DWORD arg2) {
  const GLenum modeName = alpha ? GL_COMBINE_ALPHA : GL_COMBINE_RGB;
  const GLenum scaleName = alpha ? GL_ALPHA_SCALE : GL_RGB_SCALE;
  const GLenum sources[3] = {static_cast<GLenum>(alpha ? GL_SRC0_ALPHA : GL_SRC0_RGB),
                             static_cast<GLenum>(alpha ? GL_SRC1_ALPHA : GL_SRC1_RGB),
                             static_cast<GLenum>(alpha ? GL_SRC2_ALPHA : GL_SRC2_RGB)};
  const GLenum operands[3] = {static_cast<GLenum>(alpha ? GL_OPERAND0_ALPHA : GL_OPERAND0_RGB),
                              static_cast<GLenum>(alpha ? GL_OPERAND1_ALPHA : GL_OPERAND1_RGB),
                              static_cast<GLenum>(alpha ? GL_OPERAND2_ALPHA : GL_OPERAND2_RGB)};
  GLint s1, o1, s2, o2;
  StageArgument(arg1, alpha, &s1, &o1);
  StageArgument(arg2, alpha, &s2, &o2);
  GLint mode = GL_MODULATE;
  GLfloat scale = 1.0f;
  GLint s3 = GL_PRIMARY_COLOR;
  bool interpolate = false;
  switch (op) {
    case D3DTOP_SELECTARG1: mode = GL_REPLACE; break;
    case D3DTOP_SELECTARG2:
      mode = GL_REPLACE;
      s1 = s2, o1 = o2;
      break;
    case D3DTOP_MODULATE2X: scale = 2.0f; break;
    case D3DTOP_MODULATE4X: scale = 4.0f; break;
    case D3DTOP_ADD:
    case D3DTOP_ADDSMOOTH: mode = GL_ADD; break;
    case D3DTOP_ADDSIGNED: mode = GL_ADD_SIGNED; break;
    case D3DTOP_ADDSIGNED2X:
      mode = GL_ADD_SIGNED;
      scale = 2.0f;
      break;
    case D3DTOP_SUBTRACT: mode = GL_SUBTRACT; break;
    case D3DTOP_BLENDDIFFUSEALPHA: interpolate = true, s3 = GL_PRIMARY_COLOR; break;
    case D3DTOP_BLENDTEXTUREALPHA: interpolate = true, s3 = GL_TEXTURE; break;
    case D3DTOP_BLENDFACTORALPHA: interpolate = true, s3 = GL_CONSTANT; break;
    case D3DTOP_BLENDCURRENTALPHA: interpolate = true, s3 = GL_PREVIOUS; break;
    default: break;  // MODULATE and the ones the fixed pipeline of GL lacks
  }
  if (interpolate) mode = GL_INTERPOLATE;
  glTexEnvi(GL_TEXTURE_ENV, modeName, mode);
  glTexEnvf(GL_TEXTURE_ENV, scaleName, scale);
  glTexEnvi(GL_TEXTURE_ENV, sources[0], s1);
  glTexEnvi(GL_TEXTURE_ENV, operands[0], o1);
  glTexEnvi(GL_TEXTURE_ENV, sources[1], s2);
  glTexEnvi(GL_TEXTURE_ENV, operands[1], o2);
  glTexEnvi(GL_TEXTURE_ENV, sources[2], s3);
  glTexEnvi(GL_TEXTURE_ENV, operands[2], GL_SRC_ALPHA);
}

bool WindowedOnly() {
  const char* value = std::getenv("VANTOREL_WINDOWED");
  return value && *value && std::strcmp(value, "0") != 0;
}

}  // namespace

// Where each vertex element lives inside one vertex of stream 0.
struct CGLDevice::VertexLayout {
  bool rhw = false;
  int position = 0;
  int positionSize = 3;
  int normal = -1;
  int diffuse = -1;
  int specular = -1;
  int texCount = 0;
  int tex[8] = {0};
  int texSize[8] = {0};
  UINT size = 0;  // bytes one vertex needs
};

bool CGLDevice::LayoutFor(DWORD shader, VertexLayout* layout) const {
  VertexLayout l;
  if (shader & 1u) {
    // A declared vertex shader: its stream-0 registers give the layout.
    const std::vector<DWORD>* declaration = m_vertexShaders.Declaration(shader);
    if (!declaration) return false;
    int offset = 0;
    bool streamZero = true;
    for (DWORD token : *declaration) {
      if (token == D3DVSD_END()) break;
      const DWORD kind = (token & D3DVSD_TOKENTYPEMASK) >> D3DVSD_TOKENTYPESHIFT;
      if (kind == D3DVSD_TOKEN_STREAM) {
        streamZero = (token & 0xf) == 0;
        continue;
      }
      if (kind != D3DVSD_TOKEN_STREAMDATA || !streamZero) continue;
      if (token & 0x10000000u) {
        offset += static_cast<int>(((token >> 16) & 0xf) * 4);
        continue;
      }
      const DWORD type = (token >> D3DVSD_DATATYPESHIFT) & 0xf, reg = token & 0x1f;
      static const int kSizes[] = {4, 8, 12, 16, 4, 4, 4, 8};
      const int bytes = type < 8 ? kSizes[type] : 4;
      if (reg == D3DVSDE_POSITION && type <= D3DVSDT_FLOAT4) l.position = offset, l.positionSize = 3;
      if (reg == D3DVSDE_NORMAL && type == D3DVSDT_FLOAT3) l.normal = offset;
      if (reg == D3DVSDE_DIFFUSE && type == D3DVSDT_D3DCOLOR) l.diffuse = offset;
      if (reg == D3DVSDE_SPECULAR && type == D3DVSDT_D3DCOLOR) l.specular = offset;
      if (reg >= D3DVSDE_TEXCOORD0 && reg <= D3DVSDE_TEXCOORD7 && type <= D3DVSDT_FLOAT4) {
        const int set = static_cast<int>(reg - D3DVSDE_TEXCOORD0);
        l.tex[set] = offset, l.texSize[set] = static_cast<int>(type) + 1;
        l.texCount = std::max(l.texCount, set + 1);
      }
      offset += bytes;
    }
    l.size = static_cast<UINT>(offset);
    *layout = l;
    return true;
  }
  const DWORD fvf = shader;
  int offset = 0;
  switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ: offset = 12; break;
    case D3DFVF_XYZRHW:
      l.rhw = true;
      l.positionSize = 4;
      offset = 16;
      break;
    case D3DFVF_XYZB1: offset = 16; break;
    case D3DFVF_XYZB2: offset = 20; break;
    case D3DFVF_XYZB3: offset = 24; break;
    case D3DFVF_XYZB4: offset = 28; break;
    case D3DFVF_XYZB5: offset = 32; break;
    default: return false;
  }
  if (fvf & D3DFVF_NORMAL) l.normal = offset, offset += 12;
  if (fvf & D3DFVF_PSIZE) offset += 4;
  if (fvf & D3DFVF_DIFFUSE) l.diffuse = offset, offset += 4;
  if (fvf & D3DFVF_SPECULAR) l.specular = offset, offset += 4;
  l.texCount = static_cast<int>(std::min<DWORD>((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT, 8));
  for (int i = 0; i < l.texCount; ++i) {
    static const int kCounts[] = {2, 3, 4, 1};
    l.tex[i] = offset;
    l.texSize[i] = kCounts[(fvf >> (16 + i * 2)) & 3];
    offset += l.texSize[i] * 4;
  }
  l.size = static_cast<UINT>(offset);
  *layout = l;
  return true;
}

// ===========================================================================
CGLDevice::CGLDevice(IDirect3D8* owner, HWND focusWindow, DWORD behaviorFlags)
    : m_owner(owner), m_focusWindow(focusWindow), m_behavior(behaviorFlags),
      m_host(std::make_shared<CMemoryResourceHost>()) {
  m_owner->AddRef();
  m_host->device = this;
  m_host->textureDestroyed = [this](CMemoryTexture* texture) { TextureDestroyed(texture); };
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
      if (texture->glName && current) glDeleteTextures(1, &texture->glName);
      texture->glName = 0;
      texture->dirty = true;
    }
  }
  if (!m_host->live.empty())
    std::fprintf(stderr, "FAIL: Direct3D device released with %zu resources still referenced\n",
                 m_host->live.size());
  m_host->textureDestroyed = nullptr;
  m_host->device = nullptr;
  if (current) {
    ReleaseFramebuffer();
    if (m_whiteTexture) glDeleteTextures(1, &m_whiteTexture);
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

  if (!m_whiteTexture) {
    const BYTE white[4] = {255, 255, 255, 255};
    glGenTextures(1, &m_whiteTexture);
    glBindTexture(GL_TEXTURE_2D, m_whiteTexture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  }
  const bool vsync = !params.Windowed && params.FullScreen_PresentationInterval != D3DPRESENT_INTERVAL_IMMEDIATE;
  SDL_GL_SetSwapInterval(vsync ? 1 : 0);

  m_params = params;
  m_model.SetDefaults(params.BackBufferWidth, params.BackBufferHeight, params.EnableAutoDepthStencil != 0);
  m_seenMinimizeCount = entry->minimizeCount;
  entry->backBufferWidth = params.BackBufferWidth;
  entry->backBufferHeight = params.BackBufferHeight;
  m_inScene = false;
  return S_OK;
}

void CGLDevice::TextureDestroyed(CMemoryTexture* texture) {
  if (texture->glName && MakeCurrent()) glDeleteTextures(1, &texture->glName);
  texture->glName = 0;
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
  auto* surface = new CMemorySurface(m_host, m_params.BackBufferWidth, m_params.BackBufferHeight,
                                     m_params.BackBufferFormat, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT);
  // The surface reads the frame when locked, as long as this device lives.
  MemoryHostPtr host = m_host;
  surface->refreshOnLock = [host](CMemoryImage& image) {
    if (auto* device = dynamic_cast<CGLDevice*>(host->device)) device->ReadBackBuffer(image);
  };
  *result = surface;
  return S_OK;
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
  *texture = new CMemoryTexture(m_host, width, height, levels, usage, format, pool);
  return S_OK;
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
  *buffer = new CMemoryVertexBuffer(m_host, length, usage, fvf, pool);
  return S_OK;
}

HRESULT CGLDevice::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                     IDirect3DIndexBuffer8** buffer) {
  if (!buffer) return D3DERR_INVALIDCALL;
  *buffer = nullptr;
  if (length == 0 || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32)) return D3DERR_INVALIDCALL;
  *buffer = new CMemoryIndexBuffer(m_host, length, usage, format, pool);
  return S_OK;
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
  *surface = new CMemorySurface(m_host, width, height, format, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT);
  return S_OK;
}

HRESULT CGLDevice::CreateImageSurface(UINT width, UINT height, D3DFORMAT format, IDirect3DSurface8** surface) {
  if (!surface) return D3DERR_INVALIDCALL;
  *surface = nullptr;
  if (width == 0 || height == 0 || D3DFormatBytesPerPixel(format) == 0 || D3DIsDepthFormat(format))
    return D3DERR_INVALIDCALL;
  *surface = new CMemorySurface(m_host, width, height, format, 0, D3DPOOL_SYSTEMMEM);
  return S_OK;
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
  for (UINT level = 0; level < destination->GetLevelCount(); ++level)
    destination->Level(level).pixels = source->Level(level).pixels;
  destination->dirty = true;
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
  *surface = new CMemorySurface(m_host, m_params.BackBufferWidth, m_params.BackBufferHeight,
                                m_params.AutoDepthStencilFormat, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT);
  return S_OK;
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
  m_gl.BindFramebuffer(GL_FRAMEBUFFER, m_framebuffer);
  GLbitfield mask = 0;
  if (flags & D3DCLEAR_TARGET) mask |= GL_COLOR_BUFFER_BIT;
  if (flags & D3DCLEAR_ZBUFFER) mask |= GL_DEPTH_BUFFER_BIT;
  if (flags & D3DCLEAR_STENCIL) mask |= GL_STENCIL_BUFFER_BIT;
  if (!mask) return D3DERR_INVALIDCALL;
  float c[4];
  ColorToFloats(color, c);
  glClearColor(c[0], c[1], c[2], c[3]);
  glClearDepth(std::min(std::max(z, 0.0f), 1.0f));
  glClearStencil(static_cast<GLint>(stencil));
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
  glStencilMask(0xffffffffu);
  // Clear touches the viewport only, and within it the given rectangles.
  const D3DVIEWPORT8& vp = m_model.State().viewport;
  const LONG vl = static_cast<LONG>(vp.X), vt = static_cast<LONG>(vp.Y);
  const LONG vr = vl + static_cast<LONG>(vp.Width), vb = vt + static_cast<LONG>(vp.Height);
  glEnable(GL_SCISSOR_TEST);
  const UINT n = rects ? count : 0;
  for (UINT i = 0; i < std::max(n, 1u); ++i) {
    LONG l = vl, t = vt, r = vr, b = vb;
    if (n) {
      l = std::max(l, rects[i].x1), t = std::max(t, rects[i].y1);
      r = std::min(r, rects[i].x2), b = std::min(b, rects[i].y2);
    }
    if (l >= r || t >= b) continue;
    glScissor(l, t, r - l, b - t);
    glClear(mask);
  }
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

HRESULT CGLDevice::BeginStateBlock() { return m_model.BeginStateBlock(); }
HRESULT CGLDevice::EndStateBlock(DWORD* token) { return m_model.EndStateBlock(token); }
HRESULT CGLDevice::ApplyStateBlock(DWORD token) { return m_model.ApplyStateBlock(token); }
HRESULT CGLDevice::CaptureStateBlock(DWORD token) { return m_model.CaptureStateBlock(token); }
HRESULT CGLDevice::DeleteStateBlock(DWORD token) { return m_model.DeleteStateBlock(token); }
HRESULT CGLDevice::CreateStateBlock(D3DSTATEBLOCKTYPE type, DWORD* token) {
  return m_model.CreateStateBlock(type, token);
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

// --- Applying the Direct3D state to OpenGL ---
void CGLDevice::UploadTexture(CMemoryTexture* texture) {
  if (!texture->glName) glGenTextures(1, &texture->glName);
  glBindTexture(GL_TEXTURE_2D, texture->glName);
  if (!texture->dirty) return;
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  std::vector<BYTE> rgba;
  const UINT levels = texture->GetLevelCount();
  for (UINT level = 0; level < levels; ++level) {
    const CMemoryImage& image = texture->Level(level);
    rgba.resize(static_cast<size_t>(image.width) * image.height * 4);
    D3DConvertToRGBA(image.pixels.data(), image.format, image.width * image.height, rgba.data());
    glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), GL_RGBA8, static_cast<GLsizei>(image.width),
                 static_cast<GLsizei>(image.height), 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels - 1));
  texture->dirty = false;
}

void CGLDevice::BindTexture(DWORD stage, CMemoryTexture* texture) {
  const DWORD* ts = m_model.State().stageStates[stage];
  if (!texture) {
    glBindTexture(GL_TEXTURE_2D, m_whiteTexture);
    return;
  }
  UploadTexture(texture);
  const bool mipmapped = texture->GetLevelCount() > 1 && ts[D3DTSS_MIPFILTER] != D3DTEXF_NONE;
  const bool linearMin = ts[D3DTSS_MINFILTER] >= D3DTEXF_LINEAR;
  GLint minFilter = linearMin ? GL_LINEAR : GL_NEAREST;
  if (mipmapped) {
    const bool linearMip = ts[D3DTSS_MIPFILTER] >= D3DTEXF_LINEAR;
    minFilter = linearMin ? (linearMip ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR_MIPMAP_NEAREST)
                          : (linearMip ? GL_NEAREST_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_NEAREST);
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, ts[D3DTSS_MAGFILTER] >= D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, AddressMode(ts[D3DTSS_ADDRESSU]));
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, AddressMode(ts[D3DTSS_ADDRESSV]));
  float border[4];
  ColorToFloats(ts[D3DTSS_BORDERCOLOR], border);
  glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, border);
  const DWORD base = std::min<DWORD>(std::max<DWORD>(ts[D3DTSS_MAXMIPLEVEL], texture->GetLOD()),
                                     texture->GetLevelCount() - 1);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, static_cast<GLint>(base));
}

void CGLDevice::ApplyStages(const VertexLayout& layout) {
  const D3DRecordedState& s = m_model.State();
  float factor[4];
  ColorToFloats(s.renderStates[D3DRS_TEXTUREFACTOR], factor);
  bool enabled = true;
  for (DWORD stage = 0; stage < m_caps.MaxTextureBlendStages; ++stage) {
    const DWORD* ts = s.stageStates[stage];
    m_gl.ActiveTexture(GL_TEXTURE0 + stage);
    m_gl.ClientActiveTexture(GL_TEXTURE0 + stage);
    if (ts[D3DTSS_COLOROP] == D3DTOP_DISABLE) enabled = false;
    if (!enabled) {
      glDisable(GL_TEXTURE_2D);
      glDisableClientState(GL_TEXTURE_COORD_ARRAY);
      glDisable(GL_TEXTURE_GEN_S), glDisable(GL_TEXTURE_GEN_T), glDisable(GL_TEXTURE_GEN_R);
      continue;
    }
    glEnable(GL_TEXTURE_2D);
    BindTexture(stage, AsMemoryTexture(s.textures[stage]));
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, factor);
    SetCombiner(false, ts[D3DTSS_COLOROP], ts[D3DTSS_COLORARG1], ts[D3DTSS_COLORARG2]);
    if (ts[D3DTSS_ALPHAOP] == D3DTOP_DISABLE)
      SetCombiner(true, D3DTOP_SELECTARG1, D3DTA_CURRENT, D3DTA_CURRENT);
    else
      SetCombiner(true, ts[D3DTSS_ALPHAOP], ts[D3DTSS_ALPHAARG1], ts[D3DTSS_ALPHAARG2]);

    // Texture coordinates: a vertex set, or generated in camera space.
    const DWORD index = ts[D3DTSS_TEXCOORDINDEX] & 0xffffu, generation = ts[D3DTSS_TEXCOORDINDEX] & 0xffff0000u;
    int inputSize = 2;
    glDisable(GL_TEXTURE_GEN_S), glDisable(GL_TEXTURE_GEN_T), glDisable(GL_TEXTURE_GEN_R);
    if (generation != D3DTSS_TCI_PASSTHRU && !layout.rhw) {
      GLint mode = GL_EYE_LINEAR;
      if (generation == D3DTSS_TCI_CAMERASPACENORMAL) mode = GL_NORMAL_MAP;
      if (generation == D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR) mode = GL_REFLECTION_MAP;
      const GLenum coords[3] = {GL_S, GL_T, GL_R};
      const GLenum enables[3] = {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R};
      for (int i = 0; i < 3; ++i) {
        glTexGeni(coords[i], GL_TEXTURE_GEN_MODE, mode);
        if (mode == GL_EYE_LINEAR) {
          const float plane[4] = {i == 0 ? 1.0f : 0.0f, i == 1 ? 1.0f : 0.0f, i == 2 ? 1.0f : 0.0f, 0.0f};
          glTexGenfv(coords[i], GL_EYE_PLANE, plane);  // set while the modelview is the identity
        }
        glEnable(enables[i]);
      }
      glDisableClientState(GL_TEXTURE_COORD_ARRAY);
      inputSize = 3;
    } else if (static_cast<int>(index) < layout.texCount) {
      inputSize = layout.texSize[index];
    }

    // Texture transform: Direct3D puts a 2D translation in the third row, GL in the fourth.
    glMatrixMode(GL_TEXTURE);
    const DWORD flags = ts[D3DTSS_TEXTURETRANSFORMFLAGS];
    const DWORD count = flags & 0xffu;
    if (count == D3DTTFF_DISABLE || layout.rhw) {
      glLoadIdentity();
    } else {
      D3DMATRIX m = m_model.Transform(D3DTS_TEXTURE0 + stage);
      if (inputSize == 2)
        for (int c = 0; c < 4; ++c) std::swap(m.m[2][c], m.m[3][c]);
      // GL divides by q: keep it 1, or move the projecting component there.
      D3DMATRIX g = m;
      const bool projected = (flags & D3DTTFF_PROJECTED) != 0 && count >= 2;
      for (int r = 0; r < 4; ++r) {
        for (DWORD c = 0; c < 3; ++c)
          g.m[r][c] = (c < count && !(projected && c == count - 1)) ? m.m[r][c] : 0.0f;
        g.m[r][3] = projected ? m.m[r][std::min<DWORD>(count, 4) - 1] : (r == 3 ? 1.0f : 0.0f);
      }
      glLoadMatrixf(&g.m[0][0]);
    }
    glMatrixMode(GL_MODELVIEW);
  }
  for (DWORD stage = m_caps.MaxTextureBlendStages; stage < 4; ++stage) {
    m_gl.ActiveTexture(GL_TEXTURE0 + stage);
    glDisable(GL_TEXTURE_2D);
  }
  m_gl.ActiveTexture(GL_TEXTURE0);
  m_gl.ClientActiveTexture(GL_TEXTURE0);
}

void CGLDevice::ApplyLights(const VertexLayout& layout) {
  const D3DRecordedState& s = m_model.State();
  const DWORD* rs = s.renderStates;
  const bool lighting = rs[D3DRS_LIGHTING] && !layout.rhw;
  if (!lighting) {
    glDisable(GL_LIGHTING);
    glDisable(GL_COLOR_MATERIAL);
    return;
  }
  glEnable(GL_LIGHTING);
  float ambient[4];
  ColorToFloats(rs[D3DRS_AMBIENT], ambient);
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
  glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, rs[D3DRS_LOCALVIEWER] ? GL_TRUE : GL_FALSE);
  glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
  if (rs[D3DRS_NORMALIZENORMALS])
    glEnable(GL_NORMALIZE);
  else
    glDisable(GL_NORMALIZE);

  // Lights are in world space: set them with the view matrix alone.
  glMatrixMode(GL_MODELVIEW);
  LoadMatrix(m_model.Transform(D3DTS_VIEW));
  int used = 0;
  for (const auto& entry : s.lightEnabled) {
    if (!entry.second || used >= 8) continue;
    auto found = s.lights.find(entry.first);
    if (found == s.lights.end()) continue;
    const D3DLIGHT8& l = found->second;
    const GLenum light = GL_LIGHT0 + used++;
    float color[4];
    glEnable(light);
    ValueToFloats(l.Ambient, color);
    glLightfv(light, GL_AMBIENT, color);
    ValueToFloats(l.Diffuse, color);
    glLightfv(light, GL_DIFFUSE, color);
    ValueToFloats(l.Specular, color);
    glLightfv(light, GL_SPECULAR, color);
    if (l.Type == D3DLIGHT_DIRECTIONAL) {
      // Direct3D's direction points away from the light; GL wants the way towards it.
      const float position[4] = {-l.Direction.x, -l.Direction.y, -l.Direction.z, 0.0f};
      glLightfv(light, GL_POSITION, position);
      glLightf(light, GL_SPOT_CUTOFF, 180.0f);
      glLightf(light, GL_CONSTANT_ATTENUATION, 1.0f);
      glLightf(light, GL_LINEAR_ATTENUATION, 0.0f);
      glLightf(light, GL_QUADRATIC_ATTENUATION, 0.0f);
    } else {
      const float position[4] = {l.Position.x, l.Position.y, l.Position.z, 1.0f};
      glLightfv(light, GL_POSITION, position);
      const bool noAttenuation = l.Attenuation0 == 0.0f && l.Attenuation1 == 0.0f && l.Attenuation2 == 0.0f;
      glLightf(light, GL_CONSTANT_ATTENUATION, noAttenuation ? 1.0f : l.Attenuation0);
      glLightf(light, GL_LINEAR_ATTENUATION, l.Attenuation1);
      glLightf(light, GL_QUADRATIC_ATTENUATION, l.Attenuation2);
      if (l.Type == D3DLIGHT_SPOT) {
        const float direction[3] = {l.Direction.x, l.Direction.y, l.Direction.z};
        glLightfv(light, GL_SPOT_DIRECTION, direction);
        glLightf(light, GL_SPOT_CUTOFF, std::min(90.0f, l.Phi * 0.5f * 57.29578f));
        glLightf(light, GL_SPOT_EXPONENT, std::min(128.0f, std::max(0.0f, l.Falloff)));
      } else {
        glLightf(light, GL_SPOT_CUTOFF, 180.0f);
      }
    }
  }
  for (int i = used; i < 8; ++i) glDisable(GL_LIGHT0 + i);

  // Material, with the colour sources the vertices may provide.
  glDisable(GL_COLOR_MATERIAL);
  const D3DMATERIAL8& m = s.material;
  float color[4];
  ValueToFloats(m.Ambient, color);
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, color);
  ValueToFloats(m.Diffuse, color);
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, color);
  ValueToFloats(m.Emissive, color);
  glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, color);
  if (rs[D3DRS_SPECULARENABLE]) {
    ValueToFloats(m.Specular, color);
  } else {
    color[0] = color[1] = color[2] = color[3] = 0.0f;
  }
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, color);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, std::min(128.0f, std::max(0.0f, m.Power)));
  if (rs[D3DRS_COLORVERTEX] && layout.diffuse >= 0) {
    const bool diffuse = rs[D3DRS_DIFFUSEMATERIALSOURCE] == D3DMCS_COLOR1;
    const bool ambientSource = rs[D3DRS_AMBIENTMATERIALSOURCE] == D3DMCS_COLOR1;
    const bool emissive = rs[D3DRS_EMISSIVEMATERIALSOURCE] == D3DMCS_COLOR1;
    GLenum tracked = 0;
    if (diffuse && ambientSource)
      tracked = GL_AMBIENT_AND_DIFFUSE;
    else if (diffuse)
      tracked = GL_DIFFUSE;
    else if (ambientSource)
      tracked = GL_AMBIENT;
    else if (emissive)
      tracked = GL_EMISSION;
    if (tracked) {
      glColorMaterial(GL_FRONT_AND_BACK, tracked);
      glEnable(GL_COLOR_MATERIAL);
    }
  }
}

void CGLDevice::ApplyState(const VertexLayout& layout) {
  const D3DRecordedState& s = m_model.State();
  const DWORD* rs = s.renderStates;
  const D3DVIEWPORT8& vp = s.viewport;
  const int width = static_cast<int>(m_params.BackBufferWidth), height = static_cast<int>(m_params.BackBufferHeight);

  m_gl.BindFramebuffer(GL_FRAMEBUFFER, m_framebuffer);
  glEnable(GL_SCISSOR_TEST);
  glScissor(static_cast<GLint>(vp.X), static_cast<GLint>(vp.Y), static_cast<GLsizei>(vp.Width),
            static_cast<GLsizei>(vp.Height));

  // Textures first: stage setup loads texture matrices and texgen planes.
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  ApplyStages(layout);
  ApplyLights(layout);

  glMatrixMode(GL_PROJECTION);
  if (layout.rhw) {
    // Pixel coordinates (top row first, like the framebuffer), centres on integers; z is depth as is.
    glViewport(0, 0, width, height);
    glDepthRange(0.0, 1.0);
    const float m[16] = {2.0f / width, 0, 0, 0, 0, 2.0f / height, 0, 0, 0, 0, 2.0f, 0,
                         1.0f / width - 1.0f, 1.0f / height - 1.0f, -1.0f, 1.0f};
    glLoadMatrixf(m);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
  } else {
    glViewport(static_cast<GLint>(vp.X), static_cast<GLint>(vp.Y), static_cast<GLsizei>(vp.Width),
               static_cast<GLsizei>(vp.Height));
    glDepthRange(vp.MinZ, vp.MaxZ);
    // Flip y (the framebuffer holds the top row first), move z from 0..1 to -1..1, and shift
    // by half a pixel: Direct3D puts pixel centres on whole coordinates, GL between them.
    const float fix[16] = {1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 2, 0, 1.0f / vp.Width, 1.0f / vp.Height, -1, 1};
    glLoadMatrixf(fix);
    MultMatrix(m_model.Transform(D3DTS_PROJECTION));
    glMatrixMode(GL_MODELVIEW);
    LoadMatrix(m_model.Transform(D3DTS_VIEW));
    MultMatrix(m_model.Transform(D3DTS_WORLD));
  }

  // Rasteriser. The flipped framebuffer turns Direct3D's clockwise front faces into GL's counter-clockwise ones.
  glFrontFace(GL_CCW);
  if (rs[D3DRS_CULLMODE] == D3DCULL_NONE) {
    glDisable(GL_CULL_FACE);
  } else {
    glEnable(GL_CULL_FACE);
    glCullFace(rs[D3DRS_CULLMODE] == D3DCULL_CW ? GL_FRONT : GL_BACK);
  }
  glPolygonMode(GL_FRONT_AND_BACK, rs[D3DRS_FILLMODE] == D3DFILL_POINT       ? GL_POINT
                                   : rs[D3DRS_FILLMODE] == D3DFILL_WIREFRAME ? GL_LINE
                                                                             : GL_FILL);
  glShadeModel(rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT ? GL_FLAT : GL_SMOOTH);
  glPointSize(std::max(1.0f, FloatOf(rs[D3DRS_POINTSIZE])));

  // Depth and stencil.
  if (rs[D3DRS_ZENABLE] && m_depthBuffer) {
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(CompareFunc(rs[D3DRS_ZFUNC]));
  } else {
    glDisable(GL_DEPTH_TEST);
  }
  glDepthMask(rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
  if (rs[D3DRS_STENCILENABLE] && m_depthBuffer) {
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(CompareFunc(rs[D3DRS_STENCILFUNC]), static_cast<GLint>(rs[D3DRS_STENCILREF]),
                  rs[D3DRS_STENCILMASK]);
    glStencilOp(StencilOp(rs[D3DRS_STENCILFAIL]), StencilOp(rs[D3DRS_STENCILZFAIL]),
                StencilOp(rs[D3DRS_STENCILPASS]));
    glStencilMask(rs[D3DRS_STENCILWRITEMASK]);
  } else {
    glDisable(GL_STENCIL_TEST);
  }

  // Alpha test and blending.
  if (rs[D3DRS_ALPHATESTENABLE]) {
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(CompareFunc(rs[D3DRS_ALPHAFUNC]), (rs[D3DRS_ALPHAREF] & 0xff) / 255.0f);
  } else {
    glDisable(GL_ALPHA_TEST);
  }
  if (rs[D3DRS_ALPHABLENDENABLE]) {
    glEnable(GL_BLEND);
    GLenum source = BlendFactor(rs[D3DRS_SRCBLEND]), destination = BlendFactor(rs[D3DRS_DESTBLEND]);
    if (rs[D3DRS_SRCBLEND] == D3DBLEND_BOTHSRCALPHA)
      source = GL_SRC_ALPHA, destination = GL_ONE_MINUS_SRC_ALPHA;
    if (rs[D3DRS_SRCBLEND] == D3DBLEND_BOTHINVSRCALPHA)
      source = GL_ONE_MINUS_SRC_ALPHA, destination = GL_SRC_ALPHA;
    glBlendFunc(source, destination);
    static const GLenum kOps[] = {GL_FUNC_ADD, GL_FUNC_ADD, GL_FUNC_SUBTRACT, GL_FUNC_REVERSE_SUBTRACT, GL_MIN, GL_MAX};
    m_gl.BlendEquation(rs[D3DRS_BLENDOP] <= 5 ? kOps[rs[D3DRS_BLENDOP]] : GL_FUNC_ADD);
  } else {
    glDisable(GL_BLEND);
  }
  const DWORD write = rs[D3DRS_COLORWRITEENABLE];
  glColorMask((write & 1) != 0, (write & 2) != 0, (write & 4) != 0, (write & 8) != 0);

  // Fog.
  const DWORD fogMode = rs[D3DRS_FOGTABLEMODE] != D3DFOG_NONE ? rs[D3DRS_FOGTABLEMODE] : rs[D3DRS_FOGVERTEXMODE];
  if (rs[D3DRS_FOGENABLE] && fogMode != D3DFOG_NONE && !layout.rhw) {
    glEnable(GL_FOG);
    glFogi(GL_FOG_MODE, fogMode == D3DFOG_EXP ? GL_EXP : fogMode == D3DFOG_EXP2 ? GL_EXP2 : GL_LINEAR);
    glFogf(GL_FOG_START, FloatOf(rs[D3DRS_FOGSTART]));
    glFogf(GL_FOG_END, FloatOf(rs[D3DRS_FOGEND]));
    glFogf(GL_FOG_DENSITY, FloatOf(rs[D3DRS_FOGDENSITY]));
    float color[4];
    ColorToFloats(rs[D3DRS_FOGCOLOR], color);
    glFogfv(GL_FOG_COLOR, color);
  } else {
    glDisable(GL_FOG);
  }
}

HRESULT CGLDevice::Draw(D3DPRIMITIVETYPE type, UINT primitiveCount, const BYTE* vertices, UINT vertexCount,
                        UINT stride, DWORD shader, const std::vector<UINT>* indices) {
  VertexLayout layout;
  if (!LayoutFor(shader, &layout) || stride < layout.size) return D3DERR_INVALIDCALL;
  if (primitiveCount == 0 || vertexCount == 0) return S_OK;
  if (!MakeCurrent() || !m_framebuffer) return S_OK;

  // Unpack the vertices into arrays GL takes directly.
  std::vector<float> positions(static_cast<size_t>(vertexCount) * 4), normals, texcoords[8];
  std::vector<BYTE> colors(static_cast<size_t>(vertexCount) * 4, 255);
  if (layout.normal >= 0) normals.resize(static_cast<size_t>(vertexCount) * 3);
  for (int t = 0; t < layout.texCount; ++t) texcoords[t].resize(static_cast<size_t>(vertexCount) * layout.texSize[t]);
  for (UINT v = 0; v < vertexCount; ++v) {
    const BYTE* vertex = vertices + static_cast<size_t>(v) * stride;
    float p[4] = {0, 0, 0, 1};
    std::memcpy(p, vertex + layout.position, static_cast<size_t>(layout.positionSize) * 4);
    if (layout.rhw) {
      // Homogeneous (x, y, z, 1) / rhw keeps texturing perspective-correct.
      const float w = p[3] != 0.0f ? 1.0f / p[3] : 1.0f;
      p[0] *= w, p[1] *= w, p[2] *= w, p[3] = w;
    }
    std::memcpy(&positions[v * 4], p, sizeof p);
    if (layout.normal >= 0) std::memcpy(&normals[v * 3], vertex + layout.normal, 12);
    if (layout.diffuse >= 0) D3DConvertToRGBA(vertex + layout.diffuse, D3DFMT_A8R8G8B8, 1, &colors[v * 4]);
    for (int t = 0; t < layout.texCount; ++t)
      std::memcpy(&texcoords[t][static_cast<size_t>(v) * layout.texSize[t]], vertex + layout.tex[t],
                  static_cast<size_t>(layout.texSize[t]) * 4);
  }

  ApplyState(layout);
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(4, GL_FLOAT, 0, positions.data());
  if (layout.normal >= 0) {
    glEnableClientState(GL_NORMAL_ARRAY);
    glNormalPointer(GL_FLOAT, 0, normals.data());
  } else {
    glDisableClientState(GL_NORMAL_ARRAY);
    glNormal3f(0.0f, 0.0f, 0.0f);
  }
  const bool lit = m_model.State().renderStates[D3DRS_LIGHTING] && !layout.rhw;
  if (layout.diffuse >= 0 && (!lit || glIsEnabled(GL_COLOR_MATERIAL))) {
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(4, GL_UNSIGNED_BYTE, 0, colors.data());
  } else {
    glDisableClientState(GL_COLOR_ARRAY);
    glColor4ub(255, 255, 255, 255);
  }
  for (DWORD stage = 0; stage < m_caps.MaxTextureBlendStages; ++stage) {
    const DWORD tci = m_model.State().stageStates[stage][D3DTSS_TEXCOORDINDEX];
    const int set = static_cast<int>(tci & 0xffffu);
    m_gl.ClientActiveTexture(GL_TEXTURE0 + stage);
    if ((tci & 0xffff0000u) == 0 && set < layout.texCount) {
      glEnableClientState(GL_TEXTURE_COORD_ARRAY);
      glTexCoordPointer(layout.texSize[set], GL_FLOAT, 0, texcoords[set].data());
    } else {
      glDisableClientState(GL_TEXTURE_COORD_ARRAY);
      m_gl.MultiTexCoord4f(GL_TEXTURE0 + stage, 0.0f, 0.0f, 0.0f, 1.0f);
    }
  }
  m_gl.ClientActiveTexture(GL_TEXTURE0);

  if (indices)
    glDrawElements(PrimitiveMode(type), static_cast<GLsizei>(indices->size()), GL_UNSIGNED_INT, indices->data());
  else
    glDrawArrays(PrimitiveMode(type), 0, static_cast<GLsizei>(vertexCount));

  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  for (DWORD stage = 0; stage < m_caps.MaxTextureBlendStages; ++stage) {
    m_gl.ClientActiveTexture(GL_TEXTURE0 + stage);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  }
  m_gl.ClientActiveTexture(GL_TEXTURE0);
  return S_OK;
}

HRESULT CGLDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT start, UINT count) {
  const D3DRecordedState& s = m_model.State();
  CMemoryVertexBuffer* buffer = AsMemoryVertexBuffer(s.streamSource);
  const UINT n = VertexCount(type, count);
  if (!buffer || s.streamStride == 0 || n == 0) return count == 0 ? S_OK : D3DERR_INVALIDCALL;
  if ((static_cast<size_t>(start) + n) * s.streamStride > buffer->Data().size()) return D3DERR_INVALIDCALL;
  return Draw(type, count, buffer->Data().data() + static_cast<size_t>(start) * s.streamStride, n, s.streamStride,
              s.vertexShader, nullptr);
}

HRESULT CGLDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT, UINT, UINT startIndex, UINT count) {
  const D3DRecordedState& s = m_model.State();
  CMemoryVertexBuffer* buffer = AsMemoryVertexBuffer(s.streamSource);
  CMemoryIndexBuffer* indexBuffer = AsMemoryIndexBuffer(s.indices);
  const UINT n = VertexCount(type, count);
  if (!buffer || !indexBuffer || s.streamStride == 0 || n == 0) return count == 0 ? S_OK : D3DERR_INVALIDCALL;
  const size_t indexSize = indexBuffer->Format() == D3DFMT_INDEX32 ? 4 : 2;
  if ((static_cast<size_t>(startIndex) + n) * indexSize > indexBuffer->Data().size()) return D3DERR_INVALIDCALL;
  // Only the vertices the indices reach are unpacked; the caller's range hints are not trusted.
  std::vector<UINT> indices(n);
  const BYTE* raw = indexBuffer->Data().data() + startIndex * indexSize;
  UINT low = 0xffffffffu, high = 0;
  for (UINT i = 0; i < n; ++i) {
    UINT index;
    if (indexSize == 4) {
      uint32_t value;
      std::memcpy(&value, raw + i * 4, 4);
      index = value;
    } else {
      uint16_t value;
      std::memcpy(&value, raw + i * 2, 2);
      index = value;
    }
    indices[i] = index;
    low = std::min(low, index), high = std::max(high, index);
  }
  const size_t first = static_cast<size_t>(s.baseVertexIndex) + low;
  const size_t vertexCount = static_cast<size_t>(high - low) + 1;
  if ((first + vertexCount) * s.streamStride > buffer->Data().size()) return D3DERR_INVALIDCALL;
  for (UINT& index : indices) index -= low;
  return Draw(type, count, buffer->Data().data() + first * s.streamStride, static_cast<UINT>(vertexCount),
              s.streamStride, s.vertexShader, &indices);
}

HRESULT CGLDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT count, CONST void* data, UINT stride) {
  if (!data || stride == 0) return D3DERR_INVALIDCALL;
  const HRESULT hr = Draw(type, count, static_cast<const BYTE*>(data), VertexCount(type, count), stride,
                          m_model.State().vertexShader, nullptr);
  m_model.SetStreamSource(nullptr, 0);  // as Direct3D 8 does after a user-pointer draw
  return hr;
}

HRESULT CGLDevice::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT vertexCount, UINT count,
                                          CONST void* indexData, D3DFORMAT format, CONST void* data, UINT stride) {
  if (!indexData || !data || stride == 0 || vertexCount == 0) return D3DERR_INVALIDCALL;
  const UINT n = VertexCount(type, count);
  std::vector<UINT> indices(n);
  for (UINT i = 0; i < n; ++i) {
    UINT index = format == D3DFMT_INDEX32 ? static_cast<const uint32_t*>(indexData)[i]
                                          : static_cast<const uint16_t*>(indexData)[i];
    if (index < minIndex || index >= minIndex + vertexCount) return D3DERR_INVALIDCALL;
    indices[i] = index - minIndex;
  }
  const HRESULT hr = Draw(type, count, static_cast<const BYTE*>(data) + static_cast<size_t>(minIndex) * stride,
                          vertexCount, stride, m_model.State().vertexShader, &indices);
  m_model.SetStreamSource(nullptr, 0);
  m_model.SetIndices(nullptr, 0);
  return hr;
}

HRESULT CGLDevice::ProcessVertices(UINT, UINT, UINT, IDirect3DVertexBuffer8*, DWORD) { return D3DERR_INVALIDCALL; }

// --- Vertex shaders: declarations are kept; drawing uses the fixed pipeline with the declared layout ---
HRESULT CGLDevice::CreateVertexShader(CONST DWORD* declaration, CONST DWORD*, DWORD* handle, DWORD) {
  if (!declaration || !handle) return D3DERR_INVALIDCALL;
  *handle = m_vertexShaders.Create(declaration);
  return S_OK;
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

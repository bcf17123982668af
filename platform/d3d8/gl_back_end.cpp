#include "platform/d3d8/gl_back_end.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/d3d8/pixel_format.h"

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

// The 32-bit formats are GL's BGRA bytes as they stand; X8R8G8B8 is stored without alpha,
// so whatever its unused byte holds, it samples opaque.
bool UploadsDirectly(D3DFORMAT format) { return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8; }

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

}  // namespace

bool CGLBackEnd::LayoutFor(DWORD shader, const CVertexShaderTable& shaders, VertexLayout* layout) {
  VertexLayout l;
  if (shader & 1u) {
    // A declared vertex shader: its stream-0 registers give the layout.
    const std::vector<DWORD>* declaration = shaders.Declaration(shader);
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

void CGLBackEnd::ForgetTextureStages() {
  for (AppliedStage& stage : m_applied) stage = AppliedStage();
  m_unusedUnitsOff = false;
}

void CGLBackEnd::CreateObjects() {
  ForgetTextureStages();
  if (m_whiteTexture) return;
  const BYTE white[4] = {255, 255, 255, 255};
  glGenTextures(1, &m_whiteTexture);
  glBindTexture(GL_TEXTURE_2D, m_whiteTexture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
}

void CGLBackEnd::DeleteObjects() {
  if (m_whiteTexture) glDeleteTextures(1, &m_whiteTexture);
  m_whiteTexture = 0;
}

void CGLBackEnd::DeleteTexture(CMemoryTexture* texture) {
  if (texture->glName) glDeleteTextures(1, &texture->glName);
  texture->glName = 0;
}

void CGLBackEnd::Clear(const CD3DStateModel& model, const Target& target, DWORD count, const D3DRECT* rects,
                       DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
  m_gl.BindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
  GLbitfield mask = 0;
  if (flags & D3DCLEAR_TARGET) mask |= GL_COLOR_BUFFER_BIT;
  if (flags & D3DCLEAR_ZBUFFER) mask |= GL_DEPTH_BUFFER_BIT;
  if (flags & D3DCLEAR_STENCIL) mask |= GL_STENCIL_BUFFER_BIT;
  float c[4];
  ColorToFloats(color, c);
  glClearColor(c[0], c[1], c[2], c[3]);
  glClearDepth(std::min(std::max(z, 0.0f), 1.0f));
  glClearStencil(static_cast<GLint>(stencil));
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDepthMask(GL_TRUE);
  glStencilMask(0xffffffffu);
  // Clear touches the viewport only, and within it the given rectangles.
  const D3DVIEWPORT8& vp = model.State().viewport;
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
}

// --- Textures and stages ---
void CGLBackEnd::CreateTexture(CMemoryTexture* texture) {
  if (texture->glName) return;
  glGenTextures(1, &texture->glName);
  texture->glBorderColor = 0;
  glBindTexture(GL_TEXTURE_2D, texture->glName);
  // Storage for every level now; the pixels follow as each level is filled. The upload
  // format is given as the storage hint, so the driver can keep the pixels as they come.
  const UINT levels = texture->GetLevelCount();
  const bool direct = UploadsDirectly(texture->Format());
  const GLint internal = texture->Format() == D3DFMT_X8R8G8B8 ? GL_RGB8 : GL_RGBA8;
  for (UINT level = 0; level < levels; ++level) {
    D3DSURFACE_DESC desc;
    texture->GetLevelDesc(level, &desc);
    glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), internal, static_cast<GLsizei>(desc.Width),
                 static_cast<GLsizei>(desc.Height), 0, direct ? GL_BGRA : GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels - 1));
}

void CGLBackEnd::UploadTextureLevel(CMemoryTexture* texture, UINT level) {
  CreateTexture(texture);
  glBindTexture(GL_TEXTURE_2D, texture->glName);
  const CMemoryImage& image = texture->Level(level);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if (UploadsDirectly(image.format)) {
    glTexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), 0, 0, static_cast<GLsizei>(image.width),
                    static_cast<GLsizei>(image.height), GL_BGRA, GL_UNSIGNED_BYTE, image.pixels.data());
    return;
  }
  std::vector<BYTE> rgba(static_cast<size_t>(image.width) * image.height * 4);
  D3DConvertToRGBA(image.pixels.data(), image.format, image.width * image.height, rgba.data());
  glTexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), 0, 0, static_cast<GLsizei>(image.width),
                  static_cast<GLsizei>(image.height), GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
}

void CGLBackEnd::ReadTextureLevel(CMemoryTexture* texture, UINT level, CMemoryImage& image) {
  if (!texture->glName) return;
  glBindTexture(GL_TEXTURE_2D, texture->glName);
  std::vector<BYTE> rgba(static_cast<size_t>(image.width) * image.height * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, static_cast<GLint>(level), GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  D3DConvertFromRGBA(rgba.data(), image.format, image.width * image.height, image.pixels.data());
}

void CGLBackEnd::UploadTexture(CMemoryTexture* texture) {
  // Levels still in memory were never filled, or filled while the context was not ours.
  for (UINT level = 0; level < texture->GetLevelCount(); ++level) {
    if (!texture->HasPixels(level) || texture->Locked(level)) continue;
    UploadTextureLevel(texture, level);
    if (texture->Pool() != D3DPOOL_SYSTEMMEM) texture->TakeOverPixels(level);
  }
  CreateTexture(texture);
  glBindTexture(GL_TEXTURE_2D, texture->glName);
}

void CGLBackEnd::BindTexture(const DWORD* ts, CMemoryTexture* texture) {
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
  // The driver takes every border colour as a change, so it is given only when it is one.
  if (texture->glBorderColor != ts[D3DTSS_BORDERCOLOR]) {
    float border[4];
    ColorToFloats(ts[D3DTSS_BORDERCOLOR], border);
    glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, border);
    texture->glBorderColor = ts[D3DTSS_BORDERCOLOR];
  }
  const DWORD base = std::min<DWORD>(std::max<DWORD>(ts[D3DTSS_MAXMIPLEVEL], texture->GetLOD()),
                                     texture->GetLevelCount() - 1);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, static_cast<GLint>(base));
}

void CGLBackEnd::ApplyStages(const CD3DStateModel& model, const VertexLayout& layout) {
  const D3DRecordedState& s = model.State();
  bool enabled = true;
  for (DWORD stage = 0; stage < std::min(m_stages, kTextureUnits); ++stage) {
    const DWORD* ts = s.stageStates[stage];
    AppliedStage& applied = m_applied[stage];
    if (ts[D3DTSS_COLOROP] == D3DTOP_DISABLE) enabled = false;
    if (!enabled && applied.known && !applied.enabled) continue;
    m_gl.ActiveTexture(GL_TEXTURE0 + stage);
    m_gl.ClientActiveTexture(GL_TEXTURE0 + stage);
    if (!enabled) {
      glDisable(GL_TEXTURE_2D);
      glDisableClientState(GL_TEXTURE_COORD_ARRAY);
      glDisable(GL_TEXTURE_GEN_S), glDisable(GL_TEXTURE_GEN_T), glDisable(GL_TEXTURE_GEN_R);
      applied = AppliedStage();
      applied.known = true;
      continue;
    }
    glEnable(GL_TEXTURE_2D);
    BindTexture(ts, AsMemoryTexture(s.textures[stage]));
    const DWORD combiner[7] = {ts[D3DTSS_COLOROP], ts[D3DTSS_COLORARG1], ts[D3DTSS_COLORARG2],
                               ts[D3DTSS_ALPHAOP], ts[D3DTSS_ALPHAARG1], ts[D3DTSS_ALPHAARG2],
                               s.renderStates[D3DRS_TEXTUREFACTOR]};
    if (!applied.known || !applied.enabled || !std::equal(combiner, combiner + 7, applied.combiner)) {
      float factor[4];
      ColorToFloats(s.renderStates[D3DRS_TEXTUREFACTOR], factor);
      glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
      glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, factor);
      SetCombiner(false, ts[D3DTSS_COLOROP], ts[D3DTSS_COLORARG1], ts[D3DTSS_COLORARG2]);
      if (ts[D3DTSS_ALPHAOP] == D3DTOP_DISABLE)
        SetCombiner(true, D3DTOP_SELECTARG1, D3DTA_CURRENT, D3DTA_CURRENT);
      else
        SetCombiner(true, ts[D3DTSS_ALPHAOP], ts[D3DTSS_ALPHAARG1], ts[D3DTSS_ALPHAARG2]);
      applied.known = applied.enabled = true;
      std::copy(combiner, combiner + 7, applied.combiner);
    }

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
      D3DMATRIX m = model.Transform(D3DTS_TEXTURE0 + stage);
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
  for (DWORD stage = m_stages; stage < kTextureUnits && !m_unusedUnitsOff; ++stage) {
    m_gl.ActiveTexture(GL_TEXTURE0 + stage);
    glDisable(GL_TEXTURE_2D);
  }
  m_unusedUnitsOff = true;
  m_gl.ActiveTexture(GL_TEXTURE0);
  m_gl.ClientActiveTexture(GL_TEXTURE0);
}

void CGLBackEnd::ApplyLights(const CD3DStateModel& model, const VertexLayout& layout) {
  const D3DRecordedState& s = model.State();
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
  // Specular light is added after texturing; while it is off (the material's specular is
  // then zero) a secondary colour would only add an attribute to every vertex.
  glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, rs[D3DRS_SPECULARENABLE] ? GL_SEPARATE_SPECULAR_COLOR : GL_SINGLE_COLOR);
  if (rs[D3DRS_NORMALIZENORMALS])
    glEnable(GL_NORMALIZE);
  else
    glDisable(GL_NORMALIZE);

  // Lights are in world space: set them with the view matrix alone.
  glMatrixMode(GL_MODELVIEW);
  LoadMatrix(model.Transform(D3DTS_VIEW));
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

void CGLBackEnd::ApplyState(const CD3DStateModel& model, const Target& target, const VertexLayout& layout) {
  const D3DRecordedState& s = model.State();
  const DWORD* rs = s.renderStates;
  const D3DVIEWPORT8& vp = s.viewport;
  const int width = target.width, height = target.height;

  m_gl.BindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
  glEnable(GL_SCISSOR_TEST);
  glScissor(static_cast<GLint>(vp.X), static_cast<GLint>(vp.Y), static_cast<GLsizei>(vp.Width),
            static_cast<GLsizei>(vp.Height));

  // Textures first: stage setup loads texture matrices and texgen planes.
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  ApplyStages(model, layout);
  ApplyLights(model, layout);

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
    MultMatrix(model.Transform(D3DTS_PROJECTION));
    glMatrixMode(GL_MODELVIEW);
    LoadMatrix(model.Transform(D3DTS_VIEW));
    MultMatrix(model.Transform(D3DTS_WORLD));
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
  if (rs[D3DRS_ZENABLE] && target.depthBuffer) {
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(CompareFunc(rs[D3DRS_ZFUNC]));
  } else {
    glDisable(GL_DEPTH_TEST);
  }
  glDepthMask(rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
  if (rs[D3DRS_STENCILENABLE] && target.depthBuffer) {
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

void CGLBackEnd::Unpack(const VertexLayout& layout, const VertexSource& vertices) {
  const size_t count = vertices.count;
  if (m_positions.size() < count * 4) m_positions.resize(count * 4);
  if (layout.diffuse >= 0 && m_colors.size() < count * 4) m_colors.resize(count * 4);
  for (size_t v = 0; v < count; ++v) {
    const BYTE* vertex = vertices.memory + v * vertices.stride;
    float p[4] = {0, 0, 0, 1};
    std::memcpy(p, vertex + layout.position, static_cast<size_t>(layout.positionSize) * 4);
    if (layout.rhw) {
      // Homogeneous (x, y, z, 1) / rhw keeps texturing perspective-correct.
      const float w = p[3] != 0.0f ? 1.0f / p[3] : 1.0f;
      p[0] *= w, p[1] *= w, p[2] *= w, p[3] = w;
    }
    std::memcpy(&m_positions[v * 4], p, sizeof p);
    if (layout.diffuse >= 0) D3DConvertToRGBA(vertex + layout.diffuse, D3DFMT_A8R8G8B8, 1, &m_colors[v * 4]);
  }
}

void CGLBackEnd::Draw(const CD3DStateModel& model, const Target& target, const VertexLayout& layout,
                      D3DPRIMITIVETYPE type, const VertexSource& vertices, const IndexSource* indices) {
  // Untransformed vertices are drawn where they lie, from the buffer object when there is
  // one; pre-transformed positions (and colours GL cannot read as they are) are unpacked.
  const bool direct = !layout.rhw && (layout.diffuse < 0 || m_gl.bgraColors);
  const bool fromBuffer = direct && vertices.buffer != 0;
  if (!direct) Unpack(layout, vertices);
  ApplyState(model, target, layout);

  // The first vertex: an offset into the bound buffer object, or its address in memory.
  m_gl.BindBuffer(GL_ARRAY_BUFFER, fromBuffer ? vertices.buffer : 0);
  const uintptr_t first = fromBuffer ? vertices.offset : reinterpret_cast<uintptr_t>(vertices.memory);
  auto at = [first](int offset) { return reinterpret_cast<const void*>(first + static_cast<uintptr_t>(offset)); };
  const GLsizei stride = static_cast<GLsizei>(vertices.stride);
  glEnableClientState(GL_VERTEX_ARRAY);
  if (direct)
    glVertexPointer(3, GL_FLOAT, stride, at(layout.position));
  else
    glVertexPointer(4, GL_FLOAT, 0, m_positions.data());
  if (layout.normal >= 0) {
    glEnableClientState(GL_NORMAL_ARRAY);
    glNormalPointer(GL_FLOAT, stride, at(layout.normal));
  } else {
    glDisableClientState(GL_NORMAL_ARRAY);
    glNormal3f(0.0f, 0.0f, 0.0f);
  }
  const bool lit = model.State().renderStates[D3DRS_LIGHTING] && !layout.rhw;
  if (layout.diffuse >= 0 && (!lit || glIsEnabled(GL_COLOR_MATERIAL))) {
    glEnableClientState(GL_COLOR_ARRAY);
    if (direct)
      glColorPointer(GL_BGRA, GL_UNSIGNED_BYTE, stride, at(layout.diffuse));
    else
      glColorPointer(4, GL_UNSIGNED_BYTE, 0, m_colors.data());
  } else {
    glDisableClientState(GL_COLOR_ARRAY);
    glColor4ub(255, 255, 255, 255);
  }
  for (DWORD stage = 0; stage < m_stages; ++stage) {
    const DWORD tci = model.State().stageStates[stage][D3DTSS_TEXCOORDINDEX];
    const int set = static_cast<int>(tci & 0xffffu);
    m_gl.ClientActiveTexture(GL_TEXTURE0 + stage);
    if ((tci & 0xffff0000u) == 0 && set < layout.texCount) {
      glEnableClientState(GL_TEXTURE_COORD_ARRAY);
      glTexCoordPointer(layout.texSize[set], GL_FLOAT, stride, at(layout.tex[set]));
    } else {
      glDisableClientState(GL_TEXTURE_COORD_ARRAY);
      m_gl.MultiTexCoord4f(GL_TEXTURE0 + stage, 0.0f, 0.0f, 0.0f, 1.0f);
    }
  }
  m_gl.ClientActiveTexture(GL_TEXTURE0);

  if (indices) {
    const bool indexBuffer = fromBuffer && indices->buffer != 0;
    m_gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer ? indices->buffer : 0);
    const void* list = indexBuffer ? reinterpret_cast<const void*>(indices->offset) : indices->memory;
    glDrawElements(PrimitiveMode(type), static_cast<GLsizei>(indices->count),
                   indices->size == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT, list);
    m_gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  } else {
    glDrawArrays(PrimitiveMode(type), 0, static_cast<GLsizei>(vertices.count));
  }
  m_gl.BindBuffer(GL_ARRAY_BUFFER, 0);

  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  for (DWORD stage = 0; stage < m_stages; ++stage) {
    m_gl.ClientActiveTexture(GL_TEXTURE0 + stage);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  }
  m_gl.ClientActiveTexture(GL_TEXTURE0);
}

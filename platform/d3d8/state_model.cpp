#include "platform/d3d8/state_model.h"

#include <optional>
#include <set>

#include "platform/d3d8/memory_resources.h"

namespace {

DWORD FloatBits(float value) {
  DWORD bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// Internal references keep bound objects alive after the caller's last Release.
void Hold(IUnknown* object) {
  if (auto* texture = dynamic_cast<CMemoryResource*>(object)) texture->InternalAddRef();
}
void Drop(IUnknown* object) {
  if (auto* texture = dynamic_cast<CMemoryResource*>(object)) texture->InternalRelease();
}

template <class T>
void Rebind(T** slot, T* object) {
  if (*slot == object) return;
  Hold(object);
  T* old = *slot;
  *slot = object;
  Drop(old);
}

// Render states a pixel-state block holds; the rest belong to vertex state.
const std::set<DWORD> kPixelRenderStates = {
    D3DRS_ZENABLE, D3DRS_FILLMODE, D3DRS_SHADEMODE, D3DRS_LINEPATTERN, D3DRS_ZWRITEENABLE, D3DRS_ALPHATESTENABLE,
    D3DRS_LASTPIXEL, D3DRS_SRCBLEND, D3DRS_DESTBLEND, D3DRS_ZFUNC, D3DRS_ALPHAREF, D3DRS_ALPHAFUNC,
    D3DRS_DITHERENABLE, D3DRS_ALPHABLENDENABLE, D3DRS_FOGSTART, D3DRS_FOGEND, D3DRS_FOGDENSITY,
    D3DRS_EDGEANTIALIAS, D3DRS_ZBIAS, D3DRS_STENCILENABLE, D3DRS_STENCILFAIL, D3DRS_STENCILZFAIL,
    D3DRS_STENCILPASS, D3DRS_STENCILFUNC, D3DRS_STENCILREF, D3DRS_STENCILMASK, D3DRS_STENCILWRITEMASK,
    D3DRS_TEXTUREFACTOR, D3DRS_WRAP0, D3DRS_WRAP1, D3DRS_WRAP2, D3DRS_WRAP3, D3DRS_WRAP4, D3DRS_WRAP5,
    D3DRS_WRAP6, D3DRS_WRAP7, D3DRS_COLORWRITEENABLE, D3DRS_BLENDOP, D3DRS_FOGTABLEMODE, D3DRS_SPECULARENABLE};

const DWORD kKnownRenderStates[] = {
    7,   8,   9,   10,  14,  15,  16,  19,  20,  22,  23,  24,  25,  26,  27,  28,  29,  30,  34,  35,  36,
    37,  38,  40,  47,  48,  52,  53,  54,  55,  56,  57,  58,  59,  60,  128, 129, 130, 131, 132, 133, 134,
    135, 136, 137, 139, 140, 141, 142, 143, 145, 146, 147, 148, 151, 152, 153, 154, 155, 156, 157, 158, 159,
    160, 161, 162, 163, 164, 165, 166, 167, 168, 170, 171, 172, 173};

bool IsVertexStageState(DWORD type) {
  return type == D3DTSS_TEXCOORDINDEX || type == D3DTSS_TEXTURETRANSFORMFLAGS;
}

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
  D3DMATRIX r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += a.m[i][k] * b.m[k][j];
      r.m[i][j] = sum;
    }
  return r;
}

}  // namespace

struct CD3DStateModel::Block {
  std::map<DWORD, DWORD> renderStates;
  std::map<std::pair<DWORD, DWORD>, DWORD> stageStates;
  std::map<DWORD, IDirect3DBaseTexture8*> textures;
  std::map<DWORD, D3DMATRIX> transforms;
  std::optional<D3DMATERIAL8> material;
  std::map<DWORD, D3DLIGHT8> lights;
  std::map<DWORD, BOOL> lightEnabled;
  std::optional<D3DVIEWPORT8> viewport;
  std::optional<DWORD> vertexShader;
  bool hasStream = false;
  IDirect3DVertexBuffer8* stream = nullptr;
  UINT stride = 0;
  bool hasIndices = false;
  IDirect3DIndexBuffer8* indices = nullptr;
  UINT baseVertex = 0;

  ~Block() {
    for (auto& t : textures) Drop(t.second);
    Drop(stream);
    Drop(indices);
  }
  void SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) {
    auto it = textures.find(stage);
    if (it == textures.end()) {
      Hold(texture);
      textures[stage] = texture;
    } else {
      Rebind(&it->second, texture);
    }
  }
};

D3DMATRIX D3DIdentityMatrix() {
  D3DMATRIX m;
  std::memset(&m, 0, sizeof m);
  m._11 = m._22 = m._33 = m._44 = 1.0f;
  return m;
}

D3DCAPS8 D3DDefaultCaps() {
  D3DCAPS8 c;
  std::memset(&c, 0, sizeof c);
  c.DeviceType = D3DDEVTYPE_HAL;
  c.Caps2 = D3DCAPS2_CANRENDERWINDOWED | D3DCAPS2_DYNAMICTEXTURES | D3DCAPS2_FULLSCREENGAMMA;
  c.PresentationIntervals = D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE;
  c.CursorCaps = D3DCURSORCAPS_COLOR | D3DCURSORCAPS_LOWRES;
  c.DevCaps = D3DDEVCAPS_EXECUTESYSTEMMEMORY | D3DDEVCAPS_TLVERTEXSYSTEMMEMORY | D3DDEVCAPS_TEXTUREVIDEOMEMORY |
              D3DDEVCAPS_DRAWPRIMTLVERTEX | D3DDEVCAPS_CANRENDERAFTERFLIP | D3DDEVCAPS_DRAWPRIMITIVES2 |
              D3DDEVCAPS_DRAWPRIMITIVES2EX | D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_HWRASTERIZATION;
  c.PrimitiveMiscCaps = D3DPMISCCAPS_MASKZ | D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW | D3DPMISCCAPS_CULLCCW |
                        D3DPMISCCAPS_COLORWRITEENABLE | D3DPMISCCAPS_BLENDOP;
  c.RasterCaps = D3DPRASTERCAPS_DITHER | D3DPRASTERCAPS_ZTEST | D3DPRASTERCAPS_FOGVERTEX | D3DPRASTERCAPS_FOGTABLE |
                 D3DPRASTERCAPS_MIPMAPLODBIAS | D3DPRASTERCAPS_FOGRANGE;
  c.ZCmpCaps = c.AlphaCmpCaps = 0xff;
  c.SrcBlendCaps = c.DestBlendCaps = 0x1fff;
  c.ShadeCaps = D3DPSHADECAPS_COLORGOURAUDRGB | D3DPSHADECAPS_SPECULARGOURAUDRGB | D3DPSHADECAPS_ALPHAGOURAUDBLEND |
                D3DPSHADECAPS_FOGGOURAUD;
  c.TextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_MIPMAP |
                  D3DPTEXTURECAPS_PROJECTED;
  c.TextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MIPFPOINT |
                        D3DPTFILTERCAPS_MIPFLINEAR | D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR;
  c.TextureAddressCaps = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_MIRROR | D3DPTADDRESSCAPS_CLAMP |
                         D3DPTADDRESSCAPS_BORDER | D3DPTADDRESSCAPS_INDEPENDENTUV;
  c.LineCaps = D3DLINECAPS_TEXTURE | D3DLINECAPS_ZTEST | D3DLINECAPS_BLEND | D3DLINECAPS_ALPHACMP | D3DLINECAPS_FOG;
  c.MaxTextureWidth = c.MaxTextureHeight = 2048;
  c.MaxTextureRepeat = 8192;
  c.MaxTextureAspectRatio = 2048;
  c.MaxAnisotropy = 1;
  c.MaxVertexW = 1e10f;
  c.GuardBandLeft = c.GuardBandTop = -8192.0f;
  c.GuardBandRight = c.GuardBandBottom = 8192.0f;
  c.StencilCaps = 0xff;
  c.FVFCaps = 8;
  c.TextureOpCaps = D3DTEXOPCAPS_DISABLE | D3DTEXOPCAPS_SELECTARG1 | D3DTEXOPCAPS_SELECTARG2 |
                    D3DTEXOPCAPS_MODULATE | D3DTEXOPCAPS_MODULATE2X | D3DTEXOPCAPS_MODULATE4X | D3DTEXOPCAPS_ADD |
                    D3DTEXOPCAPS_ADDSIGNED | D3DTEXOPCAPS_SUBTRACT | D3DTEXOPCAPS_BLENDDIFFUSEALPHA |
                    D3DTEXOPCAPS_BLENDTEXTUREALPHA | D3DTEXOPCAPS_BLENDFACTORALPHA | D3DTEXOPCAPS_BLENDCURRENTALPHA;
  c.MaxTextureBlendStages = 2;
  c.MaxSimultaneousTextures = 2;
  c.VertexProcessingCaps = D3DVTXPCAPS_TEXGEN | D3DVTXPCAPS_MATERIALSOURCE7 | D3DVTXPCAPS_DIRECTIONALLIGHTS |
                           D3DVTXPCAPS_POSITIONALLIGHTS | D3DVTXPCAPS_LOCALVIEWER;
  c.MaxActiveLights = 8;
  c.MaxUserClipPlanes = 0;
  c.MaxVertexBlendMatrices = 0;
  c.MaxPointSize = 64.0f;
  c.MaxPrimitiveCount = 0xfffff;
  c.MaxVertexIndex = 0xffffff;
  c.MaxStreams = 1;
  c.MaxStreamStride = 255;
  c.VertexShaderVersion = 0;
  c.MaxVertexShaderConst = 0;
  c.PixelShaderVersion = 0;
  c.MaxPixelShaderValue = 0.0f;
  return c;
}

CD3DStateModel::CD3DStateModel() {
  std::memset(m_state.textures, 0, sizeof m_state.textures);
  m_state.streamSource = nullptr;
  m_state.indices = nullptr;
  SetDefaults(640, 480, false);
}

CD3DStateModel::~CD3DStateModel() {
  m_blocks.clear();
  m_recording.reset();
  for (auto& texture : m_state.textures) Rebind(&texture, static_cast<IDirect3DBaseTexture8*>(nullptr));
  Rebind(&m_state.streamSource, static_cast<IDirect3DVertexBuffer8*>(nullptr));
  Rebind(&m_state.indices, static_cast<IDirect3DIndexBuffer8*>(nullptr));
}

void CD3DStateModel::SetDefaults(UINT width, UINT height, bool depthBuffer) {
  DWORD* rs = m_state.renderStates;
  std::memset(rs, 0, sizeof m_state.renderStates);
  rs[D3DRS_ZENABLE] = depthBuffer ? D3DZB_TRUE : D3DZB_FALSE;
  rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
  rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
  rs[D3DRS_ZWRITEENABLE] = TRUE;
  rs[D3DRS_LASTPIXEL] = TRUE;
  rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  rs[D3DRS_CULLMODE] = D3DCULL_CCW;
  rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_FOGSTART] = FloatBits(0.0f);
  rs[D3DRS_FOGEND] = FloatBits(1.0f);
  rs[D3DRS_FOGDENSITY] = FloatBits(1.0f);
  rs[D3DRS_STENCILFAIL] = rs[D3DRS_STENCILZFAIL] = rs[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
  rs[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
  rs[D3DRS_STENCILMASK] = rs[D3DRS_STENCILWRITEMASK] = 0xffffffffu;
  rs[D3DRS_TEXTUREFACTOR] = 0xffffffffu;
  rs[D3DRS_CLIPPING] = TRUE;
  rs[D3DRS_LIGHTING] = TRUE;
  rs[D3DRS_COLORVERTEX] = TRUE;
  rs[D3DRS_LOCALVIEWER] = TRUE;
  rs[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
  rs[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
  rs[D3DRS_AMBIENTMATERIALSOURCE] = D3DMCS_MATERIAL;
  rs[D3DRS_EMISSIVEMATERIALSOURCE] = D3DMCS_MATERIAL;
  rs[D3DRS_POINTSIZE] = FloatBits(1.0f);
  rs[D3DRS_POINTSCALE_A] = FloatBits(1.0f);
  rs[D3DRS_MULTISAMPLEANTIALIAS] = TRUE;
  rs[D3DRS_MULTISAMPLEMASK] = 0xffffffffu;
  rs[D3DRS_PATCHSEGMENTS] = FloatBits(1.0f);
  rs[D3DRS_POINTSIZE_MAX] = FloatBits(64.0f);
  rs[D3DRS_COLORWRITEENABLE] = 0xfu;
  rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
  rs[D3DRS_POSITIONORDER] = D3DORDER_CUBIC;
  rs[D3DRS_NORMALORDER] = D3DORDER_LINEAR;

  for (DWORD stage = 0; stage < D3DMAXTEXTURESTAGES; ++stage) {
    DWORD* ts = m_state.stageStates[stage];
    std::memset(ts, 0, sizeof m_state.stageStates[stage]);
    ts[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    ts[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    ts[D3DTSS_COLORARG2] = D3DTA_CURRENT;
    ts[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    ts[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    ts[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    ts[D3DTSS_TEXCOORDINDEX] = stage;
    ts[D3DTSS_ADDRESSU] = ts[D3DTSS_ADDRESSV] = ts[D3DTSS_ADDRESSW] = D3DTADDRESS_WRAP;
    ts[D3DTSS_MAGFILTER] = ts[D3DTSS_MINFILTER] = D3DTEXF_POINT;
    ts[D3DTSS_MIPFILTER] = D3DTEXF_NONE;
    ts[D3DTSS_MAXANISOTROPY] = 1;
    ts[D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_DISABLE;
    ts[D3DTSS_COLORARG0] = ts[D3DTSS_ALPHAARG0] = ts[D3DTSS_RESULTARG] = D3DTA_CURRENT;
    Rebind(&m_state.textures[stage], static_cast<IDirect3DBaseTexture8*>(nullptr));
  }
  m_state.transforms.clear();
  std::memset(&m_state.material, 0, sizeof m_state.material);
  m_state.lights.clear();
  m_state.lightEnabled.clear();
  m_state.viewport = D3DVIEWPORT8{0, 0, width, height, 0.0f, 1.0f};
  m_state.vertexShader = 0;
  Rebind(&m_state.streamSource, static_cast<IDirect3DVertexBuffer8*>(nullptr));
  m_state.streamStride = 0;
  Rebind(&m_state.indices, static_cast<IDirect3DIndexBuffer8*>(nullptr));
  m_state.baseVertexIndex = 0;
  ++m_generation;
}

HRESULT CD3DStateModel::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  if (state >= D3DRS_MAX_COUNT) return D3DERR_INVALIDCALL;
  if (m_recording) {
    m_recording->renderStates[state] = value;
  } else {
    m_state.renderStates[state] = value;
    ++m_generation;
  }
  return S_OK;
}

HRESULT CD3DStateModel::SetStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  if (stage >= D3DMAXTEXTURESTAGES || type >= D3DTSS_MAX_COUNT) return D3DERR_INVALIDCALL;
  if (m_recording) {
    m_recording->stageStates[{stage, type}] = value;
  } else {
    m_state.stageStates[stage][type] = value;
    ++m_generation;
  }
  return S_OK;
}

HRESULT CD3DStateModel::SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) {
  if (stage >= D3DMAXTEXTURESTAGES) return D3DERR_INVALIDCALL;
  if (m_recording) {
    m_recording->SetTexture(stage, texture);
  } else {
    Rebind(&m_state.textures[stage], texture);
    ++m_generation;
  }
  return S_OK;
}

HRESULT CD3DStateModel::SetTransform(DWORD state, const D3DMATRIX& matrix) {
  if (state >= 512) return D3DERR_INVALIDCALL;
  if (m_recording) {
    m_recording->transforms[state] = matrix;
  } else {
    m_state.transforms[state] = matrix;
    ++m_generation;
  }
  return S_OK;
}

HRESULT CD3DStateModel::MultiplyTransform(DWORD state, const D3DMATRIX& matrix) {
  return SetTransform(state, Multiply(matrix, Transform(state)));
}

D3DMATRIX CD3DStateModel::Transform(DWORD state) const {
  auto it = m_state.transforms.find(state);
  return it == m_state.transforms.end() ? D3DIdentityMatrix() : it->second;
}

HRESULT CD3DStateModel::SetMaterial(const D3DMATERIAL8& material) {
  if (m_recording) {
    m_recording->material = material;
  } else {
    m_state.material = material;
    ++m_generation;
  }
  return S_OK;
}

HRESULT CD3DStateModel::SetLight(DWORD index, const D3DLIGHT8& light) {
  if (light.Type < D3DLIGHT_POINT || light.Type > D3DLIGHT_DIRECTIONAL || light.Range < 0.0f)
    return D3DERR_INVALIDCALL;
  if (m_recording) {
    m_recording->lights[index] = light;
  } else {
    m_state.lights[index] = light;
    ++m_generation;
  }
  return S_OK;
}

HRESULT CD3DStateModel::LightEnable(DWORD index, BOOL enable) {
  if (m_recording) {
    m_recording->lightEnabled[index] = enable ? TRUE : FALSE;
    return S_OK;
  }
  // Enabling a light that was never set gives it the default light, as Direct3D 8 does.
  if (m_state.lights.find(index) == m_state.lights.end()) {
    D3DLIGHT8 light;
    std::memset(&light, 0, sizeof light);
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 0.0f};
    light.Direction = D3DVECTOR{0.0f, 0.0f, 1.0f};
    m_state.lights[index] = light;
  }
  m_state.lightEnabled[index] = enable ? TRUE : FALSE;
  ++m_generation;
  return S_OK;
}

HRESULT CD3DStateModel::SetViewport(const D3DVIEWPORT8& viewport) {
  if (viewport.Width == 0 || viewport.Height == 0) return D3DERR_INVALIDCALL;
  if (m_recording) {
    m_recording->viewport = viewport;
  } else {
    m_state.viewport = viewport;
    ++m_generation;
  }
  return S_OK;
}

HRESULT CD3DStateModel::SetVertexShader(DWORD handle) {
  if (m_recording) {
    m_recording->vertexShader = handle;
  } else {
    m_state.vertexShader = handle;
    ++m_generation;
  }
  return S_OK;
}

HRESULT CD3DStateModel::SetStreamSource(IDirect3DVertexBuffer8* buffer, UINT stride) {
  if (m_recording) {
    m_recording->hasStream = true;
    Rebind(&m_recording->stream, buffer);
    m_recording->stride = stride;
  } else {
    Rebind(&m_state.streamSource, buffer);
    m_state.streamStride = stride;
    ++m_generation;
  }
  return S_OK;
}

HRESULT CD3DStateModel::SetIndices(IDirect3DIndexBuffer8* buffer, UINT baseVertex) {
  if (m_recording) {
    m_recording->hasIndices = true;
    Rebind(&m_recording->indices, buffer);
    m_recording->baseVertex = baseVertex;
  } else {
    Rebind(&m_state.indices, buffer);
    m_state.baseVertexIndex = baseVertex;
    ++m_generation;
  }
  return S_OK;
}

HRESULT CD3DStateModel::BeginStateBlock() {
  if (m_recording) return D3DERR_INVALIDCALL;
  m_recording = std::make_unique<Block>();
  return S_OK;
}

HRESULT CD3DStateModel::EndStateBlock(DWORD* token) {
  if (!m_recording || !token) return D3DERR_INVALIDCALL;
  // Recording ends even when there is no memory left to keep the block.
  std::unique_ptr<Block> block = std::move(m_recording);
  *token = m_nextToken++;
  m_blocks[*token] = std::move(block);
  return S_OK;
}

void CD3DStateModel::Apply(const Block& b) {
  for (auto& rs : b.renderStates) m_state.renderStates[rs.first] = rs.second;
  for (auto& ts : b.stageStates) m_state.stageStates[ts.first.first][ts.first.second] = ts.second;
  for (auto& t : b.textures) Rebind(&m_state.textures[t.first], t.second);
  for (auto& t : b.transforms) m_state.transforms[t.first] = t.second;
  if (b.material) m_state.material = *b.material;
  for (auto& l : b.lights) m_state.lights[l.first] = l.second;
  for (auto& l : b.lightEnabled) m_state.lightEnabled[l.first] = l.second;
  if (b.viewport) m_state.viewport = *b.viewport;
  if (b.vertexShader) m_state.vertexShader = *b.vertexShader;
  if (b.hasStream) {
    Rebind(&m_state.streamSource, b.stream);
    m_state.streamStride = b.stride;
  }
  if (b.hasIndices) {
    Rebind(&m_state.indices, b.indices);
    m_state.baseVertexIndex = b.baseVertex;
  }
  ++m_generation;
}

void CD3DStateModel::Capture(Block* b) const {
  for (auto& rs : b->renderStates) rs.second = m_state.renderStates[rs.first];
  for (auto& ts : b->stageStates) ts.second = m_state.stageStates[ts.first.first][ts.first.second];
  for (auto& t : b->textures) Rebind(&t.second, m_state.textures[t.first]);
  for (auto& t : b->transforms) t.second = Transform(t.first);
  if (b->material) b->material = m_state.material;
  for (auto& l : b->lights) {
    auto it = m_state.lights.find(l.first);
    if (it != m_state.lights.end()) l.second = it->second;
  }
  for (auto& l : b->lightEnabled) {
    auto it = m_state.lightEnabled.find(l.first);
    l.second = it != m_state.lightEnabled.end() ? it->second : FALSE;
  }
  if (b->viewport) b->viewport = m_state.viewport;
  if (b->vertexShader) b->vertexShader = m_state.vertexShader;
  if (b->hasStream) {
    Rebind(&b->stream, m_state.streamSource);
    b->stride = m_state.streamStride;
  }
  if (b->hasIndices) {
    Rebind(&b->indices, m_state.indices);
    b->baseVertex = m_state.baseVertexIndex;
  }
}

HRESULT CD3DStateModel::ApplyStateBlock(DWORD token) {
  auto it = m_blocks.find(token);
  if (it == m_blocks.end() || m_recording) return D3DERR_INVALIDCALL;
  Apply(*it->second);
  return S_OK;
}

HRESULT CD3DStateModel::CaptureStateBlock(DWORD token) {
  auto it = m_blocks.find(token);
  if (it == m_blocks.end() || m_recording) return D3DERR_INVALIDCALL;
  Capture(it->second.get());
  return S_OK;
}

HRESULT CD3DStateModel::DeleteStateBlock(DWORD token) {
  auto it = m_blocks.find(token);
  if (it == m_blocks.end() || m_recording) return D3DERR_INVALIDCALL;
  m_blocks.erase(it);
  return S_OK;
}

void CD3DStateModel::DeleteAllStateBlocks() {
  m_blocks.clear();
  m_recording.reset();
}

HRESULT CD3DStateModel::CreateStateBlock(D3DSTATEBLOCKTYPE type, DWORD* token) {
  if (!token || m_recording || type < D3DSBT_ALL || type > D3DSBT_VERTEXSTATE) return D3DERR_INVALIDCALL;
  auto block = std::make_unique<Block>();
  const bool pixel = type != D3DSBT_VERTEXSTATE, vertex = type != D3DSBT_PIXELSTATE;
  for (DWORD rs : kKnownRenderStates) {
    const bool isPixel = kPixelRenderStates.count(rs) > 0;
    if ((isPixel && pixel) || (!isPixel && vertex)) block->renderStates[rs] = 0;
  }
  for (DWORD stage = 0; stage < D3DMAXTEXTURESTAGES; ++stage) {
    for (DWORD t = D3DTSS_COLOROP; t <= D3DTSS_RESULTARG; ++t) {
      if (t == 12) continue;
      if ((IsVertexStageState(t) && vertex) || (!IsVertexStageState(t) && pixel)) block->stageStates[{stage, t}] = 0;
    }
  }
  if (type == D3DSBT_ALL) {
    for (DWORD stage = 0; stage < D3DMAXTEXTURESTAGES; ++stage) block->SetTexture(stage, nullptr);
    for (DWORD t : {2u, 3u, 16u, 17u, 18u, 19u, 20u, 21u, 22u, 23u, 256u}) block->transforms[t] = D3DIdentityMatrix();
    block->material = m_state.material;
    block->viewport = m_state.viewport;
    block->hasStream = block->hasIndices = true;
  }
  if (vertex) {
    for (auto& l : m_state.lights) block->lights[l.first] = l.second;
    for (auto& l : m_state.lightEnabled) block->lightEnabled[l.first] = l.second;
    block->vertexShader = m_state.vertexShader;
  }
  Capture(block.get());
  *token = m_nextToken++;
  m_blocks[*token] = std::move(block);
  return S_OK;
}

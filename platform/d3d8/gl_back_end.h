// The back end of the OpenGL device: turns the Direct3D state of a draw or a clear
// into OpenGL state and issues it, and keeps the OpenGL copies of textures. The
// device (gl_device.cpp) is the front end: the COM face, resources, the state model,
// the framebuffer and presentation. Every call needs the device's context current.
#pragma once

#include <vector>

#include "platform/d3d8/d3d8.h"
#include "platform/d3d8/gl_functions.h"
#include "platform/d3d8/memory_resources.h"
#include "platform/d3d8/state_model.h"
#include "platform/d3d8/vertex_shader_table.h"

class CGLBackEnd {
 public:
  // Where each vertex element lives inside one vertex of stream 0.
  struct VertexLayout {
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
  // The layout of an FVF code or of a declared vertex shader; false for neither.
  static bool LayoutFor(DWORD shader, const CVertexShaderTable& shaders, VertexLayout* layout);

  // What draws and clears render into: the framebuffer at the back-buffer size.
  struct Target {
    unsigned framebuffer = 0;
    int width = 0, height = 0;
    bool depthBuffer = false;
  };

  // `gl` is loaded by the device before the first call; `stages` is how many texture stages blend.
  CGLBackEnd(const GLFunctions& gl, DWORD stages) : m_gl(gl), m_stages(stages) {}
  CGLBackEnd(const CGLBackEnd&) = delete;
  CGLBackEnd& operator=(const CGLBackEnd&) = delete;

  // The objects of the back end itself (the white texture an empty stage reads).
  void CreateObjects();
  void DeleteObjects();
  // Texture units and combiners were changed behind the back end: set them all at the next draw.
  void ForgetTextureStages();

  // The vertices of a draw: always in memory (`memory` is the first one, `count` of them
  // reachable), and in a buffer object too when `buffer` is set (the same bytes, the
  // first vertex at `offset`), which GL then draws from without a copy.
  struct VertexSource {
    const BYTE* memory = nullptr;
    UINT count = 0;
    UINT stride = 0;
    unsigned buffer = 0;
    size_t offset = 0;
  };
  // The indices of a draw, counted from the first vertex, in memory and maybe a buffer object.
  struct IndexSource {
    const void* memory = nullptr;
    UINT count = 0;
    UINT size = 4;  // bytes an index: 2 or 4
    unsigned buffer = 0;
    size_t offset = 0;
  };

  // Draws the vertices (in `layout`), through `indices` when given, with the model's state.
  void Draw(const CD3DStateModel& model, const Target& target, const VertexLayout& layout, D3DPRIMITIVETYPE type,
            const VertexSource& vertices, const IndexSource* indices);
  // Clears the viewport, and within it the given rectangles (all of it when none).
  void Clear(const CD3DStateModel& model, const Target& target, DWORD count, const D3DRECT* rects, DWORD flags,
             D3DCOLOR color, float z, DWORD stencil);

  // The OpenGL texture of a Direct3D one, with storage for every level (contents undefined).
  void CreateTexture(CMemoryTexture* texture);
  // Copies a level's memory pixels into the OpenGL texture (made first if needed).
  void UploadTextureLevel(CMemoryTexture* texture, UINT level);
  // Reads a level back from OpenGL into `image` (allocated in the texture's format).
  void ReadTextureLevel(CMemoryTexture* texture, UINT level, CMemoryImage& image);
  // Frees the OpenGL copy of a texture.
  void DeleteTexture(CMemoryTexture* texture);

 private:
  void ApplyState(const CD3DStateModel& model, const Target& target, const VertexLayout& layout);
  void ApplyStages(const CD3DStateModel& model, const VertexLayout& layout);
  void ApplyLights(const CD3DStateModel& model, const VertexLayout& layout);
  void BindTexture(const DWORD* stageStates, CMemoryTexture* texture);
  // Uploads the levels still in memory and binds the texture.
  void UploadTexture(CMemoryTexture* texture);

  // Pre-transformed positions as GL takes them, and colours where GL cannot read D3DCOLOR.
  void Unpack(const VertexLayout& layout, const VertexSource& vertices);

  // What a texture stage last gave GL. Switching units or setting a combiner again makes
  // the driver revalidate its samplers, so a stage that has not changed is left alone.
  struct AppliedStage {
    bool known = false;
    bool enabled = false;
    DWORD combiner[7] = {};  // colour op and arguments, alpha op and arguments, texture factor
  };
  static constexpr DWORD kTextureUnits = 4;

  const GLFunctions& m_gl;
  DWORD m_stages;
  AppliedStage m_applied[kTextureUnits];
  bool m_unusedUnitsOff = false;  // the units past the blending stages are disabled
  unsigned m_whiteTexture = 0;
  // Kept from draw to draw, so unpacking allocates only when a draw is larger than any before.
  std::vector<float> m_positions;
  std::vector<BYTE> m_colors;
};

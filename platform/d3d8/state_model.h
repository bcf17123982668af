// The state of a Direct3D 8 device and its state blocks, shared by the OpenGL
// device and the recording device. While a state block is being recorded, Set*
// calls go into the block only, as Direct3D 8 does. Bound textures and buffers
// (in the device and in state blocks) hold internal references.
#pragma once

#include <map>
#include <memory>

#include "platform/d3d8/d3d8.h"

// Everything a state block can hold.
struct D3DRecordedState {
  DWORD renderStates[D3DRS_MAX_COUNT];
  DWORD stageStates[D3DMAXTEXTURESTAGES][D3DTSS_MAX_COUNT];
  IDirect3DBaseTexture8* textures[D3DMAXTEXTURESTAGES];
  std::map<DWORD, D3DMATRIX> transforms;  // unset ones read as identity
  D3DMATERIAL8 material;
  std::map<DWORD, D3DLIGHT8> lights;
  std::map<DWORD, BOOL> lightEnabled;
  D3DVIEWPORT8 viewport;
  DWORD vertexShader;
  IDirect3DVertexBuffer8* streamSource;
  UINT streamStride;
  IDirect3DIndexBuffer8* indices;
  UINT baseVertexIndex;
};

D3DMATRIX D3DIdentityMatrix();
// The capabilities of a plain fixed-function device: mipmaps, linear filters,
// 8 lights, no vertex shaders.
D3DCAPS8 D3DDefaultCaps();

class CD3DStateModel {
 public:
  CD3DStateModel();
  ~CD3DStateModel();
  CD3DStateModel(const CD3DStateModel&) = delete;
  CD3DStateModel& operator=(const CD3DStateModel&) = delete;

  const D3DRecordedState& State() const { return m_state; }
  // Back to the Direct3D 8 defaults; unbinds textures, streams and indices.
  void SetDefaults(UINT backBufferWidth, UINT backBufferHeight, bool depthBuffer);
  // Bumped whenever the current state changes (the OpenGL device re-applies it).
  unsigned Generation() const { return m_generation; }

  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value);
  HRESULT SetStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value);
  HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture8* texture);
  HRESULT SetTransform(DWORD state, const D3DMATRIX& matrix);
  // MultiplyTransform: `matrix` times the current transform.
  HRESULT MultiplyTransform(DWORD state, const D3DMATRIX& matrix);
  D3DMATRIX Transform(DWORD state) const;
  HRESULT SetMaterial(const D3DMATERIAL8& material);
  HRESULT SetLight(DWORD index, const D3DLIGHT8& light);
  HRESULT LightEnable(DWORD index, BOOL enable);
  HRESULT SetViewport(const D3DVIEWPORT8& viewport);
  HRESULT SetVertexShader(DWORD handle);
  HRESULT SetStreamSource(IDirect3DVertexBuffer8* buffer, UINT stride);
  HRESULT SetIndices(IDirect3DIndexBuffer8* buffer, UINT baseVertex);

  HRESULT BeginStateBlock();
  HRESULT EndStateBlock(DWORD* token);
  HRESULT ApplyStateBlock(DWORD token);
  HRESULT CaptureStateBlock(DWORD token);
  HRESULT DeleteStateBlock(DWORD token);
  HRESULT CreateStateBlock(D3DSTATEBLOCKTYPE type, DWORD* token);
  void DeleteAllStateBlocks();
  bool Recording() const { return m_recording != nullptr; }
  size_t StateBlockCount() const { return m_blocks.size(); }

 private:
  struct Block;
  void Apply(const Block& block);
  void Capture(Block* block) const;

  D3DRecordedState m_state;
  std::map<DWORD, std::unique_ptr<Block>> m_blocks;
  std::unique_ptr<Block> m_recording;
  DWORD m_nextToken = 1;
  unsigned m_generation = 1;
};

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
#include "platform/d3d8/vertex_shader_table.h"
#include "platform/win32/com_object.h"

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

class CRecordingDevice : public ComObject<IDirect3DDevice8, IID_IDirect3DDevice8> {
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
  const std::map<DWORD, std::vector<float>>& VertexShaderConstants() const { return m_vertexShaders.Constants(); }
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

  // --- IDirect3DDevice8 ---
#include "platform/d3d8/device_methods.inc"

 protected:
  ~CRecordingDevice() override;

 private:
  void Log(const char* method, std::vector<DWORD> values, std::vector<const void*> objects = {});
  bool Failing(const char* method, HRESULT* result) const;

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
  CVertexShaderTable m_vertexShaders;
  UINT m_cursorX = 0, m_cursorY = 0;
  BOOL m_cursorShown = FALSE;
  D3DGAMMARAMP m_gamma;
};

// A Direct3D object with scripted adapters. By default: one adapter with the
// modes 640x480, 800x600, 1024x768 in X8R8G8B8 and R5G6B5, D3DDefaultCaps, and
// every Check* succeeding.
class CRecordingDirect3D : public ComObject<IDirect3D8, IID_IDirect3D8> {
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
  // The device most recently made by CreateDevice (not referenced; null before).
  CRecordingDevice* LastDevice() const { return m_lastDevice; }
  void ForgetDevice(CRecordingDevice* device);

#include "platform/d3d8/direct3d_methods.inc"

 protected:
  ~CRecordingDirect3D() override;

 private:
  void Log(const char* method, std::vector<DWORD> values);
  bool Failing(const char* method, HRESULT* result) const;

  std::vector<Adapter> m_adapters;
  std::vector<D3DCallRecord> m_calls;
  std::map<std::string, HRESULT> m_failures;
  CRecordingDevice* m_lastDevice = nullptr;
};

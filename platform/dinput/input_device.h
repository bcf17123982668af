// One keyboard or mouse device. The input hub tells every live device about the
// events; an acquired device collects motion and presses until it is read.
#pragma once

#include "platform/dinput/dinput.h"
#include "platform/win32/com_object.h"

class InputDevice : public ComObject<IDirectInputDevice8A, IID_IDirectInputDevice8A, IID_IDirectInputDevice8W> {
 public:
  enum class Kind { Keyboard, Mouse };

  explicit InputDevice(Kind kind);

  HRESULT SetDataFormat(LPCDIDATAFORMAT format) override;
  HRESULT SetCooperativeLevel(HWND window, DWORD flags) override;
  HRESULT Acquire() override;
  HRESULT Unacquire() override;
  HRESULT GetDeviceState(DWORD size, LPVOID data) override;
  HRESULT Poll() override;

  // From the hub.
  void OnKey(BYTE key, bool down);
  void OnButton(int button, bool down);
  void OnMotion(float dx, float dy);
  void OnWheel(int notches);
  void OnFocusLost();

 protected:
  ~InputDevice() override;

 private:
  bool IsForeground() const { return (m_dwCooperation & DISCL_FOREGROUND) != 0; }
  bool WantsRelativeMouse() const;
  void ClearCollected();
  void Latch(int index);
  BYTE Latched(int index, DWORD frame) const;

  Kind m_kind;
  LPCDIDATAFORMAT m_pFormat = nullptr;
  DWORD m_dwCooperation = DISCL_NONEXCLUSIVE | DISCL_FOREGROUND;
  bool m_bAcquired = false;
  bool m_bLost = false;  // released by a focus loss, not by the caller
  // Presses since the last read, so a press and release between two reads still count
  // once, and the hub's frame each came in: a reader that let frames go by without
  // reading was not looking, and a press it never saw must not act on a later screen.
  BYTE m_Pressed[256] = {};
  DWORD m_PressFrame[256] = {};
  float m_fMotionX = 0.0f;
  float m_fMotionY = 0.0f;
  LONG m_nWheel = 0;
};

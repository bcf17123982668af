// The one place that turns SDL events into key, button, motion and focus changes and
// hands them to every live input device. It keeps what is held at the moment.
#pragma once

#include <vector>

#include "platform/dinput/dinput_bridge.h"
#include "platform/dinput/dinput_testing.h"

class InputDevice;

class InputHub {
 public:
  static InputHub& Get();

  void Feed(const void* sdlEvent);
  void SetFocus(bool focused);
  bool HasFocus() const { return m_bFocus; }
  void SetMotionScale(float scaleX, float scaleY);
  void SetRelativeMouse(bool on);
  void Reset();
  // The window's message queue ran dry: the frame that follows is the reader's chance
  // to see what came so far.
  void NextFrame() { ++m_dwFrame; }
  DWORD Frame() const { return m_dwFrame; }

  void Register(InputDevice* device);
  void Unregister(InputDevice* device);

  const BYTE* Keys() const { return m_Keys; }        // 256 bytes, 0x80 = down
  const BYTE* Buttons() const { return m_Buttons; }  // 8 bytes, 0x80 = down

  DirectInputFaults faults;

 private:
  InputHub() = default;
  void Key(int scancode, bool down);
  void Button(int sdlButton, bool down);

  std::vector<InputDevice*> m_Devices;
  bool m_bFocus = true;  // a window that never reported its focus is taken to have it
  float m_fScaleX = 1.0f;
  float m_fScaleY = 1.0f;
  DWORD m_dwFrame = 0;  // frames begun, wrapping; never reset, devices keep stamps of it
  BYTE m_Keys[256] = {};
  BYTE m_Buttons[8] = {};
};

#include "platform/dinput/input_hub.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "platform/dinput/input_device.h"

InputHub& InputHub::Get() {
  static InputHub hub;
  return hub;
}

void InputHub::Register(InputDevice* device) { m_Devices.push_back(device); }

void InputHub::Unregister(InputDevice* device) {
  m_Devices.erase(std::remove(m_Devices.begin(), m_Devices.end(), device), m_Devices.end());
}

void InputHub::Feed(const void* sdlEvent) {
  if (!sdlEvent) return;
  const SDL_Event& event = *static_cast<const SDL_Event*>(sdlEvent);
  switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      Key(event.key.keysym.scancode, event.type == SDL_KEYDOWN);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      Button(event.button.button, event.type == SDL_MOUSEBUTTONDOWN);
      break;
    case SDL_MOUSEMOTION:
      for (InputDevice* device : m_Devices)
        device->OnMotion(static_cast<float>(event.motion.xrel) * m_fScaleX,
                         static_cast<float>(event.motion.yrel) * m_fScaleY);
      break;
    case SDL_MOUSEWHEEL: {
      const int notches = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
      if (notches != 0)
        for (InputDevice* device : m_Devices) device->OnWheel(notches);
      break;
    }
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) SetFocus(false);
      if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) SetFocus(true);
      break;
    default:
      break;
  }
}

void InputHub::Key(int scancode, bool down) {
  const BYTE key = DirectInputKeyFromScancode(scancode);
  if (key == 0) return;
  m_Keys[key] = down ? 0x80 : 0;
  for (InputDevice* device : m_Devices) device->OnKey(key, down);
}

void InputHub::Button(int sdlButton, bool down) {
  int index;
  switch (sdlButton) {
    case SDL_BUTTON_LEFT: index = 0; break;
    case SDL_BUTTON_RIGHT: index = 1; break;
    case SDL_BUTTON_MIDDLE: index = 2; break;
    case SDL_BUTTON_X1: index = 3; break;
    case SDL_BUTTON_X2: index = 4; break;
    default: return;
  }
  m_Buttons[index] = down ? 0x80 : 0;
  for (InputDevice* device : m_Devices) device->OnButton(index, down);
}

void InputHub::SetFocus(bool focused) {
  if (focused == m_bFocus) return;
  m_bFocus = focused;
  if (focused) return;
  // Keys released while another window has the focus never reach us.
  std::memset(m_Keys, 0, sizeof m_Keys);
  std::memset(m_Buttons, 0, sizeof m_Buttons);
  // A copy: a device may release relative mode, which touches nothing here, but stay safe.
  const std::vector<InputDevice*> devices = m_Devices;
  for (InputDevice* device : devices) device->OnFocusLost();
}

void InputHub::SetMotionScale(float scaleX, float scaleY) {
  m_fScaleX = scaleX > 0.0f ? scaleX : 1.0f;
  m_fScaleY = scaleY > 0.0f ? scaleY : 1.0f;
}

void InputHub::SetRelativeMouse(bool on) {
  // Without a video subsystem (tests, headless tools) there is no pointer to capture.
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
  if (SDL_SetRelativeMouseMode(on ? SDL_TRUE : SDL_FALSE) != 0 && on)
    SDL_Log("dinput: relative mouse mode: %s", SDL_GetError());
}

void InputHub::Reset() {
  m_bFocus = true;
  m_fScaleX = m_fScaleY = 1.0f;
  std::memset(m_Keys, 0, sizeof m_Keys);
  std::memset(m_Buttons, 0, sizeof m_Buttons);
  faults = DirectInputFaults();
}

void DirectInputFeedEvent(const void* sdlEvent) { InputHub::Get().Feed(sdlEvent); }
void DirectInputFeedIdle() { InputHub::Get().NextFrame(); }
void DirectInputSetFocus(bool focused) { InputHub::Get().SetFocus(focused); }
bool DirectInputHasFocus() { return InputHub::Get().HasFocus(); }
void DirectInputSetMotionScale(float scaleX, float scaleY) { InputHub::Get().SetMotionScale(scaleX, scaleY); }
void DirectInputInjectFaultsForTesting(const DirectInputFaults& faults) { InputHub::Get().faults = faults; }
void DirectInputResetForTesting() { InputHub::Get().Reset(); }

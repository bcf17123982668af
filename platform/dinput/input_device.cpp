#include "platform/dinput/input_device.h"

#include <cmath>
#include <cstring>

#include "platform/dinput/input_hub.h"

namespace {

// Frames a press waits for a read: the one after it, and one more that the reader
// skips while it polls every few milliseconds. A reader that skips more is elsewhere.
constexpr DWORD kFramesAPressWaits = 2;

}  // namespace

InputDevice::InputDevice(Kind kind) : m_kind(kind) { InputHub::Get().Register(this); }

InputDevice::~InputDevice() {
  if (m_bAcquired && WantsRelativeMouse()) InputHub::Get().SetRelativeMouse(false);
  InputHub::Get().Unregister(this);
}

bool InputDevice::WantsRelativeMouse() const {
  return m_kind == Kind::Mouse && (m_dwCooperation & DISCL_EXCLUSIVE) != 0;
}

void InputDevice::ClearCollected() {
  std::memset(m_Pressed, 0, sizeof m_Pressed);
  m_fMotionX = m_fMotionY = 0.0f;
  m_nWheel = 0;
}

void InputDevice::Latch(int index) {
  m_Pressed[index] = 0x80;
  m_PressFrame[index] = InputHub::Get().Frame();
}

BYTE InputDevice::Latched(int index, DWORD frame) const {
  return frame - m_PressFrame[index] <= kFramesAPressWaits ? m_Pressed[index] : 0;
}

HRESULT InputDevice::SetDataFormat(LPCDIDATAFORMAT format) {
  if (!format) return DIERR_INVALIDPARAM;
  if (m_bAcquired) return DIERR_ACQUIRED;
  if (m_kind == Kind::Mouse && InputHub::Get().faults.failMouseFormat) return DIERR_GENERIC;
  const bool fits = m_kind == Kind::Keyboard ? format == &c_dfDIKeyboard
                                             : (format == &c_dfDIMouse || format == &c_dfDIMouse2);
  if (!fits) return DIERR_INVALIDPARAM;
  m_pFormat = format;
  return DI_OK;
}

HRESULT InputDevice::SetCooperativeLevel(HWND /*window*/, DWORD flags) {
  const bool exclusive = (flags & DISCL_EXCLUSIVE) != 0;
  const bool foreground = (flags & DISCL_FOREGROUND) != 0;
  if (exclusive == ((flags & DISCL_NONEXCLUSIVE) != 0)) return DIERR_INVALIDPARAM;
  if (foreground == ((flags & DISCL_BACKGROUND) != 0)) return DIERR_INVALIDPARAM;
  if (exclusive && !foreground) return DIERR_UNSUPPORTED;  // nobody may own the keyboard or mouse unseen
  if (m_kind == Kind::Mouse && InputHub::Get().faults.failMouseCooperativeLevel) return DIERR_GENERIC;
  m_dwCooperation = flags;
  return DI_OK;
}

HRESULT InputDevice::Acquire() {
  if (!m_pFormat) return DIERR_INVALIDPARAM;
  if (m_bAcquired) return DI_NOEFFECT;
  if (IsForeground() && !InputHub::Get().HasFocus()) return DIERR_OTHERAPPHASPRIO;
  ClearCollected();
  m_bAcquired = true;
  m_bLost = false;
  if (WantsRelativeMouse()) InputHub::Get().SetRelativeMouse(true);
  return DI_OK;
}

HRESULT InputDevice::Unacquire() {
  if (!m_bAcquired) {
    m_bLost = false;
    return DI_NOEFFECT;
  }
  m_bAcquired = false;
  m_bLost = false;
  if (WantsRelativeMouse()) InputHub::Get().SetRelativeMouse(false);
  return DI_OK;
}

void InputDevice::OnFocusLost() {
  if (!m_bAcquired || !IsForeground()) return;
  Unacquire();
  m_bLost = true;
}

HRESULT InputDevice::Poll() { return m_bAcquired ? DI_NOEFFECT : (m_bLost ? DIERR_INPUTLOST : DIERR_NOTACQUIRED); }

HRESULT InputDevice::GetDeviceState(DWORD size, LPVOID data) {
  if (!data) return DIERR_INVALIDPARAM;
  if (!m_bAcquired) return m_bLost ? DIERR_INPUTLOST : DIERR_NOTACQUIRED;
  if (size != m_pFormat->dwDataSize) return DIERR_INVALIDPARAM;
  const InputHub& hub = InputHub::Get();
  const DWORD frame = hub.Frame();
  BYTE* out = static_cast<BYTE*>(data);
  if (m_kind == Kind::Keyboard) {
    for (int i = 0; i < 256; ++i) out[i] = hub.Keys()[i] | Latched(i, frame);
  } else {
    // Whole pixels go out; the fractions (from the motion scale) wait for the next read.
    constexpr float kLimit = 1.0e9f;  // far beyond any real motion; keeps the conversion defined
    const float wholeX = std::trunc(std::fmax(-kLimit, std::fmin(kLimit, m_fMotionX)));
    const float wholeY = std::trunc(std::fmax(-kLimit, std::fmin(kLimit, m_fMotionY)));
    m_fMotionX -= wholeX;
    m_fMotionY -= wholeY;
    const LONG motion[3] = {static_cast<LONG>(wholeX), static_cast<LONG>(wholeY), m_nWheel};
    m_nWheel = 0;
    std::memcpy(out, motion, sizeof motion);
    const int buttons = static_cast<int>(size - sizeof motion);
    for (int i = 0; i < buttons; ++i) out[sizeof motion + i] = hub.Buttons()[i] | Latched(i, frame);
  }
  std::memset(m_Pressed, 0, sizeof m_Pressed);
  return DI_OK;
}

void InputDevice::OnKey(BYTE key, bool down) {
  if (m_kind == Kind::Keyboard && m_bAcquired && down) Latch(key);
}

void InputDevice::OnButton(int button, bool down) {
  if (m_kind == Kind::Mouse && m_bAcquired && down) Latch(button);
}

void InputDevice::OnMotion(float dx, float dy) {
  if (m_kind != Kind::Mouse || !m_bAcquired) return;
  m_fMotionX += dx;
  m_fMotionY += dy;
}

void InputDevice::OnWheel(int notches) {
  if (m_kind == Kind::Mouse && m_bAcquired) m_nWheel += notches * WHEEL_DELTA;
}

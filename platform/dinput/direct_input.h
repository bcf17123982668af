// The DirectInput object: makes the system keyboard and mouse devices.
#pragma once

#include "platform/dinput/dinput.h"
#include "platform/win32/com_object.h"

class DirectInput : public ComObject<IDirectInput8A, IID_IDirectInput8A, IID_IDirectInput8W> {
 public:
  DirectInput() = default;

  HRESULT CreateDevice(REFGUID device, LPDIRECTINPUTDEVICE8* out, LPUNKNOWN outer) override;
  HRESULT GetDeviceStatus(REFGUID device) override;
};

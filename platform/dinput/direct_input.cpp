#include "platform/dinput/direct_input.h"

#include "platform/dinput/input_device.h"
#include "platform/dinput/input_hub.h"
#include "platform/dinput/window_link.h"

const GUID GUID_SysKeyboard = {0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_SysMouse = {0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID IID_IDirectInput8A = {0xBF798030, 0x483A, 0x4DA2, {0xAA, 0x99, 0x5D, 0x64, 0xED, 0x36, 0x97, 0x00}};
const IID IID_IDirectInput8W = {0xBF798031, 0x483A, 0x4DA2, {0xAA, 0x99, 0x5D, 0x64, 0xED, 0x36, 0x97, 0x00}};
const IID IID_IDirectInputDevice8A = {0x54D41080, 0xDC15, 0x4833, {0xA4, 0x1B, 0x74, 0x8F, 0x73, 0xA3, 0x81, 0x79}};
const IID IID_IDirectInputDevice8W = {0x54D41081, 0xDC15, 0x4833, {0xA4, 0x1B, 0x74, 0x8F, 0x73, 0xA3, 0x81, 0x79}};

// The formats are told apart by address; only their sizes are read.
const DIDATAFORMAT c_dfDIKeyboard = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), 0, 256, 0, nullptr};
const DIDATAFORMAT c_dfDIMouse = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), 0, sizeof(DIMOUSESTATE), 0,
                                  nullptr};
const DIDATAFORMAT c_dfDIMouse2 = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), 0, sizeof(DIMOUSESTATE2), 0,
                                   nullptr};

HRESULT DirectInput::CreateDevice(REFGUID device, LPDIRECTINPUTDEVICE8* out, LPUNKNOWN /*outer*/) {
  if (!out) return DIERR_INVALIDPARAM;
  *out = nullptr;
  const DirectInputFaults& faults = InputHub::Get().faults;
  if (device == GUID_SysKeyboard) {
    if (faults.failKeyboard) return DIERR_DEVICENOTREG;
    *out = new InputDevice(InputDevice::Kind::Keyboard);
    return DI_OK;
  }
  if (device == GUID_SysMouse) {
    if (faults.failMouse) return DIERR_DEVICENOTREG;
    *out = new InputDevice(InputDevice::Kind::Mouse);
    return DI_OK;
  }
  return DIERR_DEVICENOTREG;
}

HRESULT DirectInput::GetDeviceStatus(REFGUID device) {
  return device == GUID_SysKeyboard || device == GUID_SysMouse ? DI_OK : DIERR_DEVICENOTREG;
}

HRESULT DirectInput8Create(HINSTANCE /*instance*/, DWORD version, REFIID riid, LPVOID* out, LPUNKNOWN /*outer*/) {
  if (!out) return DIERR_INVALIDPARAM;
  *out = nullptr;
  if (version < DIRECTINPUT_VERSION) return DIERR_OLDDIRECTINPUTVERSION;
  if (version > DIRECTINPUT_VERSION) return DIERR_BETADIRECTINPUTVERSION;
  if (riid != IID_IDirectInput8A && riid != IID_IDirectInput8W) return DIERR_NOINTERFACE;
  if (InputHub::Get().faults.failCreate) return DIERR_GENERIC;
  LinkInputToWindows();
  *out = static_cast<IDirectInput8A*>(new DirectInput);
  return DI_OK;
}

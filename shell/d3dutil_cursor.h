// The device cursor: a Win32 cursor copied into an image surface with alpha and
// handed to the device, which draws it over full-screen frames.
#pragma once

#include "platform/d3d8/d3d8.h"
#include "platform/win32/winuser.h"

HRESULT D3DUtil_SetDeviceCursor(IDirect3DDevice8* device, HCURSOR cursor);

// The conversion itself: `pixels` as GetCursorPixels gives them, `dest` a
// width x height A8R8G8B8 image (rows `pitch` bytes apart, top row first).
// Opaque (alpha 255) where the AND mask is 0, transparent black elsewhere.
// False when the pixels do not describe a cursor.
bool D3DUtil_CursorToArgb(const CURSORPIXELS& pixels, BYTE* dest, INT pitch);
// The cursor's height: half the mask for a black-and-white cursor.
int D3DUtil_CursorHeight(const CURSORPIXELS& pixels);

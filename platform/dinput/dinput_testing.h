// Test seams of DirectInput: events and frames fed without the window's message pump,
// focus, motion scale and injected creation faults. Only tests include this.
#pragma once

#include "platform/win32/win32.h"

// `sdlEvent` points at an SDL_Event; key, mouse button, motion, wheel and window focus
// events are used, the rest ignored. Never call it for events the window module has
// already passed on: the motion would count twice.
void DirectInputFeedEvent(const void* sdlEvent);
// The message queue ran dry and a frame follows, as the window's WINDOW_NOTICE_IDLE
// tells: a press the devices' readers let two frames pass without reading goes stale.
void DirectInputFeedIdle();

// Focus of the game window. Losing it releases every foreground device (its reads then
// give DIERR_INPUTLOST and Acquire is refused until the focus comes back) and clears the
// keys and buttons held. Window deactivation and SDL_WINDOWEVENT_FOCUS_LOST/GAINED do the same.
void DirectInputSetFocus(bool focused);
bool DirectInputHasFocus();

// Mouse motion arrives in window pixels; the game counts back-buffer pixels. Set from the
// window's client size and letterbox on every size change (default 1, 1).
void DirectInputSetMotionScale(float scaleX, float scaleY);

// Makes the next creations fail, to reach the callers' failure paths.
struct DirectInputFaults {
  bool failCreate = false;               // DirectInput8Create
  bool failKeyboard = false;             // CreateDevice(GUID_SysKeyboard)
  bool failMouse = false;                // CreateDevice(GUID_SysMouse)
  bool failMouseFormat = false;          // SetDataFormat on a mouse
  bool failMouseCooperativeLevel = false;  // SetCooperativeLevel on a mouse
};
void DirectInputInjectFaultsForTesting(const DirectInputFaults& faults);
// Focus back, nothing held, no faults, motion scale 1.
void DirectInputResetForTesting();

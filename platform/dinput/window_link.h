// Connects the input devices to the window module: every SDL event the window's
// message pump reads, activation changes, size changes and the message loop's frames
// reach the input hub without the pump knowing about DirectInput.
#pragma once

// Registers the listeners (again, if the window module forgot them). Called whenever
// a DirectInput object is created.
void LinkInputToWindows();

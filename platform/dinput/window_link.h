// Connects the input devices to the window module: every SDL event the window's
// message pump reads, activation changes and size changes reach the input hub
// without the pump knowing about DirectInput.
#pragma once

// Registers the listeners (again, if the window module forgot them). Called whenever
// a DirectInput object is created.
void LinkInputToWindows();

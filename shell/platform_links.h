// Joins the window machinery to the Direct3D stand-in: the device finds the
// SDL surface behind the window and learns when the window is minimised (a
// full-screen device is lost then). DirectInput joins the windows by itself.
#pragma once

void ShellLinkPlatform();  // once; later calls do nothing

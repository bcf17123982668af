// SDL input events made by hand and fed to the input devices, for the input tests.
#pragma once

#include <SDL.h>

#include <vector>

// One pass of the window's message loop: pushes the events into SDL's queue, drains the
// queue into the input devices, and tells them the queue ran dry before a frame.
void Pump(std::vector<SDL_Event> events);

SDL_Event Key(SDL_Scancode scancode, bool down);
SDL_Event Motion(int dx, int dy);
SDL_Event Button(Uint8 button, bool down);
SDL_Event Wheel(int notches, bool flipped = false);
SDL_Event Focus(bool gained);

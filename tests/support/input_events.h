// SDL input events made by hand and fed to the input devices, for the input tests.
#pragma once

#include <SDL.h>

#include <vector>

// Pushes the events into SDL's queue, then drains the queue into the input devices.
void Pump(std::vector<SDL_Event> events);

SDL_Event Key(SDL_Scancode scancode, bool down);
SDL_Event Motion(int dx, int dy);
SDL_Event Button(Uint8 button, bool down);
SDL_Event Wheel(int notches, bool flipped = false);
SDL_Event Focus(bool gained);

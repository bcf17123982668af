#include "tests/support/input_events.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/dinput/dinput_testing.h"

namespace {

SDL_Event Blank(Uint32 type) {
  SDL_Event e;
  std::memset(&e, 0, sizeof e);
  e.type = type;
  return e;
}

}  // namespace

void Pump(std::vector<SDL_Event> events) {
  for (SDL_Event& event : events) ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
  SDL_Event event;
  while (SDL_PollEvent(&event)) DirectInputFeedEvent(&event);
  DirectInputFeedIdle();
}

SDL_Event Key(SDL_Scancode scancode, bool down) {
  SDL_Event e = Blank(down ? SDL_KEYDOWN : SDL_KEYUP);
  e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.scancode = scancode;
  return e;
}

SDL_Event Motion(int dx, int dy) {
  SDL_Event e = Blank(SDL_MOUSEMOTION);
  e.motion.xrel = dx;
  e.motion.yrel = dy;
  return e;
}

SDL_Event Button(Uint8 button, bool down) {
  SDL_Event e = Blank(down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP);
  e.button.button = button;
  e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
  return e;
}

SDL_Event Wheel(int notches, bool flipped) {
  SDL_Event e = Blank(SDL_MOUSEWHEEL);
  e.wheel.y = notches;
  e.wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
  return e;
}

SDL_Event Focus(bool gained) {
  SDL_Event e = Blank(SDL_WINDOWEVENT);
  e.window.event = gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST;
  return e;
}

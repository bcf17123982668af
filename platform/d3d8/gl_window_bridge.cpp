#include "platform/d3d8/gl_window_bridge.h"

#include <SDL.h>

#include <cstdio>
#include <map>

namespace {

std::map<HWND, D3D8WindowEntry>& Windows() {
  static std::map<HWND, D3D8WindowEntry> windows;
  return windows;
}

}  // namespace

void D3D8BindWindow(HWND hwnd, void* sdlWindow) {
  if (!sdlWindow) {
    D3D8UnbindWindow(hwnd);
    return;
  }
  D3D8WindowEntry& entry = Windows()[hwnd];
  if (entry.window != sdlWindow && entry.context) {
    SDL_GL_DeleteContext(static_cast<SDL_GLContext>(entry.context));
    entry.context = nullptr;
  }
  entry.window = sdlWindow;
}

void D3D8UnbindWindow(HWND hwnd) {
  auto it = Windows().find(hwnd);
  if (it == Windows().end()) return;
  if (it->second.context) SDL_GL_DeleteContext(static_cast<SDL_GLContext>(it->second.context));
  Windows().erase(it);
}

void* D3D8FindWindow(HWND hwnd) {
  auto it = Windows().find(hwnd);
  return it == Windows().end() ? nullptr : it->second.window;
}

void D3D8SetWindowMinimized(HWND hwnd, bool minimized) {
  auto it = Windows().find(hwnd);
  if (it == Windows().end()) return;
  if (minimized && !it->second.minimized) ++it->second.minimizeCount;
  it->second.minimized = minimized;
}

bool D3D8IsWindowMinimized(HWND hwnd) {
  auto it = Windows().find(hwnd);
  return it != Windows().end() && it->second.minimized;
}

bool D3D8WindowToBackBuffer(HWND hwnd, int windowX, int windowY, int* backBufferX, int* backBufferY) {
  int x = windowX, y = windowY;
  bool mapped = false;
  auto it = Windows().find(hwnd);
  if (it != Windows().end() && it->second.presenting && it->second.viewWidth > 0 && it->second.viewHeight > 0) {
    const D3D8WindowEntry& e = it->second;
    // Window coordinates are in points; the view is in drawable pixels.
    int pointsW = 0, pointsH = 0, pixelsW = 0, pixelsH = 0;
    SDL_GetWindowSize(static_cast<SDL_Window*>(e.window), &pointsW, &pointsH);
    SDL_GL_GetDrawableSize(static_cast<SDL_Window*>(e.window), &pixelsW, &pixelsH);
    const double sx = pointsW > 0 ? static_cast<double>(pixelsW) / pointsW : 1.0;
    const double sy = pointsH > 0 ? static_cast<double>(pixelsH) / pointsH : 1.0;
    const double px = windowX * sx, py = windowY * sy;
    x = static_cast<int>((px - e.viewX) * e.backBufferWidth / e.viewWidth);
    y = static_cast<int>((py - e.viewY) * e.backBufferHeight / e.viewHeight);
    mapped = true;
  }
  if (backBufferX) *backBufferX = x;
  if (backBufferY) *backBufferY = y;
  return mapped;
}

D3D8WindowEntry* D3D8WindowEntryFor(HWND hwnd) {
  auto it = Windows().find(hwnd);
  return it == Windows().end() ? nullptr : &it->second;
}

bool D3D8MakeContextCurrent(D3D8WindowEntry* entry) {
  if (!entry || !entry->window) return false;
  SDL_Window* window = static_cast<SDL_Window*>(entry->window);
  if (!entry->context) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    entry->context = SDL_GL_CreateContext(window);
    if (!entry->context) {
      std::fprintf(stderr, "FAIL: OpenGL context: %s\n", SDL_GetError());
      return false;
    }
  }
  return SDL_GL_MakeCurrent(window, static_cast<SDL_GLContext>(entry->context)) == 0;
}

// A hidden OpenGL window bound to a stand-in HWND, so the real device can be
// created on it under the (virtual) display the tests run with.
#pragma once

#include "platform/d3d8/d3d8.h"

struct SDL_Window;

class GLTestWindow {
 public:
  // Without a display IsOpen() is false and SDL_GetError() says why.
  GLTestWindow(const char* strTitle, int nWidth, int nHeight);
  ~GLTestWindow();

  bool IsOpen() const { return m_pWindow != nullptr; }
  HWND Hwnd() { return &m_handle; }

  GLTestWindow(const GLTestWindow&) = delete;
  GLTestWindow& operator=(const GLTestWindow&) = delete;

 private:
  SDL_Window* m_pWindow = nullptr;
  HWND__ m_handle{};
};

// Windowed present parameters: an X8R8G8B8 back buffer of that size with a 16-bit depth buffer.
D3DPRESENT_PARAMETERS WindowedPresentParams(HWND hWnd, UINT nWidth, UINT nHeight);

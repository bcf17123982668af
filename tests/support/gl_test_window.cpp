#include "tests/support/gl_test_window.h"

#include <SDL.h>

#include "platform/d3d8/gl_window_bridge.h"

GLTestWindow::GLTestWindow(const char* strTitle, int nWidth, int nHeight) {
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return;
  // SDL unloads the GL library with the last GL window, and the driver's own leaks
  // then come from an unloaded module the suppressions cannot match: keep it loaded
  // for the whole test program.
  static const bool bGLPinned = SDL_GL_LoadLibrary(nullptr) == 0;
  (void)bGLPinned;
  m_pWindow = SDL_CreateWindow(strTitle, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, nWidth, nHeight,
                               SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (m_pWindow) D3D8BindWindow(Hwnd(), m_pWindow);
}

GLTestWindow::~GLTestWindow() {
  D3D8UnbindWindow(Hwnd());
  if (m_pWindow) SDL_DestroyWindow(m_pWindow);
  // No SDL_Quit: unloading the GL driver would hide its own leaks from the suppressions.
  SDL_QuitSubSystem(0);
}

D3DPRESENT_PARAMETERS WindowedPresentParams(HWND hWnd, UINT nWidth, UINT nHeight) {
  D3DPRESENT_PARAMETERS params = {};
  params.BackBufferWidth = nWidth;
  params.BackBufferHeight = nHeight;
  params.BackBufferFormat = D3DFMT_X8R8G8B8;
  params.BackBufferCount = 1;
  params.SwapEffect = D3DSWAPEFFECT_DISCARD;
  params.hDeviceWindow = hWnd;
  params.Windowed = TRUE;
  params.EnableAutoDepthStencil = TRUE;
  params.AutoDepthStencilFormat = D3DFMT_D16;
  return params;
}

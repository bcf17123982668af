#include "platform/d3d8/gl_functions.h"

#include <SDL.h>

#include <cstdio>

namespace {

template <class F>
bool LoadOne(F* function, const char* name) {
  *function = reinterpret_cast<F>(SDL_GL_GetProcAddress(name));
  if (!*function) std::fprintf(stderr, "FAIL: OpenGL function %s is missing\n", name);
  return *function != nullptr;
}

}  // namespace

bool GLFunctions::Load() {
  bool ok = true;
  ok &= LoadOne(&ActiveTexture, "glActiveTexture");
  ok &= LoadOne(&ClientActiveTexture, "glClientActiveTexture");
  ok &= LoadOne(&MultiTexCoord4f, "glMultiTexCoord4f");
  ok &= LoadOne(&BlendEquation, "glBlendEquation");
  ok &= LoadOne(&GenFramebuffers, "glGenFramebuffers");
  ok &= LoadOne(&DeleteFramebuffers, "glDeleteFramebuffers");
  ok &= LoadOne(&BindFramebuffer, "glBindFramebuffer");
  ok &= LoadOne(&FramebufferRenderbuffer, "glFramebufferRenderbuffer");
  ok &= LoadOne(&CheckFramebufferStatus, "glCheckFramebufferStatus");
  ok &= LoadOne(&GenRenderbuffers, "glGenRenderbuffers");
  ok &= LoadOne(&DeleteRenderbuffers, "glDeleteRenderbuffers");
  ok &= LoadOne(&BindRenderbuffer, "glBindRenderbuffer");
  ok &= LoadOne(&RenderbufferStorage, "glRenderbufferStorage");
  ok &= LoadOne(&BlitFramebuffer, "glBlitFramebuffer");
  ok &= LoadOne(&GenBuffers, "glGenBuffers");
  ok &= LoadOne(&DeleteBuffers, "glDeleteBuffers");
  ok &= LoadOne(&BindBuffer, "glBindBuffer");
  ok &= LoadOne(&BufferData, "glBufferData");
  bgraColors = SDL_GL_ExtensionSupported("GL_ARB_vertex_array_bgra") == SDL_TRUE ||
               SDL_GL_ExtensionSupported("GL_EXT_vertex_array_bgra") == SDL_TRUE;
  return ok;
}

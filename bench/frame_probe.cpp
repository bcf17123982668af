// A library to preload (LD_PRELOAD) into a program that presents with SDL_GL_SwapWindow:
// it times every present, counts what was drawn in between, and on request copies one
// frame's draws for the limit program. The program itself is not changed. The layout of
// what it writes is in bench/frame_record.h.
#include <GL/gl.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "bench/frame_record.h"

using namespace vantorel_bench;

namespace {

constexpr uint32_t kMaxFrames = 1u << 18;  // over an hour at 60 frames a second

FrameRecord g_frames[kMaxFrames];
uint32_t g_frameCount = 0;
FrameRecord g_pending = {};  // counters of the frame being drawn
bool g_written = false;
volatile sig_atomic_t g_captureRequested = 0;
volatile sig_atomic_t g_stopRequested = 0;
bool g_capturing = false;

struct CapturedDraw {
  CaptureDraw head;
  std::vector<float> positions, normals, texCoords;
  std::vector<uint8_t> colours;
  std::vector<uint32_t> indices;
};
std::vector<CapturedDraw> g_draws;
std::vector<CaptureTexture> g_textures;
std::map<GLint, int32_t> g_textureIndex;  // GL name -> index into g_textures

int64_t Now(clockid_t clock) {
  timespec ts;
  clock_gettime(clock, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

template <typename F>
F Next(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

uint32_t Triangles(GLenum mode, GLsizei count) {
  if (count < 3) return 0;
  switch (mode) {
    case GL_TRIANGLES: return static_cast<uint32_t>(count / 3);
    case GL_TRIANGLE_STRIP:
    case GL_TRIANGLE_FAN:
    case GL_POLYGON: return static_cast<uint32_t>(count - 2);
    case GL_QUADS: return static_cast<uint32_t>(count / 4 * 2);
    default: return 0;
  }
}

void WriteFrames() {
  if (g_written) return;
  g_written = true;
  const char* path = std::getenv(kFrameFileVariable);
  if (!path) return;
  std::FILE* f = std::fopen(path, "wb");
  if (!f) return;
  const FrameFileHeader header = {kFrameMagic, g_frameCount};
  std::fwrite(&header, sizeof header, 1, f);
  std::fwrite(g_frames, sizeof(FrameRecord), g_frameCount, f);
  std::fclose(f);
}

void WriteFirstFrameMark(int64_t monotonicNs) {
  const char* path = std::getenv(kFrameFileVariable);
  if (!path) return;
  const std::string mark = std::string(path) + kFirstFrameSuffix;
  std::FILE* f = std::fopen(mark.c_str(), "w");
  if (!f) return;
  std::fprintf(f, "%lld\n", static_cast<long long>(monotonicNs));
  std::fclose(f);
}

// Replaced by rename, so a reader never sees half a line.
void WriteStatus(const FrameRecord& record) {
  static int64_t lastNs = 0;
  if (record.monotonicNs - lastNs < 200000000 && g_frameCount > 1) return;
  lastNs = record.monotonicNs;
  const char* path = std::getenv(kFrameFileVariable);
  if (!path) return;
  const std::string status = std::string(path) + kStatusSuffix, partial = status + ".part";
  std::FILE* f = std::fopen(partial.c_str(), "w");
  if (!f) return;
  std::fprintf(f, "%u %u %u\n", g_frameCount, record.triangles, record.draws);
  std::fclose(f);
  std::rename(partial.c_str(), status.c_str());
}

void OnSignal(int signal) {
  if (signal == SIGUSR1) g_captureRequested = 1;
  if (signal == SIGUSR2) g_stopRequested = 1;
}

__attribute__((constructor)) void InstallHandlers() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGUSR1, &action, nullptr);
  sigaction(SIGUSR2, &action, nullptr);
}

__attribute__((destructor)) void WriteAtExit() { WriteFrames(); }

GLint Integer(GLenum name) {
  GLint value = 0;
  glGetIntegerv(name, &value);
  return value;
}

// Copies `count` vertices of a client array of `size` floats (or, for colours, bytes) a vertex.
template <typename T>
void CopyArray(GLenum pointerName, GLint size, GLenum strideName, int components, uint32_t count,
               std::vector<T>* out) {
  GLvoid* pointer = nullptr;
  glGetPointerv(pointerName, &pointer);
  const GLint stride = Integer(strideName);
  out->assign(static_cast<size_t>(count) * components, T());
  if (!pointer) return;
  const size_t step = stride ? static_cast<size_t>(stride) : static_cast<size_t>(size) * sizeof(T);
  const int copied = std::min<int>(size, components);
  for (uint32_t v = 0; v < count; ++v)
    std::memcpy(&(*out)[static_cast<size_t>(v) * components], static_cast<const uint8_t*>(pointer) + v * step,
                sizeof(T) * static_cast<size_t>(copied));
}

int32_t TextureIndex() {
  if (!glIsEnabled(GL_TEXTURE_2D)) return -1;
  GLint name = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
  auto it = g_textureIndex.find(name);
  if (it != g_textureIndex.end()) return it->second;
  CaptureTexture texture = {};
  GLint width = 0, height = 0, maxLevel = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, &maxLevel);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &texture.minFilter);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &texture.magFilter);
  texture.width = static_cast<uint32_t>(std::max(width, 1));
  texture.height = static_cast<uint32_t>(std::max(height, 1));
  texture.levels = 1;
  for (GLint level = 1; level <= std::min(maxLevel, 15); ++level) {
    GLint w = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
    if (w <= 0) break;
    texture.levels = static_cast<uint32_t>(level + 1);
  }
  const int32_t index = static_cast<int32_t>(g_textures.size());
  g_textures.push_back(texture);
  g_textureIndex[name] = index;
  return index;
}

// Copies one draw with the state that decides its cost. Vertices from buffer objects are
// not copied: the programs measured here draw from client memory.
void CaptureDrawCall(GLenum mode, uint32_t vertexCount, std::vector<uint32_t> indices) {
  const GLint arrayBuffer = Integer(GL_ARRAY_BUFFER_BINDING);
  if (arrayBuffer || !glIsEnabled(GL_VERTEX_ARRAY) || Integer(GL_VERTEX_ARRAY_TYPE) != GL_FLOAT || !vertexCount) return;
  CapturedDraw draw;
  CaptureDraw& h = draw.head;
  std::memset(&h, 0, sizeof h);
  h.primitive = mode;
  h.vertexCount = vertexCount;
  h.indexCount = static_cast<uint32_t>(indices.size());
  auto flag = [&h](bool on, uint32_t bit) { h.flags |= on ? bit : 0; };
  flag(glIsEnabled(GL_LIGHTING), kLighting);
  flag(glIsEnabled(GL_BLEND), kBlend);
  flag(glIsEnabled(GL_DEPTH_TEST), kDepthTest);
  GLboolean depthWrite = GL_FALSE;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrite);
  flag(depthWrite, kDepthWrite);
  flag(glIsEnabled(GL_ALPHA_TEST), kAlphaTest);
  flag(glIsEnabled(GL_CULL_FACE), kCullFace);
  flag(glIsEnabled(GL_NORMAL_ARRAY), kNormals);
  flag(glIsEnabled(GL_TEXTURE_COORD_ARRAY), kTexCoords);
  flag(glIsEnabled(GL_COLOR_ARRAY), kColours);
  h.texture = TextureIndex();
  flag(h.texture >= 0, kTexture);
  glGetIntegerv(GL_BLEND_SRC, &h.blendSource);
  glGetIntegerv(GL_BLEND_DST, &h.blendDestination);
  for (int light = 0; light < 8; ++light) h.lights += glIsEnabled(GL_LIGHT0 + light) ? 1 : 0;
  glGetFloatv(GL_MODELVIEW_MATRIX, h.modelView);
  glGetFloatv(GL_PROJECTION_MATRIX, h.projection);
  const GLint positionSize = Integer(GL_VERTEX_ARRAY_SIZE);
  CopyArray(GL_VERTEX_ARRAY_POINTER, positionSize, GL_VERTEX_ARRAY_STRIDE, 4, vertexCount, &draw.positions);
  // Positions of fewer than four components have w = 1.
  for (uint32_t v = 0; v < vertexCount && positionSize < 4; ++v) draw.positions[v * 4 + 3] = 1.0f;
  if ((h.flags & kNormals) && Integer(GL_NORMAL_ARRAY_TYPE) == GL_FLOAT)
    CopyArray(GL_NORMAL_ARRAY_POINTER, 3, GL_NORMAL_ARRAY_STRIDE, 3, vertexCount, &draw.normals);
  else
    h.flags &= ~kNormals;
  if ((h.flags & kTexCoords) && Integer(GL_TEXTURE_COORD_ARRAY_TYPE) == GL_FLOAT)
    CopyArray(GL_TEXTURE_COORD_ARRAY_POINTER, Integer(GL_TEXTURE_COORD_ARRAY_SIZE), GL_TEXTURE_COORD_ARRAY_STRIDE, 2,
              vertexCount, &draw.texCoords);
  else
    h.flags &= ~kTexCoords;
  if ((h.flags & kColours) && Integer(GL_COLOR_ARRAY_TYPE) == GL_UNSIGNED_BYTE && Integer(GL_COLOR_ARRAY_SIZE) == 4)
    CopyArray(GL_COLOR_ARRAY_POINTER, 4, GL_COLOR_ARRAY_STRIDE, 4, vertexCount, &draw.colours);
  else
    h.flags &= ~kColours;
  draw.indices = std::move(indices);
  g_draws.push_back(std::move(draw));
}

// An empty vector has no storage to hand to fwrite.
template <typename T>
void WriteAll(const std::vector<T>& items, std::FILE* f) {
  if (!items.empty()) std::fwrite(items.data(), sizeof(T), items.size(), f);
}

void WriteCapture() {
  const char* path = std::getenv(kCaptureFileVariable);
  if (path) {
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    if (std::FILE* f = std::fopen(path, "wb")) {
      const CaptureHeader header = {kCaptureMagic, static_cast<uint32_t>(viewport[2]),
                                    static_cast<uint32_t>(viewport[3]), static_cast<uint32_t>(g_textures.size()),
                                    static_cast<uint32_t>(g_draws.size())};
      std::fwrite(&header, sizeof header, 1, f);
      WriteAll(g_textures, f);
      for (const CapturedDraw& d : g_draws) {
        std::fwrite(&d.head, sizeof d.head, 1, f);
        WriteAll(d.positions, f);
        WriteAll(d.normals, f);
        WriteAll(d.texCoords, f);
        WriteAll(d.colours, f);
        WriteAll(d.indices, f);
      }
      std::fclose(f);
    }
  }
  g_draws.clear();
  g_textures.clear();
  g_textureIndex.clear();
}

}  // namespace

extern "C" {

// The SDL_Window type is opaque here.
void SDL_GL_SwapWindow(void* window) {
  static auto real = Next<void (*)(void*)>("SDL_GL_SwapWindow");
  if (g_capturing) {
    WriteCapture();
    g_capturing = false;
  }
  real(window);
  FrameRecord record = g_pending;
  record.monotonicNs = Now(CLOCK_MONOTONIC);
  record.threadCpuNs = Now(CLOCK_THREAD_CPUTIME_ID);
  if (g_frameCount < kMaxFrames) g_frames[g_frameCount++] = record;
  if (g_frameCount == 1) WriteFirstFrameMark(record.monotonicNs);
  WriteStatus(record);
  g_pending = FrameRecord();
  if (g_captureRequested) {
    g_captureRequested = 0;
    g_capturing = true;
  }
  if (g_stopRequested) {
    WriteFrames();
    _exit(0);
  }
}

void glDrawArrays(GLenum mode, GLint first, GLsizei count) {
  static auto real = Next<void (*)(GLenum, GLint, GLsizei)>("glDrawArrays");
  g_pending.triangles += Triangles(mode, count);
  ++g_pending.draws;
  if (g_capturing && first == 0 && count > 0) CaptureDrawCall(mode, static_cast<uint32_t>(count), {});
  real(mode, first, count);
}

void glDrawElements(GLenum mode, GLsizei count, GLenum type, const GLvoid* indices) {
  static auto real = Next<void (*)(GLenum, GLsizei, GLenum, const GLvoid*)>("glDrawElements");
  g_pending.triangles += Triangles(mode, count);
  ++g_pending.draws;
  if (g_capturing && count > 0 && indices) {
    std::vector<uint32_t> list(static_cast<size_t>(count));
    for (GLsizei k = 0; k < count; ++k)
      list[k] = type == GL_UNSIGNED_INT     ? static_cast<const GLuint*>(indices)[k]
                : type == GL_UNSIGNED_SHORT ? static_cast<const GLushort*>(indices)[k]
                                            : static_cast<const GLubyte*>(indices)[k];
    const uint32_t vertices = *std::max_element(list.begin(), list.end()) + 1;
    CaptureDrawCall(mode, vertices, std::move(list));
  }
  real(mode, count, type, indices);
}

void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                  GLenum format, GLenum type, const GLvoid* pixels) {
  static auto real = Next<void (*)(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const GLvoid*)>(
      "glTexImage2D");
  ++g_pending.uploads;
  g_pending.uploadKiB += static_cast<uint32_t>(static_cast<uint64_t>(width) * height * 4 / 1024);
  real(target, level, internalFormat, width, height, border, format, type, pixels);
}

}  // extern "C"

// A library to preload (LD_PRELOAD) into a program that presents with SDL_GL_SwapWindow:
// it times every present, counts what was drawn in between, and on request copies one
// frame's draws for the limit program. The program itself is not changed. The layout of
// what it writes is in bench/frame_record.h.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
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
// Every texture the program holds (given storage and not deleted), by GL name: the order
// it was made in, its size and levels. The capture lists them all, in that order.
struct HeldTexture {
  uint64_t order;
  uint32_t width, height, levels;
};
std::map<GLint, HeldTexture> g_held;
uint64_t g_heldOrder = 0;

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

// The bytes of a buffer object, read back with the target's binding left as it was.
void ReadBuffer(GLenum target, GLenum bindingName, GLint name, std::vector<uint8_t>* out) {
  const GLint previous = Integer(bindingName);
  glBindBuffer(target, static_cast<GLuint>(name));
  GLint size = 0;
  glGetBufferParameteriv(target, GL_BUFFER_SIZE, &size);
  out->assign(static_cast<size_t>(std::max(size, 0)), 0);
  if (size > 0) glGetBufferSubData(target, 0, size, out->data());
  glBindBuffer(target, static_cast<GLuint>(previous));
}

// Where an array's bytes are: its pointer, or the offset it is into the buffer object it was given from.
const uint8_t* ArrayBytes(GLenum bufferName, const GLvoid* pointer, std::vector<uint8_t>* storage) {
  const GLint buffer = Integer(bufferName);
  if (!buffer) return static_cast<const uint8_t*>(pointer);
  ReadBuffer(GL_ARRAY_BUFFER, GL_ARRAY_BUFFER_BINDING, buffer, storage);
  const uintptr_t offset = reinterpret_cast<uintptr_t>(pointer);
  return offset < storage->size() ? storage->data() + offset : nullptr;
}

// Copies `count` vertices of an array of `size` floats (or, for colours, bytes) a vertex.
template <typename T>
void CopyArray(GLenum pointerName, GLenum bufferName, GLint size, GLenum strideName, int components, uint32_t count,
               std::vector<T>* out) {
  GLvoid* pointer = nullptr;
  glGetPointerv(pointerName, &pointer);
  std::vector<uint8_t> storage;
  const uint8_t* bytes = ArrayBytes(bufferName, pointer, &storage);
  const GLint stride = Integer(strideName);
  out->assign(static_cast<size_t>(count) * components, T());
  if (!bytes) return;
  const size_t step = stride ? static_cast<size_t>(stride) : static_cast<size_t>(size) * sizeof(T);
  const int copied = std::min<int>(size, components);
  const size_t end = storage.empty() ? SIZE_MAX : static_cast<size_t>(storage.data() + storage.size() - bytes);
  for (uint32_t v = 0; v < count && v * step + sizeof(T) * copied <= end; ++v)
    std::memcpy(&(*out)[static_cast<size_t>(v) * components], bytes + v * step, sizeof(T) * static_cast<size_t>(copied));
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

void CaptureLightingState(CaptureLighting* l) {
  glGetFloatv(GL_LIGHT_MODEL_AMBIENT, l->sceneAmbient);
  glGetMaterialfv(GL_FRONT, GL_AMBIENT, l->ambient);
  glGetMaterialfv(GL_FRONT, GL_DIFFUSE, l->diffuse);
  glGetMaterialfv(GL_FRONT, GL_SPECULAR, l->specular);
  glGetMaterialfv(GL_FRONT, GL_EMISSION, l->emission);
  glGetMaterialfv(GL_FRONT, GL_SHININESS, &l->shininess);
  l->localViewer = Integer(GL_LIGHT_MODEL_LOCAL_VIEWER) != 0;
  l->separateSpecular = Integer(GL_LIGHT_MODEL_COLOR_CONTROL) == GL_SEPARATE_SPECULAR_COLOR;
  l->normalize = glIsEnabled(GL_NORMALIZE);
  l->colourMaterial = glIsEnabled(GL_COLOR_MATERIAL) ? static_cast<uint32_t>(Integer(GL_COLOR_MATERIAL_PARAMETER)) : 0;
  for (uint32_t k = 0; k < 8; ++k) {
    const GLenum light = GL_LIGHT0 + k;
    if (!glIsEnabled(light)) continue;
    l->lightMask |= 1u << k;
    CaptureLight& c = l->lights[k];
    glGetLightfv(light, GL_POSITION, c.position);
    glGetLightfv(light, GL_AMBIENT, c.ambient);
    glGetLightfv(light, GL_DIFFUSE, c.diffuse);
    glGetLightfv(light, GL_SPECULAR, c.specular);
    glGetLightfv(light, GL_SPOT_DIRECTION, c.spotDirection);
    glGetLightfv(light, GL_SPOT_CUTOFF, &c.spotCutoff);
    glGetLightfv(light, GL_SPOT_EXPONENT, &c.spotExponent);
    glGetLightfv(light, GL_CONSTANT_ATTENUATION, &c.attenuation[0]);
    glGetLightfv(light, GL_LINEAR_ATTENUATION, &c.attenuation[1]);
    glGetLightfv(light, GL_QUADRATIC_ATTENUATION, &c.attenuation[2]);
  }
}

// Copies one draw with the state that decides its cost, its vertices from client memory or buffer objects.
void CaptureDrawCall(GLenum mode, uint32_t vertexCount, std::vector<uint32_t> indices) {
  if (!glIsEnabled(GL_VERTEX_ARRAY) || Integer(GL_VERTEX_ARRAY_TYPE) != GL_FLOAT || !vertexCount) return;
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
  CaptureLightingState(&h.lighting);
  glGetFloatv(GL_MODELVIEW_MATRIX, h.modelView);
  glGetFloatv(GL_PROJECTION_MATRIX, h.projection);
  const GLint positionSize = Integer(GL_VERTEX_ARRAY_SIZE);
  CopyArray(GL_VERTEX_ARRAY_POINTER, GL_VERTEX_ARRAY_BUFFER_BINDING, positionSize, GL_VERTEX_ARRAY_STRIDE, 4, vertexCount, &draw.positions);
  // Positions of fewer than four components have w = 1.
  for (uint32_t v = 0; v < vertexCount && positionSize < 4; ++v) draw.positions[v * 4 + 3] = 1.0f;
  if ((h.flags & kNormals) && Integer(GL_NORMAL_ARRAY_TYPE) == GL_FLOAT)
    CopyArray(GL_NORMAL_ARRAY_POINTER, GL_NORMAL_ARRAY_BUFFER_BINDING, 3, GL_NORMAL_ARRAY_STRIDE, 3, vertexCount, &draw.normals);
  else
    h.flags &= ~kNormals;
  if ((h.flags & kTexCoords) && Integer(GL_TEXTURE_COORD_ARRAY_TYPE) == GL_FLOAT)
    CopyArray(GL_TEXTURE_COORD_ARRAY_POINTER, GL_TEXTURE_COORD_ARRAY_BUFFER_BINDING, Integer(GL_TEXTURE_COORD_ARRAY_SIZE), GL_TEXTURE_COORD_ARRAY_STRIDE, 2,
              vertexCount, &draw.texCoords);
  else
    h.flags &= ~kTexCoords;
  const GLint colourSize = Integer(GL_COLOR_ARRAY_SIZE);
  if ((h.flags & kColours) && Integer(GL_COLOR_ARRAY_TYPE) == GL_UNSIGNED_BYTE &&
      (colourSize == 4 || colourSize == GL_BGRA)) {
    CopyArray(GL_COLOR_ARRAY_POINTER, GL_COLOR_ARRAY_BUFFER_BINDING, 4, GL_COLOR_ARRAY_STRIDE, 4, vertexCount,
              &draw.colours);
    for (size_t c = 0; colourSize == GL_BGRA && c < draw.colours.size(); c += 4)
      std::swap(draw.colours[c], draw.colours[c + 2]);
  } else
    h.flags &= ~kColours;
  draw.indices = std::move(indices);
  g_draws.push_back(std::move(draw));
}

// An empty vector has no storage to hand to fwrite.
template <typename T>
void WriteAll(const std::vector<T>& items, std::FILE* f) {
  if (!items.empty()) std::fwrite(items.data(), sizeof(T), items.size(), f);
}

// Puts every held texture into the capture, in the order they were made (a set loaded in
// sequence, like an animation's frames, stays together), the drawn ones with what was read
// when they were drawn, and renumbers the draws' textures to match.
void ListHeldTextures() {
  std::vector<std::pair<uint64_t, GLint>> order;
  for (const auto& held : g_held) order.emplace_back(held.second.order, held.first);
  for (const auto& drawn : g_textureIndex)
    if (!g_held.count(drawn.first)) order.emplace_back(UINT64_MAX, drawn.first);
  std::sort(order.begin(), order.end());
  const GLint bound = Integer(GL_TEXTURE_BINDING_2D);
  std::vector<CaptureTexture> textures;
  std::map<int32_t, int32_t> renumbered;
  for (const auto& entry : order) {
    const GLint name = entry.second;
    auto drawn = g_textureIndex.find(name);
    if (drawn != g_textureIndex.end()) {
      renumbered[drawn->second] = static_cast<int32_t>(textures.size());
      textures.push_back(g_textures[static_cast<size_t>(drawn->second)]);
      continue;
    }
    const HeldTexture& held = g_held[name];
    CaptureTexture texture = {held.width, held.height, held.levels, 0, 0};
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(name));
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &texture.minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &texture.magFilter);
    textures.push_back(texture);
  }
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
  for (CapturedDraw& d : g_draws)
    if (d.head.texture >= 0) d.head.texture = renumbered[d.head.texture];
  g_textures = std::move(textures);
}

void WriteCapture() {
  const char* path = std::getenv(kCaptureFileVariable);
  ListHeldTextures();
  if (path) {
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    // Renamed into place when whole: the runner may pause this program, and start the
    // limit program on the file, as soon as it exists.
    const std::string partial = std::string(path) + ".part";
    if (std::FILE* f = std::fopen(partial.c_str(), "wb")) {
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
      if (std::fclose(f) == 0) std::rename(partial.c_str(), path);
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
  const GLint elementBuffer = g_capturing ? Integer(GL_ELEMENT_ARRAY_BUFFER_BINDING) : 0;
  if (g_capturing && count > 0 && (indices || elementBuffer)) {
    // Indices in a buffer object: `indices` is the offset of the first.
    std::vector<uint8_t> storage;
    const uint8_t* first = static_cast<const uint8_t*>(indices);
    if (elementBuffer) {
      ReadBuffer(GL_ELEMENT_ARRAY_BUFFER, GL_ELEMENT_ARRAY_BUFFER_BINDING, elementBuffer, &storage);
      first = storage.data() + reinterpret_cast<uintptr_t>(indices);
    }
    const size_t indexSize = type == GL_UNSIGNED_INT ? 4 : type == GL_UNSIGNED_SHORT ? 2 : 1;
    const bool inside = !elementBuffer || reinterpret_cast<uintptr_t>(indices) + count * indexSize <= storage.size();
    std::vector<uint32_t> list(inside ? static_cast<size_t>(count) : 0);
    for (size_t k = 0; k < list.size(); ++k) {
      const uint8_t* at = first + k * indexSize;
      GLuint wide = 0;
      GLushort narrow = 0;
      if (indexSize == 4) std::memcpy(&wide, at, 4);
      if (indexSize == 2) std::memcpy(&narrow, at, 2);
      list[k] = indexSize == 4 ? wide : indexSize == 2 ? narrow : *at;
    }
    if (list.empty()) {
      real(mode, count, type, indices);
      return;
    }
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
  if (target != GL_TEXTURE_2D || level < 0 || level > 15) return;
  const GLint name = Integer(GL_TEXTURE_BINDING_2D);
  auto found = g_held.find(name);
  if (found == g_held.end())
    found = g_held.emplace(name, HeldTexture{g_heldOrder++, 1, 1, 1}).first;
  HeldTexture& held = found->second;
  if (level == 0) {
    held.width = static_cast<uint32_t>(std::max(width, 1));
    held.height = static_cast<uint32_t>(std::max(height, 1));
  }
  held.levels = std::max(held.levels, static_cast<uint32_t>(level + 1));
}

void glDeleteTextures(GLsizei count, const GLuint* names) {
  static auto real = Next<void (*)(GLsizei, const GLuint*)>("glDeleteTextures");
  for (GLsizei k = 0; names && k < count; ++k) g_held.erase(static_cast<GLint>(names[k]));
  real(count, names);
}

}  // extern "C"

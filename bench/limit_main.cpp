// The limit program: what this machine's OpenGL can do for one of the game's frames when
// nothing else costs time. It replays a frame captured from the game by the frame probe
// (the same triangles, matrices, textures of the same sizes and the same states, lights
// and materials included, so the driver builds the same vertex programs) with SDL2 and
// fixed-function OpenGL into an offscreen framebuffer of the game's size, then copies that
// to the window and presents it, as the game's device does, until it is stopped (SIGUSR2
// under the probe) or its time is up.
//
// Texturing over time is the game's too: the capture lists every texture the game held
// at that frame (in the order it made them), and all of them are uploaded here, drawn or
// not. The game animates its caustics by drawing the next of 32 same-sized textures loaded
// in sequence every 50 ms, starting over after 31.5 frames (1575 ms); so a draw whose
// texture lies in a run of at least 16 consecutive textures of one size and level count
// cycles through that run on the same clock instead of drawing one frame's texture.
//
//   vantorel_limit --capture FILE [--width W --height H] [--seconds S]
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/frame_record.h"

using namespace vantorel_bench;

namespace {

struct ReplayDraw {
  CaptureDraw head;
  GLuint positions = 0, normals = 0, texCoords = 0, colours = 0, indices = 0;
  int32_t cycleFirst = -1;  // an animated texture: the first of its run, and how many
  uint32_t cycleCount = 0;
};

constexpr uint32_t kShortestCycle = 16;
constexpr double kCycleMsPerTexture = 50.0;

bool SameShape(const CaptureTexture& a, const CaptureTexture& b) {
  return a.width == b.width && a.height == b.height && a.levels == b.levels;
}

// The run of same-shaped textures around the one a draw uses, when it is long enough to be an animation.
void FindCycle(const std::vector<CaptureTexture>& textures, ReplayDraw* draw) {
  const int32_t k = draw->head.texture;
  if (k < 0) return;
  int32_t first = k, last = k;
  while (first > 0 && SameShape(textures[first - 1], textures[k])) --first;
  while (last + 1 < static_cast<int32_t>(textures.size()) && SameShape(textures[last + 1], textures[k])) ++last;
  if (static_cast<uint32_t>(last - first + 1) < kShortestCycle) return;
  draw->cycleFirst = first;
  draw->cycleCount = static_cast<uint32_t>(last - first + 1);
}

// The texture a draw uses `ms` after the start.
int32_t TextureAt(const ReplayDraw& d, double ms) {
  if (d.cycleFirst < 0) return d.head.texture;
  const double period = (d.cycleCount - 0.5) * kCycleMsPerTexture;
  const double phase = ms - period * static_cast<double>(static_cast<uint64_t>(ms / period));
  return d.cycleFirst + static_cast<int32_t>(std::min<double>(phase / kCycleMsPerTexture, d.cycleCount - 1));
}

struct Capture {
  CaptureHeader header = {};
  std::vector<CaptureTexture> textures;
  std::vector<CaptureDraw> heads;
  std::vector<std::vector<float>> positions, normals, texCoords;
  std::vector<std::vector<uint8_t>> colours;
  std::vector<std::vector<uint32_t>> indices;
};

template <typename T>
bool ReadVector(std::FILE* f, size_t count, std::vector<T>* out) {
  out->resize(count);
  return count == 0 || std::fread(out->data(), sizeof(T), count, f) == count;
}

bool ReadCapture(const char* path, Capture* c) {
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  bool ok = std::fread(&c->header, sizeof c->header, 1, f) == 1 && c->header.magic == kCaptureMagic &&
            c->header.textureCount < 4096 && c->header.drawCount < 65536;
  ok = ok && ReadVector(f, c->header.textureCount, &c->textures);
  for (uint32_t d = 0; ok && d < c->header.drawCount; ++d) {
    CaptureDraw h;
    ok = std::fread(&h, sizeof h, 1, f) == 1 && h.vertexCount <= (1u << 22) && h.indexCount <= (1u << 24) &&
         h.texture < static_cast<int32_t>(c->header.textureCount);
    if (!ok) break;
    c->heads.push_back(h);
    c->positions.emplace_back();
    c->normals.emplace_back();
    c->texCoords.emplace_back();
    c->colours.emplace_back();
    c->indices.emplace_back();
    const size_t n = h.vertexCount;
    ok = ReadVector(f, n * 4, &c->positions.back()) &&
         ReadVector(f, (h.flags & kNormals) ? n * 3 : 0, &c->normals.back()) &&
         ReadVector(f, (h.flags & kTexCoords) ? n * 2 : 0, &c->texCoords.back()) &&
         ReadVector(f, (h.flags & kColours) ? n * 4 : 0, &c->colours.back()) &&
         ReadVector(f, h.indexCount, &c->indices.back());
    for (uint32_t index : c->indices.back()) ok = ok && index < h.vertexCount;
  }
  std::fclose(f);
  return ok;
}

template <typename T>
GLuint Buffer(GLenum target, const std::vector<T>& data) {
  if (data.empty()) return 0;
  GLuint name = 0;
  glGenBuffers(1, &name);
  glBindBuffer(target, name);
  glBufferData(target, static_cast<GLsizeiptr>(data.size() * sizeof(T)), data.data(), GL_STATIC_DRAW);
  glBindBuffer(target, 0);
  return name;
}

// Textures of the captured sizes, every level given at once, with a pattern that is not flat.
std::vector<GLuint> MakeTextures(const std::vector<CaptureTexture>& textures) {
  std::vector<GLuint> names(textures.size());
  if (!names.empty()) glGenTextures(static_cast<GLsizei>(names.size()), names.data());
  std::vector<uint8_t> pixels;
  for (size_t t = 0; t < textures.size(); ++t) {
    const CaptureTexture& c = textures[t];
    glBindTexture(GL_TEXTURE_2D, names[t]);
    for (uint32_t level = 0; level < c.levels; ++level) {
      const uint32_t w = std::max(1u, c.width >> level), h = std::max(1u, c.height >> level);
      pixels.resize(static_cast<size_t>(w) * h * 4);
      for (size_t p = 0; p < pixels.size(); ++p) pixels[p] = static_cast<uint8_t>(p * 37 + t * 11);
      glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), GL_RGBA8, static_cast<GLsizei>(w),
                   static_cast<GLsizei>(h), 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(c.levels - 1));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, c.minFilter ? c.minFilter : GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, c.magFilter ? c.magFilter : GL_LINEAR);
  }
  glBindTexture(GL_TEXTURE_2D, 0);
  return names;
}

void Toggle(GLenum capability, bool on) {
  if (on)
    glEnable(capability);
  else
    glDisable(capability);
}

void SetLighting(const CaptureLighting& l) {
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, l.sceneAmbient);
  glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, l.localViewer ? GL_TRUE : GL_FALSE);
  glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, l.separateSpecular ? GL_SEPARATE_SPECULAR_COLOR : GL_SINGLE_COLOR);
  Toggle(GL_NORMALIZE, l.normalize);
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, l.ambient);
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, l.diffuse);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, l.specular);
  glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, l.emission);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, l.shininess);
  if (l.colourMaterial) glColorMaterial(GL_FRONT_AND_BACK, l.colourMaterial);
  Toggle(GL_COLOR_MATERIAL, l.colourMaterial != 0);
  // Positions and directions were captured in eye space: give them under an identity.
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  for (uint32_t k = 0; k < 8; ++k) {
    const GLenum light = GL_LIGHT0 + k;
    Toggle(light, (l.lightMask >> k) & 1u);
    if (!((l.lightMask >> k) & 1u)) continue;
    const CaptureLight& c = l.lights[k];
    glLightfv(light, GL_POSITION, c.position);
    glLightfv(light, GL_AMBIENT, c.ambient);
    glLightfv(light, GL_DIFFUSE, c.diffuse);
    glLightfv(light, GL_SPECULAR, c.specular);
    glLightfv(light, GL_SPOT_DIRECTION, c.spotDirection);
    glLightf(light, GL_SPOT_CUTOFF, c.spotCutoff);
    glLightf(light, GL_SPOT_EXPONENT, c.spotExponent);
    glLightf(light, GL_CONSTANT_ATTENUATION, c.attenuation[0]);
    glLightf(light, GL_LINEAR_ATTENUATION, c.attenuation[1]);
    glLightf(light, GL_QUADRATIC_ATTENUATION, c.attenuation[2]);
  }
}

void Replay(const std::vector<ReplayDraw>& draws, const std::vector<GLuint>& textures, double ms) {
  for (const ReplayDraw& d : draws) {
    const CaptureDraw& h = d.head;
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(h.projection);
    Toggle(GL_LIGHTING, h.flags & kLighting);
    if (h.flags & kLighting) SetLighting(h.lighting);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(h.modelView);
    Toggle(GL_BLEND, h.flags & kBlend);
    if (h.flags & kBlend) glBlendFunc(static_cast<GLenum>(h.blendSource), static_cast<GLenum>(h.blendDestination));
    Toggle(GL_DEPTH_TEST, h.flags & kDepthTest);
    glDepthMask((h.flags & kDepthWrite) ? GL_TRUE : GL_FALSE);
    Toggle(GL_ALPHA_TEST, h.flags & kAlphaTest);
    Toggle(GL_CULL_FACE, h.flags & kCullFace);
    Toggle(GL_TEXTURE_2D, h.texture >= 0);
    if (h.texture >= 0) glBindTexture(GL_TEXTURE_2D, textures[static_cast<size_t>(TextureAt(d, ms))]);

    glBindBuffer(GL_ARRAY_BUFFER, d.positions);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(4, GL_FLOAT, 0, nullptr);
    if (d.normals) {
      glEnableClientState(GL_NORMAL_ARRAY);
      glBindBuffer(GL_ARRAY_BUFFER, d.normals);
      glNormalPointer(GL_FLOAT, 0, nullptr);
    } else {
      glDisableClientState(GL_NORMAL_ARRAY);
    }
    if (d.texCoords) {
      glEnableClientState(GL_TEXTURE_COORD_ARRAY);
      glBindBuffer(GL_ARRAY_BUFFER, d.texCoords);
      glTexCoordPointer(2, GL_FLOAT, 0, nullptr);
    } else {
      glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    if (d.colours) {
      glEnableClientState(GL_COLOR_ARRAY);
      glBindBuffer(GL_ARRAY_BUFFER, d.colours);
      glColorPointer(4, GL_UNSIGNED_BYTE, 0, nullptr);
    } else {
      glDisableClientState(GL_COLOR_ARRAY);
      glColor4ub(255, 255, 255, 255);
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    if (d.indices) {
      glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, d.indices);
      glDrawElements(h.primitive, static_cast<GLsizei>(h.indexCount), GL_UNSIGNED_INT, nullptr);
      glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    } else {
      glDrawArrays(h.primitive, 0, static_cast<GLsizei>(h.vertexCount));
    }
  }
  glDepthMask(GL_TRUE);
}

int Fail(const char* what) {
  std::fprintf(stderr, "vantorel_limit: %s%s%s\n", what, SDL_GetError()[0] ? ": " : "", SDL_GetError());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const char* capturePath = nullptr;
  int width = 0, height = 0;
  double seconds = 3600.0;
  for (int a = 1; a + 1 < argc; a += 2) {
    const std::string option = argv[a];
    if (option == "--capture") capturePath = argv[a + 1];
    else if (option == "--width") width = std::atoi(argv[a + 1]);
    else if (option == "--height") height = std::atoi(argv[a + 1]);
    else if (option == "--seconds") seconds = std::atof(argv[a + 1]);
  }
  Capture capture;
  if (!capturePath || !ReadCapture(capturePath, &capture)) {
    std::fprintf(stderr, "vantorel_limit: no readable capture (--capture FILE)\n");
    return 2;
  }
  if (width <= 0 || height <= 0) {
    width = static_cast<int>(capture.header.viewportWidth);
    height = static_cast<int>(capture.header.viewportHeight);
  }
  if (width <= 0 || height <= 0 || width > 8192 || height > 8192) return Fail("no frame size");

  if (SDL_Init(SDL_INIT_VIDEO) != 0) return Fail("SDL_Init");
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
  SDL_Window* window = SDL_CreateWindow("vantorel limit", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width,
                                        height, SDL_WINDOW_OPENGL);
  if (!window) return Fail("SDL_CreateWindow");
  SDL_GLContext context = SDL_GL_CreateContext(window);
  if (!context) return Fail("SDL_GL_CreateContext");
  SDL_GL_SetSwapInterval(0);

  GLuint framebuffer = 0, colour = 0, depth = 0;
  glGenFramebuffers(1, &framebuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  glGenRenderbuffers(1, &colour);
  glBindRenderbuffer(GL_RENDERBUFFER, colour);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
  glGenRenderbuffers(1, &depth);
  glBindRenderbuffer(GL_RENDERBUFFER, depth);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depth);
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) return Fail("incomplete framebuffer");

  const std::vector<GLuint> textures = MakeTextures(capture.textures);
  std::vector<ReplayDraw> draws(capture.heads.size());
  for (size_t d = 0; d < draws.size(); ++d) {
    draws[d].head = capture.heads[d];
    draws[d].positions = Buffer(GL_ARRAY_BUFFER, capture.positions[d]);
    draws[d].normals = Buffer(GL_ARRAY_BUFFER, capture.normals[d]);
    draws[d].texCoords = Buffer(GL_ARRAY_BUFFER, capture.texCoords[d]);
    draws[d].colours = Buffer(GL_ARRAY_BUFFER, capture.colours[d]);
    draws[d].indices = Buffer(GL_ELEMENT_ARRAY_BUFFER, capture.indices[d]);
    FindCycle(capture.textures, &draws[d]);
  }
  capture = Capture();  // the GL copies are all the frames need
  glAlphaFunc(GL_GREATER, 0.0f);

  const Uint64 start = SDL_GetPerformanceCounter();
  const Uint64 end = start + static_cast<Uint64>(seconds * SDL_GetPerformanceFrequency());
  bool running = true;
  while (running && SDL_GetPerformanceCounter() < end) {
    SDL_Event event;
    while (SDL_PollEvent(&event))
      if (event.type == SDL_QUIT) running = false;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glViewport(0, 0, width, height);
    glClearColor(0.15f, 0.25f, 0.4f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    Replay(draws, textures,
           static_cast<double>(SDL_GetPerformanceCounter() - start) * 1000.0 / SDL_GetPerformanceFrequency());
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glBlitFramebuffer(0, 0, width, height, 0, height, width, 0, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    SDL_GL_SwapWindow(window);
  }
  SDL_GL_DeleteContext(context);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return 0;
}

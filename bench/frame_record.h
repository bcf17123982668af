// What the frame probe writes and the runner and the limit program read back.
//
// Frame file: a FrameFileHeader, then one FrameRecord per presented frame.
// Capture file: a CaptureHeader, the texture sizes, then per draw a CaptureDraw followed
// by its positions (4 floats a vertex), normals (3), texture coordinates (2), colours
// (4 bytes) as its flags say, and its 32-bit indices.
#pragma once

#include <cstdint>

namespace vantorel_bench {

// Environment of the probe: the frame file, written at exit or at the first present
// after SIGUSR2 (the process then ends with code 0); SIGUSR1 captures the next frame's
// draws into the capture file.
constexpr char kFrameFileVariable[] = "VANTOREL_FRAME_PROBE";
constexpr char kCaptureFileVariable[] = "VANTOREL_FRAME_CAPTURE";
// Beside the frame file, written once at the first present: its monotonic time.
constexpr char kFirstFrameSuffix[] = ".first";
// Beside the frame file, replaced about five times a second: "<frames> <triangles> <draws>"
// of the latest present, so the runner can tell the intro from the scene while it runs.
constexpr char kStatusSuffix[] = ".now";

constexpr uint32_t kFrameMagic = 0x56465246;    // "FRFV"
constexpr uint32_t kCaptureMagic = 0x32504143;  // "CAP2"

struct FrameFileHeader {
  uint32_t magic;
  uint32_t count;
};

struct FrameRecord {
  int64_t monotonicNs;  // CLOCK_MONOTONIC at the present
  int64_t threadCpuNs;  // CPU time of the presenting thread so far
  uint32_t triangles;   // drawn since the previous present
  uint32_t draws;
  uint32_t uploads;     // texture images (any level) given to GL since the previous present
  uint32_t uploadKiB;
};

struct CaptureHeader {
  uint32_t magic;
  uint32_t viewportWidth, viewportHeight;
  uint32_t textureCount, drawCount;
};

struct CaptureTexture {
  uint32_t width, height, levels;
  int32_t minFilter, magFilter;
};

enum CaptureFlags : uint32_t {
  kLighting = 1u << 0,
  kBlend = 1u << 1,
  kDepthTest = 1u << 2,
  kDepthWrite = 1u << 3,
  kNormals = 1u << 4,
  kTexCoords = 1u << 5,
  kColours = 1u << 6,
  kAlphaTest = 1u << 7,
  kCullFace = 1u << 8,
  kTexture = 1u << 9,
};

// A light as GL holds it: position and spot direction already in eye space.
struct CaptureLight {
  float position[4];
  float ambient[4], diffuse[4], specular[4];
  float spotDirection[4];
  float spotCutoff, spotExponent;
  float attenuation[3];  // constant, linear, quadratic
};

// The lighting that decides what the driver's vertex program computes for a draw.
struct CaptureLighting {
  float sceneAmbient[4];
  float ambient[4], diffuse[4], specular[4], emission[4], shininess;  // the front material
  uint32_t localViewer, separateSpecular, normalize;
  uint32_t colourMaterial;  // the tracked material (GL enum), 0 when not tracking
  uint32_t lightMask;       // bit k: GL_LIGHT0 + k is enabled
  CaptureLight lights[8];
};

struct CaptureDraw {
  uint32_t primitive;  // GL primitive type
  uint32_t vertexCount, indexCount;
  uint32_t flags;
  int32_t texture;  // index into the capture's textures, -1 for none
  int32_t blendSource, blendDestination;
  float modelView[16], projection[16];
  CaptureLighting lighting;
};

}  // namespace vantorel_bench

// A temporary resource library and a game context with its caches, for the mesh tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/gamecontext.h"
#include "engine/meshcache.h"
#include "engine/texturecache.h"
#include "platform/xfile/xfile_writer.h"
#include "tests/support/d3d8/recording_device.h"

namespace mesh_test {

// Six quads in a row (12 triangles) with three materials, quad i using material i % 3,
// so every range has neighbours in the ranges before and after it.
xfile::XMeshData Strip();

// A recording device that also notes the world transform at every indexed draw.
class DrawRecordingDevice : public CRecordingDevice {
 public:
  HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT vertices, UINT start,
                               UINT count) override {
    worlds.push_back(Transform(D3DTS_WORLD));
    return CRecordingDevice::DrawIndexedPrimitive(type, minIndex, vertices, start, count);
  }
  std::vector<D3DMATRIX> worlds;

 protected:
  ~DrawRecordingDevice() override = default;
};

class MeshFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Everything written to the log so far.
  std::string LogText();
  std::string Path(const std::string& name) const { return dir + "/" + name; }
  void WriteFile(const std::string& name, const std::string& text);

  std::string dir;
  std::string library;
  FILE* log = nullptr;
  DrawRecordingDevice* device = nullptr;
  CGameContext context;
};

}  // namespace mesh_test

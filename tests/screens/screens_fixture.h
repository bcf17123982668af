// A game context for the screen objects without a display: a recording device, mesh
// caches and a render queue, a resource library of stand-in samples, songs and an
// "Environ" mesh, and a recording sound backend from which the names of the samples
// and songs played are read back.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "engine/gamecontext.h"
#include "engine/myobject.h"
#include "tests/support/d3d8/recording_device.h"
#include "tests/support/sound/recording_sound_backend.h"
#include "tools/pewriter/pe_writer.h"

class CRenderQueue;

namespace screens_test {

class ScreensTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Replaces the library; `withSongs` false leaves the three songs out.
  void WriteLibrary(bool withSongs);
  // One frame: the clock advances by dwElapsed, then the object updates.
  void Frame(CMyObject& object, DWORD dwElapsed);
  // The cursor at grid position (gx, gy) of a 20 x 20 grid, as the options screen
  // computes it from the normalised cursor; true when both are met exactly.
  bool CursorAtGrid(float gx, float gy);
  // Later reads of the sounds start here.
  void Mark() { m_nMark = sound.calls.size(); }
  // Backend calls since the mark that start with `prefix`.
  int CountSinceMark(const std::string& prefix) const;
  // Names of the samples played since the mark, in order, and how often one was played.
  std::vector<std::string> Heard() const;
  int Heard(const std::string& name) const;
  // The song started last ("GameFone2 loop", "GameFone1 once"), "" when none.
  std::string SongStarted() const;
  std::vector<RenderItem> Queued() const;
  std::string LogText() const;

  CGameContext ctx;
  RecordingSoundBackend sound;
  CRecordingDevice* pDevice = nullptr;
  CRenderQueue* pQueue = nullptr;
  std::string dir, library;
  FILE* log = nullptr;

 private:
  std::map<std::string, std::string> TokenNames(const char* strLoad) const;
  std::map<size_t, std::string> m_sizeNames;
  size_t m_nMark = 0;
};

}  // namespace screens_test

// A game context for the screen objects without a display: a recording device, mesh
// caches and a render queue, a resource library of stand-in samples, songs and an
// "Environ" mesh, and a recording sound backend from which the names of the samples
// and songs played are read back. The working folder is a temporary one.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "engine/gamecontext.h"
#include "engine/meshcache.h"
#include "engine/myobject.h"
#include "engine/renderqueue.h"
#include "engine/samplecache.h"
#include "tests/support/d3d8/recording_device.h"
#include "tests/support/sound/recording_sound_backend.h"
#include "tests/support/sound/synth_audio.h"

namespace screens_test {

class ScreensTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Replaces the library; `withSongs` false leaves the three songs out.
  void WriteLibrary(bool withSongs);
  // One frame: the clock advances by dwElapsed, then the object updates.
  void Frame(CMyObject& object, DWORD dwElapsed);
  // Later reads of the sounds start here.
  void Mark() { m_nMark = sound.calls.size(); }
  // What "PlaySample" or "PlaySong" played since the mark, by resource name, in order;
  // songs with how they play ("GameFone2 loop", "GameFone1 once").
  std::vector<std::string> Played(const std::string& method) const;
  int Heard(const std::string& name) const {
    const std::vector<std::string> heard = Played("PlaySample");
    return static_cast<int>(std::count(heard.begin(), heard.end(), name));
  }
  std::string SongStarted() const {
    const std::vector<std::string> songs = Played("PlaySong");
    return songs.empty() ? "" : songs.back();
  }
  std::vector<RenderItem> Queued() const;
  std::string LogText() const;

  ScopedWorkDir work;
  CGameContext ctx;
  RecordingSoundBackend sound;
  CRecordingDevice* pDevice = new CRecordingDevice();
  CMeshCache meshes, localMeshes;
  CSampleCache samples;
  CRenderQueue queue{&ctx};
  const std::string library = work.Path() + "/res.dll";
  FILE* log = nullptr;

 private:
  std::map<size_t, std::string> m_sizeNames;
  size_t m_nMark = 0;
};

}  // namespace screens_test

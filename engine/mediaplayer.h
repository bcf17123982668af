// Plays one media file (sound or video) by path, outside the resource library, through a
// filter graph and its media control. The game's own music and sounds do not use it.
#pragma once

#include "platform/media/dshow.h"
#include "platform/win32/win32.h"

class CMediaPlayer {
 public:
  // Initialises COM for the thread; Shutdown or the destructor undoes it (either or both).
  CMediaPlayer();
  ~CMediaPlayer();
  CMediaPlayer(const CMediaPlayer&) = delete;
  CMediaPlayer& operator=(const CMediaPlayer&) = delete;

  // Builds the graph for the file; a second Open first releases the previous graph.
  // Names of 260 characters or more are refused. On failure the player stays unloaded.
  HRESULT Open(const char* strFileName);
  // Act only once a file is loaded.
  void Play();
  void Pause();
  void Stop();
  // Stops and releases the graph, then uninitialises COM.
  void Shutdown();

  IGraphBuilder* m_pGraph = nullptr;
  IMediaControl* m_pControl = nullptr;
  BYTE m_bLoaded = 0;

 private:
  void ReleaseGraph();

  BYTE m_bComInitialised = 0;  // our CoInitialize is not yet matched
};

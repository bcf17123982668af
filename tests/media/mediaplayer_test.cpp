#include "engine/mediaplayer.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/media/wide_strings.h"

namespace {

// A graph that records what the player asks of it.
struct FakeGraphLog {
  int live = 0;
  int created = 0;
  int runs = 0;
  int pauses = 0;
  int stops = 0;
  int renders = 0;
  bool refuseControl = false;
  HRESULT renderResult = S_OK;
  std::u16string lastName;
};
FakeGraphLog g_log;

class FakeGraph final : public IGraphBuilder, public IMediaControl {
 public:
  FakeGraph() {
    ++g_log.live;
    ++g_log.created;
  }
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IGraphBuilder || riid == IID_IUnknown) {
      *ppv = static_cast<IGraphBuilder*>(this);
    } else if (riid == IID_IMediaControl && !g_log.refuseControl) {
      *ppv = static_cast<IMediaControl*>(this);
    } else {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++m_refs; }
  ULONG Release() override {
    const ULONG left = --m_refs;
    if (!left) delete this;
    return left;
  }
  HRESULT RenderFile(LPCWSTR file, LPCWSTR) override {
    ++g_log.renders;
    g_log.lastName = file;
    return g_log.renderResult;
  }
  HRESULT Run() override { return ++g_log.runs, S_OK; }
  HRESULT Pause() override { return ++g_log.pauses, S_OK; }
  HRESULT Stop() override { return ++g_log.stops, S_OK; }
  HRESULT GetState(LONG, OAFilterState* state) override { return *state = State_Stopped, S_OK; }

 private:
  ~FakeGraph() override { --g_log.live; }
  ULONG m_refs = 1;
};

HRESULT CreateFakeGraph(REFIID riid, void** ppv) {
  FakeGraph* graph = new FakeGraph();
  const HRESULT hr = graph->QueryInterface(riid, ppv);
  graph->Release();
  return hr;
}

class MediaPlayerFakeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_log = FakeGraphLog();
    MediaSetFilterGraphFactory(CreateFakeGraph);
    comBefore = CoInitializeCount();
  }
  void TearDown() override {
    MediaSetFilterGraphFactory(nullptr);
    EXPECT_EQ(0, g_log.live) << "graphs left unreleased";
    EXPECT_EQ(comBefore, CoInitializeCount()) << "COM start-up not balanced";
  }
  int comBefore = 0;
};

TEST_F(MediaPlayerFakeTest, PlayBeforeOpenMakesNoCall) {
  CMediaPlayer player;
  player.Play();
  player.Pause();
  player.Stop();
  EXPECT_EQ(0, g_log.created);
  EXPECT_EQ(0, player.m_bLoaded);
}

TEST_F(MediaPlayerFakeTest, OpenRendersAndControlsDrivesTheGraph) {
  CMediaPlayer player;
  EXPECT_EQ(comBefore + 1, CoInitializeCount());
  ASSERT_EQ(S_OK, player.Open("music/theme.ogg"));
  EXPECT_EQ(1, player.m_bLoaded);
  EXPECT_EQ(u"music/theme.ogg", g_log.lastName);
  player.Play();
  player.Pause();
  player.Stop();
  EXPECT_EQ(1, g_log.runs);
  EXPECT_EQ(1, g_log.pauses);
  EXPECT_EQ(1, g_log.stops);
}

TEST_F(MediaPlayerFakeTest, FailedRenderLeavesThePlayerUnloaded) {
  g_log.renderResult = VFW_E_UNSUPPORTED_STREAM;
  CMediaPlayer player;
  EXPECT_EQ(VFW_E_UNSUPPORTED_STREAM, player.Open("broken.avi"));
  EXPECT_EQ(0, player.m_bLoaded);
  EXPECT_EQ(nullptr, player.m_pGraph);
  EXPECT_EQ(nullptr, player.m_pControl);
  player.Play();
  EXPECT_EQ(0, g_log.runs);
}

TEST_F(MediaPlayerFakeTest, MissingMediaControlFailsOpen) {
  g_log.refuseControl = true;
  CMediaPlayer player;
  EXPECT_EQ(E_NOINTERFACE, player.Open("song.wav"));
  EXPECT_EQ(0, player.m_bLoaded);
  EXPECT_EQ(0, g_log.renders);
  EXPECT_EQ(nullptr, player.m_pGraph);
  player.Play();
  EXPECT_EQ(0, g_log.runs);
}

TEST_F(MediaPlayerFakeTest, NamesMustFitTheConversionBuffer) {
  CMediaPlayer player;
  const std::string longest(259, 'a');
  EXPECT_EQ(S_OK, player.Open(longest.c_str()));
  EXPECT_EQ(259u, g_log.lastName.size());
  const std::string tooLong(260, 'a');
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE), player.Open(tooLong.c_str()));
  EXPECT_EQ(0, player.m_bLoaded);
  EXPECT_EQ(1, g_log.created);
  EXPECT_EQ(E_POINTER, player.Open(nullptr));
}

TEST_F(MediaPlayerFakeTest, SecondOpenReleasesTheFirstGraph) {
  CMediaPlayer player;
  ASSERT_EQ(S_OK, player.Open("one.wav"));
  ASSERT_EQ(S_OK, player.Open("two.wav"));
  EXPECT_EQ(2, g_log.created);
  EXPECT_EQ(1, g_log.live);
  EXPECT_EQ(1, g_log.stops);  // the first was stopped before it went
}

TEST_F(MediaPlayerFakeTest, ShutdownAndDestructorUninitialiseOnce) {
  {
    CMediaPlayer player;
    ASSERT_EQ(S_OK, player.Open("one.wav"));
    player.Shutdown();
    EXPECT_EQ(comBefore, CoInitializeCount());
    EXPECT_EQ(0, g_log.live);
    player.Play();
    EXPECT_EQ(0, g_log.runs);
  }
  EXPECT_EQ(comBefore, CoInitializeCount());
  {
    CMediaPlayer never;
    never.Shutdown();
  }
  EXPECT_EQ(comBefore, CoInitializeCount());
}

TEST_F(MediaPlayerFakeTest, OpenAfterShutdownStartsComAgainAndPlays) {
  CMediaPlayer player;
  ASSERT_EQ(S_OK, player.Open("one.wav"));
  player.Shutdown();
  ASSERT_EQ(S_OK, player.Open("two.wav")) << "a player shut down once cannot open again";
  EXPECT_EQ(comBefore + 1, CoInitializeCount());
  EXPECT_EQ(1, player.m_bLoaded);
  player.Play();
  EXPECT_EQ(1, g_log.runs);
}

TEST(WideStringsTest, RoundTripsUtf8ThroughUtf16) {
  const char* text = "caf\xC3\xA9 \xF0\x9F\x8E\xB5.wav";  // a 2-byte and a 4-byte character
  WCHAR wide[32];
  const int units = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 32);
  ASSERT_EQ(12, units);  // 4 + 1 + 2 (surrogate pair) + 4 + terminator
  EXPECT_EQ(0xE9, wide[3]);
  EXPECT_EQ(0xD83C, wide[5]);
  char back[32];
  ASSERT_EQ(static_cast<int>(std::strlen(text)) + 1,
            WideCharToMultiByte(CP_UTF8, 0, wide, -1, back, 32, nullptr, nullptr));
  EXPECT_STREQ(text, back);
  EXPECT_EQ(0, MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 11));  // no room for the terminator
  EXPECT_EQ(12, MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0));
  const char bad[] = "\xFF\xC3";
  ASSERT_EQ(3, MultiByteToWideChar(CP_ACP, 0, bad, -1, wide, 32));
  EXPECT_EQ(0xFFFD, wide[0]);
  EXPECT_EQ(0xFFFD, wide[1]);
}

// --- The real graph, headless -------------------------------------------------------

void PutLE(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int b = 0; b < bytes; ++b) out.push_back(static_cast<uint8_t>(value >> (8 * b)));
}

// Mono 16-bit PCM: a 440 Hz tone of the given length.
std::vector<uint8_t> ToneWav(int milliseconds) {
  const uint32_t rate = 22050;
  const uint32_t samples = rate * static_cast<uint32_t>(milliseconds) / 1000;
  std::vector<uint8_t> out = {'R', 'I', 'F', 'F'};
  PutLE(out, 36 + samples * 2, 4);
  for (char c : std::string("WAVEfmt ")) out.push_back(static_cast<uint8_t>(c));
  PutLE(out, 16, 4);
  PutLE(out, 1, 2);  // PCM
  PutLE(out, 1, 2);  // mono
  PutLE(out, rate, 4);
  PutLE(out, rate * 2, 4);
  PutLE(out, 2, 2);
  PutLE(out, 16, 2);
  for (char c : std::string("data")) out.push_back(static_cast<uint8_t>(c));
  PutLE(out, samples * 2, 4);
  for (uint32_t i = 0; i < samples; ++i) {
    const double v = std::sin(2.0 * M_PI * 440.0 * i / rate) * 8000.0;
    PutLE(out, static_cast<uint16_t>(static_cast<int16_t>(v)), 2);
  }
  return out;
}

class MediaPlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "dummy", 0);  // never play into a real device from tests
    char pattern[] = "/tmp/media_test_XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    dir = pattern;
    comBefore = CoInitializeCount();
  }
  void TearDown() override {
    std::filesystem::remove_all(dir);
    EXPECT_EQ(comBefore, CoInitializeCount());
  }
  std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = dir + "/" + name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return path;
  }
  std::string dir;
  int comBefore = 0;
};

TEST_F(MediaPlayerTest, PlaysAGeneratedWavToItsEnd) {
  const std::string path = WriteFile("tone.wav", ToneWav(300));
  CMediaPlayer player;
  ASSERT_EQ(S_OK, player.Open(path.c_str()));
  ASSERT_EQ(1, player.m_bLoaded);
  OAFilterState state = -1;
  player.m_pControl->GetState(1000, &state);
  EXPECT_EQ(State_Stopped, state);

  IMediaEvent* events = nullptr;
  ASSERT_EQ(S_OK, player.m_pGraph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&events)));
  player.Play();
  player.m_pControl->GetState(5000, &state);
  EXPECT_EQ(State_Running, state);
  LONG code = 0;
  EXPECT_EQ(S_OK, events->WaitForCompletion(20000, &code));
  EXPECT_EQ(EC_COMPLETE, code);

  // Stopped, it plays again from the start.
  player.Stop();
  EXPECT_EQ(E_ABORT, events->WaitForCompletion(0, &code));
  player.Play();
  EXPECT_EQ(S_OK, events->WaitForCompletion(20000, &code));
  EXPECT_EQ(EC_COMPLETE, code);
  events->Release();
  player.Shutdown();
}

TEST_F(MediaPlayerTest, PausedPlayerDoesNotReachTheEnd) {
  const std::string path = WriteFile("tone.wav", ToneWav(200));
  CMediaPlayer player;
  ASSERT_EQ(S_OK, player.Open(path.c_str()));
  IMediaEvent* events = nullptr;
  ASSERT_EQ(S_OK, player.m_pGraph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&events)));
  player.Pause();
  OAFilterState state = -1;
  player.m_pControl->GetState(5000, &state);
  EXPECT_EQ(State_Paused, state);
  LONG code = 0;
  EXPECT_EQ(E_ABORT, events->WaitForCompletion(500, &code));
  EXPECT_EQ(0, code);
  events->Release();
}

TEST_F(MediaPlayerTest, MissingOrUndecodableFilesFailOpen) {
  CMediaPlayer player;
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), player.Open((dir + "/none.wav").c_str()));
  EXPECT_EQ(0, player.m_bLoaded);
  const std::string junk = WriteFile("junk.wav", std::vector<uint8_t>(4096, 0x5A));
  EXPECT_TRUE(FAILED(player.Open(junk.c_str())));
  EXPECT_EQ(0, player.m_bLoaded);
  EXPECT_TRUE(FAILED(player.Open(dir.c_str())));
  player.Play();  // nothing loaded: no call, no crash
}

TEST_F(MediaPlayerTest, GraphNeedsComOnTheThread) {
  void* graph = nullptr;
  if (CoInitializeCount() == 0) {
    EXPECT_EQ(CO_E_NOTINITIALIZED,
              CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, &graph));
    EXPECT_EQ(nullptr, graph);
  }
  CoInitialize(nullptr);
  const IID unknownInterface = {0x12345678, 0x1, 0x2, {1, 2, 3, 4, 5, 6, 7, 8}};
  EXPECT_EQ(E_NOINTERFACE,
            CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, unknownInterface, &graph));
  EXPECT_EQ(nullptr, graph);
  EXPECT_EQ(REGDB_E_CLASSNOTREG,
            CoCreateInstance(IID_IMediaControl, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, &graph));
  ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, &graph));
  static_cast<IGraphBuilder*>(graph)->Release();
  CoUninitialize();
}

}  // namespace

// The game benchmark: the game in play against the limit of this machine's OpenGL.
//
// For each display mode (640x480, 800x600, 1024x768) the runner starts the game windowed
// under the current X display (VANTOREL_NO_VSYNC=1, the mode chosen by a settings file
// given through VANTOREL_REGISTRY_FILE), with the frame probe preloaded. Once the intro
// and the camera's opening flight are over it opens the main menu (Escape) and loads a
// crafted save of 40 balls (a click on the menu's third item), has the probe copy one
// frame's draws and pauses the game (SIGSTOP). Then it starts the limit program on that
// frame, and the two take turns for the fixed time, four turns each (limit, game, game,
// limit, ...), each measured after a short settling, so that a change in the machine's
// load falls on both alike. Per mode it prints both frame rates over their turns and
// their ratio, main-thread CPU milliseconds a frame, the longest frame in the first ten
// seconds after the first present (while running) against the median of play, start to
// first presented frame and peak RSS (wait4) of both, and the triangles a frame. Targets:
// rate at least 0.95 of the limit, start within 1.3x of the limit's, peak RSS within
// 20 MB of it, no early frame over 3x the median. Misses are reported, not turned into a
// failing exit: the exit code says only whether every figure was produced.
//
// Run (from the build folder, a Release build; keep the machine otherwise idle):
//   xvfb-run -s "-screen 0 1280x1024x24" env LIBGL_ALWAYS_SOFTWARE=1 ./vantorel_bench
// Options: --seconds S (play measured, 20), --flight-seconds S (from the first present of
// the scene after the intro to the menu key: the camera's opening flight, 3), --modes
// 640x480,800x600,1024x768, --no-load (measure the program's first scene without the menu:
// for a program that has none), --smoke (1 s a mode once the intro is over, no load: checks
// only that the figures come out, however long a busy machine takes to get there), --budget S
// (the whole run's time: no wait for a program goes past it, so a run that hangs ends with a
// message naming what it waited for), --game, --limit, --probe (paths; default beside this
// program), --keep DIR (leave the run's files there, with a screenshot of the game in play,
// game.png, per mode).
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/frame_record.h"

using namespace vantorel_bench;

namespace {

// The intro draws one picture; anything more is the scene.
constexpr uint32_t kIntroTriangles = 16;
constexpr uint32_t kLoadedTriangles = 1000;
// How long a program may take to present, and the game to get past its intro: generous,
// for a sanitizer build on a busy machine starts many times slower than a release one.
constexpr double kStartDeadlineSeconds = 120.0;
// The longest a measured stretch waits for presents to measure.
constexpr double kPresentDeadlineSeconds = 60.0;
// The longest the probe may take to capture a frame once asked.
constexpr double kCaptureDeadlineSeconds = 30.0;
// The measured play is split into turns of both programs; each turn begins after a settling.
constexpr int kTurns = 4;
constexpr double kSettleSeconds = 0.2;

struct Options {
  std::string game, limit, probe, workDir;
  double seconds = 20.0;
  double budgetSeconds = 0;  // none
  double flightSeconds = 3.0;
  bool load = true;
  bool keep = false;
  std::vector<std::pair<int, int>> modes = {{640, 480}, {800, 600}, {1024, 768}};
};

// A program under measurement: started, paused and resumed by the runner.
struct Child {
  std::string tag, frameFile, failure;
  pid_t pid = -1;
  int64_t startNs = 0;
  int64_t runningSinceNs = 0;                              // 0 while paused
  std::vector<std::pair<int64_t, int64_t>> running;        // stretches it ran in, closed ones
  std::vector<std::pair<int64_t, int64_t>> windows;        // the measured stretches
  uint32_t trianglesBefore = 0;                            // a frame of play before the save was loaded
  std::vector<FrameRecord> frames;
  rusage usage = {};
};

struct Figures {
  double fps = 0, cpuMsPerFrame = 0, medianMs = 0, earlyLongestMs = 0, earlyLongestAtS = 0, firstFrameMs = 0;
  double peakRssMiB = 0;
  uint32_t triangles = 0, draws = 0, earlyUploads = 0;
};

int64_t NowNs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void SleepSeconds(double s) {
  if (s > 0) std::this_thread::sleep_for(std::chrono::duration<double>(s));
}

// The run's end (--budget): every wait for a program ends by then.
int64_t g_runEndNs = std::numeric_limits<int64_t>::max();

// When a wait of `seconds` from now ends.
int64_t WaitEnd(double seconds) { return std::min(g_runEndNs, NowNs() + static_cast<int64_t>(seconds * 1e9)); }

// What a wait for `what` that ended empty-handed says.
std::string Missed(const std::string& what, double seconds) {
  char text[64];
  if (NowNs() >= g_runEndNs) return "the run's time ran out waiting for " + what;
  std::snprintf(text, sizeof text, "waited %.0f s for ", seconds);
  return text + what;
}

std::string Beside(const char* argv0, const char* name) {
  std::string self = argv0;
  const size_t slash = self.rfind('/');
  return (slash == std::string::npos ? std::string(".") : self.substr(0, slash)) + "/" + name;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  return static_cast<bool>(out);
}

// The settings file: the mode, and every other setting at its first-run value (a key
// without them would read them as 0, which turns the surroundings off).
std::string SettingsFile(int width, int height) {
  std::ostringstream s;
  s << "vantorel-registry 1\nkey \"Software\\Marbek\\Vantorel\"\n";
  const std::pair<const char*, int> values[] = {
      {"Width", width}, {"Height", height},     {"MinDep", 24},   {"HiRes", 1},     {"Environ", 1},
      {"MusType", 0},   {"MusVolume", 80},     {"SoundVolume", 180}, {"PlateMov", 0}, {"FloorType", 0},
      {"FloorTex", 0},  {"MoveMode", 4}};
  for (const auto& v : values) s << "value \"" << v.first << "\" dword " << v.second << "\n";
  s << "end\n";
  return s.str();
}

// 40 balls in seven colours, no two neighbours alike (so no run stands on the board),
// cells spread by a fixed permutation; three preview colours; score 0.
std::string CraftedSave() {
  std::string file(340, '\0');
  auto put = [&file](int offset, int32_t value) {
    for (int k = 0; k < 4; ++k) file[static_cast<size_t>(offset + k)] = static_cast<char>((value >> (8 * k)) & 0xFF);
  };
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 9; ++j)
      if ((i * 9 + j) * 37 % 81 < 40) put(36 * i + 4 * j, (i * 3 + j * 5) % 7 + 1);
  put(324, 2);
  put(328, 5);
  put(332, 7);
  put(336, 0);
  return file;
}

pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env, const std::string& dir,
            bool quiet) {
  std::fflush(stdout);  // or the child would print it again
  const pid_t pid = fork();
  if (pid != 0) return pid;
  if (!dir.empty() && chdir(dir.c_str()) != 0) _exit(127);
  for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
  if (quiet) {
    if (std::freopen("/dev/null", "w", stdout)) {}
  }
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  _exit(127);
}

// Waits up to `seconds` for the child; fills rusage. False when it is still running.
bool WaitFor(pid_t pid, double seconds, int* status, rusage* usage) {
  const int64_t end = NowNs() + static_cast<int64_t>(seconds * 1e9);
  for (;;) {
    const pid_t r = wait4(pid, status, WNOHANG, usage);
    if (r == pid) return true;
    if (r < 0 && errno != EINTR) return true;
    if (NowNs() > end) return false;
    SleepSeconds(0.02);
  }
}

// Runs a small tool (xdotool) to its end, at most `seconds`; its standard output.
std::string RunTool(const std::vector<std::string>& args, double seconds) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return "";
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipeFds[1], 1);
    close(pipeFds[0]);
    close(pipeFds[1]);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(pipeFds[1]);
  int status = 0;
  rusage usage;
  if (!WaitFor(pid, seconds, &status, &usage)) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  std::string out;
  char buffer[256];
  ssize_t n;
  while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(n));
  close(pipeFds[0]);
  return out;
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

// Waits for the probe's first-present mark; false when the child ended or time ran out.
bool WaitForFirstFrame(pid_t pid, const std::string& frameFile, double seconds, int* status, rusage* usage,
                       bool* ended) {
  const int64_t end = WaitEnd(seconds);
  while (NowNs() < end) {
    if (Exists(frameFile + kFirstFrameSuffix)) return true;
    if (wait4(pid, status, WNOHANG, usage) == pid) {
      *ended = true;
      return false;
    }
    SleepSeconds(0.02);
  }
  return false;
}

std::vector<FrameRecord> ReadFrames(const std::string& path) {
  std::vector<FrameRecord> frames;
  std::ifstream in(path, std::ios::binary);
  FrameFileHeader header = {};
  if (!in.read(reinterpret_cast<char*>(&header), sizeof header) || header.magic != kFrameMagic) return frames;
  frames.resize(std::min<uint32_t>(header.count, 1u << 20));
  in.read(reinterpret_cast<char*>(frames.data()), static_cast<std::streamsize>(frames.size() * sizeof(FrameRecord)));
  frames.resize(static_cast<size_t>(in.gcount()) / sizeof(FrameRecord));
  return frames;
}

// The latest "<frames> <triangles> <draws>" the probe left beside the frame file.
bool ReadStatus(const std::string& frameFile, uint32_t* frames, uint32_t* triangles) {
  std::ifstream in(frameFile + kStatusSuffix);
  return static_cast<bool>(in >> *frames >> *triangles);
}

// Waits until a present draws more than the intro's picture; false when time ran out.
bool WaitForScene(const std::string& frameFile, double seconds) {
  const int64_t end = WaitEnd(seconds);
  uint32_t frames = 0, triangles = 0;
  while (NowNs() < end) {
    if (ReadStatus(frameFile, &frames, &triangles) && triangles > kIntroTriangles) return true;
    SleepSeconds(0.05);
  }
  return false;
}

// The game's cursor starts at the window's centre and follows relative motion, stopping
// at the edges: push it into the top-left corner, then move it to the point in one step.
// Repeated equal steps would be lost (SDL drops raw motion equal to the previous in the
// same millisecond), hence the pauses. The button is held over several of the game's
// 4 ms polls, or the press goes unseen.
void ClickAt(int x, int y, int width, int height) {
  std::vector<std::string> args = {"xdotool"};
  for (int k = 0; k < 3; ++k)
    args.insert(args.end(),
                {"mousemove_relative", "--", std::to_string(-width), std::to_string(-height), "sleep", "0.05"});
  args.insert(args.end(), {"mousemove_relative", "--", std::to_string(x), std::to_string(y), "sleep", "0.3",
                           "mousedown", "1", "sleep", "0.15", "mouseup", "1"});
  RunTool(args, 30);
}

// Escape opens the main menu, its third item loads the save.
void LoadCraftedGame(pid_t pid, int width, int height) {
  const std::string ids = RunTool({"xdotool", "search", "--pid", std::to_string(pid)}, 5);
  std::istringstream list(ids);
  std::string window;
  list >> window;
  if (!window.empty()) RunTool({"xdotool", "windowfocus", window}, 5);
  RunTool({"xdotool", "keydown", "Escape", "sleep", "0.1", "keyup", "Escape"}, 5);
  SleepSeconds(0.5);
  // Items stand in the middle third of the width, rows 2..7 of ten; the third is row 4.
  ClickAt(width / 2, height * 45 / 100, width, height);
}

// Starts a program with the probe preloaded and waits for its first present.
bool Start(const Options& o, const std::vector<std::string>& args, const std::string& dir, const std::string& captureFile,
           Child* child) {
  child->frameFile = dir + "/" + child->tag + ".frames";
  std::remove(child->frameFile.c_str());
  std::remove((child->frameFile + kFirstFrameSuffix).c_str());
  std::vector<std::string> env = {"LD_PRELOAD=" + o.probe,
                                  std::string(kFrameFileVariable) + "=" + child->frameFile,
                                  std::string(kCaptureFileVariable) + "=" + captureFile,
                                  "VANTOREL_REGISTRY_FILE=" + dir + "/settings.reg",
                                  "VANTOREL_NO_VSYNC=1",
                                  "VANTOREL_WINDOWED=1",
                                  "VANTOREL_NO_DIALOGS=1"};
  if (!std::getenv("SDL_AUDIODRIVER")) env.push_back("SDL_AUDIODRIVER=dummy");
  // In a sanitizer build the probe comes before the sanitizer's runtime.
  const char* asan = std::getenv("ASAN_OPTIONS");
  env.push_back(std::string("ASAN_OPTIONS=") + (asan ? asan : "") + (asan && *asan ? ":" : "") +
                "verify_asan_link_order=0");
  child->startNs = NowNs();
  child->pid = Spawn(args, env, dir, true);
  child->runningSinceNs = child->startNs;
  int status = 0;
  bool ended = false;
  if (WaitForFirstFrame(child->pid, child->frameFile, kStartDeadlineSeconds, &status, &child->usage, &ended))
    return true;
  if (!ended) {
    kill(child->pid, SIGKILL);
    wait4(child->pid, &status, 0, &child->usage);
  }
  child->pid = -1;
  child->failure = child->tag + (ended ? ": ended before it presented a frame"
                                       : ": " + Missed("its first frame", kStartDeadlineSeconds));
  return false;
}

// Waits for the intro to end: play is measured, not how soon a busy machine gets there.
void WaitForPlay(Child* game) {
  uint32_t frames = 0;
  if (!WaitForScene(game->frameFile, kStartDeadlineSeconds) ||
      !ReadStatus(game->frameFile, &frames, &game->trianglesBefore))
    game->failure = game->tag + ": " + Missed("the end of its intro", kStartDeadlineSeconds);
}

// Waits for the intro to end and the camera's flight, then loads the crafted save.
void EnterPlay(const Options& o, int width, int height, Child* game) {
  uint32_t frames = 0;
  WaitForPlay(game);
  SleepSeconds(o.flightSeconds);
  ReadStatus(game->frameFile, &frames, &game->trianglesBefore);
  LoadCraftedGame(game->pid, width, height);
}

void Pause(Child* child) {
  if (child->runningSinceNs == 0) return;
  kill(child->pid, SIGSTOP);
  child->running.push_back({child->runningSinceNs, NowNs()});
  child->runningSinceNs = 0;
}

void Resume(Child* child) {
  if (child->runningSinceNs != 0) return;
  kill(child->pid, SIGCONT);
  child->runningSinceNs = NowNs();
}

// Lets the program run alone for `seconds`, after a short settling (its first frame after
// a pause is not one of play), and measures that stretch. On a slow machine the stretch
// goes on until the probe's status has changed twice in it: two presents in the stretch,
// so it has at least one frame to measure.
void RunAlone(Child* child, Child* other, double seconds) {
  Pause(other);
  Resume(child);
  SleepSeconds(kSettleSeconds);
  const int64_t from = NowNs();
  const int64_t end = WaitEnd(seconds);
  const int64_t deadline = WaitEnd(seconds + kPresentDeadlineSeconds);
  uint32_t seen = 0, frames = 0, triangles = 0;
  ReadStatus(child->frameFile, &seen, &triangles);
  int changes = 0;
  for (int64_t now = NowNs(); now < deadline && (now < end || changes < 2); now = NowNs()) {
    if (ReadStatus(child->frameFile, &frames, &triangles) && frames != seen) {
      seen = frames;
      ++changes;
    }
    const double toEnd = static_cast<double>(end - now) / 1e9;
    SleepSeconds(toEnd > 0 ? std::min(0.02, toEnd) : 0.02);
  }
  child->windows.push_back({from, NowNs()});
  if (changes < 2 && child->failure.empty())
    child->failure = child->tag + ": " + Missed("two presents to measure", seconds + kPresentDeadlineSeconds);
}

// Ends the program through the probe (it writes its frames at the next present).
void Finish(Child* child) {
  if (child->pid <= 0) return;
  Resume(child);
  child->running.push_back({child->runningSinceNs, std::numeric_limits<int64_t>::max()});
  kill(child->pid, SIGUSR2);
  int status = 0;
  if (!WaitFor(child->pid, 20, &status, &child->usage)) {
    kill(child->pid, SIGKILL);
    wait4(child->pid, &status, 0, &child->usage);
    if (child->failure.empty()) child->failure = child->tag + ": did not stop within 20 s";
  }
  child->pid = -1;
  child->frames = ReadFrames(child->frameFile);
  if (child->failure.empty() && child->frames.size() <= 2) child->failure = child->tag + ": too few frames recorded";
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

// The stretch (by index into `stretches`) holding the time, or -1.
int StretchOf(const std::vector<std::pair<int64_t, int64_t>>& stretches, int64_t ns) {
  for (size_t k = 0; k < stretches.size(); ++k)
    if (ns >= stretches[k].first && ns <= stretches[k].second) return static_cast<int>(k);
  return -1;
}

Figures Measure(const Child& c) {
  Figures f;
  const std::vector<FrameRecord>& fr = c.frames;
  f.firstFrameMs = static_cast<double>(fr[0].monotonicNs - c.startNs) / 1e6;
  f.peakRssMiB = static_cast<double>(c.usage.ru_maxrss) / 1024.0;
  // Frame lengths count only between two presents of the same measured stretch.
  std::vector<double> lengths, triangles, draws;
  double seconds = 0, cpuMs = 0;
  for (size_t k = 1; k < fr.size(); ++k) {
    const int w = StretchOf(c.windows, fr[k].monotonicNs);
    if (w < 0 || StretchOf(c.windows, fr[k - 1].monotonicNs) != w) continue;
    const double ns = static_cast<double>(fr[k].monotonicNs - fr[k - 1].monotonicNs);
    seconds += ns / 1e9;
    cpuMs += static_cast<double>(fr[k].threadCpuNs - fr[k - 1].threadCpuNs) / 1e6;
    lengths.push_back(ns / 1e6);
    triangles.push_back(fr[k].triangles);
    draws.push_back(fr[k].draws);
  }
  if (seconds > 0) {
    f.fps = static_cast<double>(lengths.size()) / seconds;
    f.cpuMsPerFrame = cpuMs / static_cast<double>(lengths.size());
  }
  f.medianMs = Median(lengths);
  f.triangles = static_cast<uint32_t>(Median(triangles));
  f.draws = static_cast<uint32_t>(Median(draws));
  // The first present is start-up; the ten seconds after it are where uploads stutter.
  // A frame the program was paused in is no frame of its own.
  for (size_t k = 1; k < fr.size() && fr[k].monotonicNs - fr[0].monotonicNs <= 10000000000LL; ++k) {
    const int r = StretchOf(c.running, fr[k].monotonicNs);
    if (r < 0 || StretchOf(c.running, fr[k - 1].monotonicNs) != r) continue;
    const double ms = static_cast<double>(fr[k].monotonicNs - fr[k - 1].monotonicNs) / 1e6;
    f.earlyUploads += fr[k].uploads;
    if (ms > f.earlyLongestMs) {
      f.earlyLongestMs = ms;
      f.earlyLongestAtS = static_cast<double>(fr[k].monotonicNs - fr[0].monotonicNs) / 1e9;
    }
  }
  return f;
}

const char* Verdict(bool met) { return met ? "ok" : "MISSED"; }

bool RunMode(const Options& o, int width, int height) {
  char name[32];
  std::snprintf(name, sizeof name, "/%dx%d", width, height);
  const std::string dir = o.workDir + name;
  if (NowNs() >= g_runEndNs) {
    std::printf("%dx%d: not measured: the run's time ran out before it\n", width, height);
    return false;
  }
  mkdir(dir.c_str(), 0755);
  const std::string captureFile = dir + "/frame.capture";
  std::remove(captureFile.c_str());
  WriteFile(dir + "/settings.reg", SettingsFile(width, height));
  WriteFile(dir + "/Vantorel.sav", CraftedSave());

  // The game runs into play and has one frame captured; paused, it leaves the machine
  // to the limit program's start. Then the two take turns, so that a change in the
  // machine's load falls on both alike.
  Child game, limit;
  game.tag = "game";
  limit.tag = "limit";
  if (Start(o, {o.game}, dir, captureFile, &game)) {
    if (o.load)
      EnterPlay(o, width, height, &game);
    else
      WaitForPlay(&game);
    SleepSeconds(o.load ? 1.0 : 0.3);  // the loaded balls land
    kill(game.pid, SIGUSR1);
    // The probe writes the capture at the next present, which a loaded machine may delay.
    for (const int64_t end = WaitEnd(kCaptureDeadlineSeconds); !Exists(captureFile) && NowNs() < end;)
      SleepSeconds(0.1);
    if (o.keep) RunTool({"import", "-window", "root", dir + "/game.png"}, 30);
    Pause(&game);
    if (Exists(captureFile) && Start(o, {o.limit, "--capture", captureFile}, dir, "", &limit)) {
      const double slice = o.seconds / kTurns;
      for (int turn = 0; turn < kTurns; ++turn) {
        // L G G L L G ...: a steady drift in the load weighs on both the same.
        Child* first = turn % 2 == 0 ? &limit : &game;
        Child* second = turn % 2 == 0 ? &game : &limit;
        RunAlone(first, second, slice / 2);
        RunAlone(second, first, slice / 2);
      }
    }
  }
  Finish(&game);
  Finish(&limit);
  const std::string failure = !game.failure.empty()  ? game.failure
                              : !Exists(captureFile) ? Missed("the probe's capture of a frame", kCaptureDeadlineSeconds)
                                                     : limit.failure;
  if (!failure.empty()) {
    std::printf("%dx%d: %s\n", width, height, failure.c_str());
    return false;
  }
  const Figures g = Measure(game), l = Measure(limit);
  const double ratio = l.fps > 0 ? g.fps / l.fps : 0;
  const double startRatio = l.firstFrameMs > 0 ? g.firstFrameMs / l.firstFrameMs : 0;
  const double earlyRatio = g.medianMs > 0 ? g.earlyLongestMs / g.medianMs : 0;
  std::printf("%dx%d  (%u triangles, %u draws a frame; limit %u triangles)\n", width, height, g.triangles, g.draws,
              l.triangles);
  // 35 more balls than the opening board draw many more triangles; the open menu only a few.
  const bool loaded = g.triangles > game.trianglesBefore + kLoadedTriangles;
  if (o.load) {
    std::printf("  crafted board     %u triangles a frame before the load, %u in play  [%s]\n", game.trianglesBefore,
                g.triangles, loaded ? "loaded" : "NOT LOADED");
  }
  std::printf("  frames/s          game %8.1f  limit %8.1f  ratio %.3f  [>= 0.95 %s]\n", g.fps, l.fps, ratio,
              Verdict(ratio >= 0.95));
  std::printf("  main CPU ms/frame game %8.2f  limit %8.2f\n", g.cpuMsPerFrame, l.cpuMsPerFrame);
  std::printf("  first 10 s        game longest %.1f ms at %.1f s, median %.1f ms, x%.2f, %u texture uploads  "
              "[<= 3x %s]; limit longest %.1f ms\n",
              g.earlyLongestMs, g.earlyLongestAtS, g.medianMs, earlyRatio, g.earlyUploads, Verdict(earlyRatio <= 3.0),
              l.earlyLongestMs);
  std::printf("  start to frame    game %8.0f  limit %8.0f ms  x%.2f  [<= 1.3x %s]\n", g.firstFrameMs, l.firstFrameMs,
              startRatio, Verdict(startRatio <= 1.3));
  std::printf("  peak RSS          game %8.1f  limit %8.1f MiB  +%.1f  [<= +20 MB %s]\n", g.peakRssMiB, l.peakRssMiB,
              g.peakRssMiB - l.peakRssMiB, Verdict((g.peakRssMiB - l.peakRssMiB) * 1.048576 <= 20.0));
  std::fflush(stdout);
  return g.fps > 0 && l.fps > 0 && (loaded || !o.load);
}

std::string Load() {
  double load[3] = {0, 0, 0};
  if (getloadavg(load, 3) != 3) return "unknown";
  char text[64];
  std::snprintf(text, sizeof text, "%.2f %.2f %.2f", load[0], load[1], load[2]);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  o.game = Beside(argv[0], "vantorel");
  o.limit = Beside(argv[0], "vantorel_limit");
  o.probe = Beside(argv[0], "libvantorel_frame_probe.so");
  for (int a = 1; a < argc; ++a) {
    const std::string option = argv[a];
    const char* value = a + 1 < argc ? argv[a + 1] : "";
    if (option == "--smoke") {
      o.seconds = 1.0;
      o.load = false;
    } else if (option == "--no-load") {
      o.load = false;
    } else if (option == "--seconds" && *value) {
      o.seconds = std::max(1.0, std::atof(value)), ++a;
    } else if (option == "--budget" && *value) {
      o.budgetSeconds = std::atof(value), ++a;
    } else if (option == "--flight-seconds" && *value) {
      o.flightSeconds = std::atof(value), ++a;
    } else if (option == "--game" && *value) {
      o.game = value, ++a;
    } else if (option == "--limit" && *value) {
      o.limit = value, ++a;
    } else if (option == "--probe" && *value) {
      o.probe = value, ++a;
    } else if (option == "--keep" && *value) {
      o.workDir = value, o.keep = true, ++a;
    } else if (option == "--modes" && *value) {
      o.modes.clear();
      std::istringstream list(value);
      std::string mode;
      while (std::getline(list, mode, ',')) {
        int w = 0, h = 0;
        if (std::sscanf(mode.c_str(), "%dx%d", &w, &h) == 2 && w > 0 && h > 0) o.modes.push_back({w, h});
      }
      ++a;
    } else {
      std::fprintf(stderr, "vantorel_bench: unknown option %s (see the comment at the top of bench_runner.cpp)\n",
                   option.c_str());
      return 2;
    }
  }
  if (!std::getenv("DISPLAY")) {
    std::fprintf(stderr, "vantorel_bench: no X display (DISPLAY is not set)\n");
    return 2;
  }
  for (std::string* path : {&o.game, &o.limit, &o.probe}) {
    char resolved[4096];
    if (!realpath(path->c_str(), resolved)) {
      std::fprintf(stderr, "vantorel_bench: %s not found\n", path->c_str());
      return 2;
    }
    *path = resolved;
  }
  if (o.workDir.empty()) {
    char pattern[] = "/tmp/vantorel-bench-XXXXXX";
    if (!mkdtemp(pattern)) return 2;
    o.workDir = pattern;
  } else {
    RunTool({"mkdir", "-p", o.workDir}, 10);
  }
  // The game finds res.dll beside its program; the work folder is only its working directory.
  std::printf("vantorel benchmark: %.1f s of play a mode, load average before: %s, %u processors\n", o.seconds,
              Load().c_str(), std::thread::hardware_concurrency());
  if (o.budgetSeconds > 0) g_runEndNs = NowNs() + static_cast<int64_t>(o.budgetSeconds * 1e9);
  bool all = true;
  for (const auto& mode : o.modes) all = RunMode(o, mode.first, mode.second) && all;
  std::printf("load average after: %s\n", Load().c_str());
  if (!o.keep) RunTool({"rm", "-rf", o.workDir}, 30);
  return all ? 0 : 1;
}

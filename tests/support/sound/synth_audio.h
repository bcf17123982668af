// Small audio files made in memory for the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A 16-bit mono PCM WAV file: a sine tone.
std::vector<unsigned char> MakeSineWav(int sampleRate, int frequency, int milliseconds, int amplitude);

// A four-channel MOD song: one looped sampled instrument (a square wave) started on
// channel 0 in row 0, and a pattern break in row `rows - 1`, so the song ends after
// `rows` rows (120 ms each at the default speed and tempo).
std::vector<unsigned char> MakeShortMod(int rows);

// Largest absolute value of the signed 16-bit samples in `bytes`.
int PeakOf16BitSamples(const std::vector<unsigned char>& bytes);

// A fresh directory under TMPDIR (or /tmp); RemoveTree deletes it again.
std::string MakeTempDir();
void RemoveTree(const std::string& path);
std::vector<unsigned char> ReadWholeFile(const std::string& path);

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string m_name;
  std::string m_old;
  bool m_hadOld;
};

// A fresh temporary directory that is the working directory for the lifetime of the
// object (for code that keeps its files there); then the old one is back and the
// directory is gone.
class ScopedWorkDir {
 public:
  ScopedWorkDir();
  ~ScopedWorkDir();
  const std::string& Path() const { return m_path; }
  ScopedWorkDir(const ScopedWorkDir&) = delete;
  ScopedWorkDir& operator=(const ScopedWorkDir&) = delete;

 private:
  std::string m_path;
  std::string m_old;
};

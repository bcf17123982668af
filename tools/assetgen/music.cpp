// Background songs: 4-channel "M.K." modules with synthesised 8-bit instruments.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "tools/assetgen/random.h"
#include "tools/assetgen/sounds.h"

namespace assetgen {

namespace {

constexpr float kPi = 3.14159265358979f;
// Playback rate of a sample at note C-3 (period 214) on a PAL machine clock.
constexpr float kC3Rate = 7093789.2f / (214 * 2);
constexpr int kCycle = 64;  // samples per cycle of the tonal instruments: one cycle per C-3 pitch

const int kPeriods[36] = {856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,
                          428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226,
                          214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113};

enum Instrument { kNone = 0, kKick, kSnare, kHat, kBass, kPad, kLead, kBell, kInstrumentCount };

struct Sample {
  std::string name;
  std::vector<int8_t> data;  // even length
  int volume = 64;
  size_t loopStart = 0, loopLength = 0;  // in samples; length 0: no loop
};

int8_t ToS8(float v) { return static_cast<int8_t>(std::lround(std::clamp(v, -1.0f, 1.0f) * 127.0f)); }

Sample Drum(const char* name, float seconds, uint32_t seed, int kind) {
  Sample s{name, {}, 64, 0, 0};
  const size_t n = static_cast<size_t>(seconds * kC3Rate) & ~size_t{1};
  Random random(seed);
  float phase = 0, low = 0;
  for (size_t i = 0; i < n; ++i) {
    const float t = static_cast<float>(i) / kC3Rate;
    float v = 0;
    if (kind == kKick) {
      const float f = 45 + 110 * std::exp(-t / 0.03f);
      phase += 2 * kPi * f / kC3Rate;
      v = std::sin(phase) * std::exp(-t / 0.12f) + random.Range(-0.3f, 0.3f) * std::exp(-t / 0.004f);
    } else if (kind == kSnare) {
      phase += 2 * kPi * 190 / kC3Rate;
      const float white = random.Range(-1, 1);
      low += (white - low) * 0.6f;
      v = low * std::exp(-t / 0.07f) * 0.9f + std::sin(phase) * std::exp(-t / 0.04f) * 0.6f;
    } else {
      const float white = random.Range(-1, 1);
      low += (white - low) * 0.5f;
      v = (white - low) * 1.6f * std::exp(-t / 0.018f);
    }
    s.data.push_back(ToS8(v * 0.95f));
  }
  return s;
}

// A tonal instrument of `cycles` periods of kCycle / octaveUp samples; `wave` gives one
// cycle's value at phase p (0..1) with brightness b (1 at the attack, 0 later).
template <typename Wave>
Sample Tonal(const char* name, int cycles, int loopCycles, int octaveUp, float decayCycles, int volume, Wave wave) {
  Sample s{name, {}, volume, 0, 0};
  const int period = kCycle >> octaveUp;
  for (int c = 0; c < cycles; ++c) {
    const float b = std::exp(-c / decayCycles);
    for (int i = 0; i < period; ++i) s.data.push_back(ToS8(wave(static_cast<float>(i) / period, c < cycles - loopCycles ? b : std::exp(-(cycles - loopCycles) / decayCycles))));
  }
  if (loopCycles > 0) {
    s.loopStart = static_cast<size_t>((cycles - loopCycles) * period);
    s.loopLength = static_cast<size_t>(loopCycles * period);
  }
  return s;
}

float Saw(float p, int harmonics) {
  float v = 0;
  for (int h = 1; h <= harmonics; ++h) v += std::sin(2 * kPi * h * p) / h;
  return v * 0.6f;
}

std::vector<Sample> Instruments() {
  std::vector<Sample> samples;
  samples.push_back(Drum("kick", 0.3f, 1, kKick));
  samples.push_back(Drum("snare", 0.22f, 2, kSnare));
  samples.push_back(Drum("hat", 0.07f, 3, kHat));
  samples.push_back(Tonal("bass", 40, 8, 0, 10, 56, [](float p, float b) {
    return Saw(p, 2 + static_cast<int>(8 * b)) * (0.75f + 0.25f * b) + 0.35f * std::sin(2 * kPi * p);
  }));
  samples.push_back(Tonal("pad", 16, 16, 0, 1000, 22, [](float p, float) {
    const float tri = 1 - 4 * std::fabs(p - 0.5f);
    return 0.7f * tri + 0.25f * std::sin(4 * kPi * p) + 0.1f * std::sin(6 * kPi * p);
  }));
  samples.push_back(Tonal("lead", 96, 16, 1, 30, 44, [](float p, float b) {
    // A soft pulse that mellows after the attack.
    float v = 0;
    const float duty = 0.3f;
    for (int h = 1; h <= 3 + static_cast<int>(6 * b); ++h) v += std::sin(kPi * h * duty) / h * std::cos(2 * kPi * h * (p - duty / 2));
    return v * 0.9f + 0.3f * std::sin(2 * kPi * p);
  }));
  {
    Sample bell{"bell", {}, 50, 0, 0};
    const size_t n = static_cast<size_t>(1.2f * kC3Rate) & ~size_t{1};
    const float f = kC3Rate / kCycle;
    for (size_t i = 0; i < n; ++i) {
      const float t = static_cast<float>(i) / kC3Rate;
      const float v = std::sin(2 * kPi * f * t) * std::exp(-t / 0.5f) + 0.5f * std::sin(4 * kPi * f * t) * std::exp(-t / 0.25f) +
                      0.25f * std::sin(6 * kPi * f * t) * std::exp(-t / 0.12f) + 0.15f * std::sin(8 * kPi * f * t) * std::exp(-t / 0.06f);
      bell.data.push_back(ToS8(v * 0.55f));
    }
    samples.push_back(bell);
  }
  for (Sample& s : samples)
    if (s.data.size() % 2) s.data.push_back(0);
  return samples;
}

struct Cell {
  int instrument = 0;
  int note = -1;  // index into kPeriods
  int effect = 0, param = 0;
};

using Pattern = std::array<std::array<Cell, 4>, 64>;

enum Channel { kDrums = 0, kBassLine = 1, kChords = 2, kMelody = 3 };

struct Chord {
  int root;  // semitone above C
  bool minor;
};

struct SongPlan {
  const char* title;
  int tempo, speed;
  uint32_t seed;
  Chord verse[4], bridge[4];
  int scale[7];  // semitones of the scale
  int rhythm[2][16];  // melody onsets of the two halves of a phrase (1 = note)
  int bassStyle;
};

// The scale tone nearest to `note` that belongs to the chord (root, third, fifth).
int NearestChordTone(int note, const Chord& chord, int lo, int hi) {
  int best = note, bestDistance = 99;
  const int tones[3] = {chord.root, chord.root + (chord.minor ? 3 : 4), chord.root + 7};
  for (int n = lo; n <= hi; ++n)
    for (int t : tones)
      if ((n - t + 120) % 12 == 0 && std::abs(n - note) < bestDistance) {
        best = n;
        bestDistance = std::abs(n - note);
      }
  return best;
}

int ScaleStep(int note, int steps, const int scale[7], int lo, int hi) {
  // Walk the scale from the nearest scale tone.
  int n = note;
  const int dir = steps > 0 ? 1 : -1;
  for (int k = 0; k < std::abs(steps); ++k) {
    do {
      n += dir;
    } while (std::find(scale, scale + 7, (n % 12 + 12) % 12) == scale + 7);
  }
  return std::clamp(n, lo, hi);
}

// A four-bar melody over the chords; bars are 16 rows.
std::array<int, 64> Melody(const SongPlan& plan, const Chord chords[4], Random& random, int lo, int hi) {
  std::array<int, 64> notes;
  notes.fill(-1);
  int current = (lo + hi) / 2;
  for (int bar = 0; bar < 4; ++bar) {
    const int* rhythm = plan.rhythm[bar % 2];
    for (int step = 0; step < 16; ++step) {
      if (!rhythm[step]) continue;
      if (step % 8 == 0 || random.Uniform() < 0.3f) {
        current = NearestChordTone(current + random.Int(-3, 3), chords[bar], lo, hi);
      } else {
        int move = random.Int(-2, 2);
        if (move == 0) move = 1;
        current = ScaleStep(current, move, plan.scale, lo, hi);
      }
      notes[static_cast<size_t>(bar * 16 + step)] = current;
    }
  }
  // Phrases end on the root of the last chord.
  for (int step = 63; step >= 48; --step)
    if (notes[static_cast<size_t>(step)] >= 0) {
      notes[static_cast<size_t>(step)] = NearestChordTone(chords[3].root + 24, Chord{chords[3].root, false}, lo, hi);
      break;
    }
  return notes;
}

void Drums(Pattern& p, int intensity, bool fill) {
  for (int bar = 0; bar < 4; ++bar)
    for (int step = 0; step < 16; ++step) {
      Cell& c = p[static_cast<size_t>(bar * 16 + step)][kDrums];
      if (step == 0 || step == 8 || (intensity > 1 && step == 10)) {
        c = {kKick, 24, 0, 0};
      } else if ((step == 4 || step == 12) && intensity > 0) {
        c = {kSnare, 24, 0, 0};
      } else if (step % 2 == 0 && intensity > 0) {
        c = {kHat, 24, 0xC, step % 4 == 2 ? 40 : 28};
      } else if (intensity > 2 && step % 2 == 1) {
        c = {kHat, 24, 0xC, 16};
      }
      if (fill && bar == 3 && step >= 12) c = {kSnare, 24, 0xC, 30 + (step - 12) * 10};
    }
}

void Bass(Pattern& p, const Chord chords[4], int style) {
  static const int patterns[3][16] = {
      {0, -1, -1, -1, -1, -1, 0, -1, 7, -1, -1, -1, 12, -1, 7, -1},
      {0, -1, 0, -1, 12, -1, 0, -1, 0, -1, 12, -1, 7, -1, 0, 12},
      {0, -1, -1, -1, -1, -1, -1, -1, 7, -1, -1, -1, -1, -1, 5, -1},
  };
  for (int bar = 0; bar < 4; ++bar)
    for (int step = 0; step < 16; ++step) {
      const int offset = patterns[style][step];
      if (offset < 0) continue;
      const int note = chords[bar].root + offset;  // lowest octave
      p[static_cast<size_t>(bar * 16 + step)][kBassLine] = {kBass, std::clamp(note, 0, 23), 0, 0};
    }
}

void Chords(Pattern& p, const Chord chords[4], bool soft) {
  for (int bar = 0; bar < 4; ++bar)
    for (int step = 0; step < 16; ++step) {
      Cell& c = p[static_cast<size_t>(bar * 16 + step)][kChords];
      c.effect = 0;  // arpeggio through the chord every row
      c.param = chords[bar].minor ? 0x37 : 0x47;
      if (step == 0) {
        c.instrument = kPad;
        c.note = 12 + chords[bar].root;
      }
      if (soft && step == 0) {
        // Quieter in the intro.
        c.effect = 0xC;
        c.param = 14;
      }
    }
}

void Lead(Pattern& p, const std::array<int, 64>& notes, Instrument instrument) {
  for (int row = 0; row < 64; ++row) {
    Cell& c = p[static_cast<size_t>(row)][kMelody];
    if (notes[static_cast<size_t>(row)] >= 0) {
      c = {instrument, notes[static_cast<size_t>(row)], 0, 0};
    } else if (row > 0 && instrument == kLead) {
      c.effect = 4;  // vibrato on held notes
      c.param = 0x43;
    }
  }
}

std::vector<uint8_t> WriteModule(const char* title, const std::vector<Sample>& samples, const std::vector<Pattern>& patterns,
                                 const std::vector<int>& order) {
  std::vector<uint8_t> out(20, 0);
  std::memcpy(out.data(), title, std::min<size_t>(19, std::strlen(title)));
  auto be16 = [&out](size_t v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
  };
  for (int i = 0; i < 31; ++i) {
    std::array<uint8_t, 22> name{};
    if (static_cast<size_t>(i) < samples.size())
      std::memcpy(name.data(), samples[static_cast<size_t>(i)].name.c_str(), std::min<size_t>(21, samples[static_cast<size_t>(i)].name.size()));
    out.insert(out.end(), name.begin(), name.end());
    if (static_cast<size_t>(i) < samples.size()) {
      const Sample& s = samples[static_cast<size_t>(i)];
      be16(s.data.size() / 2);
      out.push_back(0);  // finetune
      out.push_back(static_cast<uint8_t>(s.volume));
      be16(s.loopLength ? s.loopStart / 2 : 0);
      be16(s.loopLength ? s.loopLength / 2 : 1);
    } else {
      be16(0);
      out.push_back(0);
      out.push_back(0);
      be16(0);
      be16(1);
    }
  }
  out.push_back(static_cast<uint8_t>(order.size()));
  out.push_back(127);
  for (int i = 0; i < 128; ++i) out.push_back(static_cast<uint8_t>(i < static_cast<int>(order.size()) ? order[static_cast<size_t>(i)] : 0));
  out.insert(out.end(), {'M', '.', 'K', '.'});
  for (const Pattern& p : patterns)
    for (const auto& row : p)
      for (const Cell& c : row) {
        const int period = c.note >= 0 ? kPeriods[c.note] : 0;
        out.push_back(static_cast<uint8_t>((c.instrument & 0xF0) | (period >> 8)));
        out.push_back(static_cast<uint8_t>(period & 0xFF));
        out.push_back(static_cast<uint8_t>(((c.instrument & 0x0F) << 4) | (c.effect & 0x0F)));
        out.push_back(static_cast<uint8_t>(c.param));
      }
  for (const Sample& s : samples)
    for (int8_t v : s.data) out.push_back(static_cast<uint8_t>(v));
  return out;
}

std::vector<uint8_t> Compose(const SongPlan& plan, const std::vector<Sample>& samples) {
  Random random(plan.seed);
  const int lo = 14, hi = 33;  // melody range
  const std::array<int, 64> melodyA = Melody(plan, plan.verse, random, lo, hi);
  std::array<int, 64> melodyB = Melody(plan, plan.verse, random, lo, hi);
  // Call and answer: the second verse starts like the first.
  std::copy(melodyA.begin(), melodyA.begin() + 32, melodyB.begin());
  const std::array<int, 64> melodyC = Melody(plan, plan.bridge, random, lo, hi);

  std::vector<Pattern> patterns(6);
  // 0: intro, 1: verse A, 2: verse B, 3: bridge, 4: break, 5: verse A with busier drums.
  Drums(patterns[0], 0, false);
  Chords(patterns[0], plan.verse, true);
  Bass(patterns[0], plan.verse, 2);
  for (int k : {1, 2, 5}) {
    Drums(patterns[static_cast<size_t>(k)], k == 5 ? 3 : 2, k == 2);
    Bass(patterns[static_cast<size_t>(k)], plan.verse, plan.bassStyle);
    Chords(patterns[static_cast<size_t>(k)], plan.verse, false);
  }
  Lead(patterns[1], melodyA, kLead);
  Lead(patterns[2], melodyB, kLead);
  Lead(patterns[5], melodyA, kLead);
  Drums(patterns[3], 1, true);
  Bass(patterns[3], plan.bridge, 2);
  Chords(patterns[3], plan.bridge, false);
  Lead(patterns[3], melodyC, kBell);
  Drums(patterns[4], 1, false);
  Bass(patterns[4], plan.verse, plan.bassStyle);
  Chords(patterns[4], plan.verse, false);
  Lead(patterns[4], melodyC, kBell);
  // Tempo and speed at the start.
  patterns[0][0][kMelody].effect = 0xF;
  patterns[0][0][kMelody].param = plan.speed;
  patterns[0][1][kMelody].effect = 0xF;
  patterns[0][1][kMelody].param = plan.tempo;
  const std::vector<int> order = {0, 1, 2, 4, 1, 2, 3, 5, 2, 3, 5, 1};
  return WriteModule(plan.title, samples, patterns, order);
}

}  // namespace

std::vector<SoundAsset> MakeSongs() {
  const std::vector<Sample> samples = Instruments();
  const SongPlan plans[3] = {
      // Bright and moving: C G Am F, bridge Dm G C Am.
      {"Vantorel: Sunlit Board", 125, 6, 101, {{0, false}, {7, false}, {9, true}, {5, false}},
       {{2, true}, {7, false}, {0, false}, {9, true}}, {0, 2, 4, 5, 7, 9, 11},
       {{1, 0, 0, 1, 0, 0, 1, 0, 1, 0, 1, 0, 1, 0, 0, 0}, {1, 0, 1, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0}}, 0},
      // Calm: Am F C G, bridge F G Em Am.
      {"Vantorel: Still Water", 100, 6, 202, {{9, true}, {5, false}, {0, false}, {7, false}},
       {{5, false}, {7, false}, {4, true}, {9, true}}, {0, 2, 4, 5, 7, 9, 11},
       {{1, 0, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0}, {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}}, 2},
      // Driving minor: Dm Bb C A, bridge Gm Dm Bb A.
      {"Vantorel: Deep Current", 140, 6, 303, {{2, true}, {10, false}, {0, false}, {9, false}},
       {{7, true}, {2, true}, {10, false}, {9, false}}, {0, 2, 4, 5, 7, 9, 10},
       {{1, 0, 1, 0, 0, 1, 0, 1, 1, 0, 1, 0, 0, 1, 0, 0}, {1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 0, 1, 1, 0, 0, 0}}, 1},
  };
  std::vector<SoundAsset> songs;
  const char* names[3] = {"GameFone1", "GameFone2", "GameFone3"};
  for (int i = 0; i < 3; ++i) songs.push_back({names[i], Compose(plans[i], samples)});
  return songs;
}

double ModuleSeconds(const std::vector<uint8_t>& module) {
  if (module.size() < 1084 || std::memcmp(&module[1080], "M.K.", 4) != 0) return -1;
  const int length = module[950];
  int patternCount = 0;
  for (int i = 0; i < 128; ++i) patternCount = std::max(patternCount, module[952 + static_cast<size_t>(i)] + 1);
  if (module.size() < 1084 + static_cast<size_t>(patternCount) * 1024) return -1;
  int speed = 6, tempo = 125;
  double seconds = 0;
  for (int pos = 0; pos < length; ++pos) {
    const size_t base = 1084 + static_cast<size_t>(module[952 + static_cast<size_t>(pos)]) * 1024;
    for (int row = 0; row < 64; ++row) {
      bool breakRow = false;
      for (int ch = 0; ch < 4; ++ch) {
        const uint8_t* cell = &module[base + static_cast<size_t>(row) * 16 + static_cast<size_t>(ch) * 4];
        const int effect = cell[2] & 0x0F, param = cell[3];
        if (effect == 0xF && param > 0) (param < 32 ? speed : tempo) = param;
        if (effect == 0xD || effect == 0xB) breakRow = true;
      }
      seconds += speed * 2.5 / tempo;
      if (breakRow) break;
    }
  }
  return seconds;
}

}  // namespace assetgen

// One resource read as the game makes it: load the library, find the resource, lock
// it, free the library. Run from the build folder, beside the generated res.dll.
#include <benchmark/benchmark.h>

#include "engine/resourcebytes.h"

namespace {

// Touches one byte of every cache line, as a decoder reading the resource would.
unsigned Touch(const void* pBytes, int nSize) {
  const unsigned char* p = static_cast<const unsigned char*>(pBytes);
  unsigned sum = 0;
  for (int i = 0; i < nSize; i += 64) sum += p[i];
  return sum;
}

// state.range(0): 1 when the bytes are read too.
void BM_ReadResource(benchmark::State& state) {
  const char* const kNames[] = {"BallTex", "Caust00", "FloorWall", "GroundEnvHi"};
  const bool bTouch = state.range(0) != 0;
  size_t nBytes = 0;
  int nRead = 0;
  for (auto _ : state) {
    CResourceBytes resource("res.dll", kNames[nRead++ % 4]);
    if (resource.GetResult() != CResourceBytes::OK) {
      state.SkipWithError("res.dll or its resources missing: run from the build folder");
      break;
    }
    nBytes += static_cast<size_t>(resource.Size());
    benchmark::DoNotOptimize(resource.Bytes());
    if (bTouch) benchmark::DoNotOptimize(Touch(resource.Bytes(), resource.Size()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(nBytes));
}
BENCHMARK(BM_ReadResource)->ArgName("read_bytes")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

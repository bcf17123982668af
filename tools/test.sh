#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UBSan, and runs every test
# under a virtual X display with software OpenGL and silent audio.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh

build=build-test
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DVANTOREL_SANITIZE=ON -DVANTOREL_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)"

# A short libFuzzer run of the .x reader, in a clang build of its own.
fuzz=build-fuzz
cmake -S . -B "$fuzz" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" \
  -DVANTOREL_SANITIZE=ON -DVANTOREL_FUZZ=ON >/dev/null
cmake --build "$fuzz" --target xfile_fuzz xfile_fuzz_seeds -j"$(nproc)" >/dev/null
corpus=$(mktemp -d)
"$fuzz/xfile_fuzz_seeds" "$corpus"
if ! "$fuzz/xfile_fuzz" -runs=20000 -max_total_time=60 -rss_limit_mb=2048 -artifact_prefix="$fuzz/" "$corpus" \
    >"$fuzz/xfile_fuzz.log" 2>&1; then
  tail -40 "$fuzz/xfile_fuzz.log"
  exit 1
fi
tail -1 "$fuzz/xfile_fuzz.log"
rm -rf "$corpus"

# The same for the packed archive reader.
cmake --build "$fuzz" --target archive_fuzz archive_fuzz_seeds -j"$(nproc)" >/dev/null
corpus=$(mktemp -d)
"$fuzz/archive_fuzz_seeds" "$corpus"
if ! "$fuzz/archive_fuzz" -runs=50000 -max_total_time=30 -rss_limit_mb=2048 -artifact_prefix="$fuzz/" "$corpus" \
    >"$fuzz/archive_fuzz.log" 2>&1; then
  tail -40 "$fuzz/archive_fuzz.log"
  exit 1
fi
tail -1 "$fuzz/archive_fuzz.log"
rm -rf "$corpus"

# The PE reader, the settings-file parser and the four image decoders, 25 seconds each.
cmake --build "$fuzz" --target pe_fuzz pe_fuzz_seeds registry_fuzz registry_fuzz_seeds png_fuzz jpeg_fuzz \
  bmp_fuzz tga_fuzz image_fuzz_seeds -j"$(nproc)" >/dev/null
seeds=$(mktemp -d)
mkdir "$seeds/pe" "$seeds/registry"
"$fuzz/pe_fuzz_seeds" "$seeds/pe"
"$fuzz/registry_fuzz_seeds" "$seeds/registry"
"$fuzz/image_fuzz_seeds" "$seeds"
for pair in pe_fuzz:pe registry_fuzz:registry png_fuzz:png jpeg_fuzz:jpeg bmp_fuzz:bmp tga_fuzz:tga; do
  target=${pair%%:*}
  if ! "$fuzz/$target" -max_total_time=25 -rss_limit_mb=2048 -artifact_prefix="$fuzz/$target-" "$seeds/${pair#*:}" \
      >"$fuzz/$target.log" 2>&1; then
    tail -40 "$fuzz/$target.log"
    exit 1
  fi
  tail -1 "$fuzz/$target.log"
done
rm -rf "$seeds"

export SDL_AUDIODRIVER=dummy
export LIBGL_ALWAYS_SOFTWARE=1
export VANTOREL_NO_DIALOGS=1
export VANTOREL_WINDOWED=1
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --test-dir "$build" --output-on-failure -j"$(nproc)"

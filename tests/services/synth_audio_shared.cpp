// The sound tests' audio makers and temporary directories, shared with these tests.
#include "tests/sound/synth_audio.cpp"

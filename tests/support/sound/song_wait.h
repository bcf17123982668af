// Waiting for a song played once to end, for the tests that play real audio.
#pragma once

#include <SDL.h>

#include "platform/sound/fmod.h"

// True once the song has finished; false when timeoutMs passes first.
bool WaitUntilFinished(FMUSIC_MODULE* song, Uint32 timeoutMs);

// Test seam of the sound library: the FSOUND/FMUSIC calls played by another backend
// (tests/support/sound/recording_sound_backend.h). Only tests include this.
#pragma once

class SoundBackend;

// Routes every call to `backend` (owned by the caller) instead of SDL2_mixer; null
// returns to SDL2_mixer. Closes the sound system of the previous backend first.
void FSOUND_UseBackendForTesting(SoundBackend* backend);

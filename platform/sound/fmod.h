// Sound effects (FSOUND) and tracker music (FMUSIC) for the game, over SDL2_mixer.
// Every call accepts a null or already freed handle and then does nothing (returns
// FALSE, null or -1). Samples and songs are freed by FSOUND_Close if the caller
// has not freed them before.
#pragma once

#include <cstddef>

// The library version the program is written against; FSOUND_GetVersion() is at least this.
#define FMOD_VERSION 3.6f

// Opaque handles.
struct FSOUND_SAMPLE;
struct FMUSIC_MODULE;

// Outputs accepted by FSOUND_SetOutput; all of them play through SDL.
enum FSOUND_OUTPUTTYPES {
  FSOUND_OUTPUT_NOSOUND = 0,
  FSOUND_OUTPUT_WINMM = 1,
  FSOUND_OUTPUT_DSOUND = 2,
  FSOUND_OUTPUT_A3D = 3,
  FSOUND_OUTPUT_OSS = 4,
  FSOUND_OUTPUT_ESD = 5,
  FSOUND_OUTPUT_ALSA = 6,
  FSOUND_OUTPUT_ASIO = 7,
  FSOUND_OUTPUT_XBOX = 8,
  FSOUND_OUTPUT_PS2 = 9,
  FSOUND_OUTPUT_MAC = 10,
  FSOUND_OUTPUT_GC = 11,
  FSOUND_OUTPUT_NOSOUND_NONREALTIME = 12,
};

// Sample index / channel selectors.
#define FSOUND_FREE (-1)
#define FSOUND_UNMANAGED (-2)
#define FSOUND_ALL (-3)

// FSOUND_Init flags (accepted, no effect here).
#define FSOUND_INIT_USEDEFAULTMIDISYNTH 0x01u
#define FSOUND_INIT_GLOBALFOCUS 0x02u
#define FSOUND_INIT_ENABLESYSTEMCHANNELFX 0x04u
#define FSOUND_INIT_ACCURATEVULEVELS 0x08u

// Sample modes.
#define FSOUND_LOOP_OFF 0x00000001u
#define FSOUND_LOOP_NORMAL 0x00000002u
#define FSOUND_LOOP_BIDI 0x00000004u
#define FSOUND_8BITS 0x00000008u
#define FSOUND_16BITS 0x00000010u
#define FSOUND_MONO 0x00000020u
#define FSOUND_STEREO 0x00000040u
#define FSOUND_UNSIGNED 0x00000080u
#define FSOUND_SIGNED 0x00000100u
#define FSOUND_2D 0x00002000u
#define FSOUND_LOADMEMORY 0x00008000u
#define FSOUND_NORMAL (FSOUND_16BITS | FSOUND_SIGNED | FSOUND_MONO)

// Start-up and shut-down.
float FSOUND_GetVersion();
signed char FSOUND_SetOutput(int outputType);  // only before FSOUND_Init
signed char FSOUND_SetDriver(int driver);      // only before FSOUND_Init; 0 is the default device
int FSOUND_GetOutput();
// Opens the audio device at mixRate Hz with maxSoftwareChannels sample channels.
// FALSE when the device cannot be opened. A second call closes and opens again.
signed char FSOUND_Init(int mixRate, int maxSoftwareChannels, unsigned int flags);
void FSOUND_Close();

// Samples. With FSOUND_LOADMEMORY nameOrData points at the encoded file (WAV, also
// OGG/FLAC when SDL2_mixer decodes them) of `length` bytes, starting at `offset`;
// without it nameOrData is a file name. The bytes are decoded into the sample, so the
// caller may free them at once. The index is ignored (FSOUND_FREE is usual).
FSOUND_SAMPLE* FSOUND_Sample_Load(int index, const char* nameOrData, unsigned int mode, int length);
FSOUND_SAMPLE* FSOUND_Sample_Load(int index, const char* nameOrData, unsigned int mode, int offset, int length);
void FSOUND_Sample_Free(FSOUND_SAMPLE* sample);
// Plays the sample once (looping if it was loaded with FSOUND_LOOP_NORMAL) on the given
// channel or, with FSOUND_FREE, on any free one. Returns the channel, or -1.
int FSOUND_PlaySound(int channel, FSOUND_SAMPLE* sample);
signed char FSOUND_StopSound(int channel);  // FSOUND_ALL stops every channel
signed char FSOUND_IsPlaying(int channel);
// Master volume of all samples, 0..255 (clamped).
void FSOUND_SetSFXMasterVolume(int volume);
int FSOUND_GetSFXMasterVolume();

// Songs (MOD, S3M, XM, IT). The song keeps its own copy of the bytes.
FMUSIC_MODULE* FMUSIC_LoadSongMemory(const void* data, int length);
FMUSIC_MODULE* FMUSIC_LoadSong(const char* fileName);
signed char FMUSIC_FreeSong(FMUSIC_MODULE* song);
// One song plays at a time: playing a song stops the one playing before.
signed char FMUSIC_PlaySong(FMUSIC_MODULE* song);
signed char FMUSIC_StopSong(FMUSIC_MODULE* song);
void FMUSIC_StopAllSongs();
// Takes effect at the next FMUSIC_PlaySong. Songs loop until this is set to FALSE.
signed char FMUSIC_SetLooping(FMUSIC_MODULE* song, signed char looping);
// Song volume 0..256 (clamped).
signed char FMUSIC_SetMasterVolume(FMUSIC_MODULE* song, int volume);
int FMUSIC_GetMasterVolume(FMUSIC_MODULE* song);
// TRUE once a song played without looping has reached its end (not after StopSong).
signed char FMUSIC_IsFinished(FMUSIC_MODULE* song);
signed char FMUSIC_IsPlaying(FMUSIC_MODULE* song);
signed char FMUSIC_SetPaused(FMUSIC_MODULE* song, signed char pause);
signed char FMUSIC_GetPaused(FMUSIC_MODULE* song);

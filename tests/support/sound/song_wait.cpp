#include "tests/support/sound/song_wait.h"

bool WaitUntilFinished(FMUSIC_MODULE* song, Uint32 timeoutMs) {
  const Uint32 start = SDL_GetTicks();
  while (!FMUSIC_IsFinished(song)) {
    if (SDL_GetTicks() - start > timeoutMs) return false;
    SDL_Delay(20);
  }
  return true;
}

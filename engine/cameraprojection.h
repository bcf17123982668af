// The projection both cameras give the context each frame.
#pragma once

class CGameContext;

// A quarter-turn field of view over the viewport's aspect, near 0.1 and far 1000. A
// zero width or height (no device yet) would give a broken aspect: the last projection
// is kept then.
void SetCameraProjection(CGameContext* pContext);

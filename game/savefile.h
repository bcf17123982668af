// The one saved game, "Vantorel.sav" in the working directory: 340 bytes of signed
// 32-bit little-endian values, the board (cell (i, j) at 36 i + 4 j), the three
// preview colours and the score.
#pragma once

#include "platform/win32/win32.h"

class CGameContext;

extern const char SAVE_FILE_NAME[];
enum { SAVE_FILE_SIZE = 340 };

// Writes the board, preview and score, only while the board is at rest. Cells of a
// run being removed are stored as empty, a preview colour out of range as none and
// the score capped into 0..9999, so a file written here always loads. S_OK when
// written, S_FALSE when the board is not at rest (nothing written), E_FAIL (logged,
// the old file kept) when the write failed or the file is read-only or not a regular
// file.
HRESULT SaveGame(CGameContext* pContext);

// Reads a saved game into the context, clears undo, raises the best score to the
// loaded score and asks the game application to rebuild the balls. S_FALSE when there
// is no file. A file of another size or with a value out of range, or one that cannot
// be read (not a regular file, no permission), changes nothing: E_FAIL and a "FAIL: "
// log entry.
HRESULT LoadGame(CGameContext* pContext);

// The facts of the board: its size, what a cell can hold and the on-board test.
#pragma once

enum : int {
  BOARD_SIZE = 9,
  BOARD_CELLS = BOARD_SIZE * BOARD_SIZE,
  // A move waits while more balls than this are on the board and some are still
  // being removed: the board may be about to have room for it.
  BOARD_DEFER_MOVE_BALLS = BOARD_CELLS - 3,
};

// Cell values of m_Board besides the colours 1..7.
enum : int {
  CELL_EMPTY = 0,
  CELL_FIRST_COLOUR = 1,
  CELL_LAST_COLOUR = 7,
  CELL_IN_RUN = 80,    // in a run just found
  CELL_REMOVING = 81,  // being removed
};

// Whether column i and row j (0..8) name a cell of the board.
inline bool OnBoard(int i, int j) { return i >= 0 && i < BOARD_SIZE && j >= 0 && j < BOARD_SIZE; }

// Whether a cell value is a ball colour (not empty, not a transient run mark).
inline bool IsColour(int nValue) { return nValue >= CELL_FIRST_COLOUR && nValue <= CELL_LAST_COLOUR; }

// Where things of the game stand on the screen, worked out from the game's own
// camera and layout rules rather than measured by hand.
#pragma once

#include "platform/d3dx/d3dx8math.h"

struct ScreenPoint {
  int x = 0, y = 0;
};

class BoardView {
 public:
  // The view at the start of play: the game camera, run in this process through its
  // whole opening flight on a made-up clock, for a back buffer of that size.
  BoardView(int width, int height);

  ScreenPoint Project(float x, float y, float z) const;
  // Cell (i, j): world x = (i - 4) * 1.1, z = (j - 4) * 1.1. The top of the plate
  // (the pick boxes lie at 0.35..0.37) and the centre of a resting ball.
  ScreenPoint PlateCentre(int i, int j) const;
  ScreenPoint BallCentre(int i, int j) const;
  // The point at `height` over the middle of cell (i, j).
  ScreenPoint CellPoint(int i, int j, float height) const;
  // A point on the screen from the normalised cursor coordinates (-1..1, y down).
  ScreenPoint FromNormalised(float nx, float ny) const;

  int Width() const { return m_width; }
  int Height() const { return m_height; }

 private:
  int m_width;
  int m_height;
  D3DXMATRIX m_viewProjection;
};

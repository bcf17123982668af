#pragma once
// The textures of the resource library, generated procedurally.
#include <string>
#include <vector>

#include "tools/assetgen/image.h"

namespace assetgen {

enum class ImageFormat { kPng, kPngAlpha, kJpeg };

struct TextureAsset {
  std::string name;
  Image image;
  ImageFormat format = ImageFormat::kPng;
  std::string group;  // contact-sheet group
  // Drawn with pure black as the transparent colour key: edges are resampled the way the
  // loader does it (keyed texels count as transparent) and the file keeps that alpha.
  bool blackIsTransparent = false;
};

// The seven ball colours of the game (1..7) as displayed; index 0 is unused.
Color BallColour(int colour);
// The ball of that colour (1..7) as it shows in play: its material lit by the scene; index 0 is unused.
Color LitBallColour(int colour);
// A shaded sphere with highlight and soft shadow, for the 2D pictures.
void DrawBall(Image& image, float cx, float cy, float r, const Color& colour, bool shadow = true);

void AddWorldTextures(std::vector<TextureAsset>& out);   // ball, caustics, room, floor
void AddScreenTextures(std::vector<TextureAsset>& out);  // full-screen pictures and the menu strip
void AddSheetTextures(std::vector<TextureAsset>& out);   // digit, hint, symbol sheets and the options atlas

// The colour of the options screen's video (0) or game (1) panel at a height in the screen's
// 20 x 20 grid, as the backdrop paints it.
Color OptionsPanelColour(int panel, float gridY);

// The picture at the power-of-two size the runtime loader would scale it to, resampled as
// the loader does, so loading has nothing left to scale.
Image ToPowerOfTwo(const Image& image, bool blackIsTransparent);

std::vector<TextureAsset> MakeTextures();
std::vector<uint8_t> Encode(const TextureAsset& texture);

}  // namespace assetgen

#pragma once
// A small software renderer that shows the generated scene as the game's camera sees it,
// for looking at the meshes and textures together.
#include <vector>

#include "tools/assetgen/textures.h"

namespace assetgen {

// The board in its room with a few balls, from the camera's place after the opening
// flight (`tilted`: raised 0.5 radians more, looking toward the horizon).
Image ScenePreview(const std::vector<TextureAsset>& textures, bool tilted);

}  // namespace assetgen

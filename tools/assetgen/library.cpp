#include "tools/assetgen/library.h"

#include <algorithm>
#include <map>

#include "game/options_layout.h"
#include "tools/assetgen/mesh.h"
#include "tools/assetgen/preview.h"
#include "tools/assetgen/sounds.h"
#include "tools/assetgen/text.h"

namespace assetgen {

bool BuildLibrary(Library* library, std::string* error) {
  if (!LoadFonts(error)) return false;
  library->textures = MakeTextures();
  for (const TextureAsset& t : library->textures) {
    std::vector<uint8_t> bytes = Encode(t);
    if (bytes.empty()) {
      if (error) *error = "could not encode " + t.name;
      return false;
    }
    library->entries.push_back({t.name, std::move(bytes)});
  }
  for (const MeshAsset& m : MakeMeshes()) {
    // Every form the game's .x reader knows is in use: the board compressed, the cursor
    // binary, the rest as text.
    const std::string text = m.mesh.ToText(m.name);
    std::vector<uint8_t> bytes(text.begin(), text.end());
    if (m.name == "PlateFloor") bytes = m.mesh.ToBinary(m.name, true);
    if (m.name == "MouseModel") bytes = m.mesh.ToBinary(m.name, false);
    library->entries.push_back({m.name, std::move(bytes)});
  }
  for (SoundAsset& s : MakeSamples()) library->entries.push_back({s.name, std::move(s.data)});
  for (SoundAsset& s : MakeSongs()) library->entries.push_back({s.name, std::move(s.data)});
  return true;
}

namespace {

const Image* Find(const std::vector<TextureAsset>& textures, const std::string& name) {
  for (const TextureAsset& t : textures)
    if (t.name == name) return &t.image;
  return nullptr;
}

// The options screen at 1024 x 768 as the game lays it out: the picture, then atlas cells
// at their grid places (settings: 800x600, high detail on, surroundings off, track 2,
// volumes 80 and 180, moving board on, move style 4, plate texture 0), then the back button.
Image OptionsPreview(const std::vector<TextureAsset>& textures) {
  const Image* picture = Find(textures, "VantorelOptions");
  const Image* atlas = Find(textures, "OptTex");
  Image screen(1024, 768);
  if (!picture || !atlas) return screen;
  screen.Blit(*picture, 0, 0, 1024, 768);
  const float U = 1024 / 20.0f, V = 768 / 20.0f;
  auto quad = [&](float x, float y, float w, float h, float u, float v, float du, float dv) {
    Image cell(static_cast<int>(du * atlas->width()), static_cast<int>(dv * atlas->height()));
    for (int py = 0; py < cell.height(); ++py)
      for (int px = 0; px < cell.width(); ++px)
        cell.at(px, py) = atlas->at(static_cast<int>(u * atlas->width()) + px, static_cast<int>(v * atlas->height()) + py);
    Image scaled = cell.Resized(static_cast<int>(w * U), static_cast<int>(h * V));
    for (int py = 0; py < scaled.height(); ++py)
      for (int px = 0; px < scaled.width(); ++px) {
        const Color& c = scaled.at(px, py);
        if (c.r + c.g + c.b > 0.01f) screen.Blend(static_cast<int>(x * U) + px, static_cast<int>(y * V) + py, c, 1);
      }
  };
  namespace layout = options_layout;
  // Which quads show their cell on for those settings.
  const auto on = [](layout::Panel panel, int q) {
    switch (panel) {
      case layout::kVideo:
        return q == layout::VIDEO_MODES + 1 || q == layout::VIDEO_HIRES;
      case layout::kSound:
        return q == layout::SOUND_TRACKS + 1;
      default:
        return q == layout::GAME_PLATE_SWITCH || q == layout::GAME_LAMPS + 4;
    }
  };
  for (layout::Panel panel : {layout::kVideo, layout::kSound, layout::kGame})
    for (int q = 0; q < layout::kQuads[panel]; ++q) {
      layout::GridRect r = layout::Place(panel, q);
      if (panel == layout::kSound && q == layout::SOUND_MUSIC_KNOB) r.x = layout::KnobX(80);
      if (panel == layout::kSound && q == layout::SOUND_EFFECT_KNOB) r.x = layout::KnobX(180);
      const layout::AtlasCell c = layout::Cell(panel, q, on(panel, q));
      quad(r.x, r.y, r.w, r.h, c.u, c.v, c.du, c.dv);
    }
  const float bw = 1024 / 15.0f / U, bh = 768 / 20.0f / V;
  const layout::AtlasCell back = layout::BackButton(false);
  quad(bw, 20 - 2 * bh, bw, bh, back.u, back.v, back.du, back.dv);
  screen.Clamp();
  return screen;
}

}  // namespace

std::vector<TextureAsset> ContactSheets(const std::vector<TextureAsset>& textures) {
  std::map<std::string, std::vector<const TextureAsset*>> groups;
  for (const TextureAsset& t : textures) groups[t.group].push_back(&t);
  std::vector<TextureAsset> sheets;
  for (const auto& [group, members] : groups) {
    // Large pictures are shown at up to 512 pixels, the rest at up to 256.
    const int tile = members.size() > 12 ? 192 : 512;
    const int columns = members.size() > 12 ? 8 : 3;
    const int rows = static_cast<int>((members.size() + columns - 1) / columns);
    const int labelH = 28, pad = 12;
    Image sheet(columns * (tile + pad) + pad, rows * (tile + labelH + pad) + pad, Color{0.25f, 0.25f, 0.28f, 1});
    TextStyle label;
    label.font = FontStyle::kRegular;
    label.size = 20;
    for (size_t i = 0; i < members.size(); ++i) {
      const Image& picture = members[i]->image;
      const int col = static_cast<int>(i) % columns, row = static_cast<int>(i) / columns;
      const float scale = std::min(1.0f, std::min(tile / static_cast<float>(picture.width()), tile / static_cast<float>(picture.height())));
      const int w = std::max(1, static_cast<int>(picture.width() * scale)), h = std::max(1, static_cast<int>(picture.height() * scale));
      const int x = pad + col * (tile + pad), y = pad + row * (tile + labelH + pad);
      sheet.Blit(picture, x, y, w, h);
      DrawText(sheet, x, y + tile + 2, tile, labelH - 4, members[i]->name + " " + std::to_string(picture.width()) + "x" +
                                                             std::to_string(picture.height()),
               label);
    }
    sheet.Clamp();
    sheets.push_back({"contact-" + group, std::move(sheet), ImageFormat::kPng, group});
  }
  sheets.push_back({"preview-options", OptionsPreview(textures), ImageFormat::kPng, "preview"});
  sheets.push_back({"preview-scene", ScenePreview(textures, false), ImageFormat::kPng, "preview"});
  sheets.push_back({"preview-scene-tilted", ScenePreview(textures, true), ImageFormat::kPng, "preview"});
  return sheets;
}

}  // namespace assetgen

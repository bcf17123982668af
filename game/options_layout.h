// The options screen's quads, read by the game and by the resource generator alike: where
// each quad shows on the grid of 20 x 20 units over the back buffer, which cell of the
// atlas "OptTex" it shows and in what vertex colour. A quad is off or on (a lit button, a
// switch on, the lamp of the chosen style, the chosen floor): the game tells which from the
// settings; the generator paints every cell a quad can show.
#pragma once

#include <cstdint>

namespace options_layout {

// A rectangle in grid units (x to the right, y downward, 0..20 over the back buffer).
struct GridRect {
  float x, y, w, h;
};

// A cell of the atlas in fractions of its width and height.
struct AtlasCell {
  float u, v, du, dv;
};

constexpr bool operator==(const AtlasCell& a, const AtlasCell& b) {
  return a.u == b.u && a.v == b.v && a.du == b.du && a.dv == b.dv;
}
constexpr bool operator!=(const AtlasCell& a, const AtlasCell& b) { return !(a == b); }

enum Panel { kVideo, kSound, kGame };
constexpr int kPanels = 3;
constexpr int kQuads[kPanels] = {8, 11, 25};
// Unblended, a transparent texel shows its own colour: the generator paints the panel
// behind into those of the video and game cells.
constexpr bool kBlended[kPanels] = {false, true, false};

// The quads of each panel in the order of its vertex buffer.
enum { VIDEO_MODES = 3, VIDEO_HIRES = 6, VIDEO_ENVIRON = 7 };
enum { SOUND_TRACKS = 3, SOUND_RANDOM = 6, SOUND_MUSIC_KNOB = 9, SOUND_EFFECT_KNOB = 10 };
enum { GAME_PLATE_SWITCH = 4, GAME_STYLES = 5, GAME_LAMPS = 10, GAME_FLOORS = 15 };
constexpr int kModes = 3, kTracks = 3, kMoveStyles = 5, kFloorTextures = 5, kFloorChoices = 10;

constexpr uint32_t kPlainColor = 0xFFEEEEEE, kChosenFloor = 0xFFFFFFFF, kOtherFloor = 0xFFAAAAAA;

// --- Places ---------------------------------------------------------------------------------

constexpr GridRect kVideoPlaces[kQuads[kVideo]] = {
    {1.0f, 5.0f, 3.0f, 1.5f}, {1.0f, 6.9f, 3.0f, 1.0f}, {1.0f, 8.4f, 3.0f, 1.0f}, {4.3f, 5.1f, 1.5f, 1.3f},
    {6.0f, 5.1f, 1.5f, 1.3f}, {7.7f, 5.1f, 1.5f, 1.3f}, {4.5f, 6.7f, 1.0f, 1.3f}, {4.5f, 8.2f, 1.0f, 1.3f},
};
// The knobs' places are where the game moves them from, by the volume.
constexpr GridRect kSoundPlaces[kQuads[kSound]] = {
    {10.85f, 5.05f, 3.0f, 1.3f}, {10.85f, 6.55f, 3.0f, 1.3f}, {10.85f, 8.05f, 3.0f, 1.3f},
    {14.4f, 5.2f, 0.8f, 1.0f},   {15.4f, 5.2f, 0.8f, 1.0f},   {16.4f, 5.2f, 0.8f, 1.0f},
    {17.4f, 5.2f, 1.5f, 1.0f},   {14.4f, 6.55f, 4.5f, 1.3f},  {14.4f, 8.05f, 4.5f, 1.3f},
    {19.0f, 6.55f, 0.2f, 1.3f},  {19.0f, 8.05f, 0.2f, 1.3f},
};
// Game panel: four labels and the plate switch; the rows of style buttons, lamps and
// floor choices follow a step of 1.7 units.
constexpr GridRect kGamePlaces[GAME_STYLES] = {
    {4.3f, 12.2f, 3.0f, 1.5f}, {4.3f, 13.95f, 3.0f, 1.5f}, {4.3f, 15.7f, 3.0f, 1.5f},
    {4.3f, 17.45f, 3.0f, 1.5f}, {7.8f, 12.3f, 1.0f, 1.3f},
};
constexpr GridRect StylePlace(int k) { return {7.4f + 1.7f * k, 14.0f, 1.6f, 0.8f}; }
constexpr GridRect LampPlace(int k) { return {7.55f + 1.7f * k, 14.9f, 1.3f, 0.5f}; }
constexpr GridRect FloorPlace(int n) {
  return {7.7f + 1.7f * (n % kFloorTextures), 15.8f + 1.75f * (n / kFloorTextures), 1.0f, 1.3f};
}

// Where a knob shows for a volume (1..250): its left edge in grid units.
constexpr float KnobX(int volume) { return 14.59f + static_cast<float>(volume) * 0.01568f; }

constexpr GridRect Place(Panel panel, int q) {
  if (panel == kVideo) return kVideoPlaces[q];
  if (panel == kSound) return kSoundPlaces[q];
  if (q < GAME_STYLES) return kGamePlaces[q];
  if (q < GAME_LAMPS) return StylePlace(q - GAME_STYLES);
  if (q < GAME_FLOORS) return LampPlace(q - GAME_LAMPS);
  return FloorPlace(q - GAME_FLOORS);
}

// --- Cells ----------------------------------------------------------------------------------

// Resolution, high detail, surroundings.
constexpr AtlasCell kVideoLabels[VIDEO_MODES] = {{0, 11 / 27.0f, 1 / 3.0f, 4 / 27.0f},
                                                 {1 / 3.0f, 11 / 27.0f, 1 / 3.0f, 1.95f / 27},
                                                 {1 / 3.0f, 12.95f / 27, 1 / 3.0f, 1.95f / 27}};
constexpr AtlasCell ModeButton(int k, bool lit) { return {(2 * k + lit) / 6.0f, 0, 1 / 6.0f, 1 / 9.0f}; }
// Serves high detail, surroundings and the moving board.
constexpr AtlasCell Switch(bool on) { return {on ? 1 / 8.0f : 0.0f, 2 / 9.0f, 1 / 8.0f, 1 / 9.0f}; }

// Music track, music volume, sound volume.
constexpr AtlasCell SoundLabel(int k) { return {k / 3.0f, 5 / 9.0f, 0.99f / 3, 0.99f / 9}; }
constexpr AtlasCell TrackButton(int k, bool lit) { return {(2 * k + lit) / 9.0f, 7 / 9.0f, 1 / 9.0f, 0.8f / 9}; }
constexpr AtlasCell RandomButton(bool lit) { return {lit ? 5 / 6.0f : 4 / 6.0f, 7 / 9.0f, 1 / 6.0f, 0.8f / 9}; }
constexpr AtlasCell kSliderBar = {0, 1.02f / 9, 23 / 36.0f, 0.96f / 9};
constexpr AtlasCell kSliderKnob = {23 / 36.0f, 1 / 9.0f, 1 / 36.0f, 1 / 9.0f};

constexpr AtlasCell kBoardLabel = {2 / 3.0f, 11 / 27.0f, 1 / 3.0f, 3.95f / 27};
// Move style, plates, whole floor.
constexpr AtlasCell RowLabel(int k) { return {k / 3.0f, 2 / 3.0f, 1 / 3.0f, 0.95f / 9}; }
constexpr AtlasCell StyleButton(int k) { return {0.2f * k, 1 / 3.0f, 0.2f, 0.66666f / 9}; }
constexpr AtlasCell Lamp(bool lit) { return {1 / 4.0f, lit ? 2 / 9.0f : 2 / 9.0f + 1 / 18.0f, 1 / 6.0f, 1 / 18.0f}; }
// The back button the main menu draws over the options and help screens, normal and
// highlighted.
constexpr AtlasCell BackButton(bool lit) { return {2 / 3.0f, lit ? 2 / 9.0f : 1 / 9.0f, 1 / 3.0f, 1 / 9.0f}; }
// Plate textures 0..4, then whole-floor textures 0..4.
constexpr AtlasCell FloorChoice(int n) { return {0.1f * n, 8 / 9.0f, 0.1f, 1 / 9.0f}; }

constexpr AtlasCell Cell(Panel panel, int q, bool on) {
  if (panel == kVideo) {
    if (q < VIDEO_MODES) return kVideoLabels[q];
    if (q < VIDEO_HIRES) return ModeButton(q - VIDEO_MODES, on);
    return Switch(on);
  }
  if (panel == kSound) {
    if (q < SOUND_TRACKS) return SoundLabel(q);
    if (q < SOUND_RANDOM) return TrackButton(q - SOUND_TRACKS, on);
    if (q == SOUND_RANDOM) return RandomButton(on);
    return q < SOUND_MUSIC_KNOB ? kSliderBar : kSliderKnob;
  }
  if (q == 0) return kBoardLabel;
  if (q < GAME_PLATE_SWITCH) return RowLabel(q - 1);
  if (q == GAME_PLATE_SWITCH) return Switch(on);
  if (q < GAME_LAMPS) return StyleButton(q - GAME_STYLES);
  if (q < GAME_FLOORS) return Lamp(on);
  return FloorChoice(q - GAME_FLOORS);
}

// The floor choices not chosen are dimmed.
constexpr uint32_t VertexColor(Panel panel, int q, bool on) {
  if (panel != kGame || q < GAME_FLOORS) return kPlainColor;
  return on ? kChosenFloor : kOtherFloor;
}

}  // namespace options_layout

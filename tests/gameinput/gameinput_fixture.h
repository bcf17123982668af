// A started game context (sound through the recording backend, the DirectInput
// stand-in fed with synthetic SDL events), a 640x480 screen, a camera looking at the
// board, a log and a resource library with the middle button's sound.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "engine/gamecontext.h"
#include "engine/listengine.h"
#include "platform/dinput/dinput_testing.h"
#include "tests/support/input_events.h"
#include "tests/support/sound/recording_sound_backend.h"

class GameInputTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // One pass of the message loop, which hands the events to the devices, then one frame
  // of the scene list, dwElapsed ms after the last one.
  void Input(std::vector<SDL_Event> events, DWORD dwElapsed = 5);
  void Frame(DWORD dwElapsed = 5) { Input({}, dwElapsed); }
  // Points the pick ray from vEye through vTarget (the view looks along it).
  void Aim(const D3DXVECTOR3& vEye, const D3DXVECTOR3& vTarget);
  std::string LogText();

  RecordingSoundBackend sound;
  CGameContext ctx;
  CListEngine list;
  std::string dir, library;
  std::FILE* log = nullptr;
};

// The process entry: the one game context, the game application on the stack, Create
// and the message loop.
#include "engine/gamecontext.h"
#include "game/gameapp.h"

// Every field starts at zero before the entry runs; every object keeps its address.
CGameContext g_GameContext;

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
  CGameApp app(&g_GameContext);
  return D3DAppMain(&app, hInstance);
}

int main() { return WinMain(GetModuleHandle(nullptr), nullptr, nullptr, 0); }

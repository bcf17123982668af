#include "platform/win32/win32.h"

#include <SDL.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

namespace {
thread_local DWORD g_lastError = 0;
}

DWORD GetTickCount() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<DWORD>(ms);
}

void Sleep(DWORD milliseconds) {
  timespec ts;
  ts.tv_sec = milliseconds / 1000;
  ts.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

void OutputDebugStringA(LPCSTR text) {
  if (text) std::fputs(text, stderr);
}

DWORD GetLastError() { return g_lastError; }
void SetLastError(DWORD error) { g_lastError = error; }

bool Win32IsHeadless() {
  const char* noDialogs = std::getenv("VANTOREL_NO_DIALOGS");
  if (noDialogs && *noDialogs && std::strcmp(noDialogs, "0") != 0) return true;
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return !(display && *display) && !(wayland && *wayland);
}

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
  const char* title = caption ? caption : "Error";
  const char* body = text ? text : "";
  std::fprintf(stderr, "[%s] %s\n", title, body);
  if (Win32IsHeadless()) return (type & 0xF) == MB_YESNO ? IDNO : IDOK;

  Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
  const UINT icon = type & 0xF0;
  if (icon == MB_ICONERROR) flags = SDL_MESSAGEBOX_ERROR;
  else if (icon == MB_ICONWARNING) flags = SDL_MESSAGEBOX_WARNING;
  if ((type & 0xF) != MB_YESNO) {
    SDL_ShowSimpleMessageBox(flags, title, body, nullptr);
    return IDOK;
  }
  const SDL_MessageBoxButtonData buttons[] = {
      {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, "No"},
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"},
  };
  const SDL_MessageBoxData data = {flags, nullptr, title, body, 2, buttons, nullptr};
  int pressed = IDNO;
  if (SDL_ShowMessageBox(&data, &pressed) != 0) return IDNO;
  return pressed;
}

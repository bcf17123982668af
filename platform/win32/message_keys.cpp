#include "platform/win32/message_keys.h"

#include <SDL.h>

#include "platform/win32/winuser.h"

namespace win32window {

KeyInfo KeyFromScancode(int sdlScancode) {
  const auto sc = static_cast<SDL_Scancode>(sdlScancode);
  if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) {
    // PC set-1 codes of the letters, in alphabetical order.
    static const BYTE letters[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
                                     0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
    return {'A' + (sc - SDL_SCANCODE_A), letters[sc - SDL_SCANCODE_A], false};
  }
  if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return {'1' + (sc - SDL_SCANCODE_1), 0x02 + (sc - SDL_SCANCODE_1), false};
  if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F10) return {VK_F1 + (sc - SDL_SCANCODE_F1), 0x3B + (sc - SDL_SCANCODE_F1), false};
  switch (sc) {
    case SDL_SCANCODE_0: return {'0', 0x0B, false};
    case SDL_SCANCODE_RETURN: return {VK_RETURN, 0x1C, false};
    case SDL_SCANCODE_ESCAPE: return {VK_ESCAPE, 0x01, false};
    case SDL_SCANCODE_BACKSPACE: return {VK_BACK, 0x0E, false};
    case SDL_SCANCODE_TAB: return {VK_TAB, 0x0F, false};
    case SDL_SCANCODE_SPACE: return {VK_SPACE, 0x39, false};
    case SDL_SCANCODE_MINUS: return {VK_OEM_MINUS, 0x0C, false};
    case SDL_SCANCODE_EQUALS: return {VK_OEM_PLUS, 0x0D, false};
    case SDL_SCANCODE_LEFTBRACKET: return {VK_OEM_4, 0x1A, false};
    case SDL_SCANCODE_RIGHTBRACKET: return {VK_OEM_6, 0x1B, false};
    case SDL_SCANCODE_BACKSLASH: return {VK_OEM_5, 0x2B, false};
    case SDL_SCANCODE_SEMICOLON: return {VK_OEM_1, 0x27, false};
    case SDL_SCANCODE_APOSTROPHE: return {VK_OEM_7, 0x28, false};
    case SDL_SCANCODE_GRAVE: return {VK_OEM_3, 0x29, false};
    case SDL_SCANCODE_COMMA: return {VK_OEM_COMMA, 0x33, false};
    case SDL_SCANCODE_PERIOD: return {VK_OEM_PERIOD, 0x34, false};
    case SDL_SCANCODE_SLASH: return {VK_OEM_2, 0x35, false};
    case SDL_SCANCODE_CAPSLOCK: return {VK_CAPITAL, 0x3A, false};
    case SDL_SCANCODE_F11: return {VK_F1 + 10, 0x57, false};
    case SDL_SCANCODE_F12: return {VK_F12, 0x58, false};
    case SDL_SCANCODE_PRINTSCREEN: return {VK_SNAPSHOT, 0x37, true};
    case SDL_SCANCODE_SCROLLLOCK: return {VK_SCROLL, 0x46, false};
    case SDL_SCANCODE_PAUSE: return {VK_PAUSE, 0x45, false};
    case SDL_SCANCODE_INSERT: return {VK_INSERT, 0x52, true};
    case SDL_SCANCODE_HOME: return {VK_HOME, 0x47, true};
    case SDL_SCANCODE_PAGEUP: return {VK_PRIOR, 0x49, true};
    case SDL_SCANCODE_DELETE: return {VK_DELETE, 0x53, true};
    case SDL_SCANCODE_END: return {VK_END, 0x4F, true};
    case SDL_SCANCODE_PAGEDOWN: return {VK_NEXT, 0x51, true};
    case SDL_SCANCODE_RIGHT: return {VK_RIGHT, 0x4D, true};
    case SDL_SCANCODE_LEFT: return {VK_LEFT, 0x4B, true};
    case SDL_SCANCODE_DOWN: return {VK_DOWN, 0x50, true};
    case SDL_SCANCODE_UP: return {VK_UP, 0x48, true};
    case SDL_SCANCODE_NUMLOCKCLEAR: return {VK_NUMLOCK, 0x45, true};
    case SDL_SCANCODE_KP_DIVIDE: return {VK_DIVIDE, 0x35, true};
    case SDL_SCANCODE_KP_MULTIPLY: return {VK_MULTIPLY, 0x37, false};
    case SDL_SCANCODE_KP_MINUS: return {VK_SUBTRACT, 0x4A, false};
    case SDL_SCANCODE_KP_PLUS: return {VK_ADD, 0x4E, false};
    case SDL_SCANCODE_KP_ENTER: return {VK_RETURN, 0x1C, true};
    case SDL_SCANCODE_KP_1: return {VK_NUMPAD0 + 1, 0x4F, false};
    case SDL_SCANCODE_KP_2: return {VK_NUMPAD0 + 2, 0x50, false};
    case SDL_SCANCODE_KP_3: return {VK_NUMPAD0 + 3, 0x51, false};
    case SDL_SCANCODE_KP_4: return {VK_NUMPAD0 + 4, 0x4B, false};
    case SDL_SCANCODE_KP_5: return {VK_NUMPAD0 + 5, 0x4C, false};
    case SDL_SCANCODE_KP_6: return {VK_NUMPAD0 + 6, 0x4D, false};
    case SDL_SCANCODE_KP_7: return {VK_NUMPAD0 + 7, 0x47, false};
    case SDL_SCANCODE_KP_8: return {VK_NUMPAD0 + 8, 0x48, false};
    case SDL_SCANCODE_KP_9: return {VK_NUMPAD9, 0x49, false};
    case SDL_SCANCODE_KP_0: return {VK_NUMPAD0, 0x52, false};
    case SDL_SCANCODE_KP_PERIOD: return {VK_DECIMAL, 0x53, false};
    case SDL_SCANCODE_APPLICATION: return {VK_APPS, 0x5D, true};
    case SDL_SCANCODE_LCTRL: return {VK_CONTROL, 0x1D, false};
    case SDL_SCANCODE_LSHIFT: return {VK_SHIFT, 0x2A, false};
    case SDL_SCANCODE_LALT: return {VK_MENU, 0x38, false};
    case SDL_SCANCODE_LGUI: return {VK_LWIN, 0x5B, true};
    case SDL_SCANCODE_RCTRL: return {VK_CONTROL, 0x1D, true};
    case SDL_SCANCODE_RSHIFT: return {VK_SHIFT, 0x36, false};
    case SDL_SCANCODE_RALT: return {VK_MENU, 0x38, true};
    case SDL_SCANCODE_RGUI: return {VK_RWIN, 0x5C, true};
    default: return {};
  }
}

int CharFromKey(int vk, const BYTE* keyState) {
  const bool shift = (keyState[VK_SHIFT] & 0x80) != 0;
  const bool control = (keyState[VK_CONTROL] & 0x80) != 0;
  const bool caps = (keyState[VK_CAPITAL] & 0x01) != 0;
  if (vk >= 'A' && vk <= 'Z') {
    if (control) return vk - 'A' + 1;
    return (shift != caps) ? vk : vk - 'A' + 'a';
  }
  if (control) return 0;
  if (vk >= '0' && vk <= '9') {
    static const char shifted[] = ")!@#$%^&*(";
    return shift ? shifted[vk - '0'] : vk;
  }
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return '0' + (vk - VK_NUMPAD0);
  switch (vk) {
    case VK_SPACE: return ' ';
    case VK_RETURN: return '\r';
    case VK_BACK: return '\b';
    case VK_TAB: return '\t';
    case VK_ESCAPE: return 0x1B;
    case VK_MULTIPLY: return '*';
    case VK_ADD: return '+';
    case VK_SUBTRACT: return '-';
    case VK_DECIMAL: return '.';
    case VK_DIVIDE: return '/';
    case VK_OEM_1: return shift ? ':' : ';';
    case VK_OEM_PLUS: return shift ? '+' : '=';
    case VK_OEM_COMMA: return shift ? '<' : ',';
    case VK_OEM_MINUS: return shift ? '_' : '-';
    case VK_OEM_PERIOD: return shift ? '>' : '.';
    case VK_OEM_2: return shift ? '?' : '/';
    case VK_OEM_3: return shift ? '~' : '`';
    case VK_OEM_4: return shift ? '{' : '[';
    case VK_OEM_5: return shift ? '|' : '\\';
    case VK_OEM_6: return shift ? '}' : ']';
    case VK_OEM_7: return shift ? '"' : '\'';
    default: return 0;
  }
}

}  // namespace win32window

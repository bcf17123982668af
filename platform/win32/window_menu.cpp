// Menus and accelerator tables as data, and the program's own resources
// (menus, accelerators, icons) registered by number.
#include <map>
#include <memory>

#include "platform/win32/window_internal.h"

namespace win32window {
namespace {

struct MenuItem {
  UINT flags = 0;
  UINT id = 0;
  HMENU popup = nullptr;
  std::string text;
};
struct Menu {
  std::vector<MenuItem> items;
};

struct MenuTemplateItem {
  UINT flags;
  UINT id;
  std::string text;
};

struct Icon {
  int width = 0, height = 0;
  std::vector<DWORD> pixels;
};

std::map<uintptr_t, Menu> g_menus;
uintptr_t g_nextMenu = 0x5000;
std::map<uintptr_t, std::vector<ACCEL>> g_accels;
uintptr_t g_nextAccel = 0x6000;
std::map<WORD, std::vector<MenuTemplateItem>> g_menuResources;
std::map<WORD, std::vector<ACCEL>> g_accelResources;
std::map<WORD, HACCEL> g_loadedAccels;
std::map<WORD, Icon> g_iconResources;  // handle = kIconBase + id
constexpr uintptr_t kIconBase = 0x20000;

Menu* FindMenu(HMENU menu) {
  auto it = g_menus.find(reinterpret_cast<uintptr_t>(menu));
  return it == g_menus.end() ? nullptr : &it->second;
}

HMENU NewMenu() {
  const uintptr_t h = g_nextMenu;
  g_nextMenu += 4;
  g_menus[h] = Menu();
  return reinterpret_cast<HMENU>(h);
}

// The item named by command (searched through popups) or by position.
MenuItem* FindItem(HMENU menu, UINT item, UINT flags) {
  Menu* m = FindMenu(menu);
  if (!m) return nullptr;
  if (flags & MF_BYPOSITION) return item < m->items.size() ? &m->items[item] : nullptr;
  for (auto& it : m->items) {
    if (!(it.flags & MF_POPUP) && !(it.flags & MF_SEPARATOR) && it.id == item) return &it;
  }
  for (auto& it : m->items) {
    if (it.flags & MF_POPUP) {
      if (MenuItem* found = FindItem(it.popup, item, flags)) return found;
    }
  }
  return nullptr;
}

// Builds one level of a template from `pos`; returns false on a malformed template.
bool BuildLevel(HMENU menu, const std::vector<MenuTemplateItem>& t, size_t& pos, int depth) {
  if (depth > 8) return false;
  while (pos < t.size()) {
    const MenuTemplateItem& item = t[pos++];
    const UINT flags = item.flags & ~MF_END;
    if (flags & MF_POPUP) {
      HMENU popup = CreatePopupMenu();
      if (!BuildLevel(popup, t, pos, depth + 1)) {
        DestroyMenu(popup);
        return false;
      }
      AppendMenuA(menu, flags, reinterpret_cast<UINT_PTR>(popup), item.text.c_str());
    } else {
      AppendMenuA(menu, flags, item.id, item.text.c_str());
    }
    if (item.flags & MF_END) return true;
  }
  return depth == 0;
}

}  // namespace

bool MenuExists(HMENU menu) { return FindMenu(menu) != nullptr; }

void ResetMenus() {
  g_menus.clear();
  g_accels.clear();
  g_loadedAccels.clear();
}

bool IconPixels(HICON icon, int* width, int* height, const DWORD** pixels) {
  const uintptr_t h = reinterpret_cast<uintptr_t>(icon);
  if (h < kIconBase || h > kIconBase + 0xFFFF) return false;
  auto it = g_iconResources.find(static_cast<WORD>(h - kIconBase));
  if (it == g_iconResources.end() || it->second.pixels.empty()) return false;
  *width = it->second.width;
  *height = it->second.height;
  *pixels = it->second.pixels.data();
  return true;
}

}  // namespace win32window

using namespace win32window;

HMODULE GetModuleHandleA(LPCSTR moduleName) {
  if (moduleName) return nullptr;  // only the program itself is known by handle
  return reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x400000));
}

HGDIOBJ GetStockObject(int object) {
  if (object < 0 || object > 20) return nullptr;
  return reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(0x7000 + object));
}

// ---- resources of the program ----

void Win32AddMenuResource(WORD id, const MENUITEMTEMPLATEA* items, int count) {
  std::vector<MenuTemplateItem> t;
  for (int i = 0; i < count; ++i) t.push_back({items[i].flags, items[i].id, items[i].text ? items[i].text : ""});
  g_menuResources[id] = t;
}

void Win32AddAcceleratorResource(WORD id, const ACCEL* entries, int count) {
  g_accelResources[id] = std::vector<ACCEL>(entries, entries + (count > 0 ? count : 0));
  g_loadedAccels.erase(id);
}

void Win32AddIconResource(WORD id, int width, int height, const DWORD* argbPixels) {
  Icon icon;
  if (width > 0 && height > 0 && width <= 256 && height <= 256 && argbPixels) {
    icon.width = width;
    icon.height = height;
    icon.pixels.assign(argbPixels, argbPixels + width * height);
  }
  g_iconResources[id] = icon;
}

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
  if (!IS_INTRESOURCE(name)) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  const WORD id = static_cast<WORD>(reinterpret_cast<uintptr_t>(name));
  if (!instance) {
    // System icons: a handle without pixels (the window keeps the default icon).
    return id >= 32512 && id <= 32518 ? reinterpret_cast<HICON>(kIconBase + 0x10000 + id) : nullptr;
  }
  if (g_iconResources.count(id) == 0) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<HICON>(kIconBase + id);
}

HMENU LoadMenuA(HINSTANCE, LPCSTR name) {
  if (!IS_INTRESOURCE(name)) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  auto it = g_menuResources.find(static_cast<WORD>(reinterpret_cast<uintptr_t>(name)));
  if (it == g_menuResources.end()) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  HMENU menu = CreateMenu();
  size_t pos = 0;
  if (!BuildLevel(menu, it->second, pos, 0)) {
    DestroyMenu(menu);
    SetLastError(ERROR_INVALID_DATA);
    return nullptr;
  }
  return menu;
}

HACCEL LoadAcceleratorsA(HINSTANCE, LPCSTR name) {
  if (!IS_INTRESOURCE(name)) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  const WORD id = static_cast<WORD>(reinterpret_cast<uintptr_t>(name));
  auto loaded = g_loadedAccels.find(id);
  if (loaded != g_loadedAccels.end() && g_accels.count(reinterpret_cast<uintptr_t>(loaded->second)))
    return loaded->second;  // one shared table per resource
  auto it = g_accelResources.find(id);
  if (it == g_accelResources.end()) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  HACCEL table = CreateAcceleratorTableA(it->second.data(), static_cast<int>(it->second.size()));
  g_loadedAccels[id] = table;
  return table;
}

// ---- menus ----

BOOL IsMenu(HMENU menu) { return MenuExists(menu) ? TRUE : FALSE; }
HMENU CreateMenu() { return NewMenu(); }
HMENU CreatePopupMenu() { return NewMenu(); }

BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR idOrPopup, LPCSTR text) {
  Menu* m = FindMenu(menu);
  if (!m) return FALSE;
  MenuItem item;
  item.flags = flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_POPUP | MF_SEPARATOR);
  if (flags & MF_POPUP) {
    item.popup = reinterpret_cast<HMENU>(idOrPopup);
    if (!FindMenu(item.popup)) return FALSE;
  } else {
    item.id = static_cast<UINT>(idOrPopup);
  }
  if (text && !(flags & MF_SEPARATOR)) item.text = text;
  FindMenu(menu)->items.push_back(item);
  return TRUE;
}

BOOL DestroyMenu(HMENU menu) {
  Menu* m = FindMenu(menu);
  if (!m) return FALSE;
  std::vector<HMENU> popups;
  for (const auto& it : m->items)
    if (it.flags & MF_POPUP) popups.push_back(it.popup);
  g_menus.erase(reinterpret_cast<uintptr_t>(menu));
  for (HMENU p : popups) DestroyMenu(p);
  return TRUE;
}

BOOL SetMenu(HWND window, HMENU menu) {
  WindowObject* w = Find(window);
  if (!w || (menu && !FindMenu(menu))) return FALSE;
  w->menu = menu;  // the client area shrinks or grows; the window keeps its rectangle
  return TRUE;
}

HMENU GetMenu(HWND window) {
  WindowObject* w = Find(window);
  return w && FindMenu(w->menu) ? w->menu : nullptr;
}

HMENU GetSubMenu(HMENU menu, int position) {
  Menu* m = FindMenu(menu);
  if (!m || position < 0 || static_cast<size_t>(position) >= m->items.size()) return nullptr;
  const MenuItem& it = m->items[static_cast<size_t>(position)];
  return (it.flags & MF_POPUP) ? it.popup : nullptr;
}

int GetMenuItemCount(HMENU menu) {
  Menu* m = FindMenu(menu);
  return m ? static_cast<int>(m->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
  Menu* m = FindMenu(menu);
  if (!m || position < 0 || static_cast<size_t>(position) >= m->items.size()) return static_cast<UINT>(-1);
  const MenuItem& it = m->items[static_cast<size_t>(position)];
  return (it.flags & MF_POPUP) ? static_cast<UINT>(-1) : it.id;
}

int GetMenuStringA(HMENU menu, UINT item, LPSTR buffer, int size, UINT flags) {
  MenuItem* it = FindItem(menu, item, flags);
  if (!it) return 0;
  if (!buffer || size <= 0) return static_cast<int>(it->text.size());
  const int n = std::min(static_cast<int>(it->text.size()), size - 1);
  std::memcpy(buffer, it->text.data(), static_cast<size_t>(n));
  buffer[n] = '\0';
  return n;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
  MenuItem* it = FindItem(menu, item, flags);
  if (!it) return static_cast<UINT>(-1);
  if (it->flags & MF_POPUP) {
    const int count = GetMenuItemCount(it->popup);
    return (static_cast<UINT>(count) << 8) | (it->flags & 0xFF);
  }
  return it->flags;
}

DWORD EnableMenuItem(HMENU menu, UINT item, UINT enable) {
  MenuItem* it = FindItem(menu, item, enable);
  if (!it) return static_cast<DWORD>(-1);
  const DWORD previous = it->flags & (MF_GRAYED | MF_DISABLED);
  it->flags = (it->flags & ~(MF_GRAYED | MF_DISABLED)) | (enable & (MF_GRAYED | MF_DISABLED));
  return previous;
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT check) {
  MenuItem* it = FindItem(menu, item, check);
  if (!it) return static_cast<DWORD>(-1);
  const DWORD previous = it->flags & MF_CHECKED;
  it->flags = (it->flags & ~MF_CHECKED) | (check & MF_CHECKED);
  return previous;
}

// ---- accelerators ----

HACCEL CreateAcceleratorTableA(const ACCEL* entries, int count) {
  if (!entries || count <= 0) return nullptr;
  const uintptr_t h = g_nextAccel;
  g_nextAccel += 4;
  g_accels[h] = std::vector<ACCEL>(entries, entries + count);
  return reinterpret_cast<HACCEL>(h);
}

BOOL DestroyAcceleratorTable(HACCEL table) {
  return g_accels.erase(reinterpret_cast<uintptr_t>(table)) ? TRUE : FALSE;
}

int TranslateAcceleratorA(HWND window, HACCEL table, LPMSG msg) {
  if (!msg || !Find(window)) return 0;
  auto it = g_accels.find(reinterpret_cast<uintptr_t>(table));
  if (it == g_accels.end()) return 0;
  const bool keyDown = msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN;
  const bool charMsg = msg->message == WM_CHAR || msg->message == WM_SYSCHAR;
  if (!keyDown && !charMsg) return 0;
  const bool altFromMessage = (msg->message == WM_SYSKEYDOWN || msg->message == WM_SYSCHAR) &&
                              (static_cast<DWORD>(msg->lParam) & (1u << 29));
  const bool alt = GetKeyState(VK_MENU) < 0 || altFromMessage;
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  const bool control = GetKeyState(VK_CONTROL) < 0;
  for (const ACCEL& a : it->second) {
    bool match = false;
    if (a.fVirt & FVIRTKEY) {
      match = keyDown && a.key == static_cast<WORD>(msg->wParam) && ((a.fVirt & FSHIFT) != 0) == shift &&
              ((a.fVirt & FCONTROL) != 0) == control && ((a.fVirt & FALT) != 0) == alt;
    } else {
      match = charMsg && a.key == static_cast<WORD>(msg->wParam) && ((a.fVirt & FALT) != 0) == alt;
    }
    if (!match) continue;
    // A command whose menu item is disabled is swallowed without being sent.
    const UINT state = GetMenuState(GetMenu(window), a.cmd, MF_BYCOMMAND);
    if (state == static_cast<UINT>(-1) || !(state & (MF_GRAYED | MF_DISABLED)))
      SendMessageA(window, WM_COMMAND, MAKEWPARAM(a.cmd, 1), 0);
    return 1;
  }
  return 0;
}

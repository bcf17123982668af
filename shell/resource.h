// Numbers of the program's own resources and window commands.
#pragma once

#include "platform/win32/win32.h"

#define IDI_MAIN_ICON 101
#define IDR_MAIN_ACCEL 113
#define IDR_MENU 141

#define IDM_CHANGEDEVICE 40002
#define IDM_TOGGLEFULLSCREEN 40003
#define IDM_TOGGLESTART 40004
#define IDM_EXIT 40006
#define IDM_ESCAPE 40011
#define IDM_MINIMIZE 40012
#define IDM_CHANGETOCREATIONMODE 40013

// Registers the icon, the menu and the accelerator table with the program's
// module, once; LoadIcon/LoadMenu/LoadAccelerators find them by number after it.
void RegisterProgramResources();

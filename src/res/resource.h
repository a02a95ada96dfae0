#pragma once
// Resource ids, shared by the resource script and the code. Plain #defines:
// the resource compiler's preprocessor understands nothing else.

#define IDS_WINDOW_TITLE 103  // string: the progress window's title
#define IDS_WINDOW_CLASS 109  // string: the progress window's class name

#define IDI_CLASS_ICON 107  // icon group: the window class icon
#define IDI_SMALL_ICON 108  // icon group: the class's small icon

#define IDB_LOGO 129  // bitmap: the 32 x 29 logo in the window's corner

// A menu kept in the resources but attached to no window, and its commands.
// The window procedure still answers IDM_EXIT.
#define IDR_MAIN_MENU 109
#define IDM_ABOUT 104
#define IDM_EXIT 105

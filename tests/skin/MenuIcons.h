// The icon strip of the menu tests (menu-icons.bmp, drawn by scripts/make-menu-icons):
// page, folder, key, microphone, padlock, 16 pixels apart on magenta.
#pragma once

#define IDB_TEST_MENU_ICONS 9001

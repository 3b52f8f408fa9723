#pragma once

// The numbers of the program's resources, shared by its resource script and its code. The icon
// has the lowest number, so that Explorer and the taskbar show it as the program's own.
#define HOSHIWA_ICON 1

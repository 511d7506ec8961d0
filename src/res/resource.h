// Resource identifiers shared by the .rc file and the code.
#pragma once

#define IDI_VIGILUMEN 1  // window icon (flying envelope), also the built-in mail icon
#define IDI_NODROP 2     // white no-entry sign: drag image and fallback notification icon
#define IDB_ABOUT 101    // About page picture, 93 x 116
#define IDB_MONITOR 102  // position page monitor, 195 x 180

// Resource identifiers shared by DemoSaver.rc and the code.
#pragma once

#define IDS_DISPLAY_NAME 1  // Windows shows string 1 of a saver as its display name
#define IDS_NO_OPTIONS 2    // the message box of "/c"

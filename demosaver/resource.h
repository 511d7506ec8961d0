#pragma once

// Windows shows string 1 of a saver as its display name.
#define IDS_DISPLAY_NAME 1
#define IDS_NO_OPTIONS 2

// Resource identifiers shared by the .rc file and the code.
#pragma once

#define IDI_VIGILUMEN 1  // window icon (flying envelope), also the built-in mail icon
#define IDI_NODROP 2     // white no-entry sign: drag image and fallback notification icon
#define IDB_ABOUT 101    // About page picture, 93 x 116
#define IDB_MONITOR 102  // position page monitor, 195 x 180
#define IDD_IMAP_ACCOUNT 201  // the IMAP account dialog of the Polling page

// Its controls, fixed so that tests can drive it (OK and Cancel are IDOK and IDCANCEL).
#define IDC_IMAP_ACCOUNT 501
#define IDC_IMAP_SECURITY 503
#define IDC_IMAP_PASSWORD 505
#define IDC_IMAP_STORED 506
#define IDC_IMAP_TEST 507
#define IDC_IMAP_ANSWER 508

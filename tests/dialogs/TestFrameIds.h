#pragma once

// Identifiers of the test bitmaps in TestFrames.rc.
#define IDB_TEST_GAP_FIRST 7001
#define IDB_TEST_GAP_SECOND 7002
#define IDB_TEST_GAP_MISSING 7003
#define IDB_TEST_GAP_AFTER 7004

#define IDB_TEST_SIZES_FIRST 7101
#define IDB_TEST_SIZES_SECOND 7102

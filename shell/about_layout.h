/* The about box's layout, in dialog units, and its caption: read by the
 * resource compiler (apps/scr/snowglobe.rc) and by the Linux program, which
 * hands the same template to its backend (apps/linux/about_dialog.cpp). Only
 * #define lines, so that windres can include it.
 *
 * The dialog is 207 x 128 units at (0, 0) of its owner's client area; OK is
 * centred under five read-only fields, 17 units apart. */
#ifndef SNOWGLOBE_ABOUT_LAYOUT_H
#define SNOWGLOBE_ABOUT_LAYOUT_H

#define SG_ABOUT_TEMPLATE 104
/* WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT */
#define SG_ABOUT_STYLE 0x80C800C0
#define SG_ABOUT_X 0
#define SG_ABOUT_Y 0
#define SG_ABOUT_WIDTH 207
#define SG_ABOUT_HEIGHT 128
/* "バージョン情報" in Shift-JIS */
#define SG_ABOUT_CAPTION "\x83\x6f\x81\x5b\x83\x57\x83\x87\x83\x93\x8f\xee\x95\xf1"

#define SG_ABOUT_OK_X 77
#define SG_ABOUT_OK_Y 107
#define SG_ABOUT_OK_WIDTH 50
#define SG_ABOUT_OK_HEIGHT 14

/* Fields SG_ABOUT_FIRST_FIELD .. SG_ABOUT_FIRST_FIELD + SG_ABOUT_FIELDS - 1, top to bottom. */
#define SG_ABOUT_FIRST_FIELD 1000
#define SG_ABOUT_FIELDS 5
#define SG_ABOUT_FIELD_X 28
#define SG_ABOUT_FIELD_WIDTH 152
#define SG_ABOUT_FIELD_HEIGHT 14
#define SG_ABOUT_FIELD_0_Y 19
#define SG_ABOUT_FIELD_1_Y 36
#define SG_ABOUT_FIELD_2_Y 53
#define SG_ABOUT_FIELD_3_Y 70
#define SG_ABOUT_FIELD_4_Y 87

#endif

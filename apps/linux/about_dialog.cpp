#include "apps/linux/about_dialog.h"

#include "shell/about_layout.h"

namespace sg::app {

namespace {

constexpr pf::DWORD WS_TABSTOP = 0x00010000;
constexpr pf::DWORD BS_DEFPUSHBUTTON = 0x0001;
constexpr pf::DWORD ES_CENTER = 0x0001;
constexpr pf::DWORD ES_AUTOHSCROLL = 0x0080;
constexpr pf::DWORD ES_READONLY = 0x0800;
constexpr pf::DWORD FIELD_STYLE = ES_READONLY | ES_CENTER | ES_AUTOHSCROLL | pf::WS_VISIBLE | WS_TABSTOP;

}  // namespace

pf::headless::DialogTemplate about_dialog_template() {
    pf::headless::DialogTemplate t;
    t.id = SG_ABOUT_TEMPLATE;
    t.style = SG_ABOUT_STYLE;
    t.x = SG_ABOUT_X;
    t.y = SG_ABOUT_Y;
    t.width = SG_ABOUT_WIDTH;
    t.height = SG_ABOUT_HEIGHT;
    t.caption = SG_ABOUT_CAPTION;
    t.controls.push_back({pf::IDOK, "Button", "OK", SG_ABOUT_OK_X, SG_ABOUT_OK_Y, SG_ABOUT_OK_WIDTH,
                          SG_ABOUT_OK_HEIGHT, BS_DEFPUSHBUTTON | pf::WS_VISIBLE | WS_TABSTOP});
    const int rows[] = {SG_ABOUT_FIELD_0_Y, SG_ABOUT_FIELD_1_Y, SG_ABOUT_FIELD_2_Y, SG_ABOUT_FIELD_3_Y,
                        SG_ABOUT_FIELD_4_Y};
    static_assert(sizeof rows / sizeof rows[0] == SG_ABOUT_FIELDS, "a row for every field");
    for (int i = 0; i < SG_ABOUT_FIELDS; ++i)
        t.controls.push_back({SG_ABOUT_FIRST_FIELD + i, "Edit", "", SG_ABOUT_FIELD_X, rows[i],
                              SG_ABOUT_FIELD_WIDTH, SG_ABOUT_FIELD_HEIGHT, FIELD_STYLE});
    return t;
}

void register_dialogs() { pf::headless::set_dialog_templates({about_dialog_template()}); }

}  // namespace sg::app

// The about box: the package's shown lines in a small modal dialog, centred
// on the window that asked for settings or on the desktop.
#include <cstdio>
#include <cstring>

#include "shell/captions.h"
#include "shell/shell.h"

namespace sg {

namespace {

constexpr int FIELD_COUNT = 5;
constexpr int FALLBACK_TEXT_SIZE = 3000;

pf::INT_PTR init_dialog(pf::HWND dialog, const SaverState& saver, pf::HWND reference) {
    pf::RECT r{};
    pf::GetWindowRect(reference, &r);
    pf::RECT d{};
    pf::GetWindowRect(dialog, &d);
    // Each half truncates toward zero; no clamping, so a box centred on a
    // window at a screen edge may reach past it.
    const int x = r.left + (r.right - r.left) / 2 - (d.right - d.left) / 2;
    const int y = r.top + (r.bottom - r.top) / 2 - (d.bottom - d.top) / 2;
    pf::SetWindowPos(dialog, nullptr, x, y, 0, 0, pf::SWP_NOZORDER | pf::SWP_NOSIZE);

    pf::HWND fields[FIELD_COUNT];
    for (int i = 0; i < FIELD_COUNT; ++i) fields[i] = pf::GetDlgItem(dialog, ABOUT_FIRST_FIELD + i);

    // Shown lines fill the fields from the top, without gaps.
    const InfoBlock& info = saver.package.infoBlock;
    const std::uint32_t codePage = saver.package.textCodePage;
    // The template's caption is the Japanese one.
    if (codePage != format::textrecord::DEFAULT_CODE_PAGE) pf::SetWindowTextA(dialog, about_caption(codePage));
    int n = 0;
    for (int i = 0; i < FIELD_COUNT; ++i) {
        if (info.lineShown[i] == 0) continue;
        // Shift-JIS lines take the call they always took.
        if (codePage == format::textrecord::DEFAULT_CODE_PAGE)
            pf::SetWindowTextA(fields[n++], info.lines[i]);
        else
            pf::SetWindowTextInCodePage(fields[n++], info.lines[i], codePage);
    }
    return 0;  // the system must not pick the focus control itself
}

// `desktop`: centred on the desktop rather than on the saver's host window.
pf::INT_PTR about_proc(pf::HWND dialog, pf::UINT message, pf::WPARAM wParam, pf::LPARAM lParam,
                       bool desktop) {
    switch (message) {
    case pf::WM_INITDIALOG: {
        // The saver comes as the dialog's creation parameter; only this
        // message needs it, so it is not kept on the dialog.
        const auto* saver = reinterpret_cast<const SaverState*>(lParam);
        if (saver == nullptr) return 0;
        return init_dialog(dialog, *saver, desktop ? pf::GetDesktopWindow() : saver->hostWindow);
    }
    case pf::WM_COMMAND: {
        const int command = pf::LOWORD(wParam);
        if (command == pf::IDOK || command == pf::IDCANCEL) {
            pf::EndDialog(dialog, 1);
            return 1;
        }
        return 0;
    }
    default:
        return 0;
    }
}

// The shown lines, each followed by a line feed, in a plain message box.
void show_text_box(const InfoBlock& info, std::uint32_t codePage) {
    char text[FALLBACK_TEXT_SIZE];
    std::memset(text, 0, sizeof text);
    std::size_t length = 0;
    for (int i = 0; i < FIELD_COUNT; ++i) {
        if (info.lineShown[i] == 0) continue;
        // Lines end inside their 300 bytes, so five of them fill at most 1500.
        const int written =
            std::snprintf(text + length, sizeof text - length, "%s\n", info.lines[i]);
        if (written > 0) length += static_cast<std::size_t>(written);
        if (length >= sizeof text) length = sizeof text - 1;
    }
    if (codePage == format::textrecord::DEFAULT_CODE_PAGE)
        pf::MessageBoxA(nullptr, text, about_caption(codePage), pf::MB_OK);
    else
        pf::MessageBoxInCodePage(nullptr, text, codePage, about_caption(codePage), pf::MB_OK);
}

}  // namespace

pf::INT_PTR about_box_proc(pf::HWND dialog, pf::UINT message, pf::WPARAM wParam,
                           pf::LPARAM lParam) {
    return about_proc(dialog, message, wParam, lParam, false);
}

pf::INT_PTR about_box_proc_desktop(pf::HWND dialog, pf::UINT message, pf::WPARAM wParam,
                                   pf::LPARAM lParam) {
    return about_proc(dialog, message, wParam, lParam, true);
}

void about_box_show(const SaverState& saver) {
    const char* const dialogTemplate = pf::MAKEINTRESOURCEA(ABOUT_DIALOG_ID);
    const auto param = reinterpret_cast<pf::LPARAM>(&saver);
    if (saver.hostWindow != nullptr) {
        // Owned box: when it cannot be created nothing is shown.
        pf::DialogBoxParamA(saver.programInstance, dialogTemplate, saver.hostWindow,
                            about_box_proc, param);
        return;
    }
    if (pf::DialogBoxParamA(saver.programInstance, dialogTemplate, nullptr,
                            about_box_proc_desktop, param) == -1) {
        show_text_box(saver.package.infoBlock, saver.package.textCodePage);
    }
}

}  // namespace sg

// The whole program on the in-memory host: every row of the command-line
// decision table with its exit status and what was shown, the input that
// closes the saver (and the input that must not), and teardown.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "platform/diagnostics.h"
#include "platform/headless/scripting.h"
#include "tests/support/shell_support.h"

namespace {

using namespace shell_test;
namespace hl = pf::headless;

const std::string TITLE = "shell test scene";
// "No Support CmdLine" / "無効な引数"
const std::string BAD_TEXT = "No Support CmdLine";
const std::string BAD_CAPTION = "\x96\xb3\x8c\xf8\x82\xc8\x88\xf8\x90\x94";
// "画面 のプロパティ" and "画面 のﾌﾟﾛﾊﾟﾃｨ"
const char* const SETTINGS_TITLE =
    "\x89\xe6\x96\xca \x82\xcc\x83\x76\x83\x8d\x83\x70\x83\x65\x83\x42";
const char* const SETTINGS_TITLE_HALF = "\x89\xe6\x96\xca \x82\xcc\xcc\xdf\xdb\xca\xdf\xc3\xa8";
// "バージョン情報"
const std::string VERSION_CAPTION = "\x83\x6f\x81\x5b\x83\x57\x83\x87\x83\x93\x8f\xee\x95\xf1";

Program program(pack::Package p = base_package(TITLE)) {
    Program prog;
    prog.package = pack::package_bytes(p);
    return prog;
}

// Closes a full-screen saver with a key once `ticks` ticks have run.
std::function<void(int)> key_after(const Program& prog, int ticks) {
    return [&prog, ticks](int t) {
        if (t == ticks) hl::inject_key(prog.window());
    };
}

void expect_nothing_shown() {
    EXPECT_TRUE(hl::message_boxes().empty());
    EXPECT_TRUE(hl::dialogs().empty());
    EXPECT_TRUE(saver_windows(TITLE).empty());
}

void expect_bad_command_line() {
    ASSERT_EQ(hl::message_boxes().size(), 1u);
    EXPECT_EQ(hl::message_boxes()[0].owner, nullptr);
    EXPECT_EQ(hl::message_boxes()[0].text, BAD_TEXT);
    EXPECT_EQ(hl::message_boxes()[0].caption, BAD_CAPTION);
    EXPECT_TRUE(hl::dialogs().empty());
    EXPECT_TRUE(saver_windows(TITLE).empty());
}

// The in-memory host lays the about box out at 317 x 217 pixels; the
// places below are worked out by hand from that size, each half truncated
// toward zero (158 and 108), which can lie a pixel away from where halving
// the difference would put the box.
void expect_box_at(const pf::RECT& box, int left, int top) {
    EXPECT_EQ(box.right - box.left, 317);
    EXPECT_EQ(box.bottom - box.top, 217);
    EXPECT_EQ(box.left, left);
    EXPECT_EQ(box.top, top);
}

// ---- parsing alone ----

TEST(CommandLine, ParsesTheFirstTwoCharactersOnly) {
    struct Case {
        const char* text;
        int accepted;
        sg::RunMode mode;
    };
    const Case cases[] = {
        {"", 1, sg::RunMode::Configure},
        {"/s", 1, sg::RunMode::Saver},
        {"/S", 1, sg::RunMode::Saver},
        {"/s anything at all", 1, sg::RunMode::Saver},
        {"-s", 1, sg::RunMode::Saver},
        {"/x", 1, sg::RunMode::Saver},
        {"ab", 1, sg::RunMode::Saver},
        {"/a", 1, sg::RunMode::ChangePassword},
        {"/A 1234", 1, sg::RunMode::ChangePassword},
        {"/c", 1, sg::RunMode::Configure},
        {"/C", 1, sg::RunMode::Configure},
        {"/p", 0, sg::RunMode::Preview},
        {"/P 0", 0, sg::RunMode::Preview},
        {"/c 0", 0, sg::RunMode::Configure},
        {"/cX", 0, sg::RunMode::Configure},
        {"/p abc", 0, sg::RunMode::Preview},
    };
    hl::reset();
    for (const Case& c : cases) {
        sg::RunMode mode = sg::RunMode::Unset;
        auto handle = reinterpret_cast<pf::HWND>(std::intptr_t{77});
        EXPECT_EQ(sg::parse_command_line(c.text, &mode, &handle), c.accepted) << c.text;
        EXPECT_EQ(mode, c.mode) << c.text;
        EXPECT_EQ(handle, nullptr) << c.text;
    }
    // One character: rejected and the mode is not touched.
    sg::RunMode mode = sg::RunMode::Unset;
    pf::HWND handle = nullptr;
    EXPECT_EQ(sg::parse_command_line("s", &mode, &handle), 0);
    EXPECT_EQ(mode, sg::RunMode::Unset);
}

TEST(CommandLine, HandleIsReadFromTheFourthCharacter) {
    hl::reset();
    pf::HWND host = hl::create_foreign_window("host", 0, 0, 100, 100);
    const std::string h = decimal(host);
    for (const std::string& text : {"/p " + h, "/p:" + h, "/P\t" + h, "/c:" + h, "/pX  " + h,
                                    "/p 0" + h, "/p +" + h, "/p9" + h}) {
        sg::RunMode mode = sg::RunMode::Unset;
        pf::HWND handle = nullptr;
        EXPECT_EQ(sg::parse_command_line(text.c_str(), &mode, &handle), 1) << text;
        EXPECT_EQ(handle, host) << text;
    }
    // Digits straight after "/p" lose the first one.
    sg::RunMode mode = sg::RunMode::Unset;
    pf::HWND handle = nullptr;
    const std::string glued = "/p" + h;
    EXPECT_EQ(sg::parse_command_line(glued.c_str(), &mode, &handle), 0);
    EXPECT_EQ(decimal(handle), h.substr(1));
    // A handle that is no window is read but refused.
    EXPECT_EQ(sg::parse_command_line("/p 12345", &mode, &handle), 0);
    EXPECT_EQ(decimal(handle), "12345");
    EXPECT_EQ(sg::parse_command_line("/p -7", &mode, &handle), 0);
    EXPECT_EQ(decimal(handle), "-7");
}

// ---- the decision table, whole program ----

TEST(StartUp, EmptyTextShowsTheAboutBoxOnTheDesktop) {
    Program prog = program();
    EXPECT_EQ(prog.run(""), 0);
    ASSERT_EQ(hl::dialogs().size(), 1u);
    const auto& box = hl::dialogs()[0];
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.templateId, sg::ABOUT_DIALOG_ID);
    EXPECT_EQ(box.fields[0], "line one");
    EXPECT_EQ(box.fields[4], "line five");
    expect_box_at(box.rect, 162, 132);  // 320 - 158, 240 - 108
    EXPECT_TRUE(hl::message_boxes().empty());
    EXPECT_TRUE(saver_windows(TITLE).empty());
    EXPECT_TRUE(hl::live_guards().empty()) << "the guard is closed after the box";
}

TEST(StartUp, ShownLinesFillTheFieldsFromTheTop) {
    pack::Package p = base_package(TITLE);
    p.info.lineShown = {0, 1, 0, 1, 0};
    Program prog = program(p);
    EXPECT_EQ(prog.run("/c"), 0);
    ASSERT_EQ(hl::dialogs().size(), 1u);
    const auto& f = hl::dialogs()[0].fields;
    EXPECT_EQ(f[0], "line two");
    EXPECT_EQ(f[1], "line four");
    EXPECT_EQ(f[2], "");
    EXPECT_EQ(f[3], "");
    EXPECT_EQ(f[4], "");
}

TEST(StartUp, OwnerlessBoxThatCannotBeCreatedFallsBackToATextBox) {
    pack::Package p = base_package(TITLE);
    p.info.lineShown = {0, 1, 0, 1, 0};
    Program prog = program(p);
    prog.beforeStart = [] { hl::set_dialog_fails(true); };
    EXPECT_EQ(prog.run(""), 0);
    ASSERT_EQ(hl::message_boxes().size(), 1u);
    EXPECT_EQ(hl::message_boxes()[0].owner, nullptr);
    EXPECT_EQ(hl::message_boxes()[0].text, "line two\nline four\n");
    EXPECT_EQ(hl::message_boxes()[0].caption, VERSION_CAPTION);

    p.info.lineShown = {0, 0, 0, 0, 0};
    prog = program(p);
    prog.beforeStart = [] { hl::set_dialog_fails(true); };
    EXPECT_EQ(prog.run("/C"), 0);
    ASSERT_EQ(hl::message_boxes().size(), 1u);
    EXPECT_EQ(hl::message_boxes()[0].text, "");
}

// A package's text record: the about lines go out with its code page, under
// an English caption; without one they take the calls they always took.
TEST(StartUp, AboutLinesCarryThePackagesCodePage) {
    pack::Package p = base_package(TITLE);
    p.info.lineShown = {1, 0, 1, 0, 0};
    p.info.lines[0] = "Caf\xe9";
    p.info.lines[2] = "Stra\xdf" "e";
    p.textCodePage = 1252;
    Program prog = program(p);
    EXPECT_EQ(prog.run("/c"), 0);
    ASSERT_EQ(hl::dialogs().size(), 1u);
    const auto& box = hl::dialogs()[0];
    EXPECT_EQ(box.fields[0], "Caf\xe9");
    EXPECT_EQ(box.fields[1], "Stra\xdf" "e");
    EXPECT_EQ(box.fieldCodePages[0], 1252u);
    EXPECT_EQ(box.fieldCodePages[1], 1252u);
    EXPECT_EQ(box.fieldCodePages[2], 932u) << "an empty field was never set";

    prog.beforeStart = [] { hl::set_dialog_fails(true); };
    EXPECT_EQ(prog.run(""), 0);
    ASSERT_EQ(hl::message_boxes().size(), 1u);
    EXPECT_EQ(hl::message_boxes()[0].text, "Caf\xe9\nStra\xdf" "e\n");
    EXPECT_EQ(hl::message_boxes()[0].textCodePage, 1252u);
    EXPECT_EQ(hl::message_boxes()[0].caption, "About");

    p.textCodePage = 932;
    prog = program(p);
    EXPECT_EQ(prog.run("/c"), 0);
    ASSERT_EQ(hl::dialogs().size(), 1u);
    EXPECT_EQ(hl::dialogs()[0].fieldCodePages[0], 932u);
    prog.beforeStart = [] { hl::set_dialog_fails(true); };
    EXPECT_EQ(prog.run(""), 0);
    ASSERT_EQ(hl::message_boxes().size(), 1u);
    EXPECT_EQ(hl::message_boxes()[0].textCodePage, 932u);
}

// A scene in another code page gets English captions (the text box's is
// checked above); packages without the record keep the Japanese ones.
TEST(StartUp, CaptionsAreEnglishForAnotherCodePage) {
    pack::Package p = base_package(TITLE);
    p.textCodePage = 1253;
    Program prog = program(p);
    std::string caption;
    prog.beforeStart = [&] { hl::set_dialog_hook([&](pf::HWND dialog) {
        caption = hl::window_text(dialog);
        hl::dialog_command(dialog, pf::IDOK);
    }); };
    EXPECT_EQ(prog.run("/c"), 0);
    EXPECT_EQ(caption, "About");
    prog.beforeStart = nullptr;
    EXPECT_EQ(prog.run("/"), 0);
    ASSERT_EQ(hl::message_boxes().size(), 1u);
    EXPECT_EQ(hl::message_boxes()[0].caption, "Invalid argument");
    EXPECT_EQ(hl::message_boxes()[0].text, BAD_TEXT);

    p.textCodePage = 932;
    prog = program(p);
    prog.beforeStart = [&] { hl::set_dialog_hook([&](pf::HWND dialog) {
        caption = hl::window_text(dialog);
        hl::dialog_command(dialog, pf::IDOK);
    }); };
    EXPECT_EQ(prog.run("/c"), 0);
    EXPECT_EQ(caption, VERSION_CAPTION);
}

TEST(StartUp, OwnedBoxThatCannotBeCreatedShowsNothing) {
    Program prog = program();
    pf::HWND host = nullptr;
    prog.beforeStart = [&] {
        hl::set_dialog_fails(true);
        host = hl::create_foreign_window("settings", 10, 10, 300, 200);
    };
    // Handles are handed out in order after a reset: a first run finds the
    // host's, the second gets the same one.
    prog.run("/a");
    EXPECT_EQ(prog.run("/c:" + decimal(host)), 0);
    EXPECT_TRUE(hl::message_boxes().empty());
    EXPECT_TRUE(hl::live_guards().empty());
}

TEST(StartUp, ConfigureWithALiveHandleCentresTheBoxOnIt) {
    struct Case {
        pf::RECT host;
        pf::POINT box;
    };
    // 100 + 200 - 158, 50 + 150 - 108; and -120 + 100 - 158, -40 + 50 - 108.
    for (const Case c : {Case{{100, 50, 500, 350}, {142, 92}},
                         Case{{-120, -40, 81, 61}, {-178, -98}}}) {
        const pf::RECT r = c.host;
        Program prog = program();
        pf::HWND host = nullptr;
        prog.beforeStart = [&] {
            host = hl::create_foreign_window("host", r.left, r.top, r.right - r.left,
                                             r.bottom - r.top);
        };
        prog.run("/a");  // learns the host's handle
        EXPECT_EQ(prog.run("/c:" + decimal(host)), 0);
        ASSERT_EQ(hl::dialogs().size(), 1u);
        const auto& box = hl::dialogs()[0];
        EXPECT_EQ(box.owner, host);
        EXPECT_EQ(box.templateId, sg::ABOUT_DIALOG_ID);
        expect_box_at(box.rect, c.box.x, c.box.y);  // near an edge it reaches past the screen
        EXPECT_EQ(box.fields[0], "line one");
        EXPECT_EQ(box.fields[1], "line two");
        EXPECT_EQ(box.fields[4], "line five");
        EXPECT_TRUE(hl::message_boxes().empty());
        EXPECT_TRUE(hl::live_guards().empty());
    }
}

TEST(StartUp, ConfigureWithoutAWindowSearchesTheDisplaySettings) {
    for (const char* title : {SETTINGS_TITLE, SETTINGS_TITLE_HALF}) {
        for (const char* args : {"/c 0", "/cX", "/c:99999"}) {
            Program prog = program();
            pf::HWND settings = nullptr;
            prog.beforeStart = [&] {
                hl::create_foreign_window("something else", 0, 0, 50, 50);
                settings = hl::create_foreign_window(title, 200, 100, 400, 300);
            };
            EXPECT_EQ(prog.run(args), 0) << args;
            ASSERT_EQ(hl::dialogs().size(), 1u) << args;
            EXPECT_EQ(hl::dialogs()[0].owner, settings);
            expect_box_at(hl::dialogs()[0].rect, 242, 142);  // 200 + 200 - 158, 100 + 150 - 108
            EXPECT_EQ(prog.saver->hostWindow, settings);
            EXPECT_TRUE(hl::message_boxes().empty());
        }
    }
    // Neither title: nothing at all.
    Program prog = program();
    prog.beforeStart = [] { hl::create_foreign_window("Display Properties", 0, 0, 50, 50); };
    EXPECT_EQ(prog.run("/c 0"), 0);
    expect_nothing_shown();
}

TEST(StartUp, OneCharacterIsABadCommandLine) {
    for (const char* args : {"s", "/", " "}) {
        Program prog = program();
        EXPECT_EQ(prog.run(args), 0) << args;
        expect_bad_command_line();
    }
}

TEST(StartUp, SaverSwitchesRunFullScreen) {
    for (const char* args : {"/s", "/S", "/s 1234 trailing", "/S:", "-s", "/x", "zz"}) {
        Program prog = program();
        prog.width = 800;
        prog.height = 600;
        int cursorDuringRun = 99;
        prog.onTick = [&](int t) {
            if (t == 1) cursorDuringRun = hl::cursor_show_count();
            if (t == 2) hl::inject_key(prog.window());
        };
        EXPECT_EQ(prog.run(args), 0) << args;
        EXPECT_EQ(prog.saver->runMode, sg::RunMode::Saver);
        const auto windows = saver_windows(TITLE);
        ASSERT_EQ(windows.size(), 1u) << args;
        const auto& w = windows[0];
        EXPECT_EQ(w.title, TITLE);
        EXPECT_EQ(w.classStyle, 11u);
        EXPECT_EQ(w.exStyle, 0x88u);
        EXPECT_EQ(w.style, 0x94080000u);
        EXPECT_EQ(w.parent, nullptr);
        EXPECT_EQ(w.rect.left, 0);
        EXPECT_EQ(w.rect.top, 0);
        EXPECT_EQ(w.rect.right, 800);
        EXPECT_EQ(w.rect.bottom, 600);
        EXPECT_FALSE(w.alive);
        EXPECT_EQ(hl::timer_messages_delivered(), 2);
        EXPECT_EQ(cursorDuringRun, -1) << "hidden while the saver runs";
        EXPECT_EQ(hl::cursor_show_count(), 0) << "shown again at teardown";
        ASSERT_FALSE(hl::ime_calls().empty());
        EXPECT_EQ(hl::ime_calls()[0].context, nullptr);
        EXPECT_TRUE(hl::live_guards().empty()) << "closing the saver closes the guard";
        EXPECT_TRUE(hl::message_boxes().empty());
        EXPECT_EQ(hl::live_timers(), 0);
    }
}

TEST(StartUp, ChangePasswordShowsNothing) {
    for (const char* args : {"/a", "/A", "/a 1234"}) {
        Program prog = program();
        EXPECT_EQ(prog.run(args), 0) << args;
        expect_nothing_shown();
        EXPECT_TRUE(hl::live_guards().empty());
    }
}

TEST(StartUp, PreviewRunsAsAChildOfThePane) {
    Program prog = program();
    pf::HWND pane = nullptr;
    prog.beforeStart = [&] { pane = hl::create_foreign_window("pane", 30, 40, 152, 112); };
    prog.run("/a");
    int logicalWidth = 0;
    int logicalHeight = 0;
    prog.onTick = [&](int t) {
        if (t == 1) {
            logicalWidth = sg::surface_width(&prog.saver->frame.workSurface);
            logicalHeight = sg::surface_height(&prog.saver->frame.backgroundSurface);
        }
        if (t == 4) pf::DestroyWindow(pane);
    };
    EXPECT_EQ(prog.run("/p " + decimal(pane)), 0);
    const auto windows = saver_windows(TITLE);
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(windows[0].parent, pane);
    EXPECT_EQ(windows[0].style, 0x54080000u);
    EXPECT_EQ(windows[0].exStyle, 0x88u);
    EXPECT_EQ(windows[0].rect.right - windows[0].rect.left, 152);
    EXPECT_EQ(windows[0].rect.bottom - windows[0].rect.top, 112);
    EXPECT_EQ(prog.saver->previewWidth, 152);
    EXPECT_EQ(prog.saver->previewHeight, 112);
    EXPECT_EQ(logicalWidth, 320);
    EXPECT_EQ(logicalHeight, 240);
    EXPECT_EQ(hl::timer_messages_delivered(), 4);
    EXPECT_EQ(hl::cursor_show_count(), 0) << "the preview leaves the cursor alone";
    EXPECT_TRUE(hl::ime_calls().empty());
    EXPECT_EQ(hl::live_guards().size(), 1u) << "the pane went; the guard goes with the process";
}

TEST(StartUp, UnusablePreviewHandleIsABadCommandLine) {
    for (const char* args : {"/p", "/p ", "/p 0", "/p abc", "/P 4242"}) {
        Program prog = program();
        EXPECT_EQ(prog.run(args), 0) << args;
        expect_bad_command_line();
    }
}

TEST(StartUp, PreviewDigitsWithoutSeparatorLoseTheFirstOne) {
    Program prog = program();
    pf::HWND pane = nullptr;
    prog.beforeStart = [&] { pane = hl::create_foreign_window("pane", 0, 0, 100, 80); };
    prog.run("/a");
    // The lost digit makes another number, which is no window.
    EXPECT_EQ(prog.run("/p" + decimal(pane)), 0);
    expect_bad_command_line();
    // A digit in the separator's place is skipped the same way.
    prog.onTick = [&](int t) {
        if (t == 1) pf::DestroyWindow(pane);
    };
    EXPECT_EQ(prog.run("/p7" + decimal(pane)), 0);
    ASSERT_EQ(saver_windows(TITLE).size(), 1u);
    EXPECT_EQ(saver_windows(TITLE)[0].parent, pane);
}

TEST(StartUp, SecondInstanceEndsWithOneAndShowsNothing) {
    for (const char* args : {"/s", "", "/c", "/p 0", "x"}) {
        Program prog = program();
        prog.beforeStart = [] { hl::hold_foreign_guard(TITLE.c_str()); };
        EXPECT_EQ(prog.run(args), 1) << args;
        expect_nothing_shown();
    }
}

TEST(StartUp, MissingPackageShowsErrAndNoWindow) {
    Program prog;  // no package bytes
    EXPECT_EQ(prog.run("/s"), 0);
    ASSERT_EQ(hl::message_boxes().size(), 1u);
    EXPECT_EQ(hl::message_boxes()[0].text, "err");
    EXPECT_EQ(hl::message_boxes()[0].caption, "hres");
    for (const auto& w : hl::windows()) EXPECT_TRUE(w.foreign) << w.className;
    EXPECT_TRUE(hl::live_guards().empty());
}

// Pictures the loader refuses are reported by the saver window as it is
// built: each frame where it is met, layer by layer, then the background's.
TEST(StartUp, RefusedPicturesShowTheLoadersMessagesInOrder) {
    pack::Package p = base_package(TITLE);
    p.scene.backgroundMode = 3;
    p.scene.tile = pack::bmp24(coordinates(4, 4));
    p.scene.tile[0] = 'X';  // not a bitmap file
    pack::Bytes sixteenBits = pack::bmp24(solid(4, 4, {1, 2, 3}));
    sixteenBits[28] = 16;  // a bitmap of a kind the loader does not take
    pack::Bytes notBmp = pack::bmp24(solid(4, 4, {1, 2, 3}));
    notBmp[1] = 'A';
    p.layers[2] = still_sprite(solid(4, 4, {7, 7, 7}), 0, 0);
    p.layers[2].set->frames.push_back({sixteenBits, 1});
    p.layers[5] = still_sprite(solid(4, 4, {7, 7, 7}), 0, 0);
    p.layers[5].set->frames[0].bmp = notBmp;
    Program prog = program(p);
    prog.onTick = [&](int t) { if (t == 1) hl::inject_key(prog.window()); };
    EXPECT_EQ(prog.run("/s"), 0);
    const std::vector<std::string> expected = {sg::MSG_UNSUPPORTED_BMP, sg::MSG_UNSUPPORTED_FILE,
                                               sg::MSG_UNSUPPORTED_FILE};
    ASSERT_EQ(hl::message_boxes().size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        EXPECT_EQ(hl::message_boxes()[k].text, expected[k]) << k;
        EXPECT_EQ(hl::message_boxes()[k].caption, sg::CAPTION_ERROR);
        EXPECT_EQ(hl::message_boxes()[k].owner, nullptr);
    }
}

// ---- input ----

TEST(SaverInput, MouseStepsOfFourStayAndFiveClose) {
    struct Case {
        pf::POINT closing;
        const char* what;
    };
    for (const Case c : {Case{{309, 296}, "5 on x"}, Case{{304, 301}, "5 on y"},
                         Case{{299, 291}, "5 on both, negative"}}) {
        Program prog = program();
        prog.beforeStart = [] { hl::set_cursor_pos(0, 0); };
        prog.onTick = [&](int t) {
            pf::HWND w = prog.window();
            if (t == 1) hl::inject_mouse_move(w, 300, 300);  // first: far, only recorded
            if (t == 2) hl::inject_mouse_move(w, 304, 296);  // 4 on both axes
            if (t == 3) hl::inject_mouse_move(w, c.closing.x, c.closing.y);
        };
        EXPECT_EQ(prog.run("/s"), 0) << c.what;
        EXPECT_EQ(hl::timer_messages_delivered(), 3) << c.what;
        EXPECT_EQ(prog.saver->firstMouseMove, 0);
    }
}

TEST(SaverInput, DriftOfFourPerMoveNeverCloses) {
    Program prog = program();
    prog.onTick = [&](int t) {
        if (t >= 1 && t <= 10) hl::inject_mouse_move(prog.window(), 4 * t, 4 * t);
        if (t == 12) hl::inject_key(prog.window());
    };
    EXPECT_EQ(prog.run("/s"), 0);
    EXPECT_EQ(hl::timer_messages_delivered(), 12);
    EXPECT_EQ(prog.saver->lastCursorPos.x, 40);
    EXPECT_EQ(prog.saver->lastCursorPos.y, 40);
}

TEST(SaverInput, AnyKeyOrButtonCloses) {
    const std::function<void(pf::HWND)> inputs[] = {
        [](pf::HWND w) { hl::inject_key(w, pf::WM_KEYDOWN, 0x20); },
        [](pf::HWND w) { hl::inject_key(w, pf::WM_SYSKEYDOWN, 0x12); },
        [](pf::HWND w) { hl::inject_button(w, pf::WM_LBUTTONDOWN); },
        [](pf::HWND w) { hl::inject_button(w, pf::WM_RBUTTONDOWN); },
        [](pf::HWND w) { hl::inject_button(w, pf::WM_MBUTTONDOWN); },
    };
    for (const auto& input : inputs) {
        Program prog = program();
        prog.onTick = [&](int t) {
            if (t == 2) {
                input(prog.window());
                input(prog.window());  // a second request finds the window gone
            }
        };
        EXPECT_EQ(prog.run("/s"), 0);
        EXPECT_EQ(hl::timer_messages_delivered(), 2);
    }
    // Key releases and characters do not close.
    Program prog = program();
    prog.onTick = [&](int t) {
        if (t == 1) hl::inject_key(prog.window(), pf::WM_KEYUP, 0x20);
        if (t == 3) hl::inject_key(prog.window());
    };
    EXPECT_EQ(prog.run("/s"), 0);
    EXPECT_EQ(hl::timer_messages_delivered(), 3);
}

TEST(SaverInput, PreviewIgnoresKeysButtonsAndMoves) {
    Program prog = program();
    pf::HWND pane = nullptr;
    prog.beforeStart = [&] { pane = hl::create_foreign_window("pane", 0, 0, 200, 150); };
    prog.run("/a");
    prog.onTick = [&](int t) {
        pf::HWND w = prog.window();
        if (t == 1) hl::inject_mouse_move(w, 0, 0);
        if (t == 2) hl::inject_mouse_move(w, 500, 400);
        if (t == 3) hl::inject_key(w);
        if (t == 4) {
            hl::inject_button(w, pf::WM_LBUTTONDOWN);
            hl::inject_button(w, pf::WM_RBUTTONDOWN);
        }
        if (t == 6) pf::DestroyWindow(pane);
    };
    EXPECT_EQ(prog.run("/p " + decimal(pane)), 0);
    EXPECT_EQ(hl::timer_messages_delivered(), 6);
    EXPECT_EQ(prog.saver->firstMouseMove, 1) << "preview moves are not even recorded";
}

TEST(SaverInput, TimerWithAnotherIdChangesNothing) {
    pack::Package p = base_package(TITLE);
    p.scene.backgroundMode = 1;
    p.layers[0] = moving_sprite(solid(5, 5, {1, 2, 3}), 50, 60, 1);
    Program prog = program(p);
    bool checked = false;
    prog.onTick = [&](int t) {
        if (t != 2) return;
        // Through the window procedure, which finds the saver from the window.
        const sg::SaverState& saver = *prog.saver;
        auto before = std::make_unique<std::uint8_t[]>(sizeof saver);
        std::memcpy(before.get(), &saver, sizeof saver);
        const int x = saver.world.layerTable[0].x[0];
        const auto pixels = saver_pixels(saver).pixels;

        sg::saver_window_proc(prog.window(), pf::WM_TIMER, sg::TICK_TIMER_ID + 1, 0);
        EXPECT_EQ(std::memcmp(before.get(), &saver, sizeof saver), 0) << "the saver changed";
        EXPECT_EQ(saver_pixels(saver).pixels, pixels);

        // The real id moves the sprite on.
        sg::saver_window_proc(prog.window(), pf::WM_TIMER, sg::TICK_TIMER_ID, 0);
        EXPECT_EQ(saver.world.layerTable[0].x[0], x + 2);
        checked = true;
        hl::inject_key(prog.window());
    };
    EXPECT_EQ(prog.run("/s"), 0);
    EXPECT_TRUE(checked);
}

// ---- sound and teardown ----

pack::Bytes tiny_wav() {
    return sg::test::silent_wav();
}

TEST(SaverSound, LoopsFromPackageMemoryAndStopsOnClose) {
    pack::Package p = base_package(TITLE);
    p.scene.sound = tiny_wav();
    Program prog = program(p);
    prog.onTick = key_after(prog, 2);
    EXPECT_EQ(prog.run("/s"), 0);
    const auto& calls = hl::sound_calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_TRUE(calls[0].play);
    EXPECT_EQ(calls[0].flags, 31u);
    const auto* wav = static_cast<const std::uint8_t*>(calls[0].wav);
    ASSERT_GE(wav, prog.package.data());
    ASSERT_LT(wav, prog.package.data() + prog.package.size());
    EXPECT_EQ(std::memcmp(wav, tiny_wav().data(), tiny_wav().size()), 0);
    EXPECT_FALSE(calls[1].play);
}

TEST(SaverSound, NoSoundCallsWithoutASound) {
    Program prog = program();
    prog.onTick = key_after(prog, 1);
    EXPECT_EQ(prog.run("/s"), 0);
    EXPECT_TRUE(hl::sound_calls().empty());
}

TEST(SaverSound, ASoundRunningPastThePackageStaysSilent) {
    pack::Package p = base_package(TITLE);
    p.scene.sound = tiny_wav();
    pack::Bytes bytes = pack::package_bytes(p);
    const std::int32_t scene = pack::get32(bytes, 0);
    // The RIFF size claims more bytes than the package holds.
    const std::int32_t sound = pack::get32(bytes, std::size_t(scene) + 324);
    pack::put32(bytes, std::size_t(scene + sound) + 4, std::int32_t(bytes.size()));
    Program prog;
    prog.package = bytes;
    prog.onTick = key_after(prog, 1);
    EXPECT_EQ(prog.run("/s"), 0);
    for (const auto& call : hl::sound_calls()) EXPECT_FALSE(call.play);

    // An offset far outside it likewise.
    pack::put32(bytes, std::size_t(scene) + 324, 0x7FFFFF00);
    prog.package = bytes;
    EXPECT_EQ(prog.run("/s"), 0);
    for (const auto& call : hl::sound_calls()) EXPECT_FALSE(call.play);
    EXPECT_EQ(hl::timer_messages_delivered(), 1);
}

TEST(SaverTeardown, LeavesNoGdiObjectBehind) {
    pack::Package tiled = base_package(TITLE);
    tiled.scene.backgroundMode = 3;
    tiled.scene.tile = pack::bmp24(coordinates(16, 16));
    tiled.layers[0] = moving_sprite(solid(8, 8, {9, 9, 9}), 10, 10, 1, 0);
    tiled.layers[3] = still_sprite(solid(4, 4, {7, 7, 7}), 20, 20, 3);

    pack::Package picture = base_package(TITLE);
    picture.scene.backgroundMode = 4;
    picture.scene.pictureFit = 0;
    picture.scene.picture = pack::bmp24(coordinates(30, 20));
    picture.layers[1] = still_sprite(solid(4, 4, {7, 7, 7}), 20, 20, 0);

    for (const pack::Package& p : {tiled, picture}) {
        for (const bool preview : {false, true}) {
            Program prog = program(p);
            pf::HWND pane = nullptr;
            int atStart = -1;
            int whileRunning = -1;
            prog.beforeStart = [&] {
                pane = hl::create_foreign_window("pane", 0, 0, 100, 75);
                atStart = pf::diagnostics::gdi_objects_alive();
            };
            prog.run("/a");
            prog.onTick = [&](int t) {
                if (t != 3) return;
                whileRunning = pf::diagnostics::gdi_objects_alive();
                if (preview)
                    pf::DestroyWindow(pane);
                else
                    hl::inject_key(prog.window());
            };
            EXPECT_EQ(prog.run(preview ? "/p " + decimal(pane) : std::string("/s")), 0);
            EXPECT_GT(whileRunning, atStart);
            EXPECT_EQ(pf::diagnostics::gdi_objects_alive(), atStart) << (preview ? "preview" : "full screen");
            EXPECT_EQ(hl::live_timers(), 0);
        }
    }
}

}  // namespace

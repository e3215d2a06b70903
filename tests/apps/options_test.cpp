// The Linux program's command line: its own options anywhere, the daemon's
// options first, the engine's modes as they are, and a one-line refusal
// (naming --scene where a file was probably meant) for everything else.
#include <gtest/gtest.h>

#include "apps/linux/options.h"

using sg::app::DaemonMode;
using sg::app::Options;
using sg::app::parse_options;

namespace {

Options parse(std::vector<std::string> args, const char* env = nullptr) { return parse_options(args, env); }

}  // namespace

TEST(LinuxOptions, HelpAndVersionWinWherever) {
    EXPECT_EQ(parse({"--help"}).action, Options::Action::Help);
    EXPECT_EQ(parse({"/s", "-h"}).action, Options::Action::Help);
    EXPECT_EQ(parse({"--scene", "x", "--version"}).action, Options::Action::Version);
    EXPECT_NE(std::string(sg::app::USAGE).find("--scene FILE"), std::string::npos);
}

TEST(LinuxOptions, SceneAndScaleComeOutOfTheModeInAnyPlace) {
    Options o = parse({"/c", "--scene", "my scene.scr", "--scale", "2"});
    EXPECT_EQ(o.action, Options::Action::Run);
    EXPECT_EQ(o.scene, "my scene.scr");
    EXPECT_EQ(o.scale, 2);
    EXPECT_EQ(o.saverArguments, "/c");
    o = parse({"--scene=a.kavren", "-window"});
    EXPECT_EQ(o.scene, "a.kavren");
    EXPECT_EQ(o.daemon, DaemonMode::OwnWindow);
    EXPECT_EQ(parse({"--scene", "a.kavren"}).saverArguments, "");  // the about box
    o = parse({"/s", "--monitors", "span"});
    EXPECT_EQ(o.monitors, sg::format::MonitorMode::Span);
    EXPECT_EQ(o.saverArguments, "/s");
    EXPECT_EQ(parse({"--monitors=each", "-root"}).monitors, sg::format::MonitorMode::Each);
    EXPECT_EQ(parse({"-monitors", "primary"}).monitors, sg::format::MonitorMode::Primary);
    EXPECT_FALSE(parse({"/s"}).monitors.has_value());  // the scene decides
}

TEST(LinuxOptions, EngineModesPassAsTheyAre) {
    EXPECT_EQ(parse({"/p", "1234"}).saverArguments, "/p 1234");
    EXPECT_EQ(parse({"/c:77"}).saverArguments, "/c:77");
    EXPECT_EQ(parse({"/C", "-5"}).saverArguments, "/C -5");
    EXPECT_EQ(parse({"-s"}).saverArguments, "-s");  // the engine decides
}

TEST(LinuxOptions, DaemonModes) {
    Options o = parse({"-root"}, "0x2a");
    EXPECT_EQ(o.daemon, DaemonMode::Root);
    EXPECT_EQ(o.window, 42u);
    EXPECT_EQ(parse({"--root"}).window, 0u);  // the root window, found later
    o = parse({"-window-id", "123"});
    EXPECT_EQ(o.daemon, DaemonMode::WindowId);
    EXPECT_EQ(o.window, 123u);
}

TEST(LinuxOptions, RefusalsSayWhatIsWrong) {
    struct Case {
        std::vector<std::string> args;
        const char* env;
        const char* says;
    };
    const Case cases[] = {
        {{"myscene.kavren"}, nullptr, "unexpected \"myscene.kavren\" (to play the scene of a file: --scene FILE"},
        {{"/home/me/myscene.kavren"}, nullptr, "unexpected \"/home/me/myscene.kavren\" (to play"},
        {{"-window", "myscene.kavren"}, nullptr, "unexpected \"myscene.kavren\" after -window (to play"},
        {{"/s", "1234"}, nullptr, "unexpected \"1234\""},  // a handle only after /p or /c
        {{"/p", "12", "34"}, nullptr, "unexpected \"34\""},
        {{"--scene"}, nullptr, "--scene needs a file"},
        {{"--scene", "a", "--scene", "b"}, nullptr, "--scene is given twice"},
        {{"--scene="}, nullptr, "--scene needs a file"},
        {{"--scale", "0"}, nullptr, "--scale needs a whole number from 1 to 64"},
        {{"--scale", "65"}, nullptr, "--scale needs"},
        {{"--scale"}, nullptr, "--scale needs"},
        {{"--monitors", "all"}, nullptr, "--monitors \"all\" is not one of primary, each, span"},
        {{"--monitors"}, nullptr, "--monitors needs one of primary, each, span"},
        {{"--monitors", "Each"}, nullptr, "is not one of"},
        {{"--monitors=each", "--monitors", "span"}, nullptr, "--monitors is given twice"},
        {{"-root"}, "0755", "XSCREENSAVER_WINDOW=\"0755\" is not a window id"},
        {{"-window-id"}, nullptr, "-window-id needs a window id"},
        {{"-window-id", "0x"}, nullptr, "-window-id needs a window id"},
        {{"-window-id", "0x20000000"}, nullptr, "-window-id needs a window id"},
    };
    for (const Case& c : cases) {
        const Options o = parse(c.args, c.env);
        SCOPED_TRACE(c.says);
        EXPECT_EQ(o.action, Options::Action::Refuse);
        EXPECT_NE(o.refusal.find(c.says), std::string::npos) << o.refusal;
        EXPECT_EQ(o.refusal.find('\n'), std::string::npos);
    }
}

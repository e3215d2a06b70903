// The subcommands of snowglobe-pack. Each takes its arguments (after the
// subcommand's name), prints to stdout/stderr and returns the exit status:
// 0 success, 1 failure (a message has been printed), 2 bad usage. Each
// command's code is in its own file here (build.cpp, render.cpp, ...); a
// build without windows (the studio) has no preview and answers it as an
// unknown command.
#pragma once

#include <string>
#include <vector>

namespace sg::packtool {

using Args = std::vector<std::string>;

int cmd_build(const Args& args);
int cmd_inspect(const Args& args);
int cmd_validate(const Args& args);
int cmd_extract(const Args& args);
int cmd_render(const Args& args);
int cmd_bind(const Args& args);
int cmd_listing(const Args& args);
int cmd_preview(const Args& args);
int cmd_installer(const Args& args);

// The whole program: args[0] is the subcommand.
int run_pack(const Args& args);

}  // namespace sg::packtool

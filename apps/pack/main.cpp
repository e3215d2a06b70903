// snowglobe-pack: the authoring tool for snowglobe scenes.
#include "apps/pack/commands.h"

int main(int argc, char** argv) {
    sg::packtool::Args args(argv + 1, argv + argc);
    return sg::packtool::run_pack(args);
}

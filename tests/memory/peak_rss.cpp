// peak_rss [--refused] LIMIT_KIB COMMAND ARGS...: runs the command and fails
// (exit 1) when it did not exit 0 (with --refused: 1, a refusal) or its peak
// resident memory passed LIMIT_KIB.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    const bool refused = argc > 1 && std::string(argv[1]) == "--refused";
    if (refused) --argc, ++argv;
    if (argc < 3) {
        std::fprintf(stderr, "usage: peak_rss [--refused] LIMIT_KIB COMMAND [ARGS...]\n");
        return 2;
    }
    const long limit = std::strtol(argv[1], nullptr, 10);
    const pid_t child = fork();
    if (child < 0) return 2;
    if (child == 0) {
        execv(argv[2], argv + 2);
        std::perror(argv[2]);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) return 2;
    std::printf("peak resident %ld KiB (limit %ld KiB)\n", usage.ru_maxrss, limit);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != (refused ? 1 : 0)) {
        std::printf(refused ? "the command was not refused (status 1)\n" : "the command failed\n");
        return 1;
    }
    return usage.ru_maxrss <= limit ? 0 : 1;
}

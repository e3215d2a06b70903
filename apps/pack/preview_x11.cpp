// snowglobe-pack preview: the scene of a manifest in a window of its own,
// shown by the Linux snowglobe program, rebuilt and shown again whenever the
// manifest or a file in its folders changes.
#include "apps/pack/command.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <optional>
#include <set>

#include "format/exe_package.h"
#include "tools/core/check.h"
#include "tools/core/engine_check.h"
#include "tools/core/manifest.h"
#include "tools/core/output.h"
#include "tools/core/sjis.h"

// Last: Xlib defines macros (Status, None, Bool) that other headers use as names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace sg::packtool {

namespace fs = std::filesystem;

const char* const PREVIEW_HELP =
    "usage: snowglobe-pack preview SCENE.toml [--size WxH] [--engine PROGRAM] [--time-limit S]\n"
    "\n"
    "Builds the scene in memory and shows it in a window of W x H (default 640x480)\n"
    "with the Linux snowglobe program, as a screen-saver daemon would. Whenever the\n"
    "manifest or a file beside it or beside the files it names changes, the scene is\n"
    "built again and shown from its start, within a second. Build errors are printed\n"
    "and the last good scene keeps playing. Close the window or press Ctrl-C to end.\n"
    "--engine  the snowglobe program to use (default: the one beside snowglobe-pack,\n"
    "          in the build tree, or in the install prefix).\n"
    "--time-limit  the seconds a build may take before it is stopped (default 30);\n"
    "          builds run beside the window, which keeps answering meanwhile.\n";

namespace {

// What the X error and exit paths must undo: read by a handler, so plain data.
pid_t shownPid = -1;
pid_t buildPid = -1;
char shownProgram[4096];
char shownDir[4096];

void stop_shown() {
    if (shownPid <= 0) return;
    ::kill(shownPid, SIGTERM);
    for (int i = 0; i < 40; ++i) {
        if (::waitpid(shownPid, nullptr, WNOHANG) == shownPid) {
            shownPid = -1;
            return;
        }
        ::usleep(50'000);
    }
    ::kill(shownPid, SIGKILL);
    ::waitpid(shownPid, nullptr, 0);
    shownPid = -1;
}

int lost_display(Display*) {
    if (shownPid > 0) ::kill(shownPid, SIGTERM);
    if (buildPid > 0) ::kill(buildPid, SIGKILL);
    if (shownProgram[0]) ::unlink(shownProgram);
    if (shownDir[0]) ::rmdir(shownDir);
    std::fprintf(stderr, "snowglobe-pack preview: the X display went away\n");
    std::_Exit(1);
}

struct Scene {
    Bytes package;
    std::string title;
};

// Builds the manifest; the reasons it cannot be shown go to stderr.
std::optional<Scene> build(const fs::path& manifest) {
    try {
        Built built = build_manifest(manifest);
        Scene scene;
        scene.package = pack::package_bytes(built.package);
        Checked checked = check_package(scene.package);
        if (!checked.ok()) {
            std::cerr << manifest.string() << ": the engine would refuse this scene:\n";
            for (const pack::Problem& p : checked.problems)
                if (p.severity == pack::Severity::Error) std::cerr << "  error: " << p.message << "\n";
            return std::nullopt;
        }
        const std::uint32_t codePage = checked.read.textCodePage;
        scene.title = code_page_to_utf8(checked.read.scene.title, codePage)
                          .value_or(code_page_display(checked.read.scene.title, codePage));
        return scene;
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return std::nullopt;
    }
}

// A build of the manifest in a child process, so that a file that takes
// long (or never ends) holds up neither the window nor the signals. The
// child writes the title's length (4 bytes), the title and the package to
// a pipe; its errors go to stderr.
struct Building {
    pid_t pid = -1;
    int fd = -1;
    Bytes got;
    std::chrono::steady_clock::time_point started;
};

void start_build(Building& b, const fs::path& manifest, const sigset_t& original) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw Failure(std::string("cannot start a build: ") + std::strerror(errno));
    std::cout.flush();
    std::cerr.flush();
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        throw Failure(std::string("cannot start a build: ") + std::strerror(errno));
    }
    if (pid == 0) {
        ::close(fds[0]);
        for (int sig : {SIGINT, SIGTERM, SIGHUP}) ::signal(sig, SIG_DFL);
        ::sigprocmask(SIG_SETMASK, &original, nullptr);
        // The tests stop the build here to see the time limit at work.
        if (std::getenv("SNOWGLOBE_PACK_STOP_PREVIEW_BUILD")) ::raise(SIGSTOP);
        auto scene = build(manifest);
        if (!scene) std::_Exit(1);
        Bytes out(4);
        write_u32(out.data(), static_cast<std::uint32_t>(scene->title.size()));
        out.insert(out.end(), scene->title.begin(), scene->title.end());
        out.insert(out.end(), scene->package.begin(), scene->package.end());
        for (std::size_t done = 0; done < out.size();) {
            const ssize_t n = ::write(fds[1], out.data() + done, out.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) std::_Exit(1);
            done += static_cast<std::size_t>(n);
        }
        std::_Exit(0);
    }
    ::close(fds[1]);
    ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
    b.pid = buildPid = pid;
    b.fd = fds[0];
    b.got.clear();
    b.started = std::chrono::steady_clock::now();
}

void stop_build(Building& b) {
    if (b.pid <= 0) return;
    ::kill(b.pid, SIGKILL);
    ::waitpid(b.pid, nullptr, 0);
    ::close(b.fd);
    b.pid = buildPid = -1;
    b.fd = -1;
    b.got.clear();
}

// Reads what the build sent; the scene once it has ended well, nullopt
// while it runs or when it failed (done says which).
std::optional<Scene> read_build(Building& b, bool& done) {
    done = false;
    std::uint8_t buffer[65536];
    for (;;) {
        const ssize_t n = ::read(b.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;  // nothing more yet
        if (n == 0) break;
        b.got.insert(b.got.end(), buffer, buffer + n);
    }
    int status = 0;
    ::waitpid(b.pid, &status, 0);
    ::close(b.fd);
    b.pid = buildPid = -1;
    b.fd = -1;
    done = true;
    Bytes got = std::move(b.got);
    b.got.clear();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || got.size() < 4 || read_u32(got.data()) > got.size() - 4)
        return std::nullopt;
    Scene scene;
    const std::size_t titleBytes = read_u32(got.data());
    scene.title.assign(got.begin() + 4, got.begin() + 4 + static_cast<std::ptrdiff_t>(titleBytes));
    scene.package.assign(got.begin() + 4 + static_cast<std::ptrdiff_t>(titleBytes), got.end());
    return scene;
}

pid_t show(const fs::path& program, unsigned long window, const sigset_t& original) {
    pid_t pid = ::fork();
    if (pid < 0) throw Failure(std::string("cannot start the snowglobe program: ") + std::strerror(errno));
    if (pid == 0) {
        ::sigprocmask(SIG_SETMASK, &original, nullptr);
        std::string id = std::to_string(window);
        ::execl(program.c_str(), "snowglobe", "-window-id", id.c_str(), static_cast<char*>(nullptr));
        std::fprintf(stderr, "snowglobe-pack preview: cannot run %s: %s\n", program.c_str(), std::strerror(errno));
        std::_Exit(127);
    }
    return pid;
}

// The folders of the manifest and of every file it names: editors replace
// files by renaming, so the folders are watched, not the files.
void watch(int fd, const fs::path& manifest, std::map<int, fs::path>* watched) {
    for (const fs::path& file : manifest_inputs(manifest)) {
        fs::path dir = fs::absolute(file).parent_path();
        int wd = ::inotify_add_watch(fd, dir.c_str(),
                                     IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_ATTRIB);
        if (wd >= 0) (*watched)[wd] = dir;
    }
}

// True when some event arrived; reads them all.
bool drain(int fd) {
    alignas(inotify_event) char buffer[8192];
    bool any = false;
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) return any;
        any = true;
    }
}

}  // namespace

// The Linux program to show scenes with: `given` when set, else `snowglobe`
// beside this tool, in the build tree, or in the install prefix's bin/.
// Throws Failure listing where it looked.
fs::path find_linux_program(const std::optional<fs::path>& given) {
    std::vector<fs::path> places;
    if (given) {
        places.push_back(*given);
    } else {
        std::error_code ec;
        fs::path self = fs::read_symlink("/proc/self/exe", ec).parent_path();
        if (!ec) {
            // Beside this tool (an installed tree), else in the build tree
            // this tool was built in (BUILD/apps/pack/snowglobe-pack).
            const fs::path buildTree = self.parent_path().parent_path();
            places.push_back(self / "snowglobe");
            places.push_back(buildTree / "apps" / "linux" / "snowglobe");
        }
#ifdef SNOWGLOBE_INSTALL_BINDIR
        places.push_back(fs::path(SNOWGLOBE_INSTALL_BINDIR) / "snowglobe");
#endif
    }
    std::string tried;
    for (const fs::path& p : places) {
        std::error_code ec;
        if (fs::is_regular_file(p, ec) && ::access(p.c_str(), X_OK) == 0) return p;
        tried += (tried.empty() ? "" : ", ") + p.string();
    }
    throw Failure("no Linux snowglobe program found (looked at " + tried + "); give one with --engine");
}

int run_preview(const std::vector<std::string>& args) {
    std::optional<fs::path> manifest, given;
    int width = 640, height = 480;
    long limitSeconds = 30;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--size" || a == "--engine" || a == "--time-limit") {
            if (i + 1 >= args.size()) throw Usage(a + " needs a value");
            const std::string& v = args[++i];
            if (a == "--engine") {
                given = v;
                continue;
            }
            if (a == "--time-limit") {
                char* end = nullptr;
                limitSeconds = std::strtol(v.c_str(), &end, 10);
                if (v.empty() || *end || limitSeconds < 1 || limitSeconds > 3600)
                    throw Usage("--time-limit must be a number of seconds, 1 to 3600");
                continue;
            }
            char* end = nullptr;
            long w = std::strtol(v.c_str(), &end, 10);
            long h = (*end == 'x' || *end == 'X') ? std::strtol(end + 1, &end, 10) : 0;
            if (*end || w < 16 || h < 16 || w > 16384 || h > 16384)
                throw Usage("--size must look like 640x480 (16 to 16384 on a side)");
            width = static_cast<int>(w), height = static_cast<int>(h);
        } else if (!a.empty() && a[0] == '-') {
            throw Usage("unknown option " + a);
        } else if (manifest) {
            throw Usage("give one manifest");
        } else {
            manifest = a;
        }
    }
    if (!manifest) throw Usage("give the manifest (SCENE.toml) to preview");
    if (manifest->extension() != ".toml") throw Usage("preview shows a manifest (.toml) as it is edited");
    if (!fs::is_regular_file(*manifest)) throw Failure(manifest->string() + ": no such file");

    const fs::path engine = find_linux_program(given);
    const Bytes engineBytes = read_file(engine);
    if (check_engine(engineBytes, engine.string()) != EngineKind::Linux)
        throw Failure(engine.string() + ": not the Linux snowglobe program");

    Display* display = XOpenDisplay(nullptr);
    if (!display) throw Failure("preview needs an X11 display (DISPLAY is not set or cannot be opened)");
    XSetIOErrorHandler(lost_display);

    char dirTemplate[] = "/tmp/snowglobe-preview-XXXXXX";
    if (!::mkdtemp(dirTemplate)) throw Failure(std::string("cannot make a temporary folder: ") + std::strerror(errno));
    const fs::path program = fs::path(dirTemplate) / "snowglobe";
    std::snprintf(shownProgram, sizeof shownProgram, "%s", program.c_str());
    std::snprintf(shownDir, sizeof shownDir, "%s", dirTemplate);

    const int screen = DefaultScreen(display);
    Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, static_cast<unsigned>(width),
                                        static_cast<unsigned>(height), 0, 0, BlackPixel(display, screen));
    XSizeHints hints{};
    hints.flags = PMinSize | PMaxSize;
    hints.min_width = hints.max_width = width;
    hints.min_height = hints.max_height = height;
    XSetWMNormalHints(display, window, &hints);
    Atom closeAtom = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &closeAtom, 1);
    XStoreName(display, window, ("snowglobe-pack preview: " + manifest->filename().string()).c_str());
    XMapWindow(display, window);
    XSync(display, False);

    // The signals that end the preview are read in the loop, so the shown
    // program and the temporary files go with it.
    sigset_t ending, original;
    sigemptyset(&ending);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&ending, sig);
    ::sigprocmask(SIG_BLOCK, &ending, &original);
    int signals = ::signalfd(-1, &ending, SFD_NONBLOCK | SFD_CLOEXEC);
    int notify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (signals < 0 || notify < 0) throw Failure(std::string("cannot watch the files: ") + std::strerror(errno));
    std::map<int, fs::path> watched;

    Bytes shownPackage;
    Building building;
    const auto limit = std::chrono::seconds(limitSeconds);
    auto rebuild = [&] {
        watch(notify, *manifest, &watched);
        stop_build(building);  // the newest files win
        start_build(building, *manifest, original);
    };
    auto built = [&](std::optional<Scene> scene) {
        if (!scene) {
            std::cerr << (shownPid > 0 ? "preview: the last good scene keeps playing\n" : "preview: nothing to show yet\n");
            return;
        }
        if (scene->package == shownPackage && shownPid > 0) return;
        auto bound = sg::format::exe_package::append(engineBytes, scene->package);
        if (!bound) throw Failure(engine.string() + ": its package trailer is damaged");
        stop_shown();
        write_output(program, *bound, 0755);
        shownPid = show(program, window, original);
        shownPackage = std::move(scene->package);
        XStoreName(display, window, ("snowglobe-pack preview: " + scene->title).c_str());
        XFlush(display);
        std::cerr << "preview: showing " << manifest->string() << " (" << shownPackage.size() << " bytes)\n";
    };
    rebuild();

    int status = 0;
    for (bool running = true; running;) {
        pollfd fds[4] = {{notify, POLLIN, 0}, {signals, POLLIN, 0}, {ConnectionNumber(display), POLLIN, 0},
                         {building.fd, POLLIN, 0}};
        int wait = XPending(display) ? 0 : 200;
        if (building.pid > 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                building.started + limit - std::chrono::steady_clock::now());
            wait = std::clamp(static_cast<int>(left.count()), 0, wait);
        }
        ::poll(fds, building.pid > 0 ? 4 : 3, wait);
        if (fds[1].revents & POLLIN) {
            signalfd_siginfo info{};
            if (::read(signals, &info, sizeof info) > 0) status = 128 + static_cast<int>(info.ssi_signo);
            running = false;
        }
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == ClientMessage && static_cast<Atom>(event.xclient.data.l[0]) == closeAtom) running = false;
        }
        if (shownPid > 0) {
            int how = 0;
            if (::waitpid(shownPid, &how, WNOHANG) == shownPid) {
                shownPid = -1;
                std::cerr << "preview: the snowglobe program ended ("
                          << (WIFEXITED(how) ? "status " + std::to_string(WEXITSTATUS(how))
                                             : "signal " + std::to_string(WTERMSIG(how)))
                          << "); waiting for a change\n";
            }
        }
        if (running && building.pid > 0) {
            bool done = false;
            auto scene = read_build(building, done);
            if (done) {
                try {
                    built(std::move(scene));
                } catch (const Failure& e) {
                    std::cerr << e.what() << "\n";
                }
            } else if (std::chrono::steady_clock::now() - building.started >= limit) {
                stop_build(building);
                std::cerr << "preview: building " << manifest->string() << " took more than "
                          << count_of(limitSeconds, "second") << "; stopped it (a file that never ends?)\n";
                built(std::nullopt);
            }
        }
        if (running && (fds[0].revents & POLLIN) && drain(notify)) {
            // Let a save that writes in several steps finish first.
            auto start = std::chrono::steady_clock::now();
            for (;;) {
                pollfd more{notify, POLLIN, 0};
                if (::poll(&more, 1, 100) <= 0 || !drain(notify)) break;
                if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(500)) break;
            }
            try {
                rebuild();
            } catch (const Failure& e) {
                std::cerr << e.what() << "\n";
            }
        }
    }
    stop_build(building);
    stop_shown();
    std::error_code ec;
    fs::remove_all(dirTemplate, ec);
    shownProgram[0] = 0;
    shownDir[0] = 0;
    XDestroyWindow(display, window);
    XCloseDisplay(display);
    ::close(notify);
    ::close(signals);
    ::sigprocmask(SIG_SETMASK, &original, nullptr);
    return status;
}

namespace {

const Command PREVIEW_COMMAND = {"preview", PREVIEW_HELP, run_preview};

}  // namespace

const Command* preview_command() { return &PREVIEW_COMMAND; }

}  // namespace sg::packtool

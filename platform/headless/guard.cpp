// The named guard (CreateSemaphoreA/CloseHandle). Names are counted per
// process; when guards are process-wide, the first holder in this process
// also binds an abstract-namespace unix socket named after the guard. The
// kernel refuses a second bind of the same name (EADDRINUSE) from any process,
// and drops the name with the last descriptor, so a crashed or killed holder
// frees it, as a Windows named object goes with its last handle.
#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/headless/state.h"

namespace pf::headless {

using namespace detail;

namespace {

constexpr std::uintptr_t FIRST_SEMAPHORE_HANDLE = 0x60004;
constexpr std::uintptr_t SEMAPHORE_HANDLE_STEP = 4;

std::uint64_t fnv1a(const std::string& text, std::uint64_t basis) {
    std::uint64_t h = basis;
    for (unsigned char c : text) {
        h ^= c;
        h *= 0x100000001B3ull;
    }
    return h;
}

// The socket's name: per user, like a session's named objects. Names too
// long for sun_path are replaced by two independent 64-bit hashes.
std::string abstract_name(const std::string& title) {
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "snowglobe.guard.%u.", static_cast<unsigned>(getuid()));
    std::string name = prefix;
    const std::string& scope = state().guardScope;
    // NUL cannot occur in a title, so no scope and title run into another pair.
    const std::string guard = scope.empty() ? title : scope + std::string(1, '\0') + title;
    constexpr std::size_t room = sizeof(sockaddr_un::sun_path) - 1;  // after the leading NUL
    if (name.size() + guard.size() <= room) return name + guard;
    char hashed[64];
    std::snprintf(hashed, sizeof hashed, "#%016llx%016llx",
                  static_cast<unsigned long long>(fnv1a(guard, 0xCBF29CE484222325ull)),
                  static_cast<unsigned long long>(fnv1a(guard, 0x84222325CBF29CE4ull)));
    return name + hashed;
}

enum class Claim { Ours, Elsewhere, Unavailable };

Claim claim_name(const std::string& guard, int* socketOut) {
    *socketOut = -1;
    int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return Claim::Unavailable;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::string name = abstract_name(guard);
    std::memcpy(addr.sun_path + 1, name.data(), name.size());
    auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    if (bind(fd, reinterpret_cast<const sockaddr*>(&addr), length) == 0) {
        *socketOut = fd;
        return Claim::Ours;
    }
    int error = errno;
    close(fd);
    return error == EADDRINUSE ? Claim::Elsewhere : Claim::Unavailable;
}

}  // namespace

namespace detail {

Guard* find_guard(const std::string& name) {
    for (auto& g : state().guards)
        if (g.name == name) return &g;
    return nullptr;
}

void release_guards() {
    State& s = state();
    for (auto& g : s.guards)
        if (g.socket >= 0) close(g.socket);
    s.guards.clear();
    s.semaphores.clear();
}

}  // namespace detail

}  // namespace pf::headless

namespace pf {

using namespace headless;
using namespace headless::detail;

HANDLE CreateSemaphoreA(void*, LONG initial, LONG maximum, const char* name) {
    State& s = state();
    if (maximum <= 0 || initial < 0 || initial > maximum) {
        set_last_error(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::uintptr_t handle =
        headless::FIRST_SEMAPHORE_HANDLE + headless::SEMAPHORE_HANDLE_STEP * s.nextSemaphoreHandle++;
    std::string guardName = name ? name : "";
    s.semaphores.push_back(SemaphoreHandle{handle, guardName});
    DWORD result = 0;
    if (!guardName.empty()) {
        if (Guard* g = find_guard(guardName)) {
            ++g->handles;
            result = ERROR_ALREADY_EXISTS;
        } else {
            Guard fresh;
            fresh.name = guardName;
            fresh.handles = 1;
            if (s.processWideGuards || s.driver) {
                // Unavailable sockets (a sandbox without them) leave the guard
                // known to this process only rather than keep the program out.
                if (headless::claim_name(guardName, &fresh.socket) == headless::Claim::Elsewhere)
                    result = ERROR_ALREADY_EXISTS;
            }
            s.guards.push_back(fresh);
        }
    }
    set_last_error(result);
    return reinterpret_cast<HANDLE>(handle);
}

BOOL CloseHandle(HANDLE handle) {
    State& s = state();
    auto it = std::find_if(s.semaphores.begin(), s.semaphores.end(), [&](const SemaphoreHandle& h) {
        return h.handle == reinterpret_cast<std::uintptr_t>(handle);
    });
    if (!handle || it == s.semaphores.end()) {
        set_last_error(ERROR_INVALID_HANDLE);
        return 0;
    }
    std::string name = it->name;
    s.semaphores.erase(it);
    if (name.empty()) return 1;
    auto g = std::find_if(s.guards.begin(), s.guards.end(), [&](const Guard& x) { return x.name == name; });
    if (g != s.guards.end() && --g->handles <= 0 && !g->foreign) {
        if (g->socket >= 0) close(g->socket);
        s.guards.erase(g);
    }
    return 1;
}

}  // namespace pf

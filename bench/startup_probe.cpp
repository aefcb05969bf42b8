// SPDX-License-Identifier: GPL-3.0-or-later
// Starts a program and prints, on one line: how long it took until a
// top-level window with the given title was mapped on the X display (the
// X server's own notice, not a poll), in microseconds; the program's
// resident memory 300 ms later, in KiB; and the CPU time its threads had
// used when the window was mapped, in microseconds. Then ends the program.
// Usage: startup_probe TITLE PROGRAM [ARG...]
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string property(xcb_connection_t* x, xcb_window_t window, xcb_atom_t atom)
{
    const auto cookie = xcb_get_property(x, 0, window, atom, XCB_GET_PROPERTY_TYPE_ANY, 0, 256);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(x, cookie, nullptr);
    if (!reply)
        return {};
    std::string value(static_cast<const char*>(xcb_get_property_value(reply)),
                      static_cast<std::size_t>(xcb_get_property_value_length(reply)));
    std::free(reply);
    return value;
}

// The window's title in UTF-8 (_NET_WM_NAME), or its WM_NAME when it has
// none (which Qt writes as compound text beyond Latin-1).
std::string windowName(xcb_connection_t* x, xcb_window_t window)
{
    static const xcb_atom_t netName = [x] {
        const char name[] = "_NET_WM_NAME";
        xcb_intern_atom_reply_t* reply =
            xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, sizeof name - 1, name), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return atom;
    }();
    std::string name = netName != XCB_ATOM_NONE ? property(x, window, netName) : std::string();
    return name.empty() ? property(x, window, XCB_ATOM_WM_NAME) : name;
}

long residentKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

// The CPU time the program's threads have run so far, in microseconds.
long cpuMicros(pid_t pid)
{
    long long total = 0;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks)) {
        std::ifstream stat(task.path() / "schedstat");
        long long ns = 0;
        stat >> ns;
        total += ns;
    }
    return static_cast<long>(total / 1000);
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: startup_probe TITLE PROGRAM [ARG...]\n");
        return 2;
    }
    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x)) {
        std::fprintf(stderr, "startup_probe: no X display\n");
        return 1;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(x);

    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execv(argv[2], argv + 2);
        _exit(127);
    }
    long micros = -1;
    long cpu = -1;
    while (xcb_generic_event_t* event = xcb_wait_for_event(x)) {
        const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
        const xcb_window_t window = reinterpret_cast<xcb_map_notify_event_t*>(event)->window;
        std::free(event);
        if (mapped && windowName(x, window) == argv[1]) {
            micros = std::chrono::duration_cast<std::chrono::microseconds>(
                         std::chrono::steady_clock::now() - start)
                         .count();
            cpu = cpuMicros(child);
            break;
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const long rss = residentKiB(child);
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    xcb_disconnect(x);
    if (micros < 0)
        return 1;
    std::printf("%ld %ld %ld\n", micros, rss, cpu);
    return 0;
}

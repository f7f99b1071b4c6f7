// Starts a program and times it: the milliseconds from starting it to its
// top-level window titled TITLE being mapped on the X server, and to the
// first drawing into that window after (its first paint reaching the
// screen); then its peak resident memory once it has run SETTLE seconds
// after being mapped. Waits on the server's events instead of polling, so
// that the timing costs the program nothing. Prints "MAPPED PAINTED KB" on
// one line; exits non-zero if the program ends or nothing is mapped and
// painted within 30 s.
//   time_to_mapped SETTLE TITLE PROGRAM [ARG...]
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

#include <sys/select.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>

namespace {

double nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

std::string windowTitle(Display *display, Window window)
{
    const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format,
                           &count, &after, &data) == Success && data) {
        title.assign(reinterpret_cast<char *>(data), count);
        XFree(data);
    }
    return title;
}

long peakKb(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s SETTLE TITLE PROGRAM [ARG...]\n", argv[0]);
        return 2;
    }
    const double settle = std::atof(argv[1]);
    const std::string wanted = argv[2];

    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "cannot open the display\n");
        return 2;
    }
    int damageEvent = 0, damageError = 0;
    if (!XDamageQueryExtension(display, &damageEvent, &damageError)) {
        std::fprintf(stderr, "the X server has no DAMAGE extension\n");
        return 2;
    }
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    // Drawing into any window shows as damage to the root's contents.
    XDamageCreate(display, root, XDamageReportRawRectangles);
    XSync(display, False);

    const double t0 = nowMs();
    const pid_t pid = fork();
    if (pid == 0) {
        close(ConnectionNumber(display));
        execv(argv[3], argv + 3);
        std::perror(argv[3]);
        _exit(127);
    }

    double mapped = -1, painted = -1;
    int left = 0, top = 0, right = 0, bottom = 0; // the window, in the root's coordinates
    const int fd = ConnectionNumber(display);
    while (painted < 0) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (mapped < 0 && event.type == MapNotify
                && windowTitle(display, event.xmap.window) == wanted) {
                mapped = nowMs() - t0;
                XWindowAttributes a;
                XGetWindowAttributes(display, event.xmap.window, &a);
                left = a.x;
                top = a.y;
                right = a.x + a.width;
                bottom = a.y + a.height;
            } else if (mapped >= 0 && event.type == damageEvent + XDamageNotify) {
                const auto &d = reinterpret_cast<const XDamageNotifyEvent &>(event);
                if (d.area.x < right && d.area.x + d.area.width > left && d.area.y < bottom
                    && d.area.y + d.area.height > top) {
                    painted = nowMs() - t0;
                    break;
                }
            }
        }
        if (painted >= 0)
            break;
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            std::fprintf(stderr, "%s ended before its window was mapped\n", argv[3]);
            return 1;
        }
        if (nowMs() - t0 > 30000) {
            kill(pid, SIGKILL);
            std::fprintf(stderr, "%s mapped and painted no window titled \"%s\"\n", argv[3], argv[2]);
            return 1;
        }
        fd_set fds;
        FD_ZERO(&fds);
        FD_SET(fd, &fds);
        timeval timeout{0, 20000};
        select(fd + 1, &fds, nullptr, nullptr, &timeout);
    }

    usleep(static_cast<useconds_t>(settle * 1e6));
    const long kb = peakKb(pid);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    XCloseDisplay(display);
    std::printf("%.1f %.1f %ld\n", mapped, painted, kb);
    return 0;
}

// How fast the desktop window answers while a lookup waits on a silent site. The benchmark
// starts an X server of its own (Xvfb, which picks a free display), a loopback server that
// takes the connection and never answers, and the built korvid pointed at it. It types a title
// and presses the magnifier (xdotool), and while the lookup waits it sends the window the
// window manager's ping (_NET_WM_PING) again and again, timing each answer: the window answers
// a ping where it takes its input and paints, so the slowest answer is the longest the user
// waits for the window. Beside it, in the same run, the same pings to the idle window before
// the search. The window is then closed as by its close box; it must end the lookup and exit.
//
// Needs Xvfb and xdotool; without them the benchmark is skipped with a message.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench/child_run.h"
#include "tests/support/scoped_env.h"
#include "tests/support/silent_server.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using korvid::test_support::ScopedEnv;
using korvid::test_support::SilentServer;
using korvid::test_support::TempDir;

const std::string Korvid = KORVID_BINARY_DIR "/shell/korvid";

// A child process, ended (SIGTERM, then SIGKILL) and reaped when the object goes.
class Child {
  public:
    // Searches PATH for args[0]. The child inherits every descriptor not marked close-on-exec.
    explicit Child(std::vector<std::string> args)
        : pid_(korvid::bench::SpawnQuietly(std::move(args), environ, true)) {}
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() {
        if (pid_ > 0 && !WaitFor(std::chrono::milliseconds(0))) {
            ::kill(pid_, SIGTERM);
            if (!WaitFor(std::chrono::seconds(3))) {
                ::kill(pid_, SIGKILL);
                WaitFor(std::chrono::seconds(3));
            }
        }
    }

    bool Started() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }
    // True when the child has ended within the time (its exit code in ExitCode()).
    bool WaitFor(Clock::duration time) {
        if (ended_) {
            return true;
        }
        const auto until = Clock::now() + time;
        for (;;) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                ended_ = true;
                exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                return true;
            }
            if (Clock::now() >= until) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    int ExitCode() const { return exit_code_; }

  private:
    pid_t pid_ = -1;
    bool ended_ = false;
    int exit_code_ = -1;
};

// An X server on the first free display; its number is read from -displayfd.
class XServer {
  public:
    XServer() {
        int fds[2];
        if (::pipe(fds) != 0) {
            return;
        }
        server_.emplace(std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(fds[1]),
                                                 "-screen", "0", "1280x800x24", "-nolisten",
                                                 "tcp"});
        ::close(fds[1]);
        std::string number;
        pollfd ready{fds[0], POLLIN, 0};
        char byte = 0;
        while (::poll(&ready, 1, 10000) == 1 && ::read(fds[0], &byte, 1) == 1 && byte != '\n') {
            number += byte;
        }
        ::close(fds[0]);
        if (!number.empty()) {
            display_ = ":" + number;
        }
    }
    const std::string& Display() const { return display_; }  // empty: no server

  private:
    std::optional<Child> server_;
    std::string display_;
};

// Runs a program to its end; true when it exited with 0.
bool Run(std::vector<std::string> args) {
    Child child(std::move(args));
    return child.Started() && child.WaitFor(std::chrono::seconds(20)) && child.ExitCode() == 0;
}

// The top-level window whose _NET_WM_PID is pid, once it is mapped; None after 10 s.
Window FindWindowOf(Display* display, pid_t pid) {
    const Atom pid_atom = XInternAtom(display, "_NET_WM_PID", False);
    const auto until = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < until) {
        Window root_return = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        XQueryTree(display, DefaultRootWindow(display), &root_return, &parent, &children, &count);
        Window found = None;
        for (unsigned int i = 0; i < count && found == None; ++i) {
            Atom type = None;
            int format = 0;
            unsigned long items = 0;
            unsigned long after = 0;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(display, children[i], pid_atom, 0, 1, False, XA_CARDINAL, &type,
                                   &format, &items, &after, &data) == Success &&
                data != nullptr) {
                XWindowAttributes attributes{};
                if (items == 1 &&
                    *reinterpret_cast<unsigned long*>(data) == static_cast<unsigned long>(pid) &&
                    XGetWindowAttributes(display, children[i], &attributes) != 0 &&
                    attributes.map_state == IsViewable) {
                    found = children[i];
                }
                XFree(data);
            }
        }
        if (children != nullptr) {
            XFree(children);
        }
        if (found != None) {
            return found;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return None;
}

// Pings a window as a window manager does and times the answers.
class Pinger {
  public:
    Pinger(Display* display, Window window)
        : display_(display),
          window_(window),
          protocols_(XInternAtom(display, "WM_PROTOCOLS", False)),
          ping_(XInternAtom(display, "_NET_WM_PING", False)) {
        // Qt sends the answer to the root window, to the clients that watch its structure.
        XSelectInput(display, DefaultRootWindow(display), StructureNotifyMask);
    }

    // The time to the answer, in milliseconds; nullopt when none came within 5 s.
    std::optional<double> Ping() {
        const long serial = ++serial_;
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window_;
        event.xclient.message_type = protocols_;
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(ping_);
        event.xclient.data.l[1] = serial;
        event.xclient.data.l[2] = static_cast<long>(window_);
        const auto sent = Clock::now();
        XSendEvent(display_, window_, False, NoEventMask, &event);
        XFlush(display_);
        const auto until = sent + std::chrono::seconds(5);
        while (Clock::now() < until) {
            while (XPending(display_) > 0) {
                XEvent answer{};
                XNextEvent(display_, &answer);
                if (answer.type == ClientMessage &&
                    answer.xclient.data.l[0] == static_cast<long>(ping_) &&
                    answer.xclient.data.l[1] == serial) {
                    return std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
                }
            }
            pollfd ready{ConnectionNumber(display_), POLLIN, 0};
            ::poll(&ready, 1, 5);
        }
        return std::nullopt;
    }

    // Pings for the given time, a ping every few milliseconds at uneven spacing; the answers.
    std::vector<double> PingFor(Clock::duration time) {
        std::vector<double> answers;
        const auto until = Clock::now() + time;
        int step = 0;
        while (Clock::now() < until) {
            const std::optional<double> answer = Ping();
            if (!answer) {
                answers.push_back(5000);
                break;
            }
            answers.push_back(*answer);
            std::this_thread::sleep_for(std::chrono::milliseconds(3 + (step++ * 7) % 31));
        }
        return answers;
    }

  private:
    Display* display_;
    Window window_;
    Atom protocols_;
    Atom ping_;
    long serial_ = 0;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double Worst(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

void BM_PingAnswerWhileTheSiteIsSilent(benchmark::State& state) {
    XServer x_server;
    if (x_server.Display().empty()) {
        state.SkipWithError("Xvfb could not be started");
        return;
    }
    SilentServer silent;
    TempDir home;
    const ScopedEnv display_env("DISPLAY", x_server.Display());
    const ScopedEnv platform("QT_QPA_PLATFORM", "xcb");
    const ScopedEnv host("KORVID_HOST", silent.HostPort());
    const ScopedEnv data("XDG_DATA_HOME", home.File("data"));
    const ScopedEnv cache("XDG_CACHE_HOME", home.File("cache"));
    const ScopedEnv config("XDG_CONFIG_HOME", home.File("config"));
    const ScopedEnv dataset("KORVID_DATASET", home.File("no-films.sqlite"));

    Display* display = XOpenDisplay(x_server.Display().c_str());
    if (display == nullptr) {
        state.SkipWithError("cannot connect to Xvfb");
        return;
    }
    std::vector<double> idle;
    std::vector<double> waiting;
    bool closed = false;
    for (auto _ : state) {
        Child korvid({Korvid});
        const Window window = korvid.Started() ? FindWindowOf(display, korvid.Pid()) : None;
        if (window == None) {
            state.SkipWithError("korvid did not show its window");
            break;
        }
        Pinger pinger(display, window);
        idle = pinger.PingFor(std::chrono::seconds(1));
        const std::string id = std::to_string(window);
        // The title box is at (21, 65) and the magnifier at (252, 65) in the window.
        if (!Run({"xdotool", "windowfocus", "--sync", id, "mousemove", "--window", id, "120", "76",
                  "click", "1"}) ||
            !Run({"xdotool", "type", "orchard"}) ||
            !Run({"xdotool", "mousemove", "--window", id, "263", "76", "click", "1"})) {
            state.SkipWithError("xdotool failed (is it installed?)");
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        waiting = pinger.PingFor(std::chrono::seconds(8));

        // The close box: the lookup ends and the program exits.
        XEvent close{};
        close.xclient.type = ClientMessage;
        close.xclient.window = window;
        close.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        close.xclient.format = 32;
        close.xclient.data.l[0] =
            static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
        close.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &close);
        XFlush(display);
        closed = korvid.WaitFor(std::chrono::seconds(5)) && korvid.ExitCode() == 0;
    }
    XCloseDisplay(display);
    state.counters["idle_worst_ms"] = Worst(idle);
    state.counters["idle_median_ms"] = Median(idle);
    state.counters["waiting_worst_ms"] = Worst(waiting);
    state.counters["waiting_median_ms"] = Median(waiting);
    state.counters["pings"] = static_cast<double>(waiting.size());
    state.counters["closed_cleanly"] = closed ? 1 : 0;
}
BENCHMARK(BM_PingAnswerWhileTheSiteIsSilent)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();

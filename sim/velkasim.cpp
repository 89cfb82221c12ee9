// velkasim: serves the simulated Velka transceiver on a pseudo-terminal, so that the adjustment
// program (or any terminal program) can talk to it as to a radio on a serial port.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "model/Fault.h"
#include "model/Transceiver.h"

namespace {

volatile std::sig_atomic_t gStop = 0;

void onSignal(int) {
    gStop = 1;
}

void usage(std::ostream& os) {
    os << "usage: velkasim --link PATH [options]\n"
          "Serves a simulated Velka transceiver on a pseudo-terminal and makes PATH a\n"
          "symbolic link to it; runs until SIGINT or SIGTERM, then removes the link.\n"
          "\n"
          "  --link PATH       symbolic link to create (required)\n"
          "  --image FILE      start from this 1664-byte EEPROM image (default: built-in)\n"
          "  --save FILE       write the EEPROM image to FILE on exit\n"
          "  --no-echo         the cable does not echo the computer's bytes\n"
          "  --fault NAME      misbehave; repeatable. NAME is one of:\n"
          "                   ";
    for (velka::Fault f : velka::allFaults()) {
        os << ' ' << velka::faultName(f);
    }
    os << "\n"
          "  --temp CELSIUS    case temperature (default 25)\n"
          "  --drift C_PER_MIN let the temperature drift by this much a minute\n"
          "  --trace           print one line per frame: time in ms, direction, bytes\n"
          "  --help            show this text\n";
}

struct Options {
    std::string link;
    std::string imageFile;
    std::string saveFile;
    bool echo = true;
    std::vector<velka::Fault> faults;
    double celsius = 25.0;
    double drift = 0.0;
    bool trace = false;
};

std::optional<double> parseNumber(const std::string& s) {
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(s.c_str(), &end);
    if (s.empty() || *end != '\0' || errno != 0) {
        return std::nullopt;
    }
    return v;
}

// Returns an exit code when the program should stop at once.
std::optional<int> parseArgs(int argc, char** argv, Options& o) {
    std::vector<std::string> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size()) {
                std::cerr << "velkasim: " << a << " needs a value\n";
                return std::nullopt;
            }
            return args[++i];
        };
        if (a == "--help" || a == "-h") {
            usage(std::cout);
            return 0;
        } else if (a == "--no-echo") {
            o.echo = false;
        } else if (a == "--trace") {
            o.trace = true;
        } else if (a == "--link" || a == "--image" || a == "--save" || a == "--fault" ||
                   a == "--temp" || a == "--drift") {
            const auto v = value();
            if (!v) {
                return 2;
            }
            if (a == "--link") {
                o.link = *v;
            } else if (a == "--image") {
                o.imageFile = *v;
            } else if (a == "--save") {
                o.saveFile = *v;
            } else if (a == "--fault") {
                const auto f = velka::faultFromName(*v);
                if (!f) {
                    std::cerr << "velkasim: unknown fault '" << *v << "'\n";
                    return 2;
                }
                o.faults.push_back(*f);
            } else {
                const auto n = parseNumber(*v);
                if (!n) {
                    std::cerr << "velkasim: " << a << " needs a number, not '" << *v << "'\n";
                    return 2;
                }
                (a == "--temp" ? o.celsius : o.drift) = *n;
            }
        } else {
            std::cerr << "velkasim: unknown argument '" << a << "'\n";
            usage(std::cerr);
            return 2;
        }
    }
    if (o.link.empty()) {
        std::cerr << "velkasim: --link PATH is required\n";
        usage(std::cerr);
        return 2;
    }
    return std::nullopt;
}

int32_t baudOf(speed_t s) {
    struct Pair {
        speed_t code;
        int32_t baud;
    };
    static const Pair table[] = {{B1200, 1200},   {B2400, 2400},     {B4800, 4800},
                                 {B9600, 9600},   {B19200, 19200},   {B38400, 38400},
                                 {B57600, 57600}, {B115200, 115200}, {B230400, 230400}};
    for (const Pair& p : table) {
        if (p.code == s) {
            return p.baud;
        }
    }
    return 0;
}

// The line speed the computer's side has set (Linux lets the master read the slave's).
int32_t lineBaud(int master) {
    termios t{};
    if (tcgetattr(master, &t) != 0) {
        return 0;
    }
    return baudOf(cfgetospeed(&t));
}

std::string hex(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty()) {
            out += ' ';
        }
        out += digits[c >> 4];
        out += digits[c & 0x0F];
    }
    return out;
}

// One pseudo-terminal with PATH pointing at its device.
class PtyLine {
  public:
    explicit PtyLine(std::string link) : link_(std::move(link)) {}
    ~PtyLine() { close(); }

    // Opens a fresh pty and (re)points the link at it; false with a message on failure.
    bool open() {
        close();
        int slave = -1;
        char name[256] = {};
        termios t{};
        cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        cfsetispeed(&t, B9600);
        cfsetospeed(&t, B9600);
        if (openpty(&master_, &slave, name, &t, nullptr) != 0) {
            std::cerr << "velkasim: cannot create a pty: " << std::strerror(errno) << "\n";
            return false;
        }
        // Nobody holds the terminal side until the computer opens it.
        ::close(slave);
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        fcntl(master_, F_SETFD, FD_CLOEXEC);
        device_ = name;
        struct stat st {};
        if (lstat(link_.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
            std::cerr << "velkasim: " << link_ << " exists and is not a symbolic link\n";
            close();
            return false;
        }
        // Replace the link in one step so that it never dangles.
        const std::string tmp = link_ + ".velkasim-new";
        ::unlink(tmp.c_str());
        if (symlink(device_.c_str(), tmp.c_str()) != 0 || rename(tmp.c_str(), link_.c_str()) != 0) {
            std::cerr << "velkasim: cannot link " << link_ << ": " << std::strerror(errno) << "\n";
            ::unlink(tmp.c_str());
            close();
            return false;
        }
        linked_ = true;
        return true;
    }

    void close() {
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }

    // Removes the link if it still points at this program's device.
    void unlink() {
        if (!linked_) {
            return;
        }
        char target[256] = {};
        const ssize_t n = readlink(link_.c_str(), target, sizeof(target) - 1);
        if (n > 0 && device_ == std::string(target, static_cast<size_t>(n))) {
            ::unlink(link_.c_str());
        }
        linked_ = false;
    }

    int fd() const { return master_; }
    const std::string& device() const { return device_; }

  private:
    std::string link_;
    std::string device_;
    int master_ = -1;
    bool linked_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    if (const auto code = parseArgs(argc, argv, opt)) {
        return *code;
    }

    velka::Transceiver radio;
    if (!opt.imageFile.empty()) {
        std::ifstream in(opt.imageFile, std::ios::binary);
        std::string img((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof()) {
            std::cerr << "velkasim: cannot read " << opt.imageFile << "\n";
            return 1;
        }
        try {
            radio.image(img);
        } catch (const std::invalid_argument& e) {
            std::cerr << "velkasim: " << opt.imageFile << ": " << e.what() << "\n";
            return 1;
        }
    }
    radio.echo(opt.echo);
    for (velka::Fault f : opt.faults) {
        radio.fault(f, true);
    }
    radio.temperature(opt.celsius, opt.drift);
    if (opt.trace) {
        radio.trace([](int64_t ms, velka::Transceiver::TraceKind kind, const std::string& b) {
            using K = velka::Transceiver::TraceKind;
            const char* dir = kind == K::Received ? "PC->radio"
                              : kind == K::Sent   ? "radio->PC"
                                                  : "ignored  ";
            std::printf("%9lld ms  %s  %s\n", static_cast<long long>(ms), dir,
                        kind == K::Ignored ? b.c_str() : hex(b).c_str());
            std::fflush(stdout);
        });
    }

    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    PtyLine line(opt.link);
    if (!line.open()) {
        return 1;
    }
    std::printf("%s\n", line.device().c_str());
    std::fflush(stdout);

    const auto start = std::chrono::steady_clock::now();
    auto nowMs = [&] {
        return static_cast<int64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now() - start)
                                        .count());
    };

    bool hungUp = true;  // nobody holds the terminal side yet
    std::string pending;
    char buf[4096];
    int status = 0;
    while (!gStop) {
        const int64_t now = nowMs();
        if (radio.takeHangup(now)) {
            std::fprintf(stderr, "velkasim: line cut in the middle of a clone read\n");
            pending.clear();
            if (!line.open()) {
                status = 1;
                break;
            }
            std::fprintf(stderr, "velkasim: now serving %s\n", line.device().c_str());
            hungUp = true;
        }

        // Take what the computer sent.
        for (;;) {
            const ssize_t n = read(line.fd(), buf, sizeof(buf));
            if (n > 0) {
                hungUp = false;
                radio.fromComputer(std::string(buf, static_cast<size_t>(n)), lineBaud(line.fd()),
                                   now);
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                hungUp = false;  // the terminal side is open, just quiet
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                hungUp = true;  // EIO (or end of file): nobody holds the terminal side
            }
            break;
        }

        // Hand over whatever has reached the computer's side by now.
        const std::string out = radio.toComputer(now);
        if (hungUp) {
            pending.clear();  // nobody is listening; the line just carries it away
        } else {
            pending += out;
            while (!pending.empty()) {
                const ssize_t n = write(line.fd(), pending.data(), pending.size());
                if (n > 0) {
                    pending.erase(0, static_cast<size_t>(n));
                } else if (n < 0 && errno == EINTR) {
                    continue;
                } else {
                    if (n < 0 && errno == EIO) {
                        hungUp = true;
                        pending.clear();
                    }
                    break;
                }
            }
        }

        // Sleep until the next byte is due, input arrives, or a short poll interval passes.
        int timeout = 50;
        if (const auto next = radio.nextOutputMs()) {
            timeout = static_cast<int>(std::clamp<int64_t>(*next - nowMs(), 0, 50));
        }
        if (hungUp) {
            // A master whose other side is closed polls as hung up at once: wait instead.
            poll(nullptr, 0, std::max(timeout, 20));
            continue;
        }
        pollfd p{line.fd(), static_cast<short>(POLLIN | (pending.empty() ? 0 : POLLOUT)), 0};
        if (poll(&p, 1, timeout) > 0 && (p.revents & (POLLHUP | POLLERR)) != 0 &&
            (p.revents & POLLIN) == 0) {
            hungUp = true;
        }
    }

    line.unlink();
    line.close();
    if (!opt.saveFile.empty()) {
        std::ofstream outFile(opt.saveFile, std::ios::binary | std::ios::trunc);
        outFile.write(radio.image().data(), static_cast<std::streamsize>(radio.image().size()));
        if (!outFile) {
            std::cerr << "velkasim: cannot write " << opt.saveFile << "\n";
            status = 1;
        }
    }
    return status;
}

// velkasim: serves the simulated Velka transceiver on a pseudo-terminal, so that the adjustment
// program (or any terminal program) can talk to it as to a radio on a serial port.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
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

#include "model/CutPoint.h"
#include "model/Fault.h"
#include "model/Transceiver.h"

namespace {

volatile std::sig_atomic_t gStop = 0;
// SIGUSR1 writes a byte here for each swap of the unit on the line, which wakes the loop's poll.
int gSwapPipe = -1;

// How long a cut line stays gone unless --cut says otherwise.
constexpr int kDefaultDropMs = 100;
constexpr int kMaxDropMs = 3600 * 1000;
// The longest the loop sleeps: it still wakes now and then when nothing is due.
constexpr int kMaxWaitMs = 50;
// How long a cut waits for the computer's side to read what reached it before the cut.
constexpr int kCatchUpMinMs = 5;
constexpr int kCatchUpMaxMs = 50;

void onSignal(int) {
    gStop = 1;
}

void onSwapSignal(int) {
    const int saved = errno;
    const char c = 's';
    [[maybe_unused]] const ssize_t n = write(gSwapPipe, &c, 1);
    errno = saved;
}

void usage(std::ostream& os) {
    os << "usage: velkasim --link PATH [options]\n"
          "Serves a simulated Velka transceiver on a pseudo-terminal and makes PATH a\n"
          "symbolic link to it; runs until SIGINT or SIGTERM, then removes the link.\n"
          "SIGUSR1 moves the cable to the other unit (see --other) and back.\n"
          "\n"
          "  --link PATH       symbolic link to create (required)\n"
          "  --image FILE      start from this 1664-byte EEPROM image (default: built-in)\n"
          "  --save FILE       write the (first unit's) EEPROM image to FILE on exit\n"
          "  --other SERIAL[:IMAGEFILE]\n"
          "                    a second transceiver beside the first, with this 8-character\n"
          "                    serial number and 1664-byte image (default: built-in); each\n"
          "                    SIGUSR1 swaps the unit on the line, between frames, ending a\n"
          "                    clone exchange in progress as a line cut does. It has no\n"
          "                    faults or cuts; --no-echo, --temp and --drift apply to it too\n"
          "  --other-save FILE write the other unit's EEPROM image to FILE on exit\n"
          "  --no-echo         the cable does not echo the computer's bytes\n"
          "  --paced           the computer's bytes take their wire time (10 bits a byte at\n"
          "                    the rate in force) before the radio hears them and they echo\n"
          "  --fault NAME      misbehave; repeatable. NAME is one of:\n"
          "                   ";
    for (velka::Fault f : velka::allFaults()) {
        os << ' ' << velka::faultName(f);
    }
    os << "\n"
          "  --cut POINT[:N][@MS]\n"
          "                    drop the line the N-th time (default 1) the exchange reaches\n"
          "                    POINT, before the radio acts on the frame: the pty is closed\n"
          "                    and the link removed, and after MS milliseconds (default 100)\n"
          "                    a new pty is served at the same link; repeatable, each --cut\n"
          "                    cuts once. POINT is one of:\n"
          "                   ";
    for (velka::CutPoint p : velka::allCutPoints()) {
        os << ' ' << velka::cutPointName(p);
    }
    os << "\n"
          "  --temp CELSIUS    case temperature (default 25)\n"
          "  --drift C_PER_MIN let the temperature drift by this much a minute\n"
          "  --trace           print one line per frame: time in ms, direction, bytes\n"
          "                    (and one per swap of the unit on the line)\n"
          "  --help            show this text\n";
}

struct CutOption {
    velka::CutPoint point;
    int occurrence = 1;
    int dropMs = kDefaultDropMs;
};

struct OtherUnit {
    std::string serial;
    std::string imageFile;  // empty: the built-in image
};

struct Options {
    std::string link;
    std::string imageFile;
    std::string saveFile;
    std::optional<OtherUnit> other;
    std::string otherSaveFile;
    bool echo = true;
    bool paced = false;
    std::vector<velka::Fault> faults;
    std::vector<CutOption> cuts;  // in the order given: a cut's number indexes this
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

// A whole decimal number in [min, max].
std::optional<int> parseInt(const std::string& s, int min, int max) {
    if (s.empty() || s.find_first_not_of("0123456789") != std::string::npos || s.size() > 9) {
        return std::nullopt;
    }
    const int v = std::stoi(s);
    if (v < min || v > max) {
        return std::nullopt;
    }
    return v;
}

// POINT[:OCCURRENCE][@MS]
std::optional<CutOption> parseCut(std::string text) {
    CutOption c{};
    if (const size_t at = text.find('@'); at != std::string::npos) {
        const auto ms = parseInt(text.substr(at + 1), 0, kMaxDropMs);
        if (!ms) {
            return std::nullopt;
        }
        c.dropMs = *ms;
        text.erase(at);
    }
    if (const size_t colon = text.find(':'); colon != std::string::npos) {
        const auto n = parseInt(text.substr(colon + 1), 1, 1000000);
        if (!n) {
            return std::nullopt;
        }
        c.occurrence = *n;
        text.erase(colon);
    }
    const auto p = velka::cutPointFromName(text);
    if (!p) {
        return std::nullopt;
    }
    c.point = *p;
    return c;
}

// SERIAL[:IMAGEFILE], the serial number being 8 printable ASCII characters.
std::optional<OtherUnit> parseOther(const std::string& text) {
    const size_t colon = text.find(':');
    OtherUnit u{text.substr(0, colon), colon == std::string::npos ? "" : text.substr(colon + 1)};
    const bool printable = std::all_of(u.serial.begin(), u.serial.end(),
                                       [](char c) { return c >= 0x20 && c <= 0x7E; });
    if (u.serial.size() != 8 || !printable || (colon != std::string::npos && u.imageFile.empty())) {
        return std::nullopt;
    }
    return u;
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
        }
        if (a == "--no-echo") {
            o.echo = false;
        } else if (a == "--paced") {
            o.paced = true;
        } else if (a == "--trace") {
            o.trace = true;
        } else if (a == "--link" || a == "--image" || a == "--save" || a == "--fault" ||
                   a == "--cut" || a == "--temp" || a == "--drift" || a == "--other" ||
                   a == "--other-save") {
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
            } else if (a == "--other") {
                o.other = parseOther(*v);
                if (!o.other) {
                    std::cerr << "velkasim: --other takes SERIAL[:IMAGEFILE], SERIAL being 8 "
                                 "printable characters, not '"
                              << *v << "'\n";
                    return 2;
                }
            } else if (a == "--other-save") {
                o.otherSaveFile = *v;
            } else if (a == "--fault") {
                const auto f = velka::faultFromName(*v);
                if (!f) {
                    std::cerr << "velkasim: unknown fault '" << *v << "'\n";
                    return 2;
                }
                o.faults.push_back(*f);
            } else if (a == "--cut") {
                const auto c = parseCut(*v);
                if (!c) {
                    std::cerr << "velkasim: --cut takes POINT[:N][@MS] (N from 1, MS up to "
                              << kMaxDropMs << "), not '" << *v << "'\n";
                    return 2;
                }
                o.cuts.push_back(*c);
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
    if (!o.otherSaveFile.empty() && !o.other) {
        std::cerr << "velkasim: --other-save needs --other\n";
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

struct LineSetting {
    int32_t baud = 0;
    velka::Transceiver::LineFormat format;
};

// The line speed and format the computer's side has set (Linux lets the master read the
// slave's). A Linux pty keeps the stop bits but forces 8 data bits and no parity whatever the
// computer asks for, so of the format only a second stop bit shows here in practice.
LineSetting lineSetting(int master) {
    termios t{};
    if (tcgetattr(master, &t) != 0) {
        return {};
    }
    LineSetting s;
    s.baud = baudOf(cfgetospeed(&t));
    switch (t.c_cflag & CSIZE) {
        case CS5:
            s.format.dataBits = 5;
            break;
        case CS6:
            s.format.dataBits = 6;
            break;
        case CS7:
            s.format.dataBits = 7;
            break;
        default:
            s.format.dataBits = 8;
            break;
    }
    if ((t.c_cflag & PARENB) != 0) {
        const bool odd = (t.c_cflag & PARODD) != 0;
        // With CMSPAR the parity bit is fixed: mark when PARODD is set, space otherwise.
        s.format.parity = (t.c_cflag & CMSPAR) != 0 ? (odd ? 'M' : 'S') : (odd ? 'O' : 'E');
    }
    s.format.stopBits = (t.c_cflag & CSTOPB) != 0 ? 2 : 1;
    return s;
}

// Reads a 1664-byte image into radio; false with a message when it cannot.
bool loadImage(const std::string& file, velka::Transceiver& radio) {
    std::ifstream in(file, std::ios::binary);
    std::string img((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        std::cerr << "velkasim: cannot read " << file << "\n";
        return false;
    }
    try {
        radio.image(img);
    } catch (const std::invalid_argument& e) {
        std::cerr << "velkasim: " << file << ": " << e.what() << "\n";
        return false;
    }
    return true;
}

// False with a message when the image cannot be written.
bool saveImage(const std::string& file, const velka::Transceiver& radio) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(radio.image().data(), static_cast<std::streamsize>(radio.image().size()));
    if (!out) {
        std::cerr << "velkasim: cannot write " << file << "\n";
        return false;
    }
    return true;
}

// How many swaps SIGUSR1 has asked for since the last call.
int takeSwaps(int pipeRead) {
    int count = 0;
    char buf[64];
    ssize_t n;
    while ((n = read(pipeRead, buf, sizeof(buf))) > 0) {
        count += static_cast<int>(n);
    }
    return count;
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

// Sleeps ms milliseconds, or until a signal asks the program to stop.
void pause(int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!gStop) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now())
                .count();
        if (left <= 0) {
            return;
        }
        poll(nullptr, 0, static_cast<int>(left));
    }
}

// One pseudo-terminal with PATH pointing at its device. An inotify watch on the device tells
// when the terminal side is opened or closed: a master whose other side is closed polls as
// hung up all the time, so poll on the master alone cannot wait for the port to be opened.
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
        watch_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (watch_ < 0 || inotify_add_watch(watch_, device_.c_str(), IN_OPEN | IN_CLOSE) < 0) {
            std::cerr << "velkasim: cannot watch " << device_ << " (" << std::strerror(errno)
                      << "); looking for the port every 20 ms\n";
            if (watch_ >= 0) {
                ::close(watch_);
                watch_ = -1;
            }
        }
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

    // The computer's side sees a hang-up.
    void close() {
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
        if (watch_ >= 0) {
            ::close(watch_);
            watch_ = -1;
        }
    }

    // Gives the computer's side a little time to read what has already been written to it,
    // since a hang-up throws away whatever it has not read: bytes that went out before a cut
    // arrive. The kernel hands written bytes on a moment later, so it waits minMs in any case,
    // then while they lie unread, up to maxMs in all.
    void letReaderCatchUp(int minMs, int maxMs) {
        pause(minMs);
        const int slave = ::open(device_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (slave < 0) {
            return;
        }
        int unread = 0;
        for (int waited = minMs; waited < maxMs && !gStop; ++waited) {
            if (ioctl(slave, FIONREAD, &unread) != 0 || unread == 0) {
                break;
            }
            poll(nullptr, 0, 1);
        }
        ::close(slave);
    }

    // Reads away the opens and closes noted so far.
    void drainWatch() {
        alignas(inotify_event) char events[1024];
        while (read(watch_, events, sizeof(events)) > 0) {
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
    // Readable when the terminal side has been opened or closed; -1 when it cannot be watched.
    int watchFd() const { return watch_; }
    const std::string& device() const { return device_; }

  private:
    std::string link_;
    std::string device_;
    int master_ = -1;
    int watch_ = -1;
    bool linked_ = false;
};

std::string ordinal(int n) {
    const int tens = n % 100;
    const char* suffix = tens >= 11 && tens <= 13 ? "th"
                         : n % 10 == 1            ? "st"
                         : n % 10 == 2            ? "nd"
                         : n % 10 == 3            ? "rd"
                                                  : "th";
    return std::to_string(n) + suffix;
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    if (const auto code = parseArgs(argc, argv, opt)) {
        return *code;
    }

    // The first unit, and the other one that --other puts beside it; one is on the line.
    std::array<velka::Transceiver, 2> units;
    velka::Transceiver* radio = &units[0];
    if (!opt.imageFile.empty() && !loadImage(opt.imageFile, units[0])) {
        return 1;
    }
    if (opt.other) {
        units[1].serial(opt.other->serial);
        if (!opt.other->imageFile.empty() && !loadImage(opt.other->imageFile, units[1])) {
            return 1;
        }
    }
    // Faults and cuts are the first unit's; the cable and the room are shared.
    for (velka::Fault f : opt.faults) {
        units[0].fault(f, true);
    }
    for (const CutOption& c : opt.cuts) {
        units[0].cutAt(c.point, c.occurrence);
    }
    for (velka::Transceiver& unit : units) {
        unit.echo(opt.echo);
        unit.pacedInput(opt.paced);
        unit.temperature(opt.celsius, opt.drift);
        if (opt.trace) {
            unit.trace([](int64_t ms, velka::Transceiver::TraceKind kind, const std::string& b) {
                using K = velka::Transceiver::TraceKind;
                const char* dir = kind == K::Received ? "PC->radio"
                                  : kind == K::Sent   ? "radio->PC"
                                                      : "ignored  ";
                std::printf("%9lld ms  %s  %s\n", static_cast<long long>(ms), dir,
                            kind == K::Ignored ? b.c_str() : hex(b).c_str());
                std::fflush(stdout);
            });
        }
    }

    int swapPipe[2];
    if (pipe2(swapPipe, O_NONBLOCK | O_CLOEXEC) != 0) {
        std::cerr << "velkasim: cannot create a pipe: " << std::strerror(errno) << "\n";
        return 1;
    }
    gSwapPipe = swapPipe[1];

    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    struct sigaction swap {};
    swap.sa_handler = onSwapSignal;
    sigemptyset(&swap.sa_mask);
    sigaction(SIGUSR1, &swap, nullptr);
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

        // The cable moved to the other unit, between frames: the unit it leaves has its line
        // cut. A cut of the line already due is taken first (below), the swap on the next turn.
        const auto cutDue = radio->cutDueMs();
        if (!(cutDue && *cutDue <= now)) {
            for (int n = takeSwaps(swapPipe[0]); n > 0; --n) {
                if (!opt.other) {
                    std::fprintf(stderr, "velkasim: SIGUSR1 ignored: no other unit (--other)\n");
                    continue;
                }
                radio->lineCut(now);
                const velka::Transceiver* off = radio;
                radio = radio == &units[0] ? &units[1] : &units[0];
                std::fprintf(stderr, "velkasim: unit %s on the line (%s off it)\n",
                             radio->serial().c_str(), off->serial().c_str());
                if (opt.trace) {
                    std::printf("%9lld ms  swap       unit %s on the line\n",
                                static_cast<long long>(now), radio->serial().c_str());
                    std::fflush(stdout);
                }
            }
        }

        if (hungUp) {
            radio->toComputer(now);  // what came due while nobody listened is lost
        }

        // Take what the computer sent.
        for (;;) {
            const ssize_t n = read(line.fd(), buf, sizeof(buf));
            if (n > 0) {
                hungUp = false;
                const LineSetting setting = lineSetting(line.fd());
                radio->fromComputer(std::string(buf, static_cast<size_t>(n)), setting.baud,
                                    setting.format, now);
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
        const std::string out = radio->toComputer(now);
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

        // An armed cut: the device goes away for a while, as an adapter pulled out.
        if (radio->takeCut(now)) {
            const velka::Transceiver::Cut cut = *radio->lastCut();
            const CutOption& how = opt.cuts.at(static_cast<size_t>(cut.number));
            pending.clear();
            line.letReaderCatchUp(kCatchUpMinMs, kCatchUpMaxMs);
            line.close();
            line.unlink();
            std::fprintf(stderr, "velkasim: line cut at %s (the %s time); %s gone for %d ms\n",
                         velka::cutPointName(cut.point).c_str(), ordinal(cut.occurrence).c_str(),
                         opt.link.c_str(), how.dropMs);
            pause(how.dropMs);
            if (gStop) {
                break;
            }
            if (!line.open()) {
                status = 1;
                break;
            }
            std::fprintf(stderr, "velkasim: now serving %s\n", line.device().c_str());
            hungUp = true;
            continue;
        }
        if (radio->takeHangup(now)) {
            std::fprintf(stderr, "velkasim: line cut in the middle of a clone read\n");
            pending.clear();
            line.letReaderCatchUp(kCatchUpMinMs, kCatchUpMaxMs);
            if (!line.open()) {
                status = 1;
                break;
            }
            std::fprintf(stderr, "velkasim: now serving %s\n", line.device().c_str());
            hungUp = true;
            continue;
        }

        // Sleep until the next byte or cut is due, the computer's side has something or is
        // opened or closed, or a short while has passed. Nobody listening, the bytes due are
        // not waited for: they are lost all the same.
        int timeout = kMaxWaitMs;
        for (const auto due : {hungUp ? std::nullopt : radio->nextOutputMs(), radio->cutDueMs()}) {
            if (due) {
                timeout = std::min(
                    timeout, static_cast<int>(std::clamp<int64_t>(*due - nowMs(), 0, kMaxWaitMs)));
            }
        }
        std::array<pollfd, 3> fds{};
        nfds_t count = 0;
        fds[count++] = {swapPipe[0], POLLIN, 0};
        if (!hungUp) {
            // A master whose other side is closed polls as hung up at once: not then.
            fds[count++] = {line.fd(), static_cast<short>(POLLIN | (pending.empty() ? 0 : POLLOUT)),
                            0};
        }
        if (line.watchFd() >= 0) {
            fds[count++] = {line.watchFd(), POLLIN, 0};
        } else if (hungUp) {
            timeout = std::min(timeout, 20);  // no word of the port being opened: look again
        }
        if (poll(fds.data(), count, timeout) <= 0) {
            continue;
        }
        for (nfds_t i = 0; i < count; ++i) {
            if (fds[i].fd == line.watchFd() && (fds[i].revents & POLLIN) != 0) {
                line.drainWatch();
            } else if (fds[i].fd == line.fd() && (fds[i].revents & (POLLHUP | POLLERR)) != 0 &&
                       (fds[i].revents & POLLIN) == 0) {
                hungUp = true;
            }
        }
    }

    line.unlink();
    line.close();
    if (!opt.saveFile.empty() && !saveImage(opt.saveFile, units[0])) {
        status = 1;
    }
    if (!opt.otherSaveFile.empty() && !saveImage(opt.otherSaveFile, units[1])) {
        status = 1;
    }
    return status;
}

// Runs the velkasim program itself on a pseudo-terminal. Waits are bounded polls, never timing
// assertions.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "model/BuiltInImage.h"
#include "sim/SimFrames.h"

using namespace simtest;

namespace {

constexpr int kPatienceMs = 10000;

bool waitFor(const std::function<bool()>& done) {
    for (int waited = 0; waited < kPatienceMs; waited += 10) {
        if (done()) {
            return true;
        }
        poll(nullptr, 0, 10);
    }
    return done();
}

std::string programPath() {
    char self[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
    std::string path(self, n > 0 ? static_cast<size_t>(n) : 0);
    return path.substr(0, path.rfind('/') + 1) + "velkasim";
}

class VelkasimTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/velkasim-test-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        link_ = dir_ + "/velka";
        ASSERT_EQ(access(programPath().c_str(), X_OK), 0) << programPath();
    }
    void TearDown() override {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) {
            close(out_);
        }
        for (const std::string& f : files_) {
            unlink(f.c_str());
        }
        unlink(link_.c_str());
        rmdir(dir_.c_str());
    }

    void start(std::vector<std::string> options = {}) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        const std::string program = programPath();
        std::vector<std::string> args{"velkasim", "--link", link_};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        pid_ = fork();
        ASSERT_GE(pid_, 0);
        if (pid_ == 0) {
            dup2(fds[1], STDOUT_FILENO);
            close(fds[0]);
            close(fds[1]);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        close(fds[1]);
        out_ = fds[0];
    }

    // Where the link points, or "" when there is none.
    std::string linkTarget() const {
        char target[256] = {};
        const ssize_t n = readlink(link_.c_str(), target, sizeof(target) - 1);
        return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
    }

    // Opens the link as a serial port at 9600 baud, raw.
    int openLine() {
        const int fd = open(link_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) {
            return fd;
        }
        termios t{};
        tcgetattr(fd, &t);
        cfmakeraw(&t);
        cfsetispeed(&t, B9600);
        cfsetospeed(&t, B9600);
        tcsetattr(fd, TCSANOW, &t);
        return fd;
    }

    // Sets the terminal side's character format (CSIZE, PARENB, CSTOPB bits); false when the
    // pty does not keep it.
    static bool setFormat(int fd, tcflag_t format) {
        termios t{};
        tcgetattr(fd, &t);
        t.c_cflag = (t.c_cflag & ~(CSIZE | PARENB | PARODD | CSTOPB)) | format;
        tcsetattr(fd, TCSANOW, &t);
        termios now{};
        tcgetattr(fd, &now);
        return (now.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB)) == format;
    }

    // Waits until velkasim's standard output, from where the last wait stopped, holds one of
    // the texts; returns the one that comes first ("" if none came), and moves past it.
    std::string waitForOutput(const std::vector<std::string>& texts) {
        std::string found;
        waitFor([&] {
            char buf[4096];
            pollfd p{out_, POLLIN, 0};
            while (poll(&p, 1, 0) > 0) {
                const ssize_t n = read(out_, buf, sizeof(buf));
                if (n <= 0) {
                    break;
                }
                stdout_.append(buf, static_cast<size_t>(n));
            }
            size_t first = std::string::npos;
            for (const std::string& t : texts) {
                const size_t pos = stdout_.find(t, outSeen_);
                if (pos < first) {
                    first = pos;
                    found = t;
                }
            }
            if (first == std::string::npos) {
                return false;
            }
            outSeen_ = first + found.size();
            return true;
        });
        return found;
    }

    // Sends frame (if any) and reads until a frame from the radio with command cmd has come;
    // the radio's frames read on the way, that one last (none if it never came).
    std::vector<std::string> sendUntil(int fd, const std::string& frame, int cmd) {
        EXPECT_EQ(write(fd, frame.data(), frame.size()), static_cast<ssize_t>(frame.size()));
        std::string got;
        waitFor([&] {
            char buf[4096];
            const ssize_t n = read(fd, buf, sizeof(buf));
            if (n > 0) {
                got.append(buf, static_cast<size_t>(n));
            }
            const auto frames = radioFrames(got);
            return !frames.empty() && at(frames.back(), 3) == cmd;
        });
        return radioFrames(got);
    }

    // The serial number in the answer to an identification; "" when none came.
    std::string serialOn(int fd) {
        const auto frames = sendUntil(fd, identify(), 0xE1);
        return !frames.empty() && frames.back().size() == 50u ? frames.back().substr(8, 8) : "";
    }

    std::string writeFile(const std::string& name, const std::string& content) {
        std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << content;
        files_.push_back(path);
        return path;
    }
    std::string fileFor(const std::string& name) {
        files_.push_back(dir_ + "/" + name);
        return files_.back();
    }
    static std::string readFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    void stop() {
        ASSERT_EQ(kill(pid_, SIGTERM), 0);
        int status = -1;
        ASSERT_TRUE(waitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }));
        pid_ = -1;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }

    // Reads fd until the terminal side hangs up (end of file or EIO); what came before it.
    std::string readUntilHangup(int fd, bool& hungUp) {
        std::string got;
        hungUp = waitFor([&] {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 0) <= 0) {
                return false;
            }
            char buf[4096];
            const ssize_t n = read(fd, buf, sizeof(buf));
            if (n > 0) {
                got.append(buf, static_cast<size_t>(n));
                return false;
            }
            return n == 0 || errno == EIO;
        });
        return got;
    }

    std::vector<std::string> identifyOn(int fd) {
        const std::string req = identify();
        EXPECT_EQ(write(fd, req.data(), req.size()), static_cast<ssize_t>(req.size()));
        std::string got;
        waitFor([&] {
            char buf[256];
            const ssize_t n = read(fd, buf, sizeof(buf));
            if (n > 0) {
                got.append(buf, static_cast<size_t>(n));
            }
            return !radioFrames(got.substr(std::min(got.size(), req.size()))).empty();
        });
        return radioFrames(got.substr(std::min(got.size(), req.size())));
    }

    std::string dir_;
    std::string link_;
    std::vector<std::string> files_;
    pid_t pid_ = -1;
    int out_ = -1;
    std::string stdout_;
    size_t outSeen_ = 0;
};

constexpr const char* kSerialA = "20417735";
constexpr const char* kSerialB = "31415926";

TEST_F(VelkasimTest, ServesAPtyUntilTerminatedThenRemovesTheLink) {
    start();
    struct stat st {};
    ASSERT_TRUE(waitFor([&] { return lstat(link_.c_str(), &st) == 0; })) << "link never appeared";
    EXPECT_TRUE(S_ISLNK(st.st_mode));

    // The device path it prints is where the link points.
    std::string printed;
    waitFor([&] {
        char c;
        pollfd p{out_, POLLIN, 0};
        while (poll(&p, 1, 0) > 0 && read(out_, &c, 1) == 1) {
            if (c == '\n') {
                return true;
            }
            printed += c;
        }
        return false;
    });
    char target[256] = {};
    ASSERT_GT(readlink(link_.c_str(), target, sizeof(target) - 1), 0);
    EXPECT_EQ(printed, target);

    // Identify, let go of the port, and identify again: the program reopens between steps.
    for (int round = 0; round < 2; ++round) {
        const int fd = openLine();
        ASSERT_GE(fd, 0) << "round " << round;
        const auto frames = identifyOn(fd);
        ASSERT_EQ(frames.size(), 1u) << "round " << round;
        EXPECT_EQ(frames[0].substr(0, 7), bytes({0xEF, 0xEE, 0xE1, 0x26, 0x01, 0x01, 0x00}));
        close(fd);
    }

    ASSERT_EQ(kill(pid_, SIGTERM), 0);
    int status = -1;
    ASSERT_TRUE(waitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }));
    pid_ = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_NE(lstat(link_.c_str(), &st), 0) << "link left behind";
}

TEST_F(VelkasimTest, CutDropsTheDeviceAndServesANewOneAtTheSameLink) {
    start({"--cut", "identify@300"});
    ASSERT_TRUE(waitFor([&] { return !linkTarget().empty(); })) << "link never appeared";
    const std::string first = linkTarget();

    // Changes to the link are watched, so that its short absence cannot be missed.
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, dir_.c_str(), IN_DELETE | IN_CREATE | IN_MOVED_TO), 0);

    const int fd = openLine();
    ASSERT_GE(fd, 0);
    const std::string req = identify();
    ASSERT_EQ(write(fd, req.data(), req.size()), static_cast<ssize_t>(req.size()));

    // The terminal side hangs up, with no answer to the frame that was cut.
    bool hungUp = false;
    const std::string got = readUntilHangup(fd, hungUp);
    EXPECT_TRUE(hungUp) << "the port never hung up";
    EXPECT_TRUE(radioFrames(got).empty());

    // The link goes away, then comes back pointing at another device.
    bool removed = false;
    bool back = false;
    waitFor([&] {
        alignas(inotify_event) char events[4096];
        ssize_t n;
        while ((n = read(watch, events, sizeof(events))) > 0) {
            for (ssize_t off = 0; off < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(events + off);
                const std::string name = e->len > 0 ? e->name : "";
                if (name == "velka" && (e->mask & IN_DELETE) != 0) {
                    removed = true;
                } else if (name == "velka" && (e->mask & (IN_CREATE | IN_MOVED_TO)) != 0) {
                    back = removed;
                }
                off += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            }
        }
        return back;
    });
    close(watch);
    EXPECT_TRUE(removed) << "the link was never removed";
    ASSERT_TRUE(back) << "the link never came back";
    struct stat st {};
    ASSERT_EQ(lstat(link_.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    const std::string second = linkTarget();
    EXPECT_EQ(second.rfind("/dev/pts/", 0), 0u) << second;
    EXPECT_NE(second, first);
    close(fd);

    // The new device is served as usual.
    const int again = openLine();
    ASSERT_GE(again, 0);
    const auto frames = identifyOn(again);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].substr(0, 7), bytes({0xEF, 0xEE, 0xE1, 0x26, 0x01, 0x01, 0x00}));
    close(again);
}

TEST_F(VelkasimTest, HangupFaultServesANewPtyAtTheSameLinkAtOnce) {
    start({"--fault", "hangup"});
    ASSERT_TRUE(waitFor([&] { return !linkTarget().empty(); })) << "link never appeared";
    const std::string first = linkTarget();
    const int fd = openLine();
    ASSERT_GE(fd, 0);
    const std::string req = request(0xE2, kIdentity);
    ASSERT_EQ(write(fd, req.data(), req.size()), static_cast<ssize_t>(req.size()));
    bool hungUp = false;
    const auto frames = radioFrames(readUntilHangup(fd, hungUp));
    EXPECT_TRUE(hungUp) << "the port never hung up";
    ASSERT_GT(frames.size(), 10u);
    EXPECT_LT(frames.size(), 104u);
    EXPECT_EQ(at(frames.back(), 3), 0xE4) << "no closing E5";
    ASSERT_TRUE(waitFor([&] { return linkTarget() != first && !linkTarget().empty(); }));
    close(fd);
    const int again = openLine();
    ASSERT_GE(again, 0);
    EXPECT_EQ(identifyOn(again).size(), 1u);
    close(again);
}

TEST_F(VelkasimTest, RefusesACutItCannotMake) {
    for (const char* option : {"nowhere", "identify:0", "read:x", "adjust@", "reading@-5", ":2"}) {
        start({"--cut", option});
        int status = -1;
        ASSERT_TRUE(waitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; })) << option;
        pid_ = -1;
        close(out_);
        out_ = -1;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << option;
    }
    EXPECT_TRUE(linkTarget().empty());
}

TEST_F(VelkasimTest, Sigusr1SwapsTheUnitOnTheLineAndEachKeepsItsImage) {
    // The other unit starts from an image of its own; power Hi lives at EEPROM 79.
    std::string imageB = velka::builtInImage();
    imageB[600] = '\x5A';
    const std::string fileB = writeFile("b.img", imageB);
    const std::string saveA = fileFor("a-saved.img");
    const std::string saveB = fileFor("b-saved.img");
    start({"--trace", "--other", std::string(kSerialB) + ":" + fileB, "--save", saveA,
           "--other-save", saveB});
    ASSERT_TRUE(waitFor([&] { return !linkTarget().empty(); })) << "link never appeared";
    const int fd = openLine();
    ASSERT_GE(fd, 0);
    EXPECT_EQ(serialOn(fd), kSerialA);

    ASSERT_EQ(kill(pid_, SIGUSR1), 0);
    ASSERT_EQ(waitForOutput({std::string("unit ") + kSerialB + " on the line"}),
              std::string("unit ") + kSerialB + " on the line");
    EXPECT_EQ(serialOn(fd), kSerialB);
    const std::string power = adjust(5, 0xC8);
    ASSERT_EQ(write(fd, power.data(), power.size()), static_cast<ssize_t>(power.size()));
    EXPECT_EQ(serialOn(fd), kSerialB) << "the adjustment was heard before this answer";

    ASSERT_EQ(kill(pid_, SIGUSR1), 0);
    ASSERT_FALSE(waitForOutput({std::string("unit ") + kSerialA + " on the line"}).empty());
    EXPECT_EQ(serialOn(fd), kSerialA);
    close(fd);
    stop();

    EXPECT_EQ(readFile(saveA), velka::builtInImage()) << "the first unit was never adjusted";
    std::string expectedB = imageB;
    expectedB[79] = '\xC8';
    EXPECT_EQ(readFile(saveB), expectedB);
}

TEST_F(VelkasimTest, SwapEndsACloneReadAsALineCut) {
    start({"--trace", "--other", kSerialB});
    ASSERT_TRUE(waitFor([&] { return !linkTarget().empty(); })) << "link never appeared";
    const int fd = openLine();
    ASSERT_GE(fd, 0);
    ASSERT_FALSE(sendUntil(fd, request(0xE2, kIdentity), 0xE4).empty()) << "no clone read";

    ASSERT_EQ(kill(pid_, SIGUSR1), 0);
    ASSERT_FALSE(waitForOutput({std::string("unit ") + kSerialB + " on the line"}).empty());
    // Blocks already on their way may come first.
    EXPECT_EQ(serialOn(fd), kSerialB);

    // Back on the line, the first unit sends nothing more of the read it was cut off from.
    ASSERT_EQ(kill(pid_, SIGUSR1), 0);
    ASSERT_FALSE(waitForOutput({std::string("unit ") + kSerialA + " on the line"}).empty());
    const auto frames = sendUntil(fd, identify(), 0xE1);
    ASSERT_EQ(frames.size(), 1u) << "left over from the read: " << frames.size() - 1;
    EXPECT_EQ(frames[0].substr(8, 8), kSerialA);
    close(fd);
}

TEST_F(VelkasimTest, WithoutAnOtherUnitSigusr1ChangesNothing) {
    start({"--trace"});
    ASSERT_TRUE(waitFor([&] { return !linkTarget().empty(); })) << "link never appeared";
    const int fd = openLine();
    ASSERT_GE(fd, 0);
    ASSERT_EQ(kill(pid_, SIGUSR1), 0);
    EXPECT_EQ(serialOn(fd), kSerialA);
    close(fd);
    stop();
}

TEST_F(VelkasimTest, RefusesAnOtherUnitItCannotMake) {
    for (const std::vector<std::string>& options : {std::vector<std::string>{"--other", "1234567"},
                                                    {"--other", "123456789"},
                                                    {"--other", "20417735:"},
                                                    {"--other-save", "/dev/null"}}) {
        start(options);
        int status = -1;
        ASSERT_TRUE(waitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; })) << options[1];
        pid_ = -1;
        close(out_);
        out_ = -1;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << options[1];
    }
    EXPECT_TRUE(linkTarget().empty());
}

// The computer's character format as the pty carries it. A Linux pty forces 8 data bits and
// no parity whatever is asked, so of the settings a wrong port could have only the stop bits
// reach velkasim; the radio model itself is checked against every format in TransceiverTest.
struct LineFormatCase {
    const char* name;
    tcflag_t format;
    bool heard;
    const char* ignoredAs;
};

void PrintTo(const LineFormatCase& c, std::ostream* os) {
    *os << c.name;
}

class VelkasimFormatTest : public VelkasimTest,
                           public ::testing::WithParamInterface<LineFormatCase> {};

TEST_P(VelkasimFormatTest, OnlyEightNoneOneIsHeard) {
    const LineFormatCase& c = GetParam();
    start({"--trace"});
    ASSERT_TRUE(waitFor([&] { return !linkTarget().empty(); })) << "link never appeared";
    const int fd = openLine();
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(setFormat(fd, c.format)) << "the pty did not keep the setting";
    const std::string req = identify();
    ASSERT_EQ(write(fd, req.data(), req.size()), static_cast<ssize_t>(req.size()));
    ASSERT_EQ(waitForOutput({"PC->radio", "ignored"}), c.heard ? "PC->radio" : "ignored");
    if (c.heard) {
        EXPECT_EQ(sendUntil(fd, "", 0xE1).size(), 1u);
    } else {
        EXPECT_FALSE(waitForOutput({c.ignoredAs}).empty()) << c.ignoredAs;
    }

    // The setting is read again when the next bytes arrive: back at 8N1 the radio hears them.
    ASSERT_TRUE(setFormat(fd, CS8));
    EXPECT_EQ(sendUntil(fd, identify(), 0xE1).size(), 1u);
    close(fd);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, VelkasimFormatTest,
    ::testing::Values(LineFormatCase{"8N1", CS8, true, ""},
                      LineFormatCase{"8N2", CS8 | CSTOPB, false, "at 9600 baud 8N2"}),
    [](const ::testing::TestParamInfo<LineFormatCase>& p) { return std::string(p.param.name); });

}  // namespace

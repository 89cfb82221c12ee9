// Runs the velkasim program itself on a pseudo-terminal. Waits are bounded polls, never timing
// assertions.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

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
        unlink(link_.c_str());
        rmdir(dir_.c_str());
    }

    void start() {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        pid_ = fork();
        ASSERT_GE(pid_, 0);
        if (pid_ == 0) {
            dup2(fds[1], STDOUT_FILENO);
            close(fds[0]);
            close(fds[1]);
            execl(programPath().c_str(), "velkasim", "--link", link_.c_str(), nullptr);
            _exit(127);
        }
        close(fds[1]);
        out_ = fds[0];
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
    pid_t pid_ = -1;
    int out_ = -1;
};

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

}  // namespace

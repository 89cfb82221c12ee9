#pragma once

// The desktop program run as a process of its own, for tests that start and stop it.
//
// The built program is hard-linked (or copied) into a temporary folder, so that the settings file
// beside the executable, found by the program's normal lookup, is one the test owns. The program
// runs on the offscreen platform from a folder holding Const.ini, with its lock file and config
// folder in temporary folders too.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/TempDir.h"
#include "shell/PrivateProfile.h"

extern char** environ;

namespace calvex::testing {

namespace fs = std::filesystem;

inline constexpr auto kStartLimit = std::chrono::seconds(60);
inline constexpr auto kExitLimit = std::chrono::seconds(60);
inline constexpr auto kPoll = std::chrono::milliseconds(20);

// The signals the process catches, from /proc/<pid>/status ("SigCgt:" in hexadecimal).
inline unsigned long long caughtSignals(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("SigCgt:", 0) == 0) return std::stoull(line.substr(7), nullptr, 16);
    }
    return 0;
}

inline bool catches(pid_t pid, int sig) {
    return (caughtSignals(pid) >> (sig - 1) & 1ULL) != 0;
}

// A value the program left in its settings file, or "<missing>".
inline std::string savedValue(const std::string& path, const std::string& section,
                              const std::string& key) {
    return FindPrivateProfileString(section, key, path).value_or("<missing>");
}

// The program under test in a folder of its own.
class ProgramRun {
  public:
    struct Options {
        bool constIni = true;  // Const.ini in the folder the program starts from
        std::string runDir;    // XDG_RUNTIME_DIR (of the lock file); empty: a folder of its own
    };
    ProgramRun() : ProgramRun(Options{}) {}
    explicit ProgramRun(const Options& options) : runDir_(options.runDir) {
        for (const char* sub : {"bin", "cwd", "run", "cfg"})
            fs::create_directory(dir.file(sub));
        fs::permissions(dir.file("run"), fs::perms::owner_all, fs::perm_options::replace);
        if (runDir_.empty()) runDir_ = dir.file("run");
        std::error_code ec;
        fs::create_hard_link(CALVEXADJ_EXE, exe(), ec);
        if (ec) {
            fs::copy_file(CALVEXADJ_EXE, exe());
            fs::permissions(exe(), fs::perms::owner_all, fs::perm_options::add);
        }
        if (options.constIni) fs::copy_file(CALVEX_CONST_INI, dir.file("cwd") + "/Const.ini");
    }
    ~ProgramRun() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    std::string exe() const { return dir.file("bin") + "/calvexadj"; }
    std::string settings() const { return dir.file("bin") + "/CALVEXADJ.rs"; }
    // Both outputs; each alone.
    std::string log() const { return standardError() + standardOutput(); }
    std::string standardError() const { return TempDir::read(dir.file("output.txt")); }
    std::string standardOutput() const { return TempDir::read(dir.file("stdout.txt")); }
    const std::string& runDir() const { return runDir_; }
    std::string lockFile() const { return runDir_ + "/calvexadj.lock"; }
    std::string socketFile() const { return runDir_ + "/calvexadj.socket"; }
    pid_t pid() const { return pid_; }

    // Starts the program with args on the offscreen platform, or with no display at all.
    enum class Display { Offscreen, None };
    void start(const std::vector<std::string>& args = {}, Display display = Display::Offscreen) {
        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e;
            if (entry.rfind("QT_QPA_PLATFORM=", 0) == 0 || entry.rfind("DISPLAY=", 0) == 0 ||
                entry.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
                entry.rfind("XDG_RUNTIME_DIR=", 0) == 0 ||
                entry.rfind("XDG_CONFIG_HOME=", 0) == 0 || entry.rfind("CALVEXADJ_COM", 0) == 0) {
                continue;
            }
            env.push_back(entry);
        }
        if (display == Display::Offscreen) env.push_back("QT_QPA_PLATFORM=offscreen");
        env.push_back("XDG_RUNTIME_DIR=" + runDir_);
        env.push_back("XDG_CONFIG_HOME=" + dir.file("cfg"));
        std::vector<char*> envp;
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        std::vector<std::string> words{exe()};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& w : words)
            argv.push_back(w.data());
        argv.push_back(nullptr);
        const std::string cwd = dir.file("cwd");
        const int out = ::open(dir.file("output.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(out, 0);
        const int stdOut =
            ::open(dir.file("stdout.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(stdOut, 0);

        pid_ = ::fork();
        ASSERT_GE(pid_, 0) << std::strerror(errno);
        if (pid_ == 0) {
            // Only async-signal-safe calls between fork and exec. The signals start with their
            // default actions, as from a terminal or a service manager.
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            for (const int sig : {SIGTERM, SIGHUP, SIGINT})
                ::signal(sig, SIG_DFL);
            ::dup2(stdOut, STDOUT_FILENO);
            ::dup2(out, STDERR_FILENO);
            if (::chdir(cwd.c_str()) != 0) ::_exit(126);
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
        ::close(out);
        ::close(stdOut);
    }

    // Waits until the program catches sig (it is then set to close on it) or has ended.
    bool waitUntilReady(int sig) {
        const auto until = std::chrono::steady_clock::now() + kStartLimit;
        while (std::chrono::steady_clock::now() < until) {
            if (reap(WNOHANG)) return false;
            if (catches(pid_, sig)) return true;
            std::this_thread::sleep_for(kPoll);
        }
        return false;
    }

    void signal(int sig) { ASSERT_EQ(::kill(pid_, sig), 0); }

    // Waits until done() holds while the program runs; false when it ended or time ran out.
    template <class Done>
    bool waitWhileRunning(Done done) {
        const auto until = std::chrono::steady_clock::now() + kStartLimit;
        while (std::chrono::steady_clock::now() < until) {
            if (done()) return true;
            if (reap(WNOHANG)) return done();
            std::this_thread::sleep_for(kPoll);
        }
        return false;
    }
    // Waits until the program's output holds text.
    bool waitForOutput(const std::string& text) {
        return waitWhileRunning([&] { return log().find(text) != std::string::npos; });
    }
    // Waits until the program holds the single-copy lock (the lock file names it).
    bool waitUntilLocked() {
        return waitWhileRunning([&] {
            std::ifstream in(lockFile());
            long owner = 0;
            return static_cast<bool>(in >> owner) && owner == static_cast<long>(pid_);
        });
    }
    bool running() { return pid_ > 0 && !reap(WNOHANG); }

    // Waits for the program to end; its wait status, or nothing when it does not end in time
    // (it is then killed).
    std::optional<int> waitForExit() {
        const auto until = std::chrono::steady_clock::now() + kExitLimit;
        while (std::chrono::steady_clock::now() < until) {
            if (reap(WNOHANG)) return status_;
            std::this_thread::sleep_for(kPoll);
        }
        return std::nullopt;
    }

    TempDir dir;

  private:
    std::string runDir_;

    bool reap(int options) {
        const pid_t r = ::waitpid(pid_, &status_, options);
        if (r == pid_) {
            pid_ = -1;
            return true;
        }
        return false;
    }

    pid_t pid_ = -1;
    int status_ = 0;
};

}  // namespace calvex::testing

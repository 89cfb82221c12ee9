// calvexbench: how fast the program is against the line's own limit. Starts velkasim on a
// pseudo-terminal, drives the real program objects over the real Qt serial control on the
// real 50 ms timer, and prints one table: the clone read against the wire time of the bytes it
// exchanged, key press to wire, the guided procedures and a reload against the pacing of the
// tick, CPU while connected and idle, the same with live readings on, peak memory and the cost
// of one tick. Exits 1 when a figure is past its limit, so that a regression is seen.
#include <sys/resource.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "base/IMessageBox.h"
#include "link/FakeTickSource.h"
#include "link/ForwardingSerialControl.h"
#include "link/LoopbackSerialControl.h"
#include "link/qt/QtSerialControl.h"
#include "model/Transceiver.h"
#include "model/TransceiverPeer.h"
#include "rig/FakeRigWindow.h"
#include "rig/RigVelkaTestAccess.h"
#include "rig/VelkaItems.h"
#include "shell/CalvexCore.h"

using namespace calvex;
using Clock = std::chrono::steady_clock;

namespace {

// The program's identification frame, as it asks any Velka.
const std::string kIdentify("\xEE\xEF\xE0\x26\x01", 5);

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// One write or read of the program, when it happened and at what rate.
struct Traffic {
    Clock::time_point at;
    bool sent;
    std::string bytes;
    int32_t baud;
};

// The real serial control with every write and read noted on the way through.
class TimedSerialControl : public ForwardingSerialControl {
  public:
    explicit TimedSerialControl(QtSerialControl& inner) : ForwardingSerialControl(inner) {}

    std::string Input() override {
        std::string b = ForwardingSerialControl::Input();
        if (!b.empty()) log.push_back({Clock::now(), false, b, baud()});
        return b;
    }
    void Output(const std::string& b) override {
        ForwardingSerialControl::Output(b);
        log.push_back({Clock::now(), true, b, baud()});
    }

    std::vector<Traffic> log;
};

class QuietBox : public IMessageBox {
  public:
    int16_t critical(const std::string& text, const std::string&, const std::string&) override {
        messages.push_back(text);
        return kButtonOk;
    }
    std::vector<std::string> messages;
};

// What the program exchanged between two moments.
struct Exchange {
    std::size_t frames = 0;
    double wireMs = 0;  // 10 bits a byte at the rate in force; the echo shares the line
};

Exchange Between(const std::vector<Traffic>& log, Clock::time_point from, Clock::time_point to) {
    Exchange x;
    double sentBits = 0, readBits = 0, echoBits = 0;
    for (const Traffic& t : log) {
        if (t.at < from || t.at > to || t.baud <= 0) continue;
        const double ms = static_cast<double>(t.bytes.size()) * 10.0 * 1000.0 / t.baud;
        if (t.sent) {
            sentBits += ms;
            echoBits += ms;
            x.frames +=
                static_cast<std::size_t>(std::count(t.bytes.begin(), t.bytes.end(), '\xFD'));
        } else {
            readBits += ms;
        }
    }
    x.wireMs = sentBits + std::max(0.0, readBits - echoBits);
    return x;
}

// The time of the first write (or read) at or after from whose bytes hold needle.
std::optional<Clock::time_point> Find(const std::vector<Traffic>& log, bool sent,
                                      const std::string& needle, Clock::time_point from) {
    std::string joined;
    for (const Traffic& t : log) {
        if (t.sent != sent || t.at < from) continue;
        joined += t.bytes;
        if (joined.find(needle) != std::string::npos) return t.at;
    }
    return std::nullopt;
}

// The times of the writes (or reads) at or after from whose bytes hold needle.
std::vector<Clock::time_point> FindAll(const std::vector<Traffic>& log, bool sent,
                                       const std::string& needle, Clock::time_point from) {
    std::vector<Clock::time_point> at;
    for (const Traffic& t : log)
        if (t.sent == sent && t.at >= from && t.bytes.find(needle) != std::string::npos)
            at.push_back(t.at);
    return at;
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Row {
    std::string what;
    std::string figure;
    std::string against;
    std::string ratio;
};

std::string Fixed(double v, int decimals, const char* unit = "") {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f%s", decimals, v, unit);
    return buf;
}

// The whole program over the real port, with a heartbeat of its own.
class Program {
  public:
    explicit Program(const std::string& device)
        : port_([device](int16_t) { return device; }),
          timed_(port_),
          core_(timed_, systemTickSource(), box_, window_) {
        window_.onCloneError = [this] { core_.MsgBoxCloneErr(); };
        port_.eventGuard([this](const std::function<void()>& e) { core_.RunTickEvent(e); });
        core_.onTaskDone([this] { ++ticks; });
        timer_.setInterval(50);
        QObject::connect(&timer_, &QTimer::timeout, [this] { core_.Tick(); });
        timer_.start();
    }

    // Runs the event loop until done() or the limit; false on the limit. The loop sleeps in
    // the event loop between looks, so that the bench itself costs no CPU worth measuring.
    bool runUntil(const std::function<bool()>& done, int limitMs = 60000) {
        QElapsedTimer t;
        t.start();
        QEventLoop loop;
        QTimer look;
        look.setInterval(2);
        QObject::connect(&look, &QTimer::timeout, [&] {
            if (done() || t.elapsed() > limitMs) loop.quit();
        });
        look.start();
        if (!done()) loop.exec();
        return done();
    }
    void runFor(int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    }
    bool idleInCycle() {
        if (RigVelkaTestAccess::opState(core_.rig) != 19 || core_.seq.OpRunning()) return false;
        for (int16_t i = 0; i < core_.console.ListCount(); ++i)
            if (core_.console.flgChanged(i)) return false;
        return true;
    }
    int16_t procStep() { return RigVelkaTestAccess::procStep(core_.rig); }

    CalvexCore& core() { return core_; }
    testing::FakeRigWindow& window() { return window_; }
    const std::vector<Traffic>& log() const { return timed_.log; }
    const std::vector<std::string>& messages() const { return box_.messages; }
    int ticks = 0;

  private:
    QtSerialControl port_;
    TimedSerialControl timed_;
    QuietBox box_;
    testing::FakeRigWindow window_;
    CalvexCore core_;
    QTimer timer_;
};

// A procedure's run: its duration against one tick for every tick that sent a frame, plus the
// wire time of what it exchanged.
Row Paced(Program& p, const std::string& what, Clock::time_point from, Clock::time_point to) {
    std::vector<Clock::time_point> sends;
    for (const Traffic& t : p.log())
        if (t.sent && t.at >= from && t.at <= to) sends.push_back(t.at);
    // Frames written less than a tick apart went out in the same tick.
    std::size_t ticksSending = 0;
    Clock::time_point last{};
    for (const auto& at : sends) {
        if (ticksSending == 0 || Ms(at - last) > 25) ++ticksSending;
        last = at;
    }
    const Exchange x = Between(p.log(), from, to);
    const double pacing = static_cast<double>(ticksSending) * 50.0 + x.wireMs;
    const double took = Ms(to - from);
    return {what, Fixed(took, 0, " ms"),
            Fixed(pacing, 0, " ms") + " (" + std::to_string(ticksSending) + " ticks + " +
                Fixed(x.wireMs, 0, " ms wire") + ")",
            Fixed(took / pacing, 3)};
}

// A procedure's run on the paced line: its duration against the wire time of what it exchanged,
// the floor no program can go under on a cable.
Row OnTheWire(Program& p, const std::string& what, Clock::time_point from, Clock::time_point to) {
    const Exchange x = Between(p.log(), from, to);
    const double took = Ms(to - from);
    return {what, Fixed(took, 0, " ms"),
            Fixed(x.wireMs, 0, " ms wire (") + std::to_string(x.frames) + " frames sent)",
            Fixed(took / x.wireMs, 3)};
}

// How far above the wire time a procedure may run on the paced line: the radio's turnarounds,
// the settling waits the procedures keep on purpose and the ticks the program waits for.
constexpr double kPacedLimit = 1.5;

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The cost of one tick of a connected, idle program, in process on the fake clock.
class TickCost : public benchmark::BenchmarkReporter {
  public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            ns = r.GetAdjustedRealTime();
    }
    double ns = 0;
};

void BM_IdleTick(benchmark::State& state) {
    testing::FakeTickSource clock{1000};
    velka::Transceiver radio;
    velka::TransceiverPeer peer{radio, clock};
    LoopbackSerialControl port{peer};
    testing::FakeRigWindow window;
    QuietBox box;
    CalvexCore core{port, clock, box, window};
    const auto tick = [&] {
        clock.advance(50);
        port.poll();
        core.Tick();
    };
    core.rig.RigOpFunc_ClickCmd00(0);
    for (int i = 0; i < 400; ++i)
        tick();
    for (auto _ : state)
        tick();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString velkasim = QCoreApplication::applicationDirPath() + "/velkasim";
    QTemporaryDir dir;
    const std::string link = (dir.path() + "/velka").toStdString();
    // The backups of the bench's reads go with its temporary folder, not into the user's.
    qputenv("XDG_DATA_HOME", (dir.path() + "/data").toUtf8());

    QProcess sim;
    sim.setProgram(velkasim);
    sim.setArguments({"--link", QString::fromStdString(link)});
    sim.start();
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "calvexbench: cannot start %s\n", velkasim.toUtf8().constData());
        return 2;
    }

    std::vector<Row> rows;
    bool regressed = false;
    const auto limit = [&](bool within, Row& row, const char* what) {
        if (!within) {
            row.ratio += "  PAST LIMIT " + std::string(what);
            regressed = true;
        }
    };
    {
        Program p(link);
        p.core().ComAutoRelease(0);

        // Connect: the clone read and the adjustments that follow it.
        const auto start = Clock::now();
        p.core().rig.RigOpFunc_ClickCmd00(0);
        if (!p.runUntil([&] { return p.idleInCycle(); }) || !p.messages().empty()) {
            std::fprintf(stderr, "calvexbench: connect failed: %s\n",
                         p.messages().empty() ? "time-out" : p.messages()[0].c_str());
            return 2;
        }
        const auto e0 = Find(p.log(), true, std::string("\xFE\xFE\xEE\xEF\xE0", 5), start);
        const auto e5 = Find(p.log(), false, std::string("\xEF\xEE\xE5", 3), start);
        const auto e802 =
            Find(p.log(), true, std::string("\xEE\xEF\xE8\x26\x01\x01\x00\x02", 8), start);
        if (!e0 || !e5 || !e802) {
            std::fprintf(stderr, "calvexbench: the read's frames were not seen\n");
            return 2;
        }
        const Exchange read = Between(p.log(), *e0, *e5);
        Row r{"clone read, E0 to E5", Fixed(Ms(*e5 - *e0), 0, " ms"),
              Fixed(read.wireMs, 0, " ms wire (") + std::to_string(read.frames) + " frames sent)",
              Fixed(Ms(*e5 - *e0) / read.wireMs, 3)};
        limit(Ms(*e5 - *e0) / read.wireMs <= 1.10, r, "1.10");
        rows.push_back(r);
        const Exchange toE802 = Between(p.log(), *e0, *e802);
        rows.push_back({"clone read, E0 to E8 02", Fixed(Ms(*e802 - *e0), 0, " ms"),
                        Fixed(toE802.wireMs, 0, " ms wire"),
                        Fixed(Ms(*e802 - *e0) / toE802.wireMs, 3)});

        // Key press to the last byte of its frame, on " Power(Hi)".
        const auto keysToWire = [&p](int keys = 30, int pauseMs = 400) {
            std::vector<double> keyMs;
            for (int i = 0; i < keys; ++i) {
                // Past the wait after the previous frame, at a random point of the tick, as a
                // technician's key would come.
                p.runFor(pauseMs + static_cast<int>(std::rand() % 50));
                const auto pressed = Clock::now();
                p.core().console.UpDown(Index(VelkaItem::PowerHi), i % 2 == 0 ? 1 : -1);
                const std::string frame("\xE8\x26\x01\x01\x00\x05", 6);
                p.runUntil([&] { return Find(p.log(), true, frame, pressed).has_value(); });
                if (const auto sent = Find(p.log(), true, frame, pressed))
                    keyMs.push_back(Ms(*sent - pressed));
            }
            return keyMs;
        };
        const std::vector<double> keyMs = keysToWire();
        const double median = Median(keyMs);
        Row k{"key to wire, median of " + std::to_string(keyMs.size()), Fixed(median, 1, " ms"),
              "half a tick (25 ms) on average", Fixed(median / 25.0, 3)};
        limit(median <= 60.0, k, "60 ms");
        rows.push_back(k);

        // A key after two seconds of quiet line: the radio is identified again before the key's
        // frame, so the key costs one identification exchange more.
        const auto quiet = Clock::now();
        const std::vector<double> quietKeyMs = keysToWire(10, 2100);
        const double quietMedian = Median(quietKeyMs);
        std::vector<double> identifyMs;
        for (const Clock::time_point asked : FindAll(p.log(), true, kIdentify, quiet)) {
            // The identification on the wire: its frame, the echo and the answer, up to the
            // key's frame that follows it.
            if (const auto key = Find(p.log(), true, std::string("\xEE\xEF\xE8", 3), asked))
                identifyMs.push_back(
                    Between(p.log(), asked, *key - std::chrono::nanoseconds(1)).wireMs);
        }
        if (identifyMs.empty()) {
            std::fprintf(stderr, "calvexbench: no identification after a quiet line was seen\n");
            return 2;
        }
        const double quietLimit = median + Median(identifyMs);
        Row q{"key to wire, quiet, median of " + std::to_string(quietKeyMs.size()),
              Fixed(quietMedian, 1, " ms"),
              "key to wire + one identification (" + Fixed(quietLimit, 0, " ms") + ")",
              Fixed(quietMedian / quietLimit, 3)};
        limit(quietMedian <= quietLimit * 1.10, q, "1.10 x key to wire + one identification");
        rows.push_back(q);

        // CPU while connected and idle (the port open, nothing to send).
        p.runUntil([&] { return p.idleInCycle(); });
        const double cpu0 = CpuSeconds();
        QElapsedTimer idle;
        idle.start();
        p.runFor(5000);
        const double share = (CpuSeconds() - cpu0) / (static_cast<double>(idle.elapsed()) / 1000.0);
        Row c{"CPU while connected and idle", Fixed(share * 100.0, 2, " % of a core"), "", ""};
        limit(share <= 0.015, c, "1.5 %");
        rows.push_back(c);

        // Live readings on: the rounds one after the other, a key amid them, and the CPU.
        p.runUntil([&] { return p.idleInCycle(); });
        p.core().rig.RigOpFunc_LiveReadings(true);
        const auto live = Clock::now();
        p.runFor(6000);
        // A round starts with its identification, then the supply reading (command 03, channel
        // 00).
        const std::string supply("\xE8\x26\x01\x01\x00\x03\x30\x30", 8);
        const std::vector<Clock::time_point> starts = FindAll(p.log(), true, kIdentify, live);
        // A round ends with the last answer before the next round's first request.
        std::vector<Row> rounds;
        std::vector<double> periods;
        for (std::size_t n = 1; n + 1 < starts.size(); ++n) {
            Clock::time_point end = starts[n];
            for (const Traffic& t : p.log())
                if (!t.sent && t.at > starts[n] && t.at < starts[n + 1]) end = t.at;
            rounds.push_back(Paced(p, "", starts[n], end));
            periods.push_back(Ms(starts[n + 1] - starts[n]));
        }
        // One exchange: a reading's request to its answer, on the wire.
        std::vector<double> exchangeMs;
        for (std::size_t n = 1; n + 1 < starts.size(); ++n) {
            const auto asked = Find(p.log(), true, supply, starts[n]);
            if (!asked) continue;
            const auto answer = Find(p.log(), false, std::string("\xEF\xEE\xE8", 3), *asked);
            if (answer) exchangeMs.push_back(Between(p.log(), *asked, *answer).wireMs);
        }
        const double exchange = Median(exchangeMs);
        if (rounds.empty()) {
            std::fprintf(stderr, "calvexbench: no live round was seen\n");
            return 2;
        }
        std::sort(rounds.begin(), rounds.end(), [](const Row& a, const Row& b) {
            return std::stod(a.figure) < std::stod(b.figure);
        });
        Row round = rounds[rounds.size() / 2];
        round.what = "live round, median of " + std::to_string(rounds.size());
        rows.push_back(round);
        rows.push_back({"live rounds, median period", Fixed(Median(periods), 0, " ms"),
                        "one round a period (" +
                            std::to_string(clsIndOp_RigVelka::kLiveRoundPeriodMs) + " ms)",
                        Fixed(Median(periods) / clsIndOp_RigVelka::kLiveRoundPeriodMs, 3)});

        const std::vector<double> liveKeyMs = keysToWire();
        const double liveMedian = Median(liveKeyMs);
        const double liveLimit = 25.0 + exchange;
        Row lk{"key to wire, live on, median of " + std::to_string(liveKeyMs.size()),
               Fixed(liveMedian, 1, " ms"),
               "half a tick + one exchange (" + Fixed(liveLimit, 0, " ms") + ")",
               Fixed(liveMedian / liveLimit, 3)};
        limit(liveMedian <= liveLimit, lk, "half a tick + one exchange");
        rows.push_back(lk);

        const double liveCpu0 = CpuSeconds();
        QElapsedTimer liveIdle;
        liveIdle.start();
        p.runFor(5000);
        const double liveShare =
            (CpuSeconds() - liveCpu0) / (static_cast<double>(liveIdle.elapsed()) / 1000.0);
        Row lc{"CPU while connected, live on", Fixed(liveShare * 100.0, 2, " % of a core"), "", ""};
        limit(liveShare <= 0.01, lc, "1 %");
        rows.push_back(lc);
        p.core().rig.RigOpFunc_LiveReadings(false);

        if (!p.messages().empty()) {
            std::fprintf(stderr, "calvexbench: a message appeared: %s\n", p.messages()[0].c_str());
            return 2;
        }
    }
    sim.terminate();
    sim.waitForFinished(5000);

    // The procedures on a paced line: the program's own bytes take their wire time, as on a
    // cable, so these rows compare with the line itself and can fail. (The rows above stay on
    // the line that hands the bytes over at once: the CPU figures would otherwise count the
    // pty's byte-by-byte delivery, which a USB adapter does not do.)
    QProcess pacedSim;
    const std::string pacedLink = (dir.path() + "/velka-paced").toStdString();
    pacedSim.setProgram(velkasim);
    pacedSim.setArguments({"--link", QString::fromStdString(pacedLink), "--paced"});
    pacedSim.start();
    if (!pacedSim.waitForStarted(5000) || !pacedSim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "calvexbench: cannot start %s --paced\n",
                     velkasim.toUtf8().constData());
        return 2;
    }
    {
        Program q(pacedLink);
        q.core().ComAutoRelease(0);
        q.core().rig.RigOpFunc_ClickCmd00(0);
        if (!q.runUntil([&] { return q.idleInCycle(); }) || !q.messages().empty()) {
            std::fprintf(stderr, "calvexbench: connect on the paced line failed\n");
            return 2;
        }
        // Reload: all twelve readings in the next cycle.
        const auto reload = Clock::now();
        q.core().rig.RigOpFunc_ClickCmd00(1);
        q.runUntil([&] { return !RigVelkaTestAccess::reloadRequest(q.core().rig); });
        q.runUntil([&] { return q.idleInCycle(); });
        q.runFor(200);
        const auto lastAnswer = [&](Clock::time_point from) {
            Clock::time_point last = from;
            for (const Traffic& t : q.log())
                if (!t.sent && t.at >= from) last = t.at;
            return last;
        };
        rows.push_back(OnTheWire(q, "reload (12 readings)", reload, lastAnswer(reload)));

        // BPF ALL sweep.
        const auto bpf = Clock::now();
        q.core().console.EnterPushed(Index(VelkaItem::BpfAll));
        q.runUntil([&] { return q.procStep() != 0; });
        q.runUntil([&] { return q.procStep() == 0; }, 120000);
        rows.push_back(OnTheWire(q, "BPF ALL sweep", bpf, lastAnswer(bpf)));

        // TXF procedure: both settings confirmed at once.
        const auto txf = Clock::now();
        const int beepsBefore = q.window().beeps;  // the sweep beeps at its end too
        const int16_t kTxf = Index(VelkaItem::Txf);
        q.core().console.EnterPushed(kTxf);
        q.runUntil([&] { return q.procStep() == 3 || q.procStep() == 5; });
        q.core().console.EnterPushed(kTxf);
        q.runUntil([&] { return RigVelkaTestAccess::txfSecondPhase(q.core().rig); });
        q.runUntil([&] { return q.procStep() == 3 || q.procStep() == 5; });
        q.core().console.EnterPushed(kTxf);
        q.runUntil([&] { return q.window().beeps > beepsBefore; }, 120000);
        q.runFor(1000);  // the table's last frames are still crossing the paced line
        int tableWrites = 0;
        for (const Traffic& t : q.log()) {
            if (!t.sent || t.at < txf || t.bytes.size() < 10) continue;
            const auto cmd = static_cast<uint8_t>(t.bytes[9]);
            if (static_cast<uint8_t>(t.bytes[4]) == 0xE8 && cmd >= 0x14 && cmd <= 0x3B)
                ++tableWrites;
        }
        rows.push_back(OnTheWire(q,
                                 "TXF procedure (" + std::to_string(tableWrites) + " table writes)",
                                 txf, lastAnswer(txf)));

        for (Row& r : rows) {
            if (r.what.rfind("reload", 0) == 0 || r.what.rfind("BPF", 0) == 0 ||
                r.what.rfind("TXF", 0) == 0) {
                limit(std::stod(r.ratio) <= kPacedLimit, r, "on the paced line");
            }
        }
        if (!q.messages().empty()) {
            std::fprintf(stderr, "calvexbench: a message appeared: %s\n", q.messages()[0].c_str());
            return 2;
        }
    }
    pacedSim.terminate();
    pacedSim.waitForFinished(5000);

    // The cost of one tick, in process.
    benchmark::Initialize(&argc, argv);
    benchmark::RegisterBenchmark("idle tick", BM_IdleTick);
    TickCost cost;
    benchmark::RunSpecifiedBenchmarks(&cost);
    rows.push_back({"one tick, connected and idle", Fixed(cost.ns / 1000.0, 2, " us"),
                    "a tick every 50 ms", Fixed(cost.ns / 50e6, 6)});

    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    const double peakMb = static_cast<double>(u.ru_maxrss) / 1024.0;
    Row m{"peak resident memory", Fixed(peakMb, 1, " MB"), "", ""};
    limit(peakMb <= 64.0, m, "64 MB");
    rows.push_back(m);

    std::printf("%-34s %-14s %-44s %s\n", "measure", "figure", "against", "ratio");
    for (const Row& r : rows)
        std::printf("%-34s %-14s %-44s %s\n", r.what.c_str(), r.figure.c_str(), r.against.c_str(),
                    r.ratio.c_str());
    return regressed ? 1 : 0;
}

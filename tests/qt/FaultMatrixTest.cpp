// The fault matrix over a real pseudo-terminal: the program's objects on the real Qt serial
// control and the real 50 ms timer, against the velkasim program with each of its faults, the
// line cut at each point of an exchange, and devices that are not serial ports at all. Every
// row ends in one message with the system idle, leaves the radio's memory as it was, and a
// plain Connect works once the fault is gone. Waits are bounded; nothing is timed.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/frmCom.h"
#include "link/qt/QtSerialControl.h"
#include "model/BuiltInImage.h"
#include "rig/FakeRigWindow.h"
#include "rig/FlowBench.h"
#include "rig/RigVelkaTestAccess.h"
#include "shell/CalvexCore.h"

namespace calvex {
namespace {

constexpr int kPatienceMs = 20000;

std::string Lines(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* l : lines)
        text += (text.empty() ? "" : "\r\n") + std::string(l);
    return text;
}
const char* const kCom = "- The COM port settings.";
const char* const kCbl = "- Cloning cable connections.";
const char* const kPwr = "- Transceiver power is ON.";
const std::string kCannotAccess =
    Lines({"Cannot access COM 1.", "", "Check the following:", kCom, kCbl, kPwr});
const std::string kNoAnswer =
    Lines({"No answer from transceiver.", "", "Check the following:", kCom, kCbl, kPwr});

// velkasim on a link in a folder of its own, its trace and messages in one stream.
class Sim {
  public:
    Sim(const QString& link, const QString& image, const QStringList& options) {
        proc_.setProcessChannelMode(QProcess::MergedChannels);
        proc_.setProgram(QCoreApplication::applicationDirPath() + "/velkasim");
        proc_.setArguments(QStringList{"--link", link, "--save", image, "--trace"} + options);
        proc_.start();
    }
    ~Sim() { stop(); }
    bool started() {
        return proc_.waitForStarted(kPatienceMs) && proc_.waitForReadyRead(kPatienceMs);
    }
    std::string output() {
        out_ += proc_.readAll().toStdString();
        return out_;
    }
    // Ends it as a service manager would; it saves its image on the way out.
    bool stop() {
        if (proc_.state() == QProcess::NotRunning) return true;
        proc_.terminate();
        return proc_.waitForFinished(kPatienceMs);
    }

  private:
    QProcess proc_;
    std::string out_;
};

class RecordingBox : public IMessageBox {
  public:
    int16_t critical(const std::string& text, const std::string&,
                     const std::string& detail) override {
        texts.push_back(text);
        details.push_back(detail);
        return kButtonOk;
    }
    std::vector<std::string> texts, details;
};

// The program over the real serial control, COM1 being the given path.
class Program {
  public:
    explicit Program(const std::string& device)
        : port_([device](int16_t) { return device; }),
          core_(port_, systemTickSource(), box, window_) {
        window_.onCloneError = [this] { core_.MsgBoxCloneErr(); };
        port_.eventGuard([this](const std::function<void()>& e) { core_.RunTickEvent(e); });
        core_.onTaskDone([this] { ++ticks; });
        core_.ComAutoRelease(0);
        timer_.setInterval(50);
        QObject::connect(&timer_, &QTimer::timeout, [this] { core_.Tick(); });
        timer_.start();
    }
    bool waitFor(const std::function<bool()>& done) { return QTest::qWaitFor(done, kPatienceMs); }
    bool connect() {
        core_.rig.RigOpFunc_ClickCmd00(0);
        return waitFor([&] { return idleInCycle() || !box.texts.empty(); }) && idleInCycle();
    }
    bool idleInCycle() {
        if (RigVelkaTestAccess::opState(core_.rig) != 19 || core_.seq.OpRunning()) return false;
        for (int16_t i = 0; i < core_.console.ListCount(); ++i)
            if (core_.console.flgChanged(i)) return false;
        return true;
    }
    bool idle() { return RigVelkaTestAccess::opState(core_.rig) == 0 && !core_.seq.OpRunning(); }
    CalvexCore& core() { return core_; }
    RecordingBox box;
    int ticks = 0;

  private:
    QtSerialControl port_;
    testing::FakeRigWindow window_;
    CalvexCore core_;
    QTimer timer_;
};

// What the program does, once connected, to reach the row's point; empty: Connect itself.
using Then = std::function<void(Program&)>;

struct Row {
    std::string name;
    QStringList simOptions;  // velkasim's fault or cut
    Then then;
    std::string message;
    // How the detail must begin; empty: no detail.
    std::function<bool(const std::string& detail, const std::string& device)> detailOk;
};

// The paragraph that follows a row's message, up to the backup's name (which holds the time):
// the first point of the sweep was sent as the line went, so the radio may hold it.
std::string TrialNoteOf(const Row& row) {
    if (row.name != "cut_filter_sweep") return {};
    return "The BPF procedure was stopped before its end and the values it tried could not all be "
           "put back: the transceiver may hold trial values at address 68. The backup ";
}

bool LostOrGone(const std::string& d, const std::string& device) {
    return d == device + ": " + frmCom::kDisconnected ||
           d.rfind(device + ": ", 0) == 0;  // gone already when the port was opened again
}

// The adjustment commands the program sends from Connect until its first cycle has ended: a
// line cut after Connect is the next frame of its kind.
std::vector<int> CommandsAtConnect() {
    testing::FlowBench b;
    std::vector<int> commands;
    if (!b.connect()) return commands;  // the rows that count on them then fail plainly
    for (const auto& a : b.adjustments)
        commands.push_back(a.first);
    return commands;
}

std::vector<Row> Rows() {
    const auto adjust = [](int c) {
        return (c >= 0x04 && c <= 0x0D) || (c >= 0x11 && c <= 0x13) || (c >= 0x14 && c <= 0x3B);
    };
    const auto procedure = [](int c) { return c == 0x0C || c == 0x0D || (c >= 0x14 && c <= 0x3B); };
    const std::vector<int> atConnect = CommandsAtConnect();
    const auto adjustAtConnect = std::count_if(atConnect.begin(), atConnect.end(), adjust);
    const auto procedureAtConnect = std::count_if(atConnect.begin(), atConnect.end(), procedure);
    const auto cut = [](const std::string& point) {
        return QStringList{"--cut", QString::fromStdString(point + "@100")};
    };
    const auto fault = [](const char* name) { return QStringList{"--fault", name}; };
    const auto noDetail = [](const std::string& d, const std::string&) { return d.empty(); };
    std::vector<Row> rows = {
        {"cut_identify", cut("identify"), nullptr, kCannotAccess, LostOrGone},
        {"cut_rate_switch", cut("rate-switch"), nullptr, kCannotAccess, LostOrGone},
        {"cut_read", cut("read"), nullptr, kCannotAccess, LostOrGone},
        {"cut_preamble", cut("preamble"), nullptr, kCannotAccess, LostOrGone},
        {"cut_items_after_read", cut("adjust"), nullptr, kCannotAccess, LostOrGone},
        {"cut_first_reading", cut("reading"), nullptr, kCannotAccess, LostOrGone},
        {"cut_key_on_an_item", cut("adjust:" + std::to_string(adjustAtConnect + 1)),
         [](Program& p) { p.core().console.UpDown(testing::FlowBench::kPowerHi, 5); },
         kCannotAccess, LostOrGone},
        {"cut_filter_sweep", cut("procedure:" + std::to_string(procedureAtConnect + 1)),
         [](Program& p) { p.core().console.EnterPushed(testing::FlowBench::kBpfT1); },
         kCannotAccess, LostOrGone},
        {"fault_hangup", fault("hangup"), nullptr, kCannotAccess, LostOrGone},
        {"fault_silent", fault("silent"), nullptr, kNoAnswer, noDetail},
        {"fault_slow", fault("slow"), nullptr, kNoAnswer, noDetail},
        {"fault_wrong_model", fault("wrong-model"), nullptr,
         Lines({"Cannot Clone.", "", "Check the following:", kCom, kCbl, kPwr}), noDetail},
        {"fault_byte43", fault("byte43"), nullptr,
         Lines({"Connected transceiver is not compatible model.", "", "Check the following:",
                "- Appropriate cloning software for the transceiver is being used.",
                "- The revision number of the transceiver."}),
         noDetail},
        {"fault_sub_code", fault("sub-code"), nullptr,
         "Version number does not match\r\nfor this transceiver.", noDetail},
        {"fault_bad_checksum", fault("bad-checksum"), nullptr,
         Lines({"Illegal data.", "", "Check the following:", kCom, kCbl, kPwr}), noDetail},
        {"fault_count_mismatch", fault("count-mismatch"), nullptr,
         Lines({"Data counter error.", "", "Check the following:", kCom, kCbl, kPwr}), noDetail},
        {"fault_outside_image", fault("outside-image"), nullptr,
         Lines({"Data overflow.", "", "Check the following:", kCom, kCbl, kPwr}), noDetail},
        // The program needs neither the echo nor a clone write for an adjustment.
        {"fault_no_echo", fault("no-echo"), nullptr, "", noDetail},
        {"fault_write_fail", fault("write-fail"), nullptr, "", noDetail},
        {"fault_drop_bytes", fault("drop-bytes"), nullptr,
         Lines({"Illegal data.", "", "Check the following:", kCom, kCbl, kPwr}), noDetail},
        {"fault_bad_reading", fault("bad-reading"), nullptr,
         Lines({"Communication failed.", "", "Check the following:", kCbl, kPwr}), noDetail},
    };
    return rows;
}

class FaultMatrix : public ::testing::TestWithParam<Row> {};

TEST_P(FaultMatrix, OneMessageAnIdleSystemAndTheRadioAsItWas) {
    const Row& row = GetParam();
    QTemporaryDir dir;
    const QString link = dir.filePath("velka");
    const QString image = dir.filePath("image.bin");
    const std::string device = link.toStdString();
    const std::string before = velka::builtInImage();
    {
        Sim sim(link, image, row.simOptions);
        ASSERT_TRUE(sim.started());
        Program p(device);
        if (row.message.empty()) {
            EXPECT_TRUE(p.connect());
            EXPECT_TRUE(p.box.texts.empty()) << p.box.texts[0];
            ASSERT_TRUE(sim.stop());
            QFile saved(image);
            ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
            EXPECT_EQ(saved.readAll().toStdString(), before) << "the radio's memory changed";
            return;
        }
        if (row.then) {
            ASSERT_TRUE(p.connect()) << (p.box.texts.empty() ? "" : p.box.texts[0]);
            row.then(p);
        } else {
            p.core().rig.RigOpFunc_ClickCmd00(0);
        }
        ASSERT_TRUE(p.waitFor([&] { return !p.box.texts.empty(); })) << sim.output();
        const std::size_t traceAtMessage = sim.output().size();
        // A second of idle behind the message: no second message, no frame, no busy loop.
        const int ticksAtMessage = p.ticks;
        QTest::qWait(1000);

        ASSERT_EQ(p.box.texts.size(), 1u) << p.box.texts.back();
        if (const std::string note = TrialNoteOf(row); note.empty()) {
            EXPECT_EQ(p.box.texts[0], row.message);
        } else {
            const std::string& text = p.box.texts[0];
            EXPECT_EQ(text.rfind(row.message + "\r\n\r\n" + note, 0), 0u) << text;
            EXPECT_TRUE(text.ends_with(".vbk holds them as found.")) << text;
        }
        EXPECT_TRUE(row.detailOk(p.box.details[0], device)) << p.box.details[0];
        EXPECT_FALSE(p.core().com.comOpen());
        EXPECT_TRUE(p.idle());
        EXPECT_LE(p.ticks - ticksAtMessage, 40) << "the tick chain ran more than its timer";
        const std::string trace = sim.output();
        const auto cut = trace.find("velkasim: line cut");
        const std::size_t from = cut != std::string::npos ? cut : traceAtMessage;
        EXPECT_EQ(trace.find("PC->radio", from), std::string::npos)
            << "a frame reached the radio after the fault:\n"
            << trace.substr(from);
        ASSERT_TRUE(sim.stop());
    }
    QFile saved(image);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll().toStdString(), before) << "the radio's memory changed";

    // The fault gone, a plain Connect reads and works.
    Sim healthy(link, image, {});
    ASSERT_TRUE(healthy.started());
    Program p(device);
    EXPECT_TRUE(p.connect()) << (p.box.texts.empty() ? "" : p.box.texts[0]);
}

INSTANTIATE_TEST_SUITE_P(Pty, FaultMatrix, ::testing::ValuesIn(Rows()),
                         [](const ::testing::TestParamInfo<Row>& p) { return p.param.name; });

// Paths that are no serial port at all: each is the port message with what the system said.
TEST(FaultMatrixDevices, NoSerialPortBehindThePath) {
    QTemporaryDir dir;
    const std::string missing = dir.filePath("nothing-here").toStdString();
    const std::string file = dir.filePath("plain-file").toStdString();
    {
        QFile f(QString::fromStdString(file));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a serial port");
    }
    const std::string folder = dir.path().toStdString();
    for (const std::string& device : {missing, file, folder}) {
        Program p(device);
        p.core().rig.RigOpFunc_ClickCmd00(0);
        ASSERT_TRUE(p.waitFor([&] { return !p.box.texts.empty(); })) << device;
        QTest::qWait(200);
        ASSERT_EQ(p.box.texts.size(), 1u) << device;
        EXPECT_EQ(p.box.texts[0], kCannotAccess) << device;
        EXPECT_EQ(p.box.details[0].rfind(device + ": ", 0), 0u) << p.box.details[0];
        EXPECT_GT(p.box.details[0].size(), device.size() + 2) << "no reason given";
        EXPECT_FALSE(p.core().com.comOpen());
        EXPECT_TRUE(p.idle());
    }
}

// A device the user may not open. Root opens anything, so the open is tried as nobody.
TEST(FaultMatrixDevices, DeviceWithoutPermission) {
    QTemporaryDir dir;
    const QString link = dir.filePath("velka");
    Sim sim(link, dir.filePath("image.bin"), {});
    ASSERT_TRUE(sim.started());
    const std::string pts = QFile::symLinkTarget(link).toStdString();
    ASSERT_FALSE(pts.empty());
    struct stat st {};
    ASSERT_EQ(::stat(pts.c_str(), &st), 0);
    ASSERT_EQ(::chmod(pts.c_str(), 0), 0);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(fds[0]);
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
        std::string report;
        {
            Program p(pts);
            p.core().rig.RigOpFunc_ClickCmd00(0);
            for (int i = 0; i < 5 && p.box.texts.empty(); ++i)
                p.core().Tick();
            report = (p.box.texts.empty() ? std::string("none") : p.box.texts[0]) + "\n" +
                     (p.box.details.empty() ? std::string() : p.box.details[0]);
        }
        const ssize_t n = ::write(fds[1], report.data(), report.size());
        ::_exit(n == static_cast<ssize_t>(report.size()) ? 0 : 4);
    }
    ::close(fds[1]);
    std::string report;
    char buf[512];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
        report.append(buf, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::chmod(pts.c_str(), st.st_mode & 07777);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(report.rfind(kCannotAccess + "\n" + pts + ": ", 0), 0u) << report;
    EXPECT_NE(report.find("ermission"), std::string::npos) << report;
}

}  // namespace
}  // namespace calvex

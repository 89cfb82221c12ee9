#include "link/qt/QtSerialControl.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <functional>

namespace calvex {
namespace {

// A pseudo-terminal: the control opens the slave side by its path, the test plays the
// transceiver on the master side.
class PtyLine : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[256] = {};
        ASSERT_EQ(::openpty(&master_, &slave_, name, nullptr, nullptr), 0);
        path_ = name;
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        control_.OnComm([this] {
            events_.push_back(control_.CommEvent());
            if (control_.CommEvent() == comm_event::kReceive) received_ += control_.Input();
        });
        control_.RThreshold(1);
        control_.InBufferSize(32760);
        control_.OutBufferSize(1024);
        control_.DTREnable(true);
        control_.RTSEnable(true);
    }
    void TearDown() override {
        control_.PortOpen(false);
        if (master_ >= 0) ::close(master_);
        ::close(slave_);
    }

    void open(const std::string& settings) {
        control_.Settings(settings);
        control_.PortOpen(true);
    }
    speed_t lineSpeed() const {
        termios t{};
        ::tcgetattr(slave_, &t);
        return ::cfgetospeed(&t);
    }
    // Lets the event loop run until done() holds, within a bounded number of rounds.
    bool pump(const std::function<bool()>& done, int rounds = 200) {
        for (int i = 0; i < rounds && !done(); ++i) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            ::usleep(1000);
        }
        return done();
    }
    std::string readMaster() {
        std::string got;
        char buf[4096];
        ssize_t n;
        while ((n = ::read(master_, buf, sizeof buf)) > 0)
            got.append(buf, static_cast<std::size_t>(n));
        return got;
    }

    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    QtSerialControl control_{[this](int16_t) { return path_; }};
    std::vector<int16_t> events_;
    std::string received_;
};

TEST_F(PtyLine, OpensAtTheSettingsRate) {
    open("9600,N,8,1");
    EXPECT_TRUE(control_.PortOpen());  // DTR and RTS cannot be set on a pty: still open
    EXPECT_EQ(lineSpeed(), static_cast<speed_t>(B9600));
    control_.PortOpen(false);
    open("38400,N,8,1");
    EXPECT_EQ(lineSpeed(), static_cast<speed_t>(B38400));
    control_.PortOpen(false);
    open("9600,N,8,1");
    EXPECT_EQ(lineSpeed(), static_cast<speed_t>(B9600));
}

// The format each open leaves on the line, as the device holds it and as the port was given it.
TEST_F(PtyLine, OpensWithExactlyTheLineFormatAsked) {
    for (const char* settings : {"9600,N,8,1", "38400,N,8,2", "19200,n,8,1"}) {
        SCOPED_TRACE(settings);
        open(settings);
        const LineFormat asked = *ParseLineFormat(settings);
        termios t{};
        ASSERT_EQ(::tcgetattr(slave_, &t), 0);
        EXPECT_EQ(::cfgetospeed(&t), asked.baud == 9600    ? static_cast<speed_t>(B9600)
                                     : asked.baud == 19200 ? static_cast<speed_t>(B19200)
                                                           : static_cast<speed_t>(B38400));
        EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(t.c_cflag & PARENB, 0u);
        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, asked.stopBits == LineFormat::Stop::Two);
        EXPECT_EQ(control_.LineFormatInForce(), asked);
        const QSerialPort& port = control_.port();
        EXPECT_EQ(port.baudRate(), asked.baud);
        EXPECT_EQ(port.dataBits(), QSerialPort::Data8);
        EXPECT_EQ(port.parity(), QSerialPort::NoParity);
        EXPECT_EQ(port.stopBits(), asked.stopBits == LineFormat::Stop::Two ? QSerialPort::TwoStop
                                                                           : QSerialPort::OneStop);
        control_.PortOpen(false);
    }
}

struct RefusedCase {
    const char* name;
    const char* settings;
    const char* reason;  // how the reason begins
    // The rate a driver runs instead of the one asked (a driver may pick the nearest it can);
    // 0: as the pseudo-terminal does.
    int32_t driverRate = 0;
};

class RefusedFormat : public PtyLine, public ::testing::WithParamInterface<RefusedCase> {};

// A format the port refuses or takes only in part is an open error: the port stays closed, and
// the error names the device and what it runs instead. A pseudo-terminal keeps 8 data bits and no
// parity whatever it is asked; no Linux port runs 1.5 stop bits.
TEST_P(RefusedFormat, IsAnOpenError) {
    const RefusedCase& c = GetParam();
    if (c.driverRate != 0) {
        control_.formatReader([&c](int fd) {
            auto held = DeviceLineFormat(fd);
            if (held) held->baud = c.driverRate;
            return held;
        });
    }
    try {
        open(c.settings);
        FAIL() << "opened with " << c.settings << ": "
               << LineFormatText(*control_.LineFormatInForce());
    } catch (const SerialError& e) {
        EXPECT_EQ(e.device(), path_);
        EXPECT_EQ(e.reason().rfind(c.reason, 0), 0u) << e.reason();
    }
    EXPECT_FALSE(control_.PortOpen());
    // The line format is refused, not the device: the clone format opens.
    control_.formatReader(DeviceLineFormat);
    open("9600,N,8,1");
    EXPECT_TRUE(control_.PortOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Pty, RefusedFormat,
    ::testing::Values(
        RefusedCase{"SevenEven", "9600,E,7,1",
                    "the port did not take the line format 9600,E,7,1 (it runs 9600,N,8,1)"},
        RefusedCase{"Odd", "9600,O,8,1",
                    "the port did not take the line format 9600,O,8,1 (it runs 9600,N,8,1)"},
        RefusedCase{"OneAndAHalfStopBits", "9600,N,8,1.5",
                    "the port did not take the line format 9600,N,8,1.5 (it runs 9600,N,8,1)"},
        RefusedCase{"RateNotTaken", "38400,N,8,1",
                    "the port did not take the line format 38400,N,8,1 (it runs 9600,N,8,1)", 9600},
        RefusedCase{"RateNearlyTaken", "38400,N,8,1",
                    "the port did not take the line format 38400,N,8,1 (it runs 38461,N,8,1)",
                    38461}),
    [](const auto& p) { return std::string(p.param.name); });

// A settings text that is no line format is refused before anything is opened; a format the port
// refuses while open closes it.
TEST_F(PtyLine, ASettingsTextThatIsNoFormatIsRefused) {
    for (const char* settings : {"9600", "9600,N,9,1", "9600,X,8,1", "abc"}) {
        EXPECT_THROW(control_.Settings(settings), SerialError) << settings;
        EXPECT_EQ(control_.Settings(), "9600,N,8,1") << "the last good settings stay";
    }
    open("9600,N,8,1");
    EXPECT_THROW(control_.Settings("9600,E,7,1"), SerialError);
    EXPECT_FALSE(control_.PortOpen()) << "not left running another format";
}

TEST_F(PtyLine, PassesBytesBothWaysInOrder) {
    open("9600,N,8,1");
    std::string all;
    for (int i = 0; i < 256; ++i)
        all.push_back(static_cast<char>(i));
    control_.Output(all);
    EXPECT_EQ(control_.OutBufferCount(), 0);  // handed to the system at once
    std::string atMaster;
    ASSERT_TRUE(pump([&] {
        atMaster += readMaster();
        return atMaster.size() >= all.size();
    }));
    EXPECT_EQ(atMaster, all);

    const std::string back = all + all;
    ASSERT_EQ(::write(master_, back.data(), back.size()), static_cast<ssize_t>(back.size()));
    ASSERT_TRUE(pump([&] { return received_.size() >= back.size(); }));
    EXPECT_EQ(received_, back);
    for (int16_t e : events_)
        EXPECT_EQ(e, comm_event::kReceive);
}

TEST_F(PtyLine, WholeCloneWriteFitsTheTransmitBuffer) {
    // 104 frames of 46 bytes and the closing 15, each written only while more than 256 of
    // the 1024 buffer bytes are free, as the driver does, with nobody reading yet.
    open("9600,N,8,1");
    const std::string frame(46, '\x31');
    for (int i = 0; i < 105; ++i) {
        ASSERT_GT(control_.OutBufferSize() - control_.OutBufferCount(), 256) << "frame " << i;
        control_.Output(frame);
    }
    std::string atMaster;
    ASSERT_TRUE(pump([&] {
        atMaster += readMaster();
        return atMaster.size() >= 105 * frame.size();
    }));
    EXPECT_EQ(atMaster.size(), 105 * frame.size());
}

TEST_F(PtyLine, OtherSideVanishingIsReportedOnce) {
    open("9600,N,8,1");
    ::close(master_);
    master_ = -1;
    pump([&] { return !events_.empty(); });
    pump([] { return false; }, 50);  // a fault that repeats would report again here
    ASSERT_EQ(events_.size(), 1u);
    EXPECT_EQ(events_[0], comm_event::kDeviceLost);
    EXPECT_FALSE(control_.PortOpen());
    ASSERT_NE(control_.LastFault(), nullptr);
    EXPECT_EQ(control_.LastFault()->device(), path_);
    EXPECT_THROW(control_.Output("x"), SerialError);
}

TEST(QtSerialControl, OpenFailureKeepsDeviceAndReason) {
    QtSerialControl control([](int16_t) { return std::string("/dev/calvex-no-such-tty"); });
    try {
        control.PortOpen(true);
        FAIL() << "opened a missing device";
    } catch (const SerialError& e) {
        EXPECT_EQ(e.device(), "/dev/calvex-no-such-tty");
        EXPECT_FALSE(e.reason().empty());
    }
    EXPECT_FALSE(control.PortOpen());
}

TEST(QtSerialControl, DefaultDeviceByPortNumber) {
    EXPECT_EQ(QtSerialControl::DefaultDevice(1), "/dev/ttyUSB0");
    EXPECT_EQ(QtSerialControl::DefaultDevice(4), "/dev/ttyUSB3");
}

}  // namespace
}  // namespace calvex

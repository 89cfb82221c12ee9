#include "link/qt/QtSerialControl.h"

#include <fcntl.h>
#include <unistd.h>

#include <QMetaObject>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace calvex {

QtSerialControl::QtSerialControl(DeviceLookup lookup) : lookup_(std::move(lookup)) {
    QObject::connect(&port_, &QSerialPort::readyRead, &port_, [this] { OnReadyRead(); });
    QObject::connect(&port_, &QSerialPort::errorOccurred, &port_,
                     [this](QSerialPort::SerialPortError e) { OnError(e); });
}

QtSerialControl::~QtSerialControl() {
    handler_ = nullptr;
    ClosePort();
}

std::string QtSerialControl::DefaultDevice(int16_t port) {
    return "/dev/ttyUSB" + std::to_string(port - 1);
}

void QtSerialControl::CommPort(int16_t port) {
    if (port_.isOpen()) throw SerialError(device_, "port number cannot change while open");
    if (port < 1) throw SerialError("COM" + std::to_string(port), "invalid port number");
    commPort_ = port;
}

namespace {

QSerialPort::Parity ParityOf(char letter) {
    switch (letter) {
        case 'E':
            return QSerialPort::EvenParity;
        case 'O':
            return QSerialPort::OddParity;
        case 'M':
            return QSerialPort::MarkParity;
        case 'S':
            return QSerialPort::SpaceParity;
        default:
            return QSerialPort::NoParity;
    }
}

QSerialPort::StopBits StopBitsOf(LineFormat::Stop stop) {
    switch (stop) {
        case LineFormat::Stop::OneAndHalf:
            return QSerialPort::OneAndHalfStop;
        case LineFormat::Stop::Two:
            return QSerialPort::TwoStop;
        case LineFormat::Stop::One:
            break;
    }
    return QSerialPort::OneStop;
}

}  // namespace

void QtSerialControl::Settings(const std::string& settings) {
    const auto format = ParseLineFormat(settings);
    if (!format) throw SerialError(device_, "invalid settings " + settings);
    settings_ = settings;
    format_ = *format;
    if (!port_.isOpen()) return;
    // A port that cannot run the new format is not left running another one.
    if (const std::string why = GiveFormat(); !why.empty()) {
        ClosePort();
        throw SerialError(device_, why);
    }
    if (const std::string why = CheckFormat(); !why.empty()) {
        ClosePort();
        throw SerialError(device_, why);
    }
}

std::string QtSerialControl::GiveFormat() {
    const bool taken = port_.setBaudRate(static_cast<qint32>(format_.baud)) &&
                       port_.setDataBits(static_cast<QSerialPort::DataBits>(format_.dataBits)) &&
                       port_.setParity(ParityOf(format_.parity)) &&
                       port_.setStopBits(StopBitsOf(format_.stopBits));
    if (taken) return {};
    const std::string reason = port_.errorString().toStdString();
    port_.clearError();
    return "the port refused the line format " + LineFormatText(format_) + ": " + reason;
}

std::string QtSerialControl::CheckFormat() const {
    const auto held = formatReader_(static_cast<int>(port_.handle()));
    if (!held) {
        return "the port does not say its line format: " + std::string(std::strerror(errno));
    }
    if (*held == format_) return {};
    return "the port did not take the line format " + LineFormatText(format_) + " (it runs " +
           LineFormatText(*held) + ")";
}

std::optional<LineFormat> QtSerialControl::LineFormatInForce() const {
    if (!port_.isOpen()) return std::nullopt;
    return formatReader_(static_cast<int>(port_.handle()));
}

void QtSerialControl::DTREnable(bool on) {
    dtr_ = on;
    if (port_.isOpen()) port_.setDataTerminalReady(on);  // a pty cannot; that is fine
}

void QtSerialControl::RTSEnable(bool on) {
    rts_ = on;
    if (port_.isOpen()) port_.setRequestToSend(on);
}

void QtSerialControl::InBufferSize(int16_t size) {
    if (port_.isOpen()) throw SerialError(device_, "buffer size cannot change while open");
    inSize_ = size;
}

void QtSerialControl::OutBufferSize(int16_t size) {
    if (port_.isOpen()) throw SerialError(device_, "buffer size cannot change while open");
    outSize_ = size;
}

void QtSerialControl::PortOpen(bool open) {
    if (!open) {
        ClosePort();
        return;
    }
    if (port_.isOpen() && faulted_) ClosePort();  // the queued close of a lost device
    if (port_.isOpen()) throw SerialError(device_, "port already open");
    device_ = lookup_ ? lookup_(commPort_) : DefaultDevice(commPort_);
    port_.setPortName(QString::fromStdString(device_));
    // The line runs exactly the format asked, or the port is not opened.
    if (const std::string why = GiveFormat(); !why.empty()) throw SerialError(device_, why);
    if (!port_.setFlowControl(QSerialPort::NoFlowControl)) {
        const std::string reason = port_.errorString().toStdString();
        port_.clearError();
        throw SerialError(device_, reason);
    }
    if (!port_.open(QIODevice::ReadWrite)) {
        const std::string reason = port_.errorString().toStdString();
        port_.clearError();
        throw SerialError(device_, reason);
    }
    if (const std::string why = CheckFormat(); !why.empty()) {
        ClosePort();
        throw SerialError(device_, why);
    }
    // Writes go straight to the descriptor and must never block the program's thread.
    const int fd = static_cast<int>(port_.handle());
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    port_.setDataTerminalReady(dtr_);
    port_.setRequestToSend(rts_);
    port_.clearError();
    faulted_ = false;
    fault_.reset();
    in_.clear();
    out_.clear();
    writeNotifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    writeNotifier_->setEnabled(false);
    QObject::connect(writeNotifier_.get(), &QSocketNotifier::activated, &port_,
                     [this] { PushOut(); });
}

void QtSerialControl::ClosePort() {
    writeNotifier_.reset();
    out_.clear();
    in_.clear();
    if (port_.isOpen()) port_.close();
    port_.clearError();
}

int16_t QtSerialControl::OutBufferCount() const {
    return static_cast<int16_t>(std::min<std::size_t>(out_.size(), INT16_MAX));
}

void QtSerialControl::OutBufferCount(int16_t count) {
    // Only what the system has not taken is dropped; its own queue still goes out.
    if (count != 0) return;
    out_.clear();
    if (writeNotifier_) writeNotifier_->setEnabled(false);
}

void QtSerialControl::Output(const std::string& bytes) {
    if (!port_.isOpen() || faulted_) throw SerialError(device_, "port not open");
    out_ += bytes;
    PushOut();
}

void QtSerialControl::PushOut() {
    if (!port_.isOpen() || faulted_) return;
    const int fd = static_cast<int>(port_.handle());
    while (!out_.empty()) {
        const ssize_t n = ::write(fd, out_.data(), out_.size());
        if (n > 0) {
            out_.erase(0, static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (writeNotifier_) writeNotifier_->setEnabled(true);
            return;
        } else {
            Lose(n < 0 ? std::strerror(errno) : "device stopped taking data");
            return;
        }
    }
    if (writeNotifier_) writeNotifier_->setEnabled(false);
}

void QtSerialControl::OnReadyRead() {
    if (faulted_) return;
    const QByteArray data = port_.readAll();
    if (data.isEmpty()) return;
    Receive(data.constData(), static_cast<std::size_t>(data.size()));
}

void QtSerialControl::OnError(QSerialPort::SerialPortError error) {
    // Some Qt versions repeat read and resource errors without end once the other side is
    // gone; the first one closes the port and is reported, the rest are ignored.
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError &&
        error != QSerialPort::WriteError) {
        return;
    }
    if (!port_.isOpen() || faulted_) return;
    Lose(port_.errorString().toStdString());
}

void QtSerialControl::Lose(const std::string& reason) {
    if (faulted_) return;
    faulted_ = true;
    fault_.emplace(device_, reason);
    if (writeNotifier_) writeNotifier_->setEnabled(false);
    // The loss is reported at once, so that nothing more is sent in this tick; the handler
    // only notes it. Closing waits for the event loop: the failure may surface inside
    // QSerialPort's own notifier.
    QMetaObject::invokeMethod(
        &port_,
        [this] {
            if (faulted_) ClosePort();
        },
        Qt::QueuedConnection);
    Fire(comm_event::kDeviceLost);
}

}  // namespace calvex

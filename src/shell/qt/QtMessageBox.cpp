#include "shell/qt/QtMessageBox.h"

#include <QStringDecoder>
#include <algorithm>
#include <cstdio>

#include "shell/qt/PlainText.h"

namespace calvex {

namespace {

// Paths and the system's reasons come as UTF-8; a text that is not UTF-8 (bytes of a radio's
// answer) reads as Latin-1, as the console shows such bytes.
QString Decoded(const std::string& text) {
    // Stateless: a sequence cut at the end is an error, not a wait for more.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = utf8(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
    if (!utf8.hasError()) return decoded;
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QMessageBox* QtMessageBox::Make(const Message& m) {
    auto* box =
        new QMessageBox(QMessageBox::Critical, m.title, m.text, QMessageBox::Ok, parent_.data());
    if (!m.detail.isEmpty()) box->setInformativeText(m.detail);
    // Messages name files and devices and quote what files hold: shown as written.
    ShowPlainText(*box);
    box->setWindowModality(Qt::ApplicationModal);
    return box;
}

int16_t QtMessageBox::critical(const std::string& text, const std::string& title,
                               const std::string& detail) {
    QString body = Decoded(text);
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Message m{body, Decoded(title), Decoded(detail)};

    if (blocking_) {
        QString line = m.title + QStringLiteral(": ") + m.text;
        if (!m.detail.isEmpty()) line += QStringLiteral("\n") + m.detail;
        std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
        std::fflush(stderr);
        if (dismissed_) return kButtonOk;
        QMessageBox* box = Make(m);
        open_ = box;
        box->exec();
        delete box;
        return kButtonOk;
    }
    const auto same = [&m](const Message& o) { return o.text == m.text && o.detail == m.detail; };
    if (open_ != nullptr && (same({open_->text(), {}, open_->informativeText()}) ||
                             std::any_of(queue_.begin(), queue_.end(), same))) {
        return kButtonOk;
    }
    queue_.push_back(m);
    if (open_ == nullptr) ShowNext();
    return kButtonOk;
}

void QtMessageBox::dismiss() {
    dismissed_ = true;
    queue_.clear();
    if (open_ != nullptr) open_->done(QMessageBox::Ok);
}

void QtMessageBox::ShowNext() {
    if (queue_.empty()) return;
    QMessageBox* box = Make(queue_.front());
    queue_.pop_front();
    box->setAttribute(Qt::WA_DeleteOnClose);
    // The next message opens once this one is gone, from the event loop.
    QObject::connect(box, &QDialog::finished, box, [this] {
        open_ = nullptr;
        QMetaObject::invokeMethod(
            &context_, [this] { ShowNext(); }, Qt::QueuedConnection);
    });
    open_ = box;
    box->show();
}

}  // namespace calvex

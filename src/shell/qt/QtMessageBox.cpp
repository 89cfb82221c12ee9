#include "shell/qt/QtMessageBox.h"

#include <QMessageBox>

namespace calvex {

int16_t QtMessageBox::critical(const std::string& text, const std::string& title) {
    QString body = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(QMessageBox::Critical, QString::fromStdString(title), body, QMessageBox::Ok,
                    parent_.data());
    if (!detail_.empty()) {
        box.setInformativeText(QString::fromStdString(detail_));
        detail_.clear();
    }
    box.exec();
    return kButtonOk;
}

}  // namespace calvex

#include "shell/qt/QtListBox.h"

#include <stdexcept>

namespace calvex {

void QtListBox::AddItem(const std::string& text) {
    widget_.addItem(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

QListWidgetItem& QtListBox::line(int32_t i) const {
    QListWidgetItem* item = widget_.item(i);
    if (item == nullptr) throw std::out_of_range("list box line out of range");
    return *item;
}

void QtListBox::List(int32_t i, const std::string& text) {
    QListWidgetItem& item = line(i);
    const QString s = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    if (item.text() != s) item.setText(s);  // an unchanged line is not redrawn
}

std::string QtListBox::List(int32_t i) const {
    return line(i).text().toLatin1().toStdString();
}

}  // namespace calvex

#include "shell/qt/PlainText.h"

#include <QTextDocument>

namespace calvex {

void ShowPlainText(QLabel& label) {
    label.setTextFormat(Qt::PlainText);
    label.setOpenExternalLinks(false);
}

void ShowPlainText(QMessageBox& box) {
    box.setTextFormat(Qt::PlainText);
    // The text's label opens links, and the informative text has a label of its own (made when
    // that text is first set) which does not follow the box's format.
    for (const char* name : {"qt_msgbox_label", "qt_msgbox_informativelabel"}) {
        for (QLabel* label : box.findChildren<QLabel*>(QLatin1String(name)))
            ShowPlainText(*label);
    }
}

QString PlainToolTip(const QString& text) {
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal) : text;
}

}  // namespace calvex

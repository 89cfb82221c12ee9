#include "shell/qt/ConsoleListWidget.h"

#include <QKeyEvent>

namespace calvex {

void ConsoleListWidget::keyPressEvent(QKeyEvent* event) {
    const int i = currentRow();
    const int step = (event->modifiers() & Qt::ShiftModifier) ? 5 : 1;
    switch (event->key()) {
        case Qt::Key_Left:
            event->accept();
            if (onUpDown) onUpDown(i, -step);
            return;
        case Qt::Key_Right:
            event->accept();
            if (onUpDown) onUpDown(i, +step);
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            if (onEnter) onEnter(i);
            return;
        default:
            QListWidget::keyPressEvent(event);
    }
}

void ConsoleListWidget::focusInEvent(QFocusEvent* event) {
    QListWidget::focusInEvent(event);
    if (currentRow() < 0 && count() > 0) setCurrentRow(0);
}

}  // namespace calvex

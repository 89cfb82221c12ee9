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
        case Qt::Key_Comma:
            // The keypad's separator key. Layouts that have one put the keysym KP_Separator on
            // the keypad's decimal key (xkb's kpdl(comma): de, pl, ...), and Qt delivers that
            // as Key_Comma with KeypadModifier. The decimal point there (KP_Decimal, as on the
            // us layout) arrives as Key_Period and is no separator; a comma typed elsewhere
            // lacks the keypad modifier. Both stay the list's own keys.
            if (event->modifiers() & Qt::KeypadModifier) {
                event->accept();
                if (onEnter) onEnter(i);
                return;
            }
            QListWidget::keyPressEvent(event);
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

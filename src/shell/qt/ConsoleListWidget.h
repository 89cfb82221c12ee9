#pragma once

#include <QListWidget>
#include <functional>

namespace calvex {

// The console list: the arrow keys step the selected item (Shift: by 5; Ctrl and Alt change
// nothing), Enter (Return, the keypad's Enter, the keypad's separator) starts its action; every
// other key is the list's own. Gaining the focus selects line 0 if none is.
class ConsoleListWidget final : public QListWidget {
    Q_OBJECT

  public:
    using QListWidget::QListWidget;

    std::function<void(int index, int step)> onUpDown;
    std::function<void(int index)> onEnter;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
};

}  // namespace calvex

#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <deque>
#include <string>

#include "base/IMessageBox.h"

namespace calvex {

// The program's message box: modal, critical icon, one OK button. Until the program runs its
// event loop a box waits for OK before the call returns (the start-up messages, after which
// the program ends); such a message also goes to the standard error output, so that a log
// says why the program ended. From then on a box only opens and the call returns at once, so that
// the 50 ms tick chain keeps running behind it; a message that comes while one is open waits for it
// (the same text is not queued twice), so never more than one box is open.
class QtMessageBox final : public IMessageBox {
  public:
    void parent(QWidget* parent) { parent_ = parent; }
    // False once the program's event loop runs.
    void blocking(bool on) { blocking_ = on; }
    // The program is ending: the box on screen closes as by OK, and a start-up message that
    // follows no longer waits for OK.
    void dismiss();
    int16_t critical(const std::string& text, const std::string& title,
                     const std::string& detail) override;

    // The box on screen, if any, and how many wait behind it (for tests).
    QMessageBox* openBox() const { return open_.data(); }
    std::size_t waiting() const { return queue_.size(); }

  private:
    struct Message {
        QString text, title, detail;
    };
    QMessageBox* Make(const Message& m);
    void ShowNext();

    QPointer<QWidget> parent_;
    bool blocking_ = true;
    bool dismissed_ = false;
    QPointer<QMessageBox> open_;
    // Context of the queued opening of the next box: gone with this object.
    QObject context_;
    std::deque<Message> queue_;
};

}  // namespace calvex

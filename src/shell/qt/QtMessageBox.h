#pragma once

#include <QPointer>
#include <QWidget>
#include <string>

#include "shell/IMessageBox.h"

namespace calvex {

// The program's message box: modal, critical icon, one OK button. Its own event loop keeps the
// timer ticking while it is open.
class QtMessageBox final : public IMessageBox {
  public:
    void parent(QWidget* parent) { parent_ = parent; }
    int16_t critical(const std::string& text, const std::string& title) override;
    void nextDetail(const std::string& detail) override { detail_ = detail; }

  private:
    QPointer<QWidget> parent_;
    std::string detail_;
};

}  // namespace calvex

#pragma once

#include <QListWidget>

#include "console/IListBox.h"

namespace calvex {

// A list box of the core drawn on a QListWidget.
class QtListBox final : public IListBox {
  public:
    explicit QtListBox(QListWidget& widget) : widget_(widget) {}

    void Clear() override { widget_.clear(); }
    void AddItem(const std::string& text) override;
    int32_t ListCount() const override { return widget_.count(); }
    void List(int32_t i, const std::string& text) override;
    std::string List(int32_t i) const override;

  private:
    QListWidgetItem& line(int32_t i) const;

    QListWidget& widget_;
};

}  // namespace calvex

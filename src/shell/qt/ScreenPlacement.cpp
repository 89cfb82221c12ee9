#include "shell/qt/ScreenPlacement.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace calvex {

void PlaceOnOwnersScreen(QWidget& window, const QWidget& owner) {
    const QScreen* screen = owner.screen();
    if (screen == nullptr) return;
    const QRect room = screen->availableGeometry();
    // The frame the window manager adds; nothing is known of it before the window is shown.
    const QSize frame = window.frameGeometry().size() - window.size();
    const QSize most = room.size() - frame;
    if (window.width() > most.width() || window.height() > most.height()) {
        window.resize(std::max(window.minimumWidth(), std::min(window.width(), most.width())),
                      std::max(window.minimumHeight(), std::min(window.height(), most.height())));
    }
    QRect placed = window.frameGeometry();
    if (window.screen() != screen || !room.intersects(placed)) {
        placed.moveCenter(owner.frameGeometry().center());
    }
    const int x = std::clamp(placed.x(), room.left(),
                             std::max(room.left(), room.right() + 1 - placed.width()));
    const int y = std::clamp(placed.y(), room.top(),
                             std::max(room.top(), room.bottom() + 1 - placed.height()));
    if (QPoint(x, y) != window.frameGeometry().topLeft()) window.move(x, y);
}

}  // namespace calvex

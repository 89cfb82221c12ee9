#pragma once

class QWidget;

namespace calvex {

// Puts a window just shown wholly on the free area of its owner's screen: over the owner when
// it opened elsewhere, moved in from an edge it crosses, and made smaller when it is larger
// than the screen allows.
void PlaceOnOwnersScreen(QWidget& window, const QWidget& owner);

}  // namespace calvex

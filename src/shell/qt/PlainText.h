#pragma once

#include <QLabel>
#include <QMessageBox>
#include <QString>

namespace calvex {

// Text that comes from a file or the disk (a file name or path, a header field, a reason quoting
// one) is shown exactly as written. Qt takes a label's, a message box's or a tooltip's text for
// HTML when it looks like HTML, so that a crafted backup could change what a window shows or
// what a click opens; these keep it plain.

// A label that shows its text as plain text.
void ShowPlainText(QLabel& label);
// A message box whose text and informative text are plain text; after its informative text is set.
void ShowPlainText(QMessageBox& box);
// A tooltip that shows text as it is: itself when Qt would not take it for HTML, else the same
// text escaped (Qt renders tooltips as HTML when they look like HTML and offers no plain mode).
QString PlainToolTip(const QString& text);

}  // namespace calvex

#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QTextBrowser;

namespace calvex {

// The user guide's file: installed beside the program's share folder, else in the system's
// documentation folder, else in the source tree the program was built from. Empty when none
// is there; looked lists every place tried.
QString FindUserGuide(QStringList* looked = nullptr);

// Help > User guide: the guide shown in a window of the program, so that it reads with no
// network and no browser.
class UserGuideWindow final : public QDialog {
    Q_OBJECT
  public:
    explicit UserGuideWindow(QWidget* parent = nullptr);
    QTextBrowser* browser() const { return browser_; }

  private:
    QTextBrowser* browser_;
};

// Help > Keys: every key of the console and the window.
QString KeysText();

// A folder the About window names, with a button that opens it.
struct NamedFolder {
    QString label;
    QString path;
};

// Help > About Calvex ADJ.
class AboutDialog final : public QDialog {
    Q_OBJECT
  public:
    // opener opens a folder (the desktop's file manager unless a test says) and tells whether
    // it could.
    using FolderOpener = std::function<bool(const QString& path)>;
    AboutDialog(const std::vector<NamedFolder>& folders, const FolderOpener& opener,
                QWidget* parent = nullptr);
    // What the last failed open said, for tests.
    QString lastProblem() const { return lastProblem_; }

  private:
    QString lastProblem_;
};

}  // namespace calvex

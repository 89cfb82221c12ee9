#include "shell/qt/HelpWindows.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "base/ProgramPlaces.h"
#include "shell/ProgramInfo.h"
#include "shell/qt/PlainText.h"

namespace calvex {

QString FindUserGuide(QStringList* looked) {
    const QStringList candidates = {
        QDir(QCoreApplication::applicationDirPath())
            .filePath(QStringLiteral("../share/doc/calvexadj/GUIDE.md")),
        QStringLiteral("/usr/share/doc/calvexadj/GUIDE.md"),
#ifdef CALVEX_SOURCE_DIR
        QStringLiteral(CALVEX_SOURCE_DIR "/docs/GUIDE.md"),
#endif
    };
    for (const QString& c : candidates) {
        QString path = QDir::cleanPath(c);
        if (looked != nullptr) looked->append(path);
        if (QFileInfo(path).isFile()) return path;
    }
    return {};
}

UserGuideWindow::UserGuideWindow(QWidget* parent) : QDialog(parent), browser_(new QTextBrowser) {
    setWindowTitle(QStringLiteral("Calvex ADJ user guide"));
    browser_->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(browser_);
    QStringList looked;
    const QString path = FindUserGuide(&looked);
    QFile file(path);
    if (!path.isEmpty() && file.open(QIODevice::ReadOnly)) {
        // Pictures and links of the guide are relative to its folder.
        browser_->setSearchPaths({QFileInfo(path).absolutePath()});
        browser_->setMarkdown(QString::fromUtf8(file.readAll()));
    } else {
        browser_->setPlainText(
            QStringLiteral("The user guide was not found. It was looked for at:\n") +
            looked.join(QLatin1Char('\n')));
    }
    resize(860, 640);
}

QString KeysText() {
    return QStringLiteral(
        "The console (the list of adjustment items)\n"
        "  Up, Down, Page Up, Page Down, Home, End   choose an item\n"
        "  Right / Left          raise / lower the item by 1; it is sent to the radio at once\n"
        "  Shift+Right / Left    raise / lower the item by 5\n"
        "  Enter, keypad Enter   start the item's procedure (TXF, BPF) or confirm its step\n"
        "  keypad separator      as Enter, on layouts whose keypad has one\n"
        "\n"
        "The window\n"
        "  F5                    Reload(F5): read the twelve readings again\n"
        "  Tab, Shift+Tab        move between the console and the buttons\n"
        "  Space                 press the button that has the focus\n"
        "  Enter, Esc            close the parameter dump (Disp para) while it is shown\n"
        "  F1                    Help > User guide\n"
        "  Alt+F, Alt+O, Alt+V, Alt+H   open the File, Option, View and Help menus\n");
}

AboutDialog::AboutDialog(const std::vector<NamedFolder>& folders, const FolderOpener& opener,
                         QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Calvex ADJ"));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(
        QStringLiteral("<b>%1</b><br>Service adjustment of the Velka FM transceiver<br><br>"
                       "Version %2, build %3<br>Qt %4<br><br>"
                       "Free software under the %5 (%6): you may redistribute it and change it "
                       "under its terms. There is no warranty.")
            .arg(
                QString::fromUtf8(kProgramName.data(), static_cast<qsizetype>(kProgramName.size())),
                QString::fromUtf8(ProgramVersion().data(),
                                  static_cast<qsizetype>(ProgramVersion().size())),
                QString::fromUtf8(ProgramBuild().data(),
                                  static_cast<qsizetype>(ProgramBuild().size())),
                QString::fromLatin1(qVersion()),
                QString::fromUtf8(kProgramLicenceName.data(),
                                  static_cast<qsizetype>(kProgramLicenceName.size())),
                QString::fromUtf8(kProgramLicence.data(),
                                  static_cast<qsizetype>(kProgramLicence.size()))));
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(text);

    auto* grid = new QGridLayout;
    int row = 0;
    for (const NamedFolder& folder : folders) {
        grid->addWidget(new QLabel(folder.label), row, 0);
        auto* path = new QLabel(folder.path);
        ShowPlainText(*path);
        path->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(path, row, 1);
        auto* open = new QPushButton(QStringLiteral("Open"));
        open->setObjectName(QStringLiteral("open ") + folder.label);
        grid->addWidget(open, row, 2);
        const QString where = folder.path;
        connect(open, &QPushButton::clicked, this, [this, where, opener] {
            // A folder the program has not needed yet does not exist; it is made to be shown, as
            // the program makes its folders (the user's alone).
            (void)MakeFolder(where.toStdString());
            if (opener && opener(where)) return;
            lastProblem_ = QStringLiteral("The folder could not be opened. It is:\n") + where;
            auto* box = new QMessageBox(QMessageBox::Information, windowTitle(), lastProblem_,
                                        QMessageBox::Ok, this);
            ShowPlainText(*box);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->setTextInteractionFlags(Qt::TextSelectableByMouse);
            box->open();
        });
        ++row;
    }
    layout->addLayout(grid);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

}  // namespace calvex

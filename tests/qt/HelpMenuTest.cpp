// The Help menu as the technician uses it: the guide in a window of the program, the keys, the
// About window with its folders, and the diagnostics file.
#include <gtest/gtest.h>

#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <filesystem>
#include <string>
#include <vector>

#include "DesktopBench.h"
#include "memory/FileBackupStore.h"
#include "shell/Diagnostics.h"
#include "shell/qt/HelpWindows.h"

namespace calvex {
namespace {

TEST(HelpMenu, TheGuideOpensInAWindowOfTheProgram) {
    testing::Desktop d;
    d.start();
    ASSERT_FALSE(FindUserGuide().isEmpty()) << "the guide of the source tree is found";
    d.window.guideAction()->trigger();
    ASSERT_NE(d.window.guideWindow(), nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(d.window.guideWindow()));
    const QString text = d.window.guideWindow()->browser()->toPlainText();
    EXPECT_TRUE(text.contains(QStringLiteral("Const.ini"))) << text.left(300).toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("was not found")));
}

// Every menu of the bar and every shortcut of its entries is in Help > Keys.
TEST(HelpMenu, KeysNameEveryMenuAndEveryShortcut) {
    testing::Desktop d;
    const QString keys = KeysText();
    std::vector<QMenu*> menus;
    for (QAction* bar : d.window.menuBar()->actions()) {
        const QString text = bar->text();
        const qsizetype amp = text.indexOf(QLatin1Char('&'));
        ASSERT_GE(amp, 0) << text.toStdString();
        const QString alt = QStringLiteral("Alt+") + text.at(amp + 1).toUpper();
        EXPECT_TRUE(keys.contains(alt)) << alt.toStdString();
        menus.push_back(bar->menu());
    }
    while (!menus.empty()) {
        QMenu* menu = menus.back();
        menus.pop_back();
        for (QAction* a : menu->actions()) {
            if (a->menu() != nullptr) menus.push_back(a->menu());
            if (a->shortcut().isEmpty()) continue;
            const QString key = a->shortcut().toString();
            EXPECT_TRUE(keys.contains(key))
                << key.toStdString() << " of " << a->text().toStdString();
        }
    }
}

TEST(HelpMenu, AboutNamesTheLicenceAndEachFolderAndSaysWhereOneThatDoesNotOpenIs) {
    testing::Desktop d;
    std::vector<QString> opened;
    d.window.folderOpener([&](const QString& path) {
        opened.push_back(path);
        return !path.contains(QStringLiteral("traces"));
    });
    d.start();
    d.window.aboutAction()->trigger();
    AboutDialog* about = d.window.aboutDialog();
    ASSERT_NE(about, nullptr);
    QString all;
    for (QLabel* label : about->findChildren<QLabel*>())
        all += label->text() + "\n";
    EXPECT_TRUE(all.contains(QStringLiteral("GPL-3.0-or-later"))) << all.toStdString();
    EXPECT_TRUE(all.contains(QStringLiteral("Qt ")));
    EXPECT_TRUE(all.contains(QString::fromStdString(d.core.backups.store().folder())));
    for (const char* label : {"Settings", "Const.ini", "Backups"}) {
        auto* button = about->findChild<QPushButton*>(QStringLiteral("open ") + label);
        ASSERT_NE(button, nullptr) << label;
        button->click();
        EXPECT_TRUE(about->lastProblem().isEmpty()) << label;
    }
    auto* traces = about->findChild<QPushButton*>(QStringLiteral("open Traces"));
    ASSERT_NE(traces, nullptr);
    traces->click();
    EXPECT_EQ(opened.size(), 4u);
    EXPECT_TRUE(
        about->lastProblem().endsWith(QString::fromStdString(d.core.trace.store().folder())))
        << about->lastProblem().toStdString();
}

// A folder made to be shown is made as the program makes its folders: the user's alone.
TEST(HelpMenu, AFolderMadeToBeShownIsTheUsersAlone) {
    namespace fs = std::filesystem;
    testing::Desktop d;
    const std::string data = d.folder.dir.file("data");
    FileBackupStore store(data + "/calvexadj/backups");
    d.core.backups.UseStore(store);
    std::vector<QString> opened;
    d.window.folderOpener([&](const QString& path) {
        opened.push_back(path);
        return true;
    });
    d.start();
    d.window.backupsFolderAction()->trigger();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].toStdString(), store.folder());
    for (const std::string& folder : {data, data + "/calvexadj", store.folder()}) {
        EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all)
            << folder;
    }

    fs::remove_all(data);
    d.window.aboutAction()->trigger();
    auto* button = d.window.aboutDialog()->findChild<QPushButton*>(QStringLiteral("open Backups"));
    ASSERT_NE(button, nullptr);
    button->click();
    EXPECT_EQ(fs::status(store.folder()).permissions() & fs::perms::all, fs::perms::owner_all);
}

TEST(HelpMenu, TheDiagnosticsTellTheSettingsTheMessagesAndTheLastTrace) {
    testing::Desktop d;
    RecordingMessageBox log(d.box);
    d.window.messageLog(&log);
    d.start();
    log.critical("Cannot access COM 1.", "Calvex ADJ Rev.1.0", "/dev/ttyUSB0: No such file");
    if (d.box.openBox() != nullptr) d.box.openBox()->close();
    const std::string text = d.window.DiagnosticsText();
    for (const char* part :
         {"== Program ==\nCalvex ADJ ", "== Settings ==\n", "== Serial devices ==\n",
          "== Port ==\nCOM 1 = ", "== Messages shown ==\nCannot access COM 1.\n  /dev/ttyUSB0",
          "== Const.ini ==\n", "SHA-256 ", "== Last wire trace =="}) {
        EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
    }
}

}  // namespace
}  // namespace calvex

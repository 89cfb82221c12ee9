#include "shell/qt/QtMessageBox.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <algorithm>
#include <string>
#include <vector>

#include "DesktopBench.h"

namespace calvex {
namespace {

TEST(DesktopMessageBox, TicksRunBehindAnOpenCloneErrorBox) {
    testing::Desktop d;
    d.start();
    d.port.failOpen("No such file or directory");
    d.core.rig.RigOpFunc_ClickCmd00(0);  // Connect
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return d.box.openBox() != nullptr && d.box.openBox()->isVisible(); }, 5000));
    QMessageBox* open = d.box.openBox();
    EXPECT_EQ(open->text().toStdString().rfind("Cannot access COM 1.", 0), 0u);
    EXPECT_TRUE(open->informativeText().contains(QStringLiteral("No such file or directory")));

    const int ticksAtOpen = d.ticks;
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.ticks >= ticksAtOpen + 4; }, 5000));
    // The box is still there, and the window behind it shows the idle system.
    EXPECT_EQ(d.box.openBox(), open);
    EXPECT_TRUE(open->isVisible());
    EXPECT_EQ(d.window.portLabel()->text().toStdString(), "COM 1: CLOSE");
    EXPECT_FALSE(d.core.seq.OpRunning());
    EXPECT_EQ(d.box.waiting(), 0u);

    open->accept();
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.box.openBox() == nullptr; }, 5000));
}

TEST(DesktopMessageBox, OneBoxAtATimeAndTheSameTextOnlyOnce) {
    QtMessageBox box;
    box.blocking(false);
    box.critical("first", "Calvex ADJ Rev.1.0", "");
    QMessageBox* first = box.openBox();
    ASSERT_NE(first, nullptr);
    box.critical("first", "Calvex ADJ Rev.1.0", "");   // already open
    box.critical("second", "Calvex ADJ Rev.1.0", "");  // waits
    box.critical("second", "Calvex ADJ Rev.1.0", "");  // already waiting
    EXPECT_EQ(box.openBox(), first);
    EXPECT_EQ(box.waiting(), 1u);

    first->accept();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return box.openBox() != nullptr && box.openBox() != first; }, 5000));
    EXPECT_EQ(box.openBox()->text(), QStringLiteral("second"));
    EXPECT_EQ(box.waiting(), 0u);
    box.openBox()->accept();
    ASSERT_TRUE(QTest::qWaitFor([&] { return box.openBox() == nullptr; }, 5000));
}

// A folder's name in UTF-8 reads as the file manager shows it; bytes that are not UTF-8 read as
// Latin-1, one character each.
TEST(DesktopMessageBox, ShowsUtf8PathsAndOtherBytesAsLatin1) {
    struct Case {
        std::string text;
        QString shown;
    };
    const std::vector<Case> cases = {
        {"Cannot save the backup.\r\n\r\n/home/j\xC3\xB6rg/backups",
         QStringLiteral("Cannot save the backup.\n\n/home/j\u00F6rg/backups")},
        {"Serial 2041\xE9", QStringLiteral("Serial 2041\u00E9")},
    };
    for (const Case& c : cases) {
        QtMessageBox box;
        box.blocking(false);
        box.critical(c.text, "Calvex ADJ Rev.1.0", "/home/j\xC3\xB6rg");
        ASSERT_NE(box.openBox(), nullptr);
        EXPECT_EQ(box.openBox()->text(), c.shown);
        EXPECT_EQ(box.openBox()->informativeText(), QStringLiteral("/home/j\u00F6rg"));
        box.openBox()->accept();
        ASSERT_TRUE(QTest::qWaitFor([&] { return box.openBox() == nullptr; }, 5000));
    }
}

// A message quotes file names and what files hold: markup in them is shown as the characters it
// is, in the text and in the detail below it, and no link in them opens anything.
TEST(DesktopMessageBox, ShowsMarkupAsWritten) {
    QtMessageBox box;
    box.blocking(false);
    const std::string name = "/backups/<a href=\"https:x\">link</a>.vbk";
    box.critical("Cannot restore this backup.\r\n\r\n" + name + ": <b>bad</b>",
                 "Calvex ADJ Rev.1.0", name + ": <img src=\"x.png\">");
    QMessageBox* open = box.openBox();
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->textFormat(), Qt::PlainText);
    const QList<QLabel*> labels = open->findChildren<QLabel*>();
    const auto shows = [&labels](const QString& text) {
        return std::any_of(labels.begin(), labels.end(), [&text](const QLabel* l) {
            return l->text() == text && l->textFormat() == Qt::PlainText && !l->openExternalLinks();
        });
    };
    EXPECT_TRUE(
        shows(QString::fromStdString("Cannot restore this backup.\n\n" + name + ": <b>bad</b>")));
    EXPECT_TRUE(shows(QString::fromStdString(name + ": <img src=\"x.png\">")));
    open->accept();
    ASSERT_TRUE(QTest::qWaitFor([&] { return box.openBox() == nullptr; }, 5000));
}

}  // namespace
}  // namespace calvex

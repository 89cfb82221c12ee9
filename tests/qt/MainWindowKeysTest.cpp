// Keys on the main window: the console list's own keys, F5, the focus, the bench sequence.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QTest>
#include <vector>

#include "DesktopBench.h"

namespace calvex {
namespace {

using testing::Desktop;

// Records the key presses that reach the widget it watches.
class KeyRecorder : public QObject {
  public:
    std::vector<int> keys;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress)
            keys.push_back(static_cast<QKeyEvent*>(event)->key());
        return false;
    }
};

class ConnectedDesktop : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(d.start());
        ASSERT_NO_FATAL_FAILURE(d.connect());
        // From here the test runs the ticks it needs; a key then acts on a still system.
        d.timSolid.stop();
        list = d.window.consoleList();
        list->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return list->hasFocus(); }, 5000));
    }

    Desktop d;
    ConsoleListWidget* list = nullptr;
};

TEST_F(ConnectedDesktop, ArrowsStepTheLineByOneShiftByFiveCtrlAndAltChangeNothing) {
    const int power = d.line(" Power(Hi)");
    ASSERT_GE(power, 0);
    list->setCurrentRow(power);
    const auto item = static_cast<int16_t>(power);
    ASSERT_EQ(d.core.console.Value(item), 210);  // the simulated radio's built-in value

    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int step;
    } cases[] = {
        {Qt::Key_Right, Qt::NoModifier, +1},
        {Qt::Key_Left, Qt::NoModifier, -1},
        {Qt::Key_Right, Qt::ShiftModifier, +5},
        {Qt::Key_Left, Qt::ShiftModifier, -5},
        {Qt::Key_Right, Qt::ControlModifier, +1},
        {Qt::Key_Left, Qt::AltModifier, -1},
        {Qt::Key_Right, Qt::ControlModifier | Qt::AltModifier, +1},
        {Qt::Key_Left, Qt::ShiftModifier | Qt::ControlModifier, -5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QKeySequence(c.key | c.modifiers).toString().toStdString());
        const int before = d.core.console.Value(item);
        QTest::keyClick(list, c.key, c.modifiers);
        EXPECT_EQ(d.core.console.Value(item) - before, c.step);
        EXPECT_EQ(list->currentRow(), power);
        EXPECT_TRUE(list->hasFocus());
    }
}

TEST_F(ConnectedDesktop, ReturnKeypadEnterAndTheKeypadSeparatorPressEnterOnTheLine) {
    const int sweep = d.line("   BPF ALL");
    ASSERT_GE(sweep, 0);
    const auto item = static_cast<int16_t>(sweep);
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* text;
        bool enter;
    } cases[] = {
        {Qt::Key_Return, Qt::NoModifier, "\r", true},
        {Qt::Key_Enter, Qt::KeypadModifier, "\r", true},
        {Qt::Key_Comma, Qt::KeypadModifier, ",", true},    // KP_Separator
        {Qt::Key_Comma, Qt::NoModifier, ",", false},       // the comma of the main block
        {Qt::Key_Period, Qt::KeypadModifier, ".", false},  // KP_Decimal
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QKeySequence(c.key | c.modifiers).toString().toStdString());
        d.core.console.flgEnterOn(item, false);
        list->setCurrentRow(sweep);
        QKeyEvent press(QEvent::KeyPress, c.key, c.modifiers, QString::fromLatin1(c.text));
        QApplication::sendEvent(list, &press);
        EXPECT_EQ(d.core.console.flgEnterOn(item), c.enter);
        if (c.enter) {
            EXPECT_TRUE(press.isAccepted()) << "Enter is the list's";
        }
        EXPECT_FALSE(RigVelkaTestAccess::dispParaRequest(d.core.rig)) << "no button was pressed";
    }
    d.core.console.flgEnterOn(item, false);
}

TEST_F(ConnectedDesktop, F5InTheListReloadsAndTheListStillGetsTheKey) {
    KeyRecorder seen;
    list->installEventFilter(&seen);
    list->setCurrentRow(0);
    ASSERT_FALSE(RigVelkaTestAccess::reloadRequest(d.core.rig));
    QTest::keyClick(list, Qt::Key_F5);
    EXPECT_TRUE(RigVelkaTestAccess::reloadRequest(d.core.rig));
    EXPECT_EQ(seen.keys, std::vector<int>{Qt::Key_F5});
    list->removeEventFilter(&seen);
}

TEST_F(ConnectedDesktop, FocusEnteringTheListSelectsLineZeroWhenNoneIs) {
    struct Case {
        int currentBefore;
        int currentAfter;
    } cases[] = {{-1, 0}, {3, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.currentBefore);
        d.window.button(0)->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return d.window.button(0)->hasFocus(); }, 5000));
        list->setCurrentRow(c.currentBefore);
        ASSERT_EQ(list->currentRow(), c.currentBefore);
        list->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(QTest::qWaitFor([&] { return list->hasFocus(); }, 5000));
        EXPECT_EQ(list->currentRow(), c.currentAfter);
    }
}

// The bench sequence and its caption are kept in the program only in shifted forms: the
// sequence as its characters each raised by one and upper-cased, the caption reversed with
// each character raised by one.
QString Unshift(const char* shifted, bool reversed) {
    QString out;
    for (const char* p = shifted; *p != '\0'; ++p) {
        const QChar c(static_cast<char16_t>(static_cast<unsigned char>(*p) - 1));
        if (reversed) {
            out.prepend(c);
        } else {
            out.append(c.toLower());
        }
    }
    return out;
}

TEST(BenchSequence, TypedOnAButtonTheWindowShowsItsCaption) {
    const QString sequence = Unshift("WFMLB.TFSWJDF", false);
    const QString caption = Unshift("fepn!idofc!blmfW", true);
    ASSERT_EQ(sequence.size(), 13);

    struct Case {
        const char* where;
        QString typed;
        bool shows;
    } cases[] = {
        {"button", sequence, true},
        {"button", QStringLiteral("xx") + sequence, true},  // what came before does not matter
        {"button", sequence.left(12), false},
        {"button", sequence.left(12) + QStringLiteral("x"), false},
        {"list", sequence, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.where) + " " + c.typed.toStdString());
        Desktop d;
        ASSERT_NO_FATAL_FAILURE(d.start());
        const QString title = d.window.windowTitle();
        QWidget* target = std::string(c.where) == "button"
                              ? static_cast<QWidget*>(d.window.button(0))
                              : static_cast<QWidget*>(d.window.consoleList());
        if (std::string(c.where) == "list") {
            d.window.fra01Visible(1, true);
        }
        target->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return target->hasFocus(); }, 5000));
        QTest::keyClicks(target, c.typed);
        EXPECT_EQ(d.window.windowTitle().toStdString(), (c.shows ? caption : title).toStdString());
    }
}

}  // namespace
}  // namespace calvex

// Option > Port > Serial devices: the devices present and the one [PORTS] entry it writes.
#include "shell/qt/SerialDevicesDialog.h"

#include <gtest/gtest.h>

#include <QTest>
#include <vector>

#include "DesktopBench.h"
#include "shell/PrivateProfile.h"

namespace calvex {
namespace {

using testing::Desktop;
using testing::TempDir;

const SerialDevice kFtdi{"/dev/ttyUSB0",
                         "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K-if00-port0",
                         "FT232R USB UART",
                         "FTDI",
                         "A10K",
                         0x0403,
                         0x6001};
const SerialDevice kOnboard{"/dev/ttyS0", "", "", "", "", {}, {}};
const SerialDevice kCdc{
    "/dev/ttyACM0", "/dev/serial/by-id/usb-Calvex_Bench_7-if00", "Bench", "Calvex", "7", {}, {}};

std::vector<std::vector<std::string>> Rows(const SerialDevicesDialog& dialog) {
    std::vector<std::vector<std::string>> rows;
    QTreeWidget* list = dialog.deviceList();
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        std::vector<std::string> row;
        for (int c = 0; c < list->columnCount(); ++c)
            row.push_back(list->topLevelItem(i)->text(c).toStdString());
        rows.push_back(row);
    }
    return rows;
}

// Opens the dialog from the menu entry, as the technician does.
SerialDevicesDialog* Open(Desktop& d) {
    d.window.serialDevicesAction()->trigger();
    SerialDevicesDialog* dialog = d.window.serialDevicesDialog();
    EXPECT_NE(dialog, nullptr);
    if (dialog != nullptr) {
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog));
    }
    return dialog;
}

void Pick(SerialDevicesDialog& dialog, int row, int16_t port) {
    dialog.deviceList()->setCurrentItem(dialog.deviceList()->topLevelItem(row));
    dialog.choosePort(port);
    ASSERT_TRUE(dialog.assignButton()->isEnabled());
    QTest::mouseClick(dialog.assignButton(), Qt::LeftButton);
}

TEST(SerialDevicesDialog, ListsTheDevicesPresentByTheirStablePath) {
    Desktop d;
    d.window.deviceSource([] { return std::vector<SerialDevice>{kFtdi, kOnboard}; });
    ASSERT_TRUE(d.window.Form_Load());
    SerialDevicesDialog* dialog = Open(d);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Rows(*dialog), (std::vector<std::vector<std::string>>{
                                 {kFtdi.byId, "FT232R USB UART", "FTDI", "A10K", "/dev/ttyUSB0"},
                                 {"/dev/ttyS0", "", "", "", "/dev/ttyS0"},
                             }));
    EXPECT_EQ(dialog->portChooser()->count(), 4);
    EXPECT_EQ(dialog->portChooser()->currentText().toStdString(), "COM 1");
    dialog->close();
}

TEST(SerialDevicesDialog, WritesTheOnePortsEntryAndKeepsEveryOtherLine) {
    Desktop d;
    d.window.deviceSource([] { return std::vector<SerialDevice>{kOnboard, kFtdi}; });
    const std::string before =
        "; bench 3, left cable\n"
        "[OPTION]\n"
        "ComPort=2\n"
        "ComAutoRelease=1\n"
        "\n"
        "[PORTS]\n"
        "COM1=/dev/ttyS0\n"
        "COM3=/tmp/velka\n"
        "; spare: /dev/ttyUSB3\n";
    TempDir::write(d.settingsFile(), before);
    d.core.LoadProfile();
    ASSERT_TRUE(d.window.Form_Load());
    SerialDevicesDialog* dialog = Open(d);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->portChooser()->currentText().toStdString(), "COM 2") << "the port in use";

    struct Case {
        int row;
        int16_t port;
        std::string after;
    } cases[] = {
        {1, 3, "COM3=" + kFtdi.byId},  // an entry there is replaced where it stands
        {0, 2, "COM2=/dev/ttyS0"},     // a new one closes the section
    };
    std::string expected = before;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.after);
        ASSERT_NO_FATAL_FAILURE(Pick(*dialog, c.row, c.port));
        if (c.port == 3) {
            expected.replace(expected.find("COM3=/tmp/velka"), 15, c.after);
        } else {
            expected += c.after + "\n";
        }
        EXPECT_EQ(TempDir::read(d.settingsFile()), expected);
        EXPECT_EQ(d.core.profMain.ComPortDevice(c.port), c.after.substr(5));
    }
    dialog->close();
}

TEST(SerialDevicesDialog, AnAdapterPluggedInWhileItIsOpenShowsUp) {
    Desktop d;
    std::vector<SerialDevice> present{kOnboard};
    d.window.deviceSource([&] { return present; });
    ASSERT_TRUE(d.window.Form_Load());
    SerialDevicesDialog* dialog = Open(d);
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(dialog->deviceList()->topLevelItemCount(), 1);
    dialog->deviceList()->setCurrentItem(dialog->deviceList()->topLevelItem(0));

    present.push_back(kCdc);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return dialog->deviceList()->topLevelItemCount() == 2; }, 5000));
    EXPECT_EQ(Rows(*dialog)[1][0], kCdc.byId);
    EXPECT_TRUE(dialog->deviceList()->topLevelItem(0)->isSelected()) << "the choice stays";

    present.erase(present.begin());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return dialog->deviceList()->topLevelItemCount() == 1; }, 5000));
    EXPECT_FALSE(dialog->assignButton()->isEnabled()) << "the chosen device is gone";
    dialog->close();
}

TEST(SerialDevicesDialog, ANewDeviceForThePortInUseEndsTheConnection) {
    struct Case {
        int16_t port;
        bool ends;
    } cases[] = {{2, false}, {1, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port);
        Desktop d;
        d.window.deviceSource([] { return std::vector<SerialDevice>{kFtdi}; });
        ASSERT_NO_FATAL_FAILURE(d.start());
        ASSERT_NO_FATAL_FAILURE(d.connect());
        SerialDevicesDialog* dialog = Open(d);
        ASSERT_NE(dialog, nullptr);
        ASSERT_NO_FATAL_FAILURE(Pick(*dialog, 0, c.port));
        // What was read over the old device is not sent over the new one: back to the title.
        EXPECT_EQ(RigVelkaTestAccess::opState(d.core.rig) == 0, c.ends);
        const int ticks = d.ticks;
        ASSERT_TRUE(QTest::qWaitFor([&] { return d.ticks > ticks + 2; }, 5000));
        EXPECT_EQ(d.window.fra01Visible(0), c.ends);
        EXPECT_EQ(d.window.fra01Visible(1), !c.ends);
        dialog->close();
    }
}

}  // namespace
}  // namespace calvex

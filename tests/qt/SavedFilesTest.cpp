// Every save the technician makes (the report as PDF and CSV, the diagnostics, a comparison, the
// program's image) goes through the one writer: a save that is cut off leaves the earlier file
// whole and is reported, and none of them writes over a backup file.
#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <string>
#include <vector>

#include "DesktopBench.h"
#include "base/FileSizeLimit.h"
#include "shell/qt/BackupsDialog.h"
#include "shell/qt/ReportWindow.h"

namespace calvex {
namespace {

using testing::Desktop;
using testing::FileSizeLimit;
using testing::TempDir;

// All a message box says, its detail below its text.
std::string Said(const QMessageBox* box) {
    if (box == nullptr) return {};
    return (box->text() + QStringLiteral("\n") + box->informativeText()).toStdString();
}

// One save: what starts it once the desktop is connected, and the message it leaves (empty when
// none).
struct SaveCase {
    const char* name;
    std::function<void(Desktop&)> start;
    std::function<std::string(Desktop&)> message;
    const char* cannot;  // the first line of its message
};

void Report(Desktop& d, const char* button) {
    d.window.reportAction()->trigger();
    ASSERT_NE(d.window.reportWindow(), nullptr);
    for (QPushButton* b : d.window.reportWindow()->findChildren<QPushButton*>()) {
        if (b->text() == QString::fromUtf8(button)) b->click();
    }
}

std::string ReportMessage(Desktop& d) {
    if (d.window.reportWindow() == nullptr) return {};
    return Said(d.window.reportWindow()->findChild<QMessageBox*>());
}

void Comparison(Desktop& d) {
    d.window.compareAction()->trigger();
    BackupsDialog* dialog = d.window.backupsDialog();
    ASSERT_NE(dialog, nullptr);
    dialog->backupList()->topLevelItem(0)->setSelected(true);
    ASSERT_TRUE(dialog->saveCsvButton()->isEnabled()) << "nothing compared";
    dialog->saveCsvButton()->click();
}

const std::vector<SaveCase>& Saves() {
    static const std::vector<SaveCase> saves = {
        {"ReportPdf", [](Desktop& d) { Report(d, "Save as P&DF\u2026"); }, ReportMessage,
         "Cannot save the report."},
        {"ReportCsv", [](Desktop& d) { Report(d, "Save as &CSV\u2026"); }, ReportMessage,
         "Cannot save the report."},
        {"Diagnostics", [](Desktop& d) { d.window.diagnosticsAction()->trigger(); },
         [](Desktop& d) { return Said(d.box.openBox()); }, "Cannot save the diagnostics."},
        {"Comparison", Comparison,
         [](Desktop& d) {
             return d.window.backupsDialog() == nullptr
                        ? std::string()
                        : Said(d.window.backupsDialog()->problemBox());
         },
         "Cannot save the comparison."},
        {"ImageAs", [](Desktop& d) { d.window.saveImageAction()->trigger(); },
         [](Desktop& d) { return Said(d.box.openBox()); }, "Cannot save the image."},
    };
    return saves;
}

enum class Fault { OverABackup, CutOff };

struct SavedCase {
    std::size_t save;
    Fault fault;
};

class SavedFile : public ::testing::TestWithParam<SavedCase> {};

TEST_P(SavedFile, LeavesTheEarlierFileWholeAndSaysWhy) {
    const SaveCase& save = Saves()[GetParam().save];
    const bool overABackup = GetParam().fault == Fault::OverABackup;
    Desktop d;
    const std::string path = d.folder.dir.file(overABackup ? "visit.vbk" : "visit.out");
    const std::string earlier = overABackup ? "Calvex ADJ backup 1\nan earlier backup" : "earlier";
    TempDir::write(path, earlier);
    d.window.saveFileChooser([&](const QString&) { return QString::fromStdString(path); });
    ASSERT_NO_FATAL_FAILURE(d.start());
    ASSERT_NO_FATAL_FAILURE(d.connect());
    // Something to compare and to report.
    d.core.console.UpDown(static_cast<int16_t>(d.line(" Power(Hi)")), 2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.idleAfterConnect(); }, 10000));

    if (overABackup) {
        ASSERT_NO_FATAL_FAILURE(save.start(d));
    } else {
        // The disk fills up in the middle of the save.
        const FileSizeLimit limit(4);
        ASSERT_NO_FATAL_FAILURE(save.start(d));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !save.message(d).empty(); }, 5000));
    const std::string said = save.message(d);
    EXPECT_EQ(said.rfind(save.cannot, 0), 0u) << said;
    EXPECT_NE(said.find(path + ": " +
                        (overABackup ? "a backup file is never written over" : "File too large")),
              std::string::npos)
        << said;
    EXPECT_EQ(TempDir::read(path), earlier);
    for (const auto& e : std::filesystem::directory_iterator(d.folder.dir.path())) {
        const std::string name = e.path().filename().string();
        EXPECT_TRUE(name.rfind("visit.", 0) != 0 || e.path() == path) << "left behind: " << name;
    }
}

std::vector<SavedCase> AllSaves() {
    std::vector<SavedCase> cases;
    for (std::size_t s = 0; s < Saves().size(); ++s) {
        for (Fault f : {Fault::OverABackup, Fault::CutOff})
            cases.push_back({s, f});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Qt, SavedFile, ::testing::ValuesIn(AllSaves()), [](const auto& p) {
    return std::string(Saves()[p.param.save].name) +
           (p.param.fault == Fault::OverABackup ? "OverABackup" : "CutOff");
});

}  // namespace
}  // namespace calvex

#pragma once

#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "link/qt/SerialDevices.h"
#include "rig/IRigBackups.h"
#include "rig/IRigWindow.h"
#include "shell/qt/BackupsDialog.h"
#include "shell/qt/Charts.h"
#include "shell/qt/ConsoleListWidget.h"
#include "shell/qt/HelpWindows.h"
#include "shell/qt/QtListBox.h"
#include "shell/qt/ReportWindow.h"
#include "shell/qt/SerialDevicesDialog.h"

namespace calvex {

class CalvexCore;
class IMessageBox;
class RecordingMessageBox;

// The only visible window: three buttons, the console with its two monitor lists, the title
// panel, the parameter dump, the port label and the Option menus. It draws what the core
// decides; every event it takes is handed to the core, guarded, at once.
class frmMain final : public QMainWindow, public IRigWindow {
    Q_OBJECT

  public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // Wires the window to the core; until then events do nothing. The core's message for a port
    // that fails gets its advice from here.
    void attach(CalvexCore& core, IMessageBox& box);
    // Where the serial devices present come from (QSerialPortInfo unless a test says).
    void deviceSource(SerialDeviceSource source) { deviceSource_ = std::move(source); }
    // Asks where File > Save image as writes, given the name suggested (a file dialog unless a
    // test says); an empty answer saves nothing.
    using SaveFileChooser = std::function<QString(const QString& suggested)>;
    void saveFileChooser(SaveFileChooser choose) { saveFileChooser_ = std::move(choose); }
    // Asks for a backup file to open; a file dialog unless a test says.
    void openFileChooser(SaveFileChooser choose) { openFileChooser_ = std::move(choose); }
    // The messages of this run, for Help > Save diagnostics.
    void messageLog(const RecordingMessageBox* log) { messageLog_ = log; }
    // Opens a folder for the About window (the desktop's file manager unless a test says).
    void folderOpener(AboutDialog::FolderOpener open) { folderOpener_ = std::move(open); }
    // The text Help > Save diagnostics writes.
    std::string DiagnosticsText() const;
    // Reads the constants file, sets the captions and lays the window out. False when the
    // constants file cannot be read (the message has been shown).
    bool Form_Load();
    // The window's part of every tick: menu check marks and the port label.
    void task();
    // The caption of the title panel's label.
    static QString TitleText();

    // IRigWindow
    void cmd00Caption(int16_t i, const std::string& caption) override;
    void cmd00Enabled(int16_t i, bool enabled) override;
    void cmd00Default(int16_t i, bool isDefault) override;
    void cmd00Cancel(int16_t i, bool isCancel) override;
    void cmd00SetFocus(int16_t i) override;
    bool fra01Visible(int16_t i) const override;
    void fra01Visible(int16_t i, bool visible) override;
    IListBox& lbo01(int16_t i) override;
    IListBox& lboConsole() override { return *consoleBox_; }
    void lboConsoleSetFocus() override { lboConsole_->setFocus(); }
    void lblProgressCaption(const std::string& caption) override;
    void txtDispParaText(const std::string& text) override;
    void MsgBoxCloneErr(ICloneSequencer& seq) override;
    void Beep() override;
    double screenWidth() const override;
    double screenHeight() const override;
    void windowPlacement(const TwipRect& r) override;
    LayoutInput layoutInput() const override;
    void applyLayout(const RigVelkaLayout& layout) override;
    void monitorAge(int16_t list, const std::string& text, bool stale) override;

    // Controls, for tests.
    QPushButton* button(int i) const { return cmd00_.at(static_cast<std::size_t>(i)); }
    ConsoleListWidget* consoleList() const { return lboConsole_; }
    QListWidget* monitorList(int i) const { return lbo01_.at(static_cast<std::size_t>(i)); }
    QLabel* portLabel() const { return lblComBusy_; }
    QAction* comPortAction(int i) const { return mnuOptSelCom_.at(static_cast<std::size_t>(i)); }
    QAction* releaseAction(int i) const {
        return mnuOptionSelAutoRelease_.at(static_cast<std::size_t>(i));
    }
    QMenu* portMenu() const { return mnuOptPort_; }
    QAction* traceAction() const { return mnuOptTrace_; }
    QAction* reportAction() const { return mnuFileReport_; }
    QAction* technicianAction() const { return mnuOptTechnician_; }
    ReportWindow* reportWindow() const { return report_.data(); }
    QAction* liveAction() const { return mnuOptLive_; }
    QAction* sweepAction() const { return mnuViewSweep_; }
    QAction* readingsChartAction() const { return mnuViewReadings_; }
    SweepWindow* sweepWindow() const { return sweepWindow_.data(); }
    ReadingsChart* readingsChart() const { return readingsChart_.data(); }
    QLabel* ageLabel(int i) const { return lblAge_.at(static_cast<std::size_t>(i)); }
    bool monitorStale(int i) const { return staleList_.at(static_cast<std::size_t>(i)); }
    QAction* guideAction() const { return mnuHelpGuide_; }
    QAction* keysAction() const { return mnuHelpKeys_; }
    QAction* diagnosticsAction() const { return mnuHelpDiagnostics_; }
    QAction* aboutAction() const { return mnuHelpAbout_; }
    UserGuideWindow* guideWindow() const { return guide_.data(); }
    AboutDialog* aboutDialog() const { return about_.data(); }
    QAction* serialDevicesAction() const { return mnuOptSerialDevices_; }
    SerialDevicesDialog* serialDevicesDialog() const { return serialDevices_.data(); }
    QPlainTextEdit* dispPara() const { return txtDispPara_; }
    QAction* saveImageAction() const { return mnuFileSaveImage_; }
    QAction* backupsFolderAction() const { return mnuFileBackupsFolder_; }
    QAction* compareAction() const { return mnuFileCompare_; }
    QAction* restoreAction() const { return mnuFileRestore_; }
    QAction* restoreFileAction() const { return mnuFileRestoreFile_; }
    BackupsDialog* backupsDialog() const { return backupsDialog_.data(); }
    QMessageBox* restoredBox() const { return restoredBox_.data(); }

  signals:
    // The window has closed: the port is closed and the settings are saved.
    void unloaded();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildControls();
    void BuildMenus();
    void Guard(const std::function<void()>& event);
    void KeyTypedOnButton(const QString& text);
    void PaintPortLabel(bool open);
    void RefreshPortCaptions();
    void ShowSerialDevices();
    void SaveImageAs();
    void OpenBackupsFolder();
    void ShowBackups(BackupsDialog::Mode mode);
    void RestoreDone(const RestoreResult& result);
    void ShowUserGuide();
    void AskTechnician();
    void ShowReport();
    void ShowReport(ServiceReport report);
    ServiceVisit VisitFacts() const;
    // Shows a window of the program in front; the first time, wholly on this window's screen.
    void Present(QWidget& window);
    void ShowSweepCurves();
    void ShowReadingsChart();
    void PlaceAgeLabel(std::size_t i);
    void ShowKeys();
    void ShowAbout();
    void SaveDiagnostics();
    std::vector<NamedFolder> ProgramFolders() const;
    QSize FrameAllowance() const;
    // The console's height with every line shown, in twips (0 while it is empty).
    double ConsoleNeeded() const;
    // No control covers another, and the console shows every line, at any allowed size.
    void KeepMinimumSize();
    int px(double twips) const;
    double twips(int px) const;
    void place(QWidget* w, const TwipRect& r) const;

    CalvexCore* core_ = nullptr;
    IMessageBox* box_ = nullptr;
    std::string keyBuffer_;
    bool closed_ = false;
    // A procedure stopped by the closing puts back what it tried first; the window closes
    // once that is done, or after kPutBackWaitMs at most.
    static constexpr qint64 kPutBackWaitMs = 1500;
    bool puttingBackForClose_ = false;

    QWidget* central_ = nullptr;
    std::array<QFrame*, 2> linSepa_{};
    QLabel* lblComBusy_ = nullptr;
    std::array<QPushButton*, 3> cmd00_{};
    std::array<bool, 3> isDefault_{};
    std::array<bool, 3> isCancel_{};
    std::array<QFrame*, 4> fra01_{};
    std::array<QListWidget*, 2> lbo01_{};
    ConsoleListWidget* lboConsole_ = nullptr;
    QLabel* lblTitle_ = nullptr;
    QLabel* lblProgress_ = nullptr;
    QPlainTextEdit* txtDispPara_ = nullptr;
    QMenu* mnuOptPort_ = nullptr;
    std::array<QAction*, 5> mnuOptSelCom_{};
    QAction* mnuOptSerialDevices_ = nullptr;
    QPointer<SerialDevicesDialog> serialDevices_;
    SerialDeviceSource deviceSource_ = PresentSerialDevices;
    SaveFileChooser saveFileChooser_;
    SaveFileChooser openFileChooser_;
    QAction* mnuFileSaveImage_ = nullptr;
    QAction* mnuFileBackupsFolder_ = nullptr;
    QAction* mnuFileCompare_ = nullptr;
    QAction* mnuFileRestore_ = nullptr;
    QAction* mnuFileRestoreFile_ = nullptr;
    QPointer<BackupsDialog> backupsDialog_;
    // Whether the backups dialog last saw a transceiver it may compare with and restore to.
    bool backupsConnected_ = false;
    QPointer<QMessageBox> restoredBox_;
    std::array<QAction*, 6> mnuOptionSelAutoRelease_{};
    QAction* mnuOptTrace_ = nullptr;
    QAction* mnuOptTechnician_ = nullptr;
    QAction* mnuFileReport_ = nullptr;
    QPointer<ReportWindow> report_;
    QAction* mnuOptLive_ = nullptr;
    QAction* mnuViewSweep_ = nullptr;
    QAction* mnuViewReadings_ = nullptr;
    QPointer<SweepWindow> sweepWindow_;
    QPointer<ReadingsChart> readingsChart_;
    std::array<QLabel*, 2> lblAge_{};
    std::array<bool, 2> staleList_{};
    QAction* mnuHelpGuide_ = nullptr;
    QAction* mnuHelpKeys_ = nullptr;
    QAction* mnuHelpDiagnostics_ = nullptr;
    QAction* mnuHelpAbout_ = nullptr;
    QPointer<UserGuideWindow> guide_;
    QPointer<QDialog> keys_;
    QPointer<AboutDialog> about_;
    const RecordingMessageBox* messageLog_ = nullptr;
    AboutDialog::FolderOpener folderOpener_;
    std::unique_ptr<QtListBox> consoleBox_;
    std::array<std::unique_ptr<QtListBox>, 2> monitorBoxes_;
};

}  // namespace calvex

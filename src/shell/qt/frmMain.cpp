#include "shell/qt/frmMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStyle>
#include <QSysInfo>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "base/AtomicFile.h"
#include "base/Common.h"
#include "base/ProgramPlaces.h"
#include "shell/CalvexCore.h"
#include "shell/ChosenFile.h"
#include "shell/Diagnostics.h"
#include "shell/ProgramInfo.h"
#include "shell/RunGuarded.h"
#include "shell/qt/Charts.h"
#include "shell/qt/HelpWindows.h"
#include "shell/qt/PortAdvice.h"
#include "shell/qt/ReportWindow.h"
#include "shell/qt/ScreenPlacement.h"

namespace calvex {

namespace {

constexpr double kTwipsPerInch = 1440;

// The bench key sequence and the caption it shows, kept only in their shifted forms: the
// sequence as typed characters each raised by one and upper-cased, the caption reversed with
// each character raised by one.
constexpr const char* kShiftedTrigger = "WFMLB.TFSWJDF";
constexpr const char* kShiftedCaption = "fepn!idofc!blmfW";

QString fromBytes(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

QFont monospace(double points, bool bold = false) {
    QFont f(QStringLiteral("Courier New"));
    f.setStyleHint(QFont::Monospace);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

// The SHA-256 of a file, for telling one constants file from another.
std::string ChecksumOf(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return "(no checksum: the file cannot be read)";
    return "SHA-256 " + QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
                            .toHex()
                            .toStdString();
}

}  // namespace

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
    setFont(monospace(9));
    BuildControls();
    BuildMenus();
    qApp->installEventFilter(this);
}

frmMain::~frmMain() {
    qApp->removeEventFilter(this);
}

QString frmMain::TitleText() {
    return QString::fromLatin1(kProgramTitle) +
           QStringLiteral(
               "\nAdjust Utility for Velka\n"
               "For service use: every change reaches the transceiver at once.");
}

void frmMain::BuildControls() {
    central_ = new QWidget(this);
    setCentralWidget(central_);

    for (std::size_t i = 0; i < 2; ++i) {
        linSepa_[i] = new QFrame(central_);
        linSepa_[i]->setAutoFillBackground(true);
        QPalette p = linSepa_[i]->palette();
        p.setColor(QPalette::Window, palette().color(i == 0 ? QPalette::Dark : QPalette::Light));
        linSepa_[i]->setPalette(p);
    }

    lblComBusy_ = new QLabel(central_);
    lblComBusy_->setFont(monospace(9, true));
    PaintPortLabel(false);  // no port is open before the first tick

    for (std::size_t i = 0; i < cmd00_.size(); ++i) {
        cmd00_[i] = new QPushButton(central_);
        cmd00_[i]->setAutoDefault(false);
        cmd00_[i]->setFocusPolicy(Qt::StrongFocus);
        const auto index = static_cast<int16_t>(i);
        connect(cmd00_[i], &QPushButton::clicked, this,
                [this, index] { Guard([&] { core_->Click(index); }); });
    }

    fra01_[1] = new QFrame(central_);
    fra01_[1]->setFrameShape(QFrame::StyledPanel);
    fra01_[2] = new QFrame(fra01_[1]);
    fra01_[2]->setFrameShape(QFrame::NoFrame);
    for (std::size_t i = 0; i < 2; ++i) {
        lbo01_[i] = new QListWidget(fra01_[2]);
        lbo01_[i]->setFont(monospace(8.25));
        lbo01_[i]->setFocusPolicy(Qt::NoFocus);
        monitorBoxes_[i] = std::make_unique<QtListBox>(*lbo01_[i]);
        // How old the values are, in the list's lower right corner.
        lblAge_[i] = new QLabel(lbo01_[i]->viewport());
        lblAge_[i]->setFont(monospace(7.5));
        lblAge_[i]->setAutoFillBackground(true);
        lblAge_[i]->hide();
    }
    lboConsole_ = new ConsoleListWidget(fra01_[1]);
    lboConsole_->setSelectionMode(QAbstractItemView::SingleSelection);
    consoleBox_ = std::make_unique<QtListBox>(*lboConsole_);
    lboConsole_->onUpDown = [this](int i, int step) {
        Guard([&] { core_->console.UpDown(static_cast<int16_t>(i), static_cast<int16_t>(step)); });
    };
    lboConsole_->onEnter = [this](int i) {
        Guard([&] { core_->console.EnterPushed(static_cast<int16_t>(i)); });
    };

    fra01_[0] = new QFrame(central_);
    fra01_[0]->setFrameShape(QFrame::StyledPanel);
    lblProgress_ = new QLabel(fra01_[0]);
    lblProgress_->setFont(monospace(9, true));
    lblTitle_ = new QLabel(fra01_[0]);
    lblTitle_->setFont(monospace(9.75));
    lblTitle_->setAlignment(Qt::AlignHCenter);

    fra01_[3] = new QFrame(central_);
    fra01_[3]->setFrameShape(QFrame::StyledPanel);
    txtDispPara_ = new QPlainTextEdit(fra01_[3]);
    txtDispPara_->setReadOnly(true);
    txtDispPara_->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtDispPara_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtDispPara_->setFocusPolicy(Qt::StrongFocus);
    txtDispPara_->setTabChangesFocus(true);

    // The console list first; the buttons and the dump close the chain.
    QWidget::setTabOrder(lboConsole_, cmd00_[0]);
    QWidget::setTabOrder(cmd00_[0], cmd00_[1]);
    QWidget::setTabOrder(cmd00_[1], cmd00_[2]);
    QWidget::setTabOrder(cmd00_[2], txtDispPara_);

    // Idle: the title panel is shown until a connection is made.
    fra01_[1]->hide();
    fra01_[3]->hide();
}

void frmMain::BuildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    // Enabled by the task, as the connection and a restore allow.
    mnuFileSaveImage_ = file->addAction(QStringLiteral("Save image &as\u2026"));
    connect(mnuFileSaveImage_, &QAction::triggered, this, [this] { SaveImageAs(); });
    mnuFileBackupsFolder_ = file->addAction(QStringLiteral("Open &backups folder"));
    connect(mnuFileBackupsFolder_, &QAction::triggered, this, [this] { OpenBackupsFolder(); });
    mnuFileCompare_ = file->addAction(QStringLiteral("&Compare with backup\u2026"));
    connect(mnuFileCompare_, &QAction::triggered, this,
            [this] { ShowBackups(BackupsDialog::Mode::Compare); });
    mnuFileRestore_ = file->addAction(QStringLiteral("&Restore backup to radio\u2026"));
    connect(mnuFileRestore_, &QAction::triggered, this,
            [this] { ShowBackups(BackupsDialog::Mode::Restore); });
    mnuFileRestoreFile_ = file->addAction(QStringLiteral("Restore from &file\u2026"));
    connect(mnuFileRestoreFile_, &QAction::triggered, this, [this] {
        ShowBackups(BackupsDialog::Mode::Restore);
        if (backupsDialog_ != nullptr) backupsDialog_->OpenFile();
    });
    mnuFileReport_ = file->addAction(QStringLiteral("Service re&port\u2026"));
    connect(mnuFileReport_, &QAction::triggered, this, [this] { ShowReport(); });
    for (QAction* a : {mnuFileSaveImage_, mnuFileRestore_, mnuFileRestoreFile_})
        a->setEnabled(false);
    file->addSeparator();
    connect(file->addAction(QStringLiteral("E&xit")), &QAction::triggered, this,
            [this] { close(); });

    QMenu* option = menuBar()->addMenu(QStringLiteral("&Option"));
    // A click only chooses; the marks are the task's, which shows what the core took. Qt
    // toggles a checkable action before it reports the click, so the mark is put back first.
    mnuOptPort_ = option->addMenu(QStringLiteral("&Port"));
    for (int i = 1; i <= 4; ++i) {
        QAction* a = mnuOptPort_->addAction(QStringLiteral("COM &%1").arg(i));
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, a, i](bool checked) {
            a->setChecked(!checked);
            Guard([&] { core_->ComPortNo(static_cast<int16_t>(i)); });
        });
        mnuOptSelCom_[static_cast<std::size_t>(i)] = a;
    }
    mnuOptPort_->addSeparator();
    mnuOptSerialDevices_ = mnuOptPort_->addAction(QStringLiteral("&Serial devices\u2026"));
    connect(mnuOptSerialDevices_, &QAction::triggered, this, [this] { ShowSerialDevices(); });
    connect(mnuOptPort_, &QMenu::aboutToShow, this, [this] { RefreshPortCaptions(); });

    QMenu* release = option->addMenu(QStringLiteral("&Auto port release"));
    for (int i = 0; i <= 5; ++i) {
        QAction* a =
            release->addAction(i == 0 ? QStringLiteral("&OFF") : QStringLiteral("&%1 sec").arg(i));
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, a, i](bool checked) {
            a->setChecked(!checked);
            Guard([&] { core_->ComAutoRelease(static_cast<int16_t>(i)); });
        });
        mnuOptionSelAutoRelease_[static_cast<std::size_t>(i)] = a;
    }

    option->addSeparator();
    mnuOptLive_ = option->addAction(QStringLiteral("&Live readings"));
    mnuOptLive_->setCheckable(true);
    connect(mnuOptLive_, &QAction::triggered, this, [this](bool checked) {
        mnuOptLive_->setChecked(!checked);
        Guard([&] { core_->LiveReadings(checked); });
    });
    mnuOptTechnician_ = option->addAction(QStringLiteral("&Technician\u2026"));
    connect(mnuOptTechnician_, &QAction::triggered, this, [this] { AskTechnician(); });
    mnuOptTrace_ = option->addAction(QStringLiteral("Record wire t&race"));
    mnuOptTrace_->setCheckable(true);
    connect(mnuOptTrace_, &QAction::triggered, this, [this](bool checked) {
        mnuOptTrace_->setChecked(!checked);
        Guard([&] { core_->RecordWireTrace(checked); });
    });

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    mnuViewSweep_ = view->addAction(QStringLiteral("&Sweep curves"));
    connect(mnuViewSweep_, &QAction::triggered, this, [this] { ShowSweepCurves(); });
    mnuViewReadings_ = view->addAction(QStringLiteral("&Readings chart"));
    connect(mnuViewReadings_, &QAction::triggered, this, [this] { ShowReadingsChart(); });

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelpGuide_ = help->addAction(QStringLiteral("&User guide"));
    mnuHelpGuide_->setShortcut(QKeySequence::HelpContents);
    connect(mnuHelpGuide_, &QAction::triggered, this, [this] { ShowUserGuide(); });
    mnuHelpKeys_ = help->addAction(QStringLiteral("&Keys"));
    connect(mnuHelpKeys_, &QAction::triggered, this, [this] { ShowKeys(); });
    help->addSeparator();
    mnuHelpDiagnostics_ = help->addAction(QStringLiteral("Save &diagnostics\u2026"));
    connect(mnuHelpDiagnostics_, &QAction::triggered, this, [this] { SaveDiagnostics(); });
    help->addSeparator();
    mnuHelpAbout_ = help->addAction(QStringLiteral("&About Calvex ADJ"));
    connect(mnuHelpAbout_, &QAction::triggered, this, [this] { ShowAbout(); });
}

void frmMain::Present(QWidget& window) {
    // Placed once: where the technician moves it afterwards is left alone.
    const char* placed = "calvexPlaced";
    window.show();
    window.raise();
    window.activateWindow();
    if (!window.property(placed).toBool()) {
        PlaceOnOwnersScreen(window, *this);
        window.setProperty(placed, true);
    }
}

void frmMain::ShowSweepCurves() {
    if (core_ == nullptr) return;
    if (sweepWindow_ == nullptr) {
        sweepWindow_ = new SweepWindow(this);
        sweepWindow_->setAttribute(Qt::WA_DeleteOnClose);
    }
    sweepWindow_->refresh(core_->rig.RigVelkaProp_SweepCurves());
    Present(*sweepWindow_);
}

void frmMain::ShowReadingsChart() {
    if (core_ == nullptr) return;
    if (readingsChart_ == nullptr) {
        readingsChart_ = new ReadingsChart(this);
        readingsChart_->setAttribute(Qt::WA_DeleteOnClose);
    }
    readingsChart_->refresh(core_->rig.RigVelkaProp_ReadingsHistory(),
                            core_->rig.RigVelkaProp_ClockMs());
    Present(*readingsChart_);
}

void frmMain::monitorAge(int16_t list, const std::string& text, bool stale) {
    if (list < 0 || list >= static_cast<int16_t>(lbo01_.size())) return;
    const auto i = static_cast<std::size_t>(list);
    lblAge_[i]->setText(QString::fromStdString(text));
    PlaceAgeLabel(i);
    // Old values are greyed, so that nobody adjusts by them; the label says how to refresh.
    QPalette p = lbo01_[i]->palette();
    p.setColor(QPalette::Text,
               palette().color(stale ? QPalette::Disabled : QPalette::Active, QPalette::Text));
    lbo01_[i]->setPalette(p);
    staleList_[i] = stale;
}

void frmMain::PlaceAgeLabel(std::size_t i) {
    QLabel* label = lblAge_[i];
    label->adjustSize();
    QWidget* view = lbo01_[i]->viewport();
    label->move(std::max(0, view->width() - label->width() - 4),
                std::max(0, view->height() - label->height() - 2));
    label->setVisible(!label->text().isEmpty());
}

void frmMain::AskTechnician() {
    if (core_ == nullptr) return;
    // Not modal: the tick and the radio go on while the name is typed.
    auto* ask = new QInputDialog(this);
    ask->setAttribute(Qt::WA_DeleteOnClose);
    ask->setWindowTitle(QStringLiteral("Technician"));
    ask->setLabelText(QStringLiteral("The name the service report gives:"));
    ask->setTextValue(QString::fromStdString(core_->Technician()));
    connect(ask, &QInputDialog::textValueSelected, this, [this](const QString& name) {
        Guard([&] { core_->Technician(name.trimmed().toStdString()); });
    });
    ask->open();
}

ServiceVisit frmMain::VisitFacts() const {
    ServiceVisit facts;
    const QDateTime now = QDateTime::currentDateTime();
    const auto stamp = [](const QDateTime& t) {
        return (t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" (") +
                t.toUTC().toString(QStringLiteral("HH:mm:ss")) + QStringLiteral(" UTC)"))
            .toStdString();
    };
    facts.time = stamp(now);
    facts.technician = core_->Technician();
    facts.constPath = core_->rig.RigVelkaProp_ConstFileInUse();
    facts.constChecksum = ChecksumOf(facts.constPath);
    for (std::size_t i = 0; i < lbo01_.size(); ++i) {
        for (int row = 1; row < lbo01_[i]->count(); ++row)
            facts.readings.push_back(lbo01_[i]->item(row)->text().toStdString());
    }
    // The time of the oldest value shown, from the transceiver class's clock.
    std::optional<int64_t> oldest;
    for (int16_t list = 0; list < 2; ++list) {
        const auto at = core_->rig.RigVelkaProp_ReadAt(list);
        if (at && (!oldest || *at < *oldest)) oldest = at;
    }
    if (oldest) {
        facts.readingsTime = stamp(now.addMSecs(-(core_->rig.RigVelkaProp_ClockMs() - *oldest)));
    }
    return facts;
}

void frmMain::ShowReport() {
    if (core_ == nullptr) return;
    // With no visit under way, an earlier visit is reported from its backups, chosen there.
    if (!core_->rig.RigVelkaProp_EditEnabled() || !core_->VisitFound()) {
        ShowBackups(BackupsDialog::Mode::Compare);
        return;
    }
    // A report that could not be made is reported once, and no empty one is shown.
    std::optional<ServiceReport> report;
    Guard([&] { report = core_->ReportOfVisit(VisitFacts()); });
    if (report) ShowReport(std::move(*report));
}

void frmMain::ShowReport(ServiceReport report) {
    if (report_ != nullptr) report_->close();
    report_ = new ReportWindow(
        std::move(report),
        [this](const QString& suggested, const QString& filter) {
            return saveFileChooser_
                       ? saveFileChooser_(suggested)
                       : QFileDialog::getSaveFileName(
                             this, QStringLiteral("Save the service report"), suggested, filter);
        },
        this);
    report_->setAttribute(Qt::WA_DeleteOnClose);
    Present(*report_);
}

void frmMain::ShowUserGuide() {
    if (guide_ == nullptr) {
        guide_ = new UserGuideWindow(this);
        guide_->setAttribute(Qt::WA_DeleteOnClose);
    }
    Present(*guide_);
}

void frmMain::ShowKeys() {
    if (keys_ == nullptr) {
        keys_ = new QDialog(this);
        keys_->setAttribute(Qt::WA_DeleteOnClose);
        keys_->setWindowTitle(QStringLiteral("Keys"));
        auto* text = new QPlainTextEdit(KeysText(), keys_);
        text->setReadOnly(true);
        text->setFont(font());
        text->setLineWrapMode(QPlainTextEdit::NoWrap);
        auto* layout = new QVBoxLayout(keys_);
        layout->addWidget(text);
        keys_->resize(760, 340);
    }
    Present(*keys_);
}

std::vector<NamedFolder> frmMain::ProgramFolders() const {
    const char* home = EnvironmentValue("HOME");
    const auto q = [](const std::string& s) { return QString::fromStdString(s); };
    const std::string constFile = core_->rig.RigVelkaProp_ConstFileInUse();
    return {
        {QStringLiteral("Settings"),
         QDir::cleanPath(QFileInfo(q(core_->profMain.GetMyProfile())).absolutePath())},
        // The folder of the file in use, else where the technician should put one.
        {QStringLiteral("Const.ini"),
         std::filesystem::exists(constFile)
             ? QFileInfo(q(constFile)).absolutePath()
             : q(UserConfigFolder(EnvironmentValue("XDG_CONFIG_HOME"), home))},
        {QStringLiteral("Backups"), q(core_->backups.store().folder())},
        {QStringLiteral("Traces"), q(core_->trace.store().folder())},
    };
}

void frmMain::ShowAbout() {
    if (core_ == nullptr) return;
    if (about_ == nullptr) {
        about_ = new AboutDialog(
            ProgramFolders(),
            folderOpener_
                ? folderOpener_
                : [](const QString&
                         path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); },
            this);
        about_->setAttribute(Qt::WA_DeleteOnClose);
    }
    Present(*about_);
}

std::string frmMain::DiagnosticsText() const {
    DiagnosticsFacts f;
    f.program = ProgramVersionLine();
    f.qt = qVersion();
    f.system =
        (QSysInfo::prettyProductName() + QStringLiteral(", kernel ") + QSysInfo::kernelVersion() +
         QStringLiteral(", ") + QSysInfo::currentCpuArchitecture())
            .toStdString();
    f.utcTime = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
    f.settingsPath = core_->profMain.GetMyProfile();
    QFile settings(QString::fromStdString(f.settingsPath));
    if (settings.open(QIODevice::ReadOnly)) f.settingsText = settings.read(64 * 1024).toStdString();
    const std::vector<SerialDevice> present =
        deviceSource_ ? deviceSource_() : std::vector<SerialDevice>{};
    for (const SerialDevice& d : present)
        f.serialDevices.push_back(d.node + "  " + d.byId + "  " + DeviceKind(d));
    const int16_t port = core_->ComPortNo();
    const std::string device = core_->profMain.ComPortDevice(port);
    const PortFacts facts = GatherPortFacts(port, device, "", present, f.settingsPath);
    f.portFacts = {
        "COM " + std::to_string(port) + " = " + device,
        std::string("exists: ") + (facts.exists ? "yes" : "no") +
            ", character device: " + (facts.isCharDevice ? "yes" : "no") +
            ", readable and writable: " + (facts.accessible ? "yes" : "no"),
        "group: " + facts.group + (facts.inGroup ? " (this process has it)" : "") +
            (facts.groupListed ? " (the user is listed in it)" : ""),
        std::string("ModemManager running: ") + (facts.modemManager ? "yes" : "no"),
    };
    for (const auto& holder : facts.holders)
        f.portFacts.push_back("held by " + holder);
    if (messageLog_ != nullptr)
        f.messages.assign(messageLog_->shown().begin(), messageLog_->shown().end());
    f.constPath = core_->rig.RigVelkaProp_ConstFileInUse();
    f.constChecksum = ChecksumOf(f.constPath);
    core_->trace.flush();
    // This run's trace, else the newest of an earlier run, if any.
    f.traceName = core_->trace.newestFile();
    if (!f.traceName.empty()) {
        QFile trace(QString::fromStdString(core_->trace.store().folder() + "/" + f.traceName));
        if (trace.open(QIODevice::ReadOnly)) f.traceText = trace.readAll().toStdString();
    }
    return FormatDiagnostics(f);
}

void frmMain::SaveDiagnostics() {
    if (core_ == nullptr) return;
    const QString suggested = QDir::home().filePath(
        QStringLiteral("calvexadj-diagnostics-%1.txt")
            .arg(QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    const QString path = saveFileChooser_ ? saveFileChooser_(suggested)
                                          : QFileDialog::getSaveFileName(
                                                this, QStringLiteral("Save diagnostics"), suggested,
                                                QStringLiteral("Text files (*.txt)"));
    if (path.isEmpty()) return;
    Guard([&] {
        // The settings, the messages and the last trace: a customer's data, the user's alone.
        if (const auto saved = WriteChosenFile(path.toStdString(), DiagnosticsText(),
                                               ChosenKind::Other, ".txt", FileAccess::Private);
            !saved) {
            MsgBoxCritical(*box_, "Cannot save the diagnostics.",
                           path.toStdString() + ": " + saved.reason());
        }
    });
}

void frmMain::RefreshPortCaptions() {
    if (core_ == nullptr) return;
    const std::vector<SerialDevice> present =
        deviceSource_ ? deviceSource_() : std::vector<SerialDevice>{};
    for (std::size_t i = 1; i < mnuOptSelCom_.size(); ++i) {
        const auto n = static_cast<int16_t>(i);
        mnuOptSelCom_[i]->setText(
            QString::fromStdString(PortMenuCaption(n, core_->profMain.ComPortDevice(n), present)));
    }
}

void frmMain::ShowSerialDevices() {
    if (core_ == nullptr) return;
    if (serialDevices_ == nullptr) {
        serialDevices_ = new SerialDevicesDialog(
            deviceSource_, [this](int16_t n) { return core_->profMain.ComPortDevice(n); },
            core_->profMain.FullPath(), core_->ComPortNo(), this);
        serialDevices_->setAttribute(Qt::WA_DeleteOnClose);
        connect(serialDevices_, &SerialDevicesDialog::assigned, this,
                [this](int n, const QString& before, const QString& after) {
                    // What was read from one radio must not be sent to another one.
                    if (n == core_->ComPortNo() && before != after) {
                        Guard([&] { core_->rig.RigOpFunc_ResetAll(); });
                    }
                });
    } else {
        serialDevices_->choosePort(core_->ComPortNo());
    }
    Present(*serialDevices_);
}

void frmMain::SaveImageAs() {
    if (core_ == nullptr || !core_->rig.RigVelkaProp_EditEnabled()) return;
    BackupRecord record;
    record.identity = core_->ConnectedIdentity();
    // The program's image may hold adjustments no read has confirmed.
    record.origin = BackupOrigin::ByHand;
    record.utcSeconds = QDateTime::currentSecsSinceEpoch();
    record.program = kProgramTitle;
    record.image = core_->radio.eepImage.ReadBlock(0, kBackupImageSize);
    const QString suggested = QDir::home().filePath(
        QString::fromStdString(BackupFileName(record.identity, record.utcSeconds)));
    const QString path = saveFileChooser_ ? saveFileChooser_(suggested)
                                          : QFileDialog::getSaveFileName(
                                                this, QStringLiteral("Save image as"), suggested,
                                                QStringLiteral("Calvex ADJ backups (*.vbk)"));
    if (path.isEmpty()) return;
    if (const auto saved =
            WriteChosenFile(path.toStdString(), FormatBackupFile(record), ChosenKind::Backup,
                            kBackupExtension, FileAccess::Private);
        !saved) {
        Guard([&] {
            MsgBoxCritical(*box_, "Cannot save the image.",
                           path.toStdString() + ": " + saved.reason());
        });
    }
}

void frmMain::OpenBackupsFolder() {
    if (core_ == nullptr) return;
    const QString folder = QString::fromStdString(core_->backups.store().folder());
    // Before the first read there is no folder yet; the file manager shows it empty. Made as the
    // program makes it: the user's alone.
    (void)MakeFolder(folder.toStdString());
    if (folderOpener_) {
        folderOpener_(folder);
    } else {
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    }
}

void frmMain::ShowBackups(BackupsDialog::Mode mode) {
    if (core_ == nullptr) return;
    if (backupsDialog_ != nullptr && backupsDialog_->mode() != mode) {
        backupsDialog_->close();
        backupsDialog_ = nullptr;
    }
    if (backupsDialog_ == nullptr) {
        backupsDialog_ = new BackupsDialog(*core_, mode, this);
        backupsDialog_->setAttribute(Qt::WA_DeleteOnClose);
        backupsDialog_->saveFileChooser(saveFileChooser_);
        if (openFileChooser_) backupsDialog_->openFileChooser(openFileChooser_);
        connect(backupsDialog_, &BackupsDialog::reportMade, this,
                [this](const ServiceReport& report) { ShowReport(report); });
        connect(backupsDialog_, &BackupsDialog::restoreConfirmed, this,
                [this](const QString& name) {
                    Guard([&] { core_->StartRestore(name.toStdString()); });
                });
    } else {
        backupsDialog_->Refresh();
    }
    Present(*backupsDialog_);
}

void frmMain::RestoreDone(const RestoreResult& result) {
    // The other outcomes have shown their message already.
    if (result.outcome != RestoreResult::Outcome::Restored) return;
    restoredBox_ = new QMessageBox(QMessageBox::Information, QString::fromLatin1(kProgramTitle),
                                   QString::fromStdString(result.text), QMessageBox::Ok, this);
    restoredBox_->setAttribute(Qt::WA_DeleteOnClose);
    restoredBox_->open();
}

void frmMain::attach(CalvexCore& core, IMessageBox& box) {
    core_ = &core;
    box_ = &box;
    core.onRestoreDone([this](const RestoreResult& result) { RestoreDone(result); });
    core.portDetail([this](int16_t port, const std::string& device, const std::string& reason) {
        return PortAdvice(GatherPortFacts(
            port, device, reason, deviceSource_ ? deviceSource_() : std::vector<SerialDevice>{},
            core_->profMain.FullPath()));
    });
}

void frmMain::Guard(const std::function<void()>& event) {
    if (core_ == nullptr || box_ == nullptr) return;
    RunGuarded(*box_, event);
}

bool frmMain::Form_Load() {
    if (!core_->rig.RigVelkaProp_ReadParametersFromExtFile()) {
        MsgBoxCritical(*box_, "Cannot read 'Const.ini'.", core_->rig.ConstFileProblem());
        return false;
    }
    setWindowTitle(QString::fromLatin1(kProgramTitle));
    lblTitle_->setText(TitleText());
    lblTitle_->adjustSize();
    Guard([&] {
        core_->rig.RigOpFunc_FormResource();
        core_->rig.RigOpFunc_FormLayout();
    });
    return true;
}

void frmMain::task() {
    if (core_ == nullptr) return;
    for (std::size_t i = 1; i < mnuOptSelCom_.size(); ++i) {
        mnuOptSelCom_[i]->setChecked(core_->ComPortNo() == static_cast<int16_t>(i));
    }
    for (std::size_t i = 0; i < mnuOptionSelAutoRelease_.size(); ++i) {
        mnuOptionSelAutoRelease_[i]->setChecked(core_->ComAutoRelease() == static_cast<int16_t>(i));
    }
    mnuOptTrace_->setChecked(core_->RecordWireTrace());
    mnuOptLive_->setChecked(core_->LiveReadings());
    if (sweepWindow_ != nullptr) sweepWindow_->refresh(core_->rig.RigVelkaProp_SweepCurves());
    if (readingsChart_ != nullptr && readingsChart_->isVisible()) {
        readingsChart_->refresh(core_->rig.RigVelkaProp_ReadingsHistory(),
                                core_->rig.RigVelkaProp_ClockMs());
    }
    const bool connected = core_->rig.RigVelkaProp_EditEnabled();
    const bool restoring = core_->RestoreRunning();
    mnuFileSaveImage_->setEnabled(connected);
    // Backups compare, and report an earlier visit, with no transceiver connected.
    mnuFileCompare_->setEnabled(!restoring);
    mnuFileReport_->setEnabled(!restoring);
    mnuFileRestore_->setEnabled(connected && !restoring &&
                                core_->rig.RigVelkaProp_RestoreAllowed());
    mnuFileRestoreFile_->setEnabled(mnuFileRestore_->isEnabled());
    // The backups open follow a Connect or a lost line at once.
    if ((connected && !restoring) != backupsConnected_) {
        backupsConnected_ = connected && !restoring;
        if (backupsDialog_ != nullptr) backupsDialog_->ConnectionChanged();
    }
    const bool open = core_->com.comOpen();
    lblComBusy_->setText(
        QStringLiteral("COM %1: %2").arg(core_->ComPortNo()).arg(open ? "OPEN" : "CLOSE"));
    lblComBusy_->adjustSize();
    PaintPortLabel(open);
}

void frmMain::PaintPortLabel(bool open) {
    QPalette p = lblComBusy_->palette();
    p.setColor(QPalette::WindowText,
               palette().color(open ? QPalette::Active : QPalette::Disabled,
                               open ? QPalette::ButtonText : QPalette::WindowText));
    lblComBusy_->setPalette(p);
}

void frmMain::cmd00Caption(int16_t i, const std::string& caption) {
    cmd00_.at(static_cast<std::size_t>(i))->setText(fromBytes(caption));
}

void frmMain::cmd00Enabled(int16_t i, bool enabled) {
    cmd00_.at(static_cast<std::size_t>(i))->setEnabled(enabled);
}

void frmMain::cmd00Default(int16_t i, bool isDefault) {
    isDefault_.at(static_cast<std::size_t>(i)) = isDefault;
    cmd00_.at(static_cast<std::size_t>(i))->setDefault(isDefault);
}

void frmMain::cmd00Cancel(int16_t i, bool isCancel) {
    isCancel_.at(static_cast<std::size_t>(i)) = isCancel;
}

void frmMain::cmd00SetFocus(int16_t i) {
    cmd00_.at(static_cast<std::size_t>(i))->setFocus();
}

bool frmMain::fra01Visible(int16_t i) const {
    return !fra01_.at(static_cast<std::size_t>(i))->isHidden();
}

void frmMain::fra01Visible(int16_t i, bool visible) {
    fra01_.at(static_cast<std::size_t>(i))->setVisible(visible);
}

IListBox& frmMain::lbo01(int16_t i) {
    return *monitorBoxes_.at(static_cast<std::size_t>(i));
}

void frmMain::lblProgressCaption(const std::string& caption) {
    lblProgress_->setText(fromBytes(caption));
    lblProgress_->adjustSize();
}

void frmMain::txtDispParaText(const std::string& text) {
    QString s = fromBytes(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    txtDispPara_->setPlainText(s);
}

void frmMain::MsgBoxCloneErr(ICloneSequencer&) {
    core_->MsgBoxCloneErr();
}

void frmMain::Beep() {
    QApplication::beep();
}

int frmMain::px(double t) const {
    return static_cast<int>(std::lround(t * logicalDpiY() / kTwipsPerInch));
}

double frmMain::twips(int p) const {
    return p * kTwipsPerInch / logicalDpiY();
}

void frmMain::place(QWidget* w, const TwipRect& r) const {
    w->setGeometry(px(r.left), px(r.top), std::max(px(r.width), 0), std::max(px(r.height), 1));
}

// The room a window may take: the screen less the desktop's panels and docks.
double frmMain::screenWidth() const {
    const QScreen* s = screen();
    return s ? twips(s->availableGeometry().width()) : 19200;
}

double frmMain::screenHeight() const {
    const QScreen* s = screen();
    return s ? twips(s->availableGeometry().height()) : 10800;
}

void frmMain::windowPlacement(const TwipRect& r) {
    // The place is within the window's own screen, which need not be the first one, and the
    // window with its frame stays inside the room the desktop leaves: on a small or scaled
    // screen the first placement shrinks to it (the monitor lists give way first, see the
    // layout), but never below the size at which controls would overlap.
    KeepMinimumSize();
    const QRect room = screen() ? screen()->availableGeometry() : QRect(0, 0, 1280, 720);
    const QSize frame = FrameAllowance();
    const int w = std::max(std::min(px(r.width), room.width() - frame.width()), minimumWidth());
    const int h = std::max(std::min(px(r.height), room.height() - frame.height()), minimumHeight());
    resize(w, h);
    const int x = std::clamp(room.left() + px(r.left), room.left(),
                             std::max(room.left(), room.right() + 1 - w - frame.width()));
    const int y = std::clamp(room.top() + px(r.top), room.top(),
                             std::max(room.top(), room.bottom() + 1 - h - frame.height()));
    move(x, y);
}

QSize frmMain::FrameAllowance() const {
    // Known once the window manager has framed the window; before that, a title bar's worth.
    const QSize frame = frameGeometry().size() - geometry().size();
    if (frame.height() > 0) return frame;
    return {2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth),
            style()->pixelMetric(QStyle::PM_TitleBarHeight) +
                2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth)};
}

LayoutInput frmMain::layoutInput() const {
    // The client area below the menu bar; the window may not have laid itself out yet.
    const int menu = menuBar()->isHidden() ? 0 : menuBar()->sizeHint().height();
    LayoutInput in;
    in.innerWidth = twips(width());
    in.innerHeight = twips(std::max(height() - menu, 0));
    in.lineX1 = 0;
    in.lineX2 = in.innerWidth;
    in.lineY1 = twips(1);
    in.titleWidth = twips(lblTitle_->width());
    in.titleHeight = twips(lblTitle_->height());
    in.progressWidth = twips(lblProgress_->width());
    in.consoleNeeded = ConsoleNeeded();
    return in;
}

double frmMain::ConsoleNeeded() const {
    const int rows = lboConsole_->count();
    if (rows == 0) return 0;
    // Room for a scroll bar across too: the channel line is wider than a narrow console.
    const int across = lboConsole_->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    return twips(rows * lboConsole_->sizeHintForRow(0) + 2 * lboConsole_->frameWidth() + across +
                 4);
}

void frmMain::KeepMinimumSize() {
    // The widest port label ("COM 10: CLOSE") and the console with every line.
    const int label = lblComBusy_->fontMetrics().horizontalAdvance(QStringLiteral("COM 10: CLOSE"));
    const TwipSize least = MinimumClientSize(twips(label), ConsoleNeeded());
    const int menu = menuBar()->isHidden() ? 0 : menuBar()->sizeHint().height();
    const QSize size(px(least.width), px(least.height) + menu);
    if (minimumSize() != size) setMinimumSize(size);
}

void frmMain::applyLayout(const RigVelkaLayout& l) {
    KeepMinimumSize();
    for (std::size_t i = 0; i < cmd00_.size(); ++i) {
        place(cmd00_[i], l.cmd00[i]);
        cmd00_[i]->show();
    }
    place(fra01_[0], l.fra01[0]);
    place(fra01_[1], l.fra01[1]);
    place(fra01_[3], l.fra01[3]);
    place(fra01_[2], l.fra01[2]);
    fra01_[2]->show();
    for (std::size_t i = 0; i < lbo01_.size(); ++i) {
        place(lbo01_[i], l.lbo01[i]);
        lbo01_[i]->show();
        PlaceAgeLabel(i);
    }
    place(lboConsole_, l.lboConsole);
    lboConsole_->show();
    lblTitle_->move(px(l.lblTitleLeft), px(l.lblTitleTop));
    lblTitle_->show();
    lblProgress_->move(px(l.lblProgressLeft), px(l.lblProgressTop));
    lblProgress_->show();
    place(txtDispPara_, l.txtDispPara);
    txtDispPara_->show();
}

void frmMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    const int w = central_->width();
    linSepa_[0]->setGeometry(0, 0, w, 1);
    linSepa_[1]->setGeometry(0, 1, w, 1);
    // The next tick writes the port label again.
    lblComBusy_->setText(QString());
    lblComBusy_->move(px(120), px(120));
    Guard([&] { core_->rig.RigOpFunc_FormLayout(); });
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (!closed_ && !puttingBackForClose_ && core_ != nullptr) {
        bool wait = false;
        Guard([&] { wait = core_->rig.RigOpFunc_StopForExit(); });
        if (wait) {
            // The timer goes on sending the values back; the window closes when they are.
            puttingBackForClose_ = true;
            event->ignore();
            auto* poll = new QTimer(this);
            QElapsedTimer since;
            since.start();
            connect(poll, &QTimer::timeout, this, [this, poll, since] {
                if (core_->rig.RigVelkaProp_PuttingBack() && !since.hasExpired(kPutBackWaitMs)) {
                    return;
                }
                poll->stop();
                poll->deleteLater();
                close();
            });
            poll->start(20);
            return;
        }
    }
    if (!closed_) {
        closed_ = true;
        // Close the port and save the settings; the operation under way is not finished.
        Guard([&] {
            core_->com.AllOver();
            core_->com.Form_Unload();
            core_->Finish();
        });
        emit unloaded();
    }
    event->accept();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || core_ == nullptr) {
        return QMainWindow::eventFilter(watched, event);
    }
    // A key is seen here once, by the widget that has the focus (or the window itself).
    QWidget* target = QApplication::focusWidget();
    if (target == nullptr) target = this;
    if (watched != target || target->window() != this) {
        return QMainWindow::eventFilter(watched, event);
    }
    auto* key = static_cast<QKeyEvent*>(event);
    for (std::size_t i = 0; i < cmd00_.size(); ++i) {
        if (watched == cmd00_[i] && !key->text().isEmpty()) KeyTypedOnButton(key->text());
    }
    switch (key->key()) {
        case Qt::Key_F5:
            Guard([&] { core_->Click(1); });
            return false;  // the focused control still gets the key
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (watched != lboConsole_ && isDefault_[2] && cmd00_[2]->isEnabled()) {
                cmd00_[2]->click();
                return true;
            }
            break;
        case Qt::Key_Escape:
            if (isCancel_[2] && cmd00_[2]->isEnabled()) {
                cmd00_[2]->click();
                return true;
            }
            break;
        default:
            break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::KeyTypedOnButton(const QString& text) {
    for (const QChar c : text) {
        keyBuffer_ += QChar(static_cast<char16_t>(c.unicode() + 1)).toUpper().toLatin1();
    }
    if (keyBuffer_.size() > 13) keyBuffer_.erase(0, keyBuffer_.size() - 13);
    if (keyBuffer_ == kShiftedTrigger) {
        const std::string shifted = kShiftedCaption;
        QString caption;
        for (auto it = shifted.rbegin(); it != shifted.rend(); ++it) {
            caption += QChar(static_cast<char16_t>(static_cast<unsigned char>(*it) - 1));
        }
        setWindowTitle(caption);
    }
}

}  // namespace calvex

#include "shell/qt/SerialDevicesDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <tuple>

#include "shell/PrivateProfile.h"
#include "shell/clsCmcProfileIO.h"

namespace calvex {

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

auto fields(const SerialDevice& d) {
    return std::tie(d.node, d.byId, d.description, d.manufacturer, d.serialNumber);
}

bool sameList(const std::vector<SerialDevice>& a, const std::vector<SerialDevice>& b) {
    return std::equal(
        a.begin(), a.end(), b.begin(), b.end(),
        [](const SerialDevice& x, const SerialDevice& y) { return fields(x) == fields(y); });
}

}  // namespace

SerialDevicesDialog::SerialDevicesDialog(SerialDeviceSource source,
                                         std::function<std::string(int16_t)> deviceOf,
                                         std::string settingsFile, int16_t comPort, QWidget* parent)
    : QDialog(parent),
      source_(std::move(source)),
      deviceOf_(std::move(deviceOf)),
      settingsFile_(std::move(settingsFile)) {
    setWindowTitle(QStringLiteral("Serial devices"));

    list_ = new QTreeWidget(this);
    list_->setColumnCount(5);
    list_->setHeaderLabels({QStringLiteral("Device"), QStringLiteral("Description"),
                            QStringLiteral("Manufacturer"), QStringLiteral("Serial number"),
                            QStringLiteral("Node")});
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    list_->setMinimumWidth(640);

    port_ = new QComboBox(this);
    for (int i = 1; i <= 4; ++i)
        port_->addItem(QStringLiteral("COM %1").arg(i));
    assign_ = new QPushButton(QStringLiteral("&Use for this port"), this);
    mapping_ = new QLabel(this);
    status_ = new QLabel(this);
    status_->setWordWrap(true);
    auto* where = new QLabel(
        QStringLiteral("The choice is written to the [PORTS] section of %1.").arg(q(settingsFile_)),
        this);
    where->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);

    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("&Port:"), this));
    row->addWidget(port_);
    row->addWidget(assign_);
    row->addStretch();
    static_cast<QLabel*>(row->itemAt(0)->widget())->setBuddy(port_);

    auto* layout = new QVBoxLayout(this);
    heading_ = new QLabel(this);
    layout->addWidget(heading_);
    layout->addWidget(list_);
    layout->addLayout(row);
    layout->addWidget(mapping_);
    layout->addWidget(where);
    layout->addWidget(status_);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(assign_, &QPushButton::clicked, this, [this] { Assign(); });
    connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateButton(); });
    connect(port_, &QComboBox::currentIndexChanged, this, [this] { ShowMapping(); });

    choosePort(comPort);
    Refresh();
    refresh_.setInterval(1000);
    connect(&refresh_, &QTimer::timeout, this, [this] { Refresh(); });
    refresh_.start();
}

void SerialDevicesDialog::choosePort(int16_t comPort) {
    port_->setCurrentIndex(comPort >= 1 && comPort <= 4 ? comPort - 1 : 0);
    ShowMapping();
}

void SerialDevicesDialog::Refresh() {
    std::vector<SerialDevice> now = source_ ? source_() : std::vector<SerialDevice>{};
    // An unchanged list is left alone, so that the technician's selection and scrolling stay.
    if (!sameList(now, shown_) || list_->topLevelItemCount() != static_cast<int>(now.size())) {
        QString selected;
        if (const QList<QTreeWidgetItem*> s = list_->selectedItems(); !s.isEmpty()) {
            selected = s.front()->text(kPathColumn);
        }
        shown_ = std::move(now);
        list_->clear();
        QTreeWidgetItem* chosen = nullptr;
        for (const SerialDevice& d : shown_) {
            auto* item =
                new QTreeWidgetItem(list_, {q(d.stablePath()), q(d.description), q(d.manufacturer),
                                            q(d.serialNumber), q(d.node)});
            if (item->text(kPathColumn) == selected) chosen = item;
        }
        // A device that went away leaves nothing chosen, rather than its neighbour.
        list_->setCurrentItem(chosen);
        if (chosen == nullptr) list_->clearSelection();
    }
    heading_->setText(shown_.empty()
                          ? QStringLiteral("No serial device is present: plug the adapter in.")
                          : QStringLiteral("Serial devices present:"));
    UpdateButton();
    ShowMapping();
}

void SerialDevicesDialog::ShowMapping() {
    if (mapping_ == nullptr || port_ == nullptr) return;
    const int16_t n = static_cast<int16_t>(port_->currentIndex() + 1);
    QString text =
        QStringLiteral("COM %1 now names %2.").arg(n).arg(q(deviceOf_ ? deviceOf_(n) : ""));
    if (clsCmcProfileIO::ComPortFromEnvironment(n)) {
        text += QStringLiteral(" %1 is set in the environment and wins over the settings file.")
                    .arg(q(clsCmcProfileIO::ComPortVariable(n)));
    }
    mapping_->setText(text);
}

void SerialDevicesDialog::UpdateButton() {
    assign_->setEnabled(!list_->selectedItems().isEmpty());
}

void SerialDevicesDialog::Assign() {
    const QList<QTreeWidgetItem*> s = list_->selectedItems();
    if (s.isEmpty()) return;
    const int row = list_->indexOfTopLevelItem(s.front());
    if (row < 0 || static_cast<std::size_t>(row) >= shown_.size()) return;
    const std::string path = shown_[static_cast<std::size_t>(row)].stablePath();
    const int16_t n = static_cast<int16_t>(port_->currentIndex() + 1);
    const std::string before = deviceOf_ ? deviceOf_(n) : std::string();

    // The program's own folder in the user's configuration may not be there yet.
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(settingsFile_).parent_path(), ec);
    if (!WritePrivateProfileString("PORTS", "COM" + std::to_string(n), path, settingsFile_)) {
        status_->setText(QStringLiteral("Cannot write %1.").arg(q(settingsFile_)));
        return;
    }
    const std::string after = deviceOf_ ? deviceOf_(n) : path;
    status_->setText(QStringLiteral("COM%1=%2 is written.").arg(n).arg(q(path)));
    ShowMapping();
    emit assigned(n, q(before), q(after));
}

}  // namespace calvex

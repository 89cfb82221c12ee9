#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/qt/SerialDevices.h"

namespace calvex {

// Option > Port > Serial devices: the serial devices present, refreshed every second so that
// an adapter plugged in meanwhile shows up, and the choice of one of them for COM 1..4. The
// choice is written as one [PORTS] entry into the settings file; the rest of the file stays.
class SerialDevicesDialog final : public QDialog {
    Q_OBJECT

  public:
    // deviceOf names the device a port number maps to now.
    SerialDevicesDialog(SerialDeviceSource source, std::function<std::string(int16_t)> deviceOf,
                        std::string settingsFile, int16_t comPort, QWidget* parent = nullptr);

    // Reads the device list again; the selected device stays selected while it is present.
    void Refresh();
    // Chooses COM n (1..4) in the port box.
    void choosePort(int16_t comPort);

    // Controls, for tests.
    QTreeWidget* deviceList() const { return list_; }
    QComboBox* portChooser() const { return port_; }
    QPushButton* assignButton() const { return assign_; }
    QLabel* statusLabel() const { return status_; }

    static constexpr int kPathColumn = 0;

  signals:
    // COM n was mapped to another device in the settings file: what it named before and after.
    void assigned(int comPort, const QString& before, const QString& after);

  private:
    void Assign();
    void ShowMapping();
    void UpdateButton();

    SerialDeviceSource source_;
    std::function<std::string(int16_t)> deviceOf_;
    std::string settingsFile_;
    std::vector<SerialDevice> shown_;
    QLabel* heading_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QComboBox* port_ = nullptr;
    QLabel* mapping_ = nullptr;
    QPushButton* assign_ = nullptr;
    QLabel* status_ = nullptr;
    QTimer refresh_;
};

}  // namespace calvex

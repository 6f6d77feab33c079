// The capture device's pages of the Sources menu as Qt dialogs: "Video Format" (formats, sizes,
// frame rates), "Video Capture Filter" (the V4L2 controls, live, with a Default button), "Video
// Crossbar" (the video inputs) and "TV Tuner" (the tuner's frequency).
//
// GUI thread only.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <vector>

#include "media/device_pages.h"

class QButtonGroup;
class QLabel;
class QWidget;

namespace kelpa {

// Shows `page` of the device `pages` describes and applies what the user chose. Returns a text
// for the status bar ("" when there is nothing to say).
QString ShowDevicePage(QWidget* parent, DevicePage page, DevicePages& pages);

// "Video Capture Filter": one row per control (slider, check box, menu or button), each change
// set on the device at once; Default sets every control the device lets us write to its
// default.
class DeviceControlsDialog final : public QDialog {
    Q_OBJECT

  public:
    explicit DeviceControlsDialog(DevicePages& pages, QWidget* parent = nullptr);

    // Sets every writable control to its default and shows the values the device keeps.
    void SetDefaults();
    // The widget of a control (tests move it as a user would); nullptr when it has none.
    QWidget* EditorOf(uint32_t id) const;

  private:
    struct Row {
        uint32_t id = 0;
        QWidget* editor = nullptr;
        QLabel* value = nullptr;
    };
    void Apply(uint32_t id, int32_t value);
    void ShowValue(const Row& row);

    DevicePages& pages_;
    std::vector<Row> rows_;
};

// "Video Crossbar": the video inputs, the one in use checked; OK routes the device to the
// input chosen.
class VideoInputDialog final : public QDialog {
    Q_OBJECT

  public:
    explicit VideoInputDialog(DevicePages& pages, QWidget* parent = nullptr);
    int ChosenInput() const;

  private:
    QButtonGroup* group_;
};

// "TV Tuner": the tuner's name and its frequency in MHz within its range; Set tunes.
class TunerDialog final : public QDialog {
    Q_OBJECT

  public:
    explicit TunerDialog(DevicePages& pages, QWidget* parent = nullptr);

  private:
    DevicePages& pages_;
};

}  // namespace kelpa

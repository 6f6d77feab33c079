// The settings panel ("Filters Setting"): a small window of seven slider rows that set the
// processing parameters of the current video controller while the video runs. The main window
// creates it, toggles it (command 40016), refreshes it after Default, a source change and the
// automatic control's events, and saves its state when it closes.
//
// GUI thread only.
#pragma once

#include <QWidget>
#include <array>
#include <map>
#include <string>

#include "app/panel_settings.h"
#include "gui/panel_rows.h"
#include "processing/stream_events.h"

class QLabel;
class QLineEdit;
class QSlider;
class QToolButton;

namespace kelpa {

class Application;
class ProcEngine;

// Replacement texts from "kelpa.cfg".
struct PanelTexts {
    std::string title;                          // [TOOLBAR] text of 40016; "" for the built-in
    std::map<std::string, std::string> labels;  // [CTRL] key -> row label
};

inline constexpr const char* kPanelTitle = "Filters Setting";

class SettingsPanel : public QWidget {
    Q_OBJECT

  public:
    // Builds the rows, showing the current controller's values. Without a parent the panel is
    // a window of its own, as it is in the program.
    SettingsPanel(Application& app, const PanelTexts& texts, QWidget* parent = nullptr);

    // Places the panel (the remembered place kept on the screen, else beside the main window,
    // whose outer rectangle is given) and shows it when it was shown at the last exit.
    void Restore(const PanelSettings& settings, const QRect& mainWindowFrame);
    // Shown flag and the place, for SavePanelSettings.
    PanelSettings State() const;
    // Writes ProcFiltrPPage, SLX and SLY.
    void SaveState() const;

    // Command 40016: hides a visible panel, else shows it. Returns the new state, which the
    // menu check and the toolbar button follow.
    bool ShowToggle();
    bool Shown() const { return shown_; }

    // Every row from the current controller (the defaults without one); also tells the delay
    // box the delay.
    void Refresh();
    void RefreshRow(PanelRow row);
    // kAmpChanged, kCountAccumChanged and kDelayChanged refresh their rows; others are ignored.
    void RefreshForEvent(StreamEvent kind);
    // A reset button's command (1021 ... 1039) routed through the main window. False for other
    // commands.
    bool HandleCommand(uint32_t id);

    // The row's widgets, for the main window's tests and screenshots.
    QSlider* Track(PanelRow row) const { return rows_[Index(row)].track; }
    QLineEdit* ValueBox(PanelRow row) const { return rows_[Index(row)].value; }
    QLabel* Label(PanelRow row) const { return rows_[Index(row)].label; }
    QToolButton* ResetButton(PanelRow row) const { return rows_[Index(row)].reset; }

  signals:
    // The panel set or showed a delay: the toolbar's delay box shows FormatDelayText(delayMs).
    void delayChanged(quint32 delayMs);
    // The panel was shown or hidden (also by its close box).
    void shownChanged(bool shown);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    struct RowWidgets {
        QLabel* label = nullptr;
        QToolButton* reset = nullptr;
        QSlider* track = nullptr;
        QLineEdit* value = nullptr;
    };

    static size_t Index(PanelRow row) { return static_cast<size_t>(row); }
    ProcEngine* Engine() const;
    void BuildRows(const PanelTexts& texts);
    void ShowRow(PanelRow row, const ProcEngine* engine);
    void SliderMoved(PanelRow row, int position);
    void ResetClicked(PanelRow row);
    void ShowTrackTip(PanelRow row);
    void SetShown(bool shown);

    Application& app_;
    std::array<RowWidgets, kPanelRowCount> rows_{};
    bool shown_ = false;
    bool dragging_ = false;
    QPoint dragOffset_;
};

}  // namespace kelpa

// The "Processing" window: the processed picture with the grey strips of the virtual-guide
// shift, the grid, the processing area and the guide mark. The area is edited here with the
// mouse (Move, Resize, Draw modes, commands 40306-40309, also on a popup menu under the right
// button), with the wheel in any mode, and in the area dialog (40305). Without an edit mode the
// left button moves the window.
#pragma once

#include <QPointer>
#include <QString>
#include <array>
#include <cstdint>

#include "gui/frame_render.h"
#include "gui/video_window.h"
#include "gui/window_drag.h"
#include "view/area_dialog.h"
#include "view/area_editor.h"

class QAction;
class QMenu;

namespace kelpa {

class AreaDialog;
class ProcEngine;

class ProcessingWindow final : public VideoWindow, private OverlayListener {
    Q_OBJECT

  public:
    // Placed where it was last time; ViewProcVis, View2Mode and the overlay flags are read.
    explicit ProcessingWindow(QWidget* parent = nullptr);
    ~ProcessingWindow() override;

    // --- View flags (saved with the window's settings) -------------------------------------
    const ProcViewFlags& Flags() const { return flags_; }
    void SetShowArea(bool on);
    void SetShowGrid(bool on);
    // The virtual guide: the picture shifts so that the guide star stays on its reference.
    void SetVirtualGuide(bool on);
    // 3 copies the nearest pixel, 4 smooths; other values 0 ... 4 copy too.
    void SetStretchMode(int32_t mode);

    // --- Area editing --------------------------------------------------------------------
    // Commands 40305 (the dialog, opened over `dialogParent`) and 40306-40309 (edit modes);
    // false for any other command.
    bool AreaCommand(int32_t command, QWidget* dialogParent = nullptr);
    EditMode Mode() const { return editor_.Mode(); }
    // Check marks and enabled states of the mode items, for the main menu.
    AreaMenuState MenuState() const { return editor_.MenuState(); }
    // The popup takes each item's text from the main menu; an empty text keeps its own.
    void SetAreaMenuText(int32_t command, const QString& text);
    QMenu* AreaMenu() const { return areaMenu_; }
    // The area dialog while it is open (nullptr otherwise).
    AreaDialog* OpenDialog() const;

    // The area or what is drawn over the picture changed elsewhere (settings panel, guide
    // commands): draw it as the redraw rule says and refresh an open area dialog.
    void AreaChangedElsewhere();

    // The layout and overlay as laid out for the current client area.
    const ProcView& View() const { return frame_.View(); }

  signals:
    // The edit mode changed: the main menu's check marks follow MenuState().
    void editModeChanged();

  protected:
    VideoSurf* SurfaceOf(VideoCtrl* ctrl) const override;
    void ControllerChanged(VideoCtrl* previous) override;
    void SaveFlags() override;

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    ProcessingWindow(const ProcViewFlags& flags, QWidget* parent);

    // OverlayListener: any thread; only the GUI thread's calls draw at once.
    void AreaChanged(int32_t x0, int32_t y0, int32_t x1, int32_t y1) override;
    void GuidePosition(float x, float y) override;
    void RedrawArea() override;

    ProcEngine* Engine() const;
    // The layout and overlay of this moment, for mouse edits.
    void LayOutNow();
    void AfterEdit(const EditResult& result);
    // The redraw rule after an area change; `refreshDialog` unless the dialog made the change
    // (its fields show what is typed until the field is left).
    void ShowAreaChange(bool refreshDialog);
    void OpenAreaDialog(QWidget* parent);
    void ShowAreaMenu(QPoint globalPosition);
    void ModeCommand(int32_t command);

    ProcViewFlags flags_;
    ProcFrame frame_;
    AreaEditor editor_;
    WindowDrag drag_;
    // Wheel movement below one notch, kept for the next event (fine-stepping wheels).
    int32_t wheelRemainder_ = 0;
    QMenu* areaMenu_ = nullptr;
    std::array<QAction*, 4> modeActions_{};  // Move, Resize, Draw, Exit
    AreaRectMemory areaMemory_;
    QPointer<AreaDialog> dialog_;
};

}  // namespace kelpa

// The processed window: drawing, mouse and wheel editing, the area popup menu and dialog.
#include "gui/processing_window.h"

#include <QAction>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QThread>
#include <QWheelEvent>

#include "gui/area_dialog_qt.h"
#include "gui/device_painter.h"
#include "processing/proc_engine.h"
#include "video/video_ctrl.h"

namespace kelpa {
namespace {

// One notch of a wheel.
constexpr int32_t kWheelNotch = 120;

PointerKeys KeysOf(Qt::KeyboardModifiers modifiers) {
    return {modifiers.testFlag(Qt::ShiftModifier), modifiers.testFlag(Qt::ControlModifier)};
}

}  // namespace

ProcessingWindow::ProcessingWindow(QWidget* parent)
    : ProcessingWindow(LoadProcViewFlags(), parent) {}

ProcessingWindow::ProcessingWindow(const ProcViewFlags& flags, QWidget* parent)
    : VideoWindow(ViewWindow::kProc, flags.visible, parent), flags_(flags) {
    areaMenu_ = new QMenu(this);
    size_t mode = 0;
    for (const AreaMenuItem& item : kAreaPopupItems) {
        if (item.command == 0) {
            areaMenu_->addSeparator();
            continue;
        }
        QAction* action = areaMenu_->addAction(item.popupText);
        action->setData(item.command);
        action->setCheckable(item.command != kCommandAreaExit);
        const int32_t command = item.command;
        connect(action, &QAction::triggered, this, [this, command] { ModeCommand(command); });
        modeActions_[mode++] = action;
    }
}

ProcessingWindow::~ProcessingWindow() {
    SetController(nullptr);
    // The dialog works on this window's remembered area.
    delete dialog_;
}

VideoSurf* ProcessingWindow::SurfaceOf(VideoCtrl* ctrl) const {
    return ctrl ? &ctrl->sink.engine.surf : nullptr;
}

ProcEngine* ProcessingWindow::Engine() const {
    return Controller() ? &Controller()->sink.engine : nullptr;
}

void ProcessingWindow::ControllerChanged(VideoCtrl* previous) {
    if (previous != nullptr) previous->sink.engine.surf.SetListener(nullptr);
    // A dialog open on the previous source keeps the area it shows.
    if (dialog_) dialog_->Ok();
    ProcEngine* engine = Engine();
    editor_.SetEngine(engine);
    if (engine != nullptr) {
        engine->surf.SetListener(this);
        engine->SetVirtualGuideActive(flags_.guideVirtual);
        // The new source's overlay from the start, even if its chain is busy at the first paint.
        frame_.TakeOverlay(*engine);
    }
    emit editModeChanged();
}

void ProcessingWindow::SaveFlags() {
    ProcViewFlags flags = flags_;
    flags.visible = Shown();
    SaveProcViewFlags(flags);
}

void ProcessingWindow::SetShowArea(bool on) {
    flags_.guideArea = on;
    update();
}

void ProcessingWindow::SetShowGrid(bool on) {
    flags_.guideGrid = on;
    update();
}

void ProcessingWindow::SetVirtualGuide(bool on) {
    flags_.guideVirtual = on;
    if (ProcEngine* engine = Engine()) engine->SetVirtualGuideActive(on);
    update();
}

void ProcessingWindow::SetStretchMode(int32_t mode) {
    flags_.stretchMode = static_cast<uint32_t>(mode) > kMaxStretchMode ? kDefaultStretchMode : mode;
    update();
}

// --- Drawing -------------------------------------------------------------------------------

void ProcessingWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    UseDevicePixels(painter, *this);
    frame_.Take(Engine());
    frame_.Paint(painter, DeviceClientSize(), flags_);
}

void ProcessingWindow::AreaChanged(int32_t, int32_t, int32_t, int32_t) {
    // The next paint takes the area with its overlay.
}

void ProcessingWindow::GuidePosition(float, float) {
    // Every processed frame brings one; its picture event paints it.
}

void ProcessingWindow::RedrawArea() {
    // The engine changed the area between frames (a setter on the GUI thread).
    if (QThread::currentThread() == thread()) update();
}

void ProcessingWindow::LayOutNow() {
    if (ProcEngine* engine = Engine()) {
        frame_.TakeOverlay(*engine);
        frame_.LayOut(DeviceClientSize(), flags_);
    }
}

void ProcessingWindow::ShowAreaChange(bool refreshDialog) {
    ProcEngine* engine = Engine();
    if (engine == nullptr) return;
    LayOutNow();
    if (DecideAreaRedraw(*engine, frame_.View().overlay.areaHidden) == AreaRedraw::kNow) update();
    if (refreshDialog && dialog_) dialog_->Refresh();
}

void ProcessingWindow::AreaChangedElsewhere() {
    ShowAreaChange(true);
}

// --- Mouse and wheel ------------------------------------------------------------------------

void ProcessingWindow::AfterEdit(const EditResult& result) {
    if (result.areaChanged) ShowAreaChange(true);
    if (result.overlayChanged) update();
}

void ProcessingWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        ShowAreaMenu(event->globalPosition().toPoint());
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    LayOutNow();
    const EditResult result = editor_.Press(DevicePoint(event->position()),
                                            KeysOf(event->modifiers()), frame_.View().layout);
    if (result.moveWindow) {
        drag_.Start(*this, *event);
        return;
    }
    AfterEdit(result);
}

void ProcessingWindow::mouseMoveEvent(QMouseEvent* event) {
    if (drag_.Following()) {
        drag_.Move(*this, *event);
        return;
    }
    if (!editor_.Dragging() || !(event->buttons() & Qt::LeftButton)) return;
    LayOutNow();
    AfterEdit(editor_.Drag(DevicePoint(event->position()), KeysOf(event->modifiers()),
                           frame_.View().layout));
}

void ProcessingWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    drag_.End();
    if (editor_.Dragging()) AfterEdit(editor_.Release(flags_.guideVirtual));
}

void ProcessingWindow::wheelEvent(QWheelEvent* event) {
    const QPoint angle = event->angleDelta();
    wheelRemainder_ += angle.y() != 0 ? angle.y() : angle.x();
    const int32_t steps = wheelRemainder_ / kWheelNotch;
    if (steps == 0) return;
    wheelRemainder_ -= steps * kWheelNotch;
    LayOutNow();
    AfterEdit(editor_.Wheel(steps * kWheelNotch, KeysOf(event->modifiers()), frame_.View().layout));
}

// --- Commands, popup menu and dialog --------------------------------------------------------

bool ProcessingWindow::AreaCommand(int32_t command, QWidget* dialogParent) {
    if (command == kCommandAreaSetup) {
        OpenAreaDialog(dialogParent);
        return true;
    }
    if (command < kCommandAreaResize || command > kCommandAreaExit) return false;
    ModeCommand(command);
    return true;
}

void ProcessingWindow::ModeCommand(int32_t command) {
    editor_.Command(command);
    emit editModeChanged();
}

void ProcessingWindow::SetAreaMenuText(int32_t command, const QString& text) {
    for (size_t i = 0, mode = 0; i < std::size(kAreaPopupItems); ++i) {
        const AreaMenuItem& item = kAreaPopupItems[i];
        if (item.command == 0) continue;
        if (item.command == command) {
            modeActions_[mode]->setText(text.isEmpty() ? QString(item.popupText) : text);
        }
        ++mode;
    }
}

void ProcessingWindow::ShowAreaMenu(QPoint globalPosition) {
    const AreaMenuState state = MenuState();
    const bool checked[] = {state.moveChecked, state.resizeChecked, state.drawChecked};
    for (size_t i = 0; i < 3; ++i) {
        modeActions_[i]->setChecked(checked[i]);
        modeActions_[i]->setEnabled(state.modesEnabled);
    }
    modeActions_[3]->setEnabled(state.exitEnabled);
    areaMenu_->popup(globalPosition);
}

AreaDialog* ProcessingWindow::OpenDialog() const {
    return dialog_;
}

void ProcessingWindow::OpenAreaDialog(QWidget* parent) {
    if (dialog_) {
        dialog_->raise();
        dialog_->activateWindow();
        return;
    }
    dialog_ = new AreaDialog(Engine(), areaMemory_, parent);
    dialog_->setAttribute(Qt::WA_DeleteOnClose);
    // Modal to the main window; this window stays free for mouse edits that the dialog shows.
    dialog_->setWindowModality(parent ? Qt::WindowModal : Qt::NonModal);
    connect(dialog_, &AreaDialog::areaChanged, this, [this] { ShowAreaChange(false); });
    dialog_->show();
}

}  // namespace kelpa

#include "gui/settings_panel.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <QToolTip>
#include <QWindow>
#include <algorithm>
#include <cctype>

#include "app/application.h"

namespace kelpa {
namespace {

// Layout of a row, in pixels.
constexpr int kMargin = 6;
constexpr int kRowHeight = 17;
constexpr int kRowStep = 20;
constexpr int kLabelGap = 6;
constexpr int kButtonSize = 17;
constexpr int kButtonStep = 18;
constexpr int kTrackWidth = 258;
constexpr int kTrackHeight = 18;
constexpr int kTrackGap = 2;
constexpr int kValueWidth = 60;
constexpr int kValueHeight = 17;
// Label width when no label could be measured.
constexpr int kFallbackLabelWidth = 55;

// What a row needs right of its track bar: the gap, the value box and the right margin.
constexpr int kRightOfTrack = kTrackGap + kValueWidth + kMargin;
constexpr int kMinTrackWidth = 50;

// The track bar's width: 258, narrowed (to no less than 50) when the row would not fit, so the
// value box stays whole inside the panel whatever the labels' font makes of their width.
int TrackWidth(int x, int clientWidth) {
    if (x + kTrackWidth + kRightOfTrack <= clientWidth) return kTrackWidth;
    return std::max(kMinTrackWidth, std::max(clientWidth, 100) - (x + kRightOfTrack));
}

// The [CTRL] text of a key, compared without case as the configuration file's names are.
const std::string* FindText(const std::map<std::string, std::string>& texts, const char* key) {
    const auto same = [](const std::string& a, const char* b) {
        const std::string_view bv(b);
        return a.size() == bv.size() &&
               std::equal(a.begin(), a.end(), bv.begin(), [](char x, char y) {
                   return std::tolower(static_cast<unsigned char>(x)) ==
                          std::tolower(static_cast<unsigned char>(y));
               });
    };
    for (const auto& [name, text] : texts) {
        if (same(name, key)) return &text;
    }
    return nullptr;
}

}  // namespace

SettingsPanel::SettingsPanel(Application& app, const PanelTexts& texts, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      app_(app) {
    setObjectName("_guideslplace");
    setWindowTitle(QString::fromStdString(texts.title.empty() ? kPanelTitle : texts.title));
    setWindowIcon(QIcon(":/icons/kelpa_small.svg"));
    setFixedSize(kPanelClientWidth, kPanelClientHeight);
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);
    BuildRows(texts);
    Refresh();
}

void SettingsPanel::BuildRows(const PanelTexts& texts) {
    std::array<QString, kPanelRowCount> labels;
    const QFontMetrics metrics(font());
    int labelWidth = 0;
    for (const PanelRowDesc& desc : PanelRows()) {
        const std::string* replaced = FindText(texts.labels, desc.key);
        labels[Index(desc.row)] = QString::fromStdString(replaced ? *replaced : desc.label);
        labelWidth = std::max(labelWidth, metrics.horizontalAdvance(labels[Index(desc.row)]));
    }
    if (labelWidth <= 0) labelWidth = kFallbackLabelWidth;

    const QIcon resetIcon(":/icons/panel_reset.svg");
    int y = kMargin;
    for (const PanelRowDesc& desc : PanelRows()) {
        RowWidgets& w = rows_[Index(desc.row)];
        const PanelRow row = desc.row;
        y += desc.gapBefore;
        int x = kMargin;

        w.label = new QLabel(labels[Index(row)], this);
        w.label->setGeometry(x, y, labelWidth, kRowHeight);
        w.label->setObjectName(QString("label%1").arg(desc.trackId));
        x += labelWidth + kLabelGap;

        w.reset = new QToolButton(this);
        w.reset->setObjectName(QString::number(desc.buttonId));
        w.reset->setAutoRaise(true);
        w.reset->setIcon(resetIcon);
        w.reset->setIconSize(QSize(kButtonSize - 4, kButtonSize - 4));
        w.reset->setGeometry(x, y, kButtonSize, kButtonSize);
        w.reset->setFocusPolicy(Qt::NoFocus);
        connect(w.reset, &QToolButton::clicked, this, [this, row] { ResetClicked(row); });
        x += kButtonStep;

        const int trackWidth = TrackWidth(x, width());
        w.track = new QSlider(Qt::Horizontal, this);
        w.track->setObjectName(QString::number(desc.trackId));
        w.track->setRange(desc.minimum, desc.maximum);
        w.track->setSingleStep(1);
        w.track->setPageStep(std::max(1, (desc.maximum - desc.minimum) / 5));
        w.track->setTickPosition(QSlider::NoTicks);
        w.track->setValue(desc.defaultPosition);
        w.track->setGeometry(x, y, trackWidth, kTrackHeight);
        connect(w.track, &QSlider::valueChanged, this,
                [this, row](int position) { SliderMoved(row, position); });
        connect(w.track, &QSlider::sliderPressed, this, [this, row] { ShowTrackTip(row); });
        x += trackWidth + kTrackGap;

        w.value = new QLineEdit(this);
        w.value->setObjectName(QString::number(desc.valueId));
        w.value->setReadOnly(true);
        w.value->setFocusPolicy(Qt::NoFocus);
        w.value->setTextMargins(0, 0, 0, 0);
        w.value->setStyleSheet("QLineEdit { padding: 0px 1px; }");
        w.value->setGeometry(x, y, kValueWidth, kValueHeight);
        w.value->setText(QString::fromStdString(desc.value(desc.defaultPosition)));
        y += kRowStep;
    }
}

ProcEngine* SettingsPanel::Engine() const {
    VideoCtrl* ctrl = app_.Current();
    return ctrl ? &ctrl->sink.engine : nullptr;
}

void SettingsPanel::ShowRow(PanelRow row, const ProcEngine* engine) {
    RowWidgets& w = rows_[Index(row)];
    const int position = RowPosition(row, engine);
    {
        const QSignalBlocker block(w.track);
        w.track->setValue(position);
    }
    w.track->setToolTip(QString::fromStdString(RowTooltip(row, position)));
    w.value->setText(QString::fromStdString(RowValueText(row, engine)));
    const bool enabled = RowEnabled(row, engine);
    w.label->setEnabled(enabled);
    w.reset->setEnabled(enabled);
    w.track->setEnabled(enabled);
    w.value->setEnabled(enabled);
}

void SettingsPanel::Refresh() {
    const ProcEngine* engine = Engine();
    for (const PanelRowDesc& desc : PanelRows()) ShowRow(desc.row, engine);
    emit delayChanged(static_cast<quint32>(RowValue(PanelRow::kDelay, engine)));
}

void SettingsPanel::RefreshRow(PanelRow row) {
    const ProcEngine* engine = Engine();
    ShowRow(row, engine);
    if (row == PanelRow::kDelay) {
        emit delayChanged(static_cast<quint32>(RowValue(PanelRow::kDelay, engine)));
    }
}

void SettingsPanel::RefreshForEvent(StreamEvent kind) {
    switch (kind) {
        case StreamEvent::kAmpChanged:
            RefreshRow(PanelRow::kAmplification);
            break;
        case StreamEvent::kCountAccumChanged:
            RefreshRow(PanelRow::kAccumulator);
            break;
        case StreamEvent::kDelayChanged:
            RefreshRow(PanelRow::kDelay);
            break;
        default:
            break;
    }
}

bool SettingsPanel::HandleCommand(uint32_t id) {
    const std::optional<PanelRow> row = RowOfButton(id);
    if (!row) return false;
    ResetClicked(*row);
    return true;
}

void SettingsPanel::SliderMoved(PanelRow row, int position) {
    ProcEngine* engine = Engine();
    RowWidgets& w = rows_[Index(row)];
    w.track->setToolTip(QString::fromStdString(RowTooltip(row, position)));
    if (w.track->isSliderDown()) ShowTrackTip(row);
    if (engine == nullptr || !ApplyRowPosition(row, *engine, position)) return;
    w.value->setText(QString::fromStdString(RowValueText(row, engine)));
    if (row == PanelRow::kDelay) {
        emit delayChanged(static_cast<quint32>(RowValue(PanelRow::kDelay, engine)));
    }
}

void SettingsPanel::ResetClicked(PanelRow row) {
    ProcEngine* engine = Engine();
    if (engine == nullptr || !ResetRow(row, *engine)) return;
    RefreshRow(row);
}

// The tooltip follows the handle while it is dragged, as the track bar's own tip does.
void SettingsPanel::ShowTrackTip(PanelRow row) {
    QSlider* track = rows_[Index(row)].track;
    const QPoint at = track->mapToGlobal(QPoint(track->width() / 2, -track->height()));
    QToolTip::showText(at, QString::fromStdString(RowTooltip(row, track->value())), track);
}

// ---- Showing, placing, saving ----------------------------------------------------------------

void SettingsPanel::SetShown(bool shown) {
    if (shown_ == shown) return;
    shown_ = shown;
    emit shownChanged(shown);
}

bool SettingsPanel::ShowToggle() {
    if (isVisible()) {
        hide();
        SetShown(false);
    } else {
        show();
        raise();
        Refresh();
        SetShown(true);
    }
    return shown_;
}

void SettingsPanel::closeEvent(QCloseEvent* event) {
    // The close box only hides the panel; it lives as long as the main window.
    event->accept();
    SetShown(false);
}

void SettingsPanel::Restore(const PanelSettings& settings, const QRect& mainWindowFrame) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect work = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const QSize outer = frameGeometry().size();
    // Places are kept in screen coordinates and held inside the work area.
    PanelSettings relative = settings;
    if (settings.x != kPanelPlaceUnset && settings.y != kPanelPlaceUnset) {
        relative.x -= work.left();
        relative.y -= work.top();
    }
    const PanelPoint place = PanelPlace(relative, mainWindowFrame.left() - work.left(),
                                        mainWindowFrame.top() - work.top(), outer.width(),
                                        outer.height(), work.width(), work.height());
    move(work.left() + place.x, work.top() + place.y);
    if (settings.shown) {
        show();
        Refresh();
    }
    SetShown(settings.shown);
}

PanelSettings SettingsPanel::State() const {
    const QPoint at = frameGeometry().topLeft();
    return PanelSettings{shown_, at.x(), at.y()};
}

void SettingsPanel::SaveState() const {
    SavePanelSettings(State());
}

// ---- Dragging by the background ----------------------------------------------------------------

void SettingsPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton && event->button() != Qt::RightButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    // The window system moves the window where it can (Wayland allows nothing else).
    if (QWindow* window = windowHandle(); window && window->startSystemMove()) return;
    dragging_ = true;
    dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void SettingsPanel::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    move(event->globalPosition().toPoint() - dragOffset_);
}

void SettingsPanel::mouseReleaseEvent(QMouseEvent* event) {
    dragging_ = false;
    QWidget::mouseReleaseEvent(event);
}

}  // namespace kelpa

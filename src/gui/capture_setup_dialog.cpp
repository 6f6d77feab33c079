#include "gui/capture_setup_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <algorithm>
#include <charconv>
#include <optional>
#include <string>

#include "app/application.h"
#include "common/time_text.h"

namespace kelpa {
namespace {

constexpr int kTemplateChars = 99;
constexpr int kNumberChars = 8;
// In CaptureFileType and CaptureContent order.
constexpr const char* kFileTypeNames[] = {"BMP", "SER", "FITS"};
constexpr const char* kContentNames[] = {"processed picture", "live picture (before processing)"};

// A whole unsigned 32-bit number and nothing else.
std::optional<uint32_t> ParseCount(const QString& text) {
    const std::string s = text.toStdString();
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (s.empty() || error != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return value;
}

QLineEdit* NumberEdit(QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setMaxLength(kNumberChars);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,8}"), edit));
    return edit;
}

// Observer and telescope: printable ASCII only, which is what a FITS header can hold and keeps
// one byte a character, so that the 40 characters fit the SER header's field and the stored key.
QLineEdit* HeaderTextEdit(QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setMaxLength(static_cast<int>(kCaptureTextChars));
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[\\x20-\\x7e]*"), edit));
    return edit;
}

// A stored text as the edit can hold it: other characters become '_'.
QString HeaderText(const std::string& stored) {
    QString text = QString::fromUtf8(stored).left(static_cast<qsizetype>(kCaptureTextChars));
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7e) c = u'_';
    }
    return text;
}

QComboBox* ChoiceBox(QWidget* parent, std::initializer_list<const char*> names) {
    auto* box = new QComboBox(parent);
    for (const char* name : names) box->addItem(name);
    return box;
}

QLineEdit* ReadOnlyEdit(QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setReadOnly(true);
    return edit;
}

}  // namespace

double NextCaptureTime(const VideoCtrl& ctrl) {
    const double last = ctrl.sink.lastSampleTime.load();
    const double fps = ctrl.sink.fps.load();
    if (ctrl.PlayState() == kStateStopped || last < 0.0 || !(fps > 0.0)) return 0.0;
    return last + 1.0 / fps;
}

CaptureSetupDialog::CaptureSetupDialog(Application& app, QWidget* parent)
    : QDialog(parent),
      ctrl_(app.Current()),
      chooseFolder_([](QWidget* owner, const QString& title, const QString& start) {
          return QFileDialog::getExistingDirectory(owner, title, start);
      }),
      warn_([](QWidget* owner, const QString& title, const QString& text) {
          QMessageBox::warning(owner, title, text);
      }) {
    setWindowTitle(kCaptureSetupTitle);

    template_ = new QLineEdit(this);
    template_->setObjectName("1009");
    template_->setMaxLength(kTemplateChars);
    directory_ = ReadOnlyEdit(this);
    directory_->setObjectName("1005");
    directoryButton_ = new QPushButton("Di&rectory:", this);
    directoryButton_->setObjectName("1019");
    directoryButton_->setAutoDefault(false);
    frames_ = NumberEdit(this);
    frames_->setObjectName("1100");
    delay_ = NumberEdit(this);
    delay_->setObjectName("1101");
    interval_ = ReadOnlyEdit(this);
    interval_->setObjectName("1103");
    fileType_ = ChoiceBox(this, {kFileTypeNames[0], kFileTypeNames[1], kFileTypeNames[2]});
    fileType_->setObjectName("fileType");
    fileType_->setToolTip(
        "BMP: a picture file per frame. SER: one video file per capture run. FITS: a picture "
        "file per frame with the time and the device in its header.");
    content_ = ChoiceBox(this, {kContentNames[0], kContentNames[1]});
    content_->setObjectName("content");
    content_->setToolTip(
        "The picture as the processing window shows it, or every frame as the device delivers "
        "it (what stacking programs want).");
    observer_ = HeaderTextEdit(this);
    observer_->setObjectName("observer");
    telescope_ = HeaderTextEdit(this);
    telescope_->setObjectName("telescope");
    lastCapture_ = new QLabel(this);
    lastCapture_->setObjectName("1016");
    lastCapture_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    nextName_ = ReadOnlyEdit(this);
    nextName_->setObjectName("nextName");

    auto* grid = new QGridLayout(this);
    int row = 0;
    const auto label = [this](const char* text, QWidget* buddy) {
        auto* l = new QLabel(text, this);
        l->setBuddy(buddy);
        return l;
    };
    grid->addWidget(directoryButton_, row, 0);
    grid->addWidget(directory_, row++, 1, 1, 3);
    grid->addWidget(label("&Template:", template_), row, 0);
    grid->addWidget(template_, row++, 1, 1, 3);
    grid->addWidget(label("&Frames:", frames_), row, 0);
    grid->addWidget(frames_, row++, 1);
    grid->addWidget(label("De&lay:", delay_), row, 0);
    grid->addWidget(delay_, row, 1);
    grid->addWidget(label("Interval:", interval_), row, 2);
    grid->addWidget(interval_, row++, 3);
    grid->addWidget(label("F&ormat:", fileType_), row, 0);
    grid->addWidget(fileType_, row, 1);
    grid->addWidget(label("&Picture:", content_), row, 2);
    grid->addWidget(content_, row++, 3);
    grid->addWidget(label("O&bserver:", observer_), row, 0);
    grid->addWidget(observer_, row++, 1, 1, 3);
    grid->addWidget(label("Tele&scope:", telescope_), row, 0);
    grid->addWidget(telescope_, row++, 1, 1, 3);
    grid->addWidget(new QLabel("Last Cap:", this), row, 0);
    grid->addWidget(lastCapture_, row++, 1, 1, 3);
    grid->addWidget(label("Next:", nextName_), row, 0);
    grid->addWidget(nextName_, row++, 1, 1, 3);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("1");
    grid->addWidget(buttons, row, 0, 1, 4);
    grid->setColumnStretch(3, 1);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    connect(directoryButton_, &QPushButton::clicked, this, &CaptureSetupDialog::ChooseDirectory);
    connect(frames_, &QLineEdit::textEdited, this, &CaptureSetupDialog::FramesChanged);
    connect(delay_, &QLineEdit::textEdited, this, &CaptureSetupDialog::DelayChanged);
    connect(frames_, &QLineEdit::editingFinished, this, &CaptureSetupDialog::FramesLeft);
    connect(delay_, &QLineEdit::editingFinished, this, &CaptureSetupDialog::DelayLeft);
    connect(template_, &QLineEdit::editingFinished, this, &CaptureSetupDialog::TemplateLeft);

    Fill();
    // After Fill, so that showing the stored settings does not write them back.
    connect(fileType_, &QComboBox::currentIndexChanged, this,
            &CaptureSetupDialog::FileSettingsChanged);
    connect(content_, &QComboBox::currentIndexChanged, this,
            &CaptureSetupDialog::FileSettingsChanged);
    connect(observer_, &QLineEdit::textEdited, this, &CaptureSetupDialog::FileSettingsChanged);
    connect(telescope_, &QLineEdit::textEdited, this, &CaptureSetupDialog::FileSettingsChanged);
    setMinimumWidth(460);
}

void CaptureSetupDialog::Fill() {
    if (ctrl_ == nullptr) {
        for (QWidget* w :
             std::initializer_list<QWidget*>{template_, directoryButton_, frames_, delay_,
                                             fileType_, content_, observer_, telescope_}) {
            w->setEnabled(false);
        }
        return;
    }
    const CaptureWriter& writer = ctrl_->sink.capture;
    const CaptureFileSettings files = writer.FileSettings();
    fileType_->setCurrentIndex(static_cast<int>(
        std::min<uint32_t>(files.fileType, static_cast<uint32_t>(CaptureFileType::kFits))));
    content_->setCurrentIndex(static_cast<int>(
        std::min<uint32_t>(files.content, static_cast<uint32_t>(CaptureContent::kLive))));
    observer_->setText(HeaderText(files.observer));
    telescope_->setText(HeaderText(files.telescope));
    EnableHeaderTexts();
    template_->setText(QString::fromUtf8(writer.CaptureTemplate()));
    directory_->setText(QString::fromUtf8(writer.CaptureDir()));
    frames_->setText(QString::number(writer.captureCount.load()));
    delay_->setText(QString::number(writer.captureFrameDelay.load()));
    ShowInterval();
    char last[kCapturePathSize + kNameSuffixRoom];
    const size_t n = writer.LastCapturePath(last, sizeof last);
    lastCapture_->setText(n > 0 ? QString::fromUtf8(last, static_cast<qsizetype>(n))
                                : QString("<none>"));
    ShowNextName();
}

void CaptureSetupDialog::EnableHeaderTexts() {
    // BMP files have no header to put them in.
    const bool headers = fileType_->currentIndex() != static_cast<int>(CaptureFileType::kBmp);
    observer_->setEnabled(headers);
    telescope_->setEnabled(headers);
}

void CaptureSetupDialog::FileSettingsChanged() {
    if (ctrl_ == nullptr) return;
    CaptureWriter& writer = ctrl_->sink.capture;
    CaptureFileSettings settings = writer.FileSettings();
    settings.fileType = static_cast<uint32_t>(std::max(fileType_->currentIndex(), 0));
    settings.content = static_cast<uint32_t>(std::max(content_->currentIndex(), 0));
    // The validator lets only printable ASCII in; Latin-1 keeps it byte for byte.
    settings.observer = observer_->text().toLatin1().toStdString();
    settings.telescope = telescope_->text().toLatin1().toStdString();
    writer.SetFileSettings(settings);
    EnableHeaderTexts();
    ShowNextName();
}

void CaptureSetupDialog::ShowInterval() {
    char text[kMsTimeTextSize + 8];
    const int32_t ms = ctrl_->sink.capture.captureIntervalMs;
    const int n = FormatMsTime(static_cast<uint32_t>(std::max(0, ms)), text, sizeof text);
    interval_->setText(n > 0 ? QString::fromLatin1(text, n) : QString());
}

void CaptureSetupDialog::ShowNextName() {
    char path[kCapturePathSize + kNameSuffixRoom];
    const size_t n = ctrl_->sink.capture.PreviewCaptureName(
        NextCaptureTime(*ctrl_), ctrl_->sink.fps.load(), path, sizeof path);
    nextName_->setText(QString::fromUtf8(path, static_cast<qsizetype>(n)));
}

void CaptureSetupDialog::FramesChanged(const QString& text) {
    if (ctrl_ == nullptr) return;
    if (const std::optional<uint32_t> count = ParseCount(text)) {
        ctrl_->sink.capture.captureCount.store(*count);
    }
}

void CaptureSetupDialog::DelayChanged(const QString& text) {
    if (ctrl_ == nullptr) return;
    const std::optional<uint32_t> delay = ParseCount(text);
    if (!delay) return;
    CaptureWriter& writer = ctrl_->sink.capture;
    writer.captureFrameDelay.store(*delay);
    writer.captureCountdown.store(0);
    // The interval as the controller computes it at every rate change, so both agree.
    ctrl_->sink.UpdateCaptureInterval();
    ShowInterval();
}

void CaptureSetupDialog::FramesLeft() {
    if (ctrl_ == nullptr || ParseCount(frames_->text())) return;
    frames_->setText(QString::number(ctrl_->sink.capture.captureCount.load()));
}

void CaptureSetupDialog::DelayLeft() {
    if (ctrl_ == nullptr || ParseCount(delay_->text())) return;
    delay_->setText(QString::number(ctrl_->sink.capture.captureFrameDelay.load()));
}

void CaptureSetupDialog::TemplateLeft() {
    if (ctrl_ == nullptr) return;
    CaptureWriter& writer = ctrl_->sink.capture;
    const QByteArray text = template_->text().left(kTemplateChars + 1).toUtf8();
    writer.SetCaptureTemplate(text.constData());
    template_->setText(QString::fromUtf8(writer.CaptureTemplate()));
    ShowNextName();
}

void CaptureSetupDialog::ChooseDirectory() {
    if (ctrl_ == nullptr) return;
    CaptureWriter& writer = ctrl_->sink.capture;
    const QString chosen =
        chooseFolder_(this, kCaptureFolderTitle, QString::fromUtf8(writer.CaptureDir()));
    if (!chosen.isEmpty() && !writer.SetCaptureDirectory(chosen.toUtf8().constData())) {
        warn_(this, "Warning", kCaptureFolderFailed);
    }
    directory_->setText(QString::fromUtf8(writer.CaptureDir()));
    ShowNextName();
}

int RunCaptureSetup(Application& app, QWidget* parent) {
    CaptureSetupDialog dialog(app, parent);
    dialog.exec();
    return 1;
}

}  // namespace kelpa

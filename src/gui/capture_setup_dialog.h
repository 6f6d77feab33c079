// "Capture Setup": the capture directory, the file-name template, the frame count and the frames
// skipped between written frames of the current video controller, with the interval that delay
// makes; the kind of file (BMP, SER, FITS), the picture taken (processed or live) and the
// observer and telescope texts of SER and FITS headers; the last file written and the name the
// next one would get.
//
// GUI thread only.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kelpa {

class Application;
class VideoCtrl;

inline constexpr const char* kCaptureSetupTitle = "Capture Setup";
inline constexpr const char* kCaptureFolderTitle = "Select directory for capturing";
inline constexpr const char* kCaptureFolderFailed = "Can`t set folder [long name!]...";

// The time of the frame a capture started now would write first: the start of the source when
// it stands stopped or has shown nothing yet, else the frame after the last processed one.
double NextCaptureTime(const VideoCtrl& ctrl);

class CaptureSetupDialog : public QDialog {
    Q_OBJECT

  public:
    // The folder browser (title, starting folder) -> chosen folder or "" when cancelled.
    using FolderChooser =
        std::function<QString(QWidget* parent, const QString& title, const QString& start)>;
    // A warning box (title, text).
    using WarningBox =
        std::function<void(QWidget* parent, const QString& title, const QString& text)>;

    // Filled from the current controller; without one the fields stay empty and disabled.
    explicit CaptureSetupDialog(Application& app, QWidget* parent = nullptr);

    // The platform's folder browser and message box unless replaced.
    void SetFolderChooser(FolderChooser chooser) { chooseFolder_ = std::move(chooser); }
    void SetWarningBox(WarningBox box) { warn_ = std::move(box); }

    // "Di&rectory:": browse for a folder and make it the capture directory.
    void ChooseDirectory();

    QLineEdit* TemplateEdit() const { return template_; }
    QLineEdit* DirectoryEdit() const { return directory_; }
    QPushButton* DirectoryButton() const { return directoryButton_; }
    QLineEdit* FramesEdit() const { return frames_; }
    QLineEdit* DelayEdit() const { return delay_; }
    QLineEdit* IntervalEdit() const { return interval_; }
    // Items in CaptureFileType and CaptureContent order.
    QComboBox* FileTypeBox() const { return fileType_; }
    QComboBox* ContentBox() const { return content_; }
    QLineEdit* ObserverEdit() const { return observer_; }
    QLineEdit* TelescopeEdit() const { return telescope_; }
    QLabel* LastCaptureText() const { return lastCapture_; }
    QLineEdit* NextNameEdit() const { return nextName_; }

  private:
    void Fill();
    void FramesChanged(const QString& text);
    void DelayChanged(const QString& text);
    void FramesLeft();
    void DelayLeft();
    void TemplateLeft();
    // A choice or a header text changed: the writer's file settings for the next run.
    void FileSettingsChanged();
    // The header texts take input only for the kinds of file that have a header.
    void EnableHeaderTexts();
    void ShowInterval();
    void ShowNextName();

    VideoCtrl* ctrl_;
    QLineEdit* template_ = nullptr;
    QLineEdit* directory_ = nullptr;
    QPushButton* directoryButton_ = nullptr;
    QLineEdit* frames_ = nullptr;
    QLineEdit* delay_ = nullptr;
    QLineEdit* interval_ = nullptr;
    QComboBox* fileType_ = nullptr;
    QComboBox* content_ = nullptr;
    QLineEdit* observer_ = nullptr;
    QLineEdit* telescope_ = nullptr;
    QLabel* lastCapture_ = nullptr;
    QLineEdit* nextName_ = nullptr;
    FolderChooser chooseFolder_;
    WarningBox warn_;
};

// Command 40009: runs the dialog modally. Returns 1 whichever way it was closed.
int RunCaptureSetup(Application& app, QWidget* parent);

}  // namespace kelpa

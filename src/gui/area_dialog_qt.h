// The "Processing Area [current input size]" dialog: four fields X, Y, W, H of at most four
// characters, "Half" and "Full", the BoundBox text, "&OK" and "&Cancel". A thin window over the
// area dialog model, which applies what is typed to the engine.
#pragma once

#include <QDialog>
#include <array>

#include "view/area_dialog.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace kelpa {

class ProcEngine;

class AreaDialog final : public QDialog {
    Q_OBJECT

  public:
    // `engine`: the current source's (nullptr: no video open). `memory` is kept by the caller
    // between dialogs: Cancel restores it, and it is shown while no video is open.
    AreaDialog(ProcEngine* engine, AreaRectMemory& memory, QWidget* parent = nullptr);

    // Reads the area again (after the mouse changed it).
    void Refresh();

    QLineEdit* Field(AreaField field) const { return fields_[static_cast<size_t>(field)]; }
    QLabel* BoundBox() const { return boundBox_; }
    QPushButton* HalfButton() const { return half_; }
    QPushButton* FullButton() const { return full_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

  signals:
    // The dialog changed the area: the processed window draws it.
    void areaChanged();

  public slots:
    // Both close the dialog with result 1; Cancel first puts the area back as it was when the
    // dialog opened. Esc and the close box cancel.
    void Ok();
    void Cancel();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override;

  private:
    void ShowFields();
    void FieldLeft(AreaField field);
    void HalfOrFull(bool full);

    AreaDialogModel model_;
    std::array<QLineEdit*, 4> fields_{};
    QLabel* boundBox_ = nullptr;
    QPushButton* half_ = nullptr;
    QPushButton* full_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    bool closing_ = false;
};

}  // namespace kelpa

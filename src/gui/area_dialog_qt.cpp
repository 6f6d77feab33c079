// The processing-area dialog's widgets.
#include "gui/area_dialog_qt.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kelpa {
namespace {

constexpr AreaField kFields[] = {AreaField::kX, AreaField::kY, AreaField::kWidth,
                                 AreaField::kHeight};
constexpr const char* kFieldLabels[] = {"X:", "Y:", "W:", "H:"};

}  // namespace

AreaDialog::AreaDialog(ProcEngine* engine, AreaRectMemory& memory, QWidget* parent)
    : QDialog(parent), model_(engine, memory) {
    setWindowTitle(kAreaDialogTitle);
    auto* grid = new QGridLayout;
    for (size_t i = 0; i < fields_.size(); ++i) {
        auto* edit = new QLineEdit(this);
        edit->setMaxLength(kAreaFieldMaxChars);
        edit->setObjectName(QString::number(kAreaEditX + static_cast<int>(i)));
        edit->installEventFilter(this);
        const AreaField field = kFields[i];
        connect(edit, &QLineEdit::textEdited, this, [this, field](const QString& text) {
            if (model_.TextChanged(field, text.toStdString())) emit areaChanged();
        });
        fields_[i] = edit;
        // X and Y on the left, W and H on the right.
        const int row = static_cast<int>(i % 2);
        const int column = static_cast<int>(i / 2) * 2;
        grid->addWidget(new QLabel(kFieldLabels[i], this), row, column);
        grid->addWidget(edit, row, column + 1);
    }
    half_ = new QPushButton("Half", this);
    full_ = new QPushButton("Full", this);
    half_->setAutoDefault(false);
    full_->setAutoDefault(false);
    half_->setEnabled(model_.HalfFullEnabled());
    full_->setEnabled(model_.HalfFullEnabled());
    connect(half_, &QPushButton::clicked, this, [this] { HalfOrFull(false); });
    connect(full_, &QPushButton::clicked, this, [this] { HalfOrFull(true); });
    auto* sizes = new QHBoxLayout;
    sizes->addWidget(half_);
    sizes->addWidget(full_);

    boundBox_ = new QLabel(this);
    auto* box = new QHBoxLayout;
    box->addWidget(new QLabel(kAreaBoundBoxLabel, this));
    box->addWidget(boundBox_, 1);

    ok_ = new QPushButton("&OK", this);
    cancel_ = new QPushButton("&Cancel", this);
    ok_->setDefault(true);
    cancel_->setAutoDefault(false);
    connect(ok_, &QPushButton::clicked, this, &AreaDialog::Ok);
    connect(cancel_, &QPushButton::clicked, this, &AreaDialog::Cancel);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(sizes);
    layout->addLayout(box);
    layout->addLayout(buttons);
    ShowFields();
}

void AreaDialog::ShowFields() {
    for (size_t i = 0; i < fields_.size(); ++i) {
        fields_[i]->setText(QString::number(model_.Field(kFields[i])));
    }
    boundBox_->setText(QString::fromStdString(model_.BoundBoxText()));
}

void AreaDialog::Refresh() {
    model_.Refresh();
    ShowFields();
}

bool AreaDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        for (size_t i = 0; i < fields_.size(); ++i) {
            if (watched == fields_[i]) FieldLeft(kFields[i]);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void AreaDialog::FieldLeft(AreaField field) {
    // The focus also leaves a field as the dialog closes: Cancel has put the area back by then.
    if (closing_) return;
    QLineEdit* edit = Field(field);
    bool changed = false;
    const std::string shown = model_.FieldLeft(field, edit->text().toStdString(), changed);
    edit->setText(QString::fromStdString(shown));
    boundBox_->setText(QString::fromStdString(model_.BoundBoxText()));
    if (changed) emit areaChanged();
}

void AreaDialog::HalfOrFull(bool full) {
    if (!(full ? model_.Full() : model_.Half())) return;
    ShowFields();
    emit areaChanged();
}

void AreaDialog::Ok() {
    closing_ = true;
    model_.Ok();
    done(1);
}

void AreaDialog::Cancel() {
    closing_ = true;
    model_.Cancel();
    emit areaChanged();
    done(1);
}

void AreaDialog::reject() {
    Cancel();
}

}  // namespace kelpa

#include "gui/delay_box.h"

#include <algorithm>
#include <string>

#include "common/time_text.h"

namespace kelpa {

std::optional<uint32_t> ParseDelayText(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return std::nullopt;
    const auto last = text.find_last_not_of(" \t");
    const std::string_view digits = text.substr(first, last - first + 1);
    uint64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > UINT32_MAX) return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

QString DelayText(uint32_t ms) {
    char text[kSecMsTextSize];
    FormatSecMs(ms, text, sizeof text);
    return QString::fromLatin1(text);
}

DelayBox::DelayBox(QWidget* parent) : QLineEdit(parent) {
    setMaxLength(kDelayBoxMaxLength);
    setFixedSize(50, 20);
    setAlignment(Qt::AlignCenter);
    setText(DelayText(0));
    connect(this, &QLineEdit::textEdited, this, &DelayBox::OnTextEdited);
    connect(this, &QLineEdit::returnPressed, this, &DelayBox::ShowDelayInForce);
}

void DelayBox::ShowDelay(uint32_t ms) {
    const QString text = DelayText(ms);
    if (this->text() != text) setText(text);
}

void DelayBox::ShowDelayInForce() {
    ShowDelay(source_ ? source_() : 0);
}

void DelayBox::OnTextEdited(const QString& text) {
    const std::optional<uint32_t> typed = ParseDelayText(text.toStdString());
    if (!typed) return;
    const uint32_t limited = std::min(*typed, kMaxTypedDelayMs);
    emit DelayTyped(limited);
    // Past the limit the box shows at once what was set instead of what was typed.
    if (limited != *typed) ShowDelayInForce();
}

void DelayBox::focusOutEvent(QFocusEvent* event) {
    ShowDelayInForce();
    QLineEdit::focusOutEvent(event);
}

}  // namespace kelpa

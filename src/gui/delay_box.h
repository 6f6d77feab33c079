// The toolbar's delay box (1042): shows the processing delay of the current video controller
// as seconds and milliseconds ("06:000"), and takes a number of milliseconds typed into it.
// A typed number takes effect at once, limited to 6000; the box shows the delay in force again
// when it loses the focus or Enter is pressed, so text that is not a number never stays.
#pragma once

#include <QLineEdit>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace kelpa {

inline constexpr uint32_t kMaxTypedDelayMs = 6000;
inline constexpr int kDelayBoxMaxLength = 6;

// A whole unsigned decimal number, blanks around it allowed; nullopt for anything else (an
// empty text, a sign, a time text such as "06:000", a number past 32 bits).
std::optional<uint32_t> ParseDelayText(std::string_view text);

// "%02u:%03u" of seconds and milliseconds; 60000 ms and more show as "59:000".
QString DelayText(uint32_t ms);

class DelayBox final : public QLineEdit {
    Q_OBJECT

  public:
    explicit DelayBox(QWidget* parent = nullptr);

    // Where the box reads the delay in force when it shows it again.
    void SetDelaySource(std::function<uint32_t()> source) { source_ = std::move(source); }
    // Shows `ms` (the automatic control, the panel, a new source changed it).
    void ShowDelay(uint32_t ms);

  signals:
    // A number was typed; `ms` is already limited to kMaxTypedDelayMs.
    void DelayTyped(uint32_t ms);

  protected:
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void OnTextEdited(const QString& text);
    void ShowDelayInForce();

    std::function<uint32_t()> source_;
};

}  // namespace kelpa

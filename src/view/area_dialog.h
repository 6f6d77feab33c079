// The "Processing Area" dialog without its widgets: the four fields X, Y, W, H, the "Half" and
// "Full" buttons, the BoundBox text, OK and Cancel. The dialog window shows what this model
// holds and passes the user's input to it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelpa {

class ProcEngine;

inline constexpr const char* kAreaDialogTitle = "Processing Area [current input size]";
inline constexpr const char* kAreaBoundBoxLabel = "BoundBox:";
// Control identifiers.
inline constexpr int32_t kAreaEditX = 1143;
inline constexpr int32_t kAreaEditY = 1144;
inline constexpr int32_t kAreaEditWidth = 1145;
inline constexpr int32_t kAreaEditHeight = 1146;
inline constexpr int32_t kAreaButtonHalf = 1104;
inline constexpr int32_t kAreaButtonFull = 1105;
inline constexpr int32_t kAreaBoundBoxText = 1148;
// Characters each field accepts.
inline constexpr int32_t kAreaFieldMaxChars = 4;

enum class AreaField : uint8_t { kX, kY, kWidth, kHeight };

// The area as the dialog last showed it; kept by the main window between dialogs. Cancel
// restores it, and it is shown while no video is open.
struct AreaRectMemory {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 50;
    int32_t bottom = 50;
};

struct AreaFieldValues {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    friend bool operator==(const AreaFieldValues&, const AreaFieldValues&) = default;
};

// A field's text as a number: optional sign and decimal digits, nothing else; false otherwise.
bool ParseAreaNumber(std::string_view text, int32_t& value);

class AreaDialogModel {
  public:
    // Opens the dialog on the engine of the current source (nullptr: no video open) and
    // remembers the area shown, for Cancel.
    AreaDialogModel(ProcEngine* engine, AreaRectMemory& memory);

    const AreaFieldValues& Fields() const { return fields_; }
    int32_t Field(AreaField field) const;
    const std::string& BoundBoxText() const { return boundBox_; }
    bool HalfFullEnabled() const { return engine_ != nullptr; }

    // Reads the fields and the BoundBox text from the area again (after a mouse edit).
    void Refresh();

    // The field's text changed: a valid number different from the current value is applied
    // at once. True when the area changed.
    bool TextChanged(AreaField field, std::string_view text);
    // The field lost the focus: the text it shows now (the value the area took, or the
    // current value when the text was not a number). `areaChanged` tells whether it moved.
    std::string FieldLeft(AreaField field, std::string_view text, bool& areaChanged);

    // "Half": the area half the picture, centred; "Full": the whole picture. Nothing when the
    // area already is that; true when the area was set and must be redrawn.
    bool Half();
    bool Full();

    // Both close the dialog; Cancel first puts back the area the dialog opened with. The area
    // then shown is remembered.
    void Ok();
    void Cancel();

  private:
    bool Apply(AreaField field, int32_t value);
    bool SetCentred(float size);
    void Remember();

    ProcEngine* engine_;
    AreaRectMemory& memory_;
    AreaFieldValues fields_;
    std::string boundBox_;
};

}  // namespace kelpa

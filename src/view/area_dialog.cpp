// The model of the processing-area dialog: fields from the area's fractions, the bounding box
// from its pixels, and the edits applied through the engine's area setters.
#include "view/area_dialog.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <mutex>

#include "processing/proc_engine.h"

namespace kelpa {
namespace {

// One axis of the shown rectangle from the fractions, computed as the engine computes the
// area but without clamping it to the picture.
void FieldSpan(float centre, float size, int32_t extent, int32_t& start, int32_t& length) {
    const float sizePixels = static_cast<float>(extent) * size;
    length = sizePixels < 0.5f ? 0 : static_cast<int32_t>(std::lround(sizePixels));
    const int32_t end = static_cast<int32_t>((size * 0.5f + centre) * static_cast<float>(extent));
    start = end - length;
}

}  // namespace

bool ParseAreaNumber(std::string_view text, int32_t& value) {
    // One sign at most; from_chars reads a '-' but not a '+'.
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') return false;
    }
    if (text.empty()) return false;
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && ptr == end;
}

AreaDialogModel::AreaDialogModel(ProcEngine* engine, AreaRectMemory& memory)
    : engine_(engine), memory_(memory) {
    Refresh();
    Remember();
}

int32_t AreaDialogModel::Field(AreaField field) const {
    switch (field) {
        case AreaField::kX:
            return fields_.x;
        case AreaField::kY:
            return fields_.y;
        case AreaField::kWidth:
            return fields_.width;
        case AreaField::kHeight:
            return fields_.height;
    }
    return 0;
}

void AreaDialogModel::Refresh() {
    if (!engine_) {
        fields_ = {memory_.left, memory_.top, memory_.right - memory_.left,
                   memory_.bottom - memory_.top};
        boundBox_.clear();
        return;
    }
    std::lock_guard lock(engine_->chainLock);
    const FrameBuffer& picture = engine_->surf.Picture();
    const ProcParams& p = engine_->params;
    FieldSpan(p.areaX, p.areaW, picture.width, fields_.x, fields_.width);
    FieldSpan(p.areaY, p.areaH, picture.height, fields_.y, fields_.height);
    // The bounding box in the rows of the picture as shown.
    const ProcArea& a = engine_->area;
    const int32_t top = engine_->surf.HeaderHeight() > 0 ? picture.height - a.y1 : a.y0;
    char text[64];
    std::snprintf(text, sizeof text, "( %d, %d, %d, %d )", a.x0, top, a.w, a.h);
    boundBox_ = text;
}

bool AreaDialogModel::Apply(AreaField field, int32_t value) {
    if (!engine_) {
        // Without a video only the width is kept, in the remembered rectangle.
        if (field == AreaField::kWidth) {
            memory_.right = memory_.left + std::max(value, 0);
            fields_.width = memory_.right - memory_.left;
        }
        return false;
    }
    bool changed = false;
    switch (field) {
        case AreaField::kX:
            changed = engine_->SetAreaLeft(value);
            break;
        case AreaField::kY:
            changed = engine_->SetAreaTop(value);
            break;
        case AreaField::kWidth:
            changed = engine_->SetAreaWidth(value);
            break;
        case AreaField::kHeight:
            changed = engine_->SetAreaHeight(value);
            break;
    }
    Refresh();
    return changed;
}

bool AreaDialogModel::TextChanged(AreaField field, std::string_view text) {
    int32_t value;
    if (!ParseAreaNumber(text, value) || value == Field(field)) return false;
    return Apply(field, value);
}

std::string AreaDialogModel::FieldLeft(AreaField field, std::string_view text, bool& areaChanged) {
    areaChanged = false;
    int32_t value;
    if (ParseAreaNumber(text, value) && value != Field(field)) {
        areaChanged = Apply(field, value);
    }
    return std::to_string(Field(field));
}

bool AreaDialogModel::SetCentred(float size) {
    if (!engine_) return false;
    {
        std::lock_guard lock(engine_->chainLock);
        const ProcParams& p = engine_->params;
        if (p.areaX == 0.5f && p.areaY == 0.5f && p.areaW == size && p.areaH == size) return false;
        engine_->SetAreaFractions(0.5f, 0.5f, size, size);
    }
    Refresh();
    return true;
}

bool AreaDialogModel::Half() {
    return SetCentred(0.5f);
}

bool AreaDialogModel::Full() {
    return SetCentred(1.0f);
}

void AreaDialogModel::Remember() {
    memory_ = {fields_.x, fields_.y, fields_.x + fields_.width, fields_.y + fields_.height};
}

void AreaDialogModel::Ok() {
    Refresh();
    Remember();
}

void AreaDialogModel::Cancel() {
    if (engine_) engine_->SetAreaRect(memory_.left, memory_.top, memory_.right, memory_.bottom);
    Refresh();
    Remember();
}

}  // namespace kelpa

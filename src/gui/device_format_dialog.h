// "Video Format": the capture device's formats, sizes and frame rates as its caps offer them,
// the one in use preselected. Ranges (a device that scales, a free frame rate) are offered as the
// usual sizes and rates that lie inside them.
#pragma once

#include <QDialog>
#include <cstdint>
#include <vector>

#include "media/capture_graph.h"
#include "media/device_pages.h"

class QComboBox;

namespace kelpa {

struct FrameSize {
    int32_t width = 0;
    int32_t height = 0;
    friend bool operator==(const FrameSize&, const FrameSize&) = default;
};

// The subtypes offered, in the order of the offers, each once.
std::vector<uint32_t> OfferedSubtypes(const std::vector<FormatOffer>& offers);
// The sizes offered for a subtype, largest first.
std::vector<FrameSize> OfferedSizes(const std::vector<FormatOffer>& offers, uint32_t subtype);
// The times per frame (100 ns units) offered for a subtype at a size, shortest (fastest)
// first.
std::vector<int64_t> OfferedTimesPerFrame(const std::vector<FormatOffer>& offers, uint32_t subtype,
                                          FrameSize size);

class DeviceFormatDialog final : public QDialog {
    Q_OBJECT

  public:
    DeviceFormatDialog(const std::vector<FormatOffer>& offers, const PreferredFormat& current,
                       QWidget* parent = nullptr);

    // The format chosen (what the combo boxes show).
    PreferredFormat Chosen() const;

    QComboBox* Formats() const { return formats_; }
    QComboBox* Sizes() const { return sizes_; }
    QComboBox* Rates() const { return rates_; }

  private:
    void FillSizes(FrameSize wanted);
    void FillRates(int64_t wanted);

    std::vector<FormatOffer> offers_;
    QComboBox* formats_;
    QComboBox* sizes_;
    QComboBox* rates_;
};

}  // namespace kelpa

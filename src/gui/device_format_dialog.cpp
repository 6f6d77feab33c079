#include "gui/device_format_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <algorithm>
#include <cmath>

#include "media/media_format.h"

namespace kelpa {
namespace {

constexpr int64_t kUnitsPerSecond = 10'000'000;

// What a device that scales freely is offered at.
constexpr FrameSize kCommonSizes[] = {
    {1920, 1080}, {1600, 1200}, {1280, 1024}, {1280, 960}, {1280, 720}, {1024, 768}, {800, 600},
    {720, 576},   {640, 480},   {352, 288},   {320, 240},  {176, 144},  {160, 120}};
// Frame rates offered inside a free range, frames per second.
constexpr double kCommonRates[] = {60, 50, 30, 25, 20, 15, 10, 7.5, 5, 2, 1};

bool Inside(const FormatOffer& offer, FrameSize size) {
    return size.width >= offer.minWidth && size.width <= offer.maxWidth &&
           size.height >= offer.minHeight && size.height <= offer.maxHeight;
}

QString RateText(int64_t timePerFrame) {
    const double fps = static_cast<double>(kUnitsPerSecond) / static_cast<double>(timePerFrame);
    return QStringLiteral("%1 fps").arg(fps, 0, 'g', 4);
}

}  // namespace

std::vector<uint32_t> OfferedSubtypes(const std::vector<FormatOffer>& offers) {
    std::vector<uint32_t> subtypes;
    for (const FormatOffer& offer : offers) {
        if (std::find(subtypes.begin(), subtypes.end(), offer.subtype) == subtypes.end()) {
            subtypes.push_back(offer.subtype);
        }
    }
    return subtypes;
}

std::vector<FrameSize> OfferedSizes(const std::vector<FormatOffer>& offers, uint32_t subtype) {
    std::vector<FrameSize> sizes;
    const auto add = [&sizes](FrameSize size) {
        if (std::find(sizes.begin(), sizes.end(), size) == sizes.end()) sizes.push_back(size);
    };
    for (const FormatOffer& offer : offers) {
        if (offer.subtype != subtype) continue;
        if (offer.minWidth == offer.maxWidth && offer.minHeight == offer.maxHeight) {
            add({offer.maxWidth, offer.maxHeight});
            continue;
        }
        add({offer.maxWidth, offer.maxHeight});
        for (const FrameSize& size : kCommonSizes) {
            if (Inside(offer, size)) add(size);
        }
    }
    std::sort(sizes.begin(), sizes.end(), [](const FrameSize& a, const FrameSize& b) {
        return int64_t{a.width} * a.height > int64_t{b.width} * b.height ||
               (int64_t{a.width} * a.height == int64_t{b.width} * b.height && a.width > b.width);
    });
    return sizes;
}

std::vector<int64_t> OfferedTimesPerFrame(const std::vector<FormatOffer>& offers, uint32_t subtype,
                                          FrameSize size) {
    std::vector<int64_t> times;
    const auto add = [&times](int64_t t) {
        if (t > 0 && std::find(times.begin(), times.end(), t) == times.end()) times.push_back(t);
    };
    for (const FormatOffer& offer : offers) {
        if (offer.subtype != subtype || !Inside(offer, size)) continue;
        for (int64_t t : offer.timesPerFrame) add(t);
        if (offer.minTimePerFrame > 0) {
            for (double fps : kCommonRates) {
                const auto t = static_cast<int64_t>(std::llround(kUnitsPerSecond / fps));
                if (t >= offer.minTimePerFrame &&
                    (offer.maxTimePerFrame == 0 || t <= offer.maxTimePerFrame)) {
                    add(t);
                }
            }
        }
    }
    std::sort(times.begin(), times.end());
    return times;
}

DeviceFormatDialog::DeviceFormatDialog(const std::vector<FormatOffer>& offers,
                                       const PreferredFormat& current, QWidget* parent)
    : QDialog(parent),
      offers_(offers),
      formats_(new QComboBox(this)),
      sizes_(new QComboBox(this)),
      rates_(new QComboBox(this)) {
    setWindowTitle(QStringLiteral("Video Format"));
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("&Format:"), formats_);
    form->addRow(QStringLiteral("&Size:"), sizes_);
    form->addRow(QStringLiteral("Frame &rate:"), rates_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    for (uint32_t subtype : OfferedSubtypes(offers_)) {
        formats_->addItem(QString::fromStdString(SubtypeName(subtype)), subtype);
    }
    const int format = formats_->findData(current.subtype);
    formats_->setCurrentIndex(std::max(format, 0));
    FillSizes({current.width, current.height});
    FillRates(current.timePerFrame);
    connect(formats_, &QComboBox::currentIndexChanged, this, [this] {
        FillSizes(Chosen().width > 0 ? FrameSize{Chosen().width, Chosen().height} : FrameSize{});
        FillRates(Chosen().timePerFrame);
    });
    connect(sizes_, &QComboBox::currentIndexChanged, this,
            [this] { FillRates(Chosen().timePerFrame); });
}

void DeviceFormatDialog::FillSizes(FrameSize wanted) {
    const QSignalBlocker block(sizes_);
    sizes_->clear();
    const uint32_t subtype = formats_->currentData().toUInt();
    for (const FrameSize& size : OfferedSizes(offers_, subtype)) {
        sizes_->addItem(QStringLiteral("%1 x %2").arg(size.width).arg(size.height),
                        QSize(size.width, size.height));
    }
    const int found = sizes_->findData(QSize(wanted.width, wanted.height));
    sizes_->setCurrentIndex(std::max(found, 0));
}

void DeviceFormatDialog::FillRates(int64_t wanted) {
    const QSignalBlocker block(rates_);
    rates_->clear();
    const QSize size = sizes_->currentData().toSize();
    const std::vector<int64_t> times = OfferedTimesPerFrame(
        offers_, formats_->currentData().toUInt(), {size.width(), size.height()});
    for (int64_t t : times) rates_->addItem(RateText(t), QVariant::fromValue<qlonglong>(t));
    // The nearest rate offered to the one in use.
    int best = 0;
    for (int i = 1; i < static_cast<int>(times.size()); ++i) {
        if (std::llabs(times[i] - wanted) < std::llabs(times[best] - wanted)) best = i;
    }
    rates_->setCurrentIndex(times.empty() ? -1 : best);
}

PreferredFormat DeviceFormatDialog::Chosen() const {
    PreferredFormat chosen;
    chosen.subtype = formats_->currentData().toUInt();
    const QSize size = sizes_->currentData().toSize();
    chosen.width = size.width();
    chosen.height = size.height();
    chosen.timePerFrame = rates_->currentIndex() >= 0 ? rates_->currentData().toLongLong() : 0;
    return chosen;
}

}  // namespace kelpa

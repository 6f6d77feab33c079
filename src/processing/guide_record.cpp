// The guide step's measurements handed to a recorder: the position, its offset from the guide
// reference, and the size and signal-to-noise ratio the guide step measured around it.
#include "processing/guide_record.h"

#include <mutex>

#include "processing/proc_engine.h"

namespace kelpa {

void ProcEngine::SetGuideRecorder(GuideRecorder* recorder) {
    std::lock_guard lock(chainLock);
    guideRecorder_ = recorder;
}

void ProcEngine::RecordGuide(float sx, float sy) {
    if (guideRecorder_ == nullptr || !guideRecorder_->Recording()) return;
    GuideMeasurement m;
    if (sx >= 0.0f) {
        m.star = true;
        m.x = sx;
        m.y = sy;
        m.dx = sx - guideRefX[0];
        m.dy = sy - guideRefY[0];
        if (starMetrics_.valid) {
            m.metrics = true;
            m.hfd = starMetrics_.hfd;
            m.snr = starMetrics_.snr;
        }
    }
    guideRecorder_->GuideMeasured(m);
}

}  // namespace kelpa

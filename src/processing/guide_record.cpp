// The guide step's measurements handed to a recorder, with the star's size and signal-to-noise
// ratio measured around the position the guide step found.
#include "processing/guide_record.h"

#include <mutex>

#include "processing/centroid_refine.h"
#include "processing/output_stage.h"
#include "processing/proc_engine.h"

namespace kelpa {

void ProcEngine::SetGuideRecorder(GuideRecorder* recorder) {
    std::lock_guard lock(chainLock);
    guideRecorder_ = recorder;
}

void ProcEngine::RecordGuide(const WorkPlane* plane, float sx, float sy) {
    if (guideRecorder_ == nullptr || !guideRecorder_->Recording()) return;
    GuideMeasurement m;
    if (sx >= 0.0f) {
        m.star = true;
        m.x = sx;
        m.y = sy;
        m.dx = sx - guideRefX[0];
        m.dy = sy - guideRefY[0];
        const PixelWindow& g = guideWindow;
        const Rect window{g.left, g.top, g.width, g.height};
        GuideStar star;
        if (plane) {
            star = MeasureGuideStar(plane->view, window, sx, sy, false);
        } else {
            std::lock_guard out(surf.PictureLock());
            const FrameBuffer& picture = surf.Picture();
            if (picture.data && g.left >= 0 && g.top >= 0 && g.width > 0 && g.height > 0 &&
                g.left + g.width <= picture.width && g.top + g.height <= picture.height) {
                star = MeasureGuideStar(PictureView(picture, processor && processor->colour),
                                        window, sx, sy, false);
            }
        }
        if (star.metrics.valid) {
            m.metrics = true;
            m.hfd = star.metrics.hfd;
            m.snr = star.metrics.snr;
        }
    }
    guideRecorder_->GuideMeasured(m);
}

}  // namespace kelpa

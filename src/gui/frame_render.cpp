// Taking, laying out and painting the frames of the live and processed windows.
#include "gui/frame_render.h"

#include <QPainter>
#include <mutex>

#include "processing/proc_engine.h"

namespace kelpa {
namespace {

void PaintBlack(QPainter& painter, QSize client) {
    painter.fillRect(QRect(QPoint(0, 0), client), Qt::black);
}

// The copy's own size and row order, so that a stale overlay never mis-places the picture.
void AdoptPicture(const PictureCopy& copy, OverlaySource& source) {
    source.imageWidth = copy.Picture().width;
    source.imageHeight = copy.Picture().height;
    source.flipped = copy.Header().height < 0;
}

}  // namespace

void LiveFrame::Take(const LiveSurf* surface) {
    if (surface == nullptr) {
        painter_.SetPicture(nullptr);
        return;
    }
    surface->CopyPicture(&copy_);  // an empty surface leaves the copy empty
    painter_.SetPicture(&copy_);
}

void LiveFrame::Paint(QPainter& painter, QSize client) {
    if (!painter_.HasPicture()) {
        PaintBlack(painter, client);
        return;
    }
    const FrameBuffer& picture = copy_.Picture();
    FitLayout(layout_, picture.width, picture.height, client.width(), client.height());
    list_.Clear();
    AddBands(layout_, list_);
    BuildLiveFrame(layout_, list_);
    painter_.Paint(painter, list_);
}

void ProcFrame::Take(ProcEngine* engine) {
    videoOpen_ = engine != nullptr;
    if (engine == nullptr) {
        painter_.SetPicture(nullptr);
        return;
    }
    {
        std::unique_lock chain(engine->chainLock, std::try_to_lock);
        if (chain.owns_lock()) source_ = SnapshotOverlay(*engine);
        // Inside the chain lock when it is held: the picture of the same moment (chain lock
        // first, then the surface's, as the engine nests them).
        engine->surf.CopyPicture(&copy_);
    }
    AdoptPicture(copy_, source_);
    painter_.SetPicture(&copy_);
}

void ProcFrame::TakeOverlay(ProcEngine& engine) {
    videoOpen_ = true;
    source_ = SnapshotOverlay(engine);
}

void ProcFrame::LayOut(QSize client, const ProcViewFlags& flags) {
    FitProcLayout(view_.layout, source_.imageWidth, source_.imageHeight, client.width(),
                  client.height(), source_.virtualGuideActive);
    UpdateOverlayGeometry(view_, source_, flags.guideArea);
}

void ProcFrame::Paint(QPainter& painter, QSize client, const ProcViewFlags& flags) {
    if (!videoOpen_ || !painter_.HasPicture()) {
        PaintBlack(painter, client);
        return;
    }
    LayOut(client, flags);
    FrameStyle style;
    style.stretchMode = flags.stretchMode;
    style.showGrid = flags.guideGrid;
    style.showArea = flags.guideArea;
    style.autoMovePen = source_.autoMove;
    style.virtualGuideActive = source_.virtualGuideActive;
    list_.Clear();
    AddBands(view_.layout, list_);
    BuildProcFrame(view_, style, list_);
    painter_.Paint(painter, list_);
}

}  // namespace kelpa

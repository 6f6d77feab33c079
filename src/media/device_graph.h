// What the device list and its pages need from the capture-device graph: building it for the
// chosen device, clearing it and reconnecting it after a format change. The program passes its
// CaptureGraph through CaptureGraphAdapter; tests pass a fake.
//
// GUI thread only.
#pragma once

#include <cstdint>

#include "media/capture_graph.h"

namespace kelpa {

class DeviceGraph {
  public:
    virtual ~DeviceGraph() = default;
    virtual MediaResult ActivateCaptureGraph() = 0;
    virtual MediaResult ReconnectAfterFormatChange() = 0;
    // Removes everything downstream of the device.
    virtual void ClearGraph() = 0;
    // Releases the whole graph (the device is gone).
    virtual void Teardown() = 0;
    // Where the graph's events go.
    virtual void SetEvents(StreamEvents* events) = 0;
};

class CaptureGraphAdapter final : public DeviceGraph {
  public:
    explicit CaptureGraphAdapter(CaptureGraph& graph) : graph_(graph) {}
    MediaResult ActivateCaptureGraph() override { return graph_.ActivateCaptureGraph(); }
    MediaResult ReconnectAfterFormatChange() override {
        return graph_.ReconnectAfterFormatChange();
    }
    void ClearGraph() override { graph_.ClearGraph(); }
    void Teardown() override { graph_.Teardown(); }
    void SetEvents(StreamEvents* events) override { graph_.SetEvents(events); }

  private:
    CaptureGraph& graph_;
};

}  // namespace kelpa

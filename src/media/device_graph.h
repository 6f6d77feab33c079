// What the device list and its pages need from the capture-device graph: building it for the
// chosen device, clearing it and reconnecting it after a format change. The program passes its
// CaptureGraph through CaptureGraphAdapter; tests pass a fake.
//
// GUI thread only.
#pragma once

#include <cstdint>

#include "media/capture_graph.h"
#include "platform/message_target.h"

namespace kelpa {

class DeviceGraph {
  public:
    virtual ~DeviceGraph() = default;
    virtual int32_t ActivateCaptureGraph() = 0;
    virtual int32_t ReconnectAfterFormatChange() = 0;
    // Removes everything downstream of the device.
    virtual void ClearGraph() = 0;
    // Releases the whole graph (the device is gone).
    virtual void Teardown() = 0;
    // Where the graph's events go.
    virtual void SetMainWindow(MessageTarget* window) = 0;
};

class CaptureGraphAdapter final : public DeviceGraph {
  public:
    explicit CaptureGraphAdapter(CaptureGraph& graph) : graph_(graph) {}
    int32_t ActivateCaptureGraph() override { return graph_.ActivateCaptureGraph(); }
    int32_t ReconnectAfterFormatChange() override { return graph_.ReconnectAfterFormatChange(); }
    void ClearGraph() override { graph_.ClearGraph(); }
    void Teardown() override { graph_.Teardown(); }
    void SetMainWindow(MessageTarget* window) override { graph_.SetMainWindow(window); }

  private:
    CaptureGraph& graph_;
};

}  // namespace kelpa

// The dump of a whole media graph into the process log: every filter, every pin with its
// direction and connection, and the media type of each connection. It walks the graph through
// a small interface, so the lines are written (and tested) without any media framework; the
// GStreamer layer walks a pipeline's elements and pads through it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "diag/media_type_log.h"

namespace kelpa {

struct PinRecord {
    std::string name;
    bool isInput = false;
    uintptr_t peer = 0;  // identity of the connected pin; 0 = not connected
};

// Filters and pins are named by their identities (their addresses), which the dump prints.
// Every call may fail; the dump writes the failure and goes on.
class GraphWalker {
  public:
    virtual ~GraphWalker() = default;
    virtual uintptr_t Identity() = 0;
    virtual bool EnumFilters(std::vector<uintptr_t>* filters) = 0;
    virtual bool QueryFilterName(uintptr_t filter, std::string* name) = 0;
    virtual bool EnumPins(uintptr_t filter, std::vector<uintptr_t>* pins) = 0;
    virtual bool QueryPin(uintptr_t pin, PinRecord* info) = 0;
    // The media type of a connected pin's connection; false when it cannot be read.
    virtual bool ConnectionType(uintptr_t pin, MediaTypeRecord* type) = 0;
};

// Writes the graph's block of lines; nothing for a null graph. Never fails to its caller.
void DumpGraph(GraphWalker* graph);

}  // namespace kelpa

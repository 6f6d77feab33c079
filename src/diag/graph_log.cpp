// The dump of a whole media graph into the process log.
#include "diag/graph_log.h"

#include <cinttypes>

#include "common/log.h"

namespace kelpa {
namespace {

void DumpPin(GraphWalker& graph, uintptr_t pin) {
    PinRecord info;
    if (!graph.QueryPin(pin, &info)) {
        LogPrintf("Pin [%" PRIxPTR "]  -- failed QueryPinInfo", pin);
        return;
    }
    const char* direction = info.isInput ? "In" : "Out";
    if (info.peer == 0) {
        LogPrintf("%s", direction);
        return;
    }
    LogPrintf("Pin [%" PRIxPTR "]  '%s' [%sput]  Connected to pin [%" PRIxPTR "]", pin,
              info.name.c_str(), direction, info.peer);
    MediaTypeRecord type;
    if (graph.ConnectionType(pin, &type)) LogMediaTypeTry("Connection type", type, true);
}

void DumpFilter(GraphWalker& graph, uintptr_t filter) {
    std::string name;
    if (!graph.QueryFilterName(filter, &name)) {
        LogPrintf("Filter [%" PRIxPTR "]  -- failed QueryFilterInfo", filter);
        return;
    }
    LogPrintf("Filter [%" PRIxPTR "]  '%s'", filter, name.c_str());
    std::vector<uintptr_t> pins;
    if (!graph.EnumPins(filter, &pins)) {
        LogPrintf("EnumPins failed!");
        return;
    }
    for (uintptr_t pin : pins) DumpPin(graph, pin);
}

}  // namespace

void DumpGraph(GraphWalker* graph) {
    if (graph == nullptr) return;
    LogPrintf("\nDumpGraph [0x%" PRIXPTR "]", graph->Identity());
    std::vector<uintptr_t> filters;
    if (!graph->EnumFilters(&filters)) {
        LogPrintf("EnumFilters failed!");
        return;
    }
    for (uintptr_t filter : filters) DumpFilter(*graph, filter);
    LogPrintf("\n");
}

}  // namespace kelpa

#pragma once
#include <string>
#include <vector>

#include "app/HistorySample.h"

namespace pyx {

// The newest sample of each GPU in Prometheus's text exposition format (version 0.0.4): one
// gauge family per series in base units (hertz, celsius, watts, ratios of 1), each GPU a
// sample labelled gpu="N". A series no GPU reported is left out rather than sent as 0.
class MetricsText {
public:
    static constexpr const char* kContentType = "text/plain; version=0.0.4; charset=utf-8";
    static std::string Render(const std::vector<HistorySample>& latest);
};

}  // namespace pyx

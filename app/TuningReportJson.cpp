#include "app/TuningReportJson.h"

namespace pyx {

nlohmann::json RefusalJson(const TuningWriteResult& r) {
    return {{"gpu", r.gpu},
            {"operation", OperationKey(r.operation)},
            {"value", r.value},
            {"unit", OperationUnit(r.operation)},
            {"status", r.status}};
}

nlohmann::json RefusalJsonWithWords(const TuningWriteResult& r) {
    nlohmann::json j = RefusalJson(r);
    j["write"] = DescribeWrite(r);
    j["statusText"] = StatusInWords(r.status);
    return j;
}

nlohmann::json RefusalsWithWords(const TuningReport& report) {
    nlohmann::json refusals = nlohmann::json::array();
    for (const TuningWriteResult& r : report.Refusals()) refusals.push_back(RefusalJsonWithWords(r));
    return refusals;
}

nlohmann::json WithoutWords(nlohmann::json refusal) {
    refusal.erase("write");
    refusal.erase("statusText");
    return refusal;
}

}  // namespace pyx

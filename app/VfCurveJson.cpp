#include "app/VfCurveJson.h"

namespace pyx {

nlohmann::json VfCurveJson(const VfCurve& curve) {
    nlohmann::json domains = nlohmann::json::array();
    for (const VfDomain& d : curve.domains)
        domains.push_back({{"index", d.index},
                           {"type", ClockTypeName(d.type)},
                           {"domain", ClockDomainName(d.domainId)},
                           {"offsetMaxKHz", d.offsetMaxKHz},
                           {"offsetMinKHz", d.offsetMinKHz},
                           {"firstVfPoint", d.firstVfPoint},
                           {"lastVfPoint", d.lastVfPoint}});
    nlohmann::json points = nlohmann::json::array();
    for (const VfPoint& p : curve.points)
        points.push_back({{"index", p.index},
                          {"type", ClockTypeName(p.type)},
                          {"voltageBased", p.voltageBased ? 1 : 0},
                          {"offsetKHz", p.offsetKHz}});
    return {{"domains", domains}, {"vfPoints", points}};
}

}  // namespace pyx

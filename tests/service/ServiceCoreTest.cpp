#include <string>

#include <gtest/gtest.h>

#include "service/core/ServiceCore.h"
#include "sim/SimScenario.h"
#include "tests/support/SimWorld.h"

namespace pyx {
namespace {

// Reading for everyone; tuning for uid 1000 alone.
class TunerOnly final : public AccessPolicy {
public:
    AccessDecision Decide(const PeerCredentials& peer, AccessClass access) const override {
        if (access == AccessClass::Read || peer.uid == 1000) return {true, {}};
        return {false, "not a tuner"};
    }
};

struct CoreCase {
    uint32_t uid;
    std::string line;
    const char* error;           // nullptr: answered
    const char* says;            // in the message, or in the answer's text
    bool cardWritten;            // whether the request wrote to the card (its trace)
};

// Each request is answered only after its shape, its peer's rights and the cards' ranges were
// checked, and a refused one never reaches the card.
TEST(ServiceCore, RequestsAreCheckedBeforeTheyReachACard) {
    test::SimWorld world(sim::SimScenario::DefaultJson());
    const TunerOnly policy;
    ServiceCore core(*world.nv, *world.table, policy, {"9.9", "Back-end: sim"});
    const CoreCase cases[] = {
        {2000, R"({"op":"hello","version":1})", nullptr, R"("backendLine":"Back-end: sim")", false},
        {2000, R"({"op":"hello","version":2})", "versionMismatch", R"("serviceVersion":"9.9")", false},
        {2000, R"({"op":"monitor","gpu":0})", nullptr, R"("temperatureC":)", false},
        {2000, R"({"op":"monitor","gpu":7})", "outOfRange", "this machine has no GPU 7 (accepted: 0)", false},
        {2000, R"({"op":"fanAuto"})", "denied", "not a tuner", false},
        {1000, R"({"op":"fanAuto","gpu":3})", "outOfRange", "no GPU 3", false},
        {1000, R"({"op":"fanAuto"})", nullptr, R"("refused":false)", true},
        {2000, R"({"op":"fanAuto", "gpu":0, "raw":"0x5D"})", "badRequest", R"(unknown field \"raw\")", false},
    };
    for (const CoreCase& c : cases) {
        SCOPED_TRACE(c.line);
        PeerCredentials peer;
        peer.uid = c.uid;
        world.ClearTrace();
        const std::string reply = core.HandleLine(c.line, peer);
        const nlohmann::json doc = nlohmann::json::parse(reply);
        EXPECT_EQ(doc.at("ok").get<bool>(), c.error == nullptr) << reply;
        if (c.error != nullptr) {
            EXPECT_EQ(doc.at("error"), c.error) << reply;
        }
        EXPECT_NE(reply.find(c.says), std::string::npos) << reply;
        EXPECT_EQ(!world.Trace().empty(), c.cardWritten) << reply;
    }
}

}  // namespace
}  // namespace pyx

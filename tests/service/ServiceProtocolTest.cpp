#include <string>
#include <variant>

#include <gtest/gtest.h>

#include "service/core/ServiceProtocol.h"

namespace pyx {
namespace {

struct ParseCase {
    std::string line;
    std::optional<RequestKind> kind;  // none: refused
    ServiceError error = ServiceError::BadRequest;
    std::optional<int> gpu = std::nullopt;
    const char* says = "";
};

// What reaches the core is a request of a known shape; everything else is refused with its
// reason, and a well-formed request survives the client's own formatting unchanged.
TEST(ServiceProtocol, OnlyWellFormedRequestsPassAndEachRefusalSaysWhy) {
    const ParseCase cases[] = {
        {R"({"op":"hello","version":1})", RequestKind::Hello},
        {R"({"op":"list"})", RequestKind::List},
        {R"({"op":"monitor","gpu":1})", RequestKind::Monitor, {}, 1},
        {R"({"op":"fanAuto"})", RequestKind::FanAuto},
        {R"({"op":"fanShow","gpu":0})", RequestKind::FanShow, {}, 0},
        {"not json", {}, ServiceError::BadRequest, {}, "not JSON"},
        {"[1,2]", {}, ServiceError::BadRequest, {}, "not a JSON object"},
        {R"({"gpu":0})", {}, ServiceError::BadRequest, {}, "names no operation"},
        {R"({"op":"writeI2c","bus":1})", {}, ServiceError::UnknownOperation, {}, "unknown operation \"writeI2c\""},
        {R"({"op":"monitor"})", {}, ServiceError::BadRequest, {}, "monitor needs \"gpu\""},
        {R"({"op":"list","gpu":0})", {}, ServiceError::BadRequest, {}, "unknown field \"gpu\" for list"},
        {R"({"op":"monitor","gpu":-1})", {}, ServiceError::BadRequest, {}, "whole number from 0"},
        {R"({"op":"monitor","gpu":1.5})", {}, ServiceError::BadRequest, {}, "whole number"},
        {R"({"op":"monitor","gpu":"0"})", {}, ServiceError::BadRequest, {}, "whole number"},
        {R"({"op":"monitor","gpu":4294967296})", {}, ServiceError::BadRequest, {}, "whole number"},
        {R"({"op":"list","pad":")" + std::string(kMaxRequestBytes, 'x') + "\"}", {}, ServiceError::TooLarge, {},
         "at most 65536 bytes"},
        {R"({"op":"apply","mode":"custom","gpu":1,"custom":{"core":-100,"mem":200,"power":90,"fan":40,"gpuVf":5}})",
         RequestKind::Apply, {}, 1},
        {R"({"op":"apply","mode":"extreme","all":true,"revertAfterS":30})", RequestKind::Apply},
        {R"({"op":"keep"})", RequestKind::Keep},
        {R"({"op":"apply","mode":"turbo"})", {}, ServiceError::BadRequest, {}, "one of extreme, performance"},
        {R"({"op":"apply","mode":"custom"})", {}, ServiceError::BadRequest, {}, "custom needs \"custom\""},
        {R"({"op":"apply","mode":"common","custom":{}})", {}, ServiceError::BadRequest, {}, "belongs to the mode custom"},
        {R"({"op":"apply","mode":"custom","custom":{"core":1,"mem":0,"power":90}})", {}, ServiceError::BadRequest, {},
         "custom needs \"fan\""},
        {R"({"op":"apply","mode":"custom","custom":{"core":1,"mem":0,"power":90,"fan":1,"i2c":3}})", {},
         ServiceError::BadRequest, {}, "unknown field \"i2c\" in custom"},
        {R"({"op":"apply","mode":"extreme","gpu":0,"all":true})", {}, ServiceError::BadRequest, {}, "exclude each other"},
        {R"({"op":"apply","mode":"extreme","revertAfterS":61})", {}, ServiceError::BadRequest, {}, "from 5 to 60"},
        {R"({"op":"apply","mode":"common","revertAfterS":10})", {}, ServiceError::BadRequest, {}, "common is kept at once"},
        {R"({"op":"history"})", RequestKind::History},
        {R"({"op":"vf","gpu":0})", RequestKind::VfList, {}, 0},
        {R"({"op":"vf"})", {}, ServiceError::BadRequest, {}, "vf needs \"gpu\""},
        {R"({"op":"history","gpu":1,"since":1714564800000})", RequestKind::History, {}, 1},
        {R"({"op":"history","since":-1})", {}, ServiceError::BadRequest, {}, "whole milliseconds since 1970"},
        {R"({"op":"history","since":1.5})", {}, ServiceError::BadRequest, {}, "whole milliseconds since 1970"},
        {R"({"op":"history","since":"10m"})", {}, ServiceError::BadRequest, {}, "whole milliseconds since 1970"},
        {R"({"op":"history","until":1})", {}, ServiceError::BadRequest, {}, "unknown field \"until\" for history"},
        {R"({"op":"monitor","gpu":0,"since":1})", {}, ServiceError::BadRequest, {}, "unknown field \"since\""},
        {R"({"op":"applyProfile","revertAfterS":20,"sections":[{"section":"Gpu1","keys":{"Id":"x","DyaGpuClock":"50"}}]})",
         RequestKind::ApplyProfile},
        {R"({"op":"applyProfile","sections":[]})", {}, ServiceError::BadRequest, {}, "a list of 1 to 16"},
        {R"({"op":"lighting","gpu":1,"target":"zone-main","mode":"static","color":"00ff00"})", RequestKind::Lighting, {}, 1},
        {R"({"op":"lighting","target":"basic","mode":"breathing","periodS":4})", RequestKind::Lighting},
        {R"({"op":"lighting","target":"basic"})", {}, ServiceError::BadRequest, {}, "lighting needs \"mode\""},
        {R"({"op":"lighting","gpu":0,"all":true,"target":"basic","mode":"off"})", {}, ServiceError::BadRequest, {},
         "exclude each other"},
        {R"({"op":"lighting","target":2,"mode":"static"})", {}, ServiceError::BadRequest, {}, "\"target\" is a name"},
        {R"({"op":"lighting","target":"basic","mode":"static","register":"0x01"})", {}, ServiceError::BadRequest, {},
         "unknown field \"register\""},
        {R"({"op":"lightingReset"})", RequestKind::LightingReset},
        {R"({"op":"lightingReset","gpu":0})", {}, ServiceError::BadRequest, {}, "unknown field \"gpu\""},
        {R"({"op":"profileRead"})", RequestKind::ProfileRead},
        {R"({"op":"serviceSettingsSet","keepLighting":false})", RequestKind::ServiceSettingsSet},
        {R"({"op":"serviceSettingsSet"})", {}, ServiceError::BadRequest, {}, "needs \"keepLighting\""},
        {R"({"op":"applyProfile","sections":[{"section":"Gpu1","keys":{"Id":"x"},"raw":1}]})", {},
         ServiceError::BadRequest, {}, "each section is"},
        // Nothing in a name or value may start a line, a section or a value of its own in the text
        // the owner reads.
        {R"({"op":"applyProfile","sections":[{"section":"Gpu1","keys":{"Id=1":"x"}}]})", {}, ServiceError::BadRequest,
         {}, "a key without '='"},
        {R"({"op":"applyProfile","sections":[{"section":"Gpu1","keys":{"Id":"x\r\n[Gpu2]"}}]})", {},
         ServiceError::BadRequest, {}, "texts of one line"},
        {R"({"op":"applyProfile","sections":[{"section":"Gpu1]\r\nId","keys":{}}]})", {}, ServiceError::BadRequest, {},
         "each section is"},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.line.substr(0, 60));
        const auto parsed = ServiceProtocol::Parse(c.line);
        if (!c.kind) {
            const auto* refusal = std::get_if<ProtocolRefusal>(&parsed);
            ASSERT_NE(refusal, nullptr);
            EXPECT_EQ(refusal->error, c.error);
            EXPECT_NE(refusal->message.find(c.says), std::string::npos) << refusal->message;
            continue;
        }
        const auto* request = std::get_if<ServiceRequest>(&parsed);
        ASSERT_NE(request, nullptr) << std::get<ProtocolRefusal>(parsed).message;
        EXPECT_EQ(request->kind, *c.kind);
        EXPECT_EQ(request->gpu, c.gpu);
        const auto again = ServiceProtocol::Parse(ServiceProtocol::Format(*request));
        ASSERT_TRUE(std::holds_alternative<ServiceRequest>(again));
        EXPECT_EQ(std::get<ServiceRequest>(again).kind, request->kind);
        EXPECT_EQ(std::get<ServiceRequest>(again).gpu, request->gpu);
        EXPECT_EQ(std::get<ServiceRequest>(again).clientVersion, request->clientVersion);
        EXPECT_EQ(ServiceProtocol::Format(std::get<ServiceRequest>(again)), ServiceProtocol::Format(*request));
    }
}

}  // namespace
}  // namespace pyx

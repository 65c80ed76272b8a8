#include <gtest/gtest.h>

#include <string>

#include "sim/SimFanChipSlot0.h"
#include "sim/SimFanChipSlot1.h"
#include "sim/SimScenario.h"

namespace pyx::sim {
namespace {

uint8_t ReadReg(SimI2cDevice& chip, uint8_t reg) {
    uint8_t value = 0;
    EXPECT_TRUE(chip.Read(reg, &value, 1));
    return value;
}

void WriteReg(SimI2cDevice& chip, uint8_t reg, uint8_t value) { EXPECT_TRUE(chip.Write(reg, &value, 1)); }

TEST(FanChipSlot0, AnswersItsAddressAndConvertsTemperatureWithTheSignedOffset) {
    SimFanChipSlot0 chip(0x5A);
    EXPECT_EQ(ReadReg(chip, 0x04), 0x5A);
    WriteReg(chip, 0x04, 0x11);
    EXPECT_EQ(ReadReg(chip, 0x04), 0x5A);  // read-only
    EXPECT_EQ(ReadReg(chip, 0x02), 0xC0);  // power-up fault flags
    EXPECT_EQ(ReadReg(chip, 0x92) & 0x04, 0);
    SimFanChipSlot0 variant(0x5C, true);
    EXPECT_EQ(ReadReg(variant, 0x92) & 0x04, 0x04);

    chip.SetSensorSamples({40, 43});
    WriteReg(chip, 0x64, 0xFE);  // -2 degrees
    const uint8_t config = ReadReg(chip, 0x01);
    WriteReg(chip, 0x01, static_cast<uint8_t>(config | 0x04));
    EXPECT_EQ(ReadReg(chip, 0x14), 38);
    EXPECT_EQ(ReadReg(chip, 0x14), 38);  // latched until the next conversion
    WriteReg(chip, 0x01, static_cast<uint8_t>(config | 0x04));
    EXPECT_EQ(ReadReg(chip, 0x14), 41);
    WriteReg(chip, 0x64, 3);
    WriteReg(chip, 0x01, 0x04);
    EXPECT_EQ(ReadReg(chip, 0x14), 46);  // the last sample repeats
    WriteReg(chip, 0x01, 0x00);          // no conversion without bit 0x04
    EXPECT_EQ(chip.Conversions(), 4);    // power-up plus three
    EXPECT_EQ(ReadReg(chip, 0x1A), 0);
}

TEST(FanChipSlot0, TachometerFollowsManualTargetOrTheCurveAndReadsZeroWhenStopped) {
    SimFanChipSlot0 chip(0x5C);
    chip.SetSensorC(80);
    WriteReg(chip, 0x01, 0x04);
    // Power-up: automatic without a curve, count 1000.
    EXPECT_EQ((ReadReg(chip, 0x74) << 8) | ReadReg(chip, 0x75), 1000);

    WriteReg(chip, 0x60, 0x01);
    const uint8_t count[2] = {0x05, 0xDC};
    ASSERT_TRUE(chip.Write(0x74, count, 2));  // one burst across both bytes
    EXPECT_EQ(chip.TargetCount(), 1500);
    EXPECT_EQ((ReadReg(chip, 0x74) << 8) | ReadReg(chip, 0x75), 1500);

    const uint8_t curve[9] = {75, 50, 0, 0, 17, 22, 33, 33, 33};
    ASSERT_TRUE(chip.Write(0xA0, curve, 9));
    WriteReg(chip, 0x60, 0x00);
    EXPECT_EQ((ReadReg(chip, 0x74) << 8) | ReadReg(chip, 0x75), 17 << 4);  // 80 >= 75: full speed
    chip.SetSensorC(60);
    WriteReg(chip, 0x01, 0x04);
    EXPECT_EQ((ReadReg(chip, 0x74) << 8) | ReadReg(chip, 0x75), 22 << 4);

    chip.SetStopped(true);
    EXPECT_EQ(ReadReg(chip, 0x74), 0);
    EXPECT_EQ(ReadReg(chip, 0x75), 0);
}

TEST(FanChipSlot1, IdentifiesItselfHoldsLimitsAndReportsTheDutyItRuns) {
    SimFanChipSlot1 chip(0xD8);
    EXPECT_EQ(ReadReg(chip, 0x3D), 0x73);
    EXPECT_EQ(ReadReg(chip, 0x3E), 0x41);
    WriteReg(chip, 0x3D, 0);
    EXPECT_EQ(ReadReg(chip, 0x3D), 0x73);
    EXPECT_NE(ReadReg(chip, 0x04), 0x5C);  // never mistaken for the slot-0 chip

    WriteReg(chip, 0x38, 0xFF);
    EXPECT_EQ(ReadReg(chip, 0x38), 0xD8);
    WriteReg(chip, 0x39, 0x90);
    EXPECT_EQ(ReadReg(chip, 0x39), 0x90);

    chip.SetLibraryDutyPercent(50);
    EXPECT_EQ(ReadReg(chip, 0x30), 127);
    WriteReg(chip, 0x31, 200);
    EXPECT_EQ(ReadReg(chip, 0x30), 127);  // automatic: the GPU's duty
    WriteReg(chip, 0x5D, static_cast<uint8_t>(ReadReg(chip, 0x5D) | 0xE0));
    EXPECT_TRUE(chip.Manual());
    EXPECT_EQ(ReadReg(chip, 0x30), 200);
}

TEST(FanChipScenario, ChipsAndTuningComeFromTheScenarioAndBadValuesNameTheirField) {
    std::string error;
    auto library = SimScenario::FromText(R"({"cards": [{"deviceId": 1, "subSystemId": 2,
        "tuning": {"overVoltagePercent": 4, "fanCoolers": [{"id": 1}, {"id": 2}]},
        "i2c": [{"address": "0x5A", "model": "fan-chip-slot0", "variant3000": true, "registers": {"0x64": 5}},
                {"address": "0x5C", "model": "fan-chip-slot1", "dutyLimit": 200}]}]})",
                                         "chips", error);
    ASSERT_NE(library, nullptr) << error;
    SimCard& card = library->Card(0);
    auto* slot0 = card.bus.DeviceAs<SimFanChipSlot0>(0x5A);
    auto* slot1 = card.bus.DeviceAs<SimFanChipSlot1>(0x5C);
    ASSERT_NE(slot0, nullptr);
    ASSERT_NE(slot1, nullptr);
    EXPECT_EQ(slot0->Get(0x64), 5);
    EXPECT_EQ(slot0->Get(0x92), 0x04);
    EXPECT_EQ(slot1->HardwareLimit(), 200);
    EXPECT_EQ(card.tuning.overVoltagePercent, 4);
    ASSERT_EQ(card.tuning.fanCoolers.size(), 2u);
    EXPECT_EQ(card.tuning.coolers.size(), 1u);  // the default library fan

    const struct {
        const char* card;
        const char* message;
    } bad[] = {
        {R"("i2c": [{"address": "0x5A", "model": "fan-chip-slot0", "variant3000": "yes"}])", "variant3000"},
        {R"("i2c": [{"address": "0x5C", "model": "fan-chip-slot1", "dutyLimit": 300}])", "dutyLimit"},
        {R"("tuning": {"coolers": [{"min": 50, "max": 10}]})", "tuning.coolers[0]: min is above max"},
        {R"("tuning": {"thermal": {"policies": [{"maxC": "hot"}]}})", "tuning.thermal.policies[0].maxC"},
        {R"("tuning": {"vfPoints": [{"first": 300}]})", "tuning.vfPoints[0].first"},
        {R"("tuning": {"clockDomains": [{"domain": "video"}]})", "tuning.clockDomains[0].domain"},
        {R"("tuning": {"power": {"minPcm": 5, "maxPcm": 1}})", "tuning.power"},
    };
    for (const auto& b : bad) {
        const std::string text =
            std::string(R"({"cards": [{"deviceId": 1, "subSystemId": 2, )") + b.card + "}]}";
        EXPECT_EQ(SimScenario::FromText(text, "bad.json", error), nullptr) << b.card;
        EXPECT_NE(error.find("bad.json"), std::string::npos) << error;
        EXPECT_NE(error.find(b.message), std::string::npos) << error;
    }
}

TEST(FanChipScenario, TheDefaultCardShowsEveryTuningFeature) {
    auto library = SimScenario::Default();
    const SimTuningState& t = library->Card(0).tuning;
    EXPECT_FALSE(t.coolers.empty());
    EXPECT_EQ(t.fanCoolers.size(), 2u);
    EXPECT_TRUE(t.thermalPoliciesSupported);
    EXPECT_EQ(t.thermalPolicies.size(), 2u);
    EXPECT_EQ(t.clockDomains.size(), 2u);
    EXPECT_TRUE(t.vfPoints[81].present);
    EXPECT_NE(library->Card(0).bus.DeviceAs<SimFanChipSlot1>(0x5C), nullptr);
}

}  // namespace
}  // namespace pyx::sim

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "led/LedOrder.h"

namespace pyx {
namespace {

// What the saved lighting keeps of an order gives the same order back on its target, and on the
// target the window's start takes for the kind that shows it; what it does not choose gives
// nothing.
TEST(LedOrder, WhatIsKeptComesBackOnTheTargetItWasOrderedFor) {
    struct Row {
        LedKind kind;
        const char* target;
        const char* mode;
        const char* colour;
        std::optional<int64_t> periodS;
    } rows[] = {
        {LedKind::BasicClass1, "basic", "breathing", "00ff80", 5},
        {LedKind::BasicClass2, "basic", "flash", "0000ff", 10},
        {LedKind::BasicClass1, "basic", "gpu-load", "ff0000", std::nullopt},
        {LedKind::Zone58, "zone-main", "cycle-breathing", "102030", std::nullopt},
        {LedKind::Zone46, "zone-1", "off", "ffffff", std::nullopt},
        {LedKind::EffectAC, "effect-main", "meteor", "abcdef", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.target) + " " + row.mode);
        LedOrder::Refusal refusal;
        const auto order = LedOrder::FromNames(row.target, row.mode, row.colour, row.periodS, refusal);
        ASSERT_TRUE(order) << refusal.why;
        LedSettings saved;
        EXPECT_FALSE(LedOrder::FromSaved(saved, order->Target())) << "a first start chose nothing yet";
        order->Keep(saved);
        EXPECT_EQ(LedOrder::TargetOfKind(row.kind), order->Target());
        const auto back = LedOrder::FromSaved(saved, order->Target());
        ASSERT_TRUE(back);
        EXPECT_STREQ(back->TargetName(), row.target);
        EXPECT_STREQ(back->ModeName(), row.mode);
        EXPECT_EQ(back->Colour(), order->Colour());
        EXPECT_EQ(back->PeriodS(), row.periodS);
    }
    EXPECT_FALSE(LedOrder::TargetOfKind(LedKind::None));
    // One family's order leaves the others' saved modes as they were.
    LedOrder::Refusal refusal;
    LedSettings saved;
    LedOrder::FromNames("zone-main", "rainbow", std::nullopt, std::nullopt, refusal)->Keep(saved);
    LedOrder::FromNames("effect-main", "aurora", std::nullopt, std::nullopt, refusal)->Keep(saved);
    EXPECT_STREQ(LedOrder::FromSaved(saved, LedTarget::ZoneGroup)->ModeName(), "rainbow");
    EXPECT_STREQ(LedOrder::FromSaved(saved, LedTarget::EffectGroup)->ModeName(), "aurora");
    saved.ledMode = 5;  // no basic mode has that value
    EXPECT_FALSE(LedOrder::FromSaved(saved, LedTarget::Basic));
}

}  // namespace
}  // namespace pyx

// The CSV of samples: every line reads back as the sample it was written from, the header names
// each series with its unit, and anything else is refused rather than half read.
#include "app/SampleCsv.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace pyx {
namespace {

HistorySample Full(int64_t timeMs) {
    HistorySample s;
    s.timeMs = timeMs;
    s.gpu = 1;
    s.graphicsClockMHz = 1733;
    s.memoryClockMHz = 4006;
    s.temperatureC = 52;
    s.fanPercent = 65;
    s.loadPercent = 37;
    s.powerDrawMilliwatts = 215007;
    s.thermalLimitC = 83;
    s.powerLimitPcm = 112500;
    return s;
}

TEST(SampleCsv, EveryLineReadsBackAsItsSample) {
    HistorySample bare;  // nothing reported: only time and GPU
    bare.timeMs = 1709208000999;  // 2024-02-29T12:00:00.999Z, a leap day
    HistorySample rpm = Full(0);  // the epoch itself
    rpm.fanPercent.reset();
    rpm.fanRpm = 2150;
    rpm.temperatureC = -12;
    rpm.powerDrawMilliwatts = 0;
    rpm.powerLimitPcm = 1;
    const std::pair<HistorySample, const char*> cases[] = {
        {Full(1714564803250), "2024-05-01T12:00:03.250Z,1,1733,4006,52,65,,37,215.007,83,112.5"},
        {bare, "2024-02-29T12:00:00.999Z,0,,,,,,,,,"},
        {rpm, "1970-01-01T00:00:00.000Z,1,1733,4006,-12,,2150,37,0,83,0.001"},
        {Full(4102444799000), "2099-12-31T23:59:59.000Z,1,1733,4006,52,65,,37,215.007,83,112.5"},
    };
    for (const auto& [sample, line] : cases) {
        EXPECT_EQ(SampleCsv::Line(sample), line);
        const auto back = SampleCsv::Parse(line);
        ASSERT_TRUE(back.has_value()) << line;
        EXPECT_EQ(*back, sample) << line;
        EXPECT_EQ(SampleCsv::Parse(std::string(line) + "\r"), sample) << "a line from a Windows editor";
    }
}

TEST(SampleCsv, TheHeaderNamesEverySeriesWithItsUnit) {
    const std::string header = SampleCsv::Header();
    EXPECT_EQ(header,
              "time (UTC),gpu,graphics clock (MHz),memory clock (MHz),temperature (C),fan (%),fan (RPM),load (%),"
              "power draw (W),thermal limit (C),power limit (%)");
    const std::string line = SampleCsv::Line(Full(0));
    EXPECT_EQ(std::count(header.begin(), header.end(), ','), std::count(line.begin(), line.end(), ','));
    EXPECT_FALSE(SampleCsv::Parse(header).has_value());
}

TEST(SampleCsv, WhatIsNotASampleLineIsRefused) {
    const char* lines[] = {
        "",
        "2024-05-01T12:00:03.250Z,1,1733,4006,52,65,,37,215.007,83",          // a field short
        "2024-05-01T12:00:03.250Z,1,1733,4006,52,65,,37,215.007,83,112.5,9",  // a field over
        "2024-05-01 12:00:03.250Z,1,,,,,,,,,",                                // not ISO 8601
        "2024-05-01T12:00:03Z,1,,,,,,,,,",                                    // no milliseconds
        "2024-02-30T12:00:00.000Z,1,,,,,,,,,",                                // no such day
        "2024-05-01T24:00:00.000Z,1,,,,,,,,,",
        "2024-05-01T12:00:03.250Z,,,,,,,,,,",    // no GPU
        "2024-05-01T12:00:03.250Z,-1,,,,,,,,,",  // a negative GPU
        "2024-05-01T12:00:03.250Z,0,17x3,,,,,,,,",
        "2024-05-01T12:00:03.250Z,0,-1733,,,,,,,,",  // a clock below 0
        "2024-05-01T12:00:03.250Z,0,,,,,,,215.0071,,",  // past the thousandths a sample holds
        "2024-05-01T12:00:03.250Z,0,,,,,,,215.,,",
        "2024-05-01T12:00:03.250Z,0,,,,,,,.5,,",
        "2024-05-01T12:00:03.250Z,0,,,,,,,5000000,,",  // past what the field holds
        "2024-05-01T12:00:03.250Z,0,,,,,,,,,1e3",
    };
    for (const char* line : lines) EXPECT_FALSE(SampleCsv::Parse(line).has_value()) << line;
}

}  // namespace
}  // namespace pyx

// The metrics text: each series in its base unit, labelled by GPU, absent ones left out, and
// the whole held to the exposition format's rules, which the checker itself is first shown to
// enforce on real texts.
#include "app/MetricsText.h"

#include <gtest/gtest.h>

#include "tests/app/ExpositionFormat.h"

namespace pyx::test {
namespace {

TEST(MetricsText, TheFormatCheckerKnowsTheFormatsRules) {
    const std::pair<const char*, const char*> cases[] = {
        // A scrape as node_exporter gives it, with a histogram's own suffixes and a timestamp.
        {"# HELP node_load1 1m load average.\n# TYPE node_load1 gauge\nnode_load1 0.21\n"
         "# HELP http_request_duration_seconds A histogram.\n# TYPE http_request_duration_seconds histogram\n"
         "http_request_duration_seconds_bucket{le=\"0.05\"} 24054\nhttp_request_duration_seconds_bucket{le=\"+Inf\"} 144320\n"
         "http_request_duration_seconds_sum 53423\nhttp_request_duration_seconds_count 144320\n"
         "# a free comment\nmetric_without_timestamp_and_labels 12.47\nsomething_weird{problem=\"division by zero\"} +Inf -3982045\n"
         "msdos_file_access_time_seconds{path=\"C:\\\\DIR\\\\FILE.TXT\",error=\"Cannot find file:\\n\\\"FILE.TXT\\\"\"} 1.458255915e9\n",
         nullptr},
        {"", nullptr},
        {"up 1", "does not end with a newline"},
        {"9up 1\n", "not a sample line"},
        {"up-time 1\n", "not a sample line"},
        {"up one\n", "is not a number"},
        {"up 0x1F\n", "is not a number"},
        {"up{gpu=0} 1\n", "are not name=\"value\" pairs"},
        {"up{gpu=\"0\",gpu=\"1\"} 1\n", "label gpu twice"},
        {"up{__name__=\"x\"} 1\n", "reserved"},
        {"up{gpu=\"a\"b\"} 1\n", "are not name=\"value\" pairs"},
        {"# TYPE up gauge\n# TYPE up gauge\nup 1\n", "a second TYPE"},
        {"# TYPE up gauges\nup 1\n", "is not a metric type"},
        {"up 1\n# TYPE up gauge\n", "after its samples"},
        {"# HELP up a\n# HELP up b\nup 1\n", "a second HELP"},
        {"a 1\nb 1\na{x=\"1\"} 2\n", "are not together"},
        {"a{x=\"1\"} 1\na{x=\"1\"} 2\n", "the same series twice"},
    };
    for (const auto& [text, fault] : cases) {
        const std::string found = ExpositionFault(text);
        if (fault == nullptr)
            EXPECT_EQ(found, "") << text;
        else
            EXPECT_NE(found.find(fault), std::string::npos) << text << "\nfound: " << found;
    }
}

TEST(MetricsText, EachSeriesInItsBaseUnitForEachGpu) {
    HistorySample first;
    first.timeMs = 1714564803250;
    first.gpu = 0;
    first.graphicsClockMHz = 1733;
    first.memoryClockMHz = 4006;
    first.temperatureC = -3;
    first.fanPercent = 65;
    first.loadPercent = 7;
    first.powerDrawMilliwatts = 215007;
    first.thermalLimitC = 83;
    first.powerLimitPcm = 112500;
    HistorySample second;  // a card that said little: a tachometer fan and nothing else
    second.timeMs = 1714564803900;
    second.gpu = 1;
    second.fanRpm = 2150;
    const std::string text = MetricsText::Render({first, second});
    EXPECT_EQ(ExpositionFault(text), "") << text;
    const char* lines[] = {
        "# TYPE pyxtune_gpu_graphics_clock_hertz gauge\npyxtune_gpu_graphics_clock_hertz{gpu=\"0\"} 1733000000\n",
        "pyxtune_gpu_memory_clock_hertz{gpu=\"0\"} 4006000000\n",
        "pyxtune_gpu_temperature_celsius{gpu=\"0\"} -3\n",
        "pyxtune_gpu_fan_ratio{gpu=\"0\"} 0.65\n",
        "pyxtune_gpu_fan_rpm{gpu=\"1\"} 2150\n",
        "pyxtune_gpu_load_ratio{gpu=\"0\"} 0.07\n",
        "pyxtune_gpu_power_draw_watts{gpu=\"0\"} 215.007\n",
        "pyxtune_gpu_thermal_limit_celsius{gpu=\"0\"} 83\n",
        "pyxtune_gpu_power_limit_ratio{gpu=\"0\"} 1.125\n",
        "pyxtune_gpu_sample_time_seconds{gpu=\"0\"} 1714564803.25\npyxtune_gpu_sample_time_seconds{gpu=\"1\"} 1714564803.9\n",
    };
    for (const char* line : lines) EXPECT_NE(text.find(line), std::string::npos) << line << "\nin:\n" << text;
    EXPECT_EQ(text.find("fan_rpm{gpu=\"0\"}"), std::string::npos) << "what a GPU did not report is left out";
    EXPECT_EQ(text.find("temperature_celsius{gpu=\"1\"}"), std::string::npos);
    EXPECT_EQ(MetricsText::Render({}), "") << "no samples yet: no families without samples";
}

}  // namespace
}  // namespace pyx::test

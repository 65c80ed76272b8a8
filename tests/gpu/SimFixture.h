#pragma once
// A simulated library behind the real layer, as the program runs without a card.
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "gpu/GpuBoardTable.h"
#include "gpu/NvApiLibrary.h"
#include "gpu/Trace.h"
#include "sim/SimLibrarySource.h"
#include "sim/SimScenario.h"

namespace pyx::test {

struct SimRig {
    explicit SimRig(const std::string& scenarioJson, std::unique_ptr<Trace> trace = nullptr) {
        std::string error;
        auto library = sim::SimScenario::FromText(scenarioJson, "test", error);
        EXPECT_NE(library, nullptr) << error;
        sim = library.get();
        nv = std::make_unique<NvApiLibrary>(std::make_unique<sim::SimLibrarySource>(std::move(library)),
                                            std::move(trace));
        EXPECT_EQ(nv->Initialize(), kNvOk);
        table = std::make_unique<GpuBoardTable>(*nv);
        EXPECT_EQ(table->EnumerateBoards(), kNvOk);
    }
    sim::SimLibrary* sim = nullptr;
    std::unique_ptr<NvApiLibrary> nv;
    std::unique_ptr<GpuBoardTable> table;
};

// n cards, each with a plain register device at every address in addresses.
inline std::string CardsJson(int n, const std::string& devicesJson = "[]") {
    std::string cards;
    for (int i = 0; i < n; ++i) {
        if (i) cards += ",";
        cards += R"({"deviceId": "0x1B8110DE", "subSystemId": "0x11223344", "i2c": )" + devicesJson + "}";
    }
    return R"({"cards": [)" + cards + "]}";
}

}  // namespace pyx::test

#pragma once
// The cards of a scenario brought up as the program brings them up: the library started, each
// board identified and probed, a single board's BIOS read (the simulator's image, as the
// reader hands it over), the fan-chip limits learned. Every fan path is then the one
// discovery chose, not one a test set.
#include <chrono>
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "gpu/CardTuning.h"
#include "gpu/GpuBoardTable.h"
#include "gpu/HardwareStartup.h"
#include "gpu/HardwareThread.h"
#include "gpu/NvApiLibrary.h"
#include "sim/SimLibrarySource.h"
#include "sim/SimScenario.h"
#include "sim/SimStateFileCard.h"
#include "tests/support/FakeProcessLauncher.h"
#include "tests/support/ScenarioJson.h"
#include "tests/support/TempFolder.h"

namespace pyx::test {

inline constexpr char kBuiltinScenario[] = "builtin-default";

class DiscoveredCardsRig {
public:
    // scenario: JSON text starting with '{', a shipped scenario's name, or kBuiltinScenario.
    explicit DiscoveredCardsRig(const std::string& scenario) {
        std::string error;
        std::unique_ptr<sim::SimLibrary> library =
            scenario == kBuiltinScenario ? sim::SimScenario::Default()
            : scenario.starts_with("{")  ? sim::SimScenario::FromText(scenario, "test", error)
                                         : sim::SimScenario::FromFile(ShippedScenario(scenario), error);
        EXPECT_NE(library, nullptr) << error;
        if (!library) library = std::make_unique<sim::SimLibrary>();
        sim = library.get();
        launcher_.onStart = [this](const ProcessRequest&) {
            if (!sim->Card(0).biosImage.empty()) folder_.Write(kBiosDumpFile, sim->Card(0).biosImage);
            return true;
        };
        nv = std::make_unique<NvApiLibrary>(std::make_unique<sim::SimLibrarySource>(std::move(library)));
        table = std::make_unique<GpuBoardTable>(*nv);
        BiosReaderOptions options;
        options.folder = folder_.Path();
        options.readTimeout = std::chrono::milliseconds(500);
        options.pollInterval = std::chrono::milliseconds(10);
        thread_ = std::make_unique<HardwareThread>(&launcher_, options);
        EXPECT_EQ(StartHardware(*table, *thread_, [] { return std::optional<OsVersion>(); }), kStartHardwareOk);
        EXPECT_TRUE(thread_->WaitFinished(std::chrono::seconds(10)));
    }
    ~DiscoveredCardsRig() { thread_.reset(); }
    DiscoveredCardsRig(const DiscoveredCardsRig&) = delete;
    DiscoveredCardsRig& operator=(const DiscoveredCardsRig&) = delete;

    // What a card keeps of its tuning: the tuning record and the fan chips' registers, one
    // member per register so that a difference names it. The clocks are left out (they follow
    // the offsets), as is the simulator's count of P-state reads still to fail (a fault to
    // inject, not a setting), and an automatic fan cooler's last fixed level, which the
    // simulator keeps and no card shows. The duty chip's reading register holds what was last
    // read, so the card's fans are read first.
    nlohmann::json TunedState(size_t card) const {
        if (table->IsValidGpu(static_cast<int>(card))) (void)CardTuning(*table, static_cast<int>(card)).ReadFans();
        const nlohmann::json whole = sim::SimCardState::Capture(sim->Card(card)).ToJson();
        nlohmann::json tuning = whole.at("tuning");
        tuning.erase("pstatesReadFailures");
        for (nlohmann::json& cooler : tuning.at("fanCoolers"))
            if (!cooler.at("manual").get<bool>()) cooler.erase("manualLevel");
        nlohmann::json fanChips = nlohmann::json::array();
        for (nlohmann::json device : whole.at("bus")) {
            if (!device.at("model").get<std::string>().starts_with("fan-chip")) continue;
            if (device.contains("registers")) {
                const std::string bytes = device.at("registers");
                nlohmann::json registers = nlohmann::json::object();
                for (size_t reg = 0; reg * 2 + 1 < bytes.size(); ++reg)
                    registers[Hex8(reg)] = bytes.substr(reg * 2, 2);
                device["registers"] = registers;
            }
            fanChips.push_back(device);
        }
        return {{"tuning", tuning}, {"fanChips", fanChips}};
    }

    sim::SimLibrary* sim = nullptr;
    std::unique_ptr<NvApiLibrary> nv;
    std::unique_ptr<GpuBoardTable> table;

private:
    static std::string Hex8(size_t value) {
        static const char digits[] = "0123456789ABCDEF";
        return std::string("0x") + digits[(value >> 4) & 0xF] + digits[value & 0xF];
    }

    TempFolder folder_{"pyx-revert-"};
    FakeProcessLauncher launcher_;
    std::unique_ptr<HardwareThread> thread_;
};

}  // namespace pyx::test

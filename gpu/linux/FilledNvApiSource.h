#pragma once
#include <array>
#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "gpu/DriverText.h"
#include "gpu/LibrarySource.h"
#include "gpu/NvApiRecords.h"
#include "gpu/linux/KernelI2c.h"
#include "gpu/linux/NvmlAnswers.h"
#include "gpu/linux/NvmlLibrary.h"
#include "gpu/linux/TrustedLibraryLocator.h"

namespace pyx {

// Where the filled-in answers come from; the defaults are the running system's.
struct DriverFillOptions {
    LibraryTrust nvmlTrust = LibraryTrust::System();
    std::filesystem::path sysfsRoot = "/sys";
    // Null: the kernel's /dev/i2c-N devices.
    std::unique_ptr<I2cTransport> transport;
};

// The driver's NvAPI library as the Linux driver ships it, with its gaps filled:
// - the I2C ids it answers with NULL go to the card's kernel I2C adapters;
// - the tuning ids (clock offsets, power target, thermal target, fans) that it answers but
//   refuses at run time with "not supported" go to NVML, decided per id at its first call
//   and kept for the rest of the run.
// Everything else, and every id the library does answer, stays the library's own. The
// layer above sees one library: its trace lines and call counter do not change with the
// answerer. Function addresses carry no context, so one source is active at a time.
class FilledNvApiSource : public LibrarySource {
public:
    enum class Route : uint8_t { Undecided, NvApi, Nvml, KernelI2c, Nobody };

    FilledNvApiSource(std::unique_ptr<LibrarySource> base, DriverFillOptions options = {});
    ~FilledNvApiSource() override;

    NvStatus Open(NvQueryInterfaceFn& queryInterface) override;
    void Close() override;
    std::string BackendName() const override { return base_->BackendName(); }
    std::string Describe() const override { return base_->Describe(); }
    bool Present() const override { return base_->Present(); }
    LibraryOutcome Probe() const override { return base_->Probe(); }
    std::string AnswererOf(NvOp op) const override;

    // Who answers an id now (undecided ids have not been called yet).
    Route RouteOf(NvOp op) const;
    static const char* RouteName(Route route);
    // Whether NVML can stand in for the id when NvAPI refuses it.
    static bool HasNvmlFallback(NvOp op);
    static bool IsI2c(NvOp op);

    // Sends nothing on a bus and changes nothing.
    std::optional<CardLinks> LinksOf(NvPhysicalGpuHandle handle) override;
    std::vector<LibraryOutcome> Libraries() override;
    // NvAPI's name for the card; NVML's where NvAPI lacks the function or does not answer.
    std::optional<std::string> CardName(NvPhysicalGpuHandle handle) const override;
    // NVML's power usage of the card; none without NVML or where the card does not report it.
    std::optional<uint32_t> PowerDrawMilliwatts(NvPhysicalGpuHandle handle) const override;

    // The entry point handed to the layer.
    static void* PYX_NVAPI_CALL Query(uint32_t id);
    static FilledNvApiSource* Active() { return active_.load(std::memory_order_acquire); }

    // ---- for the shims -------------------------------------------------------------------
    struct Card {
        NvPhysicalGpuHandle handle = nullptr;
        std::string pciAddress;
        bool nvmlLooked = false;
        NvmlLibrary::Device nvmlDevice = nullptr;
        NvmlCardMemory memory;
        std::mutex nvmlMutex;  // one NVML exchange per card at a time
    };
    Card& CardOf(NvPhysicalGpuHandle handle);
    // The card when NVML is ready and has a device for it, else null.
    Card* NvmlCard(NvPhysicalGpuHandle handle);
    NvmlLibrary& Nvml() { return nvml_; }
    NvStatus I2cTransfer(NvPhysicalGpuHandle handle, NvI2cRequestV3* request, bool read);
    void* BaseAnswer(NvOp op) const { return baseAnswers_[static_cast<size_t>(op)]; }
    std::atomic<Route>& RouteSlot(NvOp op) { return routes_[static_cast<size_t>(op)]; }

private:
    static std::atomic<FilledNvApiSource*> active_;

    std::unique_ptr<LibrarySource> base_;
    NvmlLibrary nvml_;
    KernelI2c i2c_;
    NvQueryInterfaceFn baseQuery_ = nullptr;
    std::array<void*, kNvOpCount> baseAnswers_{};
    std::array<std::atomic<Route>, kNvOpCount> routes_{};
    int32_t(PYX_NVAPI_CALL* getBusId_)(NvPhysicalGpuHandle, uint32_t*) = nullptr;
    int32_t(PYX_NVAPI_CALL* getBusSlotId_)(NvPhysicalGpuHandle, uint32_t*) = nullptr;
    NvGetFullNameFn getFullName_ = nullptr;

    mutable std::mutex cardsMutex_;
    std::vector<std::unique_ptr<Card>> cards_;
};

}  // namespace pyx

#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "gpu/CardLinks.h"
#include "gpu/LibraryOutcome.h"
#include "gpu/NvApiIds.h"
#include "gpu/NvApiStatus.h"

namespace pyx {

#if defined(_WIN32) && !defined(_WIN64)
#define PYX_NVAPI_CALL __cdecl
#else
#define PYX_NVAPI_CALL
#endif

// The library's single export: interface id in, function address (or null) out.
using NvQueryInterfaceFn = void*(PYX_NVAPI_CALL*)(uint32_t id);

// Where the GPU library comes from: the driver's NvAPI module or the built-in simulator.
// Open() is called under the library layer's critical section, at most once per load.
class LibrarySource {
public:
    virtual ~LibrarySource() = default;

    // Loads the module and returns its query-interface entry point.
    // kNvLibraryNotFound when there is no module, kNvFailed when it has no entry point;
    // on failure nothing stays loaded.
    virtual NvStatus Open(NvQueryInterfaceFn& queryInterface) = 0;
    // Releases the module; the entry point and every address it gave are invalid after it.
    virtual void Close() = 0;
    // "nvapi" or "sim", as a user is told which back-end answers.
    virtual std::string BackendName() const = 0;
    // Where the module came from, for diagnostics (a path, or the scenario name).
    virtual std::string Describe() const = 0;
    // Whether a module is there to be opened, without loading it; used to fall back to the
    // simulator when no driver library is installed.
    virtual bool Present() const { return true; }
    // What a look for the module finds (not installed, or refused and why), or, after an
    // Open, what became of it. A source that can tell no more says ready or not installed.
    virtual LibraryOutcome Probe() const {
        return Present() ? LibraryOutcome::ReadyOutcome(BackendName(), Describe())
                         : LibraryOutcome::NotInstalledOutcome(BackendName());
    }
    // Who answers an operation, for the doctor's report: the driver's NvAPI unless a source
    // fills in for it.
    virtual std::string AnswererOf(NvOp) const { return BackendName() == "sim" ? "simulator" : "NvAPI"; }
    // Every library the source uses (the driver's, then its helpers), each started if it
    // can be, with what became of it.
    virtual std::vector<LibraryOutcome> Libraries() { return {Probe()}; }
    // How a card is reached besides the library; none for a source that only has the library.
    virtual std::optional<CardLinks> LinksOf(void* /*gpuHandle*/) { return std::nullopt; }
    // The card's name as the user knows it, where the source can tell it; the window shows
    // it beside the GPU's number.
    virtual std::optional<std::string> CardName(void* /*gpuHandle*/) const { return std::nullopt; }
    // The power the card draws now, where the source can tell it (NVML's power usage; NvAPI
    // documents no call for it).
    virtual std::optional<uint32_t> PowerDrawMilliwatts(void* /*gpuHandle*/) const { return std::nullopt; }
};

}  // namespace pyx

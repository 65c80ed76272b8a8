#pragma once
#include <optional>
#include <string>
#include <vector>

#include "gpu/CardLinks.h"
#include "gpu/GpuBoardTable.h"
#include "gpu/LibraryOutcome.h"
#include "gpu/NvApiLibrary.h"

namespace pyx {

// One id the program uses: who answers it and how, with the median time of its reads.
struct IdReport {
    std::string name;
    std::string answeredBy;  // "NvAPI", "kernel I2C", "NVML", "nobody", "simulator"
    std::string how;         // "answered", "not supported", "no permission", ...
    bool called = false;     // false for the ids that change a card: the doctor never sends them
    NvStatus status = kNvOk;
    double medianMicroseconds = 0.0;
};

struct GpuDoctorReport {
    int index = 0;
    std::optional<CardLinks> links;
    std::vector<IdReport> ids;
    // One whole one-second readout (clocks, temperature, fan, load), as the window makes it.
    double tickMedianMicroseconds = 0.0;
};

struct DoctorReport {
    std::string backend;
    std::string description;
    std::vector<LibraryOutcome> libraries;  // as found (driver's NvAPI first)
    LibraryOutcome outcome;                 // what became of loading the GPU library
    NvStatus enumerateStatus = kNvOk;
    std::vector<IdReport> systemIds;        // ids that name no GPU
    std::vector<GpuDoctorReport> gpus;
};

inline constexpr int kDoctorSamples = 20;

// The doctor's look at the GPU library, without changing anything: which libraries were
// found or refused, and for each GPU who answers each id. Every read id is called `samples`
// times and its median time kept; the ids that change a card are never sent (their
// answerer is reported from the library's entry points alone). Nothing on a bus is touched
// either: the I2C ids are reported from the adapters and device nodes that would carry them.
// The GPU layer's diagnostics of the monitoring reads go to diagnostics (standard output
// when none is given).
DoctorReport RunDoctor(NvApiLibrary& library, int samples = kDoctorSamples, DiagnosticsSink* diagnostics = nullptr);

// "answered", "not supported", "no permission", "no entry point" or "failed (status N)".
std::string HowAnswered(NvStatus status);

}  // namespace pyx

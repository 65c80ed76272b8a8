#include "app/LibraryDoctor.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>

#include "app/MonitorReadouts.h"

namespace pyx {

namespace {

using H = NvPhysicalGpuHandle;

// Median wall time of `samples` calls, and the status of the last one.
template <typename Call>
double MedianMicroseconds(int samples, Call&& call, NvStatus& status) {
    std::vector<double> times;
    times.reserve(static_cast<size_t>(samples));
    for (int i = 0; i < samples; ++i) {
        const auto start = std::chrono::steady_clock::now();
        status = call();
        times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    if (times.empty()) return 0.0;
    std::sort(times.begin(), times.end());
    const size_t mid = times.size() / 2;
    return times.size() % 2 == 1 ? times[mid] : (times[mid - 1] + times[mid]) / 2.0;
}

template <typename Record>
Record Zeroed(uint32_t tag) {
    Record record;
    std::memset(&record, 0, sizeof record);
    record.version = tag;
    return record;
}

// A read of one id on one GPU, with a fresh record each call so a reply cannot feed the next.
using ReadCall = std::function<NvStatus(NvApiLibrary&, H)>;

struct ReadId {
    NvOp op;
    ReadCall call;
};

std::vector<ReadId> GpuReads() {
    return {
        {NvOp::GetPCIIdentifiers,
         [](NvApiLibrary& l, H h) {
             uint32_t a = 0, b = 0, c = 0, d = 0;
             return l.GetPCIIdentifiers(h, &a, &b, &c, &d);
         }},
        {NvOp::GetAllClockFrequencies,
         [](NvApiLibrary& l, H h) {
             auto r = Zeroed<NvClockFrequencies>(kClockFrequenciesTag);
             r.clockType = kClockTypeCurrent;
             return l.GetAllClockFrequencies(h, &r);
         }},
        {NvOp::GetPerfLevels,
         [](NvApiLibrary& l, H h) {
             auto r = Zeroed<NvPerfLevels>(kPerfLevelsTag);
             return l.GetPerfLevels(h, -1, &r);
         }},
        {NvOp::GetCoolerSettings,
         [](NvApiLibrary& l, H h) {
             auto r = Zeroed<NvCoolerSettingsV4>(kCoolerSettingsV4Tag);
             return l.GetCoolerSettings(h, 7, &r);
         }},
        {NvOp::GetPstates20,
         [](NvApiLibrary& l, H h) {
             auto r = Zeroed<NvPstates20>(kPstates20GetTag);
             return l.GetPstates20(h, &r);
         }},
        {NvOp::GetDynamicPstatesInfoEx,
         [](NvApiLibrary& l, H h) {
             auto r = Zeroed<NvDynamicPstatesInfo>(kDynamicPstatesTag);
             return l.GetDynamicPstatesInfoEx(h, &r);
         }},
        {NvOp::GetThermalSettings,
         [](NvApiLibrary& l, H h) {
             auto r = Zeroed<NvThermalSettings>(kThermalSettingsTag);
             return l.GetThermalSettings(h, 15, &r);
         }},
        {NvOp::ThermalPoliciesGetInfo,
         [](NvApiLibrary& l, H h) {
             auto r = Zeroed<NvThermalPoliciesInfo>(kThermalPoliciesInfoTag);
             return l.ThermalPoliciesGetInfo(h, &r);
         }},
        {NvOp::ThermalPoliciesGetStatus,
         [](NvApiLibrary& l, H h) {
             // The policies are named by id, as the program names the acoustic one.
             auto r = Zeroed<NvThermalPoliciesStatus>(kThermalPoliciesStatusTag);
             r.count = 1;
             r.entries[0].policyId = 1;
             return l.ThermalPoliciesGetStatus(h, &r);
         }},
        {NvOp::PowerPoliciesGetInfo,
         [](NvApiLibrary& l, H h) {
             auto r = Zeroed<NvPowerPoliciesInfo>(kPowerPoliciesInfoTag);
             return l.PowerPoliciesGetInfo(h, &r);
         }},
        {NvOp::PowerPoliciesGetStatus,
         [](NvApiLibrary& l, H h) {
             auto r = Zeroed<NvPowerPoliciesStatus>(kPowerPoliciesStatusTag);
             return l.PowerPoliciesGetStatus(h, &r);
         }},
        {NvOp::FanCoolersGetInfo,
         [](NvApiLibrary& l, H h) {
             auto r = Zeroed<NvFanCoolersInfo>(kFanCoolersInfoTag);
             return l.FanCoolersGetInfo(h, &r);
         }},
        {NvOp::FanCoolersGetStatus,
         [](NvApiLibrary& l, H h) {
             auto r = Zeroed<NvFanCoolersStatus>(kFanCoolersStatusTag);
             return l.FanCoolersGetStatus(h, &r);
         }},
        {NvOp::FanCoolersGetControl,
         [](NvApiLibrary& l, H h) {
             auto r = Zeroed<NvFanCoolersControl>(kFanCoolersControlTag);
             return l.FanCoolersGetControl(h, &r);
         }},
        {NvOp::VoltRailsGetControl,
         [](NvApiLibrary& l, H h) {
             auto r = Zeroed<NvVoltRailsControl>(kVoltRailsControlTag);
             return l.VoltRailsGetControl(h, &r);
         }},
        {NvOp::ClkDomainsGetInfo,
         [](NvApiLibrary& l, H h) {
             auto r = Zeroed<NvClkDomainsInfo>(kClkDomainsInfoTag);
             return l.ClkDomainsGetInfo(h, &r);
         }},
        {NvOp::ClkVfPointsGetInfo,
         [](NvApiLibrary& l, H h) {
             auto r = Zeroed<NvVfPointsInfo>(kVfPointsInfoTag);
             return l.ClkVfPointsGetInfo(h, &r);
         }},
        {NvOp::ClkVfPointsGetControl,
         [](NvApiLibrary& l, H h) {
             auto r = Zeroed<NvVfPointsControl>(kVfPointsControlTag);
             r.mask[0] = 1;
             return l.ClkVfPointsGetControl(h, &r);
         }},
    };
}

constexpr NvOp kChangingIds[] = {NvOp::SetCoolerLevels,         NvOp::RestoreCoolerSettings, NvOp::SetPstates20,
                                 NvOp::ThermalPoliciesSetStatus, NvOp::PowerPoliciesSetStatus, NvOp::LightingTick,
                                 NvOp::FanCoolersSetControl,     NvOp::ClkVfPointsSetControl};
constexpr NvOp kI2cIds[] = {NvOp::I2CRead, NvOp::I2CWrite, NvOp::I2CReadEx, NvOp::I2CWriteEx};

std::string Answerer(const LibrarySource* source, NvOp op) { return source ? source->AnswererOf(op) : "nobody"; }

IdReport TimedRead(NvApiLibrary& library, NvOp op, int samples, const std::function<NvStatus()>& call) {
    IdReport report;
    report.name = NvOpName(op);
    report.called = true;
    report.medianMicroseconds = MedianMicroseconds(samples, call, report.status);
    // Asked after the calls: a fallback is decided by the first of them.
    report.answeredBy = Answerer(library.Source(), op);
    report.how = HowAnswered(report.status);
    return report;
}

IdReport NotCalled(NvApiLibrary& library, NvOp op, const std::optional<CardLinks>& links) {
    IdReport report;
    report.name = NvOpName(op);
    report.answeredBy = Answerer(library.Source(), op);
    const bool kernel = report.answeredBy == "kernel I2C";
    if (kernel) {
        if (!links || links->adapters.empty())
            report.how = "no adapter of the card";
        else if (!links->i2cProblems.empty())
            report.how = links->i2cProblems.front();
        else
            report.how = "adapters ready; not sent (a bus transaction addresses a chip)";
    } else if (!library.HasEntry(op)) {
        report.answeredBy = "nobody";
        report.how = "no entry point";
    } else if (std::find(std::begin(kI2cIds), std::end(kI2cIds), op) != std::end(kI2cIds)) {
        report.how = "entry point present; not sent (a bus transaction addresses a chip)";
    } else {
        report.how = "entry point present; not sent (it changes the card)";
    }
    return report;
}

}  // namespace

std::string HowAnswered(NvStatus status) {
    switch (status) {
    case kNvOk: return "answered";
    case kNvNotSupported: return "not supported";
    case kNvNoPermission: return "no permission";
    case kNvNoInterface: return "no entry point";
    default: return "failed (status " + std::to_string(status) + ")";
    }
}

DoctorReport RunDoctor(NvApiLibrary& library, int samples, DiagnosticsSink* diagnostics) {
    DoctorReport report;
    report.backend = library.BackendName();
    const NvStatus init = library.Initialize();
    if (LibrarySource* source = library.Source()) report.libraries = source->Libraries();
    // The driver's own entry says what became of starting it, not only where it lies.
    if (!report.libraries.empty()) report.libraries.front() = library.Outcome();
    report.outcome = library.Outcome();
    report.description = library.BackendDescription();
    if (init != kNvOk) return report;

    DiagnosticsSink standardOutput;
    GpuBoardTable table(library, diagnostics != nullptr ? *diagnostics : standardOutput);
    NvPhysicalGpuHandle handles[kNvMaxPhysicalGpus] = {};
    uint32_t count = 0;
    report.systemIds.push_back(TimedRead(library, NvOp::EnumPhysicalGPUs, samples,
                                         [&] { return library.EnumPhysicalGPUs(handles, &count); }));
    report.systemIds.push_back(TimedRead(library, NvOp::SysGetChipSetInfo, samples, [&] {
        auto r = Zeroed<NvChipSetInfo>(kChipSetInfoTag);
        return library.SysGetChipSetInfo(&r);
    }));
    report.enumerateStatus = table.EnumerateBoards();
    if (report.enumerateStatus != kNvOk) return report;

    const std::vector<ReadId> reads = GpuReads();
    for (int gpu = 0; gpu < table.gpuCount; ++gpu) {
        GpuDoctorReport g;
        g.index = gpu;
        const H handle = table.Board(gpu).gpuHandle;
        if (LibrarySource* source = library.Source()) g.links = source->LinksOf(handle);
        for (const ReadId& read : reads)
            g.ids.push_back(TimedRead(library, read.op, samples, [&] { return read.call(library, handle); }));
        for (const NvOp op : kChangingIds) g.ids.push_back(NotCalled(library, op, g.links));
        for (const NvOp op : kI2cIds) g.ids.push_back(NotCalled(library, op, g.links));
        NvStatus ignored = kNvOk;
        g.tickMedianMicroseconds = MedianMicroseconds(
            samples,
            [&] {
                ReadMonitors(table, gpu);
                return kNvOk;
            },
            ignored);
        report.gpus.push_back(std::move(g));
    }
    return report;
}

}  // namespace pyx

#include "cli/DoctorCommand.h"

#include <cstdio>

#include <nlohmann/json.hpp>

#include "app/GpuBackend.h"
#include "app/LibraryDoctor.h"
#include "app/ServiceClient.h"
#include "cli/CliArgs.h"
#include "cli/CliDiagnostics.h"
#include "cli/CliSession.h"
#include "gpu/Trace.h"

namespace pyx {

namespace {

const char* kDoctorHelp =
    "usage: pyxtunectl doctor [--json]\n"
    "  What the program can reach, without changing anything: the driver libraries found\n"
    "  or refused (and why), and for each GPU who answers each operation (NvAPI, kernel I2C,\n"
    "  NVML or nobody) and how, with the median time of 20 calls of each read and of one\n"
    "  whole monitoring tick. Operations that change a card and bus transactions are never\n"
    "  sent. Exit status 1 when the GPU library cannot be used.\n"
    "  Last, whether the Pyxtune service owns the cards (the rest is what this process reaches).\n"
    "  --json   print the same as a JSON object\n";

const char* StateName(LibraryState state) {
    switch (state) {
    case LibraryState::NotInstalled: return "not installed";
    case LibraryState::Refused: return "refused";
    case LibraryState::InitFailed: return "initialisation failed";
    case LibraryState::Ready: return "ready";
    }
    return "";
}

nlohmann::json LibraryJson(const LibraryOutcome& outcome) {
    nlohmann::json j = {{"library", outcome.library}, {"state", StateName(outcome.state)}, {"message", outcome.Message()}};
    if (!outcome.path.empty()) j["path"] = outcome.path;
    if (outcome.state == LibraryState::Refused) j["reason"] = outcome.reason;
    if (outcome.state == LibraryState::InitFailed) j["initStatus"] = outcome.initStatus;
    return j;
}

nlohmann::json IdJson(const IdReport& id) {
    nlohmann::json j = {{"id", id.name}, {"answeredBy", id.answeredBy}, {"how", id.how}, {"called", id.called}};
    if (id.called) {
        j["status"] = id.status;
        j["medianMicroseconds"] = id.medianMicroseconds;
    }
    return j;
}

nlohmann::json ReportJson(const DoctorReport& report) {
    nlohmann::json libraries = nlohmann::json::array();
    for (const auto& l : report.libraries) libraries.push_back(LibraryJson(l));
    nlohmann::json system = nlohmann::json::array();
    for (const auto& id : report.systemIds) system.push_back(IdJson(id));
    nlohmann::json gpus = nlohmann::json::array();
    for (const auto& g : report.gpus) {
        nlohmann::json ids = nlohmann::json::array();
        for (const auto& id : g.ids) ids.push_back(IdJson(id));
        nlohmann::json gpu = {{"gpu", g.index}, {"ids", ids}, {"monitoringTickMedianMicroseconds", g.tickMedianMicroseconds}};
        if (g.links) {
            nlohmann::json adapters = nlohmann::json::array();
            for (const auto& a : g.links->adapters) adapters.push_back({{"adapter", a.number}, {"port", a.port}, {"name", a.name}});
            gpu["pciAddress"] = g.links->pciAddress;
            gpu["i2cAdapters"] = adapters;
            gpu["i2cProblems"] = g.links->i2cProblems;
            gpu["nvmlDevice"] = g.links->nvmlDevice;
            if (!g.links->nvmlProblem.empty()) gpu["nvmlProblem"] = g.links->nvmlProblem;
        }
        gpus.push_back(gpu);
    }
    return {{"backend", report.backend},
            {"description", report.description},
            {"libraries", libraries},
            {"library", LibraryJson(report.outcome)},
            {"usable", report.outcome.Usable()},
            {"enumerateStatus", report.enumerateStatus},
            {"systemIds", system},
            {"gpus", gpus}};
}

std::string Micros(double us) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f us", us);
    return text;
}

void PrintId(std::ostream& out, const IdReport& id) {
    char line[256];
    std::snprintf(line, sizeof line, "    %-26s %-12s %s", id.name.c_str(), id.answeredBy.c_str(), id.how.c_str());
    out << line;
    if (id.called) out << "  " << Micros(id.medianMicroseconds);
    out << "\n";
}

void PrintReport(std::ostream& out, const DoctorReport& report) {
    if (report.backend == "sim")
        out << "Back-end: sim - SIMULATED cards, no real GPU is touched (" << report.description << ")\n";
    else
        out << "Back-end: " << report.backend << " (" << report.description << ")\n";
    out << "Libraries:\n";
    for (const auto& l : report.libraries) out << "  " << l.Message() << "\n";
    if (!report.outcome.Usable()) {
        out << "The GPU library could not be used: " << report.outcome.Message() << "\n";
        return;
    }
    for (const auto& id : report.systemIds) PrintId(out, id);
    if (report.enumerateStatus != kNvOk) {
        out << "No GPU could be listed (status " << report.enumerateStatus << ")\n";
        return;
    }
    for (const auto& g : report.gpus) {
        out << "GPU " << g.index;
        if (g.links && !g.links->pciAddress.empty()) out << " (PCI " << g.links->pciAddress << ")";
        out << ":\n";
        if (g.links) {
            out << "  kernel I2C:";
            if (g.links->adapters.empty()) out << " no adapters";
            for (const auto& a : g.links->adapters) out << " i2c-" << a.number << " (port " << a.port << ")";
            out << "\n";
            for (const auto& problem : g.links->i2cProblems) out << "    " << problem << "\n";
            out << "  NVML: " << (g.links->nvmlDevice ? "device found" : g.links->nvmlProblem) << "\n";
        }
        for (const auto& id : g.ids) PrintId(out, id);
        out << "  one monitoring tick: " << Micros(g.tickMedianMicroseconds) << " (median of 20)\n";
    }
}

}  // namespace

int RunDoctorCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CliArgs parsed("doctor", args);
    if (!parsed.Parse({"--json", "--help"}, {}, err)) return kExitUsage;
    if (parsed.Has("--help")) {
        out << kDoctorHelp;
        return kExitOk;
    }
    if (!parsed.Words().empty()) {
        err << parsed.Prefix() << "unknown argument \"" << parsed.Words().front() << "\" (accepted: --json, --help)\n";
        return kExitUsage;
    }
    GpuBackendChoice choice = ChooseGpuBackendFromEnvironment();
    if (!choice.source) {
        err << "pyxtunectl: " << choice.error << "\n";
        return kExitUsage;
    }
    // Whether a service owns the cards: with one, the rest only tells what this process itself
    // could reach.
    std::string serviceError;
    const auto service = ServiceClient::FromEnvironment("pyxtunectl", PYX_PROJECT_VERSION, serviceError);
    const std::string address = ServiceClient::ConfiguredAddress();
    nlohmann::json serviceJson = {{"address", address.empty() ? nlohmann::json(nullptr) : nlohmann::json(address)},
                                  {"answers", service != nullptr}};
    std::string serviceLine;
    if (service) {
        serviceJson["serviceVersion"] = service->Hello().value("serviceVersion", std::string());
        serviceLine = "Service: the Pyxtune service " + serviceJson["serviceVersion"].get<std::string>() +
                      " owns the cards (" + service->BackendLine() + ")";
    } else if (!serviceError.empty()) {
        serviceJson["error"] = serviceError;
        serviceLine = "Service: " + serviceError;
    } else {
        serviceLine = address.empty() ? "Service: none (PYXTUNE_SERVICE=off, or none on this system): this process opens the cards"
                                      : "Service: none answers at " + address + ": this process opens the cards";
    }
    // No trace: the doctor changes nothing, so it has nothing to record.
    NvApiLibrary library(std::move(choice.source));
    DiagnosticsSink diagnostics(CliDiagnostics::Target());
    const DoctorReport report = RunDoctor(library, kDoctorSamples, &diagnostics);
    if (parsed.Has("--json")) {
        nlohmann::json doc = ReportJson(report);
        doc["service"] = serviceJson;
        out << doc.dump(2) << "\n";
    } else {
        PrintReport(out, report);
        out << serviceLine << "\n";
    }
    if (!report.outcome.Usable()) {
        err << "pyxtunectl: the GPU library could not be used: " << report.outcome.Message() << "\n";
        return kExitHardware;
    }
    return kExitOk;
}

}  // namespace pyx

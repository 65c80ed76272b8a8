#pragma once
#include <memory>

#include "gpu/LibrarySource.h"
#include "sim/SimLibrary.h"

namespace pyx::sim {

// Serves the simulated library through the same entry point a driver module has.
class SimLibrarySource : public LibrarySource {
public:
    explicit SimLibrarySource(std::unique_ptr<SimLibrary> library);
    ~SimLibrarySource() override;

    NvStatus Open(NvQueryInterfaceFn& queryInterface) override;
    void Close() override;
    std::string BackendName() const override { return "sim"; }
    std::string Describe() const override;
    // The name the scenario gives the card.
    std::optional<std::string> CardName(void* gpuHandle) const override;
    std::optional<uint32_t> PowerDrawMilliwatts(void* gpuHandle) const override;

    SimLibrary& Library() { return *library_; }

private:
    std::unique_ptr<SimLibrary> library_;
};

}  // namespace pyx::sim

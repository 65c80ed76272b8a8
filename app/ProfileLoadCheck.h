#pragma once
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "gpu/GpuBoardTable.h"

class CIni;

namespace pyx {

// What a profile would send to the GPUs here, read before anything is sent: the GPUs whose
// section it matches (as the load matches them), each value outside its GPU's range, and
// whether it overclocks. A load is an apply like any other.
class ProfileLoadCheck {
public:
    // Reads the ranges from the cards; a file that cannot be read matches no GPU.
    ProfileLoadCheck(const std::filesystem::path& file, GpuBoardTable& boards);
    // The same for settings read already (sent by a client as values).
    ProfileLoadCheck(const CIni& ini, GpuBoardTable& boards);

    const std::vector<int>& Gpus() const { return gpus_; }
    // "[Gpu1] DyaGpuClock=99999 MHz is outside GPU 0's range -200..200 MHz", one per value.
    const std::vector<std::string>& OutOfRange() const { return outOfRange_; }
    // A clock offset above zero reaches a card: the overclocking warning is due.
    bool Overclocks() const { return overclocks_; }
    // Why a profile matched no GPU: "no section names a GPU here (this machine needs [Gpu1]
    // Id=...)", with the section each GPU here would need.
    static std::string NoGpuMatchesText(const GpuBoardTable& boards);
    // The text of OutOfRange for the value of key in GPU gpu's section; null when in range.
    const std::string* OutOfRange(int gpu, std::string_view key) const;

private:
    void Check(const CIni& ini, GpuBoardTable& boards);

    struct Refused {
        int gpu;
        std::string key;
    };
    std::vector<int> gpus_;
    std::vector<std::string> outOfRange_;
    std::vector<Refused> refused_;  // one per entry of outOfRange_
    bool overclocks_ = false;
};

}  // namespace pyx

#include "gpu/readmem/BiosDump.h"

#include <system_error>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "gpu/readmem/SysfsRom.h"
#include "sim/SimScenario.h"

namespace pyx::readmem {

namespace {

std::vector<uint8_t> CardRom(const std::filesystem::path& pciDevices, std::string& error) {
#ifdef _WIN32
    (void)pciDevices;
    error = "reading the card's ROM is not available on this system";
    return {};
#else
    const auto roms = FindNvidiaRoms(pciDevices);
    if (roms.empty()) {
        error = "no NVIDIA display device with a ROM under " + pciDevices.string();
        return {};
    }
    return ReadSysfsRom(roms.front(), error);
#endif
}

}  // namespace

std::vector<uint8_t> SimulatedBios(const char* scenarioPath, std::string& error) {
    std::unique_ptr<sim::SimLibrary> library;
    if (scenarioPath != nullptr && *scenarioPath != '\0') {
        library = sim::SimScenario::FromFile(scenarioPath, error);
        if (!library) return {};
    } else {
        library = sim::SimScenario::Default();
    }
    if (library->CardCount() == 0) {
        error = "simulator scenario " + library->scenarioName + " has no card";
        return {};
    }
    return library->Card(0).biosImage;
}

std::optional<BiosBackend> BackendFromArguments(std::span<const std::string> args, std::string& error) {
    if (args.empty()) return BiosBackend::Card;
    for (const std::string& arg : args) {
        if (arg != "--backend=nvapi" && arg != "--backend=sim") {
            error = "unknown argument \"" + arg + "\" (accepted: --backend=nvapi or --backend=sim)";
            return std::nullopt;
        }
    }
    if (args.size() > 1) {
        error = "the back-end is named more than once";
        return std::nullopt;
    }
    return args[0] == "--backend=sim" ? BiosBackend::Simulator : BiosBackend::Card;
}

std::vector<uint8_t> ReadBios(const BiosSource& source, std::string& error) {
    if (source.backend == BiosBackend::Simulator) return SimulatedBios(source.scenarioPath, error);
    return CardRom(source.pciDevices, error);
}

#ifdef _WIN32

bool WriteDump(const std::filesystem::path& file, const std::vector<uint8_t>& bytes, std::string& error) {
    // A link is removed itself, never what it points at; the dump is then a new file of its own.
    std::error_code ec;
    std::filesystem::remove(file, ec);
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = "cannot write " + file.string() + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    DWORD written = 0;
    bool ok = bytes.size() <= MAXDWORD &&
              WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != 0 &&
              written == bytes.size();
    ok = CloseHandle(h) != 0 && ok;
    if (!ok) {
        error = "cannot write " + file.string();
        // Half a dump would be scanned as if it were the BIOS.
        std::filesystem::remove(file, ec);
    }
    return ok;
}

#else

bool WriteDump(const std::filesystem::path& file, const std::vector<uint8_t>& bytes, std::string& error) {
    // The reader may be run in a folder others can write. An old dump of the running user's is
    // removed (a link itself, never what it points at); anyone else's name is left alone, so
    // nobody can make the reader write into a file of their choosing.
    struct stat old {};
    if (::lstat(file.c_str(), &old) == 0) {
        if (old.st_uid != ::geteuid()) {
            error = file.string() + " belongs to another user; it is left as it is and no dump is written";
            return false;
        }
        if (::unlink(file.c_str()) != 0 && errno != ENOENT) {
            error = "cannot replace " + file.string() + " (" + std::strerror(errno) + ")";
            return false;
        }
    }
    // Made here and now: a name someone took meanwhile makes this fail, not write through it.
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "cannot write " + file.string() + " (" + std::strerror(errno) + ")";
        return false;
    }
    bool ok = true;
    for (size_t done = 0; ok && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<size_t>(n);
    }
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        error = "cannot write " + file.string();
        // Half a dump would be scanned as if it were the BIOS; the file is this run's own.
        ::unlink(file.c_str());
    }
    return ok;
}

#endif

}  // namespace pyx::readmem

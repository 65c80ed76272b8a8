#include "gpu/linux/KernelI2c.h"

#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace pyx {

namespace fs = std::filesystem;

namespace {

// The longest data block the program sends (a lighting frame) is far below this; the cap
// keeps a malformed request from asking the kernel for an oversized buffer.
constexpr uint32_t kMaxTransferBytes = 256;

std::string ReadLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// "0000:01:00.0" -> bus 1, slot 0, function 0.
bool ParsePciAddress(const std::string& text, uint32_t& domain, uint32_t& bus, uint32_t& slot, uint32_t& function) {
    unsigned d = 0, b = 0, s = 0, f = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%x:%x:%x.%x%c", &d, &b, &s, &f, &tail) != 4) return false;
    domain = d;
    bus = b;
    slot = s;
    function = f;
    return true;
}

}  // namespace

// ---- the kernel's device nodes ---------------------------------------------------------

DevI2cTransport::DevI2cTransport(fs::path devRoot) : devRoot_(std::move(devRoot)) {}

DevI2cTransport::~DevI2cTransport() {
    for (const auto& [adapter, fd] : descriptors_) ::close(fd);
}

int DevI2cTransport::Descriptor(int adapter, std::string* why) {
    std::lock_guard lock(mutex_);
    if (const auto it = descriptors_.find(adapter); it != descriptors_.end()) return it->second;
    const fs::path node = devRoot_ / ("i2c-" + std::to_string(adapter));
    const int fd = ::open(node.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (why) {
            if (error == ENOENT)
                *why = node.string() + " does not exist: load the i2c-dev module (modprobe i2c-dev)";
            else if (error == EACCES || error == EPERM)
                *why = "no permission to open " + node.string() +
                       ": run as root, or add a udev rule that gives your group the i2c devices";
            else
                *why = node.string() + ": " + std::strerror(error);
        }
        return -1;
    }
    descriptors_[adapter] = fd;
    return fd;
}

std::string DevI2cTransport::Check(int adapter) {
    std::string why;
    Descriptor(adapter, &why);
    return why;
}

NvStatus DevI2cTransport::Read(int adapter, uint8_t address7, const uint8_t* reg, uint32_t regSize, uint8_t* data,
                               uint32_t length) {
    const int fd = Descriptor(adapter, nullptr);
    if (fd < 0) return kNvFailed;
    i2c_msg messages[2]{};
    uint32_t count = 0;
    if (regSize != 0) {
        messages[count++] = {address7, 0, static_cast<uint16_t>(regSize), const_cast<uint8_t*>(reg)};
    }
    messages[count++] = {address7, I2C_M_RD, static_cast<uint16_t>(length), data};
    i2c_rdwr_ioctl_data transfer{messages, count};
    return ::ioctl(fd, I2C_RDWR, &transfer) < 0 ? kNvFailed : kNvOk;
}

NvStatus DevI2cTransport::Write(int adapter, uint8_t address7, const uint8_t* reg, uint32_t regSize,
                                const uint8_t* data, uint32_t length) {
    if (regSize > 4 || length > kMaxTransferBytes) return kNvInvalidArgument;
    const int fd = Descriptor(adapter, nullptr);
    if (fd < 0) return kNvFailed;
    // Register and data go out in one message, as the chips expect them.
    uint8_t buffer[kMaxTransferBytes + 4];
    std::memcpy(buffer, reg, regSize);
    if (length != 0) std::memcpy(buffer + regSize, data, length);
    i2c_msg message{address7, 0, static_cast<uint16_t>(regSize + length), buffer};
    i2c_rdwr_ioctl_data transfer{&message, 1};
    return ::ioctl(fd, I2C_RDWR, &transfer) < 0 ? kNvFailed : kNvOk;
}

// ---- adapters of a card ------------------------------------------------------------------

KernelI2c::KernelI2c(fs::path sysfsRoot, std::unique_ptr<I2cTransport> transport)
    : sysfsRoot_(std::move(sysfsRoot)), transport_(std::move(transport)) {}

int KernelI2c::PortFromName(const std::string& name) {
    static constexpr char kPrefix[] = "NVIDIA i2c adapter ";
    if (name.rfind(kPrefix, 0) != 0) return -1;
    int port = -1;
    char after = 0;
    if (std::sscanf(name.c_str() + sizeof kPrefix - 1, "%d%c", &port, &after) < 1 || port < 0) return -1;
    return port;
}

int KernelI2c::PortOf(const NvI2cRequestV3& request) {
    if (request.version == kI2cRequestV3Tag && request.bIsPortIdSet != 0) return request.portId;
    return request.bIsDDCPort;
}

std::vector<I2cAdapter> KernelI2c::AdaptersOf(const std::string& pciAddress) {
    std::lock_guard lock(mutex_);
    if (const auto it = adapters_.find(pciAddress); it != adapters_.end()) return it->second;
    std::vector<I2cAdapter> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(sysfsRoot_ / "bus/i2c/devices", ec)) {
        const std::string file = entry.path().filename().string();
        if (file.rfind("i2c-", 0) != 0) continue;
        const fs::path real = fs::canonical(entry.path(), ec);
        if (ec || real.parent_path().filename() != pciAddress) continue;
        I2cAdapter adapter;
        try {
            adapter.number = std::stoi(file.substr(4));
        } catch (...) {
            continue;
        }
        adapter.name = ReadLine(real / "name");
        adapter.port = PortFromName(adapter.name);
        if (adapter.port >= 0) found.push_back(adapter);
    }
    std::sort(found.begin(), found.end(), [](const I2cAdapter& a, const I2cAdapter& b) { return a.port < b.port; });
    adapters_[pciAddress] = found;
    return found;
}

std::string KernelI2c::PciAddressOf(uint32_t bus, std::optional<uint32_t> slot) const {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(sysfsRoot_ / "bus/pci/devices", ec)) {
        const std::string name = entry.path().filename().string();
        uint32_t d = 0, b = 0, s = 0, f = 0;
        if (!ParsePciAddress(name, d, b, s, f) || b != bus || f != 0 || (slot && s != *slot)) continue;
        if (ReadLine(entry.path() / "vendor") != "0x10de") continue;
        return name;
    }
    char text[32];
    std::snprintf(text, sizeof text, "0000:%02x:%02x.0", bus & 0xFFu, slot.value_or(0) & 0x1Fu);
    return text;
}

NvStatus KernelI2c::Transfer(const std::string& pciAddress, const NvI2cRequestV3& request, bool read) {
    if (request.version != kI2cRequestV3Tag && request.version != kI2cRequestV1Tag) return -9;
    if (request.cbSize > kMaxTransferBytes || request.regAddrSize > 4) return kNvInvalidArgument;
    if ((request.regAddrSize != 0 && request.pbI2cRegAddress == nullptr) ||
        (request.cbSize != 0 && request.pbData == nullptr))
        return kNvInvalidArgument;
    const int port = PortOf(request);
    int adapter = -1;
    for (const I2cAdapter& a : AdaptersOf(pciAddress))
        if (a.port == port) adapter = a.number;
    if (adapter < 0) return kNvFailed;
    const uint8_t address7 = static_cast<uint8_t>(request.i2cDevAddress >> 1);
    return read ? transport_->Read(adapter, address7, request.pbI2cRegAddress, request.regAddrSize, request.pbData,
                                   request.cbSize)
                : transport_->Write(adapter, address7, request.pbI2cRegAddress, request.regAddrSize, request.pbData,
                                    request.cbSize);
}

}  // namespace pyx

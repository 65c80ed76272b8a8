#pragma once
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "gpu/CardLinks.h"
#include "gpu/NvApiRecords.h"
#include "gpu/NvApiStatus.h"

namespace pyx {

// Moves one transaction over an adapter; the kernel's character devices in the program,
// register-file models in the tests.
class I2cTransport {
public:
    virtual ~I2cTransport() = default;
    // A register write followed by a read of `length` bytes. 7-bit address. kNvOk, or -1.
    virtual NvStatus Read(int adapter, uint8_t address7, const uint8_t* reg, uint32_t regSize, uint8_t* data,
                          uint32_t length) = 0;
    virtual NvStatus Write(int adapter, uint8_t address7, const uint8_t* reg, uint32_t regSize,
                           const uint8_t* data, uint32_t length) = 0;
    // Why transactions on the adapter cannot be made (no device node, no permission); empty
    // when they can. Sends nothing on the bus.
    virtual std::string Check(int adapter) = 0;
};

// /dev/i2c-N through I2C_RDWR, one combined transaction per request. Device nodes are opened
// once and kept open.
class DevI2cTransport : public I2cTransport {
public:
    explicit DevI2cTransport(std::filesystem::path devRoot = "/dev");
    ~DevI2cTransport() override;

    NvStatus Read(int adapter, uint8_t address7, const uint8_t* reg, uint32_t regSize, uint8_t* data,
                  uint32_t length) override;
    NvStatus Write(int adapter, uint8_t address7, const uint8_t* reg, uint32_t regSize, const uint8_t* data,
                   uint32_t length) override;
    std::string Check(int adapter) override;

private:
    // The open descriptor, or -1 with `why` set.
    int Descriptor(int adapter, std::string* why);

    std::filesystem::path devRoot_;
    std::mutex mutex_;
    std::map<int, int> descriptors_;
};

// The cards' I2C buses as the kernel offers them: the adapters below /sys/bus/i2c/devices
// whose parent is the card's PCI device, each reached on the port its name gives. A request
// names the port by its port id when it sets one, else by its DDC-port byte; its 8-bit
// device address becomes the kernel's 7-bit address (shifted right by one).
class KernelI2c {
public:
    KernelI2c(std::filesystem::path sysfsRoot, std::unique_ptr<I2cTransport> transport);

    // The card's adapters by port, read from sysfs once per card. pciAddress: "0000:01:00.0".
    std::vector<I2cAdapter> AdaptersOf(const std::string& pciAddress);
    // The PCI address of the NVIDIA device on `bus` (and `slot`, when known), from sysfs;
    // "0000:BB:SS.0" when sysfs does not list it.
    std::string PciAddressOf(uint32_t bus, std::optional<uint32_t> slot) const;

    // One request of the library's shape on the card at pciAddress.
    NvStatus Transfer(const std::string& pciAddress, const NvI2cRequestV3& request, bool read);
    // The port a request is sent on.
    static int PortOf(const NvI2cRequestV3& request);
    // Port number from an adapter name, or -1.
    static int PortFromName(const std::string& name);

    I2cTransport& Transport() { return *transport_; }
    const std::filesystem::path& SysfsRoot() const { return sysfsRoot_; }

private:
    std::filesystem::path sysfsRoot_;
    std::unique_ptr<I2cTransport> transport_;
    std::mutex mutex_;
    std::map<std::string, std::vector<I2cAdapter>> adapters_;
};

}  // namespace pyx

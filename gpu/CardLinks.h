#pragma once
#include <string>
#include <vector>

namespace pyx {

// One I2C adapter the kernel's driver registered for a card.
struct I2cAdapter {
    int number = -1;  // N of i2c-N and /dev/i2c-N
    int port = -1;    // from its name, "NVIDIA i2c adapter <port> at <bus>:<slot>.<function>"
    std::string name;
};

// How a library source reaches one card besides the driver's own library, for the doctor's
// report: its PCI address, its kernel I2C adapters and whether the management library knows
// it, with what to do where something cannot be used.
struct CardLinks {
    std::string pciAddress;  // empty: the library does not tell the card's bus
    std::vector<I2cAdapter> adapters;
    std::vector<std::string> i2cProblems;
    bool nvmlDevice = false;
    std::string nvmlProblem;
};

}  // namespace pyx

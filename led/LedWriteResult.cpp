#include "led/LedWriteResult.h"

namespace pyx {

namespace {

std::string Hex2(unsigned value) {
    static const char* digits = "0123456789ABCDEF";
    return {'0', 'x', digits[(value >> 4) & 0xF], digits[value & 0xF]};
}

}  // namespace

std::string DescribeRefusedWrites(const LedWriteResult& result) {
    std::string text;
    for (const LedRefusedWrite& write : result.refused) {
        if (!text.empty()) text += ", ";
        text += Hex2(write.address) + " register " + Hex2(write.reg) + " (status " + std::to_string(write.status) + ")";
    }
    return text;
}

}  // namespace pyx

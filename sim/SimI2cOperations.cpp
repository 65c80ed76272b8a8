// The four I2C operations of the simulated library, over each card's bus.
#include "gpu/NvApiRecords.h"
#include "sim/SimOperationSupport.h"

namespace pyx::sim {

void RegisterI2cOperations(SimOperationTable& table);

namespace {

using H = NvPhysicalGpuHandle;
using Kind = SimI2cRecord::Kind;

int32_t Transfer(NvOp op, Kind kind, H h, NvI2cRequestV3* request) {
    SimCard* card = nullptr;
    if (const NvStatus s = EnterCard(op, h, card); s != kNvOk) return s;
    if (request == nullptr) return kSimInvalidArgument;
    const bool v3 = request->version == kI2cRequestV3Tag;
    if (!v3 && request->version != kI2cRequestV1Tag) return kSimIncompatibleVersion;
    if (request->regAddrSize != 0 && request->pbI2cRegAddress == nullptr) return kSimInvalidArgument;
    if (request->cbSize != 0 && request->pbData == nullptr) return kSimInvalidArgument;

    SimI2cRecord record{};
    record.kind = kind;
    record.version = request->version;
    record.displayMask = request->displayMask;
    record.ddcPortByte = request->bIsDDCPort;
    record.devAddress = request->i2cDevAddress;
    record.reg = request->regAddrSize != 0 ? request->pbI2cRegAddress[0] : 0;
    record.length = request->cbSize;
    record.i2cSpeed = request->i2cSpeed;
    if (v3) {
        record.i2cSpeedKhz = request->i2cSpeedKhz;
        record.portId = request->portId;
        record.portIdSet = request->bIsPortIdSet;
    }
    SimLibrary* library = SimLibrary::Active();
    const bool primary = kind == Kind::Read || kind == Kind::Write;
    if (primary && library->failPrimaryI2c.load()) {
        record.acknowledged = false;
        return kNvFailed;
    }
    return card->bus.Transfer(record, request->pbData) ? kNvOk : kNvFailed;
}

int32_t PYX_NVAPI_CALL I2CRead(H h, NvI2cRequestV3* request) {
    return Transfer(NvOp::I2CRead, Kind::Read, h, request);
}
int32_t PYX_NVAPI_CALL I2CWrite(H h, NvI2cRequestV3* request) {
    return Transfer(NvOp::I2CWrite, Kind::Write, h, request);
}
int32_t PYX_NVAPI_CALL I2CReadEx(H h, NvI2cRequestV3* request, uint32_t* extra) {
    if (extra == nullptr) return kSimInvalidArgument;
    return Transfer(NvOp::I2CReadEx, Kind::ReadEx, h, request);
}
int32_t PYX_NVAPI_CALL I2CWriteEx(H h, NvI2cRequestV3* request, uint32_t* extra) {
    if (extra == nullptr) return kSimInvalidArgument;
    return Transfer(NvOp::I2CWriteEx, Kind::WriteEx, h, request);
}

}  // namespace

void RegisterI2cOperations(SimOperationTable& table) {
    table[NvOpId(NvOp::I2CRead)] = reinterpret_cast<void*>(&I2CRead);
    table[NvOpId(NvOp::I2CWrite)] = reinterpret_cast<void*>(&I2CWrite);
    table[NvOpId(NvOp::I2CReadEx)] = reinterpret_cast<void*>(&I2CReadEx);
    table[NvOpId(NvOp::I2CWriteEx)] = reinterpret_cast<void*>(&I2CWriteEx);
}

}  // namespace pyx::sim

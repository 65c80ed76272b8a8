#include "sim/SimLibrary.h"

namespace pyx::sim {

void RegisterCoreOperations(SimOperationTable& table);
void RegisterI2cOperations(SimOperationTable& table);
void RegisterLightingOperations(SimOperationTable& table);
void RegisterClockOperations(SimOperationTable& table);
void RegisterCoolerOperations(SimOperationTable& table);
void RegisterPolicyOperations(SimOperationTable& table);
void RegisterDiscoveryOperations(SimOperationTable& table);

// Every operation the simulated library answers. An id missing here is unknown to it,
// as an operation missing from an older driver is.
void RegisterAllOperations(SimOperationTable& table) {
    RegisterCoreOperations(table);
    RegisterI2cOperations(table);
    RegisterLightingOperations(table);
    RegisterClockOperations(table);
    RegisterCoolerOperations(table);
    RegisterPolicyOperations(table);
    RegisterDiscoveryOperations(table);
}

}  // namespace pyx::sim

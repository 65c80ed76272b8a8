#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/ScenarioJson.h"
#include "tests/support/SimWorld.h"
#include "gpu/NvApiIds.h"
#include "gpu/NvApiLibrary.h"

namespace pyx {
namespace {

// A library source whose behaviour each test sets: what Open answers and which ids the
// query function knows. Function addresses carry no context, so the state is static.
struct FakeLibrary {
    static inline NvStatus openStatus = kNvOk;
    static inline bool hasEntryPoint = true;
    static inline bool knowsInitialize = true;
    static inline int32_t initializeStatus = 0;
    static inline bool knowsPci = true;
    static inline bool withHooks = false;
    static inline std::atomic<int> opens{0}, closes{0}, initializeCalls{0}, pciQueries{0};
    static inline std::atomic<int> beforeHooks{0}, afterHooks{0};
    static inline std::atomic<int32_t> lastAfterStatus{0};

    static void Reset() {
        openStatus = kNvOk;
        hasEntryPoint = knowsInitialize = knowsPci = true;
        withHooks = false;
        initializeStatus = 0;
        opens = closes = initializeCalls = pciQueries = beforeHooks = afterHooks = 0;
        lastAfterStatus = 0;
    }
    static int32_t Initialize() { ++initializeCalls; return initializeStatus; }
    static int32_t Pci(void*, uint32_t* d, uint32_t* s, uint32_t*, uint32_t*) {
        *d = 0x1B8110DE;
        *s = 0x42;
        return 0;
    }
    static void Before(uint32_t id, void* context) {
        const auto* bytes = static_cast<const uint8_t*>(context);
        for (int i = 0; i < 8; ++i) EXPECT_EQ(bytes[i], 0) << "the hook context starts zeroed";
        EXPECT_EQ(id, NvOpId(NvOp::GetPCIIdentifiers));
        ++beforeHooks;
    }
    static void After(uint32_t, void*, int32_t status) { ++afterHooks; lastAfterStatus = status; }
    static void* Query(uint32_t id) {
        if (id == kIdInitialize) return knowsInitialize ? reinterpret_cast<void*>(&Initialize) : nullptr;
        if (id == NvOpId(NvOp::GetPCIIdentifiers)) {
            ++pciQueries;
            return knowsPci ? reinterpret_cast<void*>(&Pci) : nullptr;
        }
        if (withHooks && id == kIdBeforeCallHook) return reinterpret_cast<void*>(&Before);
        if (withHooks && id == kIdAfterCallHook) return reinterpret_cast<void*>(&After);
        return nullptr;
    }
};

class FakeSource : public LibrarySource {
public:
    NvStatus Open(NvQueryInterfaceFn& query) override {
        ++FakeLibrary::opens;
        if (FakeLibrary::openStatus != kNvOk) return FakeLibrary::openStatus;
        if (!FakeLibrary::hasEntryPoint) return kNvFailed;
        query = &FakeLibrary::Query;
        return kNvOk;
    }
    void Close() override { ++FakeLibrary::closes; }
    std::string BackendName() const override { return "fake"; }
    std::string Describe() const override { return "fake"; }
};

class NvApiLibraryTest : public ::testing::Test {
protected:
    void SetUp() override { FakeLibrary::Reset(); }
    NvStatus ReadPci(NvApiLibrary& nv) {
        uint32_t d = 0, s = 0, r = 0, e = 0;
        return nv.GetPCIIdentifiers(reinterpret_cast<void*>(1), &d, &s, &r, &e);
    }
};

TEST_F(NvApiLibraryTest, LoaderFailuresGiveTheirStatusesAndReleaseTheModule) {
    {
        FakeLibrary::openStatus = kNvLibraryNotFound;
        NvApiLibrary nv(std::make_unique<FakeSource>());
        EXPECT_EQ(nv.Initialize(), kNvLibraryNotFound);
        EXPECT_EQ(ReadPci(nv), kNvLibraryNotFound) << "an operation passes the loader status through";
    }
    FakeLibrary::Reset();
    {
        FakeLibrary::hasEntryPoint = false;
        NvApiLibrary nv(std::make_unique<FakeSource>());
        EXPECT_EQ(nv.Initialize(), kNvFailed);
    }
    FakeLibrary::Reset();
    {
        FakeLibrary::knowsInitialize = false;
        NvApiLibrary nv(std::make_unique<FakeSource>());
        EXPECT_EQ(nv.Initialize(), kNvFailed);
        EXPECT_EQ(FakeLibrary::closes, 1) << "a module without initialise is released";
    }
    FakeLibrary::Reset();
    {
        FakeLibrary::initializeStatus = -6;
        NvApiLibrary nv(std::make_unique<FakeSource>());
        EXPECT_EQ(nv.Initialize(), -6);
        EXPECT_EQ(FakeLibrary::closes, 1);
        // Each later use tries to load again rather than keep a library that failed.
        EXPECT_EQ(ReadPci(nv), -6);
        EXPECT_EQ(FakeLibrary::opens, 2);
    }
}

TEST_F(NvApiLibraryTest, LoadsAndInitialisesOnce) {
    NvApiLibrary nv(std::make_unique<FakeSource>());
    EXPECT_EQ(nv.Initialize(), kNvOk);
    EXPECT_EQ(nv.Initialize(), kNvOk);
    EXPECT_EQ(ReadPci(nv), kNvOk);
    EXPECT_EQ(FakeLibrary::opens, 1);
    EXPECT_EQ(FakeLibrary::initializeCalls, 1);
}

TEST_F(NvApiLibraryTest, UnknownIdGivesMinus3AndIsAskedAgainNextTime) {
    FakeLibrary::knowsPci = false;
    NvApiLibrary nv(std::make_unique<FakeSource>());
    EXPECT_EQ(ReadPci(nv), kNvNoInterface);
    EXPECT_EQ(ReadPci(nv), kNvNoInterface);
    EXPECT_EQ(FakeLibrary::pciQueries, 2);
    FakeLibrary::knowsPci = true;
    EXPECT_EQ(ReadPci(nv), kNvOk);
    EXPECT_EQ(ReadPci(nv), kNvOk);
    EXPECT_EQ(FakeLibrary::pciQueries, 3) << "a found address is cached";
    EXPECT_EQ(nv.CallsInFlight(), 0);
}

TEST_F(NvApiLibraryTest, ReloadClearsThePointerCache) {
    NvApiLibrary nv(std::make_unique<FakeSource>());
    EXPECT_EQ(ReadPci(nv), kNvOk);
    nv.Unload();
    EXPECT_EQ(FakeLibrary::closes, 1);
    EXPECT_EQ(ReadPci(nv), kNvOk);
    EXPECT_EQ(FakeLibrary::opens, 2);
    EXPECT_EQ(FakeLibrary::pciQueries, 2);
}

TEST_F(NvApiLibraryTest, CallHooksSurroundEveryOperation) {
    FakeLibrary::withHooks = true;
    NvApiLibrary nv(std::make_unique<FakeSource>());
    EXPECT_EQ(ReadPci(nv), kNvOk);
    EXPECT_EQ(ReadPci(nv), kNvOk);
    EXPECT_EQ(FakeLibrary::beforeHooks, 2);
    EXPECT_EQ(FakeLibrary::afterHooks, 2);
    EXPECT_EQ(FakeLibrary::lastAfterStatus, 0);
}

TEST(NvApiLibraryCounter, CountsCallsInFlightAndReturnsToZeroAcrossThreads) {
    // A slow bus keeps each transaction inside the layer long enough to be seen.
    test::SimWorld rig(test::CardsJson(2, R"([{"address": "0x60"}])"));
    rig.sim->SetBusTimePerByte(std::chrono::microseconds(200));
    std::atomic<int> maxSeen{0};
    std::atomic<bool> done{false};
    std::thread watcher([&] {
        while (!done) {
            const int now = rig.nv->CallsInFlight();
            int seen = maxSeen;
            while (now > seen && !maxSeen.compare_exchange_weak(seen, now)) {}
            std::this_thread::yield();
        }
    });
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < 20; ++i) {
                NvI2cRequestV3 request{};
                uint8_t reg = 1, data = static_cast<uint8_t>(i);
                request.version = kI2cRequestV1Tag;
                request.i2cDevAddress = 0x60;
                request.pbI2cRegAddress = &reg;
                request.regAddrSize = 1;
                request.pbData = &data;
                request.cbSize = 1;
                EXPECT_EQ(rig.nv->I2CWrite(rig.table->Board(t % 2).gpuHandle, &request), kNvOk);
            }
        });
    }
    for (auto& w : workers) w.join();
    done = true;
    watcher.join();
    EXPECT_EQ(rig.nv->CallsInFlight(), 0);
    EXPECT_GE(maxSeen.load(), 2) << "several threads were inside the layer at once";
}

}  // namespace
}  // namespace pyx

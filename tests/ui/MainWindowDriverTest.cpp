// The window over NVIDIA's own Linux driver library on a machine where it cannot start: the
// driver's failure is shown and the program ends, without simulated cards in its place.
#if !defined(_WIN32) && defined(PYX_DRIVER_LIBS)
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "gpu/linux/FilledNvApiSource.h"
#include "gpu/linux/LinuxNvApiSource.h"
#include "tests/ui/MainWindowTestWorld.h"

using namespace pyx;

TEST(MainWindowDriver, ADriverLibraryThatCannotStartIsShownAndTheProgramEnds)
{
    const std::filesystem::path dest = PYX_DRIVER_LIBS;
    if (!std::filesystem::exists(dest / "READY")) {
        std::ifstream in(dest / "SKIP");
        std::string why;
        std::getline(in, why);
        GTEST_SKIP() << "NVIDIA's driver libraries are not available: " << (why.empty() ? "not fetched" : why);
    }
    const LibraryTrust trust = LibraryTrust::UnderRoot(dest / "root", ::geteuid());
    DriverFillOptions options;
    options.nvmlTrust = trust;
    MainWindowWorld world(std::make_unique<FilledNvApiSource>(std::make_unique<LinuxNvApiSource>(trust), std::move(options)));
    if (world.core->startHardwareResult == 0) GTEST_SKIP() << "this machine has a working NVIDIA driver";
    bool ended = false;
    QObject::connect(world.window.get(), &CVornDlg::endProgram, [&ended] { ended = true; });
    EXPECT_FALSE(world.Open());
    EXPECT_TRUE(ended);
    ASSERT_EQ(world.prompts.errors.size(), 1u);
    EXPECT_EQ(world.prompts.errors[0],
              QStringLiteral("libnvidia-api.so.1: found, but NvAPI_Initialize returned -1 (no NVIDIA GPU, or the NVIDIA "
                             "driver is not loaded)"));
    EXPECT_FALSE(world.window->isVisible());
}
#endif

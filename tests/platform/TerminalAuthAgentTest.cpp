// The terminal's authentication agent runs for this process only once it says it registered,
// and goes with the request that needed it.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "platform/AuthAgent.h"
#include "tests/support/FileText.h"
#include "tests/support/TempFolder.h"

namespace pyx {
namespace {

TEST(TerminalAuthAgent, RunsOnlyOnceRegisteredAndEndsWithItsOwner) {
    struct Case {
        const char* what;
        const char* script;  // after recording its arguments and its pid
        bool started;
    };
    const Case cases[] = {
        {"registers", "exec 3>&-; sleep 30", true},
        {"never says it registered", "sleep 30", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempFolder folder("pyx-agent-");
        const auto agent = folder.Path() / "pkttyagent";
        const auto record = folder.Path() / "args";
        {
            std::ofstream script(agent);
            script << "#!/bin/sh\necho \"$$ $*\" > " << record.string() << "\n" << c.script << "\n";
        }
        ::chmod(agent.c_str(), 0755);
        std::unique_ptr<AuthAgent> running = AuthAgent::Start(agent);
        EXPECT_EQ(running != nullptr, c.started);
        const std::string args = test::FileText(record);
        EXPECT_NE(args.find(" --process " + std::to_string(::getpid()) + " --notify-fd 3 --fallback"), std::string::npos)
            << args;
        const pid_t pid = std::stoi(args);
        running.reset();
        // Ended and reaped either way: nothing of it is left running or as a zombie.
        EXPECT_NE(::kill(pid, 0), 0) << "the agent still runs";
    }
    // Found on the PATH, as the system installs it.
    test::TempFolder folder("pyx-agent-path-");
    std::ofstream(folder.Path() / "pkttyagent") << "#!/bin/sh\n";
    ::chmod((folder.Path() / "pkttyagent").c_str(), 0755);
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", (folder.Path().string() + ":" + path).c_str(), 1);
    EXPECT_EQ(AuthAgent::Find(), folder.Path() / "pkttyagent");
    ::setenv("PATH", path.c_str(), 1);
}

}  // namespace
}  // namespace pyx

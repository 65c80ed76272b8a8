#include "ui/dialogs/CProfileDlg.h"

#include "app/TuningSettingsStore.h"
#include "gpu/NvApiLibrary.h"
#include "sim/SimLibrarySource.h"
#include "sim/SimScenario.h"
#include "tests/support/FileText.h"
#include "ui/main/SaveFailureText.h"

#ifndef _WIN32
#include "tests/support/linux/FileSizeLimit.h"
#endif

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// One simulated card whose clocks, power target and fan the profile carries.
constexpr char kCard[] = R"({"cards": [{
  "deviceId": "0x1B8110DE", "subSystemId": "0xA0141B4C",
  "tuning": {
    "graphicsDelta": {"deltaKHz": 120000},
    "memoryDelta": {"deltaKHz": 350000},
    "power": {"currentPcm": 112000},
    "coolers": [{"level": 65, "manual": true}]
  }
}]})";

struct Card
{
    Card()
    {
        std::string error;
        auto library = pyx::sim::SimScenario::FromText(kCard, "profile test", error);
        EXPECT_NE(library, nullptr) << error;
        sim = library.get();
        nv = std::make_unique<pyx::NvApiLibrary>(
            std::make_unique<pyx::sim::SimLibrarySource>(std::move(library)));
        EXPECT_EQ(nv->Initialize(), 0);
        table = std::make_unique<pyx::GpuBoardTable>(*nv);
        EXPECT_EQ(table->EnumerateBoards(), pyx::kNvOk);
        uint32_t deviceId = 0;
        uint32_t subSystemId = 0;
        EXPECT_EQ(table->ReadPciIdentifiers(0, &deviceId, &subSystemId), 0);
        table->Board(0).hasBoostClock = 1;  // what discovery finds on this card
    }

    pyx::sim::SimTuningState& Tuning() { return sim->Card(0).tuning; }

    pyx::sim::SimLibrary* sim = nullptr;
    std::unique_ptr<pyx::NvApiLibrary> nv;
    std::unique_ptr<pyx::GpuBoardTable> table;
};

class DialogProfileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(programDir.isValid());
        ASSERT_TRUE(elsewhere.isValid());
        programFolder = fs::path(programDir.path().toStdString());
        savedCurrent = fs::current_path();
    }
    void TearDown() override { fs::current_path(savedCurrent); }

    // A dialog whose picker answers `answer` and notes what it was asked; the refresh and the
    // pause are noted in `events` in the order they happen.
    std::unique_ptr<CProfileDlg> MakeDialog(std::optional<fs::path> answer)
    {
        ProfileDlgContext context{*card.table, state, programFolder, {}, {}, {}};
        context.profileFolder = Profiles();
        context.picker = [this, answer](QWidget* owner, const ProfileFileRequest& request) {
            requests.push_back(request);
            owners.push_back(owner);
            // A picker may leave the process in another folder.
            fs::current_path(fs::path(elsewhere.path().toStdString()));
            return answer;
        };
        context.refreshFromSettings = [this] {
            events.push_back("refresh gpu offset " +
                             std::to_string(card.Tuning().graphics.deltaKHz));
        };
        context.sleep = [this](std::chrono::milliseconds pause) {
            events.push_back("sleep " + std::to_string(pause.count()));
        };
        context.reportFailure = [this](const std::string& text) { reports.push_back(text); };
        context.describeSaveFailure = [](const fs::path& file, const std::error_code& why) {
            return pyx::SaveFailureText(file, why);
        };
        return std::make_unique<CProfileDlg>(context);
    }

    fs::path Profiles() const { return programFolder / "Profile"; }

    Card card;
    pyx::AppState state;
    QTemporaryDir programDir;
    QTemporaryDir elsewhere;
    fs::path programFolder;
    fs::path savedCurrent;
    std::vector<ProfileFileRequest> requests;
    std::vector<QWidget*> owners;
    std::vector<std::string> events;
    std::vector<std::string> reports;
};

TEST_F(DialogProfileTest, ASavedProfileLoadsBackOntoTheCardAndRefreshesTheWindow)
{
    // Saving to a name typed without extension stores it as .ini.
    auto save = MakeDialog(Profiles() / "quiet");
    save->show();
    save->Button(CProfileDlg::kSaveId)->click();
    ASSERT_TRUE(fs::exists(Profiles() / "quiet.ini"));
    EXPECT_FALSE(fs::exists(Profiles() / "quiet"));
    EXPECT_FALSE(save->isVisible()) << "a confirmed save ends the dialog";
    EXPECT_EQ(save->result(), 0);
    EXPECT_TRUE(events.empty()) << "saving neither waits nor refreshes";

    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].kind, ProfileFileRequest::Kind::Save);
    EXPECT_EQ(requests[0].initialFolder, Profiles());
    EXPECT_EQ(requests[0].nameFilter, QStringLiteral("INI file(*.ini)"));
    EXPECT_EQ(requests[0].defaultSuffix, QStringLiteral("ini"));
    EXPECT_EQ(owners[0], save.get());

    // The card drifts away from the profile.
    card.Tuning().graphics.deltaKHz = 0;
    card.Tuning().memory.deltaKHz = 0;
    card.Tuning().power.currentPcm = 100000;
    state.tuningSettings = {};

    auto load = MakeDialog(Profiles() / "quiet.ini");
    load->show();
    load->Button(CProfileDlg::kLoadId)->click();
    EXPECT_FALSE(load->isVisible()) << "a confirmed load ends the dialog";
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].kind, ProfileFileRequest::Kind::Load);
    EXPECT_EQ(requests[1].initialFolder, Profiles());
    EXPECT_TRUE(requests[1].defaultSuffix.isEmpty());

    // The values are on the card before the pause, and the window refreshes after it.
    EXPECT_EQ(events, (std::vector<std::string>{"sleep 100", "refresh gpu offset 120000"}));
    EXPECT_EQ(card.Tuning().memory.deltaKHz, 350000);
    EXPECT_EQ(card.Tuning().power.currentPcm, 112000u);
    EXPECT_EQ(state.tuningSettings.gpuClockOffsetMHz, 120);
    EXPECT_EQ(state.tuningSettings.memClockOffsetMHz, 350);
    EXPECT_EQ(state.tuningSettings.powerTargetPercent, 112);
    EXPECT_EQ(fs::current_path(), programFolder);
    EXPECT_TRUE(reports.empty()) << "a clean save and load tell nothing";
}

// A load is a change the user is asked to keep: the window may stop it before anything is sent
// (a value out of range, an overclock not confirmed); else the cards are taken before anything
// reaches them, and the load's answers go to the keep question after the refresh, not to a box
// of their own. A load that matched nothing asks nothing.
TEST_F(DialogProfileTest, ALoadedProfileIsOfferedToKeepWithItsAnswers)
{
    auto save = MakeDialog(Profiles() / "quiet");
    save->Button(CProfileDlg::kSaveId)->click();
    for (const auto& [name, allowed] : {std::pair{"quiet.ini", true}, std::pair{"missing.ini", true},
                                        std::pair{"quiet.ini", false}}) {
        SCOPED_TRACE(std::string(name) + (allowed ? "" : ", stopped"));
        card.Tuning().graphics.deltaKHz = 0;
        events.clear();
        reports.clear();
        ProfileDlgContext context{*card.table, state, programFolder, {}, {}, {}};
        context.profileFolder = Profiles();
        context.picker = [&](QWidget*, const ProfileFileRequest&) { return std::optional(Profiles() / name); };
        context.refreshFromSettings = [&] { events.push_back("refresh"); };
        context.sleep = [](std::chrono::milliseconds) {};
        context.reportFailure = [&](const std::string& text) { reports.push_back(text); };
        context.beforeLoad = [&] { events.push_back("before, offset " + std::to_string(card.Tuning().graphics.deltaKHz)); };
        context.keepLoaded = [&](const pyx::TuningReport& report) {
            events.push_back("keep? " + std::to_string(report.Writes().size() > 0));
        };
        context.mayLoad = [allowed = allowed](const fs::path&) { return allowed; };
        CProfileDlg(context).Button(CProfileDlg::kLoadId)->click();
        const bool matched = std::string(name) == "quiet.ini";
        std::vector<std::string> expected{"before, offset 0", "refresh"};
        if (matched)
            expected.push_back("keep? 1");
        EXPECT_EQ(events, allowed ? expected : std::vector<std::string>{});
        EXPECT_EQ(card.Tuning().graphics.deltaKHz, allowed && matched ? 120000 : 0);
        EXPECT_EQ(reports.size(), allowed && !matched ? 1u : 0u);
    }
}

TEST_F(DialogProfileTest, TheFirstClickMakesTheFolderAndACancelledPickerKeepsTheDialogOpen)
{
    ASSERT_FALSE(fs::exists(Profiles()));
    for (int id : {CProfileDlg::kLoadId, CProfileDlg::kSaveId}) {
        fs::remove_all(Profiles());
        fs::current_path(savedCurrent);
        auto dialog = MakeDialog(std::nullopt);
        dialog->show();
        dialog->Button(id)->click();
        EXPECT_TRUE(fs::is_directory(Profiles())) << id;
        EXPECT_TRUE(dialog->isVisible()) << id;
        // Put back even though nothing was chosen, so bare settings names land beside the program.
        EXPECT_EQ(fs::current_path(), programFolder) << id;
        EXPECT_TRUE(fs::is_empty(Profiles())) << id;
    }
    EXPECT_TRUE(events.empty());
}

TEST_F(DialogProfileTest, SavingOverAnOldProfileReplacesItAndKeepsATypedExtension)
{
    fs::create_directory(Profiles());
    const fs::path file = Profiles() / "mine.cfg";
    std::ofstream(file) << "old";
    auto dialog = MakeDialog(file);
    dialog->Button(CProfileDlg::kSaveId)->click();
    EXPECT_FALSE(fs::exists(Profiles() / "mine.cfg.ini"));
    EXPECT_GT(fs::file_size(file), 3u);
    pyx::AppState loaded;
    EXPECT_EQ(pyx::LoadTuningSettings(file, *card.table, loaded), 1);
    EXPECT_EQ(loaded.tuningSettings.gpuClockOffsetMHz, 120);
}

TEST_F(DialogProfileTest, AnUnreadableProfileChangesNothingButStillRefreshesAndCloses)
{
    state.tuningSettings.gpuClockOffsetMHz = 77;
    auto dialog = MakeDialog(Profiles() / "missing.ini");
    dialog->show();
    dialog->Button(CProfileDlg::kLoadId)->click();
    EXPECT_EQ(state.tuningSettings.gpuClockOffsetMHz, 77);
    EXPECT_EQ(card.Tuning().graphics.deltaKHz, 120000);
    EXPECT_EQ(events, (std::vector<std::string>{"sleep 100", "refresh gpu offset 120000"}));
    EXPECT_FALSE(dialog->isVisible());
    ASSERT_EQ(reports.size(), 1u) << "the user is told the load did not take";
    EXPECT_NE(reports[0].find("missing.ini"), std::string::npos) << reports[0];
    EXPECT_NE(reports[0].find("nothing was changed"), std::string::npos) << reports[0];
}

// The system's reason comes with the file, as with every other file the window cannot write;
// an old profile stays as it was.
TEST_F(DialogProfileTest, ASaveThatCannotBeWrittenIsReportedWithTheSystemsReasonAndMakesNoFile)
{
    fs::create_directories(Profiles() / "folder.ini");
    std::ofstream(Profiles() / "kept.ini") << "old";
    struct Case
    {
        fs::path file;
        std::string reason;
        bool fullDisk;
    };
#ifdef _WIN32  // the system's own words
    std::vector<Case> cases = {{Profiles() / "no such folder" / "quiet.ini", "Path not found", false},
                               {Profiles() / "folder.ini", "Is a directory", false}};
#else
    std::vector<Case> cases = {{Profiles() / "no such folder" / "quiet.ini", std::strerror(ENOENT), false},
                               {Profiles() / "folder.ini", std::strerror(EISDIR), false}};
#endif
#ifndef _WIN32
    cases.push_back({Profiles() / "kept.ini", pyx::test::FileSizeLimit::Reason(), true});
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.string());
        reports.clear();
        auto dialog = MakeDialog(c.file);
        dialog->show();
#ifndef _WIN32
        std::optional<pyx::test::FileSizeLimit> limit;
        if (c.fullDisk) {
            ASSERT_TRUE(limit.emplace(64).Active());
        }
#endif
        dialog->Button(CProfileDlg::kSaveId)->click();
        EXPECT_FALSE(dialog->isVisible());
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0], "The profile could not be saved to " + c.file.string() + ".\n\n" +
                                  c.file.filename().string() + " cannot be written: " + c.reason);
    }
    EXPECT_FALSE(fs::exists(Profiles() / "no such folder"));
    EXPECT_EQ(pyx::test::FileText(Profiles() / "kept.ini"), "old");
}

TEST_F(DialogProfileTest, TheOpenFlagIsSetOnlyWhileTheDialogRuns)
{
    auto dialog = MakeDialog(std::nullopt);
    bool open = false;
    bool seenInside = false;
    QTimer::singleShot(0, dialog.get(), [&] {
        seenInside = open;
        dialog->reject();
    });
    dialog->RunModal(open);
    EXPECT_TRUE(seenInside);
    EXPECT_FALSE(open);
}

}  // namespace

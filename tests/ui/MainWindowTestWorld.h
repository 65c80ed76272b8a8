#pragma once
// A main window over simulated cards, started the way the program starts it, with the
// prompts answered by the test and every change to a card in a trace file.

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/AppCore.h"
#include "gpu/Trace.h"
#include "led/LedEffectEngine.h"
#include "led/SteadyLedPacer.h"
#include "tests/support/FakeInstanceLock.h"
#include "tests/support/FakeMessageSink.h"
#include "tests/support/FakeServiceControl.h"
#include "sim/SimLibrary.h"
#include "sim/SimLibrarySource.h"
#include "sim/SimScenario.h"
#include "tests/support/FileText.h"
#include "tests/support/ScenarioJson.h"
#include "tests/support/SimWorld.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TraceFile.h"
#include "ui/main/CVornDlg.h"
#include "ui/main/UserPrompts.h"
#include "app/TuningController.h"

class ScriptedPrompts : public pyx::UserPrompts
{
public:
    bool answerOk = true;
    QStringList questions;
    QStringList informations;
    QStringList warnings;
    QStringList notices;  // warnings shown without waiting
    QStringList errors;

    bool AskOkCancel(QWidget*, const QString& text, const QString&) override
    {
        questions << text;
        return answerOk;
    }
    void ShowInformation(QWidget*, const QString& text, const QString&) override { informations << text; }
    void ShowWarning(QWidget*, const QString& text, const QString&) override { warnings << text; }
    void NotifyWarning(QWidget*, const QString& text, const QString&) override { notices << text; }
    void ShowError(QWidget*, const QString& text, const QString&) override { errors << text; }

    pyx::KeepAnswer keepAnswer = pyx::KeepAnswer::Keep;
    QList<int> keepSeconds;  // one entry per keep question, its countdown
    // The keep box shows the apply's result in place of the apply's own box: filed as that box.
    pyx::KeepAnswer AskKeep(QWidget*, const QString& result, int seconds) override
    {
        (result == QString::fromUtf8(pyx::kAppliedText) ? informations : warnings) << result;
        keepSeconds << seconds;
        return keepAnswer;
    }
};

inline std::string ScenarioText(const char* name)
{
    return pyx::test::FileText(pyx::test::ShippedScenario(name));
}

class MainWindowWorld
{
public:
    // beforeStart is given the program's folder before the program starts there.
    explicit MainWindowWorld(const std::string& scenarioJson, const std::string& commandLine = "",
                             const std::function<void(const std::filesystem::path&)>& beforeStart = {})
        : oldFolder(std::filesystem::current_path())
    {
        if (beforeStart)
            beforeStart(folder);
        auto lib = pyx::test::LoadScenario(scenarioJson);
        simLib = lib.get();
        Start(std::make_unique<pyx::sim::SimLibrarySource>(std::move(lib)), commandLine);
    }

    // The window as a client of the service that owns the cards: its own cards are only read.
    MainWindowWorld(const std::string& scenarioJson, std::unique_ptr<pyx::ServiceClient> owner)
        : oldFolder(std::filesystem::current_path()), service(std::move(owner))
    {
        auto lib = pyx::test::LoadScenario(scenarioJson);
        simLib = lib.get();
        Start(std::make_unique<pyx::sim::SimLibrarySource>(std::move(lib)), "");
    }

    // The window over another library (a driver's).
    explicit MainWindowWorld(std::unique_ptr<pyx::LibrarySource> source)
        : oldFolder(std::filesystem::current_path())
    {
        Start(std::move(source), "");
    }

    void Start(std::unique_ptr<pyx::LibrarySource> source, const std::string& commandLine)
    {
        core = std::make_unique<pyx::AppCore>(std::move(source), pyx::Trace::Open(trace.Path().string()));
        if (service)
            core->UseService(std::move(service));
        pyx::AppPlatform platform{lock, messages, services, nullptr};
        started = core->Start(platform, folder / "pyxtune", commandLine, nullptr);
        engine = std::make_unique<pyx::LedEffectEngine>(core->Boards(), pacer);
        pyx::MainWindowContext context(*core, *engine, prompts, nullptr);
        context.quitNow = [this] { ++quitCalls; };
        context.trayAvailable = [this] { return trayAvailable; };
        window = std::make_unique<pyx::CVornDlg>(std::move(context));
    }

    ~MainWindowWorld()
    {
        window.reset();
        engine->Shutdown();
        std::filesystem::current_path(oldFolder);
    }

    // Starts the window as the program does and lets the clicks it posted run.
    bool Open(bool show = true)
    {
        const bool ok = window->OnInitDialog();
        if (ok && show && core->commandLineMode != StartMode::SysTray)
            window->show();
        Settle();
        return ok;
    }

    void Settle()
    {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }

    void Click(int id)
    {
        window->Clicks().Send(id);
        Settle();
    }

    std::vector<std::string> Trace() const { return trace.RawLines(); }

    // Lines after the first `from`, keeping only those that name one of the operations.
    std::vector<std::string> Changes(size_t from, std::initializer_list<const char*> operations = {
        "I2CWrite", "SetPstates20", "PowerPoliciesSetStatus", "ThermalPoliciesSetStatus", "SetCoolerLevels",
        "RestoreCoolerSettings", "FanCoolersSetControl", "ClkVfPointsSetControl"}) const
    {
        const std::vector<std::string> all = Trace();
        std::vector<std::string> out;
        for (size_t i = from; i < all.size(); ++i)
            for (const char* op : operations)
                if (all[i].find(std::string(" ") + op + " ") != std::string::npos)
                    out.push_back(all[i]);
        return out;
    }

    // In the settings folder the program chose: on these simulated cards, the simulator's own.
    bool SettingsFileExists(const char* name = "Preformance.txt") const
    {
        return std::filesystem::exists(core->settings.chosen / name);
    }

    pyx::test::TempFolder dir{"pyx-window-"};
    std::filesystem::path folder = dir.Path();
    pyx::test::TraceFile trace{folder / "trace.txt"};
    std::filesystem::path oldFolder;
    std::unique_ptr<pyx::ServiceClient> service;  // handed to the core at its start
    pyx::sim::SimLibrary* simLib = nullptr;
    FakeInstanceLock lock{std::make_shared<FakeInstanceLock::Machine>(), 1};
    FakeMessageSink messages;
    FakeServiceControl services;
    pyx::SteadyLedPacer pacer{50.0};
    std::unique_ptr<pyx::AppCore> core;
    std::unique_ptr<pyx::LedEffectEngine> engine;
    ScriptedPrompts prompts;
    std::unique_ptr<pyx::CVornDlg> window;
    pyx::StartupResult started = pyx::StartupResult::OtherUsersCopy;
    int quitCalls = 0;
    // Whether the desktop the window runs on has a notification area.
    bool trayAvailable = true;
};

// Lines containing every one of the parts.
inline size_t CountLines(const std::vector<std::string>& lines, std::initializer_list<const char*> parts)
{
    size_t n = 0;
    for (const std::string& l : lines) {
        bool all = true;
        for (const char* p : parts)
            all = all && l.find(p) != std::string::npos;
        n += all ? 1 : 0;
    }
    return n;
}

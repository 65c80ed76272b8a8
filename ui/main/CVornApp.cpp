#include "ui/main/CVornApp.h"

#include <QStringList>
#include <QSystemTrayIcon>

#include <cstdio>
#include <cstdlib>

#include "app/AppCore.h"
#include "app/GpuBackend.h"
#include "gpu/Trace.h"
#include "led/LedEffectEngine.h"
#include "led/SteadyLedPacer.h"
#include "platform/MessageOutput.h"
#include "platform/ProcessIdentity.h"
#include "platform/SystemPlatform.h"
#include "ui/main/AppFonts.h"
#include "ui/main/AppTranslator.h"
#include "ui/main/CVornDlg.h"
#include "ui/main/MessageBoxPrompts.h"
#include "ui/main/MessageBoxSink.h"
#include "ui/main/ProgramEnd.h"
#include "ui/main/ServiceWaitIndicator.h"
#include "ui/main/TerminationSignals.h"

namespace pyx {

namespace {

// The whole text after the program's name, as one line.
std::string CommandLineTail(const QStringList& arguments) {
    return arguments.mid(1).join(QLatin1Char(' ')).toStdString();
}

// -v or --verbose anywhere on the line, taken off it.
bool TakeVerbose(QStringList& arguments) {
    return arguments.removeAll(QStringLiteral("-v")) + arguments.removeAll(QStringLiteral("--verbose")) > 0;
}

}  // namespace

CVornApp::CVornApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Pyxtune"));
    setApplicationVersion(QStringLiteral("2.0.0.2"));
    // Wayland desktops find the window's desktop entry (its name and icon) by this name.
    setDesktopFileName(QStringLiteral(PYX_APP_ID));
    // The window lives in the notification area while hidden: hiding it is no reason to end.
    setQuitOnLastWindowClosed(false);
    translator_ = std::make_unique<AppTranslator>();
    translator_->Install(*this, QLocale::system());
}

CVornApp::~CVornApp() {
    // However the event loop ended, the fans go back before the cards are let go.
    if (core_) EndProgram(*core_);
    delete mainWindow_.data();
    if (engine_) engine_->Shutdown();
    if (pacer_) pacer_->Interrupt();
    engine_.reset();
    core_.reset();
}

CVornDlg* CVornApp::MainWindow() const { return mainWindow_.data(); }

void CVornApp::ActivateFromSecondStart(const std::string& activationToken) {
    // The lock may call from a thread of its own; the window belongs to this one.
    QMetaObject::invokeMethod(this, [this, activationToken] {
        // A Wayland compositor raises a window only for the token the launcher gave the later
        // start; Qt's activation takes it from the environment, once.
        if (!activationToken.empty()) qputenv("XDG_ACTIVATION_TOKEN", QByteArray::fromStdString(activationToken));
        if (mainWindow_) mainWindow_->ShowFromTray(false);
    }, Qt::QueuedConnection);
}

int CVornApp::Run() {
    auto sink = std::make_shared<MessageBoxSink>();
    MessageOutput::Replace(sink);

    GpuBackendChoice backend = ChooseGpuBackendFromEnvironment();
    if (!backend.source) {
        sink->ShowMessage(backend.error, "PYXTUNE", MessageIcon::Error);
        return 1;
    }
    core_ = std::make_unique<AppCore>(std::move(backend.source), Trace::FromEnvironment());
#ifndef _WIN32
    // Where the service owns the cards, the window is one of its clients (as root too: one
    // owner of the bus). One that should answer and does not is said, and the window goes on
    // on its own.
    std::string serviceError;
    core_->UseService(ServiceClient::FromEnvironment("window", PYX_PROJECT_VERSION, serviceError));
    if (!serviceError.empty()) sink->ShowMessage(serviceError, "PYXTUNE", MessageIcon::Error);
    if (ServiceClient* service = core_->Service()) {
        serviceWait_ = std::make_unique<ServiceWaitIndicator>();
        service->SetWaitHooks(serviceWait_->Hooks());
    }
    // Without it the driver takes changes from root alone: another user's window only watches,
    // and its start sends the cards nothing.
    const bool watchOnly = core_->Service() == nullptr && !core_->Library().IsSimulated() && !RunsAsAdministrator();
    if (watchOnly) core_->Boards().discoveryWrites = DiscoveryWrites::Withheld;
#else
    const bool watchOnly = false;
#endif
    // From here a signal ends the program as Quit does, through the core's end, even during the
    // start-up, which makes the video-BIOS reader's folder.
    const auto* termination = new TerminationSignals(*this);
    QStringList args = arguments();
    [[maybe_unused]] const bool verbose = TakeVerbose(args);
#ifndef _WIN32
    // The GPU layer's listings (every VF point, the fans each second) are for diagnosing: a
    // window started from a terminal prints them only when asked, as pyxtunectl does. A
    // Windows window program has no console, and keeps them on its standard output.
    if (!verbose) core_->Boards().Diagnostics().SendTo(nullptr);
#endif

    lock_ = CreateSystemInstanceLock();
    services_ = CreateSystemServiceControl();
    launcher_ = CreateSystemProcessLauncher();
    runList_ = CreateSystemLogonRunList();
    lock_->SetActivationHandler([this](const std::string& token) { ActivateFromSecondStart(token); });

    fonts_ = std::make_unique<AppFonts>();
    AppPlatform platform{*lock_, *sink, *services_, launcher_.get()};
    const std::filesystem::path programFile = CurrentProgramFile();
    const StartupResult started =
        core_->Start(platform, programFile, CommandLineTail(args), [this] { return fonts_->RegisterFonts(); });
    if (started != StartupResult::RunMainWindow) return 0;
    // The end of the session, or a signal that ends the loop, ends the program as Quit does.
    connect(this, &QCoreApplication::aboutToQuit, this, [this] { EndProgram(*core_); });

    pacer_ = std::make_unique<SteadyLedPacer>();
    engine_ = std::make_unique<LedEffectEngine>(core_->Boards(), *pacer_);
    prompts_ = std::make_unique<MessageBoxPrompts>();
    MainWindowContext context{*core_, *engine_, *prompts_, fonts_.get()};
    context.services = services_.get();
    context.launcher = launcher_.get();
    context.runList = runList_.get();
    context.programFile = programFile;
    context.quitNow = [] { std::_Exit(0); };
    context.trayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };

    auto* window = new CVornDlg(std::move(context));
    mainWindow_ = window;
    if (!window->OnInitDialog()) return 0;
    // A signal the start-up's own message loop took ended that loop only; the end runs on the
    // way out.
    if (termination->Requested()) return 0;
    // Started for the notification area: the start-up's own hide runs next, without a flash.
    if (core_->commandLineMode != StartMode::SysTray) window->show();
    if (watchOnly)
        prompts_->NotifyWarning(window,
                                tr("Pyxtune shows these cards but cannot change them: the driver takes changes from root "
                                   "only, and no Pyxtune service answers. To tune as this user: sudo systemctl enable "
                                   "--now pyxtuned.socket, then sudo adduser $USER pyxtune, and log in again."),
                                QStringLiteral("Pyxtune"));
    return exec();
}

}  // namespace pyx

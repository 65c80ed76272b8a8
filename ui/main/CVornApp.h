#pragma once
#include <memory>
#include <string>

#include <QApplication>
#include <QPointer>

#include "platform/InstanceLock.h"
#include "platform/LogonRunList.h"
#include "platform/ProcessLauncher.h"
#include "platform/ServiceControl.h"

namespace pyx {

class AppCore;
class AppFonts;
class AppTranslator;
class MessageBoxPrompts;
class CVornDlg;
class LedEffectEngine;
class SteadyLedPacer;
class ServiceWaitIndicator;

// The application object: one copy per machine, the program folder as current directory, the
// start mode, the LED service, the fonts, the hardware and the stored settings; then the main
// window until the program ends. "Quit" in the tray ends the process at once; every end, that
// one included, first runs the program's end (the fans this run fixed handed back as the
// options ask).
class CVornApp : public QApplication {
    Q_OBJECT

public:
    CVornApp(int& argc, char** argv);
    ~CVornApp() override;

    // The start-up and the main window's run; the process's exit code.
    int Run();

    CVornDlg* MainWindow() const;

private:
    // Asked by a second start of the same user: the window comes forward.
    void ActivateFromSecondStart(const std::string& activationToken);

    // The system's seams; the dialogs use them as long as the window lives.
    std::unique_ptr<InstanceLock> lock_;
    std::unique_ptr<ServiceControl> services_;
    std::unique_ptr<ProcessLauncher> launcher_;
    std::unique_ptr<LogonRunList> runList_;
    std::unique_ptr<MessageBoxPrompts> prompts_;
    // Before the core, which holds the service client that calls it.
    std::unique_ptr<ServiceWaitIndicator> serviceWait_;
    std::unique_ptr<AppCore> core_;
    std::unique_ptr<AppFonts> fonts_;
    std::unique_ptr<SteadyLedPacer> pacer_;
    std::unique_ptr<LedEffectEngine> engine_;
    std::unique_ptr<AppTranslator> translator_;
    QPointer<CVornDlg> mainWindow_;
};

}  // namespace pyx

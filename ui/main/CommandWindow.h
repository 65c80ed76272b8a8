#pragma once
#include <functional>

#include <QString>

#include "app/AppCore.h"
#include "app/TuningPage.h"
#include "ui/main/MainWindowFlags.h"
#include "ui/main/UserPrompts.h"

class QWidget;

namespace pyx {

class LedPageCommands;
class MainWindowClicks;
class MainWindowControls;
class MainWindowDialogs;
class MainWindowSliders;

// The main window as its command dispatcher sees it: the window itself (hidden, minimised,
// repainted, the prompts' parent), the core and the prompts, the tuning page and the shared
// flags, the controls, sliders and clicks, and the two helpers that take the clicks it does
// not handle itself.
struct CommandWindow {
    QWidget& window;
    AppCore& core;
    UserPrompts& prompts;
    // Whether hiding can go to the notification area now.
    std::function<bool()> hasTray;
    TuningPage& page;
    MainWindowFlags& flags;
    MainWindowControls& controls;
    const MainWindowClicks& clicks;
    MainWindowSliders& sliders;
    LedPageCommands& led;
    MainWindowDialogs& dialogs;
    // A settings file that could not be written, said where the user will see it.
    std::function<void(const QString& text)> sayFailedSave;
};

}  // namespace pyx

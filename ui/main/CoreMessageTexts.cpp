#include "ui/main/CoreMessageTexts.h"

#include <QtGlobal>

namespace pyx {

std::span<const char* const> CoreMessageTexts() {
    // Sized by its entries, so that no slot is left null when a text goes.
    static const char* const texts[] = {
        QT_TRANSLATE_NOOP("Messages", "警告：对显卡进行超频有可能会造成系统不稳、花屏、死机甚至硬件损坏，敬请慎重操作。"),
        QT_TRANSLATE_NOOP("Messages", "Hardware settings applied!"),
        QT_TRANSLATE_NOOP("Messages", "PYXTUNE has been started by other user."),
        QT_TRANSLATE_NOOP("Messages", "PYXTUNE has been started by other user (%1)."),
        QT_TRANSLATE_NOOP("Messages", "Add font failed!"),
        QT_TRANSLATE_NOOP("Messages", "PYXTUNE not support this vga card.(Is not Kepler)"),
        QT_TRANSLATE_NOOP("Messages", "PYXTUNE not support this vag card.(Boost clock is zero)"),
        QT_TRANSLATE_NOOP("Messages", "Keep these settings? They are reverted in %1 s."),
        QT_TRANSLATE_NOOP("Messages", "Not every setting was applied."),
        QT_TRANSLATE_NOOP("Messages", "GPU %1 refused:"),
        QT_TRANSLATE_NOOP("Messages", "The other settings were applied."),
        QT_TRANSLATE_NOOP("Messages",
                          "GPU %1 reached %2 C, its thermal limit of %3 C, while a fan was fixed below full speed: %4"),
        QT_TRANSLATE_NOOP("Messages",
                          "GPU %1's temperature could not be read %2 times in a row while a fan was fixed: %3"),
        QT_TRANSLATE_NOOP("Messages", "the fan is back under the card's own control."),
        QT_TRANSLATE_NOOP("Messages",
                          "the card refused to take the fan back: %1. Run \"pyxtunectl fan auto\" or lower the card's load."),
        QT_TRANSLATE_NOOP("Messages", "The saved settings were not applied, because the last start that applied them did not finish. "
                                      "Apply them again, or load another profile."),
        QT_TRANSLATE_NOOP("Messages", "start success."),
        QT_TRANSLATE_NOOP("Messages", "stop success."),
        QT_TRANSLATE_NOOP("Messages", "Settings are not used: no folder for them could be found"),
        QT_TRANSLATE_NOOP("Messages", "Settings are not used: %1 is a link"),
        QT_TRANSLATE_NOOP("Messages", "Settings are not used: %1 is not a folder"),
        QT_TRANSLATE_NOOP("Messages", "Settings are not used: %1 is owned by another user (uid %2)"),
        QT_TRANSLATE_NOOP("Messages", "Settings are not used: %1 can be written by other users"),
        QT_TRANSLATE_NOOP("Messages", "Settings are not used: %1 cannot be examined (%2)"),
        QT_TRANSLATE_NOOP("Messages", "Continue? [y/N]"),
        QT_TRANSLATE_NOOP("Messages", "Keep these settings? [y/N] (reverted in %1 s)"),
        QT_TRANSLATE_NOOP("Messages", "GPU %1's temperature could not be read %2 times in a row, so its fan curve stopped: %3"),
        QT_TRANSLATE_NOOP("Messages", "GPU %1's fan curve stopped, because the card refused %2: %3"),
    };
    return texts;
}

}  // namespace pyx

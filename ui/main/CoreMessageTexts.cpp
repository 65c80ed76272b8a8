#include "ui/main/CoreMessageTexts.h"

#include <QtGlobal>

#include <array>

namespace pyx {

std::span<const char* const> CoreMessageTexts() {
    static const std::array<const char*, 6> texts = {
        QT_TRANSLATE_NOOP("Messages", "警告：对显卡进行超频有可能会造成系统不稳、花屏、死机甚至硬件损坏，敬请慎重操作。"),
        QT_TRANSLATE_NOOP("Messages", "Hardware settings applied!"),
        QT_TRANSLATE_NOOP("Messages", "PYXTUNE has been started by other user."),
        QT_TRANSLATE_NOOP("Messages", "Add font failed!"),
        QT_TRANSLATE_NOOP("Messages", "PYXTUNE not support this vga card.(Is not Kepler)"),
        QT_TRANSLATE_NOOP("Messages", "PYXTUNE not support this vag card.(Boost clock is zero)"),
    };
    return texts;
}

}  // namespace pyx

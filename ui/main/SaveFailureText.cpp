#include "ui/main/SaveFailureText.h"

#include <QCoreApplication>

namespace pyx {

QString SaveFailureText(const std::filesystem::path& file, const std::error_code& why) {
    // The system's text comes in the locale's encoding, which the application set at its start.
    return QCoreApplication::translate("MainWindow", "%1 cannot be written: %2")
        .arg(QString::fromStdU16String(file.filename().u16string()), QString::fromLocal8Bit(why.message()));
}

QString SaveFailureText(const SettingsFolderRefusal& refusal) { return QString::fromStdString(refusal.Text()); }

}  // namespace pyx

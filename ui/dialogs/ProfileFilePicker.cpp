#include "ui/dialogs/ProfileFilePicker.h"

#include "ui/dialogs/PathText.h"

#include <QFileDialog>
#include <QStringList>

std::optional<std::filesystem::path> PickProfileFileWithQt(QWidget* owner,
                                                           const ProfileFileRequest& request)
{
    QFileDialog dialog(owner);
    dialog.setNameFilter(request.nameFilter);
    dialog.setDirectory(PathToQString(request.initialFolder));
    dialog.selectFile(QString());
    if (request.kind == ProfileFileRequest::Kind::Save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        // A new profile is a new file; replacing an old one is what saving over it means.
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);

    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.front().isEmpty())
        return std::nullopt;
    return QStringToPath(files.front());
}

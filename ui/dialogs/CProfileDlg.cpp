#include "ui/dialogs/CProfileDlg.h"

#include "app/TuningSettingsStore.h"
#include "ui/dialogs/DialogLook.h"
#include "ui/dialogs/DialogUnits.h"
#include "ui/dialogs/PathText.h"

#include <QPushButton>

#include <system_error>
#include <thread>
#include <utility>

CProfileDlg::CProfileDlg(ProfileDlgContext context, QWidget* parent)
    : QDialog(parent), context_(std::move(context))
{
    setWindowTitle(tr("Profile"));
    setFont(DialogUnits::DialogFont());
    const DialogUnits units(font());
    setFixedSize(units.Size(200, 78));

    // No OK or Cancel: the close box and Escape dismiss the dialog.
    saveButton_ = new QPushButton(tr("Save"), this);
    saveButton_->setGeometry(units.Rect(36, 29, 50, 14));
    loadButton_ = new QPushButton(tr("Load"), this);
    loadButton_->setGeometry(units.Rect(104, 29, 50, 14));
    connect(saveButton_, &QPushButton::clicked, this, [this] { OnSave(); });
    connect(loadButton_, &QPushButton::clicked, this, [this] { OnLoad(); });
    pyx::ApplyDialogLook(*this);
}

int CProfileDlg::RunModal(bool& profileDialogOpen)
{
    struct ClearOnExit
    {
        bool& flag;
        ~ClearOnExit() { flag = false; }
    } clear{profileDialogOpen};
    profileDialogOpen = true;
    return exec();
}

QPushButton* CProfileDlg::Button(int id) const
{
    switch (id) {
    case kSaveId:
        return saveButton_;
    case kLoadId:
        return loadButton_;
    default:
        return nullptr;
    }
}

std::optional<std::filesystem::path> CProfileDlg::Pick(ProfileFileRequest::Kind kind)
{
    std::error_code ignored;
    // An existing folder is the usual case; a folder that cannot be made leaves the picker
    // to open wherever the system puts it.
    if (context_.profileFolder)
        std::filesystem::create_directory(*context_.profileFolder, ignored);

    ProfileFileRequest request;
    request.kind = kind;
    request.initialFolder = context_.profileFolder.value_or(std::filesystem::path());
    request.nameFilter = QString::fromLatin1(kNameFilter);
    if (kind == ProfileFileRequest::Kind::Save)
        request.defaultSuffix = QString::fromLatin1(kDefaultSuffix);

    std::optional<std::filesystem::path> chosen;
    if (context_.picker)
        chosen = context_.picker(this, request);

    // The settings files and the service scripts are opened by bare names: whatever the
    // picker did to the current directory is undone, also when it was cancelled.
    if (!context_.programFolder.empty())
        std::filesystem::current_path(context_.programFolder, ignored);

    if (!chosen || chosen->empty())
        return std::nullopt;
    if (kind == ProfileFileRequest::Kind::Save && !chosen->has_extension())
        *chosen += std::string(".") + kDefaultSuffix;
    return chosen;
}

void CProfileDlg::OnSave()
{
    const auto file = Pick(ProfileFileRequest::Kind::Save);
    if (!file)
        return;
    if (context_.saveElsewhere) {
        const std::string why = context_.saveElsewhere(*file);
        if (!why.empty() && context_.reportFailure)
            context_.reportFailure(
                (tr("The profile could not be saved to %1.").arg(PathToQString(*file)) + QStringLiteral("\n\n"))
                    .toStdString() +
                why);
        done(0);
        return;
    }
    // A file that cannot be written leaves any old one as it was; the dialog ends either way.
    std::error_code why;
    if (pyx::SaveTuningSettings(context_.table, context_.state, *file, &why) == 0 && context_.reportFailure) {
        QString text = tr("The profile could not be saved to %1.").arg(PathToQString(*file));
        if (context_.describeSaveFailure)
            text += QStringLiteral("\n\n") + context_.describeSaveFailure(*file, why);
        context_.reportFailure(text.toStdString());
    }
    done(0);
}

void CProfileDlg::OnLoad()
{
    const auto file = Pick(ProfileFileRequest::Kind::Load);
    if (!file)
        return;
    if (context_.loadElsewhere) {
        done(0);
        context_.loadElsewhere(*file);
        return;
    }
    // A file that cannot be read, or that names none of these cards, changes no settings; the
    // window is refreshed all the same.
    if (context_.mayLoad && !context_.mayLoad(*file)) {
        done(0);
        return;
    }
    pyx::TuningReport report;
    if (context_.beforeLoad)
        context_.beforeLoad();
    const bool matched = pyx::LoadTuningSettings(*file, context_.table, context_.state, &report) != 0;
    if (context_.sleep)
        context_.sleep(kRefreshDelay);
    else
        std::this_thread::sleep_for(kRefreshDelay);
    if (context_.refreshFromSettings)
        context_.refreshFromSettings();
    if (matched && context_.keepLoaded) {
        context_.keepLoaded(report);
        done(0);
        return;
    }
    if (context_.reportFailure) {
        if (!matched)
            context_.reportFailure(
                tr("The profile %1 could not be read or holds no settings for these cards; nothing was changed.")
                    .arg(PathToQString(*file))
                    .toStdString());
        else if (report.AnyRefused())
            context_.reportFailure(pyx::DescribeRefusals(report));
    }
    done(0);
}

#include "ui/main/CAboutDlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>

#include "ui/dialogs/DialogLook.h"

namespace pyx {

CAboutDlg::CAboutDlg(const QPixmap& icon, QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("关于 Vorn"));
    auto* iconLabel = new QLabel(this);
    iconLabel->setPixmap(icon.scaled(48, 48, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    name_ = new QLabel(QStringLiteral("Pyxtune"), this);
    QFont bold = name_->font();
    bold.setBold(true);
    name_->setFont(bold);
    version_ = new QLabel(tr("Version %1").arg(QLatin1String(kVersion)), this);
    settings_ = new QLabel(this);
    settings_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    settings_->hide();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->addWidget(iconLabel, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(name_, 0, 1);
    grid->addWidget(version_, 1, 1);
    grid->addWidget(settings_, 2, 1);
    grid->addWidget(buttons, 3, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    ApplyDialogLook(*this);
}

QString CAboutDlg::NameText() const { return name_->text(); }
QString CAboutDlg::VersionText() const { return version_->text(); }

void CAboutDlg::SetSettingsFolder(const QString& folder) {
    settings_->setText(tr("Settings: %1").arg(folder));
    settings_->setVisible(!folder.isEmpty());
}

}  // namespace pyx

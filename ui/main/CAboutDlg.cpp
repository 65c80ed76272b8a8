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
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->addWidget(iconLabel, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(name_, 0, 1);
    grid->addWidget(version_, 1, 1);
    grid->addWidget(buttons, 2, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    ApplyDialogLook(*this);
}

QString CAboutDlg::NameText() const { return name_->text(); }
QString CAboutDlg::VersionText() const { return version_->text(); }

}  // namespace pyx

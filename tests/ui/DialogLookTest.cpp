#include "ui/dialogs/CLEDServicesDlg.h"
#include "ui/dialogs/CProfileDlg.h"
#include "ui/dialogs/CSetDialog.h"

#include "gpu/NvApiLibrary.h"
#include "tests/support/FakeLogonRunList.h"
#include "tests/support/FakeProcessLauncher.h"
#include "tests/support/FakeServiceControl.h"
#include "sim/SimLibrarySource.h"
#include "sim/SimScenario.h"

#include <gtest/gtest.h>

#include "ui/dialogs/CMessageBox.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QScreen>
#include <QDir>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>

#include <memory>

namespace {

// Whatever font the system substitutes for the dialog face, every caption has to fit its
// control and every control has to lie inside its window. With PYX_DIALOG_SHOTS naming a
// folder the dialogs are also written there as pictures to look at.
void CheckLook(QDialog& dialog, const QString& name)
{
    dialog.show();
    const QImage picture = dialog.grab().toImage();
    ASSERT_FALSE(picture.isNull()) << name.toStdString();
    EXPECT_EQ(picture.size(), dialog.size() * picture.devicePixelRatio());
    const QString folder = qEnvironmentVariable("PYX_DIALOG_SHOTS");
    if (!folder.isEmpty())
        picture.save(QDir(folder).filePath(name + QStringLiteral(".png")));

    const QRect inside = dialog.rect();
    int shown = 0;
    for (QWidget* child : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isVisible())
            continue;
        ++shown;
        const std::string what = name.toStdString() + ": " + child->metaObject()->className();
        EXPECT_TRUE(inside.contains(child->geometry())) << what;
        const QFontMetrics metrics(child->font());
        if (auto* button = qobject_cast<QPushButton*>(child)) {
            EXPECT_LE(metrics.horizontalAdvance(button->text()) + 6, button->width())
                << what << " " << button->text().toStdString();
            EXPECT_GE(button->height(), metrics.height()) << what;
        } else if (auto* choice = qobject_cast<QAbstractButton*>(child)) {
            // Radio buttons and check boxes: the mark and its caption.
            EXPECT_LE(choice->sizeHint().width(), choice->width()) << what;
        } else if (auto* label = qobject_cast<QLabel*>(child)) {
            EXPECT_LE(metrics.horizontalAdvance(label->text()), label->width()) << what;
        }
    }
    EXPECT_GT(shown, 0) << name.toStdString();
}

TEST(DialogLookTest, EveryDialogShowsItsCaptionsWhole)
{
    auto nv = std::make_unique<pyx::NvApiLibrary>(
        std::make_unique<pyx::sim::SimLibrarySource>(pyx::sim::SimScenario::Default()));
    pyx::GpuBoardTable table(*nv);
    pyx::AppState state;
    CProfileDlg profile(ProfileDlgContext{table, state, "/opt/pyxtune", {}, {}, {}});
    EXPECT_EQ(profile.windowTitle(), QStringLiteral("Profile"));
    CheckLook(profile, QStringLiteral("profile"));

    FakeServiceControl services;
    FakeProcessLauncher launcher;
    FakeLogonRunList runList;
    StartMode startMode = StartMode::Unset;
    for (bool installed : {false, true}) {
        runList.entries["Pyxtune"] = installed ? "pyxtune SysTray" : "pyxtune Normal";
        LedServicesContext led{services, launcher, nullptr, "/opt/pyxtune", installed};
        pyx::ProgramOptions options;
        options.fansAutomaticOnExit = installed;
        // A deep program folder: the fans line names it whole.
        CSetDialog settings(SetDialogContext{runList,
                                             installed ? "/opt/pyxtune/pyxtune"
                                                       : "/home/someone/projects/pyxtune/build/release/bin/pyxtune",
                                             startMode, led, options, {}, {}});
        EXPECT_EQ(settings.windowTitle(), QStringLiteral("Settings"));
        CheckLook(settings, installed ? QStringLiteral("settings-installed")
                                      : QStringLiteral("settings"));
        CLEDServicesDlg services(led);
        EXPECT_EQ(services.windowTitle(), QStringLiteral("LED Services"));
        CheckLook(services, installed ? QStringLiteral("led-services-installed")
                                      : QStringLiteral("led-services"));
    }
}

TEST(DialogLookTest, MessageBoxesSitInTheMiddleOfTheirWindowOrOfTheScreen)
{
    // A box far wider than Qt guesses before its text is laid out: placed by the guess, it
    // hung off the window's left edge.
    QWidget owner;
    owner.setGeometry(300, 120, 750, 810);
    owner.show();
    const QString longText(400, QLatin1Char('x'));
    pyx::CMessageBox box(QMessageBox::Warning, QStringLiteral("PYXTUNE"), longText,
                         QMessageBox::Ok | QMessageBox::Cancel, &owner);
    box.show();
    QCoreApplication::processEvents();
    const QPoint offset = box.frameGeometry().center() - owner.frameGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 2) << offset.x() << "," << offset.y();
    ASSERT_FALSE(box.buttons().isEmpty());
    EXPECT_FALSE(box.buttons().first()->styleSheet().isEmpty());

    pyx::CMessageBox alone(QMessageBox::Critical, QStringLiteral("PYXTUNE"), QStringLiteral("Add font failed!"),
                           QMessageBox::Ok, nullptr);
    alone.show();
    QCoreApplication::processEvents();
    const QRect screen = alone.screen()->availableGeometry();
    EXPECT_LE((alone.frameGeometry().center() - screen.center()).manhattanLength(), 2);
}

}  // namespace

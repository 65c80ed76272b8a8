#include "ui/dialogs/CSetDialog.h"

#include "tests/support/FakeLogonRunList.h"
#include "tests/support/FakeMessageSink.h"
#include "tests/support/FakeProcessLauncher.h"
#include "tests/support/FakeServiceControl.h"
#include "tests/support/TempFolder.h"
#include "ui/main/AppTranslator.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <string>

namespace {

class DialogSettingsTest : public ::testing::Test
{
protected:
    std::unique_ptr<CSetDialog> MakeDialog()
    {
        LedServicesContext led{services, launcher, messages, "/opt/pyx", installed};
        return std::make_unique<CSetDialog>(
            SetDialogContext{runList, programFile, startMode, led, options,
                             [this] { return pyx::SaveProgramOptions(options, optionsFile); }, optionsFile,
                             messages});
    }

    // Opens the dialog, ticks one choice (none for 0) and presses "Ok".
    void Choose(int id)
    {
        auto dialog = MakeDialog();
        if (id != 0)
            dialog->Button(id)->click();
        dialog->Button(CSetDialog::kOkId)->click();
    }

    // Which of the three choices a freshly opened dialog shows ticked; 0 when none.
    int Shown()
    {
        auto dialog = MakeDialog();
        int shown = 0;
        for (int id : {CSetDialog::kDoNotRunId, CSetDialog::kRunId, CSetDialog::kRunInTrayId}) {
            if (dialog->Button(id)->isChecked()) {
                EXPECT_EQ(shown, 0) << "two choices ticked";
                shown = id;
            }
        }
        return shown;
    }

    FakeLogonRunList runList;
    FakeServiceControl services;
    FakeProcessLauncher launcher;
    std::shared_ptr<FakeMessageSink> messages = std::make_shared<FakeMessageSink>();
    // A path with blanks, as under "Program Files".
    std::filesystem::path programFile = "/opt/my tools/pyxtune";
    StartMode startMode = StartMode::Unset;
    bool installed = false;
    pyx::test::TempFolder folder{"pyx-settings-dialog-"};
    std::filesystem::path optionsFile = folder.Path() / pyx::kProgramOptionsFileName;
    pyx::ProgramOptions options;
};

TEST_F(DialogSettingsTest, WithoutAnEntryNothingIsTickedAndOkWithoutAChoiceChangesNothing)
{
    EXPECT_EQ(Shown(), 0);
    Choose(0);
    EXPECT_TRUE(runList.entries.empty());
    EXPECT_EQ(runList.writes, 0);
    EXPECT_EQ(runList.removes, 0);
    EXPECT_EQ(startMode, StartMode::Unset);
}

TEST_F(DialogSettingsTest, EachChoiceWritesOrRemovesTheEntryAndIsShownAgain)
{
    Choose(CSetDialog::kRunInTrayId);
    ASSERT_EQ(runList.entries.count("Pyxtune"), 1u);
    EXPECT_EQ(runList.entries["Pyxtune"], "\"/opt/my tools/pyxtune\" SysTray");
    EXPECT_EQ(startMode, StartMode::SysTray);
    EXPECT_EQ(Shown(), CSetDialog::kRunInTrayId);

    Choose(CSetDialog::kRunId);
    EXPECT_EQ(runList.entries["Pyxtune"], "\"/opt/my tools/pyxtune\" Normal");
    EXPECT_EQ(startMode, StartMode::Normal);
    EXPECT_EQ(Shown(), CSetDialog::kRunId);

    Choose(CSetDialog::kDoNotRunId);
    EXPECT_TRUE(runList.entries.empty());
    EXPECT_EQ(startMode, StartMode::DoNotRun);
    // No entry to read: the choice made in this run of the program is shown.
    EXPECT_EQ(Shown(), CSetDialog::kDoNotRunId);
    // As after a restart of the program.
    startMode = StartMode::Unset;
    EXPECT_EQ(Shown(), 0);
}

TEST_F(DialogSettingsTest, TheEntrysLastWordDecidesWhatIsTicked)
{
    runList.entries["Pyxtune"] = "C:\\Program Files\\Pyxtune\\Pyxtune.exe sYsTrAy";
    EXPECT_EQ(Shown(), CSetDialog::kRunInTrayId);
    for (const char* word : {"Minimize", "OnlyApplySettings", "Hidden"}) {
        runList.entries["Pyxtune"] = std::string("pyxtune.exe ") + word;
        EXPECT_EQ(Shown(), 0) << word;
    }
    EXPECT_EQ(startMode, StartMode::Unset) << "an unknown word reads as no mode";

    // No blank, or only a leading one: the mode chosen before stays.
    startMode = StartMode::Normal;
    for (const char* text : {"pyxtune.exe", " SysTray"}) {
        runList.entries["Pyxtune"] = text;
        EXPECT_EQ(Shown(), CSetDialog::kRunId) << text;
    }
    runList.readsFail = true;
    EXPECT_EQ(Shown(), CSetDialog::kRunId);
}

TEST_F(DialogSettingsTest, CancelAndARefusingListLeaveTheEntryAlone)
{
    runList.entries["Pyxtune"] = "pyxtune Normal";
    {
        auto dialog = MakeDialog();
        dialog->Button(CSetDialog::kRunInTrayId)->click();
        dialog->Button(CSetDialog::kCancelId)->click();
        EXPECT_EQ(dialog->result(), QDialog::Rejected);
    }
    EXPECT_EQ(runList.entries["Pyxtune"], "pyxtune Normal");
    EXPECT_EQ(startMode, StartMode::Normal);

    // A list that cannot be written is not reported; the choice holds for this run.
    runList.writesFail = true;
    Choose(CSetDialog::kRunInTrayId);
    EXPECT_EQ(runList.entries["Pyxtune"], "pyxtune Normal");
    EXPECT_EQ(startMode, StartMode::SysTray);
}

TEST_F(DialogSettingsTest, TheStatusLineFollowsTheServiceFlag)
{
    EXPECT_EQ(MakeDialog()->StatusText(), QStringLiteral("LED Uninsatlled!"));
    installed = true;
    EXPECT_EQ(MakeDialog()->StatusText(), QStringLiteral("LED Services Installed!"));
}

TEST_F(DialogSettingsTest, SetOpensOneLedServiceWindowThatMayOutliveTheDialog)
{
    QPointer<CLEDServicesDlg> shown;
    {
        auto dialog = MakeDialog();
        EXPECT_EQ(dialog->LedServicesDialog(), nullptr);
        dialog->Button(CSetDialog::kSetId)->click();
        shown = dialog->LedServicesDialog();
        ASSERT_NE(shown, nullptr);
        EXPECT_TRUE(shown->isVisible());
        EXPECT_EQ(shown->parentWidget(), nullptr) << "a window of its own";
        shown->Button(CLEDServicesDlg::kCancelId)->click();
        EXPECT_FALSE(shown->isVisible());
        dialog->Button(CSetDialog::kSetId)->click();
        EXPECT_EQ(dialog->LedServicesDialog(), shown.data()) << "the same window again";
        EXPECT_TRUE(shown->isVisible());
    }
    // Still open after the settings dialog went; it goes once hidden.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(shown->isVisible());
    shown->Button(CLEDServicesDlg::kCancelId)->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(shown, nullptr);

    // One that is hidden when the settings dialog ends goes with it.
    {
        auto dialog = MakeDialog();
        dialog->Button(CSetDialog::kSetId)->click();
        shown = dialog->LedServicesDialog();
        shown->hide();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(shown, nullptr);
}

// The fans and keep choices reach the options file only through "Ok"; a file that cannot be
// written is told, and the choices still hold for this run.
TEST_F(DialogSettingsTest, TheProgramsChoicesAreSavedOnOkOnly)
{
    struct Step { const char* what; int button; bool unwritable, optionAfter; };
    for (const Step s : {Step{"ticked, then Cancel", CSetDialog::kCancelId, false, false},
                         Step{"ticked, then Ok", CSetDialog::kOkId, false, true},
                         Step{"unticked, then Ok, unwritable", CSetDialog::kOkId, true, false}}) {
        SCOPED_TRACE(s.what);
        if (s.unwritable)
            optionsFile = folder.Path() / "gone" / pyx::kProgramOptionsFileName;
        auto dialog = MakeDialog();
        QAbstractButton* box = dialog->Button(CSetDialog::kFansAutomaticId);
        EXPECT_EQ(box->isChecked(), options.fansAutomaticOnExit) << "the choice kept is shown";
        box->click();
        // Each step flips the question too, opposite to the fans choice, and sets 30 s.
        EXPECT_EQ(dialog->Button(CSetDialog::kAskKeepId)->isChecked(), options.askBeforeKeeping);
        dialog->Button(CSetDialog::kAskKeepId)->click();
        dialog->RevertAfterBox()->setValue(30);
        dialog->Button(s.button)->click();
        EXPECT_EQ(options.fansAutomaticOnExit, s.optionAfter);
        EXPECT_EQ(options.askBeforeKeeping, !s.optionAfter);
        EXPECT_EQ(options.revertAfterS, s.button == CSetDialog::kOkId ? 30 : 15);
        const bool saved = s.button == CSetDialog::kOkId && !s.unwritable;
        EXPECT_EQ(std::filesystem::exists(optionsFile), saved);
        EXPECT_EQ(pyx::LoadProgramOptions(optionsFile).fansAutomaticOnExit, saved && s.optionAfter);
        EXPECT_EQ(pyx::LoadProgramOptions(optionsFile).revertAfterS, saved ? 30 : 15);
        EXPECT_EQ(messages->messages.size(), s.unwritable ? 1u : 0u);
    }
    EXPECT_NE(messages->messages.at(0).text.find("could not be saved to \"" + optionsFile.string() + "\""),
              std::string::npos);
}

TEST_F(DialogSettingsTest, TheFansLineNamesThePyxtunectlBesideTheProgramQuoted)
{
    auto dialog = MakeDialog();
#ifdef _WIN32
    const QString line = QStringLiteral("Fans stuck? Run: \"\\opt\\my tools\\pyxtunectl.exe\" fan auto");
#else
    const QString line = QStringLiteral("Fans stuck? Run: \"/opt/my tools/pyxtunectl\" fan auto");
#endif
    EXPECT_EQ(dialog->FansHelpText(), line);
    const QList<QLabel*> labels = dialog->findChildren<QLabel*>();
    EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [&](const QLabel* l) { return l->text() == line; }));
}

TEST_F(DialogSettingsTest, TheOpenFlagIsSetOnlyWhileTheDialogRuns)
{
    auto dialog = MakeDialog();
    bool open = false;
    bool seenInside = false;
    QTimer::singleShot(0, dialog.get(), [&] {
        seenInside = open;
        dialog->Button(CSetDialog::kOkId)->click();
    });
    EXPECT_EQ(dialog->RunModal(open), QDialog::Accepted);
    EXPECT_TRUE(seenInside);
    EXPECT_FALSE(open);
}

}  // namespace

// Every caption is whole in either language and the system's font: each control is at least as
// large as it asks to be, inside the dialog, and clear of what shares its row.
TEST_F(DialogSettingsTest, EveryCaptionFitsItsPlaceInEachLanguage)
{
    struct Case { QLocale locale; const char* runInTray; };
    for (const Case& c : {Case{QLocale(QLocale::English), "Run and minimize to system tray"},
                          Case{QLocale(QLocale::Chinese, QLocale::China), "运行并最小化到系统托盘"}}) {
        pyx::AppTranslator translator;
        ASSERT_TRUE(translator.Install(*QCoreApplication::instance(), c.locale));
        for (const bool ledInstalled : {false, true}) {
            installed = ledInstalled;
            auto dialog = MakeDialog();
            const std::string where = c.locale.name().toStdString() + (ledInstalled ? ", installed" : "");
            EXPECT_EQ(dialog->Button(CSetDialog::kRunInTrayId)->text(), QString::fromUtf8(c.runInTray)) << where;
            const QList<QLabel*> labels = dialog->findChildren<QLabel*>();
            const auto status = std::find_if(labels.begin(), labels.end(),
                                             [&](const QLabel* l) { return l->text() == dialog->StatusText(); });
            ASSERT_NE(status, labels.end());
            QList<QWidget*> captions{*status};
            for (int id : {CSetDialog::kOkId, CSetDialog::kCancelId, CSetDialog::kDoNotRunId, CSetDialog::kRunId,
                           CSetDialog::kRunInTrayId, CSetDialog::kSetId, CSetDialog::kFansAutomaticId,
                           CSetDialog::kAskKeepId})
                captions.append(dialog->Button(id));
            for (QLabel* label : labels)
                captions.append(label);
            for (const QWidget* caption : captions) {
                const std::string what = where + ": " + caption->property("text").toString().toStdString();
                EXPECT_GE(caption->width(), caption->sizeHint().width()) << what;
                EXPECT_GE(caption->height(), caption->sizeHint().height()) << what;
                EXPECT_TRUE(dialog->rect().contains(caption->geometry())) << what;
            }
            const auto clear = [](const QWidget* left, const QWidget* right) {
                return left->geometry().right() < right->geometry().left();
            };
            EXPECT_TRUE(clear(dialog->Button(CSetDialog::kDoNotRunId), dialog->Button(CSetDialog::kRunId))) << where;
            EXPECT_TRUE(clear(*status, dialog->Button(CSetDialog::kSetId))) << where;
            const QGroupBox* group = dialog->findChild<QGroupBox*>();
            ASSERT_NE(group, nullptr);
            EXPECT_TRUE(group->geometry().contains(dialog->Button(CSetDialog::kSetId)->geometry())) << where;
            EXPECT_TRUE(group->geometry().contains((*status)->geometry())) << where;
            const QString revertAfter = QCoreApplication::translate("CSetDialog", "Revert after (seconds):");
            const auto revertLabel = std::find_if(labels.begin(), labels.end(),
                                                  [&](const QLabel* l) { return l->text() == revertAfter; });
            ASSERT_NE(revertLabel, labels.end());
            EXPECT_TRUE(clear(*revertLabel, dialog->RevertAfterBox())) << where;
        }
    }
}

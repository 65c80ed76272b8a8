#include "ui/dialogs/ProfileFilePicker.h"

#include "ui/dialogs/PathText.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <functional>

namespace fs = std::filesystem;

namespace {

// Runs the real picker and, once it is up, hands it to `act`. Anything else that pops up on
// top of it (an overwrite question) is noted and dismissed so the test cannot hang.
std::optional<fs::path> RunPicker(const ProfileFileRequest& request,
                                  const std::function<void(QFileDialog&)>& act, bool& extraPrompt)
{
    extraPrompt = false;
    QTimer::singleShot(0, [&] {
        auto* picker = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!picker) {
            ADD_FAILURE() << "no file picker open";
            return;
        }
        QTimer::singleShot(500, picker, [&extraPrompt, picker] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                extraPrompt = true;
                box->done(QMessageBox::Yes);
            }
            if (picker->isVisible())
                picker->reject();
        });
        act(*picker);
    });
    return PickProfileFileWithQt(nullptr, request);
}

ProfileFileRequest Request(ProfileFileRequest::Kind kind, const QTemporaryDir& dir)
{
    ProfileFileRequest request;
    request.kind = kind;
    request.initialFolder = QStringToPath(dir.path());
    request.nameFilter = QStringLiteral("INI file(*.ini)");
    if (kind == ProfileFileRequest::Kind::Save)
        request.defaultSuffix = QStringLiteral("ini");
    return request;
}

TEST(DialogFilePickerTest, SavingOpensInTheFolderAddsTheSuffixAndReplacesWithoutAsking)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto request = Request(ProfileFileRequest::Kind::Save, dir);
    bool prompt = false;

    auto chosen = RunPicker(request, [&](QFileDialog& picker) {
        EXPECT_EQ(QStringToPath(picker.directory().absolutePath()), request.initialFolder);
        EXPECT_EQ(picker.nameFilters(), QStringList{QStringLiteral("INI file(*.ini)")});
        EXPECT_EQ(picker.acceptMode(), QFileDialog::AcceptSave);
        picker.selectFile(QStringLiteral("evening"));
        QMetaObject::invokeMethod(&picker, "accept", Qt::DirectConnection);
    }, prompt);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(*chosen, request.initialFolder / "evening.ini");
    EXPECT_FALSE(prompt);

    std::ofstream(*chosen) << "old";
    chosen = RunPicker(request, [](QFileDialog& picker) {
        picker.selectFile(QStringLiteral("evening.ini"));
        QMetaObject::invokeMethod(&picker, "accept", Qt::DirectConnection);
    }, prompt);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(*chosen, request.initialFolder / "evening.ini");
    EXPECT_FALSE(prompt) << "an existing profile is replaced without a question";
}

TEST(DialogFilePickerTest, LoadingTakesOnlyAnExistingFileAndCancelGivesNothing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto request = Request(ProfileFileRequest::Kind::Load, dir);
    std::ofstream(QStringToPath(dir.filePath(QStringLiteral("day.ini")))) << "x";
    bool prompt = false;

    auto chosen = RunPicker(request, [](QFileDialog& picker) {
        EXPECT_EQ(picker.acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_EQ(picker.fileMode(), QFileDialog::ExistingFile);
        picker.selectFile(QStringLiteral("day.ini"));
        QMetaObject::invokeMethod(&picker, "accept", Qt::DirectConnection);
    }, prompt);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(*chosen, request.initialFolder / "day.ini");

    chosen = RunPicker(request, [](QFileDialog& picker) { picker.reject(); }, prompt);
    EXPECT_FALSE(chosen);
}

}  // namespace

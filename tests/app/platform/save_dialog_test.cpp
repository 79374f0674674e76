// The export's save dialog: its title, filter and starting folder, the
// ".xlsx" ending, the question before a file is replaced (a read-only one
// called so), and a silent cancel.
#include "support/qt_printers.h"

#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "platform/save_dialog.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <gtest/gtest.h>

using tarvic::AskSaveResultsPath;

namespace {

class SaveDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        tarvic::setProgramFolder(folder.path());
    }
    void TearDown() override { tarvic::setProgramFolder(QString()); }

    QString inFolder(const QString& name) const { return QDir(folder.path()).filePath(name); }

    QTemporaryDir folder;
    tarvic::ScriptedSaveDialogs dialogs;
    tarvic::ScriptedMessageBoxes boxes;
};

TEST_F(SaveDialogTest, OffersXlsxFilesInTheProgramsFolderAndACancelSaysNothing)
{
    EXPECT_EQ(AskSaveResultsPath(), QString());
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].title, QStringLiteral("Save results as xls file"));
    EXPECT_EQ(dialogs.shown[0].filter, QStringLiteral("Files (*.xlsx)"));
    EXPECT_EQ(dialogs.shown[0].folder, folder.path());
    EXPECT_TRUE(dialogs.shown[0].fileName.isEmpty());
    EXPECT_TRUE(boxes.shown.isEmpty());

    // A program folder that cannot be written to (here: one that is gone)
    // gives way to the home folder.
    tarvic::setProgramFolder(inFolder(QStringLiteral("gone")));
    AskSaveResultsPath();
    ASSERT_EQ(dialogs.shown.size(), 2);
    EXPECT_EQ(dialogs.shown[1].folder, QDir::homePath());
}

TEST_F(SaveDialogTest, ANameWithoutTheXlsxEndingGetsIt)
{
    const struct {
        const char* typed;
        const char* saved;
    } cases[] = {
        {"results", "results.xlsx"},
        {"results.xlsx", "results.xlsx"},
        {"Results.XLSX", "Results.XLSX"},
        {"results.xls", "results.xls.xlsx"},
        {"run 3.final", "run 3.final.xlsx"},
    };
    for (const auto& c : cases) {
        dialogs.queueAnswer(inFolder(QLatin1String(c.typed)));
        EXPECT_EQ(AskSaveResultsPath(), inFolder(QLatin1String(c.saved))) << c.typed;
    }
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(SaveDialogTest, AnExistingFileIsReplacedOnlyWhenTheUserSaysYes)
{
    const QString existing = inFolder(QStringLiteral("results.xlsx"));
    {
        QFile file(existing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    // "No" shows the dialog again on the same name; a cancel there ends it.
    dialogs.queueAnswer(inFolder(QStringLiteral("results")));
    boxes.queueAnswer(tarvic::MsgResult::No);
    EXPECT_EQ(AskSaveResultsPath(), QString());
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].text.startsWith(existing)) << boxes.shown[0].text.toStdString();
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Save results as xls file"));
    EXPECT_EQ(boxes.shown[0].buttons, tarvic::MsgButtons::YesNo);
    ASSERT_EQ(dialogs.shown.size(), 2);
    EXPECT_EQ(dialogs.shown[1].folder, folder.path());
    EXPECT_EQ(dialogs.shown[1].fileName, QStringLiteral("results.xlsx"));

    dialogs.queueAnswer(existing);
    boxes.queueAnswer(tarvic::MsgResult::Yes);
    EXPECT_EQ(AskSaveResultsPath(), existing);
    EXPECT_EQ(boxes.shown.size(), 2);
}

// A read-only file is called so in the question, through a link too; the
// mode decides, since the superuser could write it anyway.
TEST_F(SaveDialogTest, TheQuestionSaysWhenTheFileIsReadOnly)
{
    const QString existing = inFolder(QStringLiteral("results.xlsx"));
    {
        QFile file(existing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QString link = inFolder(QStringLiteral("link.xlsx"));
    ASSERT_TRUE(QFile::link(QStringLiteral("results.xlsx"), link));
    const QString replace = QStringLiteral(" already exists.\nDo you want to replace it?");
    const QString readOnly = QStringLiteral(" is read-only.\nDo you want to replace it anyway?");
    const struct {
        mode_t mode;
        QString name;
        QString question;
    } cases[] = {
        {0644, existing, replace},
        {0444, existing, readOnly},
        {0444, link, readOnly},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(::chmod(QFile::encodeName(existing).constData(), c.mode), 0);
        boxes.shown.clear();
        dialogs.queueAnswer(c.name);
        boxes.queueAnswer(tarvic::MsgResult::Yes);
        EXPECT_EQ(AskSaveResultsPath(), c.name);
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_EQ(boxes.shown[0].text, c.name + c.question);
        EXPECT_EQ(boxes.shown[0].buttons, tarvic::MsgButtons::YesNo);
        EXPECT_EQ(boxes.shown[0].icon, tarvic::MsgIcon::Exclamation);
    }
}

}  // namespace

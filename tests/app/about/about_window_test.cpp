// The About window over the running program: its texts and version, one
// instance placed over the main window, OK, Esc and Enter, the read-me and
// the two links through the shell seam, and a screenshot.
#include "support/app_fixture.h"
#include "support/screenshot_folder.h"

#include "about/frm_about.h"
#include "controls/hyperlink.h"
#include "platform/program_folder.h"
#include "platform/window_placement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>

namespace {

class AboutWindowTest : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        tarvic::setShellOpenHandler([this](const QUrl& url) {
            opened << url;
            return shellAnswers;
        });
    }

    void TearDown() override
    {
        tarvic::setShellOpenHandler({});
        tarvic::setProgramFolder(QString());
        if (frmAbout* about = AboutWindow())
            about->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        AppFixture::TearDown();
    }

    // Shows the window, active, as a user would find it.
    frmAbout* showAbout()
    {
        frmAbout* about = ShowAboutWindow();
        about->activateWindow();
        // A window over the main window counts as active while the main
        // window is: wait for the window itself.
        EXPECT_TRUE(QTest::qWaitFor([about] { return QApplication::activeWindow() == about; }));
        return about;
    }

    // Where the window belongs over the main window, in twips.
    static QPoint expectedTwips(const frmAbout* about)
    {
        const tarvic::TwipsRect main = tarvic::mainWindowTwips();
        const tarvic::TwipsRect me = tarvic::outerTwips(about);
        return QPoint(static_cast<int>(main.left + (main.width - me.width) * 0.55),
                      main.top + (main.height - me.height) / 2);
    }

    static void expectPlacedOverMain(const frmAbout* about)
    {
        const QPoint want = expectedTwips(about);
        const tarvic::TwipsRect at = tarvic::outerTwips(about);
        // Windows move by whole pixels.
        EXPECT_NEAR(at.left, want.x(), tarvic::kTwipsPerPixel / 2 + 1);
        EXPECT_NEAR(at.top, want.y(), tarvic::kTwipsPerPixel / 2 + 1);
    }

    QList<QUrl> opened;
    bool shellAnswers = true;
};

TEST_F(AboutWindowTest, NamesTheProgramAndItsVersionOverTheMainWindow)
{
    dorn->move(40, 30);
    frmAbout* about = showAbout();
    EXPECT_EQ(about->windowTitle(), QStringLiteral("About Tarvic"));
    EXPECT_EQ(about->lblTitle->text(), QStringLiteral("Option Pricer"));
    EXPECT_EQ(about->lblVersion->text(), QStringLiteral("Version 2.1.7"));
    EXPECT_EQ(about->Label1->text(), QStringLiteral("  by Halvic"));
    EXPECT_EQ(about->Label2->text(), QStringLiteral("Email : "));
    EXPECT_EQ(about->Label3->text(), QStringLiteral("Web site : "));
    EXPECT_EQ(about->cmdReadMe->text(), QStringLiteral("Read me"));
    EXPECT_EQ(about->cmdOK->text(), QStringLiteral("OK"));
    EXPECT_EQ(about->Hyperlink1->Caption(), frmAbout::kMailAddress);
    EXPECT_EQ(about->Hyperlink2->Caption(), frmAbout::kWebAddress);
    EXPECT_FALSE(about->Label5->text().isEmpty());
    EXPECT_FALSE(about->Label4->text().isEmpty());
    EXPECT_FALSE(about->picIcon->pixmap().isNull());
    EXPECT_TRUE(about->isVisible());
    EXPECT_FALSE(about->isModal());
    ASSERT_EQ(dialogs.modeless.size(), 1);
    expectPlacedOverMain(about);

    // Nothing clipped at this platform's fonts.
    for (QLabel* label : about->findChildren<QLabel*>()) {
        if (label->wordWrap() || label->text().isEmpty())
            continue;
        EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()))
            << label->text().toStdString();
        EXPECT_GE(label->height(), label->fontMetrics().height()) << label->text().toStdString();
    }
    for (tarvic::Hyperlink* link : {about->Hyperlink1, about->Hyperlink2})
        EXPECT_GE(link->width(), link->sizeHint().width()) << link->Caption().toStdString();
}

TEST_F(AboutWindowTest, OneInstanceComesToTheFrontWithoutBeingPlacedAgain)
{
    frmAbout* about = showAbout();
    about->move(about->x() + 50, about->y() + 20);
    const QPoint moved = about->pos();
    EXPECT_EQ(ShowAboutWindow(), about);
    EXPECT_EQ(about->pos(), moved);
    EXPECT_EQ(dialogs.modeless.size(), 1);
}

TEST_F(AboutWindowTest, OkEscAndTheCloseBoxCloseItAndTheNextShowingPlacesItAfresh)
{
    const std::function<void(frmAbout*)> ways[] = {
        [](frmAbout* about) { QTest::mouseClick(about->cmdOK, Qt::LeftButton); },
        [](frmAbout* about) { QTest::keyClick(about, Qt::Key_Escape); },
        [](frmAbout* about) { about->close(); },
    };
    int way = 0;
    for (const auto& close : ways) {
        QPointer<frmAbout> about = showAbout();
        close(about);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(about.isNull()) << way;
        EXPECT_EQ(AboutWindow(), nullptr) << way;

        // The main window moved meanwhile: the new window follows it.
        dorn->move(dorn->x() + 60, dorn->y() + 25);
        frmAbout* again = showAbout();
        EXPECT_NE(again, nullptr);
        expectPlacedOverMain(again);
        again->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ++way;
    }
}

TEST_F(AboutWindowTest, EnterPressesOkUnlessReadMeOrALinkHasTheFocus)
{
    QPointer<frmAbout> about = showAbout();
    ASSERT_TRUE(about->cmdOK->hasFocus());

    about->cmdReadMe->setFocus();
    QTest::keyClick(about->cmdReadMe, Qt::Key_Return);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(frmAbout::readMePath()));
    ASSERT_FALSE(about.isNull());
    EXPECT_TRUE(about->isVisible());

    about->Hyperlink1->setFocus(Qt::TabFocusReason);
    QTest::keyClick(about->Hyperlink1, Qt::Key_Return);
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[1], QUrl(QStringLiteral("mailto:") + frmAbout::kMailAddress));
    EXPECT_TRUE(about->isVisible());

    about->cmdOK->setFocus();
    QTest::keyClick(about->cmdOK, Qt::Key_Return);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(about.isNull());
    EXPECT_EQ(opened.size(), 2);
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(AboutWindowTest, ReadMeOpensTheFileBesideTheProgram)
{
    // The build puts the read-me beside the program.
    const QString path = frmAbout::readMePath();
    EXPECT_EQ(QFileInfo(path).absolutePath(), QCoreApplication::applicationDirPath());
    ASSERT_TRUE(QFileInfo(path).isFile()) << path.toStdString();

    frmAbout* about = showAbout();
    QTest::mouseClick(about->cmdReadMe, Qt::LeftButton);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(path));
    EXPECT_TRUE(boxes.shown.isEmpty());
}

// An installed program finds its read-me in the installed documentation
// folder; one beside the program comes first.
TEST_F(AboutWindowTest, AnInstalledProgramFindsItsReadMe)
{
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    const QString bin = prefix.filePath(QStringLiteral("bin"));
    const QString doc = frmAbout::installedReadMeFolder(bin);
    ASSERT_TRUE(doc.startsWith(prefix.path() + QLatin1Char('/'))) << doc.toStdString();
    ASSERT_TRUE(QDir().mkpath(bin));
    ASSERT_TRUE(QDir().mkpath(doc));
    const QString installed = QDir(doc).filePath(QStringLiteral("Readme.txt"));
    ASSERT_TRUE(QFile::copy(frmAbout::readMePath(), installed));
    tarvic::setProgramFolder(bin);
    frmAbout* about = showAbout();
    QTest::mouseClick(about->cmdReadMe, Qt::LeftButton);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(installed));
    EXPECT_TRUE(boxes.shown.isEmpty());

    const QString beside = QDir(bin).filePath(QStringLiteral("Readme.txt"));
    ASSERT_TRUE(QFile::copy(installed, beside));
    EXPECT_EQ(frmAbout::readMePath(), beside);
}

TEST_F(AboutWindowTest, AMissingReadMeOrARefusedOpenIsReportedNamingThePathOrAddress)
{
    frmAbout* about = showAbout();
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    tarvic::setProgramFolder(empty.path());
    const QString missing = QDir(empty.path()).filePath(QStringLiteral("Readme.txt"));
    QTest::mouseClick(about->cmdReadMe, Qt::LeftButton);
    EXPECT_TRUE(opened.isEmpty());
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].text.contains(missing)) << boxes.shown[0].text.toStdString();
    EXPECT_EQ(boxes.shown[0].icon, tarvic::MsgIcon::Exclamation);

    tarvic::setProgramFolder(QString());
    shellAnswers = false;
    QTest::mouseClick(about->cmdReadMe, Qt::LeftButton);
    QTest::mouseClick(about->Hyperlink1, Qt::LeftButton,
                      {}, about->Hyperlink1->captionLabel()->geometry().center());
    QTest::mouseClick(about->Hyperlink2, Qt::LeftButton,
                      {}, about->Hyperlink2->captionLabel()->geometry().center());
    ASSERT_EQ(opened.size(), 3);
    EXPECT_EQ(opened[2], QUrl(frmAbout::kWebAddress));
    ASSERT_EQ(boxes.shown.size(), 4);
    EXPECT_TRUE(boxes.shown[1].text.contains(frmAbout::readMePath()));
    EXPECT_TRUE(boxes.shown[2].text.contains(QStringLiteral("mailto:") + frmAbout::kMailAddress));
    EXPECT_TRUE(boxes.shown[3].text.contains(frmAbout::kWebAddress));
    // The window stays open, and the clicks on the links left the focus
    // on the button clicked before them.
    EXPECT_EQ(AboutWindow(), about);
    EXPECT_TRUE(about->cmdReadMe->hasFocus());
}

TEST_F(AboutWindowTest, Screenshot)
{
    frmAbout* about = showAbout();
    QApplication::processEvents();
    const QPixmap shot = about->grab();
    ASSERT_FALSE(shot.isNull());
    const QString folder = screenshotFolder();
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString file = folder + QStringLiteral("/about-window.png");
    ASSERT_TRUE(shot.save(file, "PNG"));
    EXPECT_GT(QFileInfo(file).size(), 0);
}

}  // namespace

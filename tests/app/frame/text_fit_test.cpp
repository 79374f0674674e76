// Every window and dialog of the program, in every layout its contracts and
// settings give it, shows its captions, check boxes, buttons, text boxes and
// lists whole with the fonts of the platform it runs on.
#include "support/app_fixture.h"

#include "about/frm_about.h"
#include "platform/results_grid.h"
#include "platform/spin_button.h"
#include "settings/frmResol.h"
#include "settings/frmResolMC.h"
#include "support/screenshot_folder.h"
#include "support/text_fit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>

namespace {

class TextFitTest : public AppFixture {
protected:
    static void settle()
    {
        // Nested layouts settle over a few turns of the event loop.
        for (int turn = 0; turn < 4; ++turn)
            QApplication::processEvents();
    }

    // Checks one window as it stands; with TARVIC_FIT_SHOTS set, also keeps
    // a picture of it for people to look at.
    void expectWhole(const QWidget* window, const QString& layout)
    {
        settle();
        const QStringList problems = textfit::clippedTexts(window) + textfit::unprintedTexts(window);
        EXPECT_TRUE(problems.isEmpty()) << layout.toStdString() << ":\n  "
                                        << problems.join(QStringLiteral("\n  ")).toStdString();
        if (!qEnvironmentVariableIsEmpty("TARVIC_FIT_SHOTS")) {
            const QString set = qEnvironmentVariable("TARVIC_FONT_SET");
            const QString folder = screenshotFolder() + QStringLiteral("/fit") +
                                   (set.isEmpty() ? QString() : QLatin1Char('/') + set);
            QDir().mkpath(folder);
            QString name = layout;
            name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]+")), QStringLiteral("-"));
            const_cast<QWidget*>(window)->grab().save(folder + QLatin1Char('/') + name +
                                                      QStringLiteral(".png"));
        }
    }

    // Typical contents of the pricer window's boxes, as long as users type them.
    static void fillBoxes(frmOptions& w)
    {
        const std::pair<QLineEdit*, const char*> texts[] = {
            {ui(w).txtAsset, "10000.25"}, {ui(w).txtStrike, "10000"},    {ui(w).txtVol, "100"},
            {ui(w).txtIntRate, "12.5"},   {ui(w).txtDiv, "-2.5"},        {ui(w).txtExpi, "0.0001"},
            {ui(w).txtMonPts, "5000"},    {ui(w).TxtUpBar, "12000.5"},   {ui(w).txtDownBar, "8000.5"},
            {ui(w).txtSmplstart, "-0.25"}, {ui(w).txtNFixed, "4999"},   {ui(w).txtSmplPoints, "5000"},
            {ui(w).txtInitAvg, "10000.25"},
        };
        for (const auto& t : texts) {
            const QSignalBlocker quiet(t.first);
            t.first->setText(QString::fromLatin1(t.second));
        }
    }

    // Each payoff, exercise style and monitoring choice of a pricer window.
    void everyContractLayout(frmOptions& w, const QString& solver)
    {
        for (int payoff = 0; payoff < ui(w).cboPayoff->count(); ++payoff) {
            for (int exercise = 0; exercise < ui(w).cboExercise->count(); ++exercise) {
                for (int monitoring = 0; monitoring < 2; ++monitoring) {
                    w.setListIndex(ui(w).cboExercise, exercise);
                    w.setListIndex(ui(w).cboPayoff, payoff);
                    if (ui(w).chkContMon->isEnabled() && ui(w).chkContMon->isVisibleTo(&w))
                        w.setCheckValue(ui(w).chkContMon, monitoring == 1);
                    else if (monitoring == 1)
                        continue;  // nothing to choose
                    fillBoxes(w);
                    expectWhole(dorn.get(), solver + QLatin1Char(' ') + ui(w).cboPayoff->currentText() +
                                                QLatin1Char(' ') + ui(w).cboExercise->currentText() +
                                                (monitoring ? QStringLiteral(" continuous")
                                                            : QStringLiteral(" discrete")));
                }
            }
        }
    }
};

TEST_F(TextFitTest, MainWindowWithItsCover)
{
    expectWhole(dorn.get(), QStringLiteral("main window cover"));
}

TEST_F(TextFitTest, AboutWindow)
{
    frmAbout* about = ShowAboutWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(about));
    expectWhole(about, QStringLiteral("About"));
    about->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The font sets the fit tests run under (tests/app/support/fonts, chosen
// by FONTCONFIG_FILE and named by TARVIC_FONT_SET): the families each must
// have, so that a set whose package is missing fails instead of passing
// under DejaVu alone.
TEST_F(TextFitTest, FontSetIsInstalled)
{
    const QString set = qEnvironmentVariable("TARVIC_FONT_SET");
    if (set.isEmpty())
        GTEST_SKIP() << "the machine's own fonts";
    const struct {
        const char* set;
        const char* package;
        QStringList families;
    } sets[] = {
        {"dejavu", "fonts-dejavu-core", {QStringLiteral("DejaVu Sans")}},
        {"liberation", "fonts-liberation2",
         {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"),
          QStringLiteral("Liberation Serif")}},
        {"urw-base35", "fonts-urw-base35",
         {QStringLiteral("DejaVu Sans"), QStringLiteral("Nimbus Sans"), QStringLiteral("D050000L")}},
    };
    bool known = false;
    for (const auto& s : sets) {
        if (set != QLatin1String(s.set))
            continue;
        known = true;
        for (const QString& family : s.families)
            EXPECT_TRUE(QFontDatabase::hasFamily(family))
                << family.toStdString() << " is missing: install " << s.package;
    }
    EXPECT_TRUE(known) << set.toStdString();
}

// Every text of the About window prints in a face for text: where the
// decorative face it names is missing, the generic family it falls to may be
// a face of symbols (the URW set's dingbats), which claims the letters and
// prints pictures for them.
TEST_F(TextFitTest, AboutWindowPrintsItsTextsInTextFaces)
{
    frmAbout* about = ShowAboutWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(about));
    EXPECT_EQ(textfit::unprintedTexts(about), QStringList());
    EXPECT_GE(about->findChildren<QLabel*>().size(), 8);
    // Under the URW set the generic decorative family is the dingbat face:
    // the case above met the fault.
    if (qEnvironmentVariable("TARVIC_FONT_SET") == QLatin1String("urw-base35")) {
        QFont fantasy(QStringLiteral("Papyrus"));
        fantasy.setStyleHint(QFont::Fantasy);
        EXPECT_TRUE(QFontDatabase::writingSystems(QFontInfo(fantasy).family())
                        .contains(QFontDatabase::Symbol))
            << QFontInfo(fantasy).family().toStdString();
    }
    about->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(TextFitTest, FiniteDifferenceWindowInEveryContractLayout)
{
    dorn->mnuPDEOptions->trigger();
    frmOptions& w = *dorn->pricerPde();
    everyContractLayout(w, QStringLiteral("PDE"));
    // During and after a run, and with the frames that other commands show.
    ui(w).lblProgress->setText(QStringLiteral("Please wait"));
    ui(w).lblCalcTime->setText(QStringLiteral("99999.999 sec"));
    for (QWidget* frame : std::initializer_list<QWidget*>{ui(w).frAnalytic, ui(w).frMCExact, ui(w).frPlotOptions})
        frame->show();
    ui(w).lblAValue->setText(QStringLiteral("10000.123456"));
    ui(w).lblAsset->setText(QStringLiteral("10000.123456"));
    expectWhole(dorn.get(), QStringLiteral("PDE status and frames"));
}

// Captions laid out on two lines keep their lines together: the periods
// caption beside its box, the calculation time without the gap that one
// line would show between its words.
TEST_F(TextFitTest, TwoLineCaptionsKeepTheirLinesTogether)
{
    dorn->mnuPDEOptions->trigger();
    frmOptions& w = *dorn->pricerPde();
    w.setListIndex(ui(w).cboExercise, 2);  // Bermudan
    w.setListIndex(ui(w).cboPayoff, 2);    // down-and-out, discretely monitored
    settle();
    ASSERT_TRUE(ui(w).txtMonPts->isVisible());
    const auto inPanel = [&w](const QWidget* c) { return QRect(c->mapTo(ui(w).picBar, QPoint()), c->size()); };
    const QRect top = inPanel(ui(w).lblMonPts);
    const QRect bottom = inPanel(ui(w).lblMonPts2);
    const QRect box = inPanel(ui(w).txtMonPts);
    EXPECT_LE(bottom.top() - top.bottom(), 2);
    EXPECT_GE(box.center().y(), top.top());
    EXPECT_LE(box.center().y(), bottom.bottom());
    EXPECT_GT(box.left(), std::max(top.right(), bottom.right()));

    EXPECT_EQ(ui(w).Label13->text(), QStringLiteral("Calculation     time :"));
    EXPECT_LT(ui(w).Label13->width(), ui(w).Label13->fontMetrics().horizontalAdvance(ui(w).Label13->text()));
    EXPECT_GE(ui(w).Label13->height(), 2 * ui(w).Label13->fontMetrics().height());
}

TEST_F(TextFitTest, MonteCarloWindowInEveryContractLayout)
{
    dorn->mnuMCOptions->trigger();
    frmOptions& w = *dorn->pricerMc();
    everyContractLayout(w, QStringLiteral("MC"));
    // The additional parameters of a vanilla European.
    w.setListIndex(ui(w).cboExercise, 0);
    w.setListIndex(ui(w).cboPayoff, 0);
    w.lblAdditionalParams_Click();
    fillBoxes(w);
    expectWhole(dorn.get(), QStringLiteral("MC vanilla time steps"));
}

TEST_F(TextFitTest, FiniteDifferenceSettingsInEachLayout)
{
    dorn->mnuPDEOptions->trigger();
    frmOptions& w = *dorn->pricerPde();
    frmResol& dlg = gFrmResol(&w);
    const struct {
        const char* name;
        int payoff, exercise;
    } layouts[] = {
        {"vanilla European", 0, 0}, {"vanilla American", 0, 1}, {"Asian fixed European", 7, 0},
        {"Asian fixed American", 7, 1}, {"Asian floating", 8, 0},
    };
    for (const auto& l : layouts) {
        w.setListIndex(ui(w).cboExercise, l.exercise);
        w.setListIndex(ui(w).cboPayoff, l.payoff);
        if (dlg.ChkOverMaxS->isEnabled()) {
            dlg.ChkOverMaxS->setChecked(true);
            dlg.txtMaxS->setText(QStringLiteral("300000.5"));
        }
        dlg.setListIndex(dlg.cboResol, 3);
        dlg.txtNoA->setText(QStringLiteral("999999999"));
        dlg.txtTS->setText(QStringLiteral("999999999"));
        dlg.showModalFor(&w);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
        expectWhole(&dlg, QStringLiteral("PDE settings ") + QLatin1String(l.name));
        dlg.hide();
    }
}

TEST_F(TextFitTest, MonteCarloSettingsInEachLayout)
{
    dorn->mnuMCOptions->trigger();
    frmOptions& w = *dorn->pricerMc();
    frmResolMC& dlg = gFrmResolMC(&w);
    for (int exercise = 0; exercise < 2; ++exercise) {
        w.setListIndex(ui(w).cboExercise, exercise);
        // Sobol at the largest counts, then pseudo-random at the largest.
        dlg.optRNG[0]->setChecked(true);
        dlg.showModalFor(&w);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
        dlg.UpDownPow->setValue(30);
        dlg.UpDownLSPow->setValue(30);
        expectWhole(&dlg, QStringLiteral("MC settings Sobol ") + ui(w).cboExercise->currentText());
        dlg.optRNG[1]->setChecked(true);
        dlg.txtPaths->setText(QStringLiteral("2000000"));
        dlg.txtLSPaths->setText(QStringLiteral("2000000"));
        expectWhole(&dlg, QStringLiteral("MC settings pseudo-random ") + ui(w).cboExercise->currentText());
        dlg.optRNG[0]->setChecked(true);
        dlg.hide();
    }
}

}  // namespace

// The pricer window's error reporter: text, title, status colour, silence.
#include "support/app_fixture.h"

#include "platform/control_look.h"
#include "platform/results_grid.h"
#include "platform/runtime_error.h"
#include "settings/frmResol.h"
#include "settings/settings_dialogs.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

namespace {

struct ReportCase {
    const char* name;
    int32_t number;
    const char* description;
    const char* phrase;
    int mode;
    bool shown;
    const char* text;
    const char* title;
};

const ReportCase kReportCases[] = {
    {"Plain", 9, "Subscript out of range", "interpolating", 1, true,
     "Error 9(Subscript out of range) occurred while interpolating", "PDE Solver - ERROR"},
    {"McTitle", 6, "Overflow", "preparing to show the MC results", 2, true,
     "Error 6(Overflow) occurred while preparing to show the MC results",
     "Monte Carlo Solver - ERROR"},
    {"AnyOtherModeIsMc", 11, "Division by zero", "creating the chart", 7, true,
     "Error 11(Division by zero) occurred while creating the chart", "Monte Carlo Solver - ERROR"},
    {"NegativeNumber", -2147221504, "Method failed", "exporting to file.", 1, true,
     "Error -2147221504(Method failed) occurred while exporting to file.", "PDE Solver - ERROR"},
    {"AutomationErrorSilent", -2147417848, "Automation error\nThe object invoked has disconnected",
     "exporting to file.", 1, false, "", ""},
    {"LowerCaseAutomationShown", 440, "automation error", "exporting to file.", 2, true,
     "Error 440(automation error) occurred while exporting to file.", "Monte Carlo Solver - ERROR"},
    {"ShorterPrefixShown", 440, "Automation erro", "exporting to file.", 1, true,
     "Error 440(Automation erro) occurred while exporting to file.", "PDE Solver - ERROR"},
};

}  // namespace

class ErrorReporterTest : public AppFixture, public ::testing::WithParamInterface<ReportCase> {};

TEST_P(ErrorReporterTest, BuildsOneWarningFromThePendingError)
{
    // The box is titled by the solver of the window that reports.
    const ReportCase& c = GetParam();
    if (c.mode == tarvic::kSolverPde)
        dorn->mnuPDEOptions->trigger();
    else
        dorn->mnuMCOptions->trigger();
    frmOptions& window = c.mode == tarvic::kSolverPde ? *dorn->pricerPde() : *dorn->pricerMc();
    tarvic::gSolverMode = c.mode;
    tarvic::setForeColor(ui(window).lblProgress, 0x00C000);

    tarvic::Err().Number = c.number;
    tarvic::Err().Description = QString::fromLatin1(c.description);
    window.ReportError(QString::fromLatin1(c.phrase));

    if (!c.shown) {
        EXPECT_TRUE(boxes.shown.isEmpty());
    } else {
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_EQ(boxes.shown[0].text, QString::fromLatin1(c.text));
        EXPECT_EQ(boxes.shown[0].title, QString::fromLatin1(c.title));
        EXPECT_EQ(boxes.shown[0].icon, tarvic::MsgIcon::Exclamation);
        EXPECT_EQ(boxes.shown[0].buttons, tarvic::MsgButtons::OKOnly);
    }
    // Only a failed calculation colours the status label.
    EXPECT_EQ(tarvic::foreColor(ui(window).lblProgress), 0x00C000u);
    // The pending error is read, not cleared.
    EXPECT_EQ(tarvic::Err().Number, c.number);
}

INSTANTIATE_TEST_SUITE_P(Cases, ErrorReporterTest, ::testing::ValuesIn(kReportCases),
                         [](const auto& info) { return std::string(info.param.name); });

using ErrorReporterStatusTest = AppFixture;

TEST_F(ErrorReporterStatusTest, FailedCalculationTurnsTheStatusRedBeforeTheBox)
{
    dorn->mnuMCOptions->trigger();
    frmOptions& window = *dorn->pricerMc();
    tarvic::setForeColor(ui(window).lblProgress, 0x00C000);
    struct ColourAtBox : tarvic::ScriptedMessageBoxes {
        QLabel* label = nullptr;
        uint32_t colour = 0;
        tarvic::MsgResult show(QWidget* parent, const tarvic::MsgBoxRequest& r) override
        {
            colour = tarvic::foreColor(label);
            return ScriptedMessageBoxes::show(parent, r);
        }
    } probe;
    probe.label = ui(window).lblProgress;

    tarvic::RunTrapped([] { tarvic::RaiseError(6, QStringLiteral("Overflow")); },
                       [&] { window.ReportError(QStringLiteral("solving for the option price")); });

    ASSERT_EQ(probe.shown.size(), 1);
    EXPECT_EQ(probe.colour, 192u);
    EXPECT_EQ(tarvic::foreColor(ui(window).lblProgress), 192u);
    EXPECT_EQ(probe.shown[0].text,
              QStringLiteral("Error 6(Overflow) occurred while solving for the option price"));

    // The silent case leaves the colour alone even for that phrase.
    tarvic::setForeColor(ui(window).lblProgress, 0x00C000);
    tarvic::Err().Description = QStringLiteral("Automation error");
    window.ReportError(QStringLiteral("solving for the option price"));
    EXPECT_EQ(tarvic::foreColor(ui(window).lblProgress), 0x00C000u);
    EXPECT_EQ(probe.shown.size(), 1);
}

TEST_F(ErrorReporterStatusTest, AFailingControlCallInLoadIsReportedWithItsPhrase)
{
    // A results grid that cannot take row 1 makes the table's setup fail;
    // the load handler reports it and ends there.
    frmOptions& window = *dorn->pricerPde();
    tarvic::gSolverMode = 1;
    window.setCaption(QStringLiteral("PDE Solver"));
    ASSERT_TRUE(window.isLoaded());
    ui(window).MSFlexGrid1->setRows(1);
    window.InitResultsTable();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text,
              QStringLiteral("Error 30009(Invalid Row value) occurred while initializing the solution grid"));
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("PDE Solver - ERROR"));
}

// A handler that meets an exception of no known kind reports it like any
// other error and ends there; the window goes on taking keys and commands.
TEST_F(ErrorReporterStatusTest, AHandlerThatThrowsAnythingIsReportedAndTheWindowStaysUsable)
{
    struct ThrowingDialogs : tarvic::DialogShowSeam {
        ThrowingDialogs() : previous(tarvic::setDialogShowSeam(this)) {}
        ~ThrowingDialogs() override { tarvic::setDialogShowSeam(previous); }
        void showModal(QWidget*) override { throw 42; }
        void showModeless(QWidget*) override { throw 42; }
        tarvic::DialogShowSeam* previous;
    };
    dorn->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dorn.get()));
    dorn->mnuPDEOptions->trigger();
    frmOptions& window = *dorn->pricerPde();
    QLineEdit* strike = ui(window).txtStrike;
    strike->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(strike->hasFocus());
    {
        const ThrowingDialogs throwing;
        QTest::keyClick(strike, Qt::Key_F2);  // Options > Configure solver
    }
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text,
              QStringLiteral("Error 51(Internal error) occurred while configuring the solver"));
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("PDE Solver - ERROR"));
    EXPECT_TRUE(dialogs.modal.isEmpty());

    // The same window takes typing and opens the dialog afterwards.
    QTest::keyClicks(strike, QStringLiteral("95"));
    EXPECT_EQ(strike->text(), QStringLiteral("95"));
    QTest::keyClick(strike, Qt::Key_F2);
    ASSERT_EQ(dialogs.modal.size(), 1);
    EXPECT_EQ(dialogs.modal[0].data(), frmResolIfLoaded());
    EXPECT_EQ(boxes.shown.size(), 1);
}

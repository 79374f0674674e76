// The hyperlink control, driven with QTest's mouse and keys: it follows the
// link on a left release over the caption and on Space or Enter, raises
// PrepareJump before Jump, leaves the focus where a click found it, passes
// arrow keys on, and switches between its normal, hover and used looks.
#include "support/qt_printers.h"

#include "controls/hyperlink.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using tarvic::Hyperlink;

namespace {

// A window with a text box (where the focus starts) and a link; it records
// the keys that reach it and the link's events in order.
class LinkWindow : public QWidget {
public:
    LinkWindow()
    {
        box = new QLineEdit(this);
        link = new Hyperlink(QStringLiteral("www.example.org"), this);
        link->setAutoSize(true);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(box);
        layout->addWidget(link);
        layout->addStretch(1);
        resize(240, 120);
        QObject::connect(link, &Hyperlink::PrepareJump, link, [this](bool* ensureLostFocus) {
            events << QStringLiteral("PrepareJump");
            *ensureLostFocus = askLostFocus;
        });
        QObject::connect(link, &Hyperlink::Jump, link, [this] {
            events << QStringLiteral("Jump");
            frameDuringJump = link->focusFrameShown();
        });
    }

    QPoint captionCentre() const { return link->captionLabel()->geometry().center(); }

    QLineEdit* box = nullptr;
    Hyperlink* link = nullptr;
    QStringList events;
    QList<int> keysReceived;
    bool askLostFocus = false;
    bool frameDuringJump = false;

protected:
    void keyPressEvent(QKeyEvent* event) override { keysReceived << event->key(); }
};

class HyperlinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        window.box->setFocus();
        QApplication::processEvents();
    }

    void hoverCaption() { QTest::mouseMove(window.link, window.captionCentre()); }
    void leaveCaption() { QTest::mouseMove(&window, QPoint(window.width() - 2, window.height() - 2)); }

    LinkWindow window;
};

const QStringList kFollowed{QStringLiteral("PrepareJump"), QStringLiteral("Jump")};

TEST_F(HyperlinkTest, ALeftClickOnTheCaptionFollowsTheLinkAndLeavesTheFocus)
{
    Hyperlink* link = window.link;
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(link->captionColor(), QColor(50, 100, 200));
    EXPECT_FALSE(link->isVisited());

    QTest::mouseClick(link, Qt::LeftButton, {}, window.captionCentre());
    EXPECT_EQ(window.events, kFollowed);
    EXPECT_TRUE(window.box->hasFocus());
    EXPECT_FALSE(link->hasFocus());
    EXPECT_TRUE(link->isVisited());

    // Once visited, the normal colour is the used colour, and a new normal
    // colour no longer shows.
    link->setColorUsed(QColor(128, 0, 128));
    leaveCaption();
    link->setColorNormal(QColor(0, 128, 0));
    EXPECT_EQ(link->captionColor(), QColor(128, 0, 128));
}

TEST_F(HyperlinkTest, OtherButtonsAndAReleaseAwayFromTheCaptionRaiseNothing)
{
    Hyperlink* link = window.link;
    QTest::mouseClick(link, Qt::RightButton, {}, window.captionCentre());
    QTest::mouseClick(link, Qt::MiddleButton, {}, window.captionCentre());
    // Pressed on the caption, released beside it.
    QTest::mousePress(link, Qt::LeftButton, {}, window.captionCentre());
    QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(link->width() + 30, link->height() + 30));
    EXPECT_TRUE(window.events.isEmpty());
    EXPECT_FALSE(link->isVisited());

    // Disabled, it follows nothing.
    link->setEnabled(false);
    QTest::mouseClick(link, Qt::LeftButton, {}, window.captionCentre());
    EXPECT_TRUE(window.events.isEmpty());
}

TEST_F(HyperlinkTest, TabbingToTheLinkShowsTheFrameAndSpaceOrEnterFollowIt)
{
    Hyperlink* link = window.link;
    EXPECT_FALSE(link->focusFrameShown());
    QTest::keyClick(window.box, Qt::Key_Tab);
    ASSERT_TRUE(link->hasFocus());
    EXPECT_TRUE(link->focusFrameShown());

    const int keys[] = {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter};
    for (int key : keys) {
        window.events.clear();
        QTest::keyClick(link, static_cast<Qt::Key>(key));
        EXPECT_EQ(window.events, kFollowed) << key;
        EXPECT_TRUE(link->hasFocus()) << key;
        EXPECT_TRUE(link->focusFrameShown()) << key;
    }
    // A held key follows the link once.
    window.events.clear();
    QKeyEvent repeated(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
    QApplication::sendEvent(link, &repeated);
    EXPECT_TRUE(window.events.isEmpty());
    // Other keys do nothing.
    QTest::keyClick(link, Qt::Key_A);
    QTest::keyClick(link, Qt::Key_Escape);
    EXPECT_TRUE(window.events.isEmpty());

    QTest::keyClick(link, Qt::Key_Tab);
    EXPECT_FALSE(link->focusFrameShown());
}

TEST_F(HyperlinkTest, ArrowKeysReachTheContainer)
{
    QTest::keyClick(window.box, Qt::Key_Tab);
    ASSERT_TRUE(window.link->hasFocus());
    for (Qt::Key key : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down})
        QTest::keyClick(window.link, key);
    EXPECT_EQ(window.keysReceived,
              (QList<int>{Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down}));
    EXPECT_TRUE(window.events.isEmpty());
}

TEST_F(HyperlinkTest, PrepareJumpMayAskForTheLostFocusHandlingBeforeJump)
{
    QTest::keyClick(window.box, Qt::Key_Tab);
    QTest::keyClick(window.link, Qt::Key_Space);
    EXPECT_TRUE(window.frameDuringJump);

    window.askLostFocus = true;
    QTest::keyClick(window.link, Qt::Key_Space);
    EXPECT_FALSE(window.frameDuringJump);
    // Still focused after the jump: the frame comes back.
    EXPECT_TRUE(window.link->focusFrameShown());
}

struct HoverCase {
    const char* name;
    bool hoverEnabled;
    bool enabled;
    bool otherWindowActive;
    bool hoverLook;
};

TEST_F(HyperlinkTest, TheHoverLookNeedsHoverEnabledAnEnabledLinkAndItsWindowActive)
{
    const HoverCase cases[] = {
        {"hover", true, true, false, true},
        {"hover disabled", false, true, false, false},
        {"link disabled", true, false, false, false},
        {"another window active", true, true, true, false},
    };
    QWidget other;
    for (const HoverCase& c : cases) {
        Hyperlink* link = window.link;
        leaveCaption();
        link->setHoverEnabled(c.hoverEnabled);
        link->setEnabled(c.enabled);
        QWidget* active = c.otherWindowActive ? &other : static_cast<QWidget*>(&window);
        active->show();
        active->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(active)) << c.name;

        hoverCaption();
        EXPECT_EQ(link->isHovering(), c.hoverLook) << c.name;
        EXPECT_EQ(link->captionColor(), c.hoverLook ? QColor(255, 0, 0) : QColor(50, 100, 200))
            << c.name;
        leaveCaption();
        EXPECT_FALSE(link->isHovering()) << c.name;
        EXPECT_EQ(link->captionColor(), QColor(50, 100, 200)) << c.name;
        other.hide();
        link->setEnabled(true);
        link->setHoverEnabled(true);
    }
}

TEST_F(HyperlinkTest, HoverFontAndColoursComeAndGoWithTheMouse)
{
    Hyperlink* link = window.link;
    QFont hoverFont = link->font();
    hoverFont.setUnderline(true);
    hoverFont.setPointSizeF(hoverFont.pointSizeF() * 1.5);
    link->setFontHover(hoverFont);
    link->setColorHover(QColor(0, 0, 255));

    hoverCaption();
    EXPECT_EQ(link->captionColor(), QColor(0, 0, 255));
    EXPECT_TRUE(link->captionFont().underline());
    // The caption grows with the font and still fits.
    EXPECT_GE(link->captionLabel()->width(),
              QFontMetrics(hoverFont).horizontalAdvance(link->Caption()));
    leaveCaption();
    EXPECT_FALSE(link->captionFont().underline());
    EXPECT_EQ(link->captionColor(), QColor(50, 100, 200));
    // The size asked of layouts fits the caption in either font.
    EXPECT_GE(link->sizeHint().width(),
              QFontMetrics(hoverFont).horizontalAdvance(link->Caption()) + 2);
}

TEST(HyperlinkSizeTest, AutoSizeKeepsTheControlTwoPixelsLargerThanItsCaption)
{
    Hyperlink link(QStringLiteral("Halvic"));
    link.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&link));
    link.resize(300, 60);
    EXPECT_EQ(link.captionLabel()->geometry(), QRect(1, 1, 298, 58));

    link.setAutoSize(true);
    const QSize caption = link.captionLabel()->size();
    EXPECT_EQ(caption, link.captionLabel()->sizeHint());
    EXPECT_EQ(link.size(), caption + QSize(2, 2));
    EXPECT_GE(caption.width(), link.fontMetrics().horizontalAdvance(QStringLiteral("Halvic")));
    EXPECT_GE(caption.height(), link.fontMetrics().height());

    link.setCaption(QStringLiteral("A much longer caption than before"));
    EXPECT_EQ(link.size(), link.captionLabel()->sizeHint() + QSize(2, 2));
    EXPECT_GT(link.width(), caption.width() + 2);
}

TEST(HyperlinkSizeTest, CursorIsTheHandUnlessACustomOneIsAsked)
{
    Hyperlink link(QStringLiteral("Halvic"));
    EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);
    // The program ships no custom cursor: the arrow stands in for it.
    link.setCursorCustom(true);
    EXPECT_EQ(link.cursor().shape(), Qt::ArrowCursor);
    link.setCursorCustom(false);
    EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);
}

}  // namespace

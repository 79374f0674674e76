#include "about/frm_about.h"

#include "controls/hyperlink.h"
#include "platform/control_fit.h"
#include "platform/dialog_show.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "platform/system_services.h"
#include "platform/window_placement.h"
#include "program_version.h"

#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

const QString frmAbout::kMailAddress = QStringLiteral("tarvic@example.org");
const QString frmAbout::kWebAddress = QStringLiteral("https://www.example.org/tarvic");

namespace {

QPointer<frmAbout> g_about;

const QString kTitle = QStringLiteral("Option Pricer");

QFont aboutFont(const QString& family, double points, bool bold = false)
{
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QFrame* rule(QFrame::Shape shape, QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(shape);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

}  // namespace

frmAbout::frmAbout(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    buildControls();
    Form_Load();
}

void frmAbout::buildControls()
{
    const QFont text = aboutFont(QStringLiteral("MS Sans Serif"), 8.25);
    setFont(text);

    picIcon = new QLabel(this);
    const QWidget* main = tarvic::mainWindowWidget();
    const QIcon artwork = main ? main->windowIcon() : windowIcon();
    picIcon->setPixmap(artwork.pixmap(64, 64));
    picIcon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    // The heading and the maker in a decorative face where there is one;
    // a missing face falls to a decorative generic, which on some systems
    // is a face of symbols: then a plain text face prints them.
    lblTitle = new QLabel(this);
    QFont titleFont = aboutFont(QStringLiteral("Papyrus"), 21.75, true);
    titleFont.setStyleHint(QFont::Fantasy);
    titleFont = tarvic::textFaceFor(titleFont, kTitle);
    lblTitle->setFont(titleFont);
    Label1 = new QLabel(QStringLiteral("  by Halvic"), this);
    QFont makerFont = aboutFont(QStringLiteral("Papyrus"), 8.25);
    makerFont.setStyleHint(QFont::Fantasy);
    Label1->setFont(tarvic::textFaceFor(makerFont, Label1->text()));
    lblVersion = new QLabel(this);
    Label5 = new QLabel(QStringLiteral("Written by the Tarvic project team."), this);
    Label2 = new QLabel(QStringLiteral("Email : "), this);
    Label3 = new QLabel(QStringLiteral("Web site : "), this);
    Label4 = new QLabel(QStringLiteral("This program is provided as it is, without warranty of any "
                                       "kind. Its prices are meant for study and comparison: check "
                                       "them before relying on them."),
                        this);
    Label4->setWordWrap(true);

    Hyperlink1 = new tarvic::Hyperlink(kMailAddress, this);
    Hyperlink1->setObjectName(QStringLiteral("Hyperlink1"));
    Hyperlink2 = new tarvic::Hyperlink(kWebAddress, this);
    Hyperlink2->setObjectName(QStringLiteral("Hyperlink2"));
    for (tarvic::Hyperlink* link : {Hyperlink1, Hyperlink2}) {
        link->setFontNormal(text);
        link->setFontHover(text);
    }

    Line1 = rule(QFrame::HLine, this);
    Line2 = rule(QFrame::HLine, this);
    Line3 = rule(QFrame::HLine, this);
    Line4 = rule(QFrame::VLine, this);
    Line5 = rule(QFrame::HLine, this);

    cmdReadMe = new QPushButton(QStringLiteral("Read me"), this);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setDefault(true);
    for (QPushButton* button : {cmdReadMe, cmdOK})
        button->setMinimumWidth(
            std::max(button->sizeHint().width(), button->fontMetrics().horizontalAdvance(
                                                     QStringLiteral("Read me")) + 24));

    // Picture on the left, beside a rule; names, contacts and notice on the
    // right; the buttons under a rule at the bottom.
    auto* contacts = new QGridLayout;
    contacts->setHorizontalSpacing(4);
    contacts->addWidget(Label2, 0, 0, Qt::AlignLeft | Qt::AlignVCenter);
    contacts->addWidget(Hyperlink1, 0, 1, Qt::AlignLeft | Qt::AlignVCenter);
    contacts->addWidget(Label3, 1, 0, Qt::AlignLeft | Qt::AlignVCenter);
    contacts->addWidget(Hyperlink2, 1, 1, Qt::AlignLeft | Qt::AlignVCenter);
    contacts->setColumnStretch(1, 1);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(lblTitle);
    texts->addWidget(Label1);
    texts->addWidget(Line1);
    texts->addWidget(lblVersion);
    texts->addWidget(Label5);
    texts->addWidget(Line2);
    texts->addLayout(contacts);
    texts->addWidget(Line3);
    texts->addWidget(Label4);

    auto* top = new QHBoxLayout;
    top->setSpacing(10);
    top->addWidget(picIcon, 0, Qt::AlignTop);
    top->addWidget(Line4);
    top->addLayout(texts, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdReadMe);
    buttons->addWidget(cmdOK);

    auto* outer = new QVBoxLayout(this);
    outer->setSizeConstraint(QLayout::SetFixedSize);
    outer->addLayout(top);
    outer->addWidget(Line5);
    outer->addLayout(buttons);

    // The notice wraps at a width that keeps the window's proportions.
    Label4->setFixedWidth(std::max(QFontMetrics(titleFont).horizontalAdvance(
                                       kTitle),
                                   QFontMetrics(text).horizontalAdvance(Label4->text()) / 3));
    tarvic::holdWrappedText(Label4);

    setTabOrder(Hyperlink1, Hyperlink2);
    setTabOrder(Hyperlink2, cmdReadMe);
    setTabOrder(cmdReadMe, cmdOK);

    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdReadMe, &QPushButton::clicked, this, [this] { cmdReadMe_Click(); });
    connect(Hyperlink1, &tarvic::Hyperlink::Jump, this, [this] { Hyperlink1_Jump(); });
    connect(Hyperlink2, &tarvic::Hyperlink::Jump, this, [this] { Hyperlink2_Jump(); });
}

void frmAbout::Form_Load()
{
    setWindowTitle(QStringLiteral("About ") + QString::fromUtf8(tarvic::kProductName));
    lblVersion->setText(QStringLiteral("Version %1.%2.%3")
                            .arg(tarvic::kVersionMajor)
                            .arg(tarvic::kVersionMinor)
                            .arg(tarvic::kVersionRevision));
    lblTitle->setText(kTitle);
}

void frmAbout::placeOverMainWindow()
{
    // Over the main window: 55 % of the spare width to the left, half the
    // spare height (in whole twips) above, frames included.
    const tarvic::TwipsRect main = tarvic::mainWindowTwips();
    if (main.width <= 0 || main.height <= 0)
        return;
    const tarvic::TwipsRect me = tarvic::outerTwips(this);
    const long spareHeight = static_cast<long>(main.height) - me.height;
    tarvic::moveToTwips(this, main.left + (main.width - me.width) * 0.55,
                        static_cast<double>(main.top + spareHeight / 2));
}

void frmAbout::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous() || m_placed)
        return;
    // Placed once, as it first shows: only then is its frame known.
    m_placed = true;
    placeOverMainWindow();
    cmdOK->setFocus();
}

void frmAbout::cmdOK_Click()
{
    close();
}

#ifndef TARVIC_DOC_FROM_PROGRAM
#define TARVIC_DOC_FROM_PROGRAM "../share/doc/Tarvic"
#endif

QString frmAbout::installedReadMeFolder(const QString& programFolder)
{
    return QDir::cleanPath(QDir(programFolder).filePath(QStringLiteral(TARVIC_DOC_FROM_PROGRAM)));
}

QString frmAbout::readMePath()
{
    // Beside the program, where the build puts it; else in the documentation
    // folder of an install. A read-me found in neither is named beside the
    // program.
    const QString name = QStringLiteral("Readme.txt");
    const QString folder = tarvic::programFolder();
    const QString beside = QDir(folder).filePath(name);
    const QString installed = QDir(installedReadMeFolder(folder)).filePath(name);
    if (!QFileInfo(beside).isFile() && QFileInfo(installed).isFile())
        return installed;
    return beside;
}

void frmAbout::cmdReadMe_Click()
{
    const QString path = readMePath();
    if (!QFileInfo(path).isFile()) {
        tarvic::MsgBox(QStringLiteral("The read-me file cannot be found: ") + path,
                       tarvic::MsgIcon::Exclamation, tarvic::MsgButtons::OKOnly, QString(), this);
        return;
    }
    if (!tarvic::ShellOpenFile(path))
        tarvic::MsgBox(QStringLiteral("No program could open the read-me file: ") + path,
                       tarvic::MsgIcon::Exclamation, tarvic::MsgButtons::OKOnly, QString(), this);
}

void frmAbout::openAddress(const QString& address)
{
    if (!tarvic::ShellOpen(QUrl(address)))
        tarvic::MsgBox(QStringLiteral("No program could open the address: ") + address,
                       tarvic::MsgIcon::Exclamation, tarvic::MsgButtons::OKOnly, QString(), this);
}

void frmAbout::Hyperlink1_Jump()
{
    openAddress(QStringLiteral("mailto:") + kMailAddress);
}

void frmAbout::Hyperlink2_Jump()
{
    openAddress(kWebAddress);
}

frmAbout* ShowAboutWindow()
{
    if (g_about && !g_about->isHidden()) {
        g_about->raise();
        g_about->activateWindow();
        return g_about;
    }
    // A closed window is on its way out: a fresh one takes its place.
    g_about = new frmAbout(tarvic::mainWindowWidget());
    tarvic::ShowModeless(g_about);
    return g_about;
}

frmAbout* AboutWindow()
{
    return g_about && !g_about->isHidden() ? g_about.data() : nullptr;
}

// The About window: the program's name and version, the maker line, a mail
// link and a web link, "Read me" and OK.
//
// One instance at a time, shown modelessly by ShowAboutWindow(), which a
// window's About entry calls. Each showing after the window was closed
// builds it afresh and places it over the main window; showing it while it
// is open only brings it to the front. OK, Esc and the close box close it
// (and delete it). Enter presses OK unless "Read me" or a link has the focus:
// then it opens the read-me or follows the link.
//
// "Read me" opens Readme.txt in the program's folder (or, for an installed
// program, in the installed documentation folder) with the desktop's
// "open"; each link opens its address the same way. A missing read-me, or
// an open the desktop refuses, is reported in a message box naming the path
// or the address.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace tarvic {
class Hyperlink;
}

class frmAbout : public QDialog {
    Q_OBJECT
public:
    // The addresses behind the two links.
    static const QString kMailAddress;
    static const QString kWebAddress;

    explicit frmAbout(QWidget* parent = nullptr);

    // ---- event handlers ----
    void Form_Load();
    void cmdOK_Click();
    void cmdReadMe_Click();
    void Hyperlink1_Jump();
    void Hyperlink2_Jump();

    // The read-me file that "Read me" opens: Readme.txt beside the program,
    // else in the documentation folder of an install (installedReadMeFolder
    // of the program's folder).
    static QString readMePath();
    static QString installedReadMeFolder(const QString& programFolder);

    // ---- controls ----
    QLabel* picIcon = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label2 = nullptr;
    tarvic::Hyperlink* Hyperlink1 = nullptr;
    QLabel* Label3 = nullptr;
    tarvic::Hyperlink* Hyperlink2 = nullptr;
    QLabel* Label4 = nullptr;
    QFrame* Line1 = nullptr;
    QFrame* Line2 = nullptr;
    QFrame* Line3 = nullptr;
    QFrame* Line4 = nullptr;
    QFrame* Line5 = nullptr;
    QPushButton* cmdReadMe = nullptr;
    QPushButton* cmdOK = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void openAddress(const QString& address);
    void placeOverMainWindow();

    bool m_placed = false;
};

// Shows the About window modelessly (one instance; an open one comes to the
// front) and returns it.
frmAbout* ShowAboutWindow();
// The About window while it is open, nullptr otherwise.
frmAbout* AboutWindow();

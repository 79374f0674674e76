// What the two solver-settings dialogs share: the pricer window they serve,
// showing without nesting, closing and Esc as OK, activation, placement over
// the main window, and the forms runtime's event rules for lists and boxes.
#pragma once

#include <QDialog>
#include <QHash>

#include <cstdint>
#include <functional>

class QComboBox;
class QLineEdit;

namespace tarvic {

class PricerLink;
struct ProductInputs;

class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit SettingsDialog(PricerLink* served, QWidget* parent = nullptr);
    ~SettingsDialog() override;

    // The pricer window whose exercise style, payoff and contract flags the
    // dialog reads; nullptr when it serves none (then it reads an empty
    // style, no payoff and cleared flags).
    void setServedWindow(PricerLink* window);
    PricerLink* servedWindow() const { return m_served; }

    // Shows the dialog for the given pricer window, modally (returns when
    // the dialog hides itself) or modelessly. A dialog that is already open
    // is brought to the front instead of being shown a second time.
    void showModalFor(PricerLink* window);
    void showModelessFor(PricerLink* window);

    // Selects a list item the way the forms runtime does: the list's click
    // handler runs even when the index does not change. -1 clears the
    // selection.
    void setListIndex(QComboBox* box, int index);

    // Lets the dialog close for good (the program is ending); otherwise the
    // close box only runs the OK checks.
    void allowCloseForProgramEnd() { m_programEnding = true; }

    // The OK button's handler.
    virtual void Command1_Click() = 0;
    // Runs each time the dialog becomes the active window.
    virtual void Form_Activate() = 0;

    // The close request of the forms runtime: unload mode 0 (the close box
    // or the system menu) sets cancel and presses OK; other causes go ahead.
    void Form_QueryUnload(int16_t& cancel, int16_t unloadMode);

public slots:
    // Esc acts as OK (runs the checks) rather than cancelling.
    void reject() override;

protected:
    QString servedExercise() const;
    int servedPayoff() const;
    ProductInputs& servedInputs();

    // Fixes the dialog's size at the design's, or larger where its layout
    // needs more room for the platform's fonts.
    void fitToContents(const QSize& design);

    // Puts the dialog over the main window: left at half the width
    // difference, top at the given share of the height difference.
    void placeOverMainWindow(double topShare);

    // Fills a list with items and leaves it without a selection, raising
    // no handler (the forms runtime's Clear and AddItem raise none).
    static void fillList(QComboBox* box, const QStringList& items);
    // Connects a list to its click handler (used by setListIndex).
    void bindList(QComboBox* box, std::function<void()> handler);
    // A key filter on a text box: the handler gets each typed character's
    // code and sets it to 0 to drop it, which beeps. Keys without a
    // character, Enter, Esc and Tab pass untouched.
    void bindKeyPress(QLineEdit* box, std::function<void(int&)> handler);
    void bindGotFocus(QLineEdit* box, std::function<void()> handler);
    // The background of a text box, as &HBBGGRR.
    static void setBackground(QWidget* box, uint32_t bgr);

    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static void forgetWindow(PricerLink* gone);

    PricerLink* m_served = nullptr;
    bool m_programEnding = false;
    bool m_activatedByShow = false;
    bool m_inFocusDispatch = false;
    QHash<QComboBox*, std::function<void()>> m_listHandlers;
    QHash<QObject*, std::function<void(int&)>> m_keyHandlers;
    QHash<QObject*, std::function<void()>> m_focusHandlers;
};

}  // namespace tarvic

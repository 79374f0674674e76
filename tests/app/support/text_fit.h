// Whether the text of a window's controls fits, measured with the fonts the
// platform actually has: each visible caption, check box, option button,
// button, text box and list must hold its whole text inside the rectangle
// its style draws the text in, no control may reach outside a parent that
// would clip it, and each must show its text in a face that prints it.
#pragma once

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QStyle>
#include <QStyleOption>
#include <QWidget>

namespace textfit {

inline QString describe(const QWidget* w, const QString& text)
{
    const QString name = w->objectName().isEmpty()
                             ? QString::fromLatin1(w->metaObject()->className())
                             : w->objectName();
    return name + QStringLiteral(" \"") + text + QStringLiteral("\"");
}

// The rectangle a button's style draws its caption in.
inline QRect buttonTextRect(const QAbstractButton* b)
{
    QStyleOptionButton opt;
    opt.initFrom(b);
    opt.text = b->text();
    opt.icon = b->icon();
    opt.iconSize = b->iconSize();
    if (qobject_cast<const QCheckBox*>(b))
        return b->style()->subElementRect(QStyle::SE_CheckBoxContents, &opt, b);
    if (qobject_cast<const QRadioButton*>(b))
        return b->style()->subElementRect(QStyle::SE_RadioButtonContents, &opt, b);
    return b->style()->subElementRect(QStyle::SE_PushButtonContents, &opt, b);
}

// The room a text box gives its text: the style's contents rectangle less
// the text margins and the box's own margin of 2 pixels either side.
inline QRect lineEditTextRect(const QLineEdit* e)
{
    QStyleOptionFrame opt;
    opt.initFrom(e);
    opt.lineWidth = e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, e) : 0;
    QRect r = e->style()->subElementRect(QStyle::SE_LineEditContents, &opt, e);
    const QMargins m = e->textMargins();
    r = r.adjusted(m.left() + 2, m.top(), -m.right() - 2, -m.bottom());
    return r;
}

inline QRect comboTextRect(const QComboBox* c)
{
    QStyleOptionComboBox opt;
    opt.initFrom(c);
    opt.editable = c->isEditable();
    opt.frame = c->hasFrame();
    return c->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, c);
}

// Problems with one control's own text, described for a failure message.
inline QStringList ownTextProblems(const QWidget* w)
{
    QStringList problems;
    const QFontMetrics fm(w->font());
    const auto tooSmall = [&](const QString& text, const QSize& need, const QRect& room) {
        if (need.width() > room.width() || need.height() > room.height())
            problems << describe(w, text) + QStringLiteral(" needs %1x%2, has %3x%4")
                                                .arg(need.width())
                                                .arg(need.height())
                                                .arg(room.width())
                                                .arg(room.height());
    };
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
        const QString text = label->text();
        if (text.isEmpty() || label->textFormat() == Qt::RichText)
            return problems;
        const int m = label->margin();
        const QRect room = label->contentsRect().adjusted(m, m, -m, -m);
        QSize need;
        if (label->wordWrap())
            need = fm.boundingRect(QRect(0, 0, room.width(), 100000),
                                   int(label->alignment()) | Qt::TextWordWrap, text)
                       .size();
        else
            need = fm.size(0, text);
        tooSmall(text, need, room);
    } else if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
        const QString text = button->text();
        if (text.isEmpty())
            return problems;
        QSize need = fm.size(Qt::TextShowMnemonic, text);
        const QRect room = buttonTextRect(button);
        if (qobject_cast<const QCheckBox*>(w) || qobject_cast<const QRadioButton*>(w))
            need.setHeight(fm.height());
        tooSmall(text, need, room);
    } else if (const auto* edit = qobject_cast<const QLineEdit*>(w)) {
        const QString text = edit->displayText().isEmpty() ? edit->placeholderText() : edit->displayText();
        if (text.isEmpty())
            return problems;
        // One more pixel for the caret after the last character.
        tooSmall(text, QSize(fm.horizontalAdvance(text) + 1, fm.height()), lineEditTextRect(edit));
    } else if (const auto* combo = qobject_cast<const QComboBox*>(w)) {
        const QRect room = comboTextRect(combo);
        for (int i = 0; i < combo->count(); ++i) {
            const QString text = combo->itemText(i);
            tooSmall(text, QSize(fm.horizontalAdvance(text), fm.height()), room);
        }
    }
    return problems;
}

inline bool holdsText(const QWidget* w)
{
    return qobject_cast<const QLabel*>(w) || qobject_cast<const QAbstractButton*>(w) ||
           qobject_cast<const QLineEdit*>(w) || qobject_cast<const QComboBox*>(w);
}

// Every visible control of the window whose text does not fit, or that
// reaches outside a parent that clips it.
inline QStringList clippedTexts(const QWidget* window)
{
    QStringList problems;
    const QList<QWidget*> controls = window->findChildren<QWidget*>();
    for (const QWidget* w : controls) {
        if (!w->isVisible() || !holdsText(w))
            continue;
        // Controls that are parts of other controls (a list's own line edit,
        // the scroll buttons of an area) are the other control's business.
        if (qobject_cast<const QComboBox*>(w->parentWidget()))
            continue;
        if (w->window() != window->window())
            continue;
        problems << ownTextProblems(w);
        // Clipped by a parent: the control must lie inside each parent up
        // to the window.
        QRect area = w->rect();
        const QWidget* child = w;
        for (const QWidget* parent = w->parentWidget(); parent && child != window;
             child = parent, parent = parent->parentWidget()) {
            area.translate(child->pos());
            if (!parent->rect().contains(area))
                problems << describe(w, QString()) + QStringLiteral(" reaches outside ") +
                                describe(parent, QString());
            if (parent == window || parent->isWindow())
                break;
        }
    }
    return problems;
}

// The text a control shows (a list shows all its items).
inline QStringList shownTexts(const QWidget* w)
{
    if (const auto* label = qobject_cast<const QLabel*>(w))
        return label->textFormat() == Qt::RichText ? QStringList() : QStringList{label->text()};
    if (const auto* button = qobject_cast<const QAbstractButton*>(w))
        return {button->text()};
    if (const auto* edit = qobject_cast<const QLineEdit*>(w))
        return {edit->displayText()};
    QStringList items;
    if (const auto* combo = qobject_cast<const QComboBox*>(w))
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
    return items;
}

// Every visible control of the window whose font does not print its text:
// a face of symbols (which claims the letters and draws pictures for them),
// or a face without one of its characters.
inline QStringList unprintedTexts(const QWidget* window)
{
    QStringList problems;
    for (const QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisible() || !holdsText(w) || w->window() != window->window())
            continue;
        const QString face = QFontInfo(w->font()).family();
        const QFontMetrics metrics(w->font());
        for (const QString& text : shownTexts(w)) {
            if (text.trimmed().isEmpty())
                continue;
            if (QFontDatabase::writingSystems(face).contains(QFontDatabase::Symbol)) {
                problems << describe(w, text) + QStringLiteral(" in the symbol face ") + face;
                continue;
            }
            for (const char32_t c : text.toUcs4())
                if (!QChar::isSpace(c) && c != U'&' && !metrics.inFontUcs4(c))
                    problems << describe(w, text) + QStringLiteral(" has U+%1, which ")
                                                        .arg(unsigned(c), 4, 16, QLatin1Char('0')) +
                                    face + QStringLiteral(" lacks");
        }
    }
    return problems;
}

}  // namespace textfit

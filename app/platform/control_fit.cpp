#include "platform/control_fit.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionFrame>

#include <algorithm>

namespace tarvic {

int brokenCaptionWidth(const QFontMetrics& metrics, const QString& caption)
{
    static const QRegularExpression blanks(QStringLiteral(" {2,}"));
    int widest = 0;
    for (const QString& line : caption.split(blanks))
        widest = std::max(widest, metrics.horizontalAdvance(line.trimmed()));
    return widest;
}

void breakCaptionAtBlanks(QLabel* label)
{
    label->setWordWrap(true);
    // One pixel of slack: narrower than a line and the blanks that follow
    // it, so each line breaks where the blanks are.
    label->setFixedWidth(brokenCaptionWidth(label->fontMetrics(), label->text()) + 1);
    holdWrappedText(label);
}

void holdWrappedText(QLabel* label)
{
    // A label's height for its width and its layout's share of the rows
    // round apart by a pixel under some fonts: the label asks for its
    // lines' whole height outright.
    const QMargins m = label->contentsMargins();
    const int margin = 2 * label->margin();
    const int room = label->width() - m.left() - m.right() - margin;
    const QRect need = label->fontMetrics().boundingRect(
        QRect(0, 0, room, 100000), int(label->alignment()) | Qt::TextWordWrap, label->text());
    label->setMinimumHeight(need.height() + m.top() + m.bottom() + margin);
}

int boxWidthFor(const QLineEdit* box, const QString& text)
{
    const QFontMetrics metrics = box->fontMetrics();
    const QMargins text_ = box->textMargins();
    const QMargins contents = box->contentsMargins();
    // The box keeps 2 pixels either side of its text, and one for the caret.
    const int inner = metrics.horizontalAdvance(text) + 1 + 2 * 2 + text_.left() + text_.right() +
                      contents.left() + contents.right();
    QStyleOptionFrame option;
    option.initFrom(box);
    option.lineWidth =
        box->hasFrame() ? box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, box) : 0;
    return box->style()
        ->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(inner, metrics.height()), box)
        .width();
}

void fitBoxWidth(QLineEdit* box, int designPixels, const QString& widestText)
{
    box->setFixedWidth(std::max(designPixels, boxWidthFor(box, widestText)));
}

bool printsText(const QFont& font, const QString& text)
{
    // A face of symbols maps letters to pictures, so its character map
    // says nothing: the font database tells it by its writing systems.
    if (QFontDatabase::writingSystems(QFontInfo(font).family()).contains(QFontDatabase::Symbol))
        return false;
    const QFontMetrics metrics(font);
    for (const char32_t c : text.toUcs4())
        if (!QChar::isSpace(c) && !metrics.inFontUcs4(c))
            return false;
    return true;
}

QFont textFaceFor(const QFont& wanted, const QString& text)
{
    if (printsText(wanted, text))
        return wanted;
    QFont plain = wanted;
    plain.setFamilies({QFontDatabase::systemFont(QFontDatabase::GeneralFont).family()});
    plain.setStyleHint(QFont::SansSerif);
    return plain;
}

void widenAboutCentre(QWidget* control)
{
    const QRect design = control->geometry();
    const QSize need = control->sizeHint();
    const int width = std::max(design.width(), need.width());
    const int height = std::max(design.height(), need.height());
    control->setGeometry(design.center().x() - width / 2, design.top(), width, height);
}

}  // namespace tarvic

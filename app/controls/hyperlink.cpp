#include "controls/hyperlink.h"

#include <QEnterEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include <algorithm>

namespace tarvic {
namespace {
// The border between the control's edge and the caption, where the focus
// frame is drawn.
constexpr int kInset = 1;
}  // namespace

Hyperlink::Hyperlink(const QString& caption, QWidget* parent)
    : QWidget(parent)
{
    m_label = new QLabel(caption, this);
    m_label->setObjectName(QStringLiteral("LabelHyperlink"));
    m_label->setTextFormat(Qt::PlainText);
    m_label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The control handles the mouse over the whole caption.
    m_label->setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::TabFocus);
    setMouseTracking(true);
    paintCaption(m_colorNormal, FontNormal());
    installCursor();
    resize(sizeHint());
    UserControl_Resize();
}

QString Hyperlink::Caption() const
{
    return m_label->text();
}

void Hyperlink::setCaption(const QString& caption)
{
    m_label->setText(caption);
    UserControl_Resize();
}

void Hyperlink::setHoverEnabled(bool enabled)
{
    m_hoverEnabled = enabled;
    m_refresh = enabled;
    if (isEnabled())
        UpdateHover();
}

void Hyperlink::setAutoSize(bool autoSize)
{
    m_autoSize = autoSize;
    UserControl_Resize();
}

Qt::Alignment Hyperlink::Alignment() const
{
    return m_label->alignment();
}

void Hyperlink::setAlignment(Qt::Alignment alignment)
{
    m_label->setAlignment(alignment);
}

QColor Hyperlink::BackColor() const
{
    return palette().color(QPalette::Window);
}

void Hyperlink::setBackColor(const QColor& color)
{
    QPalette p = palette();
    p.setColor(QPalette::Window, color);
    setPalette(p);
    setAutoFillBackground(true);
}

void Hyperlink::setColorNormal(const QColor& color)
{
    m_colorNormal = color;
    if (!m_visited && !m_hovering)
        paintCaption(m_colorNormal, FontNormal());
}

void Hyperlink::setColorHover(const QColor& color)
{
    m_colorHover = color;
}

void Hyperlink::setColorUsed(const QColor& color)
{
    m_colorUsed = color;
    if (m_visited && !m_hovering)
        paintCaption(m_colorUsed, FontNormal());
}

void Hyperlink::setFontNormal(const QFont& font)
{
    m_fontNormal = font;
    if (!m_hovering)
        paintCaption(restingColor(), FontNormal());
    UserControl_Resize();
}

void Hyperlink::setFontHover(const QFont& font)
{
    m_fontHover = font;
    if (m_hovering)
        paintCaption(m_colorHover, FontHover());
    UserControl_Resize();
}

void Hyperlink::setCursorUse(bool use)
{
    m_cursorUse = use;
    if (use)
        installCursor();
}

void Hyperlink::setCursorCustom(bool custom)
{
    m_cursorCustom = custom;
    if (m_cursorUse)
        installCursor();
}

QColor Hyperlink::captionColor() const
{
    return m_label->palette().color(QPalette::Active, QPalette::WindowText);
}

QFont Hyperlink::captionFont() const
{
    return m_label->font();
}

QSize Hyperlink::sizeHint() const
{
    // Wide and high enough for the caption in either look.
    const QString text = Caption();
    QSize size = m_label->sizeHint();
    for (const QFont& f : {FontNormal(), FontHover()}) {
        const QSize s = QFontMetrics(f).size(Qt::TextSingleLine, text);
        size = size.expandedTo(QSize(s.width() + 1, s.height()));
    }
    return size + QSize(2 * kInset, 2 * kInset);
}

bool Hyperlink::overCaption(const QPointF& position) const
{
    const QRectF caption(m_label->geometry());
    // Both edges count as over the caption.
    return position.x() >= caption.left() && position.x() <= caption.left() + caption.width() &&
           position.y() >= caption.top() && position.y() <= caption.top() + caption.height();
}

void Hyperlink::paintCaption(const QColor& color, const QFont& font)
{
    // Only the enabled looks: a disabled caption keeps the system's grey.
    QPalette p = m_label->palette();
    p.setColor(QPalette::Active, QPalette::WindowText, color);
    p.setColor(QPalette::Inactive, QPalette::WindowText, color);
    m_label->setPalette(p);
    if (m_label->font() != font) {
        m_label->setFont(font);
        UserControl_Resize();
    }
}

void Hyperlink::UpdateHover()
{
    if (!m_hoverEnabled || !m_mouseOver) {
        if (!m_hovering && !m_refresh)
            return;
        paintCaption(restingColor(), FontNormal());
        m_hovering = false;
        m_refresh = false;
        return;
    }
    if (m_hovering && !m_refresh)
        return;
    // While another window is active the look stays as it is.
    if (!window()->isActiveWindow())
        return;
    paintCaption(m_colorHover, FontHover());
    m_hovering = true;
    m_refresh = false;
}

void Hyperlink::DoJump()
{
    QPointer<Hyperlink> self(this);
    m_jumping = true;
    bool ensureFiringLostFocus = false;
    emit PrepareJump(&ensureFiringLostFocus);
    if (!self)
        return;
    if (ensureFiringLostFocus)
        lostFocusHandling();
    // The arrow while the holder opens the address.
    if (m_cursorUse)
        setCursor(Qt::ArrowCursor);
    emit Jump();
    if (!self)
        return;
    if (m_cursorUse)
        installCursor();
    // The jump is done: the link is visited and, when it still has the
    // focus, shows its frame again.
    m_jumping = false;
    m_visited = true;
    m_refresh = true;
    if (hasFocus())
        m_frameShown = true;
    if (isEnabled())
        UpdateHover();
    update();
}

void Hyperlink::lostFocusHandling()
{
    m_refresh = true;
    m_frameShown = false;
    update();
}

void Hyperlink::UserControl_Resize()
{
    if (m_resizing)
        return;
    m_resizing = true;
    m_label->move(kInset, kInset);
    if (m_autoSize) {
        m_label->resize(m_label->sizeHint());
        resize(m_label->size() + QSize(2 * kInset, 2 * kInset));
    } else {
        m_label->resize(std::max(0, width() - 2 * kInset), std::max(0, height() - 2 * kInset));
    }
    // Layouts hear of a new size hint only: telling them after every resize
    // would have them place the control again, which resizes it again.
    const QSize hint = sizeHint();
    if (hint != m_hintGiven) {
        m_hintGiven = hint;
        updateGeometry();
    }
    m_resizing = false;
}

void Hyperlink::installCursor()
{
    if (!m_cursorCustom) {
        setCursor(Qt::PointingHandCursor);
        return;
    }
    const QPixmap picture(QStringLiteral(":/cursors/%1.png").arg(m_cursorId));
    if (picture.isNull())
        unsetCursor();
    else
        setCursor(QCursor(picture));
}

void Hyperlink::mousePressEvent(QMouseEvent* event)
{
    // Taking the press is what brings the release here.
    if (event->button() == Qt::LeftButton)
        event->accept();
    else
        QWidget::mousePressEvent(event);
}

void Hyperlink::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    if (overCaption(event->position()))
        DoJump();
}

void Hyperlink::mouseMoveEvent(QMouseEvent* event)
{
    m_mouseOver = overCaption(event->position());
    if (isEnabled())
        UpdateHover();
    QWidget::mouseMoveEvent(event);
}

void Hyperlink::enterEvent(QEnterEvent* event)
{
    m_mouseOver = overCaption(event->position());
    if (isEnabled())
        UpdateHover();
    QWidget::enterEvent(event);
}

void Hyperlink::leaveEvent(QEvent* event)
{
    m_mouseOver = false;
    if (isEnabled())
        UpdateHover();
    QWidget::leaveEvent(event);
}

void Hyperlink::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        // Holding the key down follows the link once.
        if (!event->isAutoRepeat()) {
            m_frameShown = true;
            DoJump();
        }
        return;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        // The container handles the arrows as if pressed there.
        event->ignore();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void Hyperlink::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    if (m_jumping)
        return;
    m_frameShown = true;
    update();
}

void Hyperlink::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    lostFocusHandling();
    if (isEnabled())
        UpdateHover();
}

void Hyperlink::paintEvent(QPaintEvent*)
{
    if (!focusFrameShown())
        return;
    QPainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = rect();
    option.backgroundColor = BackColor();
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

void Hyperlink::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    UserControl_Resize();
}

void Hyperlink::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    switch (event->type()) {
    case QEvent::EnabledChange:
        if (isEnabled()) {
            m_refresh = true;
            UpdateHover();
        } else {
            paintCaption(restingColor(), FontNormal());
            m_hovering = false;
        }
        break;
    case QEvent::ActivationChange:
        // The hover look waits for the window to be active.
        if (isEnabled() && window()->isActiveWindow()) {
            m_refresh = true;
            UpdateHover();
        }
        break;
    case QEvent::FontChange:
        // FontNormal and FontHover follow the control's font until set.
        paintCaption(m_hovering ? m_colorHover : restingColor(),
                     m_hovering ? FontHover() : FontNormal());
        UserControl_Resize();
        break;
    default:
        break;
    }
}

}  // namespace tarvic

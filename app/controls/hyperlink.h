// A one-line web-style link.
//
// The caption is shown by an inner label one pixel in from the control's
// edge; that one-pixel border holds the focus frame. The control opens
// nothing itself: when the link is followed it raises PrepareJump and then
// Jump, and the holder opens the address in its Jump handler.
//
// Operations:
// - Caption; Alignment of the caption; BackColor of control and label.
// - ColorNormal, ColorHover, ColorUsed: the caption's colour before the link
//   was followed, while the mouse is over the caption, and once followed.
// - FontNormal, FontHover: the caption's font outside and during hover
//   (both follow the control's own font until set).
// - HoverEnabled: whether the hover look is shown at all. The hover look
//   needs the control's window to be the active one.
// - Enabled: QWidget::setEnabled; a disabled link shows no hover look and
//   cannot be followed.
// - AutoSize: the control keeps itself two pixels wider and higher than the
//   caption; otherwise the caption's label follows the control's size.
//   sizeHint() is the caption's size in the larger of the two fonts, plus the
//   border, so layouts never clip it.
// - CursorUse, CursorCustom, CursorID: the hand cursor over the control, or
//   the cursor resource ":/cursors/<CursorID>.png" when custom (the arrow when
//   the program has no such resource).
// - The link is followed by a left-button release over the caption (after a
//   press on the control), or by Space or Enter while it has the focus.
//   Once followed it is visited and shows ColorUsed for the rest of its life.
// - Focus: reached by the keyboard only, so a click follows the link and
//   leaves the focus where it was. Arrow keys go on to the container.
#pragma once

#include <QColor>
#include <QFont>
#include <QWidget>

#include <optional>

class QLabel;

namespace tarvic {

class Hyperlink : public QWidget {
    Q_OBJECT
public:
    explicit Hyperlink(const QString& caption = QString(), QWidget* parent = nullptr);

    QString Caption() const;
    void setCaption(const QString& caption);

    bool HoverEnabled() const { return m_hoverEnabled; }
    void setHoverEnabled(bool enabled);

    bool AutoSize() const { return m_autoSize; }
    void setAutoSize(bool autoSize);

    Qt::Alignment Alignment() const;
    void setAlignment(Qt::Alignment alignment);

    QColor BackColor() const;
    void setBackColor(const QColor& color);

    QColor ColorNormal() const { return m_colorNormal; }
    void setColorNormal(const QColor& color);
    QColor ColorHover() const { return m_colorHover; }
    void setColorHover(const QColor& color);
    QColor ColorUsed() const { return m_colorUsed; }
    void setColorUsed(const QColor& color);

    QFont FontNormal() const { return m_fontNormal.value_or(font()); }
    void setFontNormal(const QFont& font);
    QFont FontHover() const { return m_fontHover.value_or(font()); }
    void setFontHover(const QFont& font);

    bool CursorUse() const { return m_cursorUse; }
    void setCursorUse(bool use);
    bool CursorCustom() const { return m_cursorCustom; }
    void setCursorCustom(bool custom);
    int CursorID() const { return m_cursorId; }
    void setCursorID(int id) { m_cursorId = id; }

    // State as the user sees it.
    bool isHovering() const { return m_hovering; }
    bool isVisited() const { return m_visited; }
    bool focusFrameShown() const { return m_frameShown && hasFocus(); }
    // The caption's colour and font as painted now.
    QColor captionColor() const;
    QFont captionFont() const;
    // The label that shows the caption (its geometry is the caption's area).
    QLabel* captionLabel() const { return m_label; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    // The link is about to be followed. A handler that sets
    // *ensureFiringLostFocus to true makes the control run its lost-focus
    // handling (focus frame off, look refreshed) before Jump.
    void PrepareJump(bool* ensureFiringLostFocus);
    // The link is followed: the holder opens its address.
    void Jump();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool overCaption(const QPointF& position) const;
    // Applies the hover or the normal look when the state asks for it.
    void UpdateHover();
    void paintCaption(const QColor& color, const QFont& font);
    QColor restingColor() const { return m_visited ? m_colorUsed : m_colorNormal; }
    void DoJump();
    void lostFocusHandling();
    // Places the label one pixel in and sizes control or label (AutoSize).
    void UserControl_Resize();
    void installCursor();

    QLabel* m_label = nullptr;
    QColor m_colorNormal{50, 100, 200};
    QColor m_colorHover{255, 0, 0};
    QColor m_colorUsed{50, 100, 200};
    std::optional<QFont> m_fontNormal;
    std::optional<QFont> m_fontHover;
    bool m_hoverEnabled = true;
    bool m_autoSize = false;
    bool m_cursorUse = true;
    bool m_cursorCustom = false;
    int m_cursorId = 1000;

    bool m_mouseOver = false;   // the mouse is over the caption
    bool m_hovering = false;    // the hover look is applied
    bool m_refresh = false;     // apply the look again even if nothing changed
    bool m_frameShown = false;  // the focus frame is wanted while focused
    bool m_jumping = false;
    bool m_visited = false;
    bool m_resizing = false;
    QSize m_hintGiven;  // the size hint layouts were last told of
};

}  // namespace tarvic

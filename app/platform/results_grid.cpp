#include "platform/results_grid.h"

#include "platform/colors.h"
#include "platform/runtime_error.h"
#include "platform/window_placement.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <cstdlib>

namespace tarvic {

ResultsGridModel::ResultsGridModel(QObject* parent)
    : QAbstractTableModel(parent)
{
    m_looks.append(CellLook());
}

int ResultsGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int ResultsGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_cols;
}

Qt::ItemFlags ResultsGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

QVariant ResultsGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows || index.column() >= m_cols)
        return QVariant();
    const Cell& c = cell(index.row(), index.column());
    const CellLook& look = m_looks[c.look];
    switch (role) {
    case Qt::DisplayRole:
        return c.text;
    case Qt::BackgroundRole:
        if (look.back.isValid())
            return look.back;
        if (index.row() < m_fixedRows && m_fixedBack.isValid())
            return m_fixedBack;
        return QVariant();
    case Qt::ForegroundRole:
        return look.fore.isValid() ? QVariant(look.fore) : QVariant();
    case Qt::FontRole:
        if (!look.bold && look.fontSize <= 0.0)
            return QVariant();
        {
            QFont font = m_baseFont;
            font.setBold(look.bold);
            if (look.fontSize > 0.0)
                font.setPointSizeF(look.fontSize);
            return font;
        }
    case Qt::TextAlignmentRole: {
        int horizontal = 0;
        int vertical = Qt::AlignVCenter;
        if (look.alignment >= 0 && look.alignment <= 8) {
            const int h = look.alignment / 3;
            const int v = look.alignment % 3;
            horizontal = h == 0 ? Qt::AlignLeft : (h == 1 ? Qt::AlignHCenter : Qt::AlignRight);
            vertical = v == 0 ? Qt::AlignTop : (v == 1 ? Qt::AlignVCenter : Qt::AlignBottom);
        } else {
            bool isNumber = false;
            c.text.toDouble(&isNumber);
            horizontal = isNumber ? Qt::AlignRight : Qt::AlignLeft;
        }
        return QVariant::fromValue(Qt::Alignment(horizontal | vertical));
    }
    default:
        return QVariant();
    }
}

void ResultsGridModel::setRows(int rows)
{
    rows = std::max(rows, 0);
    if (rows == m_rows)
        return;
    if (rows > m_rows) {
        beginInsertRows(QModelIndex(), m_rows, rows - 1);
        m_cells.resize(rows * m_cols);
        m_rows = rows;
        endInsertRows();
    } else {
        beginRemoveRows(QModelIndex(), rows, m_rows - 1);
        m_cells.resize(rows * m_cols);
        m_rows = rows;
        m_fixedRows = std::min(m_fixedRows, m_rows);
        findLongestTexts();
        endRemoveRows();
    }
    m_fixedRows = std::min(m_fixedRows, m_rows);
}

void ResultsGridModel::setCols(int cols)
{
    cols = std::max(cols, 0);
    if (cols == m_cols)
        return;
    beginResetModel();
    QVector<Cell> cells(m_rows * cols);
    const int keep = std::min(cols, m_cols);
    for (int r = 0; r < m_rows; ++r)
        for (int c = 0; c < keep; ++c)
            cells[r * cols + c] = m_cells[r * m_cols + c];
    m_cells = std::move(cells);
    m_cols = cols;
    findLongestTexts();
    endResetModel();
}

void ResultsGridModel::setFixedRows(int fixedRows)
{
    m_fixedRows = std::clamp(fixedRows, 0, m_rows);
    findLongestTexts();
    if (m_rows > 0 && m_cols > 0)
        emit dataChanged(index(0, 0), index(m_rows - 1, m_cols - 1), {Qt::BackgroundRole});
}

void ResultsGridModel::setFixedBackColor(const QColor& color)
{
    m_fixedBack = color;
    if (m_fixedRows > 0 && m_cols > 0)
        emit dataChanged(index(0, 0), index(m_fixedRows - 1, m_cols - 1), {Qt::BackgroundRole});
}

QString ResultsGridModel::text(int row, int col) const
{
    return cell(row, col).text;
}

void ResultsGridModel::setText(int row, int col, const QString& text)
{
    Cell& c = cell(row, col);
    if (c.text == text)
        return;
    c.text = text;
    if (row >= m_fixedRows && text.size() > m_longest[col].size())
        m_longest[col] = text;
    const QModelIndex at = index(row, col);
    emit dataChanged(at, at, {Qt::DisplayRole, Qt::TextAlignmentRole});
}

QString ResultsGridModel::longestText(int col) const
{
    return col >= 0 && col < m_longest.size() ? m_longest[col] : QString();
}

void ResultsGridModel::findLongestTexts()
{
    // A column's longest text only grows while texts are written; rows
    // that go, or a grid emptied, call for a fresh look.
    m_longest.fill(QString(), m_cols);
    for (int r = m_fixedRows; r < m_rows; ++r)
        for (int c = 0; c < m_cols; ++c) {
            const QString& text = cell(r, c).text;
            if (text.size() > m_longest[c].size())
                m_longest[c] = text;
        }
}

ResultsGridModel::CellLook ResultsGridModel::look(int row, int col) const
{
    return m_looks[cell(row, col).look];
}

uint16_t ResultsGridModel::lookIndex(const CellLook& look)
{
    for (int i = 0; i < m_looks.size(); ++i)
        if (m_looks[i] == look)
            return static_cast<uint16_t>(i);
    if (m_looks.size() >= 0xFFFF)
        return 0;
    m_looks.append(look);
    return static_cast<uint16_t>(m_looks.size() - 1);
}

void ResultsGridModel::setLook(int row, int col, const CellLook& look)
{
    cell(row, col).look = lookIndex(look);
    const QModelIndex at = index(row, col);
    emit dataChanged(at, at);
}

void ResultsGridModel::clearTexts()
{
    for (Cell& c : m_cells)
        c.text.clear();
    m_longest.fill(QString(), m_cols);
    if (m_rows > 0 && m_cols > 0)
        emit dataChanged(index(0, 0), index(m_rows - 1, m_cols - 1), {Qt::DisplayRole});
}

void ResultsGridModel::clearLooks()
{
    for (Cell& c : m_cells)
        c.look = 0;
    m_looks.resize(1);
    if (m_rows > 0 && m_cols > 0)
        emit dataChanged(index(0, 0), index(m_rows - 1, m_cols - 1));
}

ResultsGrid::ResultsGrid(QWidget* parent)
    : QTableView(parent)
    , m_model(new ResultsGridModel(this))
{
    m_model->setBaseFont(font());
    setModel(m_model);
    horizontalHeader()->hide();
    // The widths come from the texts and the user's drags (fitColumns).
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setMinimumSectionSize(8);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab and Shift+Tab leave the grid for the window's next or previous
    // control, as from any other control; the arrow keys move between cells.
    setTabKeyNavigation(false);
    setWordWrap(false);
    m_fixed = new QTableView(this);
    m_fixed->setModel(m_model);
    m_fixed->horizontalHeader()->hide();
    m_fixed->verticalHeader()->hide();
    m_fixed->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_fixed->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_fixed->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_fixed->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_fixed->setSelectionMode(QAbstractItemView::NoSelection);
    m_fixed->setFocusPolicy(Qt::NoFocus);
    m_fixed->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_fixed->setFrameShape(QFrame::NoFrame);
    m_fixed->setWordWrap(false);
    m_fixed->viewport()->installEventFilter(this);
    m_fixed->viewport()->setMouseTracking(true);
    m_fixed->hide();
    connect(horizontalHeader(), &QHeaderView::sectionResized, this,
            [this] { updateFixedRows(); });
    connect(verticalHeader(), &QHeaderView::sectionResized, this, [this] { updateFixedRows(); });
    connect(m_model, &QAbstractItemModel::rowsInserted, this, [this] { updateFixedRows(); });
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, [this] { updateFixedRows(); });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { updateFixedRows(); });
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_model, signal, this, [this] { scheduleFitColumns(); });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { scheduleFitColumns(); });
    connect(m_model, &QAbstractItemModel::dataChanged, this, [this] { scheduleFitColumns(); });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) {
                if (current.isValid()) {
                    m_row = current.row();
                    m_col = current.column();
                }
            });
}

int ResultsGrid::Rows() const
{
    return m_model->rowCount();
}

void ResultsGrid::setRows(int rows)
{
    m_model->setRows(rows);
    m_row = std::min(m_row, std::max(rows - 1, 0));
}

int ResultsGrid::Cols() const
{
    return m_model->columnCount();
}

void ResultsGrid::setCols(int cols)
{
    m_model->setCols(cols);
    m_col = std::min(m_col, std::max(cols - 1, 0));
}

int ResultsGrid::FixedRows() const
{
    return m_model->fixedRows();
}

void ResultsGrid::setFixedRows(int fixedRows)
{
    m_model->setFixedRows(fixedRows);
    updateFixedRows();
}

void ResultsGrid::updateFixedRows()
{
    if (!m_fixed)
        return;
    const int fixedRows = m_model->fixedRows();
    if (fixedRows <= 0 || Cols() == 0) {
        m_fixed->hide();
        return;
    }
    int height = 0;
    for (int r = 0; r < m_model->rowCount(); ++r) {
        const int size = verticalHeader()->sectionSize(r);
        if (r < fixedRows)
            height += size;
        m_fixed->verticalHeader()->resizeSection(r, size);
        if (r >= fixedRows)
            break;  // rows below the fixed ones are never shown there
    }
    for (int c = 0; c < Cols(); ++c)
        m_fixed->horizontalHeader()->resizeSection(c, horizontalHeader()->sectionSize(c));
    const QRect area = viewport()->geometry();
    m_fixed->setGeometry(area.x(), area.y(), area.width(), std::min(height, area.height()));
    m_fixed->horizontalScrollBar()->setValue(horizontalScrollBar()->value());
    m_fixed->show();
    m_fixed->raise();
}

void ResultsGrid::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    fitColumns();
    updateFixedRows();
}

int ResultsGrid::textWidth(int col) const
{
    // The cells' own margins either side, and a pixel to spare.
    const int margin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 2;
    const QFont base = font();
    int widest = QFontMetrics(base).horizontalAdvance(m_model->longestText(col));
    for (int r = 0; r < std::min(m_model->fixedRows(), Rows()); ++r) {
        const ResultsGridModel::CellLook look = m_model->look(r, col);
        QFont cellFont = base;
        cellFont.setBold(look.bold);
        if (look.fontSize > 0.0)
            cellFont.setPointSizeF(look.fontSize);
        widest = std::max(widest, QFontMetrics(cellFont).horizontalAdvance(m_model->text(r, col)));
    }
    return widest + margin;
}

void ResultsGrid::scheduleFitColumns()
{
    if (m_fitPending)
        return;
    m_fitPending = true;
    QTimer::singleShot(0, this, [this] {
        if (m_fitPending)
            fitColumns();
    });
}

void ResultsGrid::fitColumns()
{
    m_fitPending = false;
    const int cols = Cols();
    if (cols == 0 || m_fitting)
        return;
    m_userWidths.resize(cols);
    // The widths follow from the texts that set them, the user's widths and
    // the room: nothing to do while those stay as they were (the table
    // fills row by row with the same widths).
    QStringList basis;
    for (int c = 0; c < cols; ++c) {
        basis << m_model->longestText(c);
        for (int r = 0; r < std::min(m_model->fixedRows(), Rows()); ++r)
            basis << m_model->text(r, c);
        basis << QString::number(m_userWidths[c]);
    }
    basis << QString::number(viewport()->width());
    if (basis == m_fitBasis)
        return;
    m_fitBasis = basis;
    m_fitting = true;
    // Each column holds its widest text; a width the user dragged stands
    // where it is wider. The columns the user left alone share what is
    // left of the grid's width: those whose text needs more than an equal
    // share keep their text's width and the others share the rest, so that
    // the columns fill the width exactly whenever their texts fit in it.
    QVector<int> widths(cols);
    int userTotal = 0;
    int open = 0;
    for (int c = 0; c < cols; ++c) {
        widths[c] = textWidth(c);
        if (m_userWidths[c] > 0) {
            widths[c] = std::max(widths[c], m_userWidths[c]);
            userTotal += widths[c];
        } else {
            ++open;
        }
    }
    if (open > 0) {
        QVector<bool> sharing(cols);
        for (int c = 0; c < cols; ++c)
            sharing[c] = m_userWidths[c] <= 0;
        int left = viewport()->width() - userTotal;
        int shares = open;
        for (bool settled = false; !settled && shares > 0;) {
            settled = true;
            for (int c = 0; c < cols; ++c)
                if (sharing[c] && static_cast<int64_t>(widths[c]) * shares > left) {
                    sharing[c] = false;
                    left -= widths[c];
                    --shares;
                    settled = false;
                }
        }
        left = std::max(0, left);
        for (int c = 0; c < cols; ++c) {
            if (!sharing[c])
                continue;
            const int share = left / shares--;
            widths[c] = std::max(widths[c], share);
            left -= share;
        }
    }
    for (int c = 0; c < cols; ++c)
        if (horizontalHeader()->sectionSize(c) != widths[c])
            horizontalHeader()->resizeSection(c, widths[c]);
    m_fitting = false;
    updateFixedRows();
}

int ResultsGrid::userColumnWidth(int col) const
{
    return col >= 0 && col < m_userWidths.size() ? m_userWidths[col] : 0;
}

void ResultsGrid::resetView()
{
    m_userWidths.fill(0);
    m_fitBasis.clear();
    m_dragColumn = -1;
    selectionModel()->clear();
    m_row = 0;
    m_col = 0;
    scrollToTop();
    horizontalScrollBar()->setValue(0);
    fitColumns();
}

void ResultsGrid::reset()
{
    m_model->clearTexts();
    m_model->clearLooks();
    resetView();
}

int ResultsGrid::borderAt(int x) const
{
    constexpr int kReach = 3;
    for (int c = 0; c < Cols(); ++c) {
        const int edge = m_fixed->columnViewportPosition(c) + m_fixed->columnWidth(c);
        if (std::abs(x - edge) <= kReach)
            return c;
    }
    return -1;
}

bool ResultsGrid::fixedRowsMouse(QEvent* event)
{
    auto* mouse = static_cast<QMouseEvent*>(event);
    const int x = mouse->position().toPoint().x();
    switch (event->type()) {
    case QEvent::MouseMove:
        if (m_dragColumn >= 0) {
            m_userWidths.resize(Cols());
            m_userWidths[m_dragColumn] =
                std::max(textWidth(m_dragColumn),
                         m_dragWidth + static_cast<int>(mouse->globalPosition().x()) - m_dragFrom);
            fitColumns();
        } else if (borderAt(x) >= 0) {
            m_fixed->viewport()->setCursor(Qt::SplitHCursor);
        } else {
            m_fixed->viewport()->unsetCursor();
        }
        return true;
    case QEvent::MouseButtonPress:
        if (mouse->button() != Qt::LeftButton || borderAt(x) < 0)
            return false;
        m_dragColumn = borderAt(x);
        m_dragFrom = static_cast<int>(mouse->globalPosition().x());
        m_dragWidth = columnWidth(m_dragColumn);
        return true;
    case QEvent::MouseButtonRelease:
        if (m_dragColumn < 0)
            return false;
        m_dragColumn = -1;
        return true;
    default:
        return false;
    }
}

void ResultsGrid::scrollContentsBy(int dx, int dy)
{
    QTableView::scrollContentsBy(dx, dy);
    if (m_fixed && dx != 0)
        m_fixed->horizontalScrollBar()->setValue(horizontalScrollBar()->value());
}

void ResultsGrid::setFixedBackColor(uint32_t bgr)
{
    m_model->setFixedBackColor(fromBgr(bgr));
}

void ResultsGrid::setRow(int row)
{
    if (row < 0 || row >= Rows())
        RaiseError(kErrGridInvalidRow, QStringLiteral("Invalid Row value"));
    m_row = row;
}

void ResultsGrid::setCol(int col)
{
    if (col < 0 || col >= Cols())
        RaiseError(kErrGridInvalidCol, QStringLiteral("Invalid Col value"));
    m_col = col;
}

QString ResultsGrid::Text() const
{
    if (m_row >= Rows() || m_col >= Cols())
        return QString();
    return m_model->text(m_row, m_col);
}

void ResultsGrid::setText(const QString& text)
{
    if (m_row >= Rows())
        RaiseError(kErrGridInvalidRow, QStringLiteral("Invalid Row value"));
    if (m_col >= Cols())
        RaiseError(kErrGridInvalidCol, QStringLiteral("Invalid Col value"));
    m_model->setText(m_row, m_col, text);
}

QString ResultsGrid::TextMatrix(int row, int col) const
{
    if (row < 0 || row >= Rows())
        RaiseError(kErrGridInvalidRow, QStringLiteral("Invalid Row value"));
    if (col < 0 || col >= Cols())
        RaiseError(kErrGridInvalidCol, QStringLiteral("Invalid Col value"));
    return m_model->text(row, col);
}

ResultsGridModel::CellLook ResultsGrid::currentLook() const
{
    if (m_row >= Rows() || m_col >= Cols())
        return ResultsGridModel::CellLook();
    return m_model->look(m_row, m_col);
}

void ResultsGrid::setCurrentLook(const ResultsGridModel::CellLook& look)
{
    if (m_row >= Rows())
        RaiseError(kErrGridInvalidRow, QStringLiteral("Invalid Row value"));
    if (m_col >= Cols())
        RaiseError(kErrGridInvalidCol, QStringLiteral("Invalid Col value"));
    m_model->setLook(m_row, m_col, look);
}

void ResultsGrid::setCellFontBold(bool bold)
{
    auto look = currentLook();
    look.bold = bold;
    setCurrentLook(look);
}

void ResultsGrid::setCellFontSize(double points)
{
    auto look = currentLook();
    look.fontSize = points;
    setCurrentLook(look);
}

void ResultsGrid::setCellAlignment(int alignment)
{
    auto look = currentLook();
    look.alignment = alignment;
    setCurrentLook(look);
}

void ResultsGrid::setCellBackColor(uint32_t bgr)
{
    auto look = currentLook();
    look.back = fromBgr(bgr);
    setCurrentLook(look);
}

void ResultsGrid::setCellForeColor(uint32_t bgr)
{
    auto look = currentLook();
    look.fore = fromBgr(bgr);
    setCurrentLook(look);
}

bool ResultsGrid::CellFontBold() const
{
    return currentLook().bold;
}

double ResultsGrid::CellFontSize() const
{
    const double size = currentLook().fontSize;
    return size > 0.0 ? size : font().pointSizeF();
}

int ResultsGrid::CellAlignment() const
{
    return currentLook().alignment;
}

QColor ResultsGrid::CellBackColor() const
{
    return currentLook().back;
}

QColor ResultsGrid::CellForeColor() const
{
    return currentLook().fore;
}

void ResultsGrid::setRowHeight(int row, int twips)
{
    if (row < 0 || row >= Rows())
        RaiseError(kErrGridInvalidRow, QStringLiteral("Invalid Row value"));
    verticalHeader()->resizeSection(row, std::max(1, (twips + kTwipsPerPixel / 2) / kTwipsPerPixel));
    updateFixedRows();
}

int ResultsGrid::RowHeight(int row) const
{
    return verticalHeader()->sectionSize(row) * kTwipsPerPixel;
}

void ResultsGrid::Clear()
{
    m_model->clearTexts();
}

QString ResultsGrid::Clip() const
{
    int top = m_row, bottom = m_row, left = m_col, right = m_col;
    const QItemSelection selection = selectionModel()->selection();
    if (!selection.isEmpty()) {
        top = left = INT32_MAX;
        bottom = right = -1;
        for (const QItemSelectionRange& range : selection) {
            top = std::min(top, range.top());
            bottom = std::max(bottom, range.bottom());
            left = std::min(left, range.left());
            right = std::max(right, range.right());
        }
    }
    if (top < 0 || left < 0 || bottom >= Rows() || right >= Cols())
        return QString();
    QString clip;
    for (int r = top; r <= bottom; ++r) {
        if (r > top)
            clip += QLatin1Char('\r');
        for (int c = left; c <= right; ++c) {
            if (c > left)
                clip += QLatin1Char('\t');
            clip += m_model->text(r, c);
        }
    }
    return clip;
}

void ResultsGrid::selectBlock(int rowSel, int colSel)
{
    if (Rows() == 0 || Cols() == 0)
        return;
    rowSel = std::clamp(rowSel, 0, Rows() - 1);
    colSel = std::clamp(colSel, 0, Cols() - 1);
    const QModelIndex from = m_model->index(m_row, m_col);
    const QModelIndex to = m_model->index(rowSel, colSel);
    selectionModel()->select(QItemSelection(from, to), QItemSelectionModel::ClearAndSelect);
}

namespace {
int shiftState(Qt::KeyboardModifiers modifiers)
{
    int shift = 0;
    if (modifiers & Qt::ShiftModifier)
        shift |= 1;
    if (modifiers & Qt::ControlModifier)
        shift |= 2;
    if (modifiers & Qt::AltModifier)
        shift |= 4;
    return shift;
}

int buttonCode(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton: return 1;
    case Qt::RightButton: return 2;
    case Qt::MiddleButton: return 4;
    default: return 0;
    }
}
}  // namespace

bool ResultsGrid::eventFilter(QObject* watched, QEvent* event)
{
    // The fixed rows take no selection, but a press or a double-click on
    // them is the grid's own event.
    if (m_fixed && watched == m_fixed->viewport()) {
        // A drag on a column border resizes the column.
        const QEvent::Type type = event->type();
        if ((type == QEvent::MouseMove || type == QEvent::MouseButtonPress ||
             type == QEvent::MouseButtonRelease) &&
            fixedRowsMouse(event))
            return true;
        if (event->type() == QEvent::MouseButtonPress) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            setFocus(Qt::MouseFocusReason);
            const QPointF at = m_fixed->mapTo(this, mouse->position().toPoint());
            emit MouseDown(buttonCode(mouse->button()), shiftState(mouse->modifiers()),
                           at.x() * kTwipsPerPixel, at.y() * kTwipsPerPixel);
            return true;
        }
        if (event->type() == QEvent::MouseButtonDblClick) {
            emit DblClick();
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease || event->type() == QEvent::MouseMove)
            return true;
    }
    return QTableView::eventFilter(watched, event);
}

void ResultsGrid::mousePressEvent(QMouseEvent* event)
{
    QTableView::mousePressEvent(event);
    const QPointF at = event->position();
    emit MouseDown(buttonCode(event->button()), shiftState(event->modifiers()),
                   at.x() * kTwipsPerPixel, at.y() * kTwipsPerPixel);
}

void ResultsGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTableView::mouseDoubleClickEvent(event);
    emit DblClick();
}

void ResultsGrid::focusInEvent(QFocusEvent* event)
{
    QTableView::focusInEvent(event);
    emit GotFocus();
}

void ResultsGrid::focusOutEvent(QFocusEvent* event)
{
    QTableView::focusOutEvent(event);
    emit LostFocus();
}

void ResultsGrid::keyPressEvent(QKeyEvent* event)
{
    // The view would copy its current cell alone; the window copies the
    // selection.
    if (event->matches(QKeySequence::Copy)) {
        emit CopyKeys();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

}  // namespace tarvic

// The results grid: a flex-grid style table on a QTableView.
//
// Every cell operation acts on the current cell (setRow/setCol). Fixed rows
// sit at the top and are drawn in the fixed back colour. Setting a row or a
// column beyond the grid raises error 30009 / 30010. The model keeps plain
// per-cell text and a small per-cell look, so 50003 rows stay fast.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QTableView>
#include <QStringList>
#include <QVector>

#include <cstdint>

namespace tarvic {

class ResultsGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct CellLook {
        bool bold = false;
        double fontSize = 0.0;  // 0 = the grid's font
        int alignment = 9;      // 0..8 left/centre/right x top/centre/bottom, 9 general
        QColor back;            // invalid = default
        QColor fore;
        bool operator==(const CellLook& o) const
        {
            return bold == o.bold && fontSize == o.fontSize && alignment == o.alignment &&
                   back == o.back && fore == o.fore;
        }
    };

    explicit ResultsGridModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void setRows(int rows);
    void setCols(int cols);
    void setFixedRows(int fixedRows);
    int fixedRows() const { return m_fixedRows; }
    void setFixedBackColor(const QColor& color);
    QColor fixedBackColor() const { return m_fixedBack; }
    void setBaseFont(const QFont& font) { m_baseFont = font; }

    QString text(int row, int col) const;
    void setText(int row, int col, const QString& text);
    // The longest text of a column below the fixed rows (the cells there
    // share one font, so it is also about the widest).
    QString longestText(int col) const;
    CellLook look(int row, int col) const;
    void setLook(int row, int col, const CellLook& look);
    void clearTexts();
    // Every cell back to the default look.
    void clearLooks();

private:
    struct Cell {
        QString text;
        uint16_t look = 0;  // index into m_looks; 0 = default look
    };
    Cell& cell(int row, int col) { return m_cells[row * m_cols + col]; }
    const Cell& cell(int row, int col) const { return m_cells[row * m_cols + col]; }
    uint16_t lookIndex(const CellLook& look);
    void findLongestTexts();

    int m_rows = 0;
    int m_cols = 0;
    int m_fixedRows = 0;
    QColor m_fixedBack;
    QFont m_baseFont;
    QVector<Cell> m_cells;
    QVector<CellLook> m_looks;
    QVector<QString> m_longest;  // per column, rows below the fixed ones
};

class ResultsGrid : public QTableView {
    Q_OBJECT
public:
    explicit ResultsGrid(QWidget* parent = nullptr);

    // Size
    int Rows() const;
    void setRows(int rows);
    int Cols() const;
    void setCols(int cols);
    int FixedRows() const;
    void setFixedRows(int fixedRows);
    void setFixedBackColor(uint32_t bgr);  // &HBBGGRR

    // Current cell
    int Row() const { return m_row; }
    void setRow(int row);  // beyond the rows: error 30009
    int Col() const { return m_col; }
    void setCol(int col);  // beyond the columns: error 30010

    // The current cell's text and look
    QString Text() const;
    void setText(const QString& text);
    QString TextMatrix(int row, int col) const;
    void setCellFontBold(bool bold);
    void setCellFontSize(double points);
    void setCellAlignment(int alignment);  // 7 = right, vertically centred
    void setCellBackColor(uint32_t bgr);
    void setCellForeColor(uint32_t bgr);
    bool CellFontBold() const;
    double CellFontSize() const;
    int CellAlignment() const;
    QColor CellBackColor() const;
    QColor CellForeColor() const;

    void setRowHeight(int row, int twips);
    int RowHeight(int row) const;  // twips

    // Empties every cell (sizes and looks stay).
    void Clear();

    // The selected block as text: cells joined by tab, rows by carriage
    // return. Without a selection, the current cell.
    QString Clip() const;

    // Columns are as wide as their widest text, share the rest of the
    // grid's width evenly, and the user may widen or narrow them by
    // dragging a border in the fixed rows (never below what the column
    // shows). Back to the even shares, no cell selected, at the top.
    void resetView();
    // The grid as created: empty cells in the default look, and a fresh
    // view.
    void reset();
    // The width the user gave a column by dragging, 0 when none.
    int userColumnWidth(int col) const;
    // Selects the block from the current cell to (rowSel, colSel).
    void selectBlock(int rowSel, int colSel);

    void setToolTipText(const QString& text) { setToolTip(text); }
    QString ToolTipText() const { return toolTip(); }

    ResultsGridModel* gridModel() const { return m_model; }

signals:
    void DblClick();
    void GotFocus();
    void LostFocus();
    // button: 1 left, 2 right, 4 middle; shift: 1 Shift, 2 Ctrl, 4 Alt;
    // x and y in twips from the grid's top-left corner.
    void MouseDown(int button, int shift, double x, double y);
    // The platform's copy keys (Ctrl+C) while the grid has the focus.
    void CopyKeys();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    ResultsGridModel::CellLook currentLook() const;
    void setCurrentLook(const ResultsGridModel::CellLook& look);

    // The fixed rows stay in place over the top of the scrolling rows.
    void updateFixedRows();
    // Column widths from the texts, the user's widths and the grid's width.
    void fitColumns();
    void scheduleFitColumns();
    int textWidth(int col) const;
    // The column border within a few pixels of x (viewport coordinates of
    // the fixed rows), -1 when none: the column to its left.
    int borderAt(int x) const;
    // Dragging a border of the fixed rows.
    bool fixedRowsMouse(QEvent* event);

    ResultsGridModel* m_model;
    QTableView* m_fixed = nullptr;
    int m_row = 0;
    int m_col = 0;
    QVector<int> m_userWidths;
    QStringList m_fitBasis;  // what the present widths were fitted to
    bool m_fitPending = false;
    bool m_fitting = false;
    int m_dragColumn = -1;
    int m_dragFrom = 0;
    int m_dragWidth = 0;
};

}  // namespace tarvic

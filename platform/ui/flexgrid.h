// The grid control: a table of text cells with fixed (grey, unselectable)
// rows at the top and columns at the left, a current cell (Row, Col), a
// selection from it to (RowSel, ColSel), and scrolling of the non-fixed
// part (TopRow, LeftCol).
//
// Sizes and cell positions are twips; CellLeft/CellTop are relative to the
// grid's own top-left corner, so an editor laid over a cell of a grid on the
// same container goes to grid.Left() + CellLeft() and grid.Top() + CellTop().
// Rows and columns are 0-based and include the fixed ones.
//
// Events: Click (a press and release on a cell, after the current cell moved
// there), DblClick, KeyDown/KeyPress/KeyUp, MouseDown/MouseMove/MouseUp
// (twips relative to the grid), GotFocus/LostFocus (all from Control),
// EnterCell / LeaveCell whenever the current cell changes (by mouse, by keys
// or by setting Row or Col from code), and Scroll when TopRow or LeftCol
// changes.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/ui/control.h"

namespace vb {

class FlexGrid : public Control {
public:
    explicit FlexGrid(Container& c);
    ~FlexGrid() override;

    // --- Shape --------------------------------------------------------------------------
    int Rows() const { return static_cast<int>(cells_.size()); }
    void Rows(int n);   // keeps the texts of the rows that remain
    int Cols() const { return cols_; }
    void Cols(int n);
    int FixedRows() const { return fixedRows_; }
    void FixedRows(int n);   // must stay below Rows (error 30009 otherwise)
    int FixedCols() const { return fixedCols_; }
    void FixedCols(int n);

    // --- Current cell and selection ------------------------------------------------------
    int Row() const { return row_; }
    void Row(int r);   // error 30009 ("Invalid Row value") outside 0..Rows-1
    int Col() const { return col_; }
    void Col(int c);   // error 30010 ("Invalid Col value") outside 0..Cols-1
    int RowSel() const { return rowSel_; }
    void RowSel(int r);
    int ColSel() const { return colSel_; }
    void ColSel(int c);
    // First non-fixed row / column shown.
    int TopRow() const { return topRow_; }
    void TopRow(int r);
    int LeftCol() const { return leftCol_; }
    void LeftCol(int c);

    // --- Texts --------------------------------------------------------------------------------
    // Text of the current cell.
    std::string Text() const;
    void Text(const std::string& v);
    std::string TextMatrix(int row, int col) const;   // error 381 outside the grid
    void TextMatrix(int row, int col, const std::string& v);
    // The selection as text: cells separated by tabs, rows by carriage
    // returns.  Setting it fills the selection from such a text.
    std::string Clip() const;
    void Clip(const std::string& v);
    // Empties every cell (the shape stays).
    void Clear();
    // Adds a row with the tab-separated texts, at the end or before `index`.
    void AddItem(const std::string& item, int index = -1);
    // Removes a row.  Error 381 outside the grid; error 30015 ("Cannot
    // remove last non-fixed row") when no non-fixed row would be left.
    void RemoveItem(int index);

    // --- Sizes and alignment ------------------------------------------------------------------
    double ColWidth(int col) const;
    void ColWidth(int col, double twips);   // -1: default width
    double RowHeight(int row) const;
    void RowHeight(int row, double twips);  // -1: default height
    double RowHeightMin() const { return rowHeightMin_; }
    void RowHeightMin(double twips);
    // 0 left-top ... 4 centre-centre ... 8 right-bottom, 9 general (text
    // left, numbers right); the default is 9.
    int ColAlignment(int col) const;
    void ColAlignment(int col, int a);

    // --- Geometry of the current cell (twips relative to the grid) ------------------------
    double CellLeft() const;
    double CellTop() const;
    double CellWidth() const;
    double CellHeight() const;
    // True when some of the row / column is inside the visible area.
    bool RowIsVisible(int row) const;
    bool ColIsVisible(int col) const;
    // Row under the mouse pointer at the last mouse event (-1 outside the
    // cells).
    int MouseRow() const { return mouseRow_; }

    // --- Events ----------------------------------------------------------------------------------
    std::function<void()> EnterCell;
    std::function<void()> LeaveCell;
    std::function<void()> Scroll;
    std::function<void()> RowColChange;

    // --- Platform use ----------------------------------------------------------------------------
    // Pixel geometry of a cell in the widget (as drawn, scrolled).
    int CellXPixels(int col) const;
    int CellYPixels(int row) const;
    int ColWidthPixels(int col) const;
    int RowHeightPixels(int row) const;
    // Cell at a widget pixel position, -1 outside.
    int RowAtPixel(int y) const;
    int ColAtPixel(int x) const;
    void OnMousePress(int button, int shift, double px, double py) override;
    void OnMouseMove(int button, int shift, double px, double py) override;
    void OnMouseRelease(int button, int shift, double px, double py) override;
    bool OnKeyDown(int& keyCode, int shift) override;
    float MouseXFromPixels(double px) const override;
    float MouseYFromPixels(double py) const override;
    void Relayout();   // scroll bars and repaint

private:
    void SetCurrent(int row, int col, bool raiseEvents);
    void EnsureVisible(int row, int col);
    int ViewWidthPixels() const;
    int ViewHeightPixels() const;
    int DefaultRowHeightPixels() const;

    std::vector<std::vector<std::string>> cells_;
    int cols_ = 2;
    int fixedRows_ = 1, fixedCols_ = 1;
    int row_ = 1, col_ = 1, rowSel_ = 1, colSel_ = 1;
    int topRow_ = 1, leftCol_ = 1;
    std::vector<double> colWidth_;    // twips, -1 default
    std::vector<double> rowHeight_;   // twips, -1 default
    std::vector<int> colAlign_;
    double rowHeightMin_ = 0;
    int mouseRow_ = -1, mouseCol_ = -1;
    bool pressed_ = false;
};

}  // namespace vb

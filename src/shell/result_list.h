#pragma once
// A report-style list of a result page: column captions, rows in model
// order, no sorting. Selected rows copy as tab-separated text with the
// captions, ready to paste into a spreadsheet.
//
// A view of its own rather than a QTableView: a table view keeps a record
// per row in its vertical header (about 8 bytes and 45 ns a row, so 0.8 GB
// and seconds for a 100-million-game run). This one keeps nothing per row:
// rows are of one height, the scroll bar counts rows, and only the rows in
// sight are asked of the model.
#include <QAbstractItemView>

class QHeaderView;

namespace morvane {

class PageModel;

class ResultList : public QAbstractItemView {
    Q_OBJECT
public:
    ResultList(PageModel* model, QWidget* parent = nullptr);

    // The selected rows, captions first, at most kMostCopiedRows of them;
    // empty without a selection. `selectedRows`, when given, gets how many
    // rows are selected.
    QString SelectionText(qint64* selectedRows = nullptr) const;
    // Onto the clipboard; says copiedInPart when the selection was longer.
    void CopySelection();
    // As many rows as a spreadsheet takes; text for more would take seconds
    // and gigabytes (a 100-million-game run is about 6 GB of it).
    static constexpr qint64 kMostCopiedRows = 1'000'000;
    // Play lists: each column at least its designed width, wider when the
    // rows in view would be cut off in the font at hand. Rate lists: every
    // cell whole, the list no narrower than its designed width.
    void FitColumns();
    void SetDesignWidth(int width);

    QHeaderView* horizontalHeader() const { return header_; }
    int columnWidth(int column) const;
    void setColumnWidth(int column, int width);
    // The first row in sight.
    int FirstVisibleRow() const;

    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;
    int sizeHintForColumn(int column) const override;

    static constexpr int kRowHeight = 14;
    static constexpr int kHeaderHeight = 16;

signals:
    void copiedInPart(qint64 copiedRows, qint64 selectedRows);

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex& index) const override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    int Rows() const;
    int VisibleRows() const;
    int RowAt(int y) const;
    // A cell of this text, as the delegate sizes it.
    int CellWidth(const QString& text) const;

    PageModel* model_;
    QHeaderView* header_;
    int designWidth_ = 0;
};

}  // namespace morvane

#include "shell/result_list.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>
#include <utility>
#include <vector>

#include "present/qt/page_model.h"

namespace morvane {

ResultList::ResultList(PageModel* model, QWidget* parent)
    : QAbstractItemView(parent), model_(model), header_(new QHeaderView(Qt::Horizontal, this)) {
    setModel(model);
    header_->setModel(model);
    header_->setSelectionModel(selectionModel());
    header_->setFixedHeight(kHeaderHeight);
    header_->setHighlightSections(false);
    header_->setSectionsClickable(false);
    header_->setSectionResizeMode(QHeaderView::Interactive);
    header_->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header_->setStretchLastSection(false);
    connect(header_, &QHeaderView::sectionResized, this, [this] {
        updateGeometries();
        viewport()->update();
    });
    connect(header_, &QHeaderView::geometriesChanged, this, [this] { updateGeometries(); });
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideRight);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setViewportMargins(0, kHeaderHeight, 0, 0);
    const auto columns = PageInfo(model->page()).columns;
    for (std::size_t c = 0; c < columns.size(); ++c) setColumnWidth(static_cast<int>(c), columns[c].width);
}

int ResultList::Rows() const { return model_->rowCount(); }

int ResultList::VisibleRows() const { return std::max(1, viewport()->height() / kRowHeight); }

int ResultList::FirstVisibleRow() const { return verticalScrollBar()->value(); }

int ResultList::RowAt(int y) const { return FirstVisibleRow() + (y < 0 ? -1 : y / kRowHeight); }

int ResultList::columnWidth(int column) const { return header_->sectionSize(column); }

void ResultList::setColumnWidth(int column, int width) { header_->resizeSection(column, width); }

void ResultList::SetDesignWidth(int width) { designWidth_ = width; }

QRect ResultList::visualRect(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != model_) return {};
    const int y = (index.row() - FirstVisibleRow()) * kRowHeight;
    return {header_->sectionViewportPosition(index.column()), y, header_->sectionSize(index.column()), kRowHeight};
}

void ResultList::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (!index.isValid()) return;
    const int row = index.row(), first = FirstVisibleRow(), visible = VisibleRows();
    QScrollBar* v = verticalScrollBar();
    switch (hint) {
    case PositionAtTop: v->setValue(row); break;
    case PositionAtBottom: v->setValue(row - visible + 1); break;
    case PositionAtCenter: v->setValue(row - visible / 2); break;
    case EnsureVisible:
        if (row < first) v->setValue(row);
        if (row >= first + visible) v->setValue(row - visible + 1);
        break;
    }
    const QRect r = visualRect(index);
    QScrollBar* h = horizontalScrollBar();
    if (r.left() < 0)
        h->setValue(h->value() + r.left());
    else if (r.right() > viewport()->width())
        h->setValue(h->value() + std::min(r.left(), r.right() - viewport()->width()));
}

QModelIndex ResultList::indexAt(const QPoint& point) const {
    const int row = RowAt(point.y());
    const int column = header_->logicalIndexAt(point.x());
    if (row < 0 || row >= Rows() || column < 0) return {};
    return model_->index(row, column);
}

int ResultList::sizeHintForColumn(int column) const {
    // The rows in sight decide, as a table view's hint does.
    QStyleOptionViewItem option;
    const_cast<ResultList*>(this)->initViewItemOption(&option);
    int widest = 0;
    const int first = FirstVisibleRow(), last = std::min(Rows(), first + VisibleRows() + 1);
    for (int row = first; row < last; ++row)
        widest = std::max(widest, itemDelegate()->sizeHint(option, model_->index(row, column)).width());
    return widest;
}

int ResultList::CellWidth(const QString& text) const {
    QStyleOptionViewItem option;
    const_cast<ResultList*>(this)->initViewItemOption(&option);
    option.text = text;
    option.features |= QStyleOptionViewItem::HasDisplay;
    return style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), this).width();
}

QModelIndex ResultList::moveCursor(CursorAction action, Qt::KeyboardModifiers) {
    const int rows = Rows();
    if (rows == 0) return {};
    const QModelIndex current = currentIndex();
    const int row = current.isValid() ? current.row() : -1;
    const int column = current.isValid() ? current.column() : 0;
    int to = row;
    switch (action) {
    case MoveUp:
    case MovePrevious: to = row - 1; break;
    case MoveDown:
    case MoveNext: to = row + 1; break;
    case MovePageUp: to = row - VisibleRows(); break;
    case MovePageDown: to = row + VisibleRows(); break;
    case MoveHome: to = 0; break;
    case MoveEnd: to = rows - 1; break;
    default: break;
    }
    return model_->index(std::clamp(to, 0, rows - 1), column);
}

int ResultList::horizontalOffset() const { return horizontalScrollBar()->value(); }

int ResultList::verticalOffset() const { return FirstVisibleRow() * kRowHeight; }

bool ResultList::isIndexHidden(const QModelIndex&) const { return false; }

void ResultList::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
    const int rows = Rows();
    if (rows == 0) return;
    const QRect r = rect.normalized();
    const int top = std::clamp(RowAt(r.top()), 0, rows - 1);
    const int bottom = std::clamp(RowAt(r.bottom()), 0, rows - 1);
    const QItemSelection selection(model_->index(top, 0), model_->index(bottom, model_->columnCount() - 1));
    selectionModel()->select(selection, command | QItemSelectionModel::Rows);
}

QRegion ResultList::visualRegionForSelection(const QItemSelection& selection) const {
    QRegion region;
    const int first = FirstVisibleRow(), last = first + VisibleRows();
    for (const QItemSelectionRange& range : selection) {
        const int top = std::max(range.top(), first), bottom = std::min(range.bottom(), last);
        if (top > bottom) continue;
        region += QRect(0, (top - first) * kRowHeight, viewport()->width(), (bottom - top + 1) * kRowHeight);
    }
    return region;
}

void ResultList::updateGeometries() {
    header_->setGeometry(frameWidth(), frameWidth(), viewport()->width(), kHeaderHeight);
    QScrollBar* v = verticalScrollBar();
    const int visible = VisibleRows();
    v->setRange(0, std::max(0, Rows() - visible));
    v->setPageStep(visible);
    v->setSingleStep(1);
    QScrollBar* h = horizontalScrollBar();
    h->setRange(0, std::max(0, header_->length() - viewport()->width()));
    h->setPageStep(viewport()->width());
    h->setSingleStep(20);
    header_->setOffset(h->value());
    QAbstractItemView::updateGeometries();
}

void ResultList::scrollContentsBy(int dx, int) {
    if (dx) header_->setOffset(horizontalScrollBar()->value());
    viewport()->update();
}

void ResultList::resizeEvent(QResizeEvent* e) {
    QAbstractItemView::resizeEvent(e);
    updateGeometries();
}

void ResultList::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const int first = FirstVisibleRow(), last = std::min(Rows(), first + VisibleRows() + 1);
    const QModelIndex current = currentIndex();
    const QItemSelectionModel* selection = selectionModel();
    for (int row = first; row < last; ++row) {
        const int y = (row - first) * kRowHeight;
        const bool selected = selection->isRowSelected(row, {});
        if (selected) painter.fillRect(QRect(0, y, viewport()->width(), kRowHeight), option.palette.highlight());
        for (int column = 0; column < header_->count(); ++column) {
            const QModelIndex index = model_->index(row, column);
            QStyleOptionViewItem cell = option;
            cell.rect = visualRect(index);
            if (selected) cell.state |= QStyle::State_Selected;
            if (index == current && hasFocus()) cell.state |= QStyle::State_HasFocus;
            itemDelegate()->paint(&painter, cell, index);
        }
    }
}

QString ResultList::SelectionText(qint64* selectedRows) const {
    // Rows from the selection's ranges, so selecting everything of a long
    // run never lists every index.
    std::vector<std::pair<int, int>> spans;
    for (const QItemSelectionRange& range : selectionModel()->selection())
        spans.emplace_back(range.top(), range.bottom());
    std::sort(spans.begin(), spans.end());
    qint64 selected = 0;
    int next = 0;  // rows before this are counted
    for (const auto& [top, bottom] : spans) {
        selected += std::max<qint64>(0, bottom + 1 - std::max(top, next));
        next = std::max(next, bottom + 1);
    }
    if (selectedRows) *selectedRows = selected;
    if (spans.empty()) return {};
    const int columns = model_->columnCount();
    QString text;
    for (int c = 0; c < columns; ++c) {
        if (c) text += QLatin1Char('\t');
        text += model_->headerData(c, Qt::Horizontal).toString();
    }
    text += QLatin1Char('\n');
    qint64 left = kMostCopiedRows;
    next = 0;  // rows before this are written
    for (const auto& [top, bottom] : spans) {
        for (int r = std::max(top, next); r <= bottom && left > 0; ++r, --left) {
            for (int c = 0; c < columns; ++c) {
                if (c) text += QLatin1Char('\t');
                text += model_->index(r, c).data().toString();
            }
            text += QLatin1Char('\n');
        }
        next = std::max(next, bottom + 1);
    }
    return text;
}

void ResultList::FitColumns() {
    updateGeometries();
    const Page page = model_->page();
    const bool rates = page != Page::Play && page != Page::BB && page != Page::ModeChange;
    const auto columns = PageInfo(page).columns;
    int total = 0;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const int column = static_cast<int>(c);
        int content = std::max(sizeHintForColumn(column), header_->sectionSizeHint(column));
        // The rows in sight at the start may be the narrowest of a long
        // run: the widest cells it can have decide, as the delegate would
        // measure them in the font at hand.
        for (const QString& text : model_->WidestTexts(column)) content = std::max(content, CellWidth(text));
        const int width = rates ? content : std::max(columns[c].width, content);
        setColumnWidth(column, width);
        total += width;
    }
    if (rates) {
        // Every figure shows whole: the list grows past its designed width
        // when it must (the pie beside it gives way), and its last column
        // takes up what is left when it need not.
        // Sized to show all of its few rows, it needs no scroll bars, and
        // scroll bars judged before the resize would shrink it again.
        header_->setStretchLastSection(true);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        resize(std::max(designWidth_, total + 2 * frameWidth()), height());
    } else if (designWidth_ > 0 && parentWidget()) {
        // The numbers of a long run widen a play list into the room its
        // page leaves on the right; past that it scrolls sideways.
        const int wanted = total + 2 * frameWidth() + verticalScrollBar()->sizeHint().width();
        const int room = std::max(designWidth_, parentWidget()->width() - 2 * x());
        resize(std::clamp(wanted, designWidth_, room), height());
    }
    updateGeometries();
}

void ResultList::CopySelection() {
    qint64 selected = 0;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const QString text = SelectionText(&selected);
    QGuiApplication::restoreOverrideCursor();
    QApplication::clipboard()->setText(text);
    if (selected > kMostCopiedRows) emit copiedInPart(kMostCopiedRows, selected);
}

void ResultList::keyPressEvent(QKeyEvent* e) {
    if (e->matches(QKeySequence::Copy)) {
        CopySelection();
        e->accept();
        return;
    }
    QAbstractItemView::keyPressEvent(e);
}

void ResultList::contextMenuEvent(QContextMenuEvent* e) {
    QMenu menu(this);
    QAction* copy = menu.addAction(QStringLiteral("コピー(&C)"), this, [this] { CopySelection(); });
    copy->setEnabled(selectionModel()->hasSelection());
    menu.addAction(QStringLiteral("すべて選択(&A)"), this, [this] { selectAll(); });
    menu.exec(e->globalPos());
}

}  // namespace morvane

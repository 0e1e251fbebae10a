#include "shell/result_list.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>

#include <algorithm>

#include "present/qt/page_model.h"

namespace morvane {
namespace {
// Rows as tight as a report list's, so the fixed-size rate lists show all
// their rows without scrolling.
constexpr int kRowHeight = 14;
constexpr int kHeaderHeight = 16;
}  // namespace

ResultList::ResultList(PageModel* model, QWidget* parent) : QTableView(parent), model_(model) {
    setModel(model);
    setSortingEnabled(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    // Uniform rows: the view never measures millions of them.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(kRowHeight);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    horizontalHeader()->setFixedHeight(kHeaderHeight);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setTextElideMode(Qt::ElideRight);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const auto columns = PageInfo(model->page()).columns;
    for (std::size_t c = 0; c < columns.size(); ++c) setColumnWidth(static_cast<int>(c), columns[c].width);
}

void ResultList::SetDesignWidth(int width) { designWidth_ = width; }

void ResultList::FitColumns() {
    const Page page = model_->page();
    const bool rates = page != Page::Play && page != Page::BB && page != Page::ModeChange;
    const auto columns = PageInfo(page).columns;
    int total = 0;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const int column = static_cast<int>(c);
        const int content = std::max(sizeHintForColumn(column), horizontalHeader()->sectionSizeHint(column));
        const int width = rates ? content : std::max(columns[c].width, content);
        setColumnWidth(column, width);
        total += width;
    }
    if (rates) {
        // Every figure shows whole: the list grows past its designed width
        // when it must (the pie beside it gives way), and its last column
        // takes up what is left when it need not.
        horizontalHeader()->setStretchLastSection(true);
        resize(std::max(designWidth_, total + 2 * frameWidth()), height());
    }
}

QString ResultList::SelectionText() const {
    QList<int> rows;
    for (const QModelIndex& i : selectionModel()->selectedRows()) rows << i.row();
    if (rows.isEmpty()) return {};
    std::sort(rows.begin(), rows.end());
    const int columns = model_->columnCount();
    QString text;
    for (int c = 0; c < columns; ++c) {
        if (c) text += QLatin1Char('\t');
        text += model_->headerData(c, Qt::Horizontal).toString();
    }
    text += QLatin1Char('\n');
    for (int r : rows) {
        for (int c = 0; c < columns; ++c) {
            if (c) text += QLatin1Char('\t');
            text += model_->index(r, c).data().toString();
        }
        text += QLatin1Char('\n');
    }
    return text;
}

void ResultList::CopySelection() const { QApplication::clipboard()->setText(SelectionText()); }

void ResultList::keyPressEvent(QKeyEvent* e) {
    if (e->matches(QKeySequence::Copy)) {
        CopySelection();
        e->accept();
        return;
    }
    QTableView::keyPressEvent(e);
}

void ResultList::contextMenuEvent(QContextMenuEvent* e) {
    QMenu menu(this);
    QAction* copy = menu.addAction(QStringLiteral("コピー(&C)"), this, [this] { CopySelection(); });
    copy->setEnabled(selectionModel()->hasSelection());
    menu.addAction(QStringLiteral("すべて選択(&A)"), this, [this] { selectAll(); });
    menu.exec(e->globalPos());
}

}  // namespace morvane

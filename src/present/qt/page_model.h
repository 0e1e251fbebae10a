#pragma once
// A result page as a Qt table model. Rows are asked for by the view and
// produced from the presentation on demand; nothing per row is stored.
#include <QAbstractTableModel>
#include <QStringList>

#include "present/presentation.h"

namespace morvane {

class PageModel : public QAbstractTableModel {
public:
    PageModel(const Presentation& presentation, Page page, QObject* parent = nullptr);

    Page page() const { return page_; }
    // Bracket a change of the presentation with these.
    void BeginReset() { beginResetModel(); }
    void EndReset() { endResetModel(); }

    // Texts no cell of the column outdoes, for sizing it (see
    // Presentation::WidestCells).
    QStringList WidestTexts(int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    const Presentation& presentation_;
    Page page_;
};

}  // namespace morvane

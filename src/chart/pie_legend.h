#pragma once
// The legend of a pie as a widget of its own, so it can stand beside the pie
// or, where the page is short of room, elsewhere on it: a colour box 15
// pixels wide and the slice's name per entry, in as many columns as asked,
// in a white frame with rounded corners and a 1-pixel shadow.
#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>
#include <vector>

namespace morvane::chart {

class PieLegend : public QWidget {
public:
    struct Entry {
        QString name;
        QColor colour;
    };
    static constexpr int kBoxWidth = 15;

    explicit PieLegend(QWidget* parent = nullptr);
    void SetEntries(std::vector<Entry> entries);
    const std::vector<Entry>& Entries() const { return entries_; }
    // Entries fill rows left to right.
    void SetColumns(int columns);
    int Columns() const { return columns_; }
    // The size the legend needs with `columns` columns.
    QSize SizeFor(int columns) const;
    QSize sizeHint() const override { return SizeFor(columns_); }
    // Where entry i's colour box is drawn, in the widget.
    QRect BoxRect(int i) const;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    int EntryWidth() const;
    int RowHeight() const;

    std::vector<Entry> entries_;
    int columns_ = 1;
};

}  // namespace morvane::chart

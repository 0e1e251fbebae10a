#pragma once
// A report-style list of a result page: column captions, rows in model
// order, no sorting. Selected rows copy as tab-separated text with the
// captions, ready to paste into a spreadsheet.
#include <QTableView>

namespace morvane {

class PageModel;

class ResultList : public QTableView {
    Q_OBJECT
public:
    ResultList(PageModel* model, QWidget* parent = nullptr);

    // The selected rows, captions first; empty without a selection.
    QString SelectionText() const;
    void CopySelection() const;
    // Play lists: each column at least its designed width, wider when the
    // rows in view would be cut off in the font at hand. Rate lists: every
    // cell whole, the list no narrower than its designed width.
    void FitColumns();
    void SetDesignWidth(int width);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    PageModel* model_;
    int designWidth_ = 0;
};

}  // namespace morvane

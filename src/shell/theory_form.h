#pragma once
// 理論値: the machine's exact figures per setting.
#include <QDialog>
#include <cstdint>
#include <vector>

class QLabel;
class QTableWidget;
class QTabWidget;

namespace morvane {

class SettingTheory;

// "理論値": long-run figures for settings 1..6 and what a run of the current
// number of games can be expected to give.
class TTheoryForm : public QDialog {
    Q_OBJECT
public:
    TTheoryForm(const std::vector<SettingTheory>& theories, QWidget* parent = nullptr);
    void ShowFor(std::int64_t games);

    QTabWidget* Pages;
    QTableWidget* LongRunTable;
    QTableWidget* ModeTable;
    QTableWidget* WinTable;
    QTableWidget* RunTable;
    QLabel* RunCaption;

private:
    const std::vector<SettingTheory>& theories_;
};

}  // namespace morvane

#pragma once
// The hall's setting distribution as the analysis windows take it: six
// weights, uniform until the player knows better, with the named shapes a
// player can start from.
#include <QGroupBox>
#include <array>
#include <optional>

#include "model/setting_prior.h"

class QComboBox;
class QLineEdit;

namespace morvane {

class TPriorBox : public QGroupBox {
    Q_OBJECT
public:
    explicit TPriorBox(QWidget* parent = nullptr);

    // nullopt when a weight is not a non-negative number or all are 0.
    std::optional<SettingPrior> Prior() const;
    // The one line the windows show when Prior() is nullopt.
    static QString Problem();
    void SetWeights(const std::array<double, kMaxSetting>& w);

    std::array<QLineEdit*, kMaxSetting> Edits{};
    // The named shapes in their order, then 手入力 for weights of none; it
    // follows the edits.
    QComboBox* ShapeBox;

private:
    void ShowShape();

signals:
    void changed();
};

}  // namespace morvane

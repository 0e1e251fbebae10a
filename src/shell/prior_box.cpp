#include "shell/prior_box.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "system/decimal_text.h"

namespace morvane {

TPriorBox::TPriorBox(QWidget* parent) : QGroupBox(QStringLiteral("ホールの設定配分（事前の重み）"), parent) {
    setObjectName(QStringLiteral("PriorBox"));
    auto* grid = new QGridLayout(this);
    for (int s = 0; s < kMaxSetting; ++s) {
        grid->addWidget(new QLabel(QStringLiteral("設定%1").arg(s + 1), this), 0, s);
        auto* e = new QLineEdit(QStringLiteral("1"), this);
        e->setObjectName(QStringLiteral("Prior%1").arg(s + 1));
        e->setToolTip(QStringLiteral("このホールで設定%1が使われる割合の目安。重みは合計で割って確率にします。").arg(s + 1));
        grid->addWidget(e, 1, s);
        connect(e, &QLineEdit::textChanged, this, &TPriorBox::changed);
        Edits[static_cast<std::size_t>(s)] = e;
    }
    UniformButton = new QPushButton(QStringLiteral("均等"), this);
    UniformButton->setToolTip(QStringLiteral("どの設定も同じ重みに戻します。"));
    grid->addWidget(UniformButton, 1, kMaxSetting);
    connect(UniformButton, &QPushButton::clicked, this, [this] { SetWeights({1, 1, 1, 1, 1, 1}); });
}

std::optional<SettingPrior> TPriorBox::Prior() const {
    QStringList texts;
    for (const QLineEdit* e : Edits) texts << e->text().trimmed();
    return ParseSettingPrior(texts.join(QLatin1Char(',')).toStdString());
}

QString TPriorBox::Problem() {
    return QStringLiteral("設定配分の重みは0以上の数にしてください（すべて0にはできません）。");
}

void TPriorBox::SetWeights(const std::array<double, kMaxSetting>& w) {
    for (int s = 0; s < kMaxSetting; ++s) {
        QLineEdit* e = Edits[static_cast<std::size_t>(s)];
        const QSignalBlocker quiet(e);
        // Whole weights as typed, others to six decimals.
        const double v = w[static_cast<std::size_t>(s)];
        std::string text = FixedDecimal(v, 6);
        while (text.find('.') != std::string::npos && (text.back() == '0' || text.back() == '.')) {
            const bool dot = text.back() == '.';
            text.pop_back();
            if (dot) break;
        }
        e->setText(QString::fromStdString(text));
    }
    emit changed();
}

}  // namespace morvane

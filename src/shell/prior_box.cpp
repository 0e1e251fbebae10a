#include "shell/prior_box.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QStandardItemModel>

#include "system/decimal_text.h"

namespace morvane {
namespace {

QString WeightsText(const std::array<double, kMaxSetting>& w) {
    QStringList parts;
    for (double v : w) parts << QString::number(v, 'g', 6);
    return parts.join(QStringLiteral(" : "));
}

}  // namespace

TPriorBox::TPriorBox(QWidget* parent) : QGroupBox(QStringLiteral("ホールの設定配分（事前の重み）"), parent) {
    setObjectName(QStringLiteral("PriorBox"));
    auto* grid = new QGridLayout(this);
    for (int s = 0; s < kMaxSetting; ++s) {
        grid->addWidget(new QLabel(QStringLiteral("設定%1").arg(s + 1), this), 0, s);
        auto* e = new QLineEdit(QStringLiteral("1"), this);
        e->setObjectName(QStringLiteral("Prior%1").arg(s + 1));
        e->setToolTip(
            QStringLiteral("このホールで設定%1が使われる割合の目安。重みは合計で割って確率にします。").arg(s + 1));
        grid->addWidget(e, 1, s);
        connect(e, &QLineEdit::textChanged, this, [this] {
            ShowShape();
            emit changed();
        });
        Edits[static_cast<std::size_t>(s)] = e;
    }
    grid->addWidget(new QLabel(QStringLiteral("よくある配分"), this), 0, kMaxSetting);
    ShapeBox = new QComboBox(this);
    ShapeBox->setObjectName(QStringLiteral("PriorShapeBox"));
    ShapeBox->setToolTip(QStringLiteral("選ぶと6つの重みに入ります。そこから書き換えられます。"));
    for (const PriorShape& shape : PriorShapes()) {
        ShapeBox->addItem(QString::fromUtf8(shape.label.data(), static_cast<qsizetype>(shape.label.size())));
        ShapeBox->setItemData(ShapeBox->count() - 1, QStringLiteral("重み %1").arg(WeightsText(shape.weights)),
                              Qt::ToolTipRole);
    }
    // Shown when the weights are of no named shape; not a choice.
    ShapeBox->addItem(QStringLiteral("手入力"));
    if (auto* model = qobject_cast<QStandardItemModel*>(ShapeBox->model()))
        model->item(ShapeBox->count() - 1)->setEnabled(false);
    grid->addWidget(ShapeBox, 1, kMaxSetting);
    connect(ShapeBox, &QComboBox::activated, this, [this](int index) {
        const auto shapes = PriorShapes();
        if (index >= 0 && static_cast<std::size_t>(index) < shapes.size())
            SetWeights(shapes[static_cast<std::size_t>(index)].weights);
    });
    ShowShape();
}

std::optional<SettingPrior> TPriorBox::Prior() const {
    QStringList texts;
    for (const QLineEdit* e : Edits) texts << e->text().trimmed();
    return ParseSettingPrior(texts.join(QLatin1Char(',')).toStdString());
}

QString TPriorBox::Problem() {
    return QStringLiteral("設定配分の重みは0以上の数にしてください（すべて0にはできません）。");
}

void TPriorBox::ShowShape() {
    const auto prior = Prior();
    const PriorShape* shape = prior ? PriorShapeOf(*prior) : nullptr;
    const QSignalBlocker quiet(ShapeBox);
    ShapeBox->setCurrentIndex(shape ? static_cast<int>(shape - PriorShapes().data()) : ShapeBox->count() - 1);
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
    ShowShape();
    emit changed();
}

}  // namespace morvane

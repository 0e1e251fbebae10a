#include "shell/chart_images.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

#include "chart/chart_view.h"
#include "shell/services.h"
#include "shell/texts.h"

namespace morvane {
namespace {

// Offered again by the next image dialog, of any chart.
QString& LastFolder() {
    static QString folder;
    return folder;
}

void SaveAs(chart::ChartView* view, Services& services, QWidget* parent, chart::ChartView::ImageFormat format) {
    const QString suffix = format == chart::ChartView::ImageFormat::Png ? QStringLiteral("png") : QStringLiteral("svg");
    const QString base = view->objectName().isEmpty() ? QStringLiteral("chart") : view->objectName();
    const QString initial = QDir(LastFolder()).filePath(base + QLatin1Char('.') + suffix);
    const QString name = services.AskImageFileName(parent, initial, suffix);
    if (name.isEmpty()) return;
    LastFolder() = QFileInfo(name).absolutePath();
    if (!view->SaveImage(name, format))
        services.ShowError(parent, texts::kErrorCaption, texts::kCannotSaveImage + QLatin1Char('\n') + name);
}

}  // namespace

void AddImageItems(chart::ChartView* view, Services& services, QWidget* dialogParent) {
    QMenu* menu = view->Menu();
    QAction* png = menu->addAction(texts::kSavePng);
    png->setObjectName(QStringLiteral("SavePngAction"));
    QObject::connect(png, &QAction::triggered, view, [view, &services, dialogParent] {
        SaveAs(view, services, dialogParent, chart::ChartView::ImageFormat::Png);
    });
    QAction* svg = menu->addAction(texts::kSaveSvg);
    svg->setObjectName(QStringLiteral("SaveSvgAction"));
    QObject::connect(svg, &QAction::triggered, view, [view, &services, dialogParent] {
        SaveAs(view, services, dialogParent, chart::ChartView::ImageFormat::Svg);
    });
}

}  // namespace morvane

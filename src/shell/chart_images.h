#pragma once
// "Save as PNG" and "save as SVG" in a chart's context menu; the file name
// is asked through Services, a failure shown in the error box.
class QWidget;

namespace morvane {

class Services;
namespace chart {
class ChartView;
}

void AddImageItems(chart::ChartView* view, Services& services, QWidget* dialogParent);

}  // namespace morvane

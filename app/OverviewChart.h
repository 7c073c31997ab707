// The overview's chart: revenue and profit per day (or month) over the span,
// with the exact figures of the point under the pointer as a tooltip.
#pragma once

#include <QChartView>
#include <QString>
#include <vector>

#include "app/Overview.h"

class QLineSeries;
class QCategoryAxis;
class QValueAxis;

class TOverviewChart : public QChartView {
    Q_OBJECT
public:
    explicit TOverviewChart(QWidget* parent = nullptr);

    void SetSeries(const std::vector<TSeriesPoint>& points, bool monthly);
    // The point nearest to a position in the view, or -1 off the plot.
    int PointAt(const QPoint& pos) const;
    // The tooltip of a point: its day (or month) and its five figures.
    QString TooltipText(int point) const;
    // Saves the chart as it stands, at the view's size; false when the file
    // cannot be written.
    bool SavePng(const QString& file);

protected:
    void mouseMoveEvent(QMouseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    // Labels the days (or months) on the axis, as many as fit side by side.
    void LabelAxis();
    std::vector<TSeriesPoint> FPoints;
    bool FMonthly = false;
    QLineSeries* FRevenue;
    QLineSeries* FProfit;
    QCategoryAxis* FAxisX;
    QValueAxis* FAxisY;
};

// Money as the chart plots it; the exact amount is in the tooltip.
double ChartYuan(std::int64_t units);

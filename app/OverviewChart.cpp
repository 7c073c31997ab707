#include "app/OverviewChart.h"

#include <QCategoryAxis>
#include <QChart>
#include <QLineSeries>
#include <QMouseEvent>
#include <QToolTip>
#include <QValueAxis>
#include <cmath>

#include "store/Value.h"

namespace {

QLineSeries* Line(const QString& name, const QColor& color)
{
    auto* s = new QLineSeries;
    s->setName(name);
    QPen pen(color);
    pen.setWidth(2);
    s->setPen(pen);
    s->setPointsVisible(true);
    return s;
}

QString Money(std::int64_t units) { return QString::fromStdString(MoneyText(units)); }

}  // namespace

double ChartYuan(std::int64_t units) { return static_cast<double>(units) / store::kCurrencyScale; }

// The points stand at 0, 1, 2 ... along the x axis; the axis labels them with
// their day or month, so labels fall exactly on the points they name.
TOverviewChart::TOverviewChart(QWidget* parent) : QChartView(parent)
{
    setObjectName("OverviewChart");
    setRenderHint(QPainter::Antialiasing);
    setMouseTracking(true);
    auto* chart = new QChart;
    chart->legend()->setAlignment(Qt::AlignTop);
    chart->setMargins(QMargins(4, 4, 12, 4));
    FRevenue = Line(QStringLiteral("销售额"), QColor(31, 119, 180));
    FProfit = Line(QStringLiteral("利润"), QColor(44, 160, 44));
    chart->addSeries(FRevenue);
    chart->addSeries(FProfit);
    FAxisX = new QCategoryAxis;
    FAxisX->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    FAxisY = new QValueAxis;
    FAxisY->setTitleText(QStringLiteral("金额 (元)"));
    FAxisY->setLabelFormat("%.0f");
    chart->addAxis(FAxisX, Qt::AlignBottom);
    chart->addAxis(FAxisY, Qt::AlignLeft);
    for (QLineSeries* s : {FRevenue, FProfit}) {
        s->attachAxis(FAxisX);
        s->attachAxis(FAxisY);
    }
    setChart(chart);
}

void TOverviewChart::SetSeries(const std::vector<TSeriesPoint>& points, bool monthly)
{
    FPoints = points;
    FMonthly = monthly;
    QList<QPointF> revenue, profit;
    double low = 0, high = 0;
    for (size_t i = 0; i < points.size(); ++i) {
        double r = ChartYuan(points[i].figures.revenue), g = ChartYuan(points[i].figures.Profit());
        revenue << QPointF(static_cast<double>(i), r);
        profit << QPointF(static_cast<double>(i), g);
        low = std::min({low, r, g});
        high = std::max({high, r, g});
    }
    FRevenue->replace(revenue);
    FProfit->replace(profit);
    FAxisX->setTitleText(monthly ? QStringLiteral("月份") : QStringLiteral("日期"));
    FAxisX->setRange(0, std::max<double>(1, static_cast<double>(points.size()) - 1));
    LabelAxis();
    FAxisY->setRange(low, high > low ? high * 1.05 : low + 1);
    FAxisY->applyNiceNumbers();
}

void TOverviewChart::LabelAxis()
{
    for (const QString& l : FAxisX->categoriesLabels()) FAxisX->remove(l);
    if (FPoints.empty()) return;
    int room = static_cast<int>(chart()->plotArea().width());
    if (room <= 0) room = width() - 80;
    int label = QFontMetrics(FAxisX->labelsFont()).horizontalAdvance(QStringLiteral("2026-12")) + 14;
    int n = static_cast<int>(FPoints.size());
    int fit = std::max(2, room / std::max(label, 1));
    int step = std::max(1, (n + fit - 1) / fit);
    // Counted back from the last point, so today (or this month) is always labelled.
    for (int i = (n - 1) % step; i < n; i += step) {
        QString text = QString::fromStdString(DayText(FPoints[static_cast<size_t>(i)].day));
        FAxisX->append(FMonthly ? text.left(7) : text.mid(5), i);
    }
}

int TOverviewChart::PointAt(const QPoint& pos) const
{
    if (FPoints.empty()) return -1;
    QPointF inChart = chart()->mapFromScene(mapToScene(pos));
    if (!chart()->plotArea().adjusted(-8, -8, 8, 8).contains(inChart)) return -1;
    double x = chart()->mapToValue(inChart, FRevenue).x();
    return std::clamp(static_cast<int>(std::lround(x)), 0, static_cast<int>(FPoints.size()) - 1);
}

QString TOverviewChart::TooltipText(int point) const
{
    if (point < 0 || point >= static_cast<int>(FPoints.size())) return {};
    const TSeriesPoint& p = FPoints[static_cast<size_t>(point)];
    QString when = QString::fromStdString(DayText(p.day)).left(FMonthly ? 7 : 10);
    const TFigures& f = p.figures;
    return when + QStringLiteral("\n销售额: %1元\n进货成本: %2元\n利润: %3元\n商品数量: %4件\n订单数: %5")
                      .arg(Money(f.revenue), Money(f.cost), Money(f.Profit()))
                      .arg(f.quantity)
                      .arg(f.orders);
}

bool TOverviewChart::SavePng(const QString& file) { return grab().save(file, "PNG"); }

void TOverviewChart::mouseMoveEvent(QMouseEvent* e)
{
    QChartView::mouseMoveEvent(e);
    int i = PointAt(e->position().toPoint());
    if (i < 0)
        QToolTip::hideText();
    else
        QToolTip::showText(e->globalPosition().toPoint(), TooltipText(i), this);
}

void TOverviewChart::resizeEvent(QResizeEvent* e)
{
    QChartView::resizeEvent(e);
    LabelAxis();
}

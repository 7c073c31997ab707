#include "app/OverviewChart.h"

#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QMouseEvent>
#include <QToolTip>
#include <QValueAxis>
#include <cmath>

#include "store/Value.h"

namespace {

QDateTime PointTime(const std::chrono::year_month_day& d) {
    QDate date(static_cast<int>(d.year()), static_cast<int>(static_cast<unsigned>(d.month())),
               static_cast<int>(static_cast<unsigned>(d.day())));
    return QDateTime(date, QTime(0, 0));
}

QLineSeries* Line(const QString& name, const QColor& color) {
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

TOverviewChart::TOverviewChart(QWidget* parent) : QChartView(parent) {
    setObjectName("OverviewChart");
    setRenderHint(QPainter::Antialiasing);
    setMouseTracking(true);
    auto* chart = new QChart;
    chart->legend()->setAlignment(Qt::AlignTop);
    chart->setMargins(QMargins(4, 4, 4, 4));
    FRevenue = Line(QStringLiteral("销售额"), QColor(31, 119, 180));
    FProfit = Line(QStringLiteral("利润"), QColor(44, 160, 44));
    chart->addSeries(FRevenue);
    chart->addSeries(FProfit);
    FAxisX = new QDateTimeAxis;
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

void TOverviewChart::SetSeries(const std::vector<TSeriesPoint>& points, bool monthly) {
    FPoints = points;
    FMonthly = monthly;
    QList<QPointF> revenue, profit;
    double low = 0, high = 0;
    for (const TSeriesPoint& p : points) {
        double x = static_cast<double>(PointTime(p.day).toMSecsSinceEpoch());
        double r = ChartYuan(p.figures.revenue), g = ChartYuan(p.figures.Profit());
        revenue << QPointF(x, r);
        profit << QPointF(x, g);
        low = std::min({low, r, g});
        high = std::max({high, r, g});
    }
    FRevenue->replace(revenue);
    FProfit->replace(profit);
    FAxisX->setTitleText(monthly ? QStringLiteral("月份") : QStringLiteral("日期"));
    FAxisX->setFormat(monthly ? QStringLiteral("yyyy-MM") : QStringLiteral("MM-dd"));
    FAxisX->setTickCount(monthly ? std::min<int>(12, static_cast<int>(points.size())) : 7);
    if (!points.empty())
        FAxisX->setRange(PointTime(points.front().day), PointTime(points.back().day));
    FAxisY->setRange(low, high > low ? high * 1.05 : low + 1);
    FAxisY->applyNiceNumbers();
}

int TOverviewChart::PointAt(const QPoint& pos) const {
    if (FPoints.empty()) return -1;
    QPointF scene = mapToScene(pos);
    QPointF inChart = chart()->mapFromScene(scene);
    if (!chart()->plotArea().adjusted(-8, -8, 8, 8).contains(inChart)) return -1;
    double x = chart()->mapToValue(inChart, FRevenue).x();
    int best = 0;
    double bestGap = INFINITY;
    for (size_t i = 0; i < FPoints.size(); ++i) {
        double gap =
            std::abs(static_cast<double>(PointTime(FPoints[i].day).toMSecsSinceEpoch()) - x);
        if (gap < bestGap) {
            bestGap = gap;
            best = static_cast<int>(i);
        }
    }
    return best;
}

QString TOverviewChart::TooltipText(int point) const {
    if (point < 0 || point >= static_cast<int>(FPoints.size())) return {};
    const TSeriesPoint& p = FPoints[static_cast<size_t>(point)];
    QString when = QString::fromStdString(DayText(p.day)).left(FMonthly ? 7 : 10);
    const TFigures& f = p.figures;
    return when +
           QStringLiteral("\n销售额: %1元\n进货成本: %2元\n利润: %3元\n商品数量: %4件\n订单数: %5")
               .arg(Money(f.revenue), Money(f.cost), Money(f.Profit()))
               .arg(f.quantity)
               .arg(f.orders);
}

bool TOverviewChart::SavePng(const QString& file) { return grab().save(file, "PNG"); }

void TOverviewChart::mouseMoveEvent(QMouseEvent* e) {
    QChartView::mouseMoveEvent(e);
    int i = PointAt(e->position().toPoint());
    if (i < 0)
        QToolTip::hideText();
    else
        QToolTip::showText(e->globalPosition().toPoint(), TooltipText(i), this);
}

// Draws the program's pictures: the main window's background (1000 x 750
// JPEG) and the application icon. Run once; the results live in resources/.
#include <QApplication>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

static void DrawLedger(QPainter& p, QRectF r, qreal alpha)
{
    p.save();
    p.setOpacity(alpha);
    p.setPen(QPen(QColor(255, 255, 255, 160), 2));
    p.setBrush(QColor(255, 255, 255, 40));
    p.drawRoundedRect(r, 18, 18);
    p.setPen(QPen(QColor(255, 255, 255, 110), 1.5));
    for (qreal y = r.top() + 50; y < r.bottom() - 20; y += 34)
        p.drawLine(QPointF(r.left() + 26, y), QPointF(r.right() - 26, y));
    p.restore();
}

static QImage Background()
{
    QImage img(1000, 750, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 1000, 750);
    sky.setColorAt(0, QColor(24, 94, 160));
    sky.setColorAt(0.55, QColor(58, 146, 196));
    sky.setColorAt(1, QColor(116, 196, 184));
    p.fillRect(img.rect(), sky);
    QRadialGradient glow(760, 180, 420);
    glow.setColorAt(0, QColor(255, 255, 255, 90));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(img.rect(), glow);
    // A rising line of sales over soft bars.
    p.setPen(Qt::NoPen);
    const int bars[] = {120, 170, 150, 220, 260, 240, 310, 360};
    for (int i = 0; i < 8; ++i) {
        p.setBrush(QColor(255, 255, 255, 38 + i * 6));
        p.drawRoundedRect(QRectF(540 + i * 52, 640 - bars[i], 34, bars[i]), 6, 6);
    }
    QPainterPath line;
    line.moveTo(520, 560);
    for (int i = 0; i < 8; ++i) line.lineTo(557 + i * 52, 640 - bars[i] - 24);
    p.setPen(QPen(QColor(255, 214, 102), 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(line);
    DrawLedger(p, QRectF(80, 380, 360, 280), 0.9);
    // Name and tagline.
    QFont title("WenQuanYi Micro Hei");
    title.setPixelSize(96);
    title.setBold(true);
    p.setFont(title);
    p.setPen(QColor(0, 0, 0, 60));
    p.drawText(QPointF(84, 184), "Tallybrook");
    p.setPen(Qt::white);
    p.drawText(QPointF(80, 180), "Tallybrook");
    QFont tag("WenQuanYi Micro Hei");
    tag.setPixelSize(40);
    p.setFont(tag);
    p.setPen(QColor(255, 255, 255, 235));
    p.drawText(QPointF(84, 250), QString::fromUtf8("网店进销存 · 账目清楚, 生意好做"));
    QFont small("WenQuanYi Micro Hei");
    small.setPixelSize(22);
    p.setFont(small);
    p.setPen(QColor(255, 255, 255, 200));
    p.drawText(QPointF(86, 300), QString::fromUtf8("商品管理  ·  销售登记  ·  利润统计  ·  Excel 导入导出"));
    return img;
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QString dir = argc > 1 ? argv[1] : ".";
    bool ok = Background().save(dir + "/background.jpg", "JPEG", 88);
    return ok ? 0 : 1;
}

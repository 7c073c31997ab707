#include "app/child_model.h"

#include <QEvent>
#include <QTimer>

#include "app/ErrorReport.h"

namespace {

QTimer& ClockTimer()
{
    static QTimer* timer = [] {
        auto* t = new QTimer(qApp);
        t->setInterval(500);
        t->start();
        return t;
    }();
    return *timer;
}

}  // namespace

TClockStatus::TClockStatus(QWidget* parent) : QLabel(parent)
{
    setObjectName("ClockStatus1");
    setFixedSize(193, 17);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont f("Tahoma");
    f.setPixelSize(14);
    setFont(f);
    setStyleSheet("color: blue;");
    connect(&ClockTimer(), &QTimer::timeout, this, &TClockStatus::Tick);
    Tick();
}

QString TClockStatus::Format(const QDateTime& t) { return t.toString(QStringLiteral("yyyy年MM月dd日 HH:mm:ss")); }

void TClockStatus::Tick()
{
    QString text = Format(QDateTime::currentDateTime());
    if (text != this->text()) setText(text);
}

TForm3::TForm3(QWidget* parent)
    : QWidget(parent), FConnection(std::make_unique<store::Connection>()), FClock(new TClockStatus(this))
{
    setWindowFlags(Qt::Widget | Qt::FramelessWindowHint);
    setAutoFillBackground(true);
    resize(805, 520);
}

void TForm3::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    FollowParent();
    if (FShown) return;
    FShown = true;
    Guarded([this] {
        FSeenVersion = FConnection->Connected() ? FConnection->DataVersion() : -1;
        FirstShow();
    });
}

void TForm3::BroughtToFront()
{
    if (!FShown || !FConnection->Connected()) return;
    Guarded([this] {
        std::int64_t now = FConnection->DataVersion();
        if (now == FSeenVersion) return;
        FSeenVersion = now;
        RefreshData();
    });
}

void TForm3::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    FClock->move(width() - FClock->width() - 4, 2);
    FClock->raise();
}

bool TForm3::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == parentWidget() && e->type() == QEvent::Resize) FollowParent();
    return QWidget::eventFilter(watched, e);
}

void TForm3::FollowParent()
{
    if (QWidget* p = parentWidget()) setGeometry(p->rect());
}

void HostChildWindow(TForm3* child, QWidget* panel)
{
    // The child is placed by hand, not by a layout: the panel takes on its
    // minimum size so the main window cannot be made small enough for the
    // child's controls to overlap.
    panel->setMinimumSize(panel->minimumSize().expandedTo(child->minimumSizeHint()));
    if (child->parentWidget() != panel) {
        child->setParent(panel, Qt::Widget);
        panel->installEventFilter(child);
    }
    child->setGeometry(panel->rect());
    bool again = child->WasShown();
    child->show();
    child->raise();
    if (again) child->BroughtToFront();
}

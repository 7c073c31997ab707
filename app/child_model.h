// The base of the windows hosted in the main window's right-hand panel:
// borderless, filling its parent, with a clock pane and a connection of its own.
#pragma once

#include <QDateTime>
#include <QLabel>
#include <QWidget>
#include <memory>

#include "store/Connection.h"

// Shows the local date and time, refreshed every 500 ms from one shared timer
// and repainted only when the text changes.
class TClockStatus : public QLabel {
    Q_OBJECT
public:
    explicit TClockStatus(QWidget* parent = nullptr);
    static QString Format(const QDateTime& t);
    void Tick();
};

class TForm3 : public QWidget {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);
    store::Connection& ADOConnection1() { return *FConnection; }
    TClockStatus* ClockStatus1() const { return FClock; }
    // The database was replaced (a restore): show its data again.
    virtual void DataReloaded() {}
    bool WasShown() const { return FShown; }

protected:
    void showEvent(QShowEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    // Runs once, on the window's first showing.
    virtual void FirstShow() {}
    void OpenConnection() { FConnection->Open(); }

private:
    void FollowParent();
    std::unique_ptr<store::Connection> FConnection;
    TClockStatus* FClock;
    bool FShown = false;
};

// Puts a child window into `panel`, filling it, and brings it to the front.
void HostChildWindow(TForm3* child, QWidget* panel);

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
    // The window comes to the front again (or is about to export its list):
    // when another window or program changed the database since this one
    // last read it, it reads it again.
    void BroughtToFront();
    // Posts what is being typed into the window's grid; false when the
    // store refused it (the message was shown and the typing is kept).
    virtual bool PostPendingEdits() { return true; }

protected:
    void showEvent(QShowEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    // Runs once, on the window's first showing.
    virtual void FirstShow() {}
    // Reads the window's lists again (after another window changed the data).
    virtual void RefreshData() {}
    void OpenConnection() { FConnection->Open(); }

private:
    void FollowParent();
    std::unique_ptr<store::Connection> FConnection;
    TClockStatus* FClock;
    bool FShown = false;
    std::int64_t FSeenVersion = -1;
};

// Puts a child window into `panel`, filling it, and brings it to the front.
void HostChildWindow(TForm3* child, QWidget* panel);

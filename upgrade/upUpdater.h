// The update component as the windows see it: its settings, the release date
// of the running program and the entry point that starts a check.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class TupUpdater : public QObject {
    Q_OBJECT
public:
    explicit TupUpdater(QObject* parent = nullptr);

    void setAutoCheck(bool on) { FAutoCheck = on; }
    bool AutoCheck() const { return FAutoCheck; }
    void setInfoFileURL(const QString& url) { FInfoFileURL = url; }
    QString InfoFileURL() const { return FInfoFileURL; }
    void setInfoFileFiles(const QStringList& files) { FInfoFileFiles = files; }
    QStringList InfoFileFiles() const { return FInfoFileFiles; }
    void setVersionDate(const QString& date) { FVersionDate = date; }
    QString VersionDate() const { return FVersionDate; }
    void setVersionDateAutoSet(bool on) { FVersionDateAutoSet = on; }
    bool VersionDateAutoSet() const { return FVersionDateAutoSet; }

    // Called once the stored settings have been applied.
    void Loaded();
    // Starts a check for a newer release and returns at once.
    void CheckUpdate();

private:
    bool FAutoCheck = false;
    QString FInfoFileURL;
    QStringList FInfoFileFiles;
    QString FVersionDate;
    bool FVersionDateAutoSet = false;
};

// The import log window: one read-only text box to which every import adds
// its lines; closing the window hides it and keeps the lines.
#pragma once

#include <QWidget>

class QPlainTextEdit;

class TForm8 : public QWidget {
    Q_OBJECT
public:
    explicit TForm8(QWidget* parent = nullptr);

    QPlainTextEdit* Memo1;

    void AddLine(const QString& line);
    // Adds lines at once, with one redraw.
    void AddLines(const QStringList& lines);
    // Shows the window (modeless) in front of the others.
    void ShowInFront();
};

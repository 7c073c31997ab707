#include "app/Prompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace {

QWidget* ActiveWindow() { return QApplication::activeWindow(); }

// "Text|*.a;*.b|Text 2|*.c" (description and pattern pairs) becomes Qt's
// "Text (*.a *.b);;Text 2 (*.c)"; a filter already in Qt's form is kept.
QString QtFilter(const QString& filter) {
    if (!filter.contains('|')) return filter;
    const QStringList parts = filter.split('|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        out << parts[i] + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
    return out.join(";;");
}

class TQtPrompter : public TPrompter {
public:
    void ShowMessage(const QString& text) override {
        QMessageBox::information(ActiveWindow(), QApplication::applicationDisplayName(), text, QMessageBox::Ok);
    }
    void Information(const QString& text) override {
        QMessageBox::information(ActiveWindow(), QStringLiteral("提示"), text, QMessageBox::Ok);
    }
    bool AskYesNo(const QString& text) override {
        return QMessageBox::warning(ActiveWindow(), QStringLiteral("提示"), text, QMessageBox::Yes | QMessageBox::No,
                                    QMessageBox::No) == QMessageBox::Yes;
    }
    bool AskOkCancel(const QString& text) override {
        return QMessageBox::question(ActiveWindow(), QApplication::applicationDisplayName(), text,
                                     QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
    }
    void ShowError(const QString& text) override {
        QMessageBox::critical(ActiveWindow(), QApplication::applicationDisplayName(), text, QMessageBox::Ok);
    }
    QString OpenFileName(const QString& title, const QString& filter) override {
        return QFileDialog::getOpenFileName(ActiveWindow(), title, QString(), QtFilter(filter));
    }
    QString SaveFileName(const QString& title, const QString& suggested, const QString& filter) override {
        return QFileDialog::getSaveFileName(ActiveWindow(), title, suggested, QtFilter(filter));
    }
};

TQtPrompter gQtPrompter;
TPrompter* gPrompter = nullptr;

}  // namespace

TPrompter& Prompter() { return gPrompter ? *gPrompter : gQtPrompter; }

TPrompter* SetPrompter(TPrompter* p) {
    TPrompter* old = gPrompter;
    gPrompter = p;
    return old;
}

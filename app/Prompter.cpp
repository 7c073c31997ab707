#include "app/Prompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace {

QWidget* ActiveWindow() { return QApplication::activeWindow(); }

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
        return QFileDialog::getOpenFileName(ActiveWindow(), title, QString(), filter);
    }
    QString SaveFileName(const QString& title, const QString& suggested, const QString& filter) override {
        return QFileDialog::getSaveFileName(ActiveWindow(), title, suggested, filter);
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

#include "app/ErrorReport.h"

#include "app/Prompter.h"

void ReportError(const std::exception& e) { Prompter().ShowError(QString::fromUtf8(e.what())); }

void ReportUnknownError() { Prompter().ShowError(QStringLiteral("发生了未知错误。")); }

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ReportError(e);
    } catch (...) {
        ReportUnknownError();
    }
    return false;
}

// The default error report: an error that escapes an event handler is shown
// with its text and the program carries on in the state the handler left.
#pragma once

#include <QApplication>
#include <exception>
#include <utility>

void ReportError(const std::exception& e);
void ReportUnknownError();

// Runs an event handler, reporting anything it throws instead of letting it
// unwind through Qt's event loop.
template <typename F> void Guarded(F&& handler)
{
    try {
        std::forward<F>(handler)();
    } catch (const std::exception& e) {
        ReportError(e);
    } catch (...) {
        ReportUnknownError();
    }
}

// The application object; its notify() is the last line of the error report.
class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

#include "app/Prompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QSpacerItem>
#include <algorithm>
#include <QMessageBox>
#include <QRegularExpression>

namespace {

QWidget* ActiveWindow() { return QApplication::activeWindow(); }

// The title of the plain boxes: the program's name.
const QString kAppTitle = QStringLiteral("Tallybrook");

// A box for a short text is narrow, and the window manager cuts its title
// to "T…": the box is made wide enough for its whole title.
int Show(QMessageBox::Icon icon, const QString& title, const QString& text, QMessageBox::StandardButtons buttons,
         QMessageBox::StandardButton defaultButton = QMessageBox::NoButton)
{
    QMessageBox box(icon, title, text, buttons, ActiveWindow());
    if (defaultButton != QMessageBox::NoButton) box.setDefaultButton(defaultButton);
    box.setTextFormat(Qt::PlainText);
    int width = std::max(280, box.fontMetrics().horizontalAdvance(title) + 160);
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), grid->rowCount(), 0, 1,
                      grid->columnCount());
    return box.exec();
}

// "Text|*.a;*.b|Text 2|*.c" (description and pattern pairs) becomes Qt's
// "Text (*.a *.b);;Text 2 (*.c)"; a filter already in Qt's form is kept.
QString QtFilter(const QString& filter)
{
    if (!filter.contains('|')) return filter;
    const QStringList parts = filter.split('|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        out << parts[i] + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
    return out.join(";;");
}

class TQtPrompter : public TPrompter {
public:
    void ShowMessage(const QString& text) override { Show(QMessageBox::NoIcon, kAppTitle, text, QMessageBox::Ok); }
    void Information(const QString& text) override
    {
        Show(QMessageBox::Information, QStringLiteral("提示"), text, QMessageBox::Ok);
    }
    bool AskYesNo(const QString& text) override
    {
        return Show(QMessageBox::Warning, QStringLiteral("提示"), text, QMessageBox::Yes | QMessageBox::No,
                    QMessageBox::No) == QMessageBox::Yes;
    }
    bool AskOkCancel(const QString& text) override
    {
        return Show(QMessageBox::Question, kAppTitle, text, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
    }
    void ShowError(const QString& text) override { Show(QMessageBox::Critical, kAppTitle, text, QMessageBox::Ok); }
    QString OpenFileName(const QString& title, const QString& suggested, const QString& filter) override
    {
        QFileDialog dialog(ActiveWindow(), title);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setNameFilter(QtFilter(filter));
        StartAt(dialog, suggested);
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    }
    QString SaveFileName(const QString& title, const QString& suggested, const QString& filter) override
    {
        QFileDialog dialog(ActiveWindow(), title);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilter(QtFilter(filter));
        // A name typed without extension gets the one of the file type
        // chosen, so choosing the type is enough to choose the format.
        dialog.setDefaultSuffix(FirstSuffix(dialog.selectedNameFilter()));
        QObject::connect(&dialog, &QFileDialog::filterSelected,
                         [&dialog](const QString& chosen) { dialog.setDefaultSuffix(FirstSuffix(chosen)); });
        StartAt(dialog, suggested);
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    }

private:
    // "Excel 工作簿 (*.xlsx)" gives "xlsx"; "" when the filter names none.
    static QString FirstSuffix(const QString& filter)
    {
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("\\*\\.(\\w+)")).match(filter);
        return m.hasMatch() ? m.captured(1) : QString();
    }
    // Opens in the folder of `suggested` (the working folder for a bare
    // name) with its file name in the name box.
    static void StartAt(QFileDialog& dialog, const QString& suggested)
    {
        if (suggested.isEmpty()) return;
        const QFileInfo info(suggested);
        dialog.setDirectory(info.absolutePath());
        dialog.selectFile(info.fileName());
    }
};

TQtPrompter gQtPrompter;
TPrompter* gPrompter = nullptr;

}  // namespace

TPrompter& Prompter() { return gPrompter ? *gPrompter : gQtPrompter; }

TPrompter* SetPrompter(TPrompter* p)
{
    TPrompter* old = gPrompter;
    gPrompter = p;
    return old;
}

#include "upgrade/upUpdaterWizard.h"

#include "upgrade/upTexts.h"
#include "upgrade/upUpdater.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>

namespace {

TupUpdaterWizardForm* WizardForm = nullptr;

QLabel* LabelAt(QWidget* parent, const char* name, int x, int y, int width = 300)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);  // names from the server are text, never markup
    label->setGeometry(x, y, width, 15);
    return label;
}

QProgressBar* BarAt(QWidget* parent, const char* name, int x, int y)
{
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(QLatin1String(name));
    bar->setGeometry(x, y, 307, 22);
    bar->setRange(0, 100);
    return bar;
}

// Ignores every key: the address can be selected and copied, never edited.
class ReadOnlyAddress : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void keyPressEvent(QKeyEvent* event) override { event->ignore(); }
};

}  // namespace

QImage WizardPicture()
{
    QImage picture(118, 218, QImage::Format_RGB32);
    QPainter painter(&picture);
    QLinearGradient gradient(0, 0, 0, 218);
    gradient.setColorAt(0, QColor(0x1f, 0x5f, 0x9f));
    gradient.setColorAt(1, QColor(0x9f, 0xcf, 0xef));
    painter.fillRect(picture.rect(), gradient);
    painter.setPen(Qt::white);
    painter.setFont(QFont(QStringLiteral("Sans"), 28, QFont::Bold));
    painter.drawText(picture.rect(), Qt::AlignCenter, QStringLiteral("↻"));
    return picture;
}

TupUpdaterWizardForm::TupUpdaterWizardForm(QWidget* parent) : QDialog(parent)
{
    WizardForm = this;
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(463, 281);
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(10, 10, 120, 220);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Image1 = new QLabel(Panel1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(1, 1, 118, 218);
    Image1->setScaledContents(true);
    WizardTitle = LabelAt(this, "WizardTitle", 136, 10, 319);
    QFont titleFont(QStringLiteral("Times New Roman"));
    titleFont.setPixelSize(19);
    titleFont.setBold(true);
    titleFont.setItalic(true);
    WizardTitle->setFont(titleFont);
    WizardTitle->resize(319, 24);
    AfterNote = LabelAt(this, "AfterNote", 136, 44, 319);
    AfterNote->setWordWrap(true);
    AfterNote->hide();
    BuildGroups();
    BuildFooter();
    ConfirmAbort = [this] {
        return QMessageBox::question(this, ApplicationTitle(Updater ? Updater->ApplicationPath() : QString()),
                                     DisplayText(UpText(27)), QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
}

void TupUpdaterWizardForm::BuildGroups()
{
    LCurrentFile = new QGroupBox(this);
    LCurrentFile->setObjectName(QStringLiteral("LCurrentFile"));
    LCurrentFile->setGeometry(136, 34, 319, 125);
    LDownloadingFileFrom = LabelAt(LCurrentFile, "LDownloadingFileFrom", 6, 14);
    FileURL = new ReadOnlyAddress(LCurrentFile);
    FileURL->setObjectName(QStringLiteral("FileURL"));
    FileURL->setGeometry(10, 28, 301, 13);
    FileURL->setFrame(false);
    FileURL->setStyleSheet(QStringLiteral("background: palette(button); color: palette(highlight);"));
    FileSizeLab = LabelAt(LCurrentFile, "FileSizeLab", 6, 44);
    TransferRateLab = LabelAt(LCurrentFile, "TransferRateLab", 6, 60);
    EstimatedTimeLeftLab = LabelAt(LCurrentFile, "EstimatedTimeLeftLab", 6, 76);
    ProgressCurrentFile = BarAt(LCurrentFile, "ProgressCurrentFile", 6, 96);
    LAllFiles = new QGroupBox(this);
    LAllFiles->setObjectName(QStringLiteral("LAllFiles"));
    LAllFiles->setGeometry(136, 162, 319, 67);
    AllDownloading = LabelAt(LAllFiles, "AllDownloading", 6, 16);
    ProgressAllFiles = BarAt(LAllFiles, "ProgressAllFiles", 6, 38);
}

void TupUpdaterWizardForm::BuildFooter()
{
    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setGeometry(10, 238, 447, 2);
    Bevel1->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    QFont aboutFont(QStringLiteral("MS Sans Serif"));
    aboutFont.setPixelSize(12);
    AboutShadow = LabelAt(this, "AboutShadow", 31, 234, 120);
    AboutShadow->setFont(aboutFont);
    AboutShadow->setStyleSheet(QStringLiteral("color: palette(light);"));
    AboutLabel = LabelAt(this, "AboutLabel", 30, 233, 120);
    AboutLabel->setFont(aboutFont);
    AboutLabel->setStyleSheet(QStringLiteral("color: palette(dark); background: transparent;"));
    FinishBtn = new QPushButton(this);
    FinishBtn->setObjectName(QStringLiteral("FinishBtn"));
    FinishBtn->setGeometry(296, 248, 75, 25);
    FinishBtn->setEnabled(false);
    CancelBtn = new QPushButton(this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(380, 248, 75, 25);
    CancelBtn->setDefault(true);
    connect(FinishBtn, &QPushButton::clicked, this, [this] {
        FClosingQuietly = true;
        close();
    });
    connect(CancelBtn, &QPushButton::clicked, this, &QWidget::close);
}

TupUpdaterWizardForm::~TupUpdaterWizardForm()
{
    if (WizardForm == this) WizardForm = nullptr;
}

TupUpdaterWizardForm* TupUpdaterWizardForm::Instance() { return WizardForm; }

TupUpdaterWizardForm* TupUpdaterWizardForm::ShowWizard(TupUpdater* updater)
{
    auto* form = WizardForm ? WizardForm : new TupUpdaterWizardForm;
    form->Updater = updater;
    const QString about = QLatin1Char(' ') + UpResource(40999) + QLatin1Char(' ');
    form->AboutLabel->setText(about);
    form->AboutShadow->setText(about);
    form->setWindowFlag(Qt::WindowStaysOnTopHint, updater && updater->Wizard.StayOnTop);
    const bool ownPicture = updater && !updater->Wizard.Pic118x218.isNull();
    form->Image1->setPixmap(QPixmap::fromImage(ownPicture ? updater->Wizard.Pic118x218 : WizardPicture()));
    form->EstimatedTimeLeftLab->setText(UpText(22));
    form->setWindowTitle(UpText(0));
    form->WizardTitle->setText(UpText(1));
    form->LCurrentFile->setTitle(QLatin1Char(' ') + UpText(3) + QLatin1Char(' '));
    form->LAllFiles->setTitle(QLatin1Char(' ') + UpText(4) + QLatin1Char(' '));
    form->LDownloadingFileFrom->setText(UpText(5));
    form->FinishBtn->setText(UpText(18));
    form->CancelBtn->setText(UpText(17));
    form->show();
    return form;
}

void TupUpdaterWizardForm::SetFile(const QString& url, int number, int count)
{
    FileURL->setText(url);
    AllDownloading->setText(WizardCountLine(number, count));
}

void TupUpdaterWizardForm::SetFileSize(uint32_t bytes) { FileSizeLab->setText(WizardSizeLine(bytes)); }

void TupUpdaterWizardForm::SetProgress(int percent, int totalPercent, float rate, int32_t secondsLeft)
{
    ProgressCurrentFile->setValue(percent);
    ProgressAllFiles->setValue(totalPercent);
    TransferRateLab->setText(WizardRateLine(rate));
    EstimatedTimeLeftLab->setText(WizardTimeLine(secondsLeft));
}

void TupUpdaterWizardForm::Finish()
{
    WizardTitle->setText(UpText(2));
    const QString title = ApplicationTitle(Updater ? Updater->ApplicationPath() : QString());
    AfterNote->setText(DisplayText(UpFormat(10, qUtf8Printable(title))));
    AfterNote->adjustSize();
    AfterNote->resize(319, AfterNote->heightForWidth(319));
    AfterNote->show();
    LCurrentFile->hide();
    LAllFiles->hide();
    CancelBtn->setEnabled(false);
    FinishBtn->setText(UpText(16));
    FinishBtn->setEnabled(true);
    FinishBtn->setFocus();
}

void TupUpdaterWizardForm::Discard()
{
    FClosingQuietly = true;
    close();
}

// The escape key ends up here; it asks like every other close.
void TupUpdaterWizardForm::reject() { close(); }

void TupUpdaterWizardForm::closeEvent(QCloseEvent* event)
{
    if (FClosingQuietly) {
        event->accept();
        WizardForm = WizardForm == this ? nullptr : WizardForm;
        return;
    }
    if (!ConfirmAbort || !ConfirmAbort()) {
        event->ignore();
        return;
    }
    event->accept();
    FClosingQuietly = true;
    WizardForm = WizardForm == this ? nullptr : WizardForm;
    if (Updater) Updater->Abort();
}

#include "upgrade/upUpdaterPassword.h"

#include "upgrade/upTexts.h"
#include "upgrade/upUpdater.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

TupUpdaterPasswordForm* PasswordForm = nullptr;

QLabel* LabelAt(QWidget* parent, const char* name, int x, int y)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);  // names from the server are text, never markup
    label->move(x, y);
    return label;
}

QLineEdit* EditAt(QWidget* parent, const char* name, int x, int y)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setGeometry(x, y, 157, 22);
    return edit;
}

}  // namespace

TupUpdaterPasswordForm::TupUpdaterPasswordForm(QWidget* parent) : QDialog(parent)
{
    PasswordForm = this;
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(12);
    setFont(font);
    resize(297, 141);
    Label1 = LabelAt(this, "Label1", 45, 5);
    Label1->setWordWrap(true);
    BottomPanel = new QWidget(this);
    BottomPanel->setObjectName(QStringLiteral("BottomPanel"));
    UsernameLab = LabelAt(BottomPanel, "UsernameLab", 45, 14);
    PasswordLab = LabelAt(BottomPanel, "PasswordLab", 45, 38);
    UsernameEdit = EditAt(BottomPanel, "UsernameEdit", 122, 10);
    PasswordEdit = EditAt(BottomPanel, "PasswordEdit", 122, 34);
    PasswordEdit->setEchoMode(QLineEdit::Password);
    OKBtn = new QPushButton(BottomPanel);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(114, 68, 75, 23);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(BottomPanel);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(204, 68, 75, 23);
    connect(OKBtn, &QPushButton::clicked, this, [this] {
        StoreEntries();
        accept();
    });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

TupUpdaterPasswordForm::~TupUpdaterPasswordForm()
{
    if (PasswordForm == this) PasswordForm = nullptr;
}

TupUpdaterPasswordForm* TupUpdaterPasswordForm::Instance() { return PasswordForm; }

void TupUpdaterPasswordForm::StoreEntries()
{
    if (!Updater) return;
    Updater->setHTTPUsername(UsernameEdit->text());
    Updater->setHTTPPassword(PasswordEdit->text());
}

void TupUpdaterPasswordForm::Prepare(TupUpdater* updater, const QString& fileName)
{
    Updater = updater;
    const int width = this->width() - Label1->x() - 11;
    Label1->setText(DisplayText(UpFormat(29, qUtf8Printable(fileName))));
    Label1->resize(width, Label1->heightForWidth(width));
    setWindowTitle(UpText(11));
    UsernameLab->setText(UpText(12));
    UsernameLab->adjustSize();
    UsernameEdit->setText(updater ? updater->HTTPUsername() : QString());
    PasswordLab->setText(UpText(13));
    PasswordLab->adjustSize();
    OKBtn->setText(UpText(16));
    CancelBtn->setText(UpText(17));
    const int height = Label1->y() + Label1->height() + 98;
    setFixedSize(297, height);
    BottomPanel->setGeometry(0, height - 98, 297, 98);
}

bool TupUpdaterPasswordForm::AskPassword(TupUpdater* updater, const QString& fileName)
{
    auto* form = PasswordForm ? PasswordForm : new TupUpdaterPasswordForm;
    form->Prepare(updater, fileName);
    return form->exec() == QDialog::Accepted;
}

#include "upgrade/upUpdaterQuestion.h"

#include "upgrade/upTexts.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace {

TupUpdaterQuestionForm* QuestionForm = nullptr;

QFont DialogFont()
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(12);
    return font;
}

}  // namespace

TupUpdaterQuestionForm::TupUpdaterQuestionForm(QWidget* parent) : QDialog(parent)
{
    QuestionForm = this;
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint);
    setFont(DialogFont());
    resize(318, 130);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);  // the server's message is text, never markup
    Label1->setWordWrap(true);
    Label1->move(45, 5);
    Icon = new QLabel(this);
    Icon->setObjectName(QStringLiteral("Icon"));
    Icon->setGeometry(7, 5, 32, 32);
    Icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
    BottomPanel = new QWidget(this);
    BottomPanel->setObjectName(QStringLiteral("BottomPanel"));
    YesBtn = new QPushButton(BottomPanel);
    YesBtn->setObjectName(QStringLiteral("YesBtn"));
    YesBtn->setGeometry(124, 19, 75, 23);
    YesBtn->setDefault(true);
    LaterBtn = new QPushButton(BottomPanel);
    LaterBtn->setObjectName(QStringLiteral("LaterBtn"));
    LaterBtn->setGeometry(213, 19, 75, 23);
    connect(YesBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(LaterBtn, &QPushButton::clicked, this, &QDialog::reject);
}

TupUpdaterQuestionForm::~TupUpdaterQuestionForm()
{
    if (QuestionForm == this) QuestionForm = nullptr;
}

TupUpdaterQuestionForm* TupUpdaterQuestionForm::Instance() { return QuestionForm; }

void TupUpdaterQuestionForm::Prepare(const QString& appTitle, const QString& message)
{
    const QString framed = message.isEmpty() ? message : QLatin1Char('\n') + message + QLatin1Char('\n');
    const int width = this->width() - Label1->x() - 11;
    Label1->setText(DisplayText(UpFormat(23, qUtf8Printable(appTitle), qUtf8Printable(framed))));
    Label1->resize(width, Label1->heightForWidth(width));
    setWindowTitle(UpText(0));
    YesBtn->setText(UpText(14));
    LaterBtn->setText(UpText(19));
    const int height = Label1->y() + Label1->height() + 55;
    setFixedSize(318, height);
    BottomPanel->setGeometry(0, height - 55, 318, 55);
}

bool TupUpdaterQuestionForm::ShowUpgradeQuestion(const QString& appTitle, const QString& message)
{
    auto* form = QuestionForm ? QuestionForm : new TupUpdaterQuestionForm;
    form->Prepare(appTitle, message);
    return form->exec() == QDialog::Accepted;
}

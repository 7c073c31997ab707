#include "app/login.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>

#include "app/ErrorReport.h"
#include "app/Forms.h"
#include "app/Prompter.h"
#include "app/UpdateSettings.h"
#include "app/main.h"
#include "app/overviewwindow.h"
#include "store/DataSet.h"
#include "upgrade/upUpdater.h"

namespace {
QString gExeDir;
QString gUserDir;

TLoginSettings SettingsForNewWindow() {
    QString exe = gExeDir.isEmpty() ? QApplication::applicationDirPath() : gExeDir;
    return gUserDir.isEmpty() ? TLoginSettings(exe) : TLoginSettings(exe, gUserDir);
}
}  // namespace

void SetLoginSettingsDirs(const QString& exeDir, const QString& userDir) {
    gExeDir = exeDir;
    gUserDir = userDir;
}

QString TrimText(const QString& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && s[b].unicode() <= ' ') ++b;
    while (e > b && s[e - 1].unicode() <= ' ') --e;
    return s.mid(b, e - b);
}

bool CheckAccount(store::Connection& c, const QString& user, const QString& password) {
    store::DataSet q(c);
    q.SetSQL("select * from users where username=:user and password=:password");
    q.SetParam("user", user.toStdString());
    q.SetParam("password", password.toStdString());
    q.Open();
    return q.RecordCount() > 0;
}

TForm1::TForm1(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      FSettings(SettingsForNewWindow()),
      FConnection(std::make_unique<store::Connection>()) {
    setObjectName("Form1");
    setWindowTitle(QStringLiteral("用户登录"));
    FUpdater = new TupUpdater(this);
    ApplyUpdateSettings(*FUpdater);
    BuildLayout();
    FormCreate();
}

void TForm1::BuildLayout() {
    auto* label4 = new QLabel(QStringLiteral("默认账号:admin 密码:470913"), this);
    label4->setObjectName("Label4");
    auto* label1 = new QLabel(QStringLiteral("登陆账号:"), this);
    label1->setObjectName("Label1");
    auto* label2 = new QLabel(QStringLiteral("登陆密码:"), this);
    label2->setObjectName("Label2");
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName("Edit2");
    Edit2->setEchoMode(QLineEdit::Password);
    Button1 = new QPushButton(QStringLiteral("登陆"), this);
    Button1->setObjectName("Button1");
    Button1->setFixedSize(75, 66);
    QFont bf = Button1->font();
    bf.setPixelSize(13);
    Button1->setFont(bf);
    Button1->setDefault(true);
    CheckBox1 = new QCheckBox(QStringLiteral("记住密码"), this);
    CheckBox1->setObjectName("CheckBox1");
    CheckBox1->setChecked(true);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(16, 10, 16, 10);
    grid->setHorizontalSpacing(8);
    grid->addWidget(label4, 0, 0, 1, 3);
    grid->addWidget(label1, 1, 0);
    grid->addWidget(Edit1, 1, 1);
    grid->addWidget(label2, 2, 0);
    grid->addWidget(Edit2, 2, 1);
    grid->addWidget(Button1, 1, 2, 2, 1);
    grid->addWidget(CheckBox1, 3, 1);
    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, Button1);
    setTabOrder(Button1, CheckBox1);
    connect(Button1, &QPushButton::clicked, this, [this] { Guarded([this] { Button1Click(); }); });
    connect(Edit2, &QLineEdit::returnPressed, Button1, &QPushButton::click);
    // Enter in the user box goes on to the password, as Tab does.
    connect(Edit1, &QLineEdit::returnPressed, Edit2, [this] { Edit2->setFocus(Qt::TabFocusReason); });
    setFixedSize(sizeHint().expandedTo(QSize(336, 143)));
}

void TForm1::FormCreate() {
    StartUpdateCheck(*FUpdater);
    TLoginValues v = FSettings.Read();
    Edit1->setText(v.user);
    Edit2->setText(v.password);
    CheckBox1->setChecked(v.savePassword);
    // The seller starts typing where something is missing.
    QWidget* first = Edit1->text().isEmpty() ? static_cast<QWidget*>(Edit1)
                     : Edit2->text().isEmpty() ? static_cast<QWidget*>(Edit2)
                                               : static_cast<QWidget*>(Button1);
    first->setFocus(Qt::OtherFocusReason);
}

void TForm1::Button1Click() {
    TLoginValues v{TrimText(Edit1->text()), TrimText(Edit2->text()), CheckBox1->isChecked()};
    try {
        FSettings.Write(v);
    } catch (const std::exception& e) {
        // Not being able to remember the login must not keep the seller out.
        ReportError(e);
    }
    if (!CheckAccount(*FConnection, v.user, v.password)) {
        Prompter().ShowMessage(QStringLiteral("登陆失败!"));
        return;
    }
    Form2->showMaximized();
    hide();
    Guarded([] { ShowStartWindow(); });
}

void TForm1::closeEvent(QCloseEvent* e) {
    e->accept();
    QApplication::quit();
}

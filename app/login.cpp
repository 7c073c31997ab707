#include "app/login.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>

#include "app/Accounts.h"
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

TLoginSettings SettingsForNewWindow()
{
    QString exe = gExeDir.isEmpty() ? QApplication::applicationDirPath() : gExeDir;
    return gUserDir.isEmpty() ? TLoginSettings(exe) : TLoginSettings(exe, gUserDir);
}

bool HoldsDefaultPassword(const std::vector<std::string>& stored)
{
    try {
        for (const std::string& s : stored)
            if (password::Verify(kDefaultPassword, s)) return true;
    } catch (const std::exception&) {
        // No hint is shown when the check cannot be made.
    }
    return false;
}

}  // namespace

void SetLoginSettingsDirs(const QString& exeDir, const QString& userDir)
{
    gExeDir = exeDir;
    gUserDir = userDir;
}

QString TrimText(const QString& s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s[b].unicode() <= ' ') ++b;
    while (e > b && s[e - 1].unicode() <= ' ') --e;
    return s.mid(b, e - b);
}

bool CheckAccount(store::Connection& c, const QString& user, const QString& password)
{
    return TAccounts(c).LogIn(user, password);
}

TForm1::TForm1(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      FSettings(SettingsForNewWindow()),
      FConnection(std::make_unique<store::Connection>())
{
    setObjectName("Form1");
    setWindowTitle(QStringLiteral("用户登录"));
    FUpdater = new TupUpdater(this);
    ApplyUpdateSettings(*FUpdater);
    FWaitTimer = new QTimer(this);
    FWaitTimer->setInterval(200);
    connect(FWaitTimer, &QTimer::timeout, this, &TForm1::ShowWait);
    BuildLayout();
    FormCreate();
}

TForm1::~TForm1()
{
    if (FHintThread) FHintThread->wait();
}

void TForm1::BuildLayout()
{
    Label4 = new QLabel(this);
    Label4->setObjectName("Label4");
    Label4->setMinimumHeight(Label4->fontMetrics().height());
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
    CheckBox1->setToolTip(QStringLiteral("勾选后, 密码以明文保存在设置文件 config.ini 中 (只有当前系统用户能读取),\n"
                                         "下次启动时自动填入。多人共用这台电脑时请不要勾选。"));
    LabelWait = new QLabel(this);
    LabelWait->setObjectName("LabelWait");
    LabelWait->setStyleSheet("color: #c00000;");
    LabelWait->setMinimumHeight(LabelWait->fontMetrics().height());

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(16, 10, 16, 10);
    grid->setHorizontalSpacing(8);
    grid->addWidget(Label4, 0, 0, 1, 3);
    grid->addWidget(label1, 1, 0);
    grid->addWidget(Edit1, 1, 1);
    grid->addWidget(label2, 2, 0);
    grid->addWidget(Edit2, 2, 1);
    grid->addWidget(Button1, 1, 2, 2, 1);
    grid->addWidget(CheckBox1, 3, 1);
    grid->addWidget(LabelWait, 4, 0, 1, 3);
    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, Button1);
    setTabOrder(Button1, CheckBox1);
    connect(Button1, &QPushButton::clicked, this, [this] { Guarded([this] { Button1Click(); }); });
    connect(Edit2, &QLineEdit::returnPressed, Button1, &QPushButton::click);
    // Enter in the user box goes on to the password, as Tab does.
    connect(Edit1, &QLineEdit::returnPressed, Edit2, [this] { Edit2->setFocus(Qt::TabFocusReason); });
    setFixedSize(sizeHint().expandedTo(QSize(336, 143)));
}

void TForm1::FormCreate()
{
    StartUpdateCheck(*FUpdater);
    TLoginValues v = FSettings.Read();
    Edit1->setText(v.user);
    Edit2->setText(v.password);
    CheckBox1->setChecked(v.savePassword);
    // The seller starts typing where something is missing.
    QWidget* first = Edit1->text().isEmpty()   ? static_cast<QWidget*>(Edit1)
                     : Edit2->text().isEmpty() ? static_cast<QWidget*>(Edit2)
                                               : static_cast<QWidget*>(Button1);
    first->setFocus(Qt::OtherFocusReason);
    CheckDefaultHint();
}

// Label4 announces the default account only while it still has the default
// password. A hashed password takes a noticeable moment to check, so that
// check runs beside the window thread and the label follows when it ends.
void TForm1::CheckDefaultHint()
{
    std::vector<std::string> stored;
    try {
        store::Connection c;
        stored = TAccounts(c).Stored(QString::fromUtf8(kDefaultUser));
    } catch (const store::StoreError&) {
        return;  // the login itself will report an unusable database
    }
    auto show = [this] {
        Label4->setText(FDefaultInUse ? QStringLiteral("默认账号:admin 密码:470913") : QString());
        FHintPending = false;
    };
    auto check = [this, stored] { FDefaultInUse = HoldsDefaultPassword(stored); };
    bool hashed = false;
    for (const std::string& s : stored) hashed = hashed || password::IsHashed(s);
    if (!hashed) {
        check();
        return show();
    }
    FHintPending = true;
    FHintThread = QThread::create(check);
    FHintThread->setParent(this);
    connect(FHintThread, &QThread::finished, this, show);
    FHintThread->start();
}

void TForm1::Button1Click()
{
    if (FThrottle.SecondsLeft(TLoginThrottle::Clock::now()) > 0) return;  // the button waits too
    TLoginValues v{TrimText(Edit1->text()), TrimText(Edit2->text()), CheckBox1->isChecked()};
    try {
        FSettings.Write(v);
    } catch (const std::exception& e) {
        // Not being able to remember the login must not keep the seller out.
        ReportError(e);
    }
    if (!CheckAccount(*FConnection, v.user, v.password)) {
        FThrottle.Failed(TLoginThrottle::Clock::now());
        Prompter().ShowMessage(QStringLiteral("登陆失败!"));
        ShowWait();
        return;
    }
    FThrottle.Succeeded();
    FCurrentUser = v.user;
    Form2->showMaximized();
    hide();
    Guarded([] { ShowStartWindow(); });
}

// The button stays disabled, with the seconds left under it, until the
// throttle lets the next try go; a timer counts down, so nothing sleeps.
void TForm1::ShowWait()
{
    int left = FThrottle.SecondsLeft(TLoginThrottle::Clock::now());
    Button1->setEnabled(left == 0);
    LabelWait->setText(
        left == 0 ? QString()
                  : QStringLiteral("已连续 %1 次登陆失败, 请等待 %2 秒后再试。").arg(FThrottle.Failures()).arg(left));
    if (left == 0)
        FWaitTimer->stop();
    else if (!FWaitTimer->isActive())
        FWaitTimer->start();
}

void TForm1::closeEvent(QCloseEvent* e)
{
    e->accept();
    QApplication::quit();
}

#include "app/accountswindow.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "app/Accounts.h"
#include "app/ErrorReport.h"
#include "app/Prompter.h"
#include "app/login.h"

namespace {

QLineEdit* PasswordBox(const char* name, QWidget* parent)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setEchoMode(QLineEdit::Password);
    return e;
}

QPushButton* Button(const QString& text, const char* name, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setMinimumSize(96, 28);
    return b;
}

QString Quoted(const QString& name) { return QStringLiteral("\"") + name + QStringLiteral("\""); }

// The window reads the accounts only now and then; closing its connection
// after each action keeps the file free for a restore of a backup.
class TCloseAfter {
public:
    explicit TCloseAfter(store::Connection& c) : FConn(c) {}
    ~TCloseAfter() { FConn.Close(); }

private:
    store::Connection& FConn;
};

}  // namespace

TAccountsWindow::TAccountsWindow(QWidget* parent) : TForm3(parent)
{
    setObjectName("AccountsWindow");
    auto* title = new QLabel(QStringLiteral("账号管理"), this);
    QFont tf = title->font();
    tf.setPixelSize(16);
    tf.setBold(true);
    title->setFont(tf);
    auto* hint = new QLabel(QStringLiteral("密码加密后保存在数据库中。标为\"明文\"的账号是旧数据库中的账号, "
                                           "下次登录或修改密码时加密。"),
                            this);
    hint->setWordWrap(true);
    List = new QTableWidget(0, 2, this);
    List->setObjectName("List");
    List->setHorizontalHeaderLabels({QStringLiteral("账号"), QStringLiteral("密码保存方式")});
    List->setSelectionBehavior(QAbstractItemView::SelectRows);
    List->setSelectionMode(QAbstractItemView::SingleSelection);
    List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List->horizontalHeader()->setStretchLastSection(true);
    List->verticalHeader()->hide();
    List->setColumnWidth(0, 180);
    DeleteButton = Button(QStringLiteral("删除账号"), "DeleteButton", this);

    auto* left = new QVBoxLayout;
    left->addWidget(List, 1);
    auto* del = new QHBoxLayout;
    del->addWidget(DeleteButton);
    del->addStretch();
    left->addLayout(del);
    auto* right = new QVBoxLayout;
    right->addWidget(BuildAddBox());
    right->addWidget(BuildChangeBox());
    right->addStretch();
    auto* body = new QHBoxLayout;
    body->addLayout(left, 1);
    body->addLayout(right);
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(12, 8, 12, 12);
    lay->addWidget(title);
    lay->addWidget(hint);
    lay->addLayout(body, 1);

    connect(List, &QTableWidget::itemSelectionChanged, this, &TAccountsWindow::SelectionChanged);
    connect(AddButton, &QPushButton::clicked, this, [this] { Guarded([this] { AddClick(); }); });
    connect(ChangeButton, &QPushButton::clicked, this, [this] { Guarded([this] { ChangeClick(); }); });
    connect(DeleteButton, &QPushButton::clicked, this, [this] { Guarded([this] { DeleteClick(); }); });
}

QGroupBox* TAccountsWindow::BuildAddBox()
{
    auto* box = new QGroupBox(QStringLiteral("新增账号"), this);
    EditName = new QLineEdit(box);
    EditName->setObjectName("EditName");
    EditPassword = PasswordBox("EditPassword", box);
    EditPassword2 = PasswordBox("EditPassword2", box);
    AddButton = Button(QStringLiteral("新增账号"), "AddButton", box);
    auto* form = new QFormLayout(box);
    form->addRow(QStringLiteral("账号名称:"), EditName);
    form->addRow(QStringLiteral("密码:"), EditPassword);
    form->addRow(QStringLiteral("再次输入密码:"), EditPassword2);
    form->addRow(QString(), AddButton);
    box->setMinimumWidth(300);
    return box;
}

QGroupBox* TAccountsWindow::BuildChangeBox()
{
    auto* box = new QGroupBox(QStringLiteral("修改密码"), this);
    LabelAccount = new QLabel(box);
    LabelAccount->setObjectName("LabelAccount");
    EditOldPassword = PasswordBox("EditOldPassword", box);
    EditNewPassword = PasswordBox("EditNewPassword", box);
    EditNewPassword2 = PasswordBox("EditNewPassword2", box);
    ChangeButton = Button(QStringLiteral("修改密码"), "ChangeButton", box);
    auto* form = new QFormLayout(box);
    form->addRow(QStringLiteral("账号:"), LabelAccount);
    form->addRow(QStringLiteral("原密码:"), EditOldPassword);
    form->addRow(QStringLiteral("新密码:"), EditNewPassword);
    form->addRow(QStringLiteral("再次输入新密码:"), EditNewPassword2);
    form->addRow(QString(), ChangeButton);
    return box;
}

void TAccountsWindow::SetLoggedIn(const QString& name)
{
    FLoggedIn = name;
    if (WasShown()) Reload();
}

void TAccountsWindow::showEvent(QShowEvent* e)
{
    TForm3::showEvent(e);
    Guarded([this] { Reload(); });
}

void TAccountsWindow::Reload()
{
    TCloseAfter done(ADOConnection1());
    QString keep = SelectedName();
    if (keep.isEmpty()) keep = FLoggedIn;
    auto rows = TAccounts(ADOConnection1()).List();
    List->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const TAccountRow& a = rows[static_cast<size_t>(r)];
        QString shown = a.name == FLoggedIn ? a.name + QStringLiteral("  (当前登录)") : a.name;
        auto* item = new QTableWidgetItem(shown);
        item->setData(Qt::UserRole, a.name);
        List->setItem(r, 0, item);
        List->setItem(r, 1,
                      new QTableWidgetItem(a.hashed ? QStringLiteral("已加密")
                                                    : QStringLiteral("明文 (下次登录时加密)")));
    }
    SelectAccount(keep);
    SelectionChanged();
}

void TAccountsWindow::SelectAccount(const QString& name)
{
    for (int r = 0; r < List->rowCount(); ++r)
        if (List->item(r, 0)->data(Qt::UserRole).toString() == name) return List->selectRow(r);
    List->clearSelection();
}

QString TAccountsWindow::SelectedName() const
{
    const auto rows = List->selectionModel()->selectedRows();
    return rows.isEmpty() ? QString() : List->item(rows.first().row(), 0)->data(Qt::UserRole).toString();
}

void TAccountsWindow::SelectionChanged()
{
    QString name = SelectedName();
    bool own = !name.isEmpty() && name == FLoggedIn;
    LabelAccount->setText(name.isEmpty() ? QStringLiteral("(请在左边的列表中选择账号)") : name);
    EditOldPassword->setEnabled(own);
    EditOldPassword->setPlaceholderText(own ? QString() : QStringLiteral("修改其他账号的密码时不需要"));
    if (!own) EditOldPassword->clear();
    ChangeButton->setEnabled(!name.isEmpty());
    DeleteButton->setEnabled(!name.isEmpty());
}

template <typename F> bool TAccountsWindow::Try(F&& action)
{
    try {
        action();
        return true;
    } catch (const TAccountError& e) {
        Prompter().ShowMessage(QString::fromUtf8(e.what()));
        return false;
    }
}

void TAccountsWindow::AddClick()
{
    TCloseAfter done(ADOConnection1());
    TAccounts accounts(ADOConnection1());
    if (!Try([&] { accounts.Add(EditName->text(), EditPassword->text(), EditPassword2->text()); })) return;
    QString name = TrimText(EditName->text());
    for (QLineEdit* e : {EditName, EditPassword, EditPassword2}) e->clear();
    List->clearSelection();
    Reload();
    SelectAccount(name);
    Prompter().Information(QStringLiteral("账号 %1 已新增。").arg(Quoted(name)));
}

void TAccountsWindow::ChangeClick()
{
    QString name = SelectedName();
    TCloseAfter done(ADOConnection1());
    TAccounts accounts(ADOConnection1());
    if (!Try([&] {
            accounts.ChangePassword(name, FLoggedIn, EditOldPassword->text(), EditNewPassword->text(),
                                    EditNewPassword2->text());
        }))
        return;
    for (QLineEdit* e : {EditOldPassword, EditNewPassword, EditNewPassword2}) e->clear();
    Reload();
    Prompter().Information(QStringLiteral("账号 %1 的密码已修改。").arg(Quoted(name)));
}

void TAccountsWindow::DeleteClick()
{
    QString name = SelectedName();
    if (name.isEmpty()) return;
    if (!Prompter().AskYesNo(QStringLiteral("是否删除账号 %1?").arg(Quoted(name)))) return;
    TCloseAfter done(ADOConnection1());
    if (!Try([&] { TAccounts(ADOConnection1()).Remove(name, FLoggedIn); })) return;
    List->clearSelection();
    Reload();
    Prompter().Information(QStringLiteral("账号 %1 已删除。").arg(Quoted(name)));
}

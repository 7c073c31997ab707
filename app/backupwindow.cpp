#include "app/backupwindow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QShortcut>
#include <QVBoxLayout>
#include <cmath>

#include "app/BackupSettings.h"
#include "app/ErrorReport.h"
#include "app/Prompter.h"
#include "app/Safety.h"
#include "store/Backup.h"
#include "store/Connection.h"

namespace {

QString ReasonText(const std::string& r)
{
    if (r == "delete-all") return QStringLiteral("删除全部商品之前");
    if (r == "import") return QStringLiteral("导入商品之前");
    if (r == "upgrade") return QStringLiteral("升级之前");
    if (r == "daily") return QStringLiteral("每日备份");
    if (r == "manual") return QStringLiteral("手动备份");
    if (r == "before-restore") return QStringLiteral("恢复之前");
    return QString::fromStdString(r);
}

QString Count(std::int64_t n) { return n < 0 ? QStringLiteral("无法读取") : QString::number(n); }

constexpr double kMBPerGB = 1024;

QDoubleSpinBox* MakeBudgetBox(QWidget* parent)
{
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName("BudgetBox");
    box->setRange(0, 1024);
    box->setDecimals(1);
    box->setSingleStep(0.5);
    box->setSuffix(QStringLiteral(" GB"));
    box->setSpecialValueText(QStringLiteral("自动"));
    box->setToolTip(QStringLiteral("备份最多占用的磁盘空间。设为 0 (自动) 时取 2 GB 与可用空间的 10% 中较小者。"));
    box->setValue(static_cast<double>(ReadBackupBudgetMB(BackupSettingsFile(false))) / kMBPerGB);
    return box;
}

}  // namespace

TBackupWindow::TBackupWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName("BackupWindow");
    setWindowTitle(QStringLiteral("数据备份"));
    resize(640, 420);
    auto* hint =
        new QLabel(QStringLiteral("删除全部商品、导入商品和升级之前, 以及每天第一次启动时, 程序都会自动备份数据库。"),
                   this);
    hint->setWordWrap(true);
    List = new QTableWidget(0, 5, this);
    List->setObjectName("List");
    List->setHorizontalHeaderLabels({QStringLiteral("备份时间"), QStringLiteral("原因"), QStringLiteral("商品数"),
                                     QStringLiteral("销售记录数"), QStringLiteral("大小")});
    List->setSelectionBehavior(QAbstractItemView::SelectRows);
    List->setSelectionMode(QAbstractItemView::SingleSelection);
    List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List->horizontalHeader()->setStretchLastSection(true);
    List->verticalHeader()->hide();
    List->setColumnWidth(0, 160);
    List->setColumnWidth(1, 150);
    RestoreButton = new QPushButton(QStringLiteral("恢复"), this);
    RestoreButton->setObjectName("RestoreButton");
    BackupButton = new QPushButton(QStringLiteral("立即备份"), this);
    BackupButton->setObjectName("BackupButton");
    CloseButton = new QPushButton(QStringLiteral("关闭"), this);
    CloseButton->setObjectName("CloseButton");
    UsageLabel = new QLabel(this);
    UsageLabel->setObjectName("UsageLabel");
    UsageLabel->setWordWrap(true);
    BudgetBox = MakeBudgetBox(this);
    BudgetButton = new QPushButton(QStringLiteral("保存上限"), this);
    BudgetButton->setObjectName("BudgetButton");
    auto* budget = new QHBoxLayout;
    budget->addWidget(new QLabel(QStringLiteral("备份最多占用:"), this));
    budget->addWidget(BudgetBox);
    budget->addWidget(BudgetButton);
    budget->addStretch(1);
    auto* folder =
        new QLabel(QStringLiteral("备份位置: %1")
                       .arg(QString::fromStdString(store::BackupManager(store::Connection().Address()).Folder())),
                   this);
    folder->setObjectName("FolderLabel");
    folder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(folder, 1);
    buttons->addWidget(BackupButton);
    buttons->addWidget(RestoreButton);
    buttons->addWidget(CloseButton);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(hint);
    lay->addWidget(List, 1);
    lay->addWidget(UsageLabel);
    lay->addLayout(budget);
    lay->addLayout(buttons);
    connect(RestoreButton, &QPushButton::clicked, this, [this] { Guarded([this] { RestoreSelected(); }); });
    connect(BackupButton, &QPushButton::clicked, this, [this] { Guarded([this] { BackupNow(); }); });
    connect(BudgetButton, &QPushButton::clicked, this, [this] { Guarded([this] { SaveBudget(); }); });
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::close);
    // Esc closes the window wherever the focus is (the list keeps Esc for itself otherwise).
    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    esc->setContext(Qt::WindowShortcut);
    connect(esc, &QShortcut::activated, this, &QDialog::close);
    connect(List, &QTableWidget::itemSelectionChanged, this,
            [this] { RestoreButton->setEnabled(!List->selectedItems().isEmpty()); });
}

void TBackupWindow::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    Guarded([this] { Reload(); });
}

void TBackupWindow::Reload()
{
    store::BackupManager backups = SellerBackups();
    auto list = backups.List();
    List->setRowCount(static_cast<int>(list.size()));
    for (int r = 0; r < static_cast<int>(list.size()); ++r) {
        const auto& b = list[static_cast<size_t>(r)];
        auto* first = new QTableWidgetItem(QString::fromStdString(b.stamp));
        first->setData(Qt::UserRole, QString::fromStdString(b.path));
        List->setItem(r, 0, first);
        List->setItem(r, 1, new QTableWidgetItem(ReasonText(b.reason)));
        List->setItem(r, 2, new QTableWidgetItem(Count(b.goods)));
        List->setItem(r, 3, new QTableWidgetItem(Count(b.salesLines)));
        List->setItem(r, 4, new QTableWidgetItem(SizeText(b.bytes)));
    }
    RestoreButton->setEnabled(false);
    UsageLabel->setText(BackupUsageText(backups));
}

void TBackupWindow::RestoreSelected()
{
    int row = List->currentRow();
    if (row < 0 || !List->item(row, 0)) return;
    QString path = List->item(row, 0)->data(Qt::UserRole).toString();
    QString stamp = List->item(row, 0)->text();
    if (!Prompter().AskYesNo(
            QStringLiteral("是否把数据库恢复到 %1 的备份?\n当前的数据会先备份, 之后仍可恢复。").arg(stamp)))
        return;
    RestoreBackup(path.toStdString());
    Reload();
    Prompter().Information(QStringLiteral("数据库已恢复到 %1 的备份。").arg(stamp));
}

void TBackupWindow::BackupNow()
{
    std::string path = BackupBefore("manual");
    Reload();
    Prompter().Information(QStringLiteral("备份完成: %1").arg(QString::fromStdString(path)));
}

void TBackupWindow::SaveBudget()
{
    WriteBackupBudgetMB(BackupSettingsFile(true),
                        static_cast<std::uint64_t>(std::llround(BudgetBox->value() * kMBPerGB)));
    store::BackupManager backups = SellerBackups();
    std::uintmax_t used = backups.UsedBytes();
    if (used > backups.Budget() &&
        Prompter().AskYesNo(
            QStringLiteral("现有备份共占用 %1, 超过新的上限 %2。\n是否现在删除较旧的备份? 最新的三个备份总会保留。\n"
                           "选 \"否\" 则在下次备份时删除。")
                .arg(SizeText(used), SizeText(backups.Budget()))))
        backups.Prune();
    Reload();
}

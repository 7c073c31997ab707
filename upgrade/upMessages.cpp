#include "upgrade/upMessages.h"

namespace {

const char Unchanged[] = "程序保持原样, 没有安装任何更新。";

QString WithDetail(const QString& text, const QString& detail)
{
    return text + QStringLiteral("\n\n(") + detail + QLatin1Char(')');
}

}  // namespace

QString RefusedInfoMessage(TupInfoRefusal why, const QString& detail)
{
    QString what;
    switch (why) {
    case irUnsigned: what = QStringLiteral("更新服务器上的更新信息没有签名, 无法确认来自软件提供者。"); break;
    case irBadSignature: what = QStringLiteral("更新服务器上的更新信息签名不正确, 可能已被篡改。"); break;
    case irTooManyEntries: what = QStringLiteral("更新信息列出的文件过多, 不像是正常的更新。"); break;
    case irNoChecksum: what = QStringLiteral("更新信息缺少文件的大小或校验值, 无法检查下载的文件。"); break;
    case irForeignHost: what = QStringLiteral("更新信息要求从另一台服务器下载文件, 已拒绝。"); break;
    case irNone: break;
    }
    return WithDetail(what + QString::fromUtf8(Unchanged) + QStringLiteral("请联系软件提供者。"), detail);
}

QString InfoFileTooLargeMessage()
{
    return WithDetail(QStringLiteral("更新服务器发来的更新信息过大, 已停止接收。") + QString::fromUtf8(Unchanged) +
                          QStringLiteral("请联系软件提供者。"),
                      QStringLiteral("more than %1 bytes").arg(MaxInfoFileSize));
}

QString FileMismatchMessage(const QString& fileName, const QString& detail)
{
    return WithDetail(QStringLiteral("下载的文件 \"%1\" 与更新信息不符, 已删除。").arg(fileName) +
                          QString::fromUtf8(Unchanged) + QStringLiteral("请稍后再试; 如果一再出现, 请联系软件提供者。"),
                      detail);
}

QString FileNotWrittenMessage(const QString& path, const QString& detail)
{
    return WithDetail(QStringLiteral("无法在程序文件夹中保存下载的文件, 更新已停止。") + QString::fromUtf8(Unchanged) +
                          QStringLiteral("请检查程序文件夹的权限和磁盘空间后再试。"),
                      path + QStringLiteral(": ") + detail);
}

QString UntrustedFolderMessage(const QString& detail)
{
    return WithDetail(QStringLiteral("程序文件夹属于其他用户或可被其他用户修改, 在这里更新不安全, 更新已停止。") +
                          QString::fromUtf8(Unchanged) + QStringLiteral("请让管理员修正文件夹的所有者和权限。"),
                      detail);
}

QString ReplacerNotStartedMessage(const QString& detail)
{
    return WithDetail(QStringLiteral("无法启动替换程序, 新版本没有安装, 程序继续运行。请检查临时文件夹的权限后再试。"),
                      detail);
}

QString RolledBackMessage(const QString& detail)
{
    return WithDetail(QStringLiteral("上次的更新没有完成, 已恢复为原来的版本, 程序可以照常使用。请稍后再试; "
                                     "如果一再出现, 请联系软件提供者。"),
                      detail);
}

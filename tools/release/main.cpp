// tallybrook-release: publishes a release for the program's update check.
//   keygen KEYFILE      a new private key (hex, mode 0600); prints the public
//                       key for the CMake setting TALLYBROOK_UPDATE_PUBLIC_KEY
//   write KEYFILE BASE DATE [--version V] [--message M] [--method N] FILE...
//                       the signed information file on standard output: each
//                       FILE as BASE/<its name>, with its size and SHA-256
//   sign KEYFILE INFOFILE
//                       signs a hand-written information file in place
#include "tools/release/ReleaseInfo.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: tallybrook-release keygen KEYFILE\n"
                         "       tallybrook-release write KEYFILE BASE-URL MM/DD/YYYY [--version V] [--message M]"
                         " [--method N] FILE...\n"
                         "       tallybrook-release sign KEYFILE INFOFILE\n");
    return 2;
}

QByteArray ReadSeed(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QByteArray();
    return QByteArray::fromHex(file.readAll().trimmed());
}

int KeyGen(const QString& path)
{
    const QByteArray seed = release::NewSeed();
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
    const QByteArray text = seed.toHex() + "\n";
    if (seed.isEmpty() || fd < 0 || ::write(fd, text.constData(), text.size()) != text.size()) {
        std::fprintf(stderr, "cannot write a new key to %s (it must not exist yet)\n", qUtf8Printable(path));
        return 1;
    }
    ::close(fd);
    std::printf("%s\n", release::PublicKeyOf(seed).toHex().constData());
    return 0;
}

int Write(const QByteArray& seed, QStringList args)
{
    release::ReleaseInfo info;
    QString base = args.takeFirst();
    info.Date = args.takeFirst();
    while (!args.isEmpty()) {
        const QString arg = args.takeFirst();
        if (arg.startsWith(QLatin1String("--")) && args.isEmpty()) return Usage();
        if (arg == QLatin1String("--version"))
            info.Version = args.takeFirst();
        else if (arg == QLatin1String("--message"))
            info.Message = args.takeFirst();
        else if (arg == QLatin1String("--method"))
            info.Method = args.takeFirst().toInt();
        else {
            QFile file(arg);
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qUtf8Printable(arg));
                return 1;
            }
            const QString url = (base.endsWith('/') ? base : base + '/') + QFileInfo(arg).fileName();
            info.Files << release::Describe(url, file.readAll());
        }
    }
    const QByteArray signedText = release::Sign(release::WriteInfo(info), seed);
    if (signedText.isEmpty() || info.Message.contains('}')) return Usage();
    std::fwrite(signedText.constData(), 1, static_cast<size_t>(signedText.size()), stdout);
    return 0;
}

int SignFile(const QByteArray& seed, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return Usage();
    const QByteArray signedText = release::Sign(file.readAll(), seed);
    file.close();
    if (signedText.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(signedText) != signedText.size()) {
        std::fprintf(stderr, "cannot sign %s\n", qUtf8Printable(path));
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    if (args.size() == 2 && args[0] == QLatin1String("keygen")) return KeyGen(args[1]);
    if (args.size() < 3) return Usage();
    const QString command = args.takeFirst();
    const QByteArray seed = ReadSeed(args.takeFirst());
    if (seed.size() != 32) {
        std::fprintf(stderr, "the key file does not hold a 64-digit hex key\n");
        return 1;
    }
    if (command == QLatin1String("sign") && args.size() == 1) return SignFile(seed, args[0]);
    if (command == QLatin1String("write") && args.size() >= 2) return Write(seed, args);
    return Usage();
}

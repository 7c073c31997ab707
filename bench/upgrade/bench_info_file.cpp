// Times how the update check reads a 1 MB information file (the largest it
// accepts): the signature check, decoding, the one-pass key index, the
// download list with its 300 entries and their sizes and hashes. Peers run
// in the same go: decoding alone (what any reader must do) and the plain
// search per key that the reader replaced, which lowers the whole text once
// per lookup.
#include "tools/release/ReleaseInfo.h"
#include "upgrade/upSignature.h"
#include "upgrade/upUtils.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The fastest of Times runs: the machine these run on is shared, and a
// run that another process interrupted says nothing about the reader.
double Best(const std::function<void()>& run, int times = 15)
{
    std::vector<double> ms;
    for (int i = 0; i < times; ++i) {
        const auto from = Clock::now();
        run();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - from).count());
    }
    return *std::min_element(ms.begin(), ms.end());
}

// 300 files with sizes and hashes, and a message that fills the file to 1 MB.
QByteArray ReleaseOfOneMegabyte(const QByteArray& seed)
{
    release::ReleaseInfo info;
    info.Date = QStringLiteral("10/21/2013");
    for (int i = 0; i < MaxInfoEntries; ++i)
        info.Files << release::Describe(QStringLiteral("https://update.example/files/part%1.bin").arg(i),
                                        QByteArray::number(i));
    const qsizetype listed = release::WriteInfo(info).size();
    info.Message = QString(MaxInfoFileSize - listed - 200, QLatin1Char('x'));
    return release::Sign(release::WriteInfo(info), seed);
}

// The reader as it was: every lookup lowers and searches the whole text.
QStringList PlainSearchList(const QString& text)
{
    auto value = [&text](const QString& key) {
        QString lower = text;
        for (QChar& c : lower)
            if (c >= 'A' && c <= 'Z') c = QChar(c.unicode() + 32);
        const qsizetype at = lower.indexOf(QLatin1Char('#') + key + QLatin1Char('='));
        if (at < 0) return QString();
        qsizetype end = at + key.size() + 2;
        while (end < text.size() && text[end].unicode() >= 32) ++end;
        return text.mid(at + key.size() + 2, end - at - key.size() - 2);
    };
    QStringList list{value(QStringLiteral("url"))};
    for (int n = 2; !value(QStringLiteral("url%1").arg(n)).isEmpty(); ++n) {
        list << value(QStringLiteral("url%1").arg(n));
        value(QStringLiteral("url%1-size").arg(n));
        value(QStringLiteral("url%1-sha256").arg(n));
    }
    return list;
}

}  // namespace

int main()
{
    const QByteArray seed = release::NewSeed();
    const QByteArray file = ReleaseOfOneMegabyte(seed);
    const TupVersionInfo running{byDate, QStringLiteral("10/20/2013"), QString()};
    const TupInfoTrust trust{release::PublicKeyOf(seed), QStringLiteral("https://update.example/update.inf")};
    TupInfoOutcome outcome;
    const double full = Best([&] { outcome = ProcessInfoFile(file, running, trust); });
    if (outcome.Refusal != irNone || outcome.Files.size() != MaxInfoEntries) {
        std::fprintf(stderr, "the benchmark file was not accepted (%d)\n", static_cast<int>(outcome.Refusal));
        return 1;
    }
    const double decode = Best([&] { DecodeInfoFile(file); });
    const double verify = Best([&] { VerifyInfoSignature(file, trust.PublicKey); });
    const QString text = DecodeInfoFile(file);
    const double plain = Best([&] { PlainSearchList(text); }, 3);
    std::printf("information file of %lld bytes, %d files\n", static_cast<long long>(file.size()),
                static_cast<int>(outcome.Files.size()));
    std::printf("read and checked (signature, decoding, index, list): %8.2f ms\n", full);
    std::printf("  of which signature check:                          %8.2f ms\n", verify);
    std::printf("peer: decoding alone:                                %8.2f ms  (read/decode %.2f)\n", decode,
                full / decode);
    std::printf("peer: plain search per key, list only:               %8.2f ms  (plain/read %.1f)\n", plain,
                plain / full);
    // The index's worst case: nothing but distinct keys, about 100,000 of them.
    QByteArray keys = "\xEF\xBB\xBF";
    for (int n = 0; keys.size() < MaxInfoFileSize - 16; ++n) keys += "#k" + QByteArray::number(n) + "=v\n";
    const double index = Best([&] { TupInfoReader(DecodeInfoFile(keys)).Value(QStringLiteral("url")); });
    const double keysDecode = Best([&] { DecodeInfoFile(keys); });
    std::printf("1 MB of distinct keys, decoded and indexed:          %8.2f ms  (decoding alone %.2f ms)\n", index,
                keysDecode);
    return 0;
}

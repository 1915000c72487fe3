// Loads a 64 KB Intel HEX file through the window's load path and prints the median time beside
// srec_cat converting the same file to binary (when srec_cat is installed).

#include "support/image_rig.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    auto settings = use_throwaway_settings();
    QTemporaryDir dir;
    const QByteArray data = HexText::pattern(0x10000, 42);
    const QString hex = HexText::write(dir, QStringLiteral("image64k.hex"), HexText::file(0, data, 16, "\r\n"));
    const int runs = 15;

    std::vector<double> ours;
    for (int i = 0; i < runs; ++i) {
        ImageRig rig(QStringLiteral("ZVK7H64B"));
        QElapsedTimer t;
        t.start();
        const bool ok = rig.load(hex);
        ours.push_back(t.nsecsElapsed() / 1e6);
        if (!ok || !rig.dialogs.messages.isEmpty() ||
            QByteArray(reinterpret_cast<const char*>(rig.image.program_buffer.data()), 0x10000) != data) {
            std::fprintf(stderr, "bench_hex_load: the load went wrong\n");
            return 1;
        }
    }
    std::printf("64 KB HEX (%lld bytes, 4096 records) load, median of %d: %.2f ms\n",
                static_cast<long long>(QFileInfo(hex).size()), runs, median(ours));

    if (QStandardPaths::findExecutable(QStringLiteral("srec_cat")).isEmpty()) {
        std::printf("srec_cat: not installed\n");
        return 0;
    }
    std::vector<double> theirs;
    for (int i = 0; i < runs; ++i) {
        QProcess p;
        QElapsedTimer t;
        t.start();
        p.start(QStringLiteral("srec_cat"), {hex, QStringLiteral("-intel"), QStringLiteral("-o"),
                                             dir.filePath(QStringLiteral("out.bin")), QStringLiteral("-binary")});
        p.waitForFinished(60000);
        theirs.push_back(t.nsecsElapsed() / 1e6);
        if (p.exitCode() != 0) {
            std::fprintf(stderr, "bench_hex_load: srec_cat failed\n");
            return 1;
        }
    }
    const double ours_ms = median(ours);
    const double theirs_ms = median(theirs);
    std::printf("srec_cat -intel -o out -binary, median of %d: %.2f ms (process start included)\n", runs, theirs_ms);
    std::printf("ratio ours / srec_cat: %.2f -> %s\n", ours_ms / theirs_ms,
                ours_ms <= theirs_ms ? "not slower" : "SLOWER");
    return 0;
}

// Cross-check of the HEX loader against srec_cat on HEX files that sdcc makes from small 8051
// programs (tests/data/*.c, the .ihx beside them are checked in): the buffer must equal srec_cat's
// binary of the same file, for either fill byte.

#include "support/image_rig.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

namespace {
const QString kData = QStringLiteral(ZVKISP_SOURCE_DIR "/tests/data");

bool run(const QString& program, const QStringList& args, const QString& dir, QString* output)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(120000)) {
        *output = QStringLiteral("timed out");
        return false;
    }
    *output = QString::fromLocal8Bit(p.readAll());
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// srec_cat's binary image of the whole 64 KB flash with `fill` in the gaps.
QByteArray srec_image(const QString& ihx, int fill, const QString& dir)
{
    const QString out = QDir(dir).filePath(QStringLiteral("srec.bin"));
    QString log;
    const bool ok = run(QStringLiteral("srec_cat"),
                        {ihx, QStringLiteral("-intel"), QStringLiteral("-fill"), QStringLiteral("0x%1").arg(fill, 2, 16, QLatin1Char('0')),
                         QStringLiteral("0x0000"), QStringLiteral("0x10000"), QStringLiteral("-o"), out, QStringLiteral("-binary")},
                        dir, &log);
    if (!ok)
        qWarning("srec_cat: %s", qPrintable(log));
    QFile f(out);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

QByteArray our_image(const QString& ihx, int fill, QString* messages)
{
    ImageRig rig(QStringLiteral("ZVK7H64B"));   // the whole 64 KB is application flash
    rig.image.fill_ff = fill == 0xFF;
    rig.load(ihx);
    *messages = rig.dialogs.texts().join(QLatin1Char('|'));
    return QByteArray(reinterpret_cast<const char*>(rig.image.program_buffer.data()), 0x10000);
}
} // namespace

class TestSrecCrosscheck : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        settings_dir_ = use_throwaway_settings();
        if (QStandardPaths::findExecutable(QStringLiteral("srec_cat")).isEmpty())
            QSKIP("srec_cat (Debian package srecord) is not installed");
    }
    void checked_in_files_data()
    {
        QTest::addColumn<QString>("ihx");
        QTest::addColumn<int>("fill");
        const QStringList files = QDir(kData).entryList({QStringLiteral("*.ihx")}, QDir::Files, QDir::Name);
        for (const QString& f : files)
            for (int fill : {0x00, 0xFF})
                QTest::newRow(qPrintable(QStringLiteral("%1 fill %2").arg(f).arg(fill, 2, 16, QLatin1Char('0'))))
                    << QDir(kData).filePath(f) << fill;
    }
    void checked_in_files()
    {
        QFETCH(QString, ihx);
        QFETCH(int, fill);
        QTemporaryDir dir;
        QString messages;
        const QByteArray ours = our_image(ihx, fill, &messages);
        QVERIFY2(messages.isEmpty(), qPrintable(messages));
        const QByteArray theirs = srec_image(ihx, fill, dir.path());
        QCOMPARE(theirs.size(), 0x10000);
        QVERIFY(ours.count(char(fill)) < 0x10000);   // something was loaded
        QCOMPARE(ours, theirs);
    }
    void fresh_sdcc_output_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QStringList>("flags");
        QTest::newRow("blink") << QStringLiteral("blink.c") << QStringList{};
        QTest::newRow("table") << QStringLiteral("table.c") << QStringList{};
        QTest::newRow("timer_isr at 1000") << QStringLiteral("timer_isr.c")
                                           << QStringList{QStringLiteral("--code-loc"), QStringLiteral("0x1000")};
    }
    void fresh_sdcc_output()
    {
        QFETCH(QString, source);
        QFETCH(QStringList, flags);
        if (QStandardPaths::findExecutable(QStringLiteral("sdcc")).isEmpty())
            QSKIP("sdcc is not installed");
        QTemporaryDir dir;
        const QString base = QFileInfo(source).completeBaseName();
        QString log;
        QVERIFY2(run(QStringLiteral("sdcc"),
                     QStringList{QStringLiteral("-mmcs51"), QStringLiteral("--code-size"), QStringLiteral("0x3000")} + flags +
                         QStringList{QDir(kData).filePath(source), QStringLiteral("-o"), base + QStringLiteral(".ihx")},
                     dir.path(), &log),
                 qPrintable(log));
        const QString ihx = dir.filePath(base + QStringLiteral(".ihx"));
        for (int fill : {0x00, 0xFF}) {
            QString messages;
            const QByteArray ours = our_image(ihx, fill, &messages);
            QVERIFY2(messages.isEmpty(), qPrintable(messages));
            QCOMPARE(ours, srec_image(ihx, fill, dir.path()));
        }
    }

private:
    std::unique_ptr<QTemporaryDir> settings_dir_;
};

QTEST_GUILESS_MAIN(TestSrecCrosscheck)
#include "test_srec_crosscheck.moc"

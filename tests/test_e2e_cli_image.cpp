// zvkisp-cli dump and store: the dump of the whole used range on standard output, the loader's
// messages on standard error, the exit status, and the store's checks and output file.

#include "support/image_rig.h"

#include <QProcess>
#include <QtTest>

namespace {
struct Run {
    int code = -1;
    QString out;
    QString err;
};

Run cli(const QStringList& args)
{
    QProcess p;
    p.start(qEnvironmentVariable("ZVKISP_CLI"), args);
    Run r;
    if (!p.waitForFinished(60000))
        return r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}
} // namespace

class TestE2eCliImage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void dump_whole_range();
    void dump_messages_and_status_data();
    void dump_messages_and_status();
    void store_range();
    void store_refused_data();
    void store_refused();
};

void TestE2eCliImage::initTestCase()
{
    if (qEnvironmentVariable("ZVKISP_CLI").isEmpty())
        QSKIP("ZVKISP_CLI is not set");
}

void TestE2eCliImage::dump_whole_range()
{
    QTemporaryDir dir;
    QByteArray data(0x25, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = char(0x10 + i);
    const QString hex = HexText::write(dir, QStringLiteral("a.hex"), HexText::file(0, data));
    const Run r = cli({QStringLiteral("dump"), hex, QStringLiteral("--model"), QStringLiteral("ZVK7H64B"),
                       QStringLiteral("--start"), QStringLiteral("7FF8")});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.err, QString());
    QCOMPARE(r.out, QStringLiteral("\n\n"
                                   " 007FF0   00 00 00 00 00 00 00 00 10 11 12 13 14 15 16 17 \n"
                                   " 008000   18 19 1A 1B 1C 1D 1E 1F 20 21 22 23 24 25 26 27 \n"
                                   " 008010   28 29 2A 2B 2C 2D 2E 2F 30 31 32 33 34 \n"));
    const Run exact = cli({QStringLiteral("dump"), hex, QStringLiteral("--model"), QStringLiteral("ZVK7H64B"),
                           QStringLiteral("--crlf")});
    QVERIFY(exact.out.startsWith(QStringLiteral("\r\n\r\n 000000   10 11 ")));
}

void TestE2eCliImage::dump_messages_and_status_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("model");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("data flash warning")
        << HexText::file(0x1000, QByteArray(16, '\x01')) << "ZVK7H04A" << 0 << "Data Memory contain procedure or datas.";
    QTest::newRow("broken record") << QByteArray(":020000000102FB\r\n:020000000102FB\r\n:0200\r\nxx\r\n") << "ZVK7H64B" << 1
                                   << "HEX file is error.\nFile is error.";
    QTest::newRow("unknown model") << HexText::file(0, QByteArray(1, '\x01')) << "ZVK9" << 2 << "unknown model";
}

void TestE2eCliImage::dump_messages_and_status()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, model);
    QFETCH(int, code);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const Run r = cli({QStringLiteral("dump"), HexText::write(dir, QStringLiteral("m.hex"), content),
                       QStringLiteral("--model"), model});
    QCOMPARE(r.code, code);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
}

void TestE2eCliImage::store_range()
{
    QTemporaryDir dir;
    const QByteArray data = HexText::pattern(0x300, 2);
    const QString hex = HexText::write(dir, QStringLiteral("s.hex"), HexText::file(0, data));
    const QString out = dir.filePath(QStringLiteral("o.bin"));
    const Run r = cli({QStringLiteral("store"), hex, QStringLiteral("--model"), QStringLiteral("ZVK7H32B+"),
                       QStringLiteral("--start"), QStringLiteral("100"), QStringLiteral("--length"), QStringLiteral("180"),
                       QStringLiteral("--out"), out});
    QCOMPARE(r.code, 0);
    QFile f(out);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), data.mid(0x100, 0x180));
}

void TestE2eCliImage::store_refused_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("length");
    QTest::addColumn<QString>("message");
    QTest::newRow("too big") << "FF00" << "101" << "File length too big.";
    QTest::newRow("too small") << "0" << "G" << "File length too small.";
}

void TestE2eCliImage::store_refused()
{
    QFETCH(QString, start);
    QFETCH(QString, length);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString hex = HexText::write(dir, QStringLiteral("s.hex"), HexText::file(0, QByteArray(4, '\x05')));
    const QString out = dir.filePath(QStringLiteral("o.bin"));
    const Run r = cli({QStringLiteral("store"), hex, QStringLiteral("--model"), QStringLiteral("ZVK7H64B"),
                       QStringLiteral("--start"), start, QStringLiteral("--length"), length, QStringLiteral("--out"), out});
    QVERIFY(r.code != 0);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QVERIFY(!QFile::exists(out));
}

QTEST_GUILESS_MAIN(TestE2eCliImage)
#include "test_e2e_cli_image.moc"

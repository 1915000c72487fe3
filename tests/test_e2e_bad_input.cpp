// zvkisp-cli download refuses a doubtful program file before it opens the port (exit 4, the file,
// line and reason on standard error, nothing sent to the board); --force loads it as the window
// does. Address records that keep the data within 64 KB are followed.
#include "support/e2e_util.h"
#include "support/image_rig.h"

#include <QtTest>

namespace {

const QString kModel = QStringLiteral("ZVK7H64B+");   // application flash 0000h-F7FFh
const QByteArray kData = QByteArray::fromHex("0102030405060708");

QByteArray lines(const QList<QByteArray>& records)
{
    QByteArray text;
    for (const QByteArray& r : records)
        text += r + "\r\n";
    return text;
}

QByteArray bad_checksum(QByteArray record)
{
    record.chop(2);
    return record + "00";
}

} // namespace

class TestE2eBadInput : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!SimProcess::available() || !CliProcess::available())
            QSKIP("zvkisp-sim or zvkisp-cli is not built");
    }

    void download_data()
    {
        QTest::addColumn<QByteArray>("content");      // "DIR": the file is a folder
        QTest::addColumn<bool>("force");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("errors");      // texts standard error must hold
        QTest::addColumn<int>("at");                  // where kData lands in the flash; -1: nothing sent
        using HexText::end_record;
        using HexText::record;
        const QByteArray good = record(0, kData);
        QFile blink(QStringLiteral(ZVKISP_SOURCE_DIR "/tests/data/blink.c"));
        QVERIFY(blink.open(QIODevice::ReadOnly));

        QTest::newRow("bad checksum") << lines({good, bad_checksum(record(8, kData)), end_record()}) << false << 4
                                      << QStringList{":2: bad checksum 00, the record needs CC"} << -1;
        QTest::newRow("malformed line") << lines({good, ":08000800010203040506070G" + QByteArray(3, '0'), end_record()})
                                        << false << 4 << QStringList{":2: malformed record: 'G' in column 25"} << -1;
        QTest::newRow("count byte") << lines({good, ":0900080001020304050607088B", end_record()}) << false << 4
                                    << QStringList{":2: malformed record: the count byte says 9 data bytes"} << -1;
        QTest::newRow("unknown record type") << lines({record(0, "", 6), good, end_record()}) << false << 4
                                             << QStringList{":1: unknown record type 06"} << -1;
        QTest::newRow("beyond 64 KB") << lines({record(0, QByteArray::fromHex("0001"), 4), good, end_record()}) << false
                                      << 4 << QStringList{":2: data at 10007h: the address record on line 1"} << -1;
        QTest::newRow("beyond the flash") << lines({good, record(0xF7FC, kData), end_record()}) << false << 4
                                          << QStringList{":2: data at F803h lie beyond the application flash of "
                                                         "ZVK7H64B+ (0000h–F7FFh)"}
                                          << -1;
        QTest::newRow("no end record") << lines({good}) << false << 4 << QStringList{":1: the file ends without an end record"}
                                       << -1;
        QTest::newRow("comment on line 3") << lines({good, good, "; built by hand", end_record()}) << false << 4
                                           << QStringList{":3: the line does not begin with ':'"} << -1;
        QTest::newRow("binary larger than the flash") << QByteArray(0xF801, '\x02') << false << 4
                                                      << QStringList{"a binary of 63489 bytes at 0000h does not fit"} << -1;
        QTest::newRow("C source") << blink.readAll() << false << 4 << QStringList{"this is text, not a program"} << -1;
        QTest::newRow("empty") << QByteArray() << false << 4 << QStringList{"the file is empty"} << -1;
        QTest::newRow("folder") << QByteArray("DIR") << false << 4 << QStringList{"a folder, not a file"} << -1;
        // --force: the window's loader. A line that is no record stops it ("HEX file is error."); a
        // checksum error is shown with its line number and the record is kept.
        QTest::newRow("malformed line, --force") << lines({good, good, good, "oops", end_record()}) << true << 4
                                                 << QStringList{"HEX file is error.\nFile is error.", ":4: "} << -1;
        QTest::newRow("bad checksum, --force")
            << lines({bad_checksum(record(0x30, kData)), end_record()}) << true << 0
            << QStringList{"Checksum\n\n" + bad_checksum(record(0x30, kData)),
                           "Checksum error on line 1 of the HEX file. / HEX 文件第 1 行校验和错误。"}
            << 0x30;
        // Segment 0100h moves the record at 20h to 1020h; the window's loader passes address records by.
        const QByteArray moved = lines({record(0, QByteArray::fromHex("0100"), 2), record(0x20, kData), end_record()});
        QTest::newRow("address record") << moved << false << 0 << QStringList{} << 0x1020;
        QTest::newRow("address record, --force") << moved << true << 0 << QStringList{} << 0x20;
    }
    void download()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, force);
        QFETCH(QStringList, errors);
        QFETCH(int, at);
        e2e::SimCliRun r;
        QString file = r.dir.filePath(QStringLiteral("prog.hex"));
        if (content == "DIR")
            QVERIFY(QDir().mkpath(file));
        else
            QVERIFY(e2e::write_file(file, content));
        QVERIFY(r.start_sim(kModel, {}));
        QStringList args{file, "--port", r.sim.port(), "--model", kModel};
        if (force)
            args << "--force";
        r.start_cli("download", args);
        QVERIFY2(r.finish(60000), qPrintable(r.cli.out()));
        const QString shown = r.cli.out() + r.cli.err();
        QFETCH(int, status);
        QVERIFY2(r.cli.exit_code() == status, qPrintable(shown));
        for (const QString& e : errors)
            QVERIFY2(r.cli.err().contains(e), qPrintable(shown));
        if (at < 0) {
            // Refused before the port opened: the board never saw the greeting.
            QVERIFY2(r.cli.err().contains(file + ":"), qPrintable(shown));
            QVERIFY2(!r.trace().join('\n').contains(QStringLiteral("greeting")), qPrintable(r.trace().join('\n')));
            QVERIFY(!QFile::exists(r.flash_path()));
        } else {
            QCOMPARE(e2e::read_file(r.flash_path()).mid(at, kData.size()).toHex(), kData.toHex());
        }
    }
};

QTEST_GUILESS_MAIN(TestE2eBadInput)
#include "test_e2e_bad_input.moc"

// zvkisp-cli without a board: the dump of the whole used range on standard output, the loader's
// messages on standard error, the exit status, the store's checks and output file, and the Soft
// ICE download refused for a missing monitor file or a No.

#include "support/cli_process.h"
#include "support/e2e_util.h"
#include "support/image_rig.h"

#include <QDir>
#include <QtTest>

class TestE2eCliImage : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    CliProcess& run(CliProcess& cli, const QStringList& args)
    {
        cli.start(args);
        cli.finish(60000);
        return cli;
    }

private slots:
    void initTestCase()
    {
        if (!CliProcess::available())
            QSKIP("zvkisp-cli is not built");
    }

    void dump_whole_range()
    {
        QByteArray data(0x25, '\0');
        for (int i = 0; i < data.size(); ++i)
            data[i] = char(0x10 + i);
        const QString hex = HexText::write(dir_, "a.hex", HexText::file(0, data));
        CliProcess r;
        run(r, {"dump", hex, "--model", "ZVK7H64B", "--start", "7FF8"});
        QCOMPARE(r.exit_code(), 0);
        QCOMPARE(r.err(), QString());
        QCOMPARE(r.out(), QStringLiteral("\n\n"
                                         " 007FF0   00 00 00 00 00 00 00 00 10 11 12 13 14 15 16 17 \n"
                                         " 008000   18 19 1A 1B 1C 1D 1E 1F 20 21 22 23 24 25 26 27 \n"
                                         " 008010   28 29 2A 2B 2C 2D 2E 2F 30 31 32 33 34 \n"));
        CliProcess exact;
        run(exact, {"dump", hex, "--model", "ZVK7H64B", "--crlf"});
        QVERIFY(exact.out_bytes().startsWith("\r\n\r\n 000000   10 11 "));
    }

    void dump_messages_and_status_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("data flash warning") << HexText::file(0x1000, QByteArray(16, '\x01')) << "ZVK7H04A" << 0
                                            << "Data Memory contain procedure or datas.";
        QTest::newRow("broken record") << QByteArray(":020000000102FB\r\n:020000000102FB\r\n:0200\r\nxx\r\n") << "ZVK7H64B"
                                       << 1 << "HEX file is error.\nFile is error.";
        QTest::newRow("unknown model") << HexText::file(0, QByteArray(1, '\x01')) << "ZVK9" << 2 << "unknown model";
    }
    void dump_messages_and_status()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, model);
        QFETCH(QString, message);
        CliProcess r;
        run(r, {"dump", HexText::write(dir_, "m.hex", content), "--model", model});
        QTEST(r.exit_code(), "code");
        QVERIFY2(r.err().contains(message), qPrintable(r.err()));
    }

    void store_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("length");
        QTest::addColumn<QString>("message");   // empty: stored
        QTest::newRow("100 + 180") << "100" << "180" << "";
        QTest::newRow("too big") << "FF00" << "101" << "File length too big.";
        QTest::newRow("too small") << "0" << "G" << "File length too small.";
    }
    void store()
    {
        QFETCH(QString, start);
        QFETCH(QString, length);
        QFETCH(QString, message);
        const QByteArray data = HexText::pattern(0x300, 2);
        const QString out = dir_.filePath(QStringLiteral("o%1.bin").arg(start));
        CliProcess r;
        run(r, {"store", HexText::write(dir_, "s.hex", HexText::file(0, data)), "--model", "ZVK7H32B+", "--start", start,
                "--length", length, "--out", out});
        if (message.isEmpty()) {
            QCOMPARE(r.exit_code(), 0);
            QCOMPARE(e2e::read_file(out), data.mid(0x100, 0x180));
        } else {
            QVERIFY(r.exit_code() != 0);
            QVERIFY2(r.err().contains(message), qPrintable(r.err()));
            QVERIFY(!QFile::exists(out));
        }
    }
    // The Soft ICE monitor files and the questions, before any port is opened.
    void softice_refusals_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("message");   // on standard error; %1 is the folder
        QTest::newRow("no ZVK2000.rom") << QStringList{"ZVK64_2003.ROM"} << "找不到文件 ZVK2000.rom.";
        QTest::newRow("no model monitor: its full path") << QStringList{"ZVK2000.rom", "ZVK32_2003.ROM"}
                                                         << "找不到文件 %1/ZVK64_2003.ROM";
        QTest::newRow("no terminal to answer: No")
            << QStringList{"ZVK2000.rom", "ZVK64_2003.ROM"}
            << "Write SoftICE program, the DownLoad Code will be erased!\n Chinese: 烧录 SoftICE 程序, 将会删除下载引导码。\n\n"
               "          Continue?/ 继续吗?  (Y/N) -> No";
    }
    void softice_refusals()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, message);
        QTemporaryDir data;
        for (const QString& name : files)
            QVERIFY(e2e::write_file(data.filePath(name), QByteArray(384, '\x01')));
        qputenv("ZVKISP_DATA_DIR", data.path().toLocal8Bit());
        CliProcess r;
        r.start({"softice", "--port", "/dev/null/none", "--model", "ZVK7H64B"});
        r.process().closeWriteChannel();
        QVERIFY(r.finish(20000));
        qunsetenv("ZVKISP_DATA_DIR");
        QCOMPARE(r.exit_code(), 1);
        QVERIFY2(r.err().contains(message.arg(QDir::cleanPath(data.path()))), qPrintable(r.err()));
        QVERIFY(!r.err().contains(QStringLiteral("Please check MCU type")));
    }
};

QTEST_GUILESS_MAIN(TestE2eCliImage)
#include "test_e2e_cli_image.moc"

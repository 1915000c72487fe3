// zvkisp-cli download against zvkisp-sim over a pseudo-terminal: what lands in the chip's flash,
// the erase and option commands the chip saw, the top-area cut, Re-Download with serial numbers
// and the option read-back.
#include "support/e2e_util.h"

#include <QRegularExpression>
#include <QtTest>

namespace {

using e2e::pattern;
using e2e::read_file;
const QString kProgramOk = QStringLiteral("Program OK / 下载 OK ");

} // namespace

class TestE2eDownload : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!SimProcess::available() || !CliProcess::available())
            QSKIP("zvkisp-sim or zvkisp-cli is not built");
    }

    void per_family_and_variant_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QStringList>("sim_args");
        QTest::addColumn<QStringList>("cli_args");
        QTest::addColumn<int>("pages");
        QTest::addColumn<QString>("options");   // start of the options trace line, empty: none sent
        QTest::addColumn<QString>("log_line");  // a line the log must hold
        // Family 2, C 2.8: erase up to the image end (2999 -> 6 pages), option byte with bit 1 clear.
        QTest::newRow("family 2 C 2.8") << "ZVK7H64B+" << QStringList{} << QStringList{} << 6 << "options o=0xED reload="
                                        << "Config option OK. / 设置选项成功。";
        // Older firmware: the whole application area is erased, the option command is only acknowledged.
        QTest::newRow("family 2 C 2.7 double speed")
            << "ZVK7H32B+" << QStringList{"--version", "2.7"} << QStringList{"--double-speed", "yes", "--gain", "full"}
            << 124 << "options o=0xFC reload=" << "Set 6 Clock OK/设置双倍速 OK";
        QTest::newRow("family 2 C 2.6 A model") << "ZVK7L12A" << QStringList{"--version", "2.6"}
                                                << QStringList{"--erase-data", "yes", "--aux-ram", "no"} << 28
                                                << "options o=0xA5 reload=" << "Set OSC Control OK";
        // The chips of the other families report their own variant letters: B (family 1), A (family 0).
        QTest::newRow("family 1 B") << "ZVK7L32D" << QStringList{} << QStringList{} << 64 << QString() << kProgramOk;
        QTest::newRow("family 0 A double speed") << "ZVK7H64B" << QStringList{} << QStringList{"--double-speed", "yes"}
                                               << 255 << "options v=0x48" << kProgramOk;
    }
    void per_family_and_variant()
    {
        QFETCH(QString, model);
        QFETCH(QStringList, sim_args);
        QFETCH(QStringList, cli_args);
        QFETCH(int, pages);
        QFETCH(QString, options);
        QFETCH(QString, log_line);
        e2e::SimCliRun r;
        const QByteArray image = pattern(3000, 7);
        const QString file = r.write_binary(image);
        QVERIFY(r.start_sim(model, sim_args));
        r.start_cli("download", QStringList{file, "--port", r.sim.port(), "--model", model} + cli_args);
        QVERIFY2(r.finish(60000), qPrintable(r.cli.out()));
        QVERIFY2(r.cli.exit_code() == 0, qPrintable(r.cli.out() + r.cli.err()));
        QVERIFY(r.cli.lines().contains(kProgramOk));
        QVERIFY(r.cli.out().contains(QStringLiteral("Verify  OK / 校验 OK  ( Total: ")));
        QVERIFY(r.cli.lines().contains(QStringLiteral("Have already encrypt. / 已加密")));
        QVERIFY2(r.cli.out().contains(log_line), qPrintable(r.cli.out()));

        const QStringList trace = r.trace();
        QVERIFY2(trace.contains(QStringLiteral("erase pages=%1").arg(pages)), qPrintable(trace.join('\n')));
        const QStringList option_lines = trace.filter(QRegularExpression(QStringLiteral("^options ")));
        // A busy machine may make the tool repeat the option command; every copy carries the same byte.
        QCOMPARE(option_lines.isEmpty(), options.isEmpty());
        for (const QString& line : option_lines)
            QVERIFY2(line.startsWith(options), qPrintable(line));
        QCOMPARE(read_file(r.flash_path()).left(image.size()).toHex(), image.toHex());
    }

    void top_area_cut()
    {
        e2e::SimCliRun r;
        const QByteArray image = pattern(0xF800, 11);
        const QString file = r.write_binary(image);
        QVERIFY(r.start_sim("ZVK7H64B+", {"--top-size", "2048"}));
        r.start_cli("download", {file, "--port", r.sim.port(), "--model", "ZVK7H64B+"});
        r.finish(120000);
        QVERIFY2(r.cli.exit_code() == 0, qPrintable(r.cli.out() + r.cli.err()));
        QVERIFY(r.cli.lines().contains(QStringLiteral("Enable 61K file size for this Version firmware.")));
        QVERIFY(r.cli.lines().contains(QStringLiteral("Chinese:此版本固件最多可编程 61K, 文件超长部分不下载。")));
        const QByteArray flash = read_file(r.flash_path());
        QVERIFY(flash.size() >= 62464);
        QCOMPARE(flash.left(62464).toHex(), image.left(62464).toHex());
        // Nothing above 62463 was programmed.
        for (const QString& line : r.trace().filter(QStringLiteral("program addr="))) {
            const QStringList parts = line.split(QLatin1Char(' '));
            QVERIFY2(parts.at(1).mid(7).toInt(nullptr, 16) + parts.at(2).mid(4).toInt() - 1 <= 62463, qPrintable(line));
        }
    }

    void redownload_two_boards_with_serial_numbers()
    {
        e2e::SimCliRun r;
        const QByteArray image = pattern(2048, 5);
        const QString file = r.write_binary(image);
        QVERIFY(r.start_sim("ZVK7H64B+", {"--boards", "2", "--next-board-delay", "300"}));
        // Serial number: low byte at 0x0101, two bytes, decimal, starting at 0009.
        r.start_cli("download", {file, "--port", r.sim.port(), "--model", "ZVK7H64B+", "--repeat", "--pause", "1",
                                 "--serial", "0101,2,0009,1,dec"});
        const bool two = r.cli.wait_for_error(QStringLiteral("board 2 programmed"), 60000);
        r.cli.interrupt();
        QVERIFY(r.finish(30000));
        QVERIFY2(two, qPrintable(r.cli.out() + r.cli.err() + r.sim.error_output()));
        // Ctrl-C in the pause or while waiting for a third board that never comes: no failed board.
        QVERIFY2(r.cli.exit_code() == 0 && !r.cli.err().contains(QStringLiteral("failed")), qPrintable(r.cli.err()));
        QVERIFY2(r.cli.out().contains(QStringLiteral("After a few seconds re-connect will continue.  1")),
                 qPrintable(r.cli.out()));
        QVERIFY(r.cli.out().contains(QStringLiteral("Program succeed. / 下载成功.")));
        const QByteArray first = read_file(r.flash_path() + ".1");
        const QByteArray second = read_file(r.flash_path() + ".2");
        QVERIFY(first.size() >= 2048 && second.size() >= 2048);
        QCOMPARE(first.mid(0x100, 2).toHex(), QByteArray("0009"));
        QByteArray expected = image;
        expected[0x100] = 0x00;
        expected[0x101] = 0x10;
        QCOMPARE(second.left(2048).toHex(), expected.toHex());
    }

    void option_read_back_mismatch()
    {
        e2e::SimCliRun r;
        const QString file = r.write_binary(pattern(1000, 9));
        QVERIFY(r.start_sim("ZVK7H64B+", {"--ignore-options"}));
        r.start_cli("download", {file, "--port", r.sim.port(), "--model", "ZVK7H64B+"});
        QVERIFY(r.finish(60000));
        QCOMPARE(r.cli.exit_code(), 1);
        QVERIFY2(r.cli.lines().contains(QStringLiteral("Config option are error! / 设置选项失败!")), qPrintable(r.cli.out()));
        QVERIFY(!r.cli.lines().contains(kProgramOk));
        QVERIFY(!r.cli.out().contains(QStringLiteral("Verify  OK")));
        QCOMPARE(r.trace().filter(QStringLiteral("options o=")).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestE2eDownload)
#include "test_e2e_download.moc"

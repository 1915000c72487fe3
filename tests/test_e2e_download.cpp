// zvkisp-cli download against zvkisp-sim over a pseudo-terminal: what lands in the chip's flash,
// the erase and option commands the chip saw, the top-area cut, Stop, Re-Download and the
// option read-back.
#include "support/cli_process.h"
#include "support/e2e_util.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using e2e::pattern;
using e2e::read_file;
using Download = e2e::SimCliRun;

const QString kProgramOk = QStringLiteral("Program OK / 下载 OK ");
const QString kStopLine = QStringLiteral("Operation is stop. / 操作被停止.");

} // namespace

class TestE2eDownload : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void per_family_and_variant_data();
    void per_family_and_variant();
    void top_area_cut();
    void redownload_two_boards_with_serial_numbers();
    void option_read_back_mismatch();
};

void TestE2eDownload::initTestCase()
{
    if (!SimProcess::available())
        QSKIP("zvkisp-sim is not built");
    if (!QFileInfo(CliProcess::binary()).isExecutable())
        QSKIP("zvkisp-cli is not built");
}

void TestE2eDownload::per_family_and_variant_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QStringList>("sim_args");
    QTest::addColumn<QStringList>("cli_args");
    QTest::addColumn<int>("pages");
    QTest::addColumn<QString>("options");   // start of the options trace line, empty: none sent
    QTest::addColumn<QString>("log_line");  // a line the log must hold
    // Family 2, C 2.8: erase up to the image end (2999 -> 6 pages), option byte with bit 1 clear.
    QTest::newRow("family 2 C 2.8") << "ZVK7H64B+" << QStringList{} << QStringList{} << 6
                                    << "options o=0xED reload=" << "Config option OK. / 设置选项成功。";
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

void TestE2eDownload::per_family_and_variant()
{
    QFETCH(QString, model);
    QFETCH(QStringList, sim_args);
    QFETCH(QStringList, cli_args);
    QFETCH(int, pages);
    QFETCH(QString, options);
    QFETCH(QString, log_line);

    QTemporaryDir dir;
    Download d(dir);
    const QByteArray image = pattern(3000, 7);
    const QString file = d.write_binary(image);
    QVERIFY(d.start_sim(model, sim_args));
    d.start_cli(QStringLiteral("download"), QStringList{file, QStringLiteral("--port"), d.sim.port(), QStringLiteral("--model"), model} +
                cli_args);
    const bool finished = d.finish(60000);
    const Download& r = d;
    QVERIFY2(finished, qPrintable(r.out));
    QVERIFY2(r.exit_code == 0, qPrintable(r.out + r.err));
    QVERIFY(r.lines().contains(kProgramOk));
    QVERIFY(r.out.contains(QStringLiteral("Verify  OK / 校验 OK  ( Total: ")));
    QVERIFY(r.lines().contains(QStringLiteral("Have already encrypt. / 已加密")));
    QVERIFY2(r.out.contains(log_line), qPrintable(r.out));

    const QStringList trace = d.trace();
    QVERIFY2(trace.contains(QStringLiteral("erase pages=%1").arg(pages)), qPrintable(trace.join('\n')));
    const QStringList option_lines = trace.filter(QRegularExpression(QStringLiteral("^options ")));
    if (options.isEmpty()) {
        QVERIFY2(option_lines.isEmpty(), qPrintable(option_lines.join('\n')));
    } else {
        // A busy machine may make the tool repeat the option command; every copy carries the same byte.
        QVERIFY(!option_lines.isEmpty());
        for (const QString& line : option_lines)
            QVERIFY2(line.startsWith(options), qPrintable(line));
    }
    const QByteArray flash = read_file(d.flash_path());
    QVERIFY(flash.size() >= image.size());
    QCOMPARE(flash.left(image.size()).toHex(), image.toHex());
}

void TestE2eDownload::top_area_cut()
{
    QTemporaryDir dir;
    Download d(dir);
    const QByteArray image = pattern(0xF800, 11);
    const QString file = d.write_binary(image);
    QVERIFY(d.start_sim(QStringLiteral("ZVK7H64B+"), {QStringLiteral("--top-size"), QStringLiteral("2048")}));
    d.start_cli(QStringLiteral("download"), {file, QStringLiteral("--port"), d.sim.port(), QStringLiteral("--model"), QStringLiteral("ZVK7H64B+")});
    d.finish(120000);
    const Download& r = d;
    QVERIFY2(r.exit_code == 0, qPrintable(r.out + r.err));
    QVERIFY(r.lines().contains(QStringLiteral("Enable 61K file size for this Version firmware.")));
    QVERIFY(r.lines().contains(QStringLiteral("Chinese:此版本固件最多可编程 61K, 文件超长部分不下载。")));
    const QByteArray flash = read_file(d.flash_path());
    QVERIFY(flash.size() >= 62464);
    QCOMPARE(flash.left(62464).toHex(), image.left(62464).toHex());
    // Nothing above 62463 was programmed.
    for (const QString& line : d.trace().filter(QStringLiteral("program addr="))) {
        const QStringList parts = line.split(QLatin1Char(' '));
        const int addr = parts.at(1).mid(7).toInt(nullptr, 16);
        const int len = parts.at(2).mid(4).toInt();
        QVERIFY2(addr + len - 1 <= 62463, qPrintable(line));
    }
}

void TestE2eDownload::redownload_two_boards_with_serial_numbers()
{
    QTemporaryDir dir;
    Download d(dir);
    const QByteArray image = pattern(2048, 5);
    const QString file = d.write_binary(image);
    QVERIFY(d.start_sim(QStringLiteral("ZVK7H64B+"), {QStringLiteral("--boards"), QStringLiteral("2"),
                                                      QStringLiteral("--next-board-delay"), QStringLiteral("300")}));
    // Serial number: low byte at 0x0101, two bytes, decimal, starting at 0009.
    d.start_cli(QStringLiteral("download"), {file, QStringLiteral("--port"), d.sim.port(), QStringLiteral("--model"), QStringLiteral("ZVK7H64B+"),
                 QStringLiteral("--repeat"), QStringLiteral("--pause"), QStringLiteral("1"), QStringLiteral("--serial"),
                 QStringLiteral("0101,2,0009,1,dec")});
    const bool two = d.wait_for(QStringLiteral("board 2 programmed"), true, 60000);
    d.interrupt();
    const bool finished = d.finish(30000);
    const Download& r = d;
    QVERIFY2(two, qPrintable(r.out + r.err + d.sim.error_output()));
    QVERIFY(finished);
    // Ctrl-C in the pause or while waiting for a third board that never comes: no failed board.
    QVERIFY2(r.exit_code == 0 && !r.err.contains(QStringLiteral("failed")), qPrintable(r.err));
    QVERIFY2(r.out.contains(QStringLiteral("After a few seconds re-connect will continue.  1")), qPrintable(r.out));
    QVERIFY(r.out.contains(QStringLiteral("Program succeed. / 下载成功.")));
    const QByteArray first = read_file(d.flash_path() + QStringLiteral(".1"));
    const QByteArray second = read_file(d.flash_path() + QStringLiteral(".2"));
    QVERIFY(first.size() >= 2048 && second.size() >= 2048);
    QCOMPARE(first.mid(0x100, 2).toHex(), QByteArray("0009"));
    QCOMPARE(second.mid(0x100, 2).toHex(), QByteArray("0010"));
    QByteArray expected = image;
    expected[0x100] = 0x00;
    expected[0x101] = 0x10;
    QCOMPARE(second.left(2048).toHex(), expected.toHex());
}

void TestE2eDownload::option_read_back_mismatch()
{
    QTemporaryDir dir;
    Download d(dir);
    const QString file = d.write_binary(pattern(1000, 9));
    QVERIFY(d.start_sim(QStringLiteral("ZVK7H64B+"), {QStringLiteral("--ignore-options")}));
    d.start_cli(QStringLiteral("download"), {file, QStringLiteral("--port"), d.sim.port(), QStringLiteral("--model"), QStringLiteral("ZVK7H64B+")});
    const bool finished = d.finish(60000);
    const Download& r = d;
    QVERIFY(finished);
    QCOMPARE(r.exit_code, 1);
    QVERIFY2(r.lines().contains(QStringLiteral("Config option are error! / 设置选项失败!")), qPrintable(r.out));
    QVERIFY(!r.lines().contains(kProgramOk));
    QVERIFY(!r.out.contains(QStringLiteral("Verify  OK")));
    // The board was not started by the download itself: only the stop handling's run follows.
    QVERIFY(d.trace().filter(QStringLiteral("options o=")).size() == 1);
}

QTEST_GUILESS_MAIN(TestE2eDownload)
#include "test_e2e_download.moc"

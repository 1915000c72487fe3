// zvkisp-cli against zvkisp-sim over a pseudo-terminal: Re-Download board after board with serial
// numbers, and the connection advice while the board stays off. (The frames of each download:
// test_e2e_frames.)
#include "support/e2e_util.h"

#include <QtTest>

namespace {

using e2e::pattern;
using e2e::read_file;

} // namespace

class TestE2eDownload : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!SimProcess::available() || !CliProcess::available())
            QSKIP("zvkisp-sim or zvkisp-cli is not built");
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

    void late_power_on_gets_advice_once()
    {
        e2e::SimCliRun r;
        QVERIFY(r.start_sim("ZVK7H12A", {"--power-on-delay", "6000"}));
        r.start_cli("test-option", {"--model", "ZVK7H12A", "--port", r.sim.port()});
        QVERIFY(r.finish(60000));
        QCOMPARE(r.cli.exit_code(), 0);
        const QStringList lines = r.cli.lines();
        const int advice = lines.indexOf(QStringLiteral("Connection is failure. You can try:"));
        QCOMPARE(r.cli.beeps(), 2);
        QCOMPARE(lines.count(lines.value(advice)), 1);
        QCOMPARE(lines.mid(advice, 12),
                 (QStringList{"Connection is failure. You can try:", " 1.Give your MCU Power On Reset.",
                              " 2.Stop operation, then re-select COM Port.",
                              " 3.Because PLCC-DIP/PQFP-DIP Socket trace too long.", " 4.Update the ZVK ISP.exe version.",
                              " 5.If still error, your MCU Firmware is error", "   or null.", "Chinese:连接失败，请尝试以下操作：",
                              " 1.给 MCU/单片机上电复位(冷启动，先没有电，再上电)。", " 2.停止下载，重新选择 RS-232 串口, 接好电缆。",
                              " 3.因 PLCC、PQFP 转换座引线过长而引起时钟振荡不对，请调整参数。", " 4.可能要升级电脑端的 ZVK ISP.exe 软件。"}));
        QVERIFY2(advice < lines.indexOf(QStringLiteral("MCU Firmware Version: 2.8C")), qPrintable(lines.join('\n')));
        QCOMPARE(r.cli.out().trimmed().split(QLatin1Char('\n')).last(), QStringLiteral("Read Chip Lock OK. / 读加密位、双倍速成功."));
    }
};

QTEST_GUILESS_MAIN(TestE2eDownload)
#include "test_e2e_download.moc"

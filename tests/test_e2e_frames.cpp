// The bytes on the wire: zvkisp-cli against zvkisp-sim, one scenario per row, and the frames the
// board received (the sim's --trace-bytes) compared with frames written from the boot-loader
// protocol. The greeting is left out. The board runs at 11.0592 MHz unless a row says otherwise,
// so the tool tests and switches to 115200 baud (reload FFFD). Images are A5 bytes in a buffer
// filled with 00; a short image is programmed up to 639.
#include "support/e2e_util.h"

#include <QtTest>

namespace {

const QString kTestF2 = QStringLiteral("6A 00 0C 8F FF FD 00 06 17 81 9F 16");
const QString kSwitch = QStringLiteral(" | 6A 00 0B 8E FF FD 00 06 17 1C 16 | 5x 6A 00 06 80 F0 16");
const QString kStatus = QStringLiteral(" | 6A 00 06 50 C0 16");
const QString kRun = QStringLiteral(" | 6A 00 06 82 F2 16");
// 100 bytes of A5 at 0: the 512-byte block 0 and the last block 512..639, in 128-byte frames.
const QString kLastBlock = QStringLiteral(" | 6A 00 8C 00 00000200 0080 00*128 78 16");
const QString kBlock0 = QStringLiteral(" | 6A 00 8C 00 00000000 0080 A5*100 00*28 EA 16 | 6A 00 8C 00 00000080 0080 00*128 F6 16"
                                       " | 6A 00 8C 00 00000100 0080 00*128 77 16 | 6A 00 8C 00 00000180 0080 00*128 F7 16");
const QString kOptionsDefault = QStringLiteral(" | 6A 00 09 8D ED FF FD E9 16");
const QString kProgramOk = QStringLiteral("Program OK / 下载 OK ");

// Every frame of `frames` with the 46 B9 prefix.
QString prefixed(const QString& frames)
{
    QString out = frames;
    out.replace(QStringLiteral("6A 00"), QStringLiteral("46 B9 6A 00"));
    return out;
}

// Program frames of 128 bytes over first..last, their data left to the flash comparison.
QString program_run(int first, int last)
{
    QString out;
    for (int a = first; a <= last; a += 128)
        out += QStringLiteral(" | 6A 00 8C 00 0000%1 0080 ?*129 16").arg(a, 4, 16, QLatin1Char('0'));
    return out;
}

QByteArray monitor_bytes(int size, quint32 seed) { return e2e::pattern(size, seed); }

// The chip's flash after a Soft ICE download: the monitor image over 0000..027F and 2000..33FF.
QByteArray softice_flash(bool variant64, int size, int model_rom_size)
{
    const QString glue = variant64
        ? QStringLiteral("43B14075B41075B30075B20BAFB6EF20 E2FA53B1BFE4F5B500000053B1FC0200 0080FE FF*93 "
                         "787FE4F5D0F6D8FD75810D02227043B1 408E838F828583B48582B38DB575B20E "
                         "AFB6EF20E2FA75B20C00AFB5122255EF B505037F00227FFE2243B1408E838F82 "
                         "8583B48582B375B20BAFB6EF20E2FA12 22557F002253B1BFE4F5B522 FF*20 "
                         "E4FDFCAF05AE0412223974802DFDE43C FCC3941140EDE4F50AF50B750823E4F5 "
                         "09FBFA850982850883E493FDAF0BAE0A 12220E050BE50B7002050A0509E50970 "
                         "0205080BBB00010ABA10D8BB80D553B1 FC02100080FE FF*42")
        : QStringLiteral("53B1FC43B14075B4F075B30075B20BAF B6EF20E2FA53B1BFE4F5B50200000221 9E FF*95 "
                         "53B1FC787FE4F5D0F6D8FD75810D0222 7043B1408E838F828583B48582B38DB5 "
                         "75B20EAFB6EF20E2FA75B20C00AFB512 2258EFB505037F00227FFE2243B1408E "
                         "838F828583B48582B375B20BAFB6EF20 E2FA1222587F002253B1BFE4F5B522 FF*17 "
                         "E4FD7CE0AF05AE0412223C74802DFDE4 3CFCC394F240ED750AE0750B00750823 "
                         "E4F509FBFA850982850883E493FDAF0B AE0A122211050BE50B7002050A0509E5 "
                         "09700205080BBB00010ABA10D8BB80D5 53B1FC02100080FE FF*40");
    const QString tail = variant64
        ? QStringLiteral("787FE4F5D0F6D8FD75810D02102D43B1 408E838F828583B48582B375B20BAFB6 "
                         "EF20E2FA53B1BFE4F5B57F00227D007C 22AF05AE0412100E74802DFDE43CFCC3 943440EDE4FFFE12100E02218080FE FF*17")
        : QStringLiteral("787FE4F5D0F6D8FD75810D02102F80FE 43B1408E838F828583B48582B375B20B "
                         "AFB6EF20E2FA53B1BFE4F5B57F00227D 007C22AF05AE0412101074802DFDE43C FCC3943440EDE4FFFE12101002218080 FE FF*15");
    QByteArray flash(size, char(0xFF));
    flash.replace(0, 3, QByteArray::fromHex("022200"));
    flash.replace(0x2000, 384, monitor_bytes(384, 3));
    flash.replace(0x2180, 368, QByteArray::fromHex(e2e::hex_text(glue).toLatin1()));
    flash.replace(0x2300, model_rom_size, monitor_bytes(model_rom_size, 64));
    flash.replace(0x3300, 96, QByteArray::fromHex(e2e::hex_text(tail).toLatin1()));
    return flash;
}

} // namespace

class TestE2eFrames : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!SimProcess::available() || !CliProcess::available())
            QSKIP("zvkisp-sim or zvkisp-cli is not built");
        // The Soft ICE monitor files: the 64-KB one of full length, the 32-KB one short.
        QVERIFY(e2e::write_file(data_.filePath("ZVK2000.rom"), monitor_bytes(384, 3)));
        QVERIFY(e2e::write_file(data_.filePath("ZVK64_2003.ROM"), monitor_bytes(4096, 64)));
        QVERIFY(e2e::write_file(data_.filePath("ZVK32_2003.ROM"), monitor_bytes(3000, 64)));
        qputenv("ZVKISP_DATA_DIR", data_.path().toLocal8Bit());
    }

    void frames_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("model");     // the board's; also the tool's unless `cli` names one
        QTest::addColumn<QStringList>("sim");
        QTest::addColumn<QStringList>("cli");
        QTest::addColumn<int>("image");         // bytes of A5 in the file (0: no file)
        QTest::addColumn<int>("exit");
        QTest::addColumn<int>("beeps");
        QTest::addColumn<QStringList>("lines"); // standard output lines starting so, in this order
        QTest::addColumn<QString>("frames");
        QTest::addColumn<QByteArray>("flash");  // the start of the flash file (empty: not compared)
        QTest::addColumn<int>("baud");          // the line's baud at the end
        const QStringList none;

        // ---- Download: erase, program, options, run ----
        QTest::newRow("C 2.8: erase up to the image end, option byte with bit 1 clear")
            << "download" << "ZVK7H64B+" << none << none << 100 << 0 << 1
            << QStringList{"MCU Type is: ZVK7H/L64B+", "MCU Firmware Version: 2.8C", "Chinese:MCU 固件版本号: 2.8C",
                           "  Double speed (6 clock) / 双倍速:       No", "  OSCDN (OSC Control) / 振荡器控制:   full gain",
                           "  下载时 P1.0, P1.1 须短路到地:          No", "  擦除 AP 区时一并擦除 data flash 区:    No",
                           "  允许访问内部扩展RAM(MCU 新版本C版有效)", "  用户软件启动看门狗后,复位关看门狗(单片机新版C版有效)",
                           "We are trying to run more rapid ...", "Chinese:正在尝试用更高的波特率连接 ...",
                           "Internal clock:11.059326MHz./内部时钟频率:11.059326M.", "Now baud is: / 当前波特率为: 115200 bps.",
                           "Connection is OK... / 握手成功...", "We are erasing application flash...", "正在擦除应用程序区...",
                           "Programming.../ 正在下载... ( Begin: ", "Config option OK. / 设置选项成功。", kProgramOk,
                           "Verify  OK / 校验 OK  ( Total: 00:0", "Have already encrypt. / 已加密"}
            << kTestF2 + kSwitch + " | 6A 00 07 84 01 F6 16" + kLastBlock + kBlock0 + kOptionsDefault + kStatus + kRun
            << QByteArray() << 115200;
        QTest::newRow("prefix mode, watchdog pin, 2.7 with a 2560-byte top: whole area, double speed + 1/2 gain")
            << "download" << "ZVK7H64B+" << QStringList{"--block-protect", "--top-size", "2560", "--version", "2.7"}
            << QStringList{"--wdt-pin", "P1.7", "--double-speed", "yes"} << 100 << 0 << 1
            << QStringList{"Set 6 Clock OK/设置双倍速 OK", "Set OSC Control OK", " (End: "}
            << prefixed("6A 00 07 86 71 68 16 | " + kTestF2 + kSwitch + " | 6A 00 07 84 79 6E 16" + kLastBlock + kBlock0 +
                        " | 6A 00 09 8D EC FF FA E5 16" + kStatus + kRun)
            << QByteArray() << 115200;
        QTest::newRow("A model, 2.6: page count from the model, the other option bits")
            << "download" << "ZVK7L12A" << QStringList{"--version", "2.6"}
            << QStringList{"--gain", "full", "--erase-data", "yes", "--p10-p11", "yes", "--aux-ram", "no", "--reset-stops-wdt", "no"}
            << 100 << 0 << 1 << QStringList{"MCU Type is: ZVK7H/L12A", kProgramOk}
            << kTestF2 + kSwitch + " | 6A 00 07 84 1C 11 16" + kLastBlock + kBlock0 + " | 6A 00 09 8D 31 FF FD 2D 16" + kStatus + kRun
            << QByteArray() << 115200;
        QTest::newRow("options already on the chip: none written; program acknowledged without echo")
            << "download" << "ZVK7H64B+" << QStringList{"--options", "0xED", "--short-program-ack"} << none << 100 << 0 << 1
            << QStringList{kProgramOk} << kTestF2 + kSwitch + " | 6A 00 07 84 01 F6 16" + kLastBlock + kBlock0 + kRun
            << QByteArray() << 115200;
        QTest::newRow("option read-back differs") << "download" << "ZVK7H64B+" << QStringList{"--ignore-options"} << none
            << 100 << 1 << 0 << QStringList{"Config option are error! / 设置选项失败!"}
            << kTestF2 + kSwitch + " | 6A 00 07 84 01 F6 16" + kLastBlock + kBlock0 + kOptionsDefault + kStatus + kRun
            << QByteArray() << 115200;
        QTest::newRow("lost echo: the block again, its first frame marked 30")
            << "download" << "ZVK7H64B+" << QStringList{"--drop-reply", "0.05", "--seed", "4"} << none << 100 << 0 << 1
            << QStringList{kProgramOk}
            << kTestF2 + kSwitch + " | 6A 00 07 84 01 F6 16" + kLastBlock + kBlock0.section(QLatin1Char('|'), 0, 2) +
                   " | 6A 00 8C 30 00000000 0080 A5*100 00*28 1A 16 |" + kBlock0.section(QLatin1Char('|'), 2) +
                   kOptionsDefault + kStatus + kRun
            << QByteArray() << 115200;
        QTest::newRow("image beyond the firmware's top limit is cut")
            << "download" << "ZVK7H64B+" << QStringList{"--top-size", "2048"} << QStringList{"--start", "F300"} << 1024 << 0 << 3
            << QStringList{"Enable 61K file size for this Version firmware.", "Chinese:此版本固件最多可编程 61K, 文件超长部分不下载。"}
            << kTestF2 + kSwitch + " | 6A 00 07 84 7A 6F 16 | 6A 00 8C 00 0000F300 0080 A5*128 E9 16"
                   " | 6A 00 8C 00 0000F380 0080 A5*128 69 16" + kOptionsDefault + kStatus + kRun
            << QByteArray() << 115200;
        QTest::newRow("family 1, B: 64 pages, last block first, no option command")
            << "download" << "ZVK7L32D" << none << none << 100 << 0 << 1
            << QStringList{"MCU Type is: ZVK7L32D", "MCU Firmware Version: 2.4B", "Double speed: Unknown",
                           "Internal clock:11.059326MHz./内部时钟频率:11.059326M.", "Now baud is: ", kProgramOk}
            << "6A 00 0C 8F FF FD 00 06 17 82 A0 16" + kSwitch + " | 6A 00 07 84 40 35 16" + kLastBlock + kBlock0 + kRun
            << QByteArray() << 115200;
        QTest::newRow("family 0, A: status query, 255 pages, blocks in order, lock byte")
            << "download" << "ZVK7H64B" << none << QStringList{"--double-speed", "yes"} << 100 << 0 << 1
            << QStringList{"MCU Firmware Version: 2.2A", "Double speed: No", "Lock Chip, set 6 Clock OK/设置加密位,双倍速成功 (End: "}
            << "6A 00 0C 8F FF FD 00 06 17 00 1E 16" + kSwitch + kStatus + " | 6A 00 07 84 FF F4 16" + kBlock0 + kLastBlock +
                   " | 6A 00 07 8D 48 46 16" + kStatus + kRun
            << QByteArray() << 115200;

        // The serial number goes into the image before the download (the low byte's address first).
        const QString block0_rest = kBlock0.section(QLatin1Char('|'), 2);
        QTest::newRow("serial number, binary, past the image end: the used range grows")
            << "download" << "ZVK7H64B+" << none << QStringList{"--serial", "0301,2,258,1,bin"} << 100 << 0 << 1
            << QStringList{kProgramOk}
            << kTestF2 + kSwitch + " | 6A 00 07 84 02 F7 16" + kLastBlock + " | 6A 00 8C 00 00000280 0080 00*128 F8 16"
                   " | 6A 00 0E 00 00000300 0002 01 02 80 16" + kBlock0 + kOptionsDefault + kStatus + kRun
            << QByteArray() << 115200;
        QTest::newRow("serial number, decimal") << "download" << "ZVK7H64B+" << none
            << QStringList{"--serial", "0011,3,42,1,dec"} << 100 << 0 << 1 << QStringList{kProgramOk}
            << kTestF2 + kSwitch + " | 6A 00 07 84 01 F6 16" + kLastBlock +
                   " | 6A 00 8C 00 00000000 0080 A5*15 00 00 42 A5*82 00*28 3D 16 |" + block0_rest + kOptionsDefault +
                   kStatus + kRun
            << QByteArray() << 115200;
        QTest::newRow("serial number, text") << "download" << "ZVK7H64B+" << none
            << QStringList{"--serial", "0011,3,42,1,ascii"} << 100 << 0 << 1 << QStringList{kProgramOk}
            << kTestF2 + kSwitch + " | 6A 00 07 84 01 F6 16" + kLastBlock +
                   " | 6A 00 8C 00 00000000 0080 A5*15 30 34 32 A5*82 00*28 91 16 |" + block0_rest + kOptionsDefault +
                   kStatus + kRun
            << QByteArray() << 115200;

        // ---- Test Option and connect ----
        QTest::newRow("Test Option, C, all option bits clear") << "test-option" << "ZVK7H64B+" << QStringList{"--options", "0"}
            << none << 0 << 0 << 0
            << QStringList{"  Double speed (6 clock) / 双倍速:       Yes", "  OSCDN (OSC Control) / 振荡器控制:   1/2 gain",
                           "  下载时 P1.0, P1.1 须短路到地:          Yes", "  擦除 AP 区时一并擦除 data flash 区:    Yes",
                           "  禁止访问内部扩展RAM(MCU 新版本C版有效)", "  用户软件启动看门狗后,只有停电关看门狗(MCU新版C版有效)",
                           "Internal clock:11.059326MHz./内部时钟频率:11.059326M.",
                           "External clock:5.529663MHz./外部时钟频率:5.529663M.", "Read Chip Lock OK. / 读加密位、双倍速成功."}
            << "5x 6A 00 06 80 F0 16" + kRun << QByteArray() << 1200;
        QTest::newRow("Test Option, status without identity: queried") << "test-option" << "ZVK7H64B" << none << none << 0
            << 0 << 0
            << QStringList{"We are Reading Chip Lock./ 正在读加密位,双倍速,版本号", "MCU Firmware Version: 2.2A",
                           "Chinese:MCU 固件版本号: 2.2A", "Double speed: No", "Read Chip Lock OK. / 读加密位、双倍速成功."}
            << "6A 00 06 50 C0 16 | 5x 6A 00 06 80 F0 16" + kRun << QByteArray() << 1200;
        QTest::newRow("Test Option, B") << "test-option" << "ZVK7L64T2" << none << none << 0 << 0 << 0
            << QStringList{"MCU Type is: ZVK7L64D/T2", "Read MCU Firmware Version OK. / 读版本号成功."}
            << "5x 6A 00 06 80 F0 16" + kRun << QByteArray() << 1200;
        QTest::newRow("12 MHz: 38400, the faster bauds are off by more than the bounds")
            << "connect" << "ZVK7H12A" << QStringList{"--clock", "12000000"} << none << 0 << 0 << 0
            << QStringList{"Internal clock:11.999142MHz./内部时钟频率:11.999142M.", "Now baud is: / 当前波特率为: 38400 bps."}
            << "6A 00 0C 8F FF F6 00 14 17 81 A6 16 | 6A 00 0B 8E FF F6 00 14 17 23 16 | 5x 6A 00 06 80 F0 16" + kRun
            << QByteArray() << 38400;
        QTest::newRow("limit 9600") << "connect" << "ZVK7H12A" << none << QStringList{"--max-baud", "9600"} << 0 << 0 << 0
            << QStringList{"Now baud is: / 当前波特率为: 9600 bps."}
            << "6A 00 0C 8F FF DC 00 48 17 81 C0 16 | 6A 00 0B 8E FF DC 00 48 17 3D 16 | 5x 6A 00 06 80 F0 16" + kRun
            << QByteArray() << 9600;
        QTest::newRow("100 kHz: no baud to try") << "connect" << "ZVK7H12A" << QStringList{"--clock", "100000"} << none << 0
            << 1 << 3 << QStringList{"Chinese:正在尝试用更高的波特率连接 ...", "Handshake is failed. / 握手失败 (End: "}
            << kRun.mid(3) << QByteArray() << 1200;
        QTest::newRow("wrong model") << "connect" << "ZVK7H64B+" << none << QStringList{"--model", "ZVK7H16B+"} << 0 << 1
            << 3 << QStringList{"Now baud is: / 当前波特率为: 115200 bps.", "MCU Type is wrong. / MCU 型号错, 请重选"}
            << kTestF2 + kSwitch + kRun << QByteArray() << 115200;

        // ---- The application's download routine, the Soft ICE monitor ----
        // The application's format is the one that follows it: the sim takes a pseudo-terminal's
        // settings when it reads, and may read the command only after the tool has switched.
        QTest::newRow("custom download after a trigger")
            << "custom-download" << "ZVK7H08A"
            << QStringList{"--application", "--app-format", "57600,N,8,1", "--trigger", "A5 5A", "--demo-routine",
                           "--demo-format", "57600,N,8,1"}
            << QStringList{"--trigger", "A5, 5A", "--trigger-format", "57600,N,8,1", "--download-format", "57600,N,8,1"}
            << 100 << 0 << 1
            << QStringList{"Connection is OK... / 握手成功...", "We are read MCU Firmware Version ...",
                           "We are erasing application flash...", kProgramOk}
            << "4+x 5A A5 00 08 B0 01 B7 16 | 5A A5 00 08 B5 01 BC 16 | 5A A5 00 08 B2 01 B9 16"
               " | 5A A5 00 8E B3 00000200 0080 00*128 02 C2 16 | 5A A5 00 8E B3 00000000 0080 A5*100 00*28 43 34 16"
               " | 5A A5 00 8E B3 00000080 0080 00*128 03 40 16 | 5A A5 00 8E B3 00000100 0080 00*128 02 C1 16"
               " | 5A A5 00 8E B3 00000180 0080 00*128 03 41 16 | 5A A5 00 08 B1 01 B8 16"
            << QByteArray() << 57600;
        QTest::newRow("user code command, then the boot loader")
            << "send-user-code" << "ZVK7H64B+"
            << QStringList{"--application", "--app-format", "1200,E,8,1", "--trigger", "1234567890ABCDEF1234567890ABCDEF",
                           "--app-reset-ms", "300"}
            << QStringList{"--code", "12 34 56 78 90 AB CD EF 1234567890ABCDEF", "--format", "1200,Even,8,1"} << 100 << 0
            << 1 << QStringList{kProgramOk}
            << kTestF2 + kSwitch + " | 6A 00 07 84 01 F6 16" + kLastBlock + kBlock0 + kOptionsDefault + kStatus + kRun
            << QByteArray() << 115200;
        const QString softice = "6A 00 0C 8F FF FD 00 06 17 00 1E 16" + kSwitch + kStatus + " | 6A 00 07 84 FF F4 16" +
                                program_run(0x2000, 0x33FF) + program_run(0, 639) + kRun;
        QTest::newRow("Soft ICE, 64-KB monitor") << "softice" << "ZVK7H64B" << none << QStringList{"--yes"} << 0 << 0 << 0
            << QStringList{"Download Soft_ICE is succeed /下载 Soft_ICE 成功"} << softice
            << softice_flash(true, 0x10000, 4096) << 115200;
        QTest::newRow("Soft ICE, 32-KB monitor, short file") << "softice" << "ZVK7H32B" << none << QStringList{"--yes"} << 0
            << 0 << 0 << QStringList{"Download Soft_ICE is succeed /下载 Soft_ICE 成功"} << softice
            << softice_flash(false, 0x8000, 3000) << 115200;
    }
    void frames()
    {
        QFETCH(QString, command);
        QFETCH(QString, model);
        QFETCH(QStringList, sim);
        QFETCH(QStringList, cli);
        QFETCH(int, image);
        QFETCH(QStringList, lines);
        QFETCH(QString, frames);
        QFETCH(QByteArray, flash);
        QFETCH(int, baud);
        e2e::SimCliRun r;
        QStringList args;
        if (image > 0)
            args << r.write_binary(QByteArray(image, char(0xA5)));
        // A chip takes milliseconds to write a block; the sim's quicker echo could arrive before the
        // tool's receive flush on a busy machine and cost a resend.
        QVERIFY(r.start_sim(model, sim + QStringList{"--exit-grace", "100", "--program-us", "10000"}, baud));
        if (!cli.contains(QLatin1String("--model")))
            args << "--model" << model;
        r.start_cli(command, args + cli + QStringList{"--port", r.sim.port()});
        QVERIFY2(r.finish(60000), qPrintable(r.cli.out() + "--- trace:\n" + r.trace().mid(0, 12).join('\n')));
        const QString shown = r.cli.out() + QStringLiteral("--- stderr:\n") + r.cli.err();
        QFETCH(int, exit);
        QFETCH(int, beeps);
        QVERIFY2(r.cli.exit_code() == exit, qPrintable(shown));
        QVERIFY2(r.cli.beeps() == beeps, qPrintable(shown));
        const QStringList out = r.cli.lines();
        int at = -1;
        for (const QString& line : lines) {
            do
                ++at;
            while (at < out.size() && !out.at(at).startsWith(line));
            QVERIFY2(at < out.size(), qPrintable(QStringLiteral("missing or out of order: ") + line + "\n" + shown));
        }
        QStringList got, want;
        e2e::align_frames(e2e::received_frames(r.trace()), frames, got, want);
        int i = 0;
        while (i < got.size() && i < want.size() && got.at(i) == want.at(i))
            ++i;
        QStringList heads;   // what came, frame by frame, cut short
        for (const QString& f : got)
            heads << f.left(41);
        QVERIFY2(got == want, qPrintable(QStringLiteral("frame %1 of %2 (%3 expected)\n got:  %4\n want: %5\n all:\n%6")
                                             .arg(i).arg(got.size()).arg(want.size())
                                             .arg(got.value(i, QStringLiteral("(none)")), want.value(i, QStringLiteral("(none)")),
                                                  heads.join(QLatin1Char('\n')))));
        if (!flash.isEmpty())
            QCOMPARE(e2e::read_file(r.flash_path()).toHex(), flash.toHex());
    }

private:
    QTemporaryDir data_;
};

QTEST_GUILESS_MAIN(TestE2eFrames)
#include "test_e2e_frames.moc"

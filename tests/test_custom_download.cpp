// The custom download and the user-code command without a board: command texts to bytes, the
// identity table, the settings texts, and the flow over a scripted port (formats in force for the
// trigger and the routine). The identity refusal and the stop run end to end (test_e2e_custom).
#include "custom/custom_download.h"
#include "custom/hex_text.h"
#include "custom/user_code.h"
#include "device/workbench.h"
#include "isp/frames.h"
#include "support/fake_serial_port.h"
#include "support/scripted_dialogs.h"

#include <QtTest>

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text));
}

// A workbench over a fake port whose far end is an application with a download routine.
struct Rig {
    explicit Rig(const QString& model_name)
    {
        bench.select_model(model_name);
        bench.link.set_port_device(QStringLiteral("fake"));
        bench.sequencer.choices.beep_on_success = false;
        for (int a = 0; a < 0x10000; ++a)
            bench.image.program_buffer[size_t(a)] = quint8(a * 13 + 5);
        bench.image.image_start = 0;
        bench.image.image_end = 700;
        bench.image.file_loaded = true;
        port.responder = FakeSerialPort::frame_responder([this](const QByteArray& f) { return on_frame(f); },
                                                         [this](quint8 b) {
                                                             loose.append(char(b));
                                                             return QByteArray();
                                                         });
    }

    QByteArray on_frame(const QByteArray& f)
    {
        if (quint8(f[0]) != Frames::kCustomStart0)
            return {};
        const quint8 code = quint8(f[4]);
        codes << code;
        formats << port.format();
        if (code == Frames::CustomSync) {
            if (++syncs <= silent_syncs)
                return {};
            return Frames::custom_frame(code);
        }
        if (code == Frames::CustomReadId)
            return Frames::custom_frame(code, QByteArray(1, '\0') + identity + char(0xC5));
        if (code == Frames::CustomErase)
            return Frames::custom_frame(code);
        if (code == Frames::CustomProgram || code == Frames::CustomProgramAgain) {
            const int n = quint8(f[9]) * 256 + quint8(f[10]);
            const quint32 address = (quint8(f[7]) << 8) | quint8(f[8]);
            const QByteArray data = f.mid(11, n);
            for (int i = 0; i < n; ++i)
                flash[int(address) + i] = data[i];
            const quint32 sum = Frames::sum_plain(data);
            return Frames::custom_frame(code, QByteArray(1, char(sum >> 8)) + char(sum & 0xFF));
        }
        return {};
    }

    FakeSerialPort port;
    ScriptedDialogs dialogs;
    Workbench bench{&port, &dialogs};
    QByteArray identity = hex("4002");
    QList<quint8> codes;
    QList<SerialFormat> formats;
    QByteArray loose;
    QByteArray flash = QByteArray(0x10000, char(0xFF));
    int syncs = 0;
    int silent_syncs = 0;
};

} // namespace

class TestCustomDownload : public QObject {
    Q_OBJECT
private slots:
    void command_text_to_bytes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("design text") << "12 34 56 78 90 AB CD EF 1234567890ABCDEF"
                                     << hex("1234567890abcdef1234567890abcdef");
        QTest::newRow("comma and blank skipped") << "A5, 5A" << hex("a55a");
        QTest::newRow("lower case, odd digit alone") << "abc" << hex("ab0c");
        QTest::newRow("token with comma reads its digit") << "1,2" << hex("0102");
        QTest::newRow("minus token skipped") << "-5 10" << hex("10");
        QTest::newRow("empty") << "" << QByteArray();
        QTest::newRow("surrounding blanks") << "  7F  " << hex("7f");
        QTest::newRow("no leading hex digit gives 0") << "G1 22" << hex("0022");
        QTest::newRow("reading stops at a non-hex digit") << "4Z" << hex("04");
        QTest::newRow("a tab is no blank") << "\t12" << hex("02");
    }
    void command_text_to_bytes()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(hex_text_to_bytes(text).toHex(' '), bytes.toHex(' '));
    }
    void identity_table_data()
    {
        QTest::addColumn<QString>("identity");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("code");
        QTest::newRow("0001") << "0001" << "ZVK7L04A" << "F001";
        QTest::newRow("4006") << "4006" << "ZVK7H64B+" << "F110";
        QTest::newRow("0051") << "0051" << "ZVK7H/L04A" << "F001";
        QTest::newRow("0516") << "0516" << "ZVK7H/L64B+" << "F110";
        QTest::newRow("unknown") << "4007" << "" << "";
        QTest::newRow("lower-case text is not in the table") << "000a" << "" << "";
        QTest::newRow("empty") << "" << "" << "";
    }
    void identity_table()
    {
        QFETCH(QString, identity);
        QFETCH(QString, name);
        QFETCH(QString, code);
        const CustomIdentity id = lookup_custom_identity(identity);
        QCOMPARE(id.model_name, name);
        QCOMPARE(id.prefix + id.size_code, code);
    }
    void identity_against_model_code_data()
    {
        QTest::addColumn<QString>("identity");
        QTest::addColumn<QString>("model_code");
        QTest::addColumn<bool>("matches");
        QTest::newRow("4002 F002") << "4002" << "F002" << true;
        QTest::newRow("4002 F102") << "4002" << "F102" << false;
        QTest::newRow("0516 F110") << "0516" << "F110" << true;
        QTest::newRow("0006 F108") << "0006" << "F108" << false;
        QTest::newRow("unknown against a code") << "1234" << "F002" << false;
    }
    void identity_against_model_code()
    {
        QFETCH(QString, identity);
        QFETCH(QString, model_code);
        QFETCH(bool, matches);
        QCOMPARE(CustomDownload::identity_matches(identity, model_code), matches);
    }
    void settings_text_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("settings");
        QTest::newRow("even") << QStringList{"38400", "Even", "8", "1"} << "38400,E,8,1";
        QTest::newRow("odd, 1.5 stop bits") << QStringList{"115200", "Odd", "7", "1.5"} << "115200,O,7,1.5";
        QTest::newRow("blanks trimmed") << QStringList{" 2400 ", "Even", " 5", "2 "} << "2400,E,5,2";
    }
    void settings_text()
    {
        QFETCH(QStringList, texts);
        QFETCH(QString, settings);
        QCOMPARE(serial_settings_text(texts[0], texts[1], texts[2], texts[3]), settings);
    }
    void polling_interval_by_baud_data()
    {
        QTest::addColumn<QString>("baud");
        QTest::addColumn<int>("ms");
        QTest::newRow("2399") << "2399" << 200;
        QTest::newRow("2400") << "2400" << 100;
        QTest::newRow("38400") << "38400" << 50;
        QTest::newRow("not a number") << "fast" << 200;
    }
    void polling_interval_by_baud()
    {
        QFETCH(QString, baud);
        QFETCH(int, ms);
        QCOMPARE(CustomDownload::poll_interval_ms(baud), ms);
    }

    void trigger_then_routine_at_their_own_formats()
    {
        Rig rig(QStringLiteral("ZVK7H08A"));
        rig.silent_syncs = 3;   // the routine takes a while to start
        CustomDownload custom(rig.bench);
        custom.che_Demo_DownLoad = true;
        custom.txt_DEMO_UserCode = QStringLiteral("A5, 5A");
        custom.cob_DEMO_UserCode_Baud = QStringLiteral("9600");
        custom.cob_DEMO_UserCode_Parity = QStringLiteral("None");
        custom.cob_DEMO_DownLoad_Baud = QStringLiteral("57600");
        custom.cob_DEMO_DownLoad_Parity = QStringLiteral("Odd");
        custom.com_Demo_DownLoad_Click();

        // The trigger went out alone, in one write, at its own format.
        QVERIFY(!rig.port.writes.isEmpty());
        QCOMPARE(rig.port.writes.first().bytes, hex("a55a"));
        QCOMPARE(rig.port.writes.first().format, *SerialFormat::parse(QStringLiteral("9600,N,8,1")));
        // The routine: polled until it answered, three more syncs, identity, erase, program, finish twice.
        QVERIFY(rig.codes.size() > 8);
        for (int i = 0; i < 7; ++i)
            QCOMPARE(rig.codes.at(i), quint8(Frames::CustomSync));
        QCOMPARE(rig.codes.at(7), quint8(Frames::CustomReadId));
        QCOMPARE(rig.codes.at(8), quint8(Frames::CustomErase));
        QCOMPARE(rig.codes.last(), quint8(Frames::CustomFinish));
        QCOMPARE(rig.codes.count(quint8(Frames::CustomFinish)), 2);
        for (const SerialFormat& f : rig.formats)
            QCOMPARE(f, *SerialFormat::parse(QStringLiteral("57600,O,8,1")));
        // Programmed 0..700 (raised to 639 at least) with the buffer's bytes.
        for (int a = 0; a <= 700; ++a)
            QCOMPARE(quint8(rig.flash[a]), rig.bench.image.program_buffer[size_t(a)]);
        QCOMPARE(rig.bench.status.option_byte, quint8(0xC5));
        QCOMPARE(rig.bench.status.mcu_type_name, QStringLiteral("ZVK7H08A"));
        const QStringList lines = rig.bench.log.lines();
        QVERIFY(lines.contains(QStringLiteral("Connection is OK... / 握手成功...")));
        QVERIFY(lines.contains(QStringLiteral("Program OK / 下载 OK ")));
        QVERIFY(!lines.contains(QStringLiteral("Operation is stop. / 操作被停止.")));
        QCOMPARE(custom.boards_done, 1);
        QVERIFY(!rig.port.is_open());
        QVERIFY(!rig.bench.link.custom_frame_mode);

        // A chip of another size is refused before the erase, and the file is to be opened again.
        rig.identity = hex("4003");
        rig.codes.clear();
        custom.che_Demo_DownLoad = false;
        custom.com_Demo_DownLoad_Click();
        QVERIFY(!rig.codes.contains(quint8(Frames::CustomErase)));
        QVERIFY(rig.bench.log.lines().contains(QStringLiteral("MCU Type is wrong. / MCU 型号错, 请重选")));
        QVERIFY(!rig.bench.image.file_loaded);
    }
    void user_code_sent_at_its_format_before_the_download()
    {
        Rig rig(QStringLiteral("ZVK7H08A"));
        rig.port.responder = {};   // no boot loader: the download that follows only polls
        UserCodeCommand command(rig.bench);
        command.txtUserCode = QStringLiteral("12 34 56 78 90 AB CD EF 1234567890ABCDEF");
        command.cobUserCodeBaud = QStringLiteral("19200");
        command.cobUserCodeParity = QStringLiteral("Even");
        QVERIFY(command.send_user_code());
        QCOMPARE(rig.port.writes.size(), 1);
        QCOMPARE(rig.port.writes.first().bytes, hex("1234567890abcdef1234567890abcdef"));
        QCOMPARE(rig.port.writes.first().format, *SerialFormat::parse(QStringLiteral("19200,E,8,1")));

        // An empty command writes nothing and still goes on to the download.
        rig.port.clear_record();
        command.txtUserCode.clear();
        QVERIFY(command.send_user_code());
        QVERIFY(rig.port.writes.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCustomDownload)
#include "test_custom_download.moc"

// Frame builders: the worked frames, the prefix, and both checksum kinds.
#include "isp/frames.h"
#include "isp/serial_port.h"

#include <QtTest>

namespace {
QByteArray hex(const char* text) { return QByteArray::fromHex(text); }
} // namespace

class TestFrames : public QObject {
    Q_OBJECT
private slots:
    void worked_frames_data()
    {
        QTest::addColumn<QString>("kind");   // command, prefixed command, custom or reply frame
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("read status") << "command" << 0x50 << QByteArray() << hex("6A 00 06 50 C0 16");
        QTest::newRow("read status, prefix") << "prefixed" << 0x50 << QByteArray() << hex("46 B9 6A 00 06 50 C0 16");
        QTest::newRow("watchdog pin none") << "command" << 0x86 << hex("FF") << hex("6A 00 07 86 FF F6 16");
        // 6A+00+07+84+01 = 0xF6
        QTest::newRow("erase one byte") << "command" << 0x84 << hex("01") << hex("6A 00 07 84 01 F6 16");
        // checksum wraps: 6A+00+08+8D+FF+FF = 0x2FD -> FD; the prefix is outside the sum
        QTest::newRow("wrapping sum, prefix") << "prefixed" << 0x8D << hex("FF FF") << hex("46 B9 6A 00 08 8D FF FF FD 16");
        QTest::newRow("custom sync B0") << "custom" << 0xB0 << QByteArray() << hex("5A A5 00 08 B0 01 B7 16");
        QTest::newRow("custom read id B5") << "custom" << 0xB5 << QByteArray() << hex("5A A5 00 08 B5 01 BC 16");
        // 5A+A5+00+0A+B3+12+34 = 0x202
        QTest::newRow("custom with data") << "custom" << 0xB3 << hex("12 34") << hex("5A A5 00 0A B3 12 34 02 02 16");
        QTest::newRow("reply") << "reply" << 0x00 << QByteArray() << hex("68 00 06 00 6E 16");
    }
    void worked_frames()
    {
        QFETCH(QString, kind);
        QFETCH(int, code);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, expected);
        const QByteArray f = kind == QLatin1String("custom") ? Frames::custom_frame(quint8(code), data)
                             : kind == QLatin1String("reply") ? Frames::reply_frame(QByteArray(1, char(code)) + data)
                                                              : Frames::command_frame(quint8(code), data, kind == QLatin1String("prefixed"));
        QCOMPARE(f.toHex(' '), expected.toHex(' '));
    }
    void long_frames()
    {
        // A 300-byte reply contents gives a length above 255: both length bytes count.
        const QByteArray f = Frames::reply_frame(QByteArray(296, char(0x01)));
        QCOMPARE(f.size(), 301);
        QCOMPARE(f.left(3).toHex(' '), QByteArray("68 01 2d"));
        QCOMPARE(quint8(f[299]), quint8((0x68 + 0x01 + 0x2D + 296) & 0xFF));
        QCOMPARE(quint8(f[300]), quint8(0x16));
        // A 256-byte custom block: the sum needs both checksum bytes, and the length both length bytes.
        const QByteArray c = Frames::custom_frame(0xB3, QByteArray(256, char(0xFF)));
        const quint32 sum = 0x5A + 0xA5 + 0x01 + 0x08 + 0xB3 + 256 * 0xFF;
        QCOMPARE(c.size(), 264);
        QCOMPARE(quint8(c[c.size() - 3]), quint8(sum >> 8));
        QCOMPARE(quint8(c[c.size() - 2]), quint8(sum & 0xFF));
        QCOMPARE(Frames::sum_plain(c, 0, int(c.size()) - 3), sum);
    }
    void headers_and_sums()
    {
        QCOMPARE(Frames::program_header(0x00012345, 0x0080).toHex(' '), hex("00 01 23 45 00 80").toHex(' '));
        QCOMPARE(Frames::program_header(0xFF00, 0x200).toHex(' '), hex("00 00 FF 00 02 00").toHex(' '));
        const QByteArray b = hex("6A 00 06 50 C0 16");
        QCOMPARE(Frames::sum8(b, 0, 4), quint8(0xC0));
        QCOMPARE(Frames::sum8(b), quint8((0x6A + 0x06 + 0x50 + 0xC0 + 0x16) & 0xFF));
        QCOMPARE(Frames::sum_plain(hex("5A A5 00 08 B0")), quint32(439));
        QCOMPARE(Frames::sum_plain(b, 3, 4), quint32(0x50));
    }
    void settings_text_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("normalised");
        QTest::newRow("greeting") << "1200,n,8,1" << true << "1200,n,8,1";
        QTest::newRow("upper-case parity, 1.5 stop") << "38400,E,7,1.5" << true << "38400,e,7,1.5";
        QTest::newRow("non-standard baud") << "57000,N,8,1" << true << "57000,n,8,1";
        QTest::newRow("mark parity") << "1200,m,8,1" << false << "";
        QTest::newRow("9 data bits") << "1200,n,9,1" << false << "";
        QTest::newRow("4 data bits") << "1200,n,4,1" << false << "";
        QTest::newRow("3 stop bits") << "1200,n,8,3" << false << "";
        QTest::newRow("zero baud") << "0,n,8,1" << false << "";
        QTest::newRow("missing field") << "1200,n,8" << false << "";
    }
    void settings_text()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(QString, normalised);
        const auto f = SerialFormat::parse(text);
        QCOMPARE(f.has_value(), valid);
        if (valid)
            QCOMPARE(f->text(), normalised);
    }
};

QTEST_APPLESS_MAIN(TestFrames)
#include "test_frames.moc"

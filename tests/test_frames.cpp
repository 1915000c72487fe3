// Texts to bytes: the frame builders' worked frames (prefix, both checksum kinds), the serial
// settings text, and the hex text of trigger and user-code commands.
#include "custom/hex_text.h"
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
        QTest::newRow("read status, prefix") << "prefixed" << 0x50 << QByteArray() << hex("46 B9 6A 00 06 50 C0 16");
        // checksum wraps: 6A+00+08+8D+FF+FF = 0x2FD -> FD; the prefix is outside the sum
        QTest::newRow("wrapping sum, prefix") << "prefixed" << 0x8D << hex("FF FF") << hex("46 B9 6A 00 08 8D FF FF FD 16");
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
    void settings_text_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("normalised");
        QTest::newRow("greeting") << "1200,n,8,1" << true << "1200,n,8,1";
        QTest::newRow("upper-case parity, 1.5 stop") << "38400,E,7,1.5" << true << "38400,e,7,1.5";
        QTest::newRow("mark parity") << "1200,m,8,1" << false << "";
        QTest::newRow("9 data bits") << "1200,n,9,1" << false << "";
        QTest::newRow("3 stop bits") << "1200,n,8,3" << false << "";
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
};

QTEST_APPLESS_MAIN(TestFrames)
#include "test_frames.moc"

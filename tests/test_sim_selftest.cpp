// Self-test of zvkisp-sim for what the end-to-end runs do not reach: hand-built frames over the
// pseudo-terminal, the exact answers, the silence after a damaged or out-of-range frame, and the
// baud test's tolerance. (Programming, custom routines and status frames run end to end.)
#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSerialPort>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// Command frame: 6A, length, code, data, 8-bit sum, 16.
QByteArray command(quint8 code, const QByteArray &data = {})
{
    QByteArray f;
    const int len = data.size() + 6;
    f.append(char(0x6A)).append(char(len >> 8)).append(char(len & 0xFF)).append(char(code)).append(data);
    quint8 sum = 0;
    for (char c : f)
        sum = quint8(sum + quint8(c));
    f.append(char(sum)).append(char(0x16));
    return f;
}

// Index of the first complete, valid reply frame (0x68 ...) in buf, its length in *len; -1 if none.
int findReply(const QByteArray &buf, int *len)
{
    for (int i = 0; i < buf.size(); ++i) {
        if (quint8(buf[i]) != 0x68 || i + 3 > buf.size())
            continue;
        const int l = quint8(buf[i + 1]) << 8 | quint8(buf[i + 2]);
        if (l < 5 || i + l > buf.size())
            continue;
        quint8 sum = 0;
        for (int k = 0; k < l - 2; ++k)
            sum = quint8(sum + quint8(buf[i + k]));
        if (quint8(buf[i + l - 2]) == sum && quint8(buf[i + l - 1]) == 0x16) {
            *len = l;
            return i;
        }
    }
    return -1;
}

speed_t speedCode(int baud)
{
    switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B0;
    }
}

// One zvkisp-sim process and the tool's end of its line.
class Sim {
public:
    explicit Sim(QStringList args)
    {
        QVERIFY(dir.isValid());
        tracePath = dir.filePath("trace.txt");
        args << "--trace" << tracePath;
        const QString exe = qEnvironmentVariable("ZVKISP_SIM");
        QVERIFY2(!exe.isEmpty(), "ZVKISP_SIM is not set");
        proc.setProgram(exe);
        proc.setArguments(args);
        proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        proc.start();
        QVERIFY(proc.waitForStarted(5000));
        QVERIFY(proc.waitForReadyRead(5000));
        const QByteArray line = proc.readLine().trimmed();
        QVERIFY2(line.startsWith("PORT "), line.constData());
        portPath = QString::fromLocal8Bit(line.mid(5));
        ok = true;
    }
    ~Sim()
    {
        closePort();
        if (proc.state() != QProcess::NotRunning) {
            proc.terminate();
            if (!proc.waitForFinished(3000))
                proc.kill();
        }
    }

    bool openPort(int baud = 1200)
    {
        fd = ::open(portPath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        return fd >= 0 && setBaud(baud);
    }
    void closePort()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    // As the tool does: let the last character leave before the line changes its baud.
    bool switchBaud(int baud)
    {
        QTest::qWait(10);
        return setBaud(baud);
    }
    bool setBaud(int baud)
    {
        struct termios t {};
        if (tcgetattr(fd, &t) != 0)
            return false;
        cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        cfsetispeed(&t, speedCode(baud));
        cfsetospeed(&t, speedCode(baud));
        return tcsetattr(fd, TCSANOW, &t) == 0;
    }
    void send(const QByteArray &bytes) const
    {
        QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
        tcdrain(fd);
    }
    // Reads until a complete valid frame arrived (then returns at once) or ms passed.
    QByteArray read(int ms) const
    {
        QByteArray got;
        QElapsedTimer t;
        t.start();
        int len = 0;
        while (t.elapsed() < ms) {
            struct pollfd p {fd, POLLIN, 0};
            if (::poll(&p, 1, int(ms - t.elapsed())) > 0) {
                char buf[512];
                const ssize_t n = ::read(fd, buf, sizeof buf);
                if (n > 0)
                    got.append(buf, int(n));
            }
            if (findReply(got, &len) >= 0)
                break;
        }
        return got;
    }
    // Sends and returns the first valid reply frame (empty when none came within ms).
    QByteArray exchange(const QByteArray &frame, int ms = 1000) const
    {
        send(frame);
        const QByteArray got = read(ms);
        int len = 0;
        const int at = findReply(got, &len);
        return at < 0 ? QByteArray() : got.mid(at, len);
    }
    QByteArray greet() const
    {
        QByteArray got;
        int len = 0;
        for (int i = 0; i < 50 && findReply(got, &len) < 0; ++i) {
            send(hex("7F 7F"));
            got += read(40);
        }
        const int at = findReply(got, &len);
        return at < 0 ? QByteArray() : got.mid(at, len);
    }
    QStringList trace() const
    {
        QFile f(tracePath);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    bool waitForTrace(const QString &line, int ms = 3000) const
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            if (trace().contains(line))
                return true;
            QTest::qWait(20);
        }
        return false;
    }

    QTemporaryDir dir;
    QProcess proc;
    QString portPath, tracePath;
    int fd = -1;
    bool ok = false;
};

}  // namespace

class TestSimSelftest : public QObject {
    Q_OBJECT

private slots:
    void workedFrames_data();
    void workedFrames();
    void rejectedFrames_data();
    void rejectedFrames();
    void baudNegotiation_data();
    void baudNegotiation();
    void nonStandardBaudThroughTermios2();
};

void TestSimSelftest::workedFrames_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("traceLine");

    const QStringList c = {"--model", "ZVK7H64B+"};
    QTest::newRow("read status") << c << hex("6A 00 06 50 C0 16")
                                 << hex("68 00 10 50 00 00 00 00 00 00 00 28 43 FF 32 16") << "status";
    QTest::newRow("synchronise") << c << hex("6A 00 06 80 F0 16") << hex("68 00 06 80 EE 16") << "sync";
    QTest::newRow("watchdog pin with prefix") << c << hex("46 B9 6A 00 07 86 71 68 16") << hex("68 00 06 86 F4 16")
                                              << "wdt pin=0x71";
    QTest::newRow("erase 124 pages") << c << command(0x84, hex("7C")) << hex("68 00 06 84 F2 16")
                                     << "erase pages=124";
    QTest::newRow("program echoes the data sum")
        << c << command(0x00, hex("00 00 02 00 00 04 01 02 03 F0")) << hex("68 00 07 80 F6 E5 16")
        << "program addr=0x0200 len=4 code=0x00";
    QTest::newRow("program resend code") << c << command(0x30, hex("00 00 F7 FE 00 02 00 00"))
                                         << hex("68 00 07 80 00 EF 16") << "program addr=0xF7FE len=2 code=0x30";
    QTest::newRow("short program acknowledgement")
        << QStringList{"--model", "ZVK7H64B+", "--short-program-ack"} << command(0x00, hex("00 00 00 00 00 01 5A"))
        << hex("68 00 06 80 EE 16") << "program addr=0x0000 len=1 code=0x00";
    QTest::newRow("family 2 options") << c << command(0x8D, hex("EC FF FA")) << hex("68 00 06 8D FB 16")
                                      << "options o=0xEC reload=0xFFFA";
    QTest::newRow("family 0 options") << QStringList{"--model", "ZVK7H64B"} << command(0x8D, hex("48"))
                                      << hex("68 00 06 8D FB 16") << "options v=0x48";
}

void TestSimSelftest::workedFrames()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, reply);
    QFETCH(QString, traceLine);

    Sim sim(args);
    QVERIFY(sim.ok);
    QVERIFY(sim.openPort(1200));
    QVERIFY(!sim.greet().isEmpty());
    sim.send(frame);
    const QByteArray got = sim.read(1000);
    QVERIFY2(got.endsWith(reply), got.toHex(' ').constData());
    QVERIFY(sim.waitForTrace(traceLine));
}

void TestSimSelftest::rejectedFrames_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("reason");

    const QStringList c = {"--model", "ZVK7H64B+"};
    QTest::newRow("bad checksum") << c << hex("6A 00 06 80 F1 16") << "reject bad-checksum code=0x80";
    QTest::newRow("bad end byte") << c << hex("6A 00 06 80 F0 17") << "reject bad-end code=0x80";
    QTest::newRow("length field too small") << c << hex("6A 00 05 80 EF 16") << "reject bad-length len=5";
    QTest::newRow("length field too large") << c << hex("6A 00 07 80 F1 16") << "reject incomplete got=6";
    QTest::newRow("erase without page count") << c << command(0x84) << "reject data-length code=0x84 len=6";
    QTest::newRow("program count disagrees") << c << command(0x00, hex("00 00 00 00 00 02 01"))
                                             << "reject data-length code=0x00 len=13";
    QTest::newRow("program above the top area") << c << command(0x00, hex("00 00 F8 00 00 01 00"))
                                                 << "reject address code=0x00 addr=0xF800 len=1";
    QTest::newRow("program across the end of a 16K chip")
        << QStringList{"--model", "ZVK7L16D"} << command(0x00, hex("00 00 3F FF 00 02 00 00"))
        << "reject address code=0x00 addr=0x3FFF len=2";
    QTest::newRow("family 0 options with three bytes") << QStringList{"--model", "ZVK7H32B"}
                                                       << command(0x8D, hex("48 FF FA"))
                                                       << "reject data-length code=0x8D len=9";
    QTest::newRow("test baud with a bad complement") << c << command(0x8F, hex("FF FA 01 0C 17 81"))
                                                     << "reject bad-reload code=0x8F";
    QTest::newRow("unknown code") << c << command(0x99) << "reject unknown-code code=0x99";
}

void TestSimSelftest::rejectedFrames()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, frame);
    QFETCH(QString, reason);

    Sim sim(args);
    QVERIFY(sim.ok);
    QVERIFY(sim.openPort(1200));
    QVERIFY(!sim.greet().isEmpty());
    const bool prefixed = args.contains("--block-protect");
    QVERIFY(sim.exchange(frame, 400).isEmpty());
    QVERIFY(sim.waitForTrace(reason));
    // The chip is still listening afterwards.
    const QByteArray sync = (prefixed ? hex("46 B9") : QByteArray()) + command(0x80);
    QVERIFY(!sim.exchange(sync).isEmpty());
}

void TestSimSelftest::baudNegotiation_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("toolBaud");  // what the tool listens at after sending the test
    QTest::addColumn<int>("count");     // timer count of the reload pair
    QTest::addColumn<bool>("understood");
    QTest::addColumn<QString>("traceLine");

    const QStringList c = {"--model", "ZVK7H64B+"};
    QTest::newRow("11.0592 MHz, 115200") << c << 115200 << 3 << true << "test-baud baud=115200 ok";
    QTest::newRow("tool stays at 1200") << c << 1200 << 6 << false << "test-baud baud=57600 fail";
    QTest::newRow("12 MHz, 115200 is +8.5 %") << QStringList{"--clock", "12000000"} << 115200 << 3 << false
                                              << "test-baud baud=125000 fail";
    QTest::newRow("12 MHz, 115200 with 10 % tolerance")
        << QStringList{"--clock", "12000000", "--baud-tolerance", "10"} << 115200 << 3 << true
        << "test-baud baud=125000 ok";
}

void TestSimSelftest::baudNegotiation()
{
    QFETCH(QStringList, args);
    QFETCH(int, toolBaud);
    QFETCH(int, count);
    QFETCH(bool, understood);
    QFETCH(QString, traceLine);

    Sim sim(args);
    QVERIFY(sim.ok);
    QVERIFY(sim.openPort(1200));
    QVERIFY(!sim.greet().isEmpty());
    const int reload = 65536 - count;
    const quint8 hi = quint8(reload >> 8), lo = quint8(reload & 0xFF);
    QByteArray data;
    data.append(char(hi)).append(char(lo)).append(char(255 - hi)).append(char(12)).append(char(23)).append(char(0x81));
    sim.send(command(0x8F, data));
    QVERIFY(sim.switchBaud(toolBaud));
    int len = 0;
    QCOMPARE(findReply(sim.read(700), &len) >= 0, understood);
    QVERIFY(sim.waitForTrace(traceLine));

    // The loader is back at 1200 afterwards; the switch moves it for good.
    QVERIFY(sim.setBaud(1200));
    QVERIFY(!sim.exchange(command(0x80)).isEmpty());
    if (!understood)
        return;
    data.chop(1);
    sim.send(command(0x8E, data));
    QVERIFY(sim.switchBaud(toolBaud));
    QVERIFY(findReply(sim.read(800), &len) >= 0);
    QVERIFY(!sim.exchange(command(0x80)).isEmpty());
    QVERIFY(sim.switchBaud(1200));
    QVERIFY(sim.exchange(command(0x80), 300).isEmpty());
}

void TestSimSelftest::nonStandardBaudThroughTermios2()
{
    // 11.0592 MHz / 32 / 24 = 14400, a rate without a classic speed code.
    Sim sim({"--model", "ZVK7H64B+"});
    QVERIFY(sim.ok);
    QSerialPort port(sim.portPath);
    port.setBaudRate(1200);
    QVERIFY(port.open(QIODevice::ReadWrite));
    QByteArray got;
    int len = 0;
    for (int i = 0; i < 50 && findReply(got, &len) < 0; ++i) {
        port.write(hex("7F 7F"));
        port.waitForBytesWritten(100);
        if (port.waitForReadyRead(40))
            got += port.readAll();
    }
    QVERIFY(findReply(got, &len) >= 0);
    port.write(command(0x8F, hex("FF E8 00 30 17 81")));
    QVERIFY(port.waitForBytesWritten(500));
    QTest::qWait(10);
    QVERIFY(port.setBaudRate(14400));
    got.clear();
    QElapsedTimer t;
    t.start();
    while (findReply(got, &len) < 0 && t.elapsed() < 1000) {
        if (port.waitForReadyRead(100))
            got += port.readAll();
    }
    QVERIFY2(findReply(got, &len) >= 0, got.toHex(' ').constData());
    QVERIFY(sim.waitForTrace("test-baud baud=14400 ok"));
}

QTEST_GUILESS_MAIN(TestSimSelftest)
#include "test_sim_selftest.moc"

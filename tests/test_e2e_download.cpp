// zvkisp-cli download against zvkisp-sim over a pseudo-terminal: what lands in the chip's flash,
// the erase and option commands the chip saw, the top-area cut, Stop, Re-Download and the
// option read-back.
#include "support/sim_process.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

QString cli_binary()
{
    const QString env = qEnvironmentVariable("ZVKISP_CLI");
    return env.isEmpty() ? QStringLiteral(ZVKISP_BINARY_DIR "/src/zvkisp-cli") : env;
}

QByteArray pattern(int size, quint32 seed)
{
    QByteArray bytes(size, '\0');
    quint32 x = seed;
    for (int i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        bytes[i] = char((x >> 16) & 0xFF);
    }
    return bytes;
}

QByteArray read_file(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Run {
    int exit_code = -1;
    bool finished = false;
    QString out;
    QString err;
    QStringList lines() const { return out.split(QLatin1Char('\n')); }
};

class Download {
public:
    explicit Download(QTemporaryDir& dir) : dir_(dir) {}

    QString write_binary(const QByteArray& bytes)
    {
        const QString path = dir_.filePath(QStringLiteral("image.bin"));
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        return path;
    }
    QString flash_path() const { return dir_.filePath(QStringLiteral("flash.bin")); }
    QString trace_path() const { return dir_.filePath(QStringLiteral("trace.txt")); }
    QStringList trace() const
    {
        return QString::fromUtf8(read_file(trace_path())).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    bool start_sim(const QString& model, const QStringList& extra)
    {
        QStringList args{QStringLiteral("--model"), model, QStringLiteral("--flash-out"), flash_path(),
                         QStringLiteral("--trace"), trace_path()};
        return sim.start(args + extra);
    }

    void start_cli(const QStringList& args)
    {
        cli.setProgram(cli_binary());
        cli.setArguments(QStringList{QStringLiteral("download")} + args);
        cli.start();
        cli.waitForStarted(5000);
    }

    Run finish_cli(int timeout_ms)
    {
        Run r;
        r.finished = cli.waitForFinished(timeout_ms);
        if (!r.finished) {
            cli.kill();
            cli.waitForFinished(2000);
        }
        r.exit_code = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
        out_ += cli.readAllStandardOutput();
        r.out = QString::fromUtf8(out_).remove(QLatin1Char('\r'));
        r.err = QString::fromUtf8(cli.readAllStandardError());
        // The simulator writes its flash when the board runs and ends shortly after.
        sim.process().waitForFinished(3000);
        return r;
    }

    // Waits until standard output holds `text`.
    bool wait_for_output(const QString& text, int timeout_ms)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < timeout_ms) {
            cli.waitForReadyRead(50);
            out_ += cli.readAllStandardOutput();
            if (QString::fromUtf8(out_).contains(text))
                return true;
            if (cli.state() == QProcess::NotRunning)
                return false;
        }
        return false;
    }
    bool wait_for_error(const QString& text, int timeout_ms)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < timeout_ms) {
            cli.waitForReadyRead(50);
            out_ += cli.readAllStandardOutput();
            err_ += cli.readAllStandardError();
            if (QString::fromUtf8(err_).contains(text))
                return true;
            if (cli.state() == QProcess::NotRunning)
                return false;
        }
        return false;
    }
    void interrupt() { ::kill(pid_t(cli.processId()), SIGINT); }

    SimProcess sim;
    QProcess cli;

private:
    QTemporaryDir& dir_;
    QByteArray out_;
    QByteArray err_;
};

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
    void stop_during_programming();
    void redownload_two_boards_with_serial_numbers();
    void option_read_back_mismatch();
};

void TestE2eDownload::initTestCase()
{
    if (!SimProcess::available())
        QSKIP("zvkisp-sim is not built");
    if (!QFileInfo(cli_binary()).isExecutable())
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
    d.start_cli(QStringList{file, QStringLiteral("--port"), d.sim.port(), QStringLiteral("--model"), model} +
                cli_args);
    const Run r = d.finish_cli(60000);
    QVERIFY2(r.finished, qPrintable(r.out));
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
    d.start_cli({file, QStringLiteral("--port"), d.sim.port(), QStringLiteral("--model"), QStringLiteral("ZVK7H64B+")});
    const Run r = d.finish_cli(120000);
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

void TestE2eDownload::stop_during_programming()
{
    QTemporaryDir dir;
    Download d(dir);
    const QString file = d.write_binary(pattern(0xF000, 3));
    QVERIFY(d.start_sim(QStringLiteral("ZVK7H64B+"), {}));
    d.start_cli({file, QStringLiteral("--port"), d.sim.port(), QStringLiteral("--model"), QStringLiteral("ZVK7H64B+")});
    QVERIFY(d.wait_for_output(QStringLiteral("Programming.../ 正在下载..."), 30000));
    QTest::qWait(300);
    d.interrupt();
    const Run r = d.finish_cli(30000);
    QVERIFY(r.finished);
    QVERIFY2(r.exit_code != 0, qPrintable(r.out));
    QVERIFY2(r.lines().contains(kStopLine), qPrintable(r.out));
    QVERIFY(!r.lines().contains(kProgramOk));
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
    d.start_cli({file, QStringLiteral("--port"), d.sim.port(), QStringLiteral("--model"), QStringLiteral("ZVK7H64B+"),
                 QStringLiteral("--repeat"), QStringLiteral("--pause"), QStringLiteral("1"), QStringLiteral("--serial"),
                 QStringLiteral("0101,2,0009,1,dec")});
    const bool two = d.wait_for_error(QStringLiteral("board 2 programmed"), 60000);
    d.interrupt();
    const Run r = d.finish_cli(30000);
    QVERIFY2(two, qPrintable(r.out + r.err + d.sim.error_output()));
    QVERIFY(r.finished);
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
    d.start_cli({file, QStringLiteral("--port"), d.sim.port(), QStringLiteral("--model"), QStringLiteral("ZVK7H64B+")});
    const Run r = d.finish_cli(60000);
    QVERIFY(r.finished);
    QCOMPARE(r.exit_code, 1);
    QVERIFY2(r.lines().contains(QStringLiteral("Config option are error! / 设置选项失败!")), qPrintable(r.out));
    QVERIFY(!r.lines().contains(kProgramOk));
    QVERIFY(!r.out.contains(QStringLiteral("Verify  OK")));
    // The board was not started by the download itself: only the stop handling's run follows.
    QVERIFY(d.trace().filter(QStringLiteral("options o=")).size() == 1);
}

QTEST_GUILESS_MAIN(TestE2eDownload)
#include "test_e2e_download.moc"

// The exit statuses of zvkisp-cli as a production script sees them, one row per case, against
// zvkisp-sim: the status, what standard output and standard error must (and must not) hold, and
// that a signal leaves the port free and the board unreported.
#include "support/e2e_util.h"

#include <QElapsedTimer>
#include <QtTest>

#include <csignal>

namespace {

const QString kModel = QStringLiteral("ZVK7H64B+");
const QString kProgramOk = QStringLiteral("Program OK / 下载 OK ");

// Waits until the simulator's trace holds a line starting with `start` (or the tool ended).
bool wait_for_trace(e2e::SimCliRun& r, const QString& start)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 60000 && r.cli.process().state() != QProcess::NotRunning) {
        for (const QString& line : r.trace())
            if (line.startsWith(start))
                return true;
        r.cli.process().waitForReadyRead(20);
    }
    return false;
}

// The tool's --trace: the bytes of its TX lines, as upper-case hex.
QString sent_bytes(const QString& path)
{
    QStringList bytes;
    for (const QString& line : e2e::read_lines(path)) {
        const QStringList f = line.simplified().split(QLatin1Char(' '));
        if (f.value(1) == QLatin1String("TX"))
            bytes += f.mid(2);
    }
    return bytes.join(QLatin1Char(' '));
}

} // namespace

class TestE2eExit : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!SimProcess::available() || !CliProcess::available())
            QSKIP("zvkisp-sim or zvkisp-cli is not built");
    }

    void status_data()
    {
        QTest::addColumn<QStringList>("sim_args");
        QTest::addColumn<QStringList>("cli_args");   // after "<command> FILE --port P --model M"; {PORT} is the port
        QTest::addColumn<QString>("signal_at");      // "INT:<trace line start>" / "TERM:..."; empty: none
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("out");        // lines standard output must hold ("!" first: must not)
        QTest::addColumn<QString>("err");            // text standard error must hold

        const QStringList none;
        QTest::newRow("ok, traced") << none << QStringList{"--trace", "{TRACE}", "--progress", "plain"} << QString() << 0
                                    << QStringList{kProgramOk} << "programmed 100%";
        QTest::newRow("board failed") << QStringList{"--ignore-options"} << none << QString() << 1
                                      << QStringList{"!" + kProgramOk} << QString();
        QTest::newRow("usage: unknown option") << none << QStringList{"--no-such"} << QString() << 2 << none
                                               << "Unknown option 'no-such'";
        QTest::newRow("usage: refused serial") << none << QStringList{"--serial", "7FF0,1,abc,1,dec"} << QString() << 2
                                               << none << "NEXT and STEP must be decimal numbers";
        QTest::newRow("usage: test-option --wdt-pin") << none << QStringList{"test-option", "--wdt-pin", "P1.7"}
                                                      << QString() << 2 << none << "--wdt-pin is not taken";
        QTest::newRow("missing port") << none << QStringList{"--port", "/nonexistent/tty"} << QString() << 3 << none
                                      << "No serial device /nonexistent/tty";
        QTest::newRow("gang, one port missing") << none << QStringList{"--port", "{PORT}", "--port", "/nonexistent/tty", "-q"}
                                                << QString() << 3 << QStringList{"port={PORT} serial=- result=ok"} << QString();
        QTest::newRow("port path of 300 characters") << none << QStringList{"--port", "{LONG}"} << QString() << 0
                                                     << QStringList{kProgramOk} << QString();
        QTest::newRow("port vanished") << QStringList{"--vanish-after", "20"} << none << QString() << 3
                                       << QStringList{"!" + kProgramOk} << "vanished";
        QTest::newRow("bad file") << none << QStringList{"{TEXT}"} << QString() << 4 << none << "this is text";
        QTest::newRow("timeout, board off") << QStringList{"--power-on-delay", "600000"}
                                            << QStringList{"--timeout", "1"} << QString() << 5 << none << "--timeout";
        QTest::newRow("SIGINT in greeting") << QStringList{"--power-on-delay", "600000"} << none << "INT:" << 130
                                            << QStringList{"!" + kProgramOk} << QString();
        QTest::newRow("SIGTERM in greeting") << QStringList{"--power-on-delay", "600000"} << none << "TERM:" << 143
                                             << QStringList{"!" + kProgramOk} << QString();
        QTest::newRow("SIGTERM mid-program") << QStringList{"--program-us", "30000", "--exit-grace", "60000"} << none << "TERM:program addr=0x1000"
                                             << 143 << QStringList{"!" + kProgramOk} << QString();
        QTest::newRow("SIGINT mid-program of a batch") << QStringList{"--program-us", "30000", "--exit-grace", "60000"} << QStringList{"--repeat"}
                                                       << "INT:program addr=0x1000" << 130
                                                       << QStringList{"!" + kProgramOk} << QString();
        QTest::newRow("batch of --count 1, quiet")
            << QStringList{"--boards", "2", "--next-board-delay", "200"}
            << QStringList{"--repeat", "--count", "1", "--pause", "0", "-q", "--serial", "7FF0,2,0041,1,dec"} << QString()
            << 0 << QStringList{"port={PORT} serial=0041 result=ok", "!port={PORT} serial=0042 result=ok", "!" + kProgramOk}
            << QString();
        // --model auto: H and L parts program alike; a chip without identity in its status frame is refused.
        QTest::newRow("model auto") << QStringList{"--model", "ZVK7L16B+"} << QStringList{"--model", "auto"} << QString()
                                    << 0 << QStringList{kProgramOk} << "--model auto: ZVK7H16B+ (programmed as ZVK7L16B+";
        QTest::newRow("model auto, no identity") << QStringList{"--model", "ZVK7H64B"} << QStringList{"--model", "auto"}
                                                 << QString() << 2 << QStringList{"!" + kProgramOk} << "no identity";
        QTest::newRow("model auto, file beyond its flash") << QStringList{"--model", "ZVK7H04A"}
                                                           << QStringList{"--model", "auto"} << QString() << 4
                                                           << QStringList{"!" + kProgramOk} << "does not fit";
        QTest::newRow("batch ended by --timeout") << QStringList{"--boards", "2", "--next-board-delay", "600000"}
                                                  << QStringList{"--repeat", "--pause", "0", "--timeout", "2"} << QString()
                                                  << 0 << QStringList{kProgramOk} << "1 of 1 boards programmed";
    }
    void status()
    {
        QFETCH(QStringList, sim_args);
        QFETCH(QStringList, cli_args);
        QFETCH(QString, signal_at);
        e2e::SimCliRun r;
        const QString file = r.write_binary(e2e::pattern(0x2000, 3));
        const QString tool_trace = r.dir.filePath(QStringLiteral("tool.trace"));
        const QString sim_model = sim_args.value(0) == QLatin1String("--model") ? sim_args.mid(1, 1).join("") : kModel;
        QVERIFY(r.start_sim(sim_model, sim_args.mid(sim_model == kModel ? 0 : 2)));
        QString command = QStringLiteral("download");
        if (cli_args.value(0) == QLatin1String("test-option"))
            command = cli_args.takeFirst();
        QStringList args;
        if (!cli_args.contains(QLatin1String("--model")))
            args << "--model" << kModel;
        if (!cli_args.contains(QLatin1String("--port")))
            args << "--port" << r.sim.port();
        if (command == QLatin1String("download"))
            args.prepend(file);
        for (QString a : cli_args) {
            if (a == QLatin1String("{TEXT}")) {
                a = r.dir.filePath(QStringLiteral("notes.txt"));
                QVERIFY(e2e::write_file(a, "This is a text file,\nnot a program.\n"));
                args[0] = a;
                continue;
            }
            if (a == QLatin1String("{LONG}")) {   // a link to the port with a path too long for a file name
                a = r.dir.filePath(QString(120, QLatin1Char('d')) + QLatin1Char('/') + QString(120, QLatin1Char('e')));
                QVERIFY(QDir().mkpath(a));
                a += QStringLiteral("/") + QString(60, QLatin1Char('p'));
                QVERIFY(QFile::link(r.sim.port(), a));
            }
            args << a.replace(QLatin1String("{TRACE}"), tool_trace).replace(QLatin1String("{PORT}"), r.sim.port());
        }
        QVERIFY(r.start_cli(command, args));
        if (!signal_at.isEmpty()) {
            const QString at = signal_at.section(QLatin1Char(':'), 1);
            if (at.isEmpty())
                QTest::qWait(1500);
            else
                QVERIFY2(wait_for_trace(r, at), qPrintable(r.cli.out()));
            ::kill(pid_t(r.cli.process().processId()), signal_at.startsWith(QLatin1String("INT")) ? SIGINT : SIGTERM);
        }
        QVERIFY2(r.cli.finish(90000), qPrintable(r.cli.out()));
        if (!signal_at.isEmpty() && r.sim.running()) {
            // The port is free again: a second tool opens it at once.
            CliProcess again;
            QVERIFY(again.start({"connect", "--port", r.sim.port(), "--model", kModel, "--timeout", "1"}));
            QVERIFY(again.finish(20000));
            QVERIFY2(again.exit_code() != 3, qPrintable(again.err()));
        }
        r.finish(10000);
        const QString shown = r.cli.err() + QStringLiteral("\n--- stdout:\n") + r.cli.out();
        QFETCH(int, status);
        QVERIFY2(r.cli.exit_code() == status, qPrintable(QStringLiteral("exit %1\n").arg(r.cli.exit_code()) + shown));
        QFETCH(QStringList, out);
        for (QString line : out) {
            line.replace(QLatin1String("{PORT}"), r.sim.port());
            const bool absent = line.startsWith(QLatin1Char('!'));
            QVERIFY2(r.cli.lines().contains(absent ? line.mid(1) : line) != absent, qPrintable(line + "\n" + shown));
        }
        QFETCH(QString, err);
        QVERIFY2(r.cli.err().contains(err), qPrintable(shown));
        if (status == 2 || status == 4)   // refused: the board was neither erased nor programmed
            QVERIFY2(r.trace().filter(QRegularExpression("^(erase|program)")).isEmpty(), qPrintable(r.trace().join('\n')));
        if (cli_args.contains(QLatin1String("{TRACE}"))) {
            // From the erase on, every byte the board took in is in the tool's trace, in order (the
            // run command is sent again after the board has left its boot loader).
            QString frames = e2e::received_frames(r.trace()).join(QLatin1Char(' '));
            QString sent = sent_bytes(tool_trace);
            frames = frames.mid(frames.indexOf(QLatin1String("6A 00 07 84")));
            sent = sent.mid(sent.indexOf(QLatin1String("6A 00 07 84")));
            QVERIFY(frames.size() > 8000);
            QCOMPARE(sent.left(frames.size()), frames);
        }
    }

    // Every help fits 80 columns, and every example in it is taken as written: with its port
    // swapped for one that does not exist it gets past the argument checks (no exit 2 or 4).
    void help_examples()
    {
        QTemporaryDir dir;
        for (const char* name : {"blink.hex", "app.hex"})
            QVERIFY(e2e::write_file(dir.filePath(QLatin1String(name)), ":0400000001020304F2\n:00000001FF\n"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"})   // a store of its own
            env.insert(QLatin1String(name), dir.path());
        auto run = [&dir, &env](const QStringList& args, QString* out = nullptr) {
            CliProcess cli;
            cli.process().setWorkingDirectory(dir.path());
            cli.process().setProcessEnvironment(env);
            const bool ended = cli.start(args) && cli.finish(30000);
            if (out)
                *out = cli.out();
            return ended ? cli.exit_code() : -1;
        };
        QString top;
        QCOMPARE(run({"--help"}, &top), 0);
        QStringList commands;
        for (const QString& line : top.split(QLatin1Char('\n')))
            if (line.startsWith(QLatin1String("  ")) && line.at(2).isLower())
                commands << line.section(QLatin1Char(' '), 2, 2);
        QVERIFY(commands.contains(QLatin1String("download")) && commands.contains(QLatin1String("version")));
        int examples = 0;
        for (const QString& command : commands) {
            QString help;
            QCOMPARE(run({command, "--help"}, &help), 0);
            const QString joined = QString(help).replace(QLatin1String("\\\n"), QString());
            for (const QString& line : (top + help).split(QLatin1Char('\n')))
                QVERIFY2(line.size() <= 80, qPrintable(command + ": " + line));
            for (const QString& line : joined.split(QLatin1Char('\n'))) {
                if (!line.startsWith(QLatin1String("Example: zvkisp-cli ")))
                    continue;
                QStringList args = QProcess::splitCommand(line.mid(20).section(QLatin1String(" > "), 0, 0));
                for (int i = 1; i < args.size(); ++i)
                    if (args.at(i - 1) == QLatin1String("--port"))
                        args[i] = QStringLiteral("/nonexistent/port%1").arg(i);
                const int status = run(args);
                QVERIFY2(status >= 0 && status != 2 && status != 4, qPrintable(QString::number(status) + ": " + line));
                ++examples;
            }
        }
        QVERIFY(examples >= 10);
    }
};

QTEST_GUILESS_MAIN(TestE2eExit)
#include "test_e2e_exit.moc"

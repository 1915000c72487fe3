// Gang programming: one zvkisp-cli download over four zvkisp-sim boards on four pseudo-terminals,
// one of which fails, before or after it took its serial number.
#include "support/cli_process.h"
#include "store/board_record.h"
#include "support/e2e_util.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <array>
#include <memory>

namespace {

const QString kModel = QStringLiteral("ZVK7H64B+");
const QString kProgramOk = QStringLiteral("Program OK / 下载 OK ");
const QString kProgramFailed = QStringLiteral("Program is failure. / 下载失败");

} // namespace

class TestE2eGang : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void four_boards_one_faulty_data();
    void four_boards_one_faulty();
    void repeat_until_stopped();
    void refused_arguments_data();
    void refused_arguments();
};

void TestE2eGang::initTestCase()
{
    if (!SimProcess::available())
        QSKIP("zvkisp-sim is not built");
    if (!QFileInfo(CliProcess::binary()).isExecutable())
        QSKIP("zvkisp-cli is not built");
}

void TestE2eGang::four_boards_one_faulty_data()
{
    QTest::addColumn<QStringList>("fault");
    QTest::addColumn<QString>("failure");
    // Board 2 answers the handshake, the erase and a few dozen program frames, then nothing; or
    // its adapter disappears after the last program frame, or it keeps its old options: those two
    // fail after their serial number went out, and the number goes to the next board.
    QTest::newRow("silent board") << QStringList{QStringLiteral("--mute-after"), QStringLiteral("60")} << kProgramFailed;
    QTest::newRow("vanishing adapter") << QStringList{QStringLiteral("--vanish-on"), QStringLiteral("0x8D")}
                                       << QStringLiteral("Config option are error!");
    QTest::newRow("options refused") << QStringList{QStringLiteral("--ignore-options")}
                                     << QStringLiteral("Config option are error!");
}

void TestE2eGang::four_boards_one_faulty()
{
    QFETCH(QStringList, fault);
    QFETCH(QString, failure);
    QTemporaryDir dir;
    const int size = 16384;
    const QByteArray image = e2e::pattern(size, 21);
    const QString file = dir.filePath(QStringLiteral("image.bin"));
    QVERIFY(e2e::write_file(file, image));

    // The serial number sits at 2FFCh..2FFFh, in the middle of the image; its chunk goes out last.
    const int faulty = 2;
    std::array<std::unique_ptr<SimProcess>, 4> sims;
    const QString report = dir.filePath(QStringLiteral("report.csv"));
    QStringList args{file, QStringLiteral("--model"), kModel, QStringLiteral("--serial"),
                     QStringLiteral("2FFF,4,0099,1,dec"), QStringLiteral("--report"), report,
                     QStringLiteral("--report-format"), QStringLiteral("csv")};
    for (int i = 0; i < 4; ++i) {
        sims[i] = std::make_unique<SimProcess>();
        QStringList sim_args{QStringLiteral("--model"), kModel, QStringLiteral("--flash-out"),
                             dir.filePath(QStringLiteral("flash%1.bin").arg(i)), QStringLiteral("--trace"),
                             dir.filePath(QStringLiteral("trace%1.txt").arg(i))};
        if (i == faulty)
            sim_args << fault;
        QVERIFY(sims[i]->start(sim_args));
        args << QStringLiteral("--port") << sims[i]->port();
    }

    CliProcess cli;
    const e2e::KeepOnFailure keep{dir, [&cli] { return cli.out() + cli.err(); }};
    QVERIFY(cli.start(QStringList{QStringLiteral("download")} + args));
    const bool ended = cli.finish(120000);
    const QString out = cli.out();
    QVERIFY2(ended, qPrintable(out + cli.err()));
    QVERIFY(!cli.crashed());
    QCOMPARE(cli.exit_code(), 1);   // not every port's board succeeded

    QSet<int> numbers;
    for (int i = 0; i < 4; ++i) {
        const QString prefix = QStringLiteral("[%1] ").arg(sims[i]->port());
        const QStringList lines = out.split(QLatin1Char('\n'));
        QVERIFY2(lines.contains(prefix + QStringLiteral("Connection is OK... / 握手成功...")), qPrintable(out));
        if (i == faulty) {
            QVERIFY2(!lines.contains(prefix + kProgramOk), qPrintable(out));
            bool failure_line = false;
            for (const QString& l : lines)
                failure_line = failure_line || l.startsWith(prefix + failure);
            QVERIFY2(failure_line, qPrintable(out));
            QVERIFY(out.contains(sims[i]->port() + QStringLiteral(": 0 programmed, 1 failed")));
            continue;
        }
        QVERIFY2(lines.contains(prefix + kProgramOk), qPrintable(out));
        // The board writes its flash out when it runs the program, a moment after the tool is done.
        const QString flash_file = dir.filePath(QStringLiteral("flash%1.bin").arg(i));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(flash_file).size() >= size, 10000);
        sims[i]->stop();
        const QByteArray flash = e2e::read_file(flash_file);
        QVERIFY(flash.size() >= size);
        // Everything but the four serial-number bytes is the image; those hold a decimal number.
        const int at = 0x2FFC;
        QCOMPARE(flash.left(at).toHex(), image.left(at).toHex());
        QCOMPARE(flash.mid(at + 4, size - at - 4).toHex(), image.mid(at + 4).toHex());
        bool ok = false;
        const int number = flash.mid(at, 4).toHex().toInt(&ok, 10);
        QVERIFY2(ok, flash.mid(at, 4).toHex().constData());
        QVERIFY(!numbers.contains(number));
        numbers.insert(number);
        QVERIFY(out.contains(sims[i]->port() + QStringLiteral(": 1 programmed, 0 failed, serial numbers %1")
                                                  .arg(number, 8, 10, QLatin1Char('0'))));
    }
    // Consecutive over the three boards that succeeded, starting at the next value, none skipped.
    QCOMPARE(numbers, (QSet<int>{99, 100, 101}));
    QVERIFY(out.contains(QStringLiteral("all ports: 3 programmed, 1 failed")));
    QVERIFY(out.contains(QStringLiteral("next serial number: 00000102")));
    // A record per board: the header once, three good boards with their numbers, one failed.
    const QStringList rows = QString::fromUtf8(e2e::read_file(report)).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 5);
    QCOMPARE(rows.first(), BoardRecord::csv_header());
    QCOMPARE(rows.filter(QRegularExpression(QStringLiteral(",0000(0099|0100|0101),.*,ok,"))).size(), 3);
    QCOMPARE(rows.filter(QStringLiteral(",failed,")).size(), 1);
}

// Re-Download on two ports, two boards each, until Ctrl-C: four boards, four consecutive numbers.
void TestE2eGang::repeat_until_stopped()
{
    QTemporaryDir dir;
    const QByteArray image = e2e::pattern(4096, 8);
    const QString file = dir.filePath(QStringLiteral("image.bin"));
    QVERIFY(e2e::write_file(file, image));
    std::array<std::unique_ptr<SimProcess>, 2> sims;
    QStringList args{QStringLiteral("download"), file, QStringLiteral("--model"), kModel, QStringLiteral("--repeat"),
                     QStringLiteral("--pause"), QStringLiteral("1"), QStringLiteral("--serial"),
                     QStringLiteral("0101,2,0007,1,dec")};
    for (int i = 0; i < 2; ++i) {
        sims[i] = std::make_unique<SimProcess>();
        // After its second board the line stays (a port that vanished would fail the next board).
        QVERIFY(sims[i]->start({QStringLiteral("--model"), kModel, QStringLiteral("--boards"), QStringLiteral("2"),
                                QStringLiteral("--next-board-delay"), QStringLiteral("300"), QStringLiteral("--exit-grace"),
                                QStringLiteral("60000"), QStringLiteral("--flash-out"),
                                dir.filePath(QStringLiteral("flash%1.bin").arg(i))}));
        args << QStringLiteral("--port") << sims[i]->port();
    }
    CliProcess cli;
    QVERIFY(cli.start(args));
    QElapsedTimer t;
    t.start();
    auto both_done = [&] {
        return cli.err().contains(QStringLiteral("[%1] board 2 programmed").arg(sims[0]->port())) &&
               cli.err().contains(QStringLiteral("[%1] board 2 programmed").arg(sims[1]->port()));
    };
    while (!both_done() && !cli.err().contains(QStringLiteral(" failed")) && t.elapsed() < 90000 &&
           cli.process().state() != QProcess::NotRunning)
        cli.process().waitForReadyRead(200);
    QVERIFY2(both_done(), qPrintable(cli.out() + cli.err()));
    cli.interrupt();
    QVERIFY(cli.finish(30000));
    QCOMPARE(cli.exit_code(), 0);   // Ctrl-C in the pause after good boards

    QSet<QByteArray> numbers;
    for (int i = 0; i < 2; ++i) {
        sims[i]->stop();
        QVERIFY(cli.out().contains(sims[i]->port() + QStringLiteral(": 2 programmed, 0 failed")));
        for (int board = 1; board <= 2; ++board) {
            const QByteArray flash =
                e2e::read_file(dir.filePath(QStringLiteral("flash%1.bin.%2").arg(i).arg(board)));
            QVERIFY(flash.size() >= image.size());
            numbers.insert(flash.mid(0x100, 2).toHex());
            QCOMPARE(flash.left(0x100).toHex(), image.left(0x100).toHex());
            QCOMPARE(flash.mid(0x102, 4096 - 0x102).toHex(), image.mid(0x102).toHex());
        }
    }
    QCOMPARE(numbers, (QSet<QByteArray>{"0007", "0008", "0009", "0010"}));
    QVERIFY(cli.out().contains(QStringLiteral("next serial number: 0011")));
}

void TestE2eGang::refused_arguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("error");
    const QStringList two_ports{QStringLiteral("--port"), QStringLiteral("/dev/null"), QStringLiteral("--port"),
                                QStringLiteral("/dev/zero")};
    QTest::newRow("same port twice") << QStringList{QStringLiteral("--port"), QStringLiteral("/dev/null"),
                                                    QStringLiteral("--port"), QStringLiteral("/dev/null")}
                                     << "given twice";
    QTest::newRow("pause not a number") << two_ports + QStringList{QStringLiteral("--repeat"), QStringLiteral("--pause"),
                                                                   QStringLiteral("x")}
                                        << "--pause";
}

void TestE2eGang::refused_arguments()
{
    QFETCH(QStringList, args);
    QFETCH(QString, error);
    CliProcess cli;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("image.bin"));
    QVERIFY(e2e::write_file(file, e2e::pattern(256, 1)));
    QVERIFY(cli.start(QStringList{QStringLiteral("download"), file, QStringLiteral("--model"), kModel} + args));
    QVERIFY(cli.finish(10000));
    QCOMPARE(cli.exit_code(), 2);
    QVERIFY2(cli.err().contains(error), qPrintable(cli.err()));
}

QTEST_GUILESS_MAIN(TestE2eGang)
#include "test_e2e_gang.moc"

// Gang programming: one zvkisp-cli download over four zvkisp-sim boards on four pseudo-terminals,
// one of which goes silent in the middle of programming.
#include "support/cli_process.h"
#include "support/e2e_util.h"

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
    void four_boards_one_faulty();
    void same_port_twice_is_refused();
};

void TestE2eGang::initTestCase()
{
    if (!SimProcess::available())
        QSKIP("zvkisp-sim is not built");
    if (!QFileInfo(CliProcess::binary()).isExecutable())
        QSKIP("zvkisp-cli is not built");
}

void TestE2eGang::four_boards_one_faulty()
{
    QTemporaryDir dir;
    const int size = 16384;
    const QByteArray image = e2e::pattern(size, 21);
    const QString file = dir.filePath(QStringLiteral("image.bin"));
    QVERIFY(e2e::write_file(file, image));

    // Board 2 answers the handshake, the erase and a few dozen program frames, then nothing. The
    // serial number sits in the image's last bytes, so that board fails before it takes one.
    const int faulty = 2;
    std::array<std::unique_ptr<SimProcess>, 4> sims;
    QStringList args{file, QStringLiteral("--model"), kModel, QStringLiteral("--serial"),
                     QStringLiteral("3FFF,4,0099,1,dec")};
    for (int i = 0; i < 4; ++i) {
        sims[i] = std::make_unique<SimProcess>();
        QStringList sim_args{QStringLiteral("--model"), kModel, QStringLiteral("--flash-out"),
                             dir.filePath(QStringLiteral("flash%1.bin").arg(i))};
        if (i == faulty)
            sim_args << QStringLiteral("--mute-after") << QStringLiteral("60");
        QVERIFY(sims[i]->start(sim_args));
        args << QStringLiteral("--port") << sims[i]->port();
    }

    CliProcess cli;
    QVERIFY(cli.start(QStringList{QStringLiteral("download")} + args));
    const bool ended = cli.finish(120000);
    const QString out = cli.out();
    QVERIFY2(ended, qPrintable(out + cli.err()));
    QVERIFY(!cli.crashed());
    QCOMPARE(cli.exit_code(), 1);   // not every port's board succeeded

    QSet<int> numbers;
    for (int i = 0; i < 4; ++i) {
        sims[i]->stop();
        const QString prefix = QStringLiteral("[%1] ").arg(sims[i]->port());
        const QStringList lines = out.split(QLatin1Char('\n'));
        QVERIFY2(lines.contains(prefix + QStringLiteral("Connection is OK... / 握手成功...")), qPrintable(out));
        if (i == faulty) {
            QVERIFY2(!lines.contains(prefix + kProgramOk), qPrintable(out));
            bool failure_line = false;
            for (const QString& l : lines)
                failure_line = failure_line || l.startsWith(prefix + kProgramFailed);
            QVERIFY2(failure_line, qPrintable(out));
            QVERIFY(out.contains(sims[i]->port() + QStringLiteral(": 0 programmed, 1 failed")));
            continue;
        }
        QVERIFY2(lines.contains(prefix + kProgramOk), qPrintable(out));
        const QByteArray flash = e2e::read_file(dir.filePath(QStringLiteral("flash%1.bin").arg(i)));
        QVERIFY(flash.size() >= size);
        // Everything but the four serial-number bytes is the image; those hold a decimal number.
        QCOMPARE(flash.left(size - 4).toHex(), image.left(size - 4).toHex());
        bool ok = false;
        const int number = flash.mid(size - 4, 4).toHex().toInt(&ok, 10);
        QVERIFY2(ok, flash.mid(size - 4, 4).toHex().constData());
        QVERIFY(!numbers.contains(number));
        numbers.insert(number);
        QVERIFY(out.contains(sims[i]->port() + QStringLiteral(": 1 programmed, 0 failed, serial numbers %1")
                                                  .arg(number, 8, 10, QLatin1Char('0'))));
    }
    // Distinct and consecutive over the three boards that succeeded, starting at the next value.
    QCOMPARE(numbers, (QSet<int>{99, 100, 101}));
    QVERIFY(out.contains(QStringLiteral("all ports: 3 programmed, 1 failed")));
    QVERIFY(out.contains(QStringLiteral("next serial number: 00000102")));
}

void TestE2eGang::same_port_twice_is_refused()
{
    CliProcess cli;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("image.bin"));
    QVERIFY(e2e::write_file(file, e2e::pattern(256, 1)));
    QVERIFY(cli.start({QStringLiteral("download"), file, QStringLiteral("--model"), kModel, QStringLiteral("--port"),
                       QStringLiteral("/dev/null"), QStringLiteral("--port"), QStringLiteral("/dev/null")}));
    QVERIFY(cli.finish(10000));
    QCOMPARE(cli.exit_code(), 2);
    QVERIFY(cli.err().contains(QStringLiteral("given twice")));
}

QTEST_GUILESS_MAIN(TestE2eGang)
#include "test_e2e_gang.moc"

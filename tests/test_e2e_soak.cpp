// A short soak: a dozen downloads of random images while the simulated boot loader's answers are
// corrupted on the line (1 %). The retries must carry almost every download through, a failure
// must say so in the log, and no download may report success while the flash differs from the
// image. bench/bench_soak runs the long version.
#include "support/cli_process.h"
#include "support/sim_process.h"
#include "support/soak_run.h"

#include <QtTest>

class TestE2eSoak : public QObject {
    Q_OBJECT
private slots:
    void corrupted_answers_data()
    {
        QTest::addColumn<QStringList>("extra");
        QTest::addColumn<int>("downloads");
        QTest::newRow("1 % corrupted answers") << QStringList{} << 8;
        // Lost answers as well as corrupted ones: the same retries must cover them.
        QTest::newRow("corrupted and dropped answers") << QStringList{"--drop-reply", "0.01"} << 4;
    }
    void corrupted_answers()
    {
        if (!SimProcess::available() || !CliProcess::available())
            QSKIP("zvkisp-sim or zvkisp-cli is not built");
        QFETCH(QStringList, extra);
        QFETCH(int, downloads);
        SoakOptions o;
        o.downloads = downloads;
        o.first_seed = 1000;
        o.extra_sim_args = extra;
        const SoakResult r = run_soak(o);
        const QString notes = r.notes.join(QLatin1Char('\n'));
        qInfo("%d succeeded, %d failed with a message", r.succeeded, r.failed_with_message);
        QCOMPARE(r.succeeded + r.failed_with_message + r.silent_corruptions + r.unexplained, downloads);
        QVERIFY2(r.silent_corruptions == 0, qPrintable(notes));
        QVERIFY2(r.unexplained == 0, qPrintable(notes));
        // The retries carry nearly every download through (the bench measures the rate over 200).
        QVERIFY2(r.succeeded * 10 >= downloads * 8, qPrintable(notes));
    }
};

QTEST_GUILESS_MAIN(TestE2eSoak)
#include "test_e2e_soak.moc"

// The window's production store offscreen: the store chosen on the options page (a typed password
// taken out and never kept), and the Production records dialog showing the series of the
// serial-number settings first and the last boards newest first, or one line when the store
// cannot be reached.

#include "settings/settings_store.h"
#include "store/production_store.h"
#include "support/scripted_dialogs.h"
#include "ui/frm_main.h"
#include "ui/records_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlDatabase>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A series of the page's settings (10 and 12 used, 11 given back) and another one; two boards.
bool fill_store(const QString& path)
{
    auto store = open_production_store(path, QStringLiteral("st")).value;
    SeriesKey key, other;
    QString error;
    if (!store || !SeriesKey::parse(QStringLiteral("widget/1FFF/2/dec"), &key, &error) ||
        !SeriesKey::parse(QStringLiteral("other/0100/4/bin"), &other, &error) || !store->create_series(key, 10, 1).ok() ||
        !store->create_series(other, 1, 1).ok())
        return false;
    const SerialLease a = store->take(key).value, b = store->take(key).value, c = store->take(key).value;
    bool ok = store->confirm(a).ok() && store->give_back(b).ok() && store->confirm(c).ok();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const auto& [port, number, result, ago] : {std::tuple{"COM2", "0012", RecordResult::Ok, 60},
                                                    std::tuple{"COM3", "0011", RecordResult::Failed, 30}}) {
        BoardRecord r = BoardRecord::begin();
        r.started = now.addSecs(-ago);
        r.port = QString::fromLatin1(port);
        r.serial_number = QString::fromLatin1(number);
        r.result = result;
        r.failure_reason = result == RecordResult::Ok ? QString() : QStringLiteral("no answer");
        ok = ok && store->add_record(r).ok();
    }
    return ok;
}

QStringList rows(const QTableWidget* t, int first_column)
{
    QStringList out;
    for (int r = 0; r < t->rowCount(); ++r) {
        QStringList cells;
        for (int c = first_column; c < t->columnCount(); ++c)
            cells << t->item(r, c)->text();
        out << cells.join(u'|');
    }
    return out;
}

} // namespace

class TestUiRecords : public QObject {
    Q_OBJECT
private slots:
    void dialog_shows_the_store_data()
    {
        QTest::addColumn<QString>("typed");             // %1: a temporary folder
        QTest::addColumn<QString>("kept");
        QTest::addColumn<QString>("series");            // the series line ("" when unreachable)
        QTest::addColumn<QStringList>("series_rows");   // cells joined by '|'
        QTest::addColumn<QStringList>("record_rows");   // without the time
        const QString socket = QStringLiteral("postgresql://nobody%1@/zvk?host=%2/none");
        QTest::newRow("sqlite")
            << QStringLiteral("%1/p.sqlite") << QStringLiteral("%1/p.sqlite")
            << QStringLiteral("Current series / 当前系列: widget/1FFF/2/dec")
            << QStringList{"widget/1FFF/2/dec|13|1|2|0|1|10 - 12", "other/0100/4/bin|1|1|0|0|0|-"}
            << QStringList{"st|COM3|0011|Failed/失败|no answer", "st|COM2|0012|OK/成功|"};
        QTest::newRow("unreachable, password typed")
            << socket.arg(QStringLiteral(":s3cret"), QStringLiteral("%1")) << socket.arg(QString(), QStringLiteral("%1"))
            << QString() << QStringList() << QStringList();
    }
    void dialog_shows_the_store()
    {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QFETCH(QString, series);
        QFETCH(QStringList, series_rows);
        QFETCH(QStringList, record_rows);
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
            QSKIP("the SQLite driver of Qt SQL is not installed");
        QTemporaryDir dir;
        typed = typed.arg(dir.path());
        kept = kept.arg(dir.path());
        if (!series_rows.isEmpty())
            QVERIFY(fill_store(kept));

        ScriptedDialogs dialogs;
        frmMain::Options o;
        o.dialogs = &dialogs;
        o.calibrate = false;
        frmMain w(o);
        w.show();
        w.texAuto_Increase[0]->setText(QStringLiteral("1FFF"));
        w.texAuto_Increase[1]->setText(QStringLiteral("2"));
        w.optAuto_Increase[1]->setChecked(true);
        w.txtStoreUrl->setText(typed);
        emit w.txtStoreUrl->editingFinished();
        QCOMPARE(w.txtStoreUrl->text(), kept);
        QCOMPARE(w.settings().store_url(), kept);
        QCOMPARE(dialogs.messages.size(), typed == kept ? 0 : 1);

        w.comRecords->click();
        RecordsDialog* d = w.records_dialog();
        QVERIFY(d && d->isVisible());
        QCOMPARE(d->labSeries->text(), series);
        QCOMPARE(rows(d->tblSeries, 0), series_rows);
        QCOMPARE(rows(d->tblRecords, 1), record_rows);
        QCOMPARE(d->labStatus->isVisible(), series.isEmpty());
        QVERIFY(series.isEmpty() == d->labStatus->text().startsWith(RecordsDialog::kUnreachableText.section(u'%', 0, 0)));
        QVERIFY(!d->labStatus->text().contains(QStringLiteral("s3cret")));
    }
};

QTEST_MAIN(TestUiRecords)
#include "test_ui_records.moc"

// The window's Gang dialog offscreen, over zvkisp-sim boards on pseudo-terminals: two boards
// programmed at once (with and without the serial number, which then continues in the window),
// Stop ending every port, a board removed while the next is awaited, the log following its last
// line, and the checks made before anything is opened.

#include "device/gang_run.h"
#include "device/download_runner.h"
#include "device/workbench.h"
#include "image/serial_number.h"
#include "base/user_dialogs.h"
#include "settings/settings_store.h"
#include "support/e2e_util.h"
#include "support/scripted_dialogs.h"
#include "support/sim_process.h"
#include "ui/frm_main.h"
#include "ui/gang_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <array>
#include <memory>

namespace {

const QString kModel = QStringLiteral("ZVK7H64B+");

struct Fixture {
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    std::unique_ptr<frmMain> w;
    QByteArray image;

    Fixture()
    {
        QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/ZVK_ISP"))
            .removeRecursively();
        frmMain::Options o;
        o.dialogs = &dialogs;
        o.calibrate = false;
        w = std::make_unique<frmMain>(o);
        w->show();
        const int model = w->combMcuModel->findText(kModel);
        w->combMcuModel->setCurrentIndex(model);
        emit w->combMcuModel->activated(model);
    }
    // The loader reads the model's ranges from the boxes the deferred save fills.
    bool model_ready()
    {
        return QTest::qWaitFor([this] { return !w->settings().Timer3.enabled(); }, 3000) &&
               w->txtISP_reange[1]->text() == QStringLiteral("F7FF");
    }
    ~Fixture()
    {
        w.reset();
    }
    // Writes an image file and opens it with the window's Open File button.
    bool load(int size, quint32 seed)
    {
        if (!model_ready())
            return false;
        image = e2e::pattern(size, seed);
        const QString file = dir.filePath(QStringLiteral("image.bin"));
        dialogs.open_answers.enqueue(file);
        if (!e2e::write_file(file, image))
            return false;
        w->comLoadFile->click();
        return w->workbench().image.file_loaded && dialogs.messages.isEmpty();
    }
    GangDialog* open_dialog()
    {
        w->comGang->click();
        return w->gang_dialog();
    }
    QString cell(GangDialog* d, int row, int column) const { return d->table->item(row, column)->text(); }
};

} // namespace

class TestUiGang : public QObject {
    Q_OBJECT
private slots:
    void two_boards_at_once_data()
    {
        QTest::addColumn<bool>("serial");
        QTest::newRow("plain") << false;
        QTest::newRow("serial numbers") << true;
    }
    void two_boards_at_once()
    {
        QFETCH(bool, serial);
        if (!SimProcess::available())
            QSKIP("zvkisp-sim is not built");
        Fixture f;
        const int size = 4096;
        QVERIFY(f.load(size, serial ? 31 : 17));
        f.w->optBeepYes->setChecked(true);
        const int at = 0x0FFE;   // the two serial-number bytes, inside the file
        if (serial) {
            const QStringList fields{QStringLiteral("0FFF"), QStringLiteral("2"), QStringLiteral("0042"),
                                     QStringLiteral("1")};
            for (int i = 0; i < 4; ++i)
                f.w->texAuto_Increase[i]->setText(fields.at(i));
            f.w->optAuto_Increase[1]->click();
            f.w->cheAuto_Increase->click();
            QVERIFY(f.w->serial().serial_active);
        }

        std::array<std::unique_ptr<SimProcess>, 2> sims;
        QStringList ports;
        for (int i = 0; i < 2; ++i) {
            sims[i] = std::make_unique<SimProcess>();
            QVERIFY(sims[i]->start({QStringLiteral("--model"), kModel, QStringLiteral("--flash-out"),
                                    f.dir.filePath(QStringLiteral("flash%1.bin").arg(i))}));
            ports << sims[i]->port();
        }

        GangDialog* d = f.open_dialog();
        QVERIFY(d && d->isVisible());
        QCOMPARE(d->windowTitle(), QStringLiteral("Gang / 多口下载"));
        // The window's port is the first row until the list is changed.
        QCOMPARE(d->ports(), QStringList{f.w->combCommPort->currentText().trimmed()});
        d->set_ports(ports);
        QSignalSpy finished(d, &GangDialog::run_finished);
        d->startButton->click();
        QVERIFY2(d->run(), qPrintable(f.dialogs.texts().join(QLatin1Char('\n'))));
        // While the run is active neither the window's Download buttons nor Start are usable.
        QVERIFY(!d->startButton->isEnabled());
        QVERIFY(d->stopButton->isEnabled());
        QVERIFY(!f.w->comDownload[0]->isEnabled());
        QVERIFY(!f.w->comDownload[1]->isEnabled());
        QCOMPARE(d->table->rowCount(), 2);

        QVERIFY(finished.wait(120000) || finished.count() == 1);
        const QString log = d->log->toPlainText();
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(f.cell(d, i, GangDialog::ColPort), ports.at(i));
            QVERIFY2(f.cell(d, i, GangDialog::ColState) == QStringLiteral("OK/成功"), qPrintable(log));
            QCOMPARE(f.cell(d, i, GangDialog::ColOk), QStringLiteral("1"));
            QCOMPARE(f.cell(d, i, GangDialog::ColFailed), QStringLiteral("0"));
            QVERIFY(log.contains(QStringLiteral("[%1] Program OK / 下载 OK ").arg(ports.at(i))));
        }
        QVERIFY(log.contains(QStringLiteral("all ports/全部: 2 programmed/已下载, 0 failed/失败")));
        QCOMPARE(f.dialogs.beeps, 2);
        QVERIFY(d->startButton->isEnabled());
        QVERIFY(!d->stopButton->isEnabled());
        QVERIFY(f.w->comDownload[0]->isEnabled());
        QVERIFY(!f.w->gang_active());

        QSet<QByteArray> numbers;
        for (int i = 0; i < 2; ++i) {
            // The board writes its flash out when it runs the program, which may come a moment
            // after the tool has sent the run command and called the board done.
            const QString out = f.dir.filePath(QStringLiteral("flash%1.bin").arg(i));
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(out).size() >= size, 10000);
            QVERIFY(sims[i]->stop());
            const QByteArray flash = e2e::read_file(out);
            QVERIFY(flash.size() >= size);
            if (!serial) {
                QCOMPARE(flash.left(size).toHex(), f.image.toHex());
                continue;
            }
            QCOMPARE(flash.left(at).toHex(), f.image.left(at).toHex());
            QCOMPARE(flash.mid(at + 2, size - at - 2).toHex(), f.image.mid(at + 2).toHex());
            numbers.insert(flash.mid(at, 2).toHex());
            QVERIFY(f.cell(d, i, GangDialog::ColSerials) == QString::fromLatin1(flash.mid(at, 2).toHex()));
        }
        if (serial) {
            QCOMPARE(numbers, (QSet<QByteArray>{"0042", "0043"}));
            // The next single download continues the count: the field, the stored value and the buffer.
            QCOMPARE(f.w->texAuto_Increase[2]->text(), QStringLiteral("0044"));
            QCOMPARE(f.w->settings().value(SettingsStore::kAutoIncrease, QStringLiteral("next_value"), QString()),
                     QStringLiteral("0044"));
            const auto& buffer = f.w->workbench().image.program_buffer;
            QCOMPARE(int(buffer[size_t(at)]), 0x00);
            QCOMPARE(int(buffer[size_t(at + 1)]), 0x44);
        }
    }
    void stop_ends_every_port()
    {
        if (!SimProcess::available())
            QSKIP("zvkisp-sim is not built");
        Fixture f;
        QVERIFY(f.load(16384, 5));
        // Port 0: a board that stays switched off (the tool waits for it). Port 1: a board that
        // answers slowly, so it is still being programmed when Stop comes.
        SimProcess off, slow;
        QVERIFY(off.start({QStringLiteral("--model"), kModel, QStringLiteral("--power-on-delay"), QStringLiteral("600000")}));
        QVERIFY(slow.start({QStringLiteral("--model"), kModel, QStringLiteral("--reply-delay"), QStringLiteral("60")}));

        GangDialog* d = f.open_dialog();
        d->set_ports({off.port(), slow.port()});
        d->repeat->setChecked(true);
        QSignalSpy finished(d, &GangDialog::run_finished);
        d->startButton->click();
        QVERIFY(d->run());
        QTRY_VERIFY_WITH_TIMEOUT(d->run()->rows()[1].percent >= 0, 60000);
        // The programming port shows its bar; the waiting one none.
        auto bar = [d](int row) { return d->table->cellWidget(row, GangDialog::ColProgress)->findChild<QProgressBar*>(); };
        QVERIFY(bar(1)->isVisibleTo(d));
        QVERIFY(!bar(0)->isVisibleTo(d));
        QCOMPARE(d->run()->rows()[0].state, QStringLiteral("waiting"));
        QVERIFY(!f.w->comDownload[0]->isEnabled());

        d->stopButton->click();
        QVERIFY(finished.wait(60000) || finished.count() == 1);
        for (int i = 0; i < 2; ++i) {
            // The board that never came and the one cut off in the middle both end as stopped.
            QCOMPARE(f.cell(d, i, GangDialog::ColState), QStringLiteral("stopped/已停止"));
            QCOMPARE(f.cell(d, i, GangDialog::ColOk), QStringLiteral("0"));
            QVERIFY(!d->run()->rows()[size_t(i)].running);
            QVERIFY(!bar(i)->isVisibleTo(d));
        }
        QVERIFY(d->startButton->isEnabled());
        QVERIFY(!d->stopButton->isEnabled());
        QVERIFY(d->portList->isEnabled());
        QVERIFY(f.w->comDownload[0]->isEnabled());
        QVERIFY(d->log->toPlainText().contains(QStringLiteral("all ports/全部: 0 programmed")));
        off.stop();
        slow.stop();
    }
    void board_removed_while_waiting()
    {
        // Re-Download on one port: the board is programmed, then the adapter goes away during the
        // pause before the next board. That board was not a failure. The port is a link to the
        // board's pseudo-terminal, and unplugging removes the link: the terminal itself stays, so
        // no other test's board can take its name meanwhile.
        if (!SimProcess::available())
            QSKIP("zvkisp-sim is not built");
        Fixture f;
        QVERIFY(f.load(256, 9));
        f.w->comDalay_ReDownLoad->setCurrentIndex(7);   // 2 s
        SimProcess sim;
        QVERIFY(sim.start({QStringLiteral("--model"), kModel}));
        const QString adapter = f.dir.filePath(QStringLiteral("ttyUSB-gang"));
        QVERIFY(QFile::link(sim.port(), adapter));
        GangDialog* d = f.open_dialog();
        d->append_log(QStringLiteral("from an earlier run"));
        d->set_ports({adapter});
        d->repeat->setChecked(true);
        QSignalSpy finished(d, &GangDialog::run_finished);
        d->startButton->click();
        QVERIFY(d->run());
        QVERIFY(!d->log->toPlainText().contains(QStringLiteral("from an earlier run")));   // a new run, a new log
        QTRY_VERIFY_WITH_TIMEOUT(d->run()->rows()[0].boards_ok == 1, 60000);
        QVERIFY(QFile::remove(adapter));
        QVERIFY(finished.wait(30000) || finished.count() == 1);
        sim.stop();
        QCOMPARE(f.cell(d, 0, GangDialog::ColState), QStringLiteral("board removed/已拔出"));
        QCOMPARE(f.cell(d, 0, GangDialog::ColOk), QStringLiteral("1"));
        QCOMPARE(f.cell(d, 0, GangDialog::ColFailed), QStringLiteral("0"));
        QVERIFY(d->run()->all_last_ok());
        QVERIFY(f.cell(d, 0, GangDialog::ColTime).contains(QLatin1Char(':')));
    }
    void log_follows_the_last_line()
    {
        Fixture f;
        GangDialog* d = f.open_dialog();
        // The lines come one by one, as a port's lines do; the end of the last one is in view.
        for (int i = 0; i < 62; ++i) {
            d->append_log(i < 60 ? QStringLiteral("line %1").arg(i) : i == 60 ? QString(500, QLatin1Char('x')) : "last");
            QCoreApplication::processEvents();
            QTextCursor end = d->log->textCursor();
            end.movePosition(QTextCursor::End);
            QVERIFY2(d->log->viewport()->rect().contains(d->log->cursorRect(end)), qPrintable(QString::number(i)));
        }
    }
    void refused_before_any_port_opens_data()
    {
        QTest::addColumn<int>("case_");
        QTest::addColumn<QString>("box");
        QTest::newRow("no ports") << 0 << GangDialog::kNoPortText;
        QTest::newRow("same path twice") << 1 << GangDialog::kPortTwiceText.arg(QStringLiteral("/dev/zvk-none"),
                                                                                QStringLiteral("/dev/zvk-none"));
        QTest::newRow("COM name and its list entry") << 2 << QString();
        QTest::newRow("no file") << 3 << DownloadRunner::kNoFileText;
    }
    void refused_before_any_port_opens()
    {
        QFETCH(int, case_);
        QFETCH(QString, box);
        Fixture f;
        if (case_ != 3)
            QVERIFY(f.load(256, 3));
        GangDialog* d = f.open_dialog();
        switch (case_) {
        case 0: d->set_ports({QStringLiteral("  ")}); break;
        case 1: d->set_ports({QStringLiteral("/dev/zvk-none"), QStringLiteral(" /dev/zvk-none ")}); break;
        case 2: {
            // "COM2" and the list's entry for COM2 name one device.
            const QString entry = f.w->combCommPort->itemText(1);
            const QString device = f.w->device_for_port_text(entry);
            box = GangDialog::kPortTwiceText.arg(entry, device);
            d->set_ports({QStringLiteral("com2"), entry});
            break;
        }
        default: d->set_ports({QStringLiteral("/dev/zvk-none")}); break;
        }
        d->startButton->click();
        QCOMPARE(f.dialogs.texts(), QStringList{box});
        QVERIFY(!d->run());
        QVERIFY(d->startButton->isEnabled());
        QVERIFY(f.w->comDownload[0]->isEnabled());
    }
};

QTEST_MAIN(TestUiGang)
#include "test_ui_gang.moc"

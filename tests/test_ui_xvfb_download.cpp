// The window in a real X server (Xvfb), at its first-run size: it opens a virtual MCU's
// pseudo-terminal by its device path, loads the morse sample, clicks Download and shows
// "Program OK / 下载 OK ". The picture of the window (the README's, no path of this machine in
// it) is checked for its size and for not being blank, and saved next to the test (and as
// docs/screenshot.png with ZVKISP_UPDATE_SCREENSHOT=1, which scripts/screenshot sets).
//
// The test re-runs itself under xvfb-run; without xvfb-run or the simulator it is skipped.

#include "device/workbench.h"
#include "image/serial_number.h"
#include "base/user_dialogs.h"
#include "settings/settings_store.h"
#include "store/production_store.h"
#include "support/sim_process.h"
#include "ui/buffer_editor.h"
#include "ui/frm_main.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QSet>
#include <QTemporaryDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

namespace {

class AutoDialogs : public UserDialogs {
public:
    QStringList boxes;
    QString open_file;
    void beep() override {}
    void message_box(const QString& text, const QString&, Icon) override { boxes << text; }
    bool ask_yes_no(const QString& text, const QString&) override
    {
        boxes << text;
        return false;
    }
    QString choose_open_file(const QString&, const QString&, const QString&) override { return open_file; }
    QString choose_save_file(const QString&, const QString&, const QString&) override { return QString(); }
};

const char* kChildFlag = "ZVKISP_UNDER_XVFB";

} // namespace

class TestUiXvfbDownload : public QObject {
    Q_OBJECT
private slots:
    void download_through_device_path()
    {
        if (!qEnvironmentVariableIsSet(kChildFlag)) {
            const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
            if (xvfb.isEmpty())
                QSKIP("xvfb-run is not installed");
            if (!SimProcess::available())
                QSKIP("zvkisp-sim is not built");
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QString::fromLatin1(kChildFlag), QStringLiteral("1"));
            // A production store of its own: the serial numbers come from its series.
            QTemporaryDir data;
            env.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
            child.setProcessEnvironment(env);
            child.setProcessChannelMode(QProcess::MergedChannels);
            child.start(xvfb, {QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-screen 0 1280x1024x24"),
                               QCoreApplication::applicationFilePath(), QStringLiteral("download_through_device_path")});
            QVERIFY(child.waitForStarted(10000));
            const bool finished = child.waitForFinished(240000);
            const QByteArray out = child.readAll();
            if (!finished)
                child.kill();
            QVERIFY2(finished, out.constData());
            QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, out.constData());
            return;
        }

        // ---- In the X server --------------------------------------------------------------------
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        // The sample is opened by its name in a folder of its own, so the title shows no path.
        QTemporaryDir folder;
        QVERIFY(QFile::copy(QStringLiteral(ZVKISP_SOURCE_DIR "/samples/morse/morse.ihx"),
                            folder.filePath(QStringLiteral("morse.ihx"))));
        QVERIFY(QDir::setCurrent(folder.path()));
        SimProcess sim;
        QVERIFY(sim.start({QStringLiteral("--model"), QStringLiteral("ZVK7H64B+"), QStringLiteral("--power-on-delay"),
                           QStringLiteral("800")}));

        AutoDialogs dialogs;
        dialogs.open_file = QStringLiteral("morse.ihx");
        frmMain::Options o;
        o.dialogs = &dialogs;
        o.port_device = sim.port();
        frmMain w(o);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.chosen_port_device(), sim.port());

        const int model = w.combMcuModel->findText(QStringLiteral("ZVK7H64B+"));
        QVERIFY(model >= 0);
        w.combMcuModel->setCurrentIndex(model);
        emit w.combMcuModel->activated(model);
        QCOMPARE(w.workbench().model.model_code, QStringLiteral("F110"));
        // The range boxes the loader reads follow the model with the deferred save.
        QTRY_VERIFY_WITH_TIMEOUT(!w.settings().Timer3.enabled(), 3000);
        QCOMPARE(w.txtISP_reange[1]->text(), QStringLiteral("F7FF"));

        QTest::mouseClick(w.comLoadFile, Qt::LeftButton);
        QVERIFY2(w.workbench().image.file_loaded, qPrintable(dialogs.boxes.join(QLatin1Char('\n'))));
        QCOMPARE(w.Frame7->title(), QStringLiteral("File: morse.ihx"));
        QVERIFY2(w.txtBuffer2->dump_text().contains(QStringLiteral(" 000000   02 00 06 02")),
                 qPrintable(w.txtBuffer2->dump_text()));

        // The serial number comes from the store's series (here ahead of the page, as after another
        // station's boards), not from the page's next value.
        {
            auto store = open_production_store(QString(), QStringLiteral("test"));
            QVERIFY(store.ok());
            SeriesKey key{QStringLiteral("default"), 0x10, 2, SerialNumberFormat::Dec};
            QVERIFY(store.value->create_series(key, 41, 1).ok());
        }
        const QStringList fields{QStringLiteral("0010"), QStringLiteral("2"), QStringLiteral("0007"), QStringLiteral("1")};
        for (int i = 0; i < 4; ++i)
            w.texAuto_Increase[i]->setText(fields.at(i));
        w.optAuto_Increase[1]->click();
        w.cheAuto_Increase->click();
        QVERIFY(w.serial().serial_active);

        // Download blocks in its own waits; the click returns when the board is done.
        bool returned = false;
        QTimer::singleShot(0, &w, [&] {
            QTest::mouseClick(w.comDownload[0], Qt::LeftButton);
            returned = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(returned, 120000);
        const QString log = w.textMsg->toPlainText();
        QVERIFY2(log.contains(QStringLiteral("Program OK / 下载 OK ")), qPrintable(log));
        QVERIFY(w.comDownload[0]->isEnabled());
        QVERIFY(!w.comStop_Download->isEnabled());
        QCOMPARE(w.texAuto_Increase[2]->text(), QStringLiteral("0042"));
        {
            auto store = open_production_store(QString(), QStringLiteral("test"));
            const auto info = store.value->series(SeriesKey{QStringLiteral("default"), 0x10, 2, SerialNumberFormat::Dec});
            QVERIFY(info.ok());
            QCOMPARE(info.value.last_used, 41);
            QCOMPARE(info.value.used, 1);
        }

        QTest::qWait(200);
        const QImage shot = w.grab().toImage();
        // The first-run size (12000 x 9045 twips less title bar and borders), and a real picture:
        // many colours, no colour over most of it.
        const Twips& t = w.twips();
        QCOMPARE(shot.size(), QSize(t.px(12000 - frmMain::kNonClientWidth), t.px(9045 - frmMain::kNonClientHeight)));
        QHash<QRgb, int> colours;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                ++colours[shot.pixel(x, y)];
        int most = 0;
        for (int n : colours)
            most = qMax(most, n);
        QVERIFY2(colours.size() > 32, qPrintable(QString::number(colours.size())));
        QVERIFY(most < shot.width() * shot.height() * 9 / 10);
        QVERIFY(shot.save(QStringLiteral(ZVKISP_BINARY_DIR "/tests/screenshot.png")));
        if (qEnvironmentVariable("ZVKISP_UPDATE_SCREENSHOT") == QLatin1String("1")) {
            QDir().mkpath(QStringLiteral(ZVKISP_SOURCE_DIR "/docs"));
            QVERIFY(shot.save(QStringLiteral(ZVKISP_SOURCE_DIR "/docs/screenshot.png")));
        }
        w.close();
        QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), 3000);
        sim.stop();
    }
};

QTEST_MAIN(TestUiXvfbDownload)
#include "test_ui_xvfb_download.moc"

// The Soft ICE download against zvkisp-sim playing ZVK7H64B and ZVK7H32B, with generated monitor
// files: the flash holds the image over both programmed ranges, the used range ends as the second
// pass left it; and the same through 'zvkisp-cli softice --yes'.
#include "device/workbench.h"
#include "image/buffer_view.h"
#include "image/file_loader.h"
#include "image/serial_number.h"
#include "isp/qt_serial_port.h"
#include "softice/softice_download.h"
#include "support/cli_process.h"
#include "support/e2e_util.h"
#include "support/scripted_dialogs.h"
#include "support/sim_process.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

using e2e::read_file;
using e2e::write_file;

QByteArray monitor_bytes(int size, int seed)
{
    QByteArray d(size, '\0');
    for (int i = 0; i < size; ++i)
        d[i] = char((i * 37 + seed) % 253);
    return d;
}

// The flash after both passes: the image over 0x0000..0x027F (the second pass programs at least
// up to 639) and 0x2000..0x33FF, erased cells elsewhere.
QByteArray expected_flash(const QByteArray& image, int flash_size)
{
    QByteArray flash(flash_size, char(0xFF));
    flash.replace(0, 0x280, image.mid(0, 0x280));
    flash.replace(0x2000, 0x1400, image.mid(0x2000, 0x1400));
    return flash;
}

} // namespace

class TestE2eSoftIce : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!SimProcess::available())
            QSKIP("zvkisp-sim is not built");
        QVERIFY(data_.isValid());
        write_file(data_.filePath("ZVK2000.rom"), common_);
        write_file(data_.filePath("ZVK64_2003.ROM"), monitor_bytes(4096, 64));
        write_file(data_.filePath("ZVK32_2003.ROM"), monitor_bytes(3000, 32));   // a short one
        qputenv("ZVKISP_DATA_DIR", data_.path().toLocal8Bit());
    }
    void both_variants_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("flash_size");
        QTest::newRow("ZVK7H64B") << "ZVK7H64B" << 0x10000;
        QTest::newRow("ZVK7H32B") << "ZVK7H32B" << 0x8000;
    }
    void both_variants()
    {
        QFETCH(QString, model);
        QFETCH(int, flash_size);
        QTemporaryDir dir;
        const QString flash_path = dir.filePath(QStringLiteral("flash.bin"));
        SimProcess sim;
        QVERIFY(sim.start({"--model", model, "--flash-out", flash_path}));

        QtSerialPort port;
        ScriptedDialogs dialogs;
        dialogs.yes_no_answers << true << true;
        Workbench bench(&port, &dialogs);
        bench.select_model(model);
        bench.link.set_port_device(sim.port());
        bench.link.calibrate_delay_loop();
        BufferView view(bench.image, &dialogs);
        SerialNumber serial(bench.image, bench.model, view, nullptr, &dialogs);
        FileLoader loader(bench.image, bench.model, serial, view, nullptr, &dialogs);
        view.clear_program_buffer(0x00);
        bench.image.show_memory_ranges();
        SoftIceDownload softice(bench, loader, &view);
        softice.set_settling_enabled(false);

        softice.comDownSoft_ICE_Click();
        QVERIFY2(softice.succeeded, qPrintable(bench.log.text()));
        QCOMPARE(bench.log.text(), QStringLiteral("\r\nDownload Soft_ICE is succeed /下载 Soft_ICE 成功"));
        QCOMPARE(dialogs.texts().last(), QStringLiteral("Download Soft_ICE is succeed.\r\nChinese:下载 Soft_ICE 成功。"));
        // The viewer's used range is the second pass; the buffer still holds the whole image.
        QCOMPARE(bench.image.image_start, 0);
        QCOMPARE(bench.image.image_end, 0x7F);
        const QByteArray image(reinterpret_cast<const char*>(bench.image.program_buffer.data()), 0x10000);
        QCOMPARE(image.mid(0, 3).toHex(), QByteArray("022200"));
        QCOMPARE(image.mid(0x2000, 384), common_);
        QVERIFY(!bench.link.port_open());

        sim.stop();   // after it took in the run command
        const QByteArray flash = read_file(flash_path);
        QCOMPARE(flash.size(), flash_size);
        QCOMPARE(flash.toHex(), expected_flash(image, flash_size).toHex());
    }
    void command_line_with_yes()
    {
        if (!CliProcess::available())
            QSKIP("zvkisp-cli is not built");
        QTemporaryDir dir;
        const QString flash_path = dir.filePath(QStringLiteral("flash.bin"));
        const QString trace_path = dir.filePath(QStringLiteral("trace.txt"));
        SimProcess sim;
        QVERIFY(sim.start({"--model", "ZVK7H64B", "--flash-out", flash_path, "--trace", trace_path}));
        CliProcess cli;   // finds the monitor files through ZVKISP_DATA_DIR
        cli.start({"softice", "--port", sim.port(), "--model", "ZVK7H64B", "--yes"});
        QVERIFY(cli.finish(90000));
        QVERIFY2(cli.exit_code() == 0, qPrintable(cli.out() + cli.err()));
        QVERIFY(cli.out().contains(QStringLiteral("Download Soft_ICE is succeed /下载 Soft_ICE 成功")));
        QVERIFY(cli.err().contains(QStringLiteral("Write SoftICE program, the DownLoad Code will be erased!")));
        QVERIFY(cli.err().contains(QStringLiteral("Download Soft_ICE is succeed.\nChinese:下载 Soft_ICE 成功。")));

        sim.stop();   // after it took in the run command
        const QByteArray flash = read_file(flash_path);
        QVERIFY2(flash.size() == 0x10000, qPrintable(QString::fromUtf8(read_file(trace_path)).right(600) + cli.out()));
        QCOMPARE(flash.mid(0, 3).toHex(), QByteArray("022200"));
        QCOMPARE(flash.mid(0x2000, 384), common_);
        QCOMPARE(flash.mid(0x2300, 4096), monitor_bytes(4096, 64));

        // Without --yes and with no terminal to ask on, the answer is No: nothing is sent.
        CliProcess no;
        no.start({"softice", "--port", "/dev/null/none", "--model", "ZVK7H32B"});
        no.process().closeWriteChannel();
        QVERIFY(no.finish(20000));
        QCOMPARE(no.exit_code(), 1);
        QVERIFY(no.err().contains(QStringLiteral("-> No")));
    }

private:
    QTemporaryDir data_;
    QByteArray common_ = monitor_bytes(384, 3);
};

QTEST_GUILESS_MAIN(TestE2eSoftIce)
#include "test_e2e_softice.moc"

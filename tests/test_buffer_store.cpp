// Storing a buffer range as a binary file: the three checks, the byte-exact writer and replacing
// an existing longer file.

#include "support/image_rig.h"

#include <QtTest>

namespace {
const QString kStartSmall = QStringLiteral("Start Address is small in 0.\r\n      起始地址小于 0。");
const QString kLengthSmall = QStringLiteral("File length too small.\r\n文件长度不能小于 0。");
const QString kLengthBig = QStringLiteral("File length too big.\r\n文件长度太大。");

QByteArray read_file(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return f.readAll();
}
} // namespace

class TestBufferStore : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { settings_dir_ = use_throwaway_settings(); }
    void ranges_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("length");
        QTest::addColumn<int>("from");       // first address written
        QTest::addColumn<int>("size");       // bytes written; -1: refused
        QTest::addColumn<QString>("message");
        QTest::newRow("0 + 400") << "0" << "400" << 0 << 0x400 << QString();
        QTest::newRow("FF00 + 100 ends at FFFF") << "FF00" << "100" << 0xFF00 << 0x100 << QString();
        QTest::newRow("0 + 10000") << "0" << "10000" << 0 << 0x10000 << QString();
        QTest::newRow("0 + 10001 too big") << "0" << "10001" << 0 << -1 << kLengthBig;
        QTest::newRow("length 0") << "0" << "0" << 0 << -1 << kLengthSmall;
        QTest::newRow("start last four digits") << "12345" << "10" << 0x2345 << 0x10 << QString();
        QTest::newRow("length last five digits") << "0" << "F00010" << 0 << 0x10 << QString();
        QTest::newRow("negative start") << "-1" << "10" << 0 << -1 << kStartSmall;
        QTest::newRow("trimmed texts") << " 20 " << " 8 " << 0x20 << 8 << QString();
    }
    void ranges()
    {
        QFETCH(QString, start);
        QFETCH(QString, length);
        QFETCH(int, from);
        QFETCH(int, size);
        QFETCH(QString, message);
        QTemporaryDir dir;
        ImageRig rig;
        const QByteArray pattern = HexText::pattern(ProgramImage::kSize, 4);
        std::copy(pattern.begin(), pattern.end(), reinterpret_cast<char*>(rig.image.program_buffer.data()));
        const QString out = dir.filePath(QStringLiteral("out.bin"));
        rig.dialogs.save_answers.enqueue(out);
        rig.image.store_start_text = start;
        rig.image.store_length_text = length;
        const bool written = rig.store.store_file();
        QCOMPARE(written, size >= 0);
        if (size < 0) {
            QCOMPARE(rig.dialogs.texts(), QStringList{message});
            QVERIFY(rig.dialogs.save_requests.isEmpty());
            QVERIFY(!QFile::exists(out));
            return;
        }
        QVERIFY(rig.dialogs.messages.isEmpty());
        QCOMPARE(read_file(out), pattern.mid(from, size));
    }
    void replaces_longer_file()
    {
        QTemporaryDir dir;
        ImageRig rig;
        const QString out = HexText::write(dir, QStringLiteral("old.bin"), QByteArray(5000, '\x77'));
        rig.image.program_buffer[0] = 0x01;
        rig.image.program_buffer[1] = 0x02;
        rig.image.store_start_text = QStringLiteral("0");
        rig.image.store_length_text = QStringLiteral("2");
        rig.dialogs.save_answers.enqueue(out);
        QVERIFY(rig.store.store_file());
        QCOMPARE(read_file(out), QByteArray::fromHex("0102"));
    }

private:
    std::unique_ptr<QTemporaryDir> settings_dir_;
};

QTEST_GUILESS_MAIN(TestBufferStore)
#include "test_buffer_store.moc"

// The buffer viewer: the serial-number highlight and the one-digit editor with its confirmation
// period. (The dump text itself: test_e2e_cli_image.)

#include "support/image_rig.h"
#include "ui/buffer_view.h"

#include <QtTest>

namespace {
// The viewer over the rig's image and serial number, as the window has it.
struct ViewRig : ImageRig {
    BufferView view{image, &serial, &dialogs};
};

// Buffer bytes equal to the low byte of their address, so dumps are easy to read back.
void address_pattern(ProgramImage& image)
{
    for (int a = 0; a < ProgramImage::kSize; ++a)
        image.program_buffer[static_cast<size_t>(a)] = quint8(a & 0xFF);
}

// Loads a small HEX file so that the buffer counts as loaded, with the used range `first..last`.
// (A HEX file's range starts at the buffer start address, so the file goes there.)
void load_range(ViewRig& rig, const QTemporaryDir& dir, int first, int last)
{
    const QByteArray data(last - first + 1, '\0');
    rig.image.buffer_start_text = QString::number(first, 16);
    QVERIFY(rig.load(HexText::write(dir, QStringLiteral("r.hex"), HexText::file(0, data))));
    address_pattern(rig.image);
}
} // namespace

class TestUiBufferView : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { settings_dir_ = use_throwaway_settings(); }
    void highlight_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("highlighted");
        QTest::newRow("inside one line") << "0017" << 4 << "14 15 16 17";
        QTest::newRow("across a line break") << "0021" << 4 << "1E 1F \r\n 000020   20 21";
        QTest::newRow("one byte") << "0031" << 1 << "31";
    }
    void highlight()
    {
        QFETCH(QString, address);
        QFETCH(int, count);
        QFETCH(QString, highlighted);
        QTemporaryDir dir;
        ViewRig rig;
        load_range(rig, dir, 0, 0x3FF);
        rig.serial.texts = {address, QString::number(count), QStringLiteral("0"), QStringLiteral("1")};
        rig.serial.format = SerialNumber::Binary;
        rig.serial.checked = true;
        rig.view.set_scroll_value(0);
        QCOMPARE(rig.view.highlight_length, highlighted.size());
        QCOMPARE(rig.view.front_text.mid(rig.view.front_caret, rig.view.front_selection), highlighted);
        // Unchecked: the caret goes there, nothing is selected.
        rig.serial.checked = false;
        rig.view.set_scroll_value(0);
        QCOMPARE(rig.view.front_caret, int(rig.view.serial_sel_start));
        QCOMPARE(rig.view.front_selection, 0);
    }
    void edit_confirm_then_type()
    {
        QTemporaryDir dir;
        ViewRig rig;
        load_range(rig, dir, 0, 0x3FF);
        rig.view.set_scroll_value(0);
        const int line = rig.view.front_text.indexOf(QStringLiteral(" 000010   "));
        rig.view.txtBuffer2_MouseDown(line + 10 + 3 * 2);   // byte 12h
        rig.dialogs.yes_no_answers.enqueue(true);
        rig.view.txtBuffer2_KeyPress(QLatin1Char('a'));
        QCOMPARE(rig.dialogs.questions, QStringList{QStringLiteral("Update the buffer? / 修改缓冲区内容吗?")});
        QCOMPARE(rig.view.front_text.mid(line + 16, 2), QStringLiteral("A2"));
        QCOMPARE(rig.at(0x12), quint8(0xA2));
        QCOMPARE(rig.view.front_caret, line + 17);            // the second digit of the same pair
        QVERIFY(rig.view.Timer11.enabled());
        QCOMPARE(rig.view.Timer11.interval(), 20000);
        rig.view.txtBuffer2_KeyPress(QLatin1Char('F'));
        rig.view.txtBuffer2_KeyPress(QLatin1Char('0'));     // next pair: byte 13h
        QCOMPARE(rig.dialogs.questions.size(), 1);
        QCOMPARE(rig.at(0x12), quint8(0xAF));
        QCOMPARE(rig.at(0x13), quint8(0x03));
        QCOMPARE(rig.view.front_text.mid(line + 16, 5), QStringLiteral("AF 03"));
        // The back text keeps the old digits until the next redraw rebuilds it from the buffer.
        QCOMPARE(rig.view.back_text.mid(line + 16, 5), QStringLiteral("12 13"));
        rig.view.set_scroll_value(0);
        QCOMPARE(rig.view.front_text.mid(line + 16, 5), QStringLiteral("AF 03"));
    }
    void edit_refused()
    {
        QTemporaryDir dir;
        ViewRig rig;
        load_range(rig, dir, 0, 0x3FF);
        rig.view.set_scroll_value(0);
        const QString before = rig.view.front_text;
        rig.view.txtBuffer2_MouseDown(before.indexOf(QStringLiteral(" 000000   ")) + 10);
        // Keys other than hex digits are not even asked about.
        for (QChar c : QStringLiteral("gZ -\r"))
            rig.view.txtBuffer2_KeyPress(c);
        QVERIFY(rig.dialogs.questions.isEmpty());
        rig.dialogs.yes_no_answers.enqueue(false);
        rig.view.txtBuffer2_KeyPress(QLatin1Char('7'));
        QCOMPARE(rig.dialogs.questions.size(), 1);
        QCOMPARE(rig.view.front_text, before);
        QCOMPARE(rig.at(0), quint8(0));
        QVERIFY(!rig.view.edit_confirmed);
    }
    void edit_expires()
    {
        QTemporaryDir dir;
        ViewRig rig;
        load_range(rig, dir, 0, 0x3FF);
        rig.view.set_scroll_value(0);
        const int line = rig.view.front_text.indexOf(QStringLiteral(" 000000   "));
        rig.view.txtBuffer2_MouseDown(line + 10);
        rig.dialogs.yes_no_answers.enqueue(true);
        rig.view.txtBuffer2_KeyPress(QLatin1Char('1'));
        QCOMPARE(rig.dialogs.questions.size(), 1);
        emit rig.view.Timer11.tick();    // 20 s without an edit
        QVERIFY(!rig.view.edit_confirmed);
        QVERIFY(!rig.view.Timer11.enabled());
        rig.dialogs.yes_no_answers.enqueue(true);
        rig.view.txtBuffer2_KeyPress(QLatin1Char('2'));
        QCOMPARE(rig.dialogs.questions.size(), 2);
        QCOMPARE(rig.at(0), quint8(0x12));
    }

private:
    std::unique_ptr<QTemporaryDir> settings_dir_;
};

QTEST_GUILESS_MAIN(TestUiBufferView)
#include "test_ui_buffer_view.moc"

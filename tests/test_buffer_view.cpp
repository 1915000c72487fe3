// The buffer viewer: the dump text, the scroll arithmetic, the serial-number highlight, the digit
// picker and the one-digit editor with its confirmation period.

#include "support/image_rig.h"

#include <QRegularExpression>
#include <QtTest>

namespace {
// Buffer bytes equal to the low byte of their address, so dumps are easy to read back.
void address_pattern(ProgramImage& image)
{
    for (int a = 0; a < ProgramImage::kSize; ++a)
        image.program_buffer[static_cast<size_t>(a)] = quint8(a & 0xFF);
}

QStringList dump_lines(const QString& text)
{
    return text.split(QStringLiteral("\r\n"));
}

// Loads a small HEX file so that the buffer counts as loaded, with the used range `first..last`.
// (A HEX file's range starts at the buffer start address, so the file goes there.)
void load_range(ImageRig& rig, const QTemporaryDir& dir, int first, int last)
{
    const QByteArray data(last - first + 1, '\0');
    rig.image.buffer_start_text = QString::number(first, 16);
    QVERIFY(rig.load(HexText::write(dir, QStringLiteral("r.hex"), HexText::file(0, data))));
    address_pattern(rig.image);
}
} // namespace

class TestBufferView : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { settings_dir_ = use_throwaway_settings(); }
    void startup_dump()
    {
        ImageRig rig;
        QCOMPARE(rig.view.scroll_max, 64);
        QCOMPARE(rig.image.image_start, 0);
        QCOMPARE(rig.image.image_end, 1023);
        QVERIFY(!rig.image.file_loaded);
        QVERIFY(rig.view.front_text.startsWith(QStringLiteral("\r\n\r\n 000000   00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 \r\n 000010   00 ")));
        QCOMPARE(rig.view.front_text, rig.view.back_text);
        const QStringList lines = dump_lines(rig.view.front_text);
        for (int i = 2; i + 1 < lines.size(); ++i) {
            QCOMPARE(lines[i].left(10), QStringLiteral(" %1   ").arg(i - 2 == 0 ? 0 : (i - 2) * 16, 6, 16, QLatin1Char('0')).toUpper());
            QVERIFY(!lines[i].mid(10).contains(QRegularExpression(QStringLiteral("[1-9A-F]"))));
        }
    }
    void line_format_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<QString>("expected");
        QTest::newRow("one full line") << 0x10 << 0x1F
            << "\r\n\r\n 000010   10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F \r\n";
        QTest::newRow("first rounded down, short last line") << 0x13 << 0x22
            << "\r\n\r\n 000010   10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F \r\n 000020   20 21 22 \r\n";
        QTest::newRow("top of buffer") << 0xFFF0 << 0x10000
            << "\r\n\r\n 00FFF0   F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC FD FE FF \r\n 010000   00 \r\n";
        QTest::newRow("nothing when last is below first") << 0x100 << 0x50 << "\r\n\r\n";
    }
    void line_format()
    {
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(QString, expected);
        ImageRig rig;
        address_pattern(rig.image);
        const QString text = BufferView::dump_text(rig.image, first, last, 1000, -1, 0, nullptr, nullptr);
        QCOMPARE(text, expected);
        for (const QString& line : dump_lines(text))
            QVERIFY(line.size() <= 58);
    }
    void redraw_window_and_length()
    {
        // A redraw asks for 992 - 3 addresses from its first line.
        QTemporaryDir dir;
        ImageRig rig;
        load_range(rig, dir, 0, 0x1FFF);
        rig.view.box_height_twips = 194 * 200;
        rig.view.set_scroll_value(0);
        const QStringList lines = dump_lines(rig.view.front_text);
        QCOMPARE(lines[lines.size() - 2],
                 QStringLiteral(" 0003D0   D0 D1 D2 D3 D4 D5 D6 D7 D8 D9 DA DB DC DD "));
        QCOMPARE(rig.image.store_length_text, QStringLiteral("2000"));
    }
    void scroll_first_line_data()
    {
        QTest::addColumn<QString>("start_text");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("first_line");
        QTest::newRow("value 5") << "0" << 5 << " 000050   ";
        QTest::newRow("unaligned start") << "8005" << 0 << " 008000   ";
        QTest::newRow("unaligned start, value 2") << "8005" << 2 << " 008020   ";
    }
    void scroll_first_line()
    {
        QFETCH(QString, start_text);
        QFETCH(int, value);
        QFETCH(QString, first_line);
        QTemporaryDir dir;
        ImageRig rig;
        rig.image.buffer_start_text = start_text;
        QVERIFY(rig.load(HexText::write(dir, QStringLiteral("s.bin"), QByteArray(0x400, 'x'))));
        rig.view.set_scroll_value(value);
        QCOMPARE(rig.view.scroll_value, value);
        QCOMPARE(dump_lines(rig.view.front_text)[2].left(10), first_line);
    }
    void scroll_maximum_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<int>("maximum");
        QTest::newRow("0-99") << 0 << 99 << 3;
        QTest::newRow("0-FFFF") << 0 << 0xFFFF << 4092;
        QTest::newRow("short range") << 0x100 << 0x11F << -2;
    }
    void scroll_maximum()
    {
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(int, maximum);
        QTemporaryDir dir;
        ImageRig rig;
        load_range(rig, dir, first, last);
        QCOMPARE(rig.view.scroll_max, maximum);
        QCOMPARE(rig.image.store_length_text, QString::number(last + 1, 16).toUpper());
    }
    void visible_lines_data()
    {
        QTest::addColumn<double>("height");
        QTest::addColumn<int>("lines");
        QTest::newRow("half rounds to even") << 2037.0 << 10;
        QTest::newRow("above half") << 2040.0 << 11;
        QTest::newRow("half rounds up to even") << 2231.0 << 12;
    }
    void visible_lines()
    {
        QFETCH(double, height);
        QFETCH(int, lines);
        ImageRig rig;
        rig.view.box_height_twips = height;
        QCOMPARE(rig.view.visible_lines(), lines);
    }
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
        ImageRig rig;
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
    void select_digit_data()
    {
        // Positions inside line 000010 of the dump (column 0 is the line's leading space).
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("selected");   // column selected on the same line, -1: first digit of the next line
        QTest::newRow("leading space") << 0 << 10;
        QTest::newRow("gap after address") << 8 << 10;
        QTest::newRow("first digit") << 10 << 10;
        QTest::newRow("second digit") << 11 << 11;
        QTest::newRow("space between pairs") << 12 << 13;
        QTest::newRow("last pair second digit") << 56 << 56;
        QTest::newRow("space at line end") << 57 << -1;
    }
    void select_digit()
    {
        QFETCH(int, column);
        QFETCH(int, selected);
        QTemporaryDir dir;
        ImageRig rig;
        load_range(rig, dir, 0, 0x3FF);
        rig.view.set_scroll_value(0);
        const QString& t = rig.view.front_text;
        const int line = t.indexOf(QStringLiteral(" 000010   "));
        const int next = t.indexOf(QStringLiteral(" 000020   "));
        rig.view.txtBuffer2_MouseDown(line + column);
        QCOMPARE(rig.view.front_selection, 1);
        QCOMPARE(rig.view.front_caret, selected >= 0 ? line + selected : next + 10);
    }
    void edit_confirm_then_type()
    {
        QTemporaryDir dir;
        ImageRig rig;
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
        ImageRig rig;
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
    void edit_before_any_file()
    {
        ImageRig rig;
        rig.view.VScroll1_Change();
        const QString before = rig.view.front_text;
        rig.view.txtBuffer2_MouseDown(before.indexOf(QStringLiteral(" 000000   ")) + 10);
        rig.dialogs.yes_no_answers.enqueue(true);
        rig.view.txtBuffer2_KeyPress(QLatin1Char('7'));
        QCOMPARE(rig.dialogs.texts(), QStringList{QStringLiteral("    Please open file./请打开文件。    ")});
        QCOMPARE(rig.view.front_text, before);
        QCOMPARE(rig.at(0), quint8(0));
    }
    void edit_expires()
    {
        QTemporaryDir dir;
        ImageRig rig;
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

QTEST_GUILESS_MAIN(TestBufferView)
#include "test_buffer_view.moc"

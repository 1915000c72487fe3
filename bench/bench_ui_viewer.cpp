// Opening a 64 KB program in the window and scrolling its buffer viewer from the top to the
// bottom, offscreen: the open (Open File with the load and the first redraw and paint), then the
// viewer scrolled page by page with PageDown, every step redrawn and painted. For comparison also
// line by line (arrow down) and by the wheel (three lines a notch). Target: open + PageDown from
// top to bottom under 100 ms. Every figure is given as wall-clock time and as the CPU time of the
// process: on a machine busy with other work the wall clock also counts the waits for a core.
//
//   bench_ui_viewer [runs]     offscreen unless QT_QPA_PLATFORM says otherwise

#include "ui/buffer_view.h"
#include "support/e2e_util.h"
#include "support/fake_serial_port.h"
#include "support/scripted_dialogs.h"
#include "settings/settings_store.h"
#include "ui/buffer_editor.h"
#include "ui/frm_main.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextStream>
#include <QWheelEvent>

#include <algorithm>
#include <ctime>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Wall-clock and CPU milliseconds since start().
class Clock {
public:
    void start()
    {
        wall_.start();
        cpu0_ = cpu_ms();
    }
    double wall() const { return wall_.nsecsElapsed() / 1e6; }
    double cpu() const { return cpu_ms() - cpu0_; }

private:
    static double cpu_ms()
    {
        timespec ts{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
    }
    QElapsedTimer wall_;
    double cpu0_ = 0;
};

struct Figures {
    std::vector<double> wall, cpu;
    void add(const Clock& c)
    {
        wall.push_back(c.wall());
        cpu.push_back(c.cpu());
    }
    QString text() const
    {
        return QStringLiteral("%1 ms (CPU %2 ms)").arg(median(wall), 0, 'f', 1).arg(median(cpu), 0, 'f', 1);
    }
};

// Paints the viewer as the screen would get it (into an image: the platform's copy to the screen
// is not the viewer's cost).
void paint(frmMain& w)
{
    static QImage canvas;
    if (canvas.size() != w.txtBuffer2->size())
        canvas = QImage(w.txtBuffer2->size(), QImage::Format_ARGB32_Premultiplied);
    w.txtBuffer2->render(&canvas);
}

// Steps the viewer with `step` until the scroll bar stops moving; returns the steps taken.
template <class Step>
int scroll_through(frmMain& w, Step step)
{
    int steps = 0;
    for (int before = -1; w.VScroll1->value() != before; ++steps) {
        before = w.VScroll1->value();
        step();
        paint(w);
    }
    return steps - 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    QTextStream out(stdout);

    const QString file = dir.filePath(QStringLiteral("64k.bin"));
    if (!e2e::write_file(file, e2e::pattern(65536, 1))) {
        out << "cannot write " << file << "\n";
        return 1;
    }
    ScriptedDialogs dialogs;
    FakeSerialPort port;
    frmMain::Options o;
    o.dialogs = &dialogs;
    o.port = &port;
    o.calibrate = false;
    frmMain w(o);
    w.show();
    QCoreApplication::processEvents();
    const int model = w.combMcuModel->findText(QStringLiteral("ZVK7H64B"));   // AP 0000-FFFF
    w.combMcuModel->setCurrentIndex(model);
    emit w.combMcuModel->activated(model);
    w.settings().save_pending_settings();   // the range boxes the loader reads

    auto key = [&w](int k) {
        QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
        QApplication::sendEvent(w.txtBuffer2, &press);
    };
    auto wheel_down = [&w] {
        const QPointF at(10, 10);
        QWheelEvent e(at, w.txtBuffer2->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(w.txtBuffer2, &e);
    };

    Figures open, page, line, wheel, whole;
    int pages = 0, lines = 0, notches = 0;
    Clock t, all;
    for (int run = 0; run < runs; ++run) {
        key(Qt::Key_Home);
        dialogs.open_answers << file;
        all.start();
        t.start();
        w.comLoadFile->click();
        paint(w);
        open.add(t);
        t.start();
        pages = scroll_through(w, [&] { key(Qt::Key_PageDown); });
        page.add(t);
        whole.add(all);

        key(Qt::Key_Home);
        t.start();
        lines = scroll_through(w, [&] { key(Qt::Key_Down); });
        line.add(t);
        key(Qt::Key_Home);
        t.start();
        notches = scroll_through(w, wheel_down);
        wheel.add(t);
    }

    out << "platform: " << QGuiApplication::platformName() << ", " << runs << " runs, medians\n";
    out << "viewer: " << w.view().visible_lines() << " lines, scroll positions 0.." << w.VScroll1->maximum()
        << ", last row at the bottom " << QString::number(w.view().drawn_first, 16).toUpper() << "\n";
    out << "open 64 KB (load, redraw, paint): " << open.text() << "\n";
    out << "PageDown top to bottom, " << pages << " steps: " << page.text() << "\n";
    out << "arrow down top to bottom, " << lines << " steps: " << line.text() << "\n";
    out << "wheel top to bottom, " << notches << " notches: " << wheel.text() << "\n";
    const double total = median(whole.wall);
    out << "target open + PageDown to the bottom < 100 ms: " << whole.text() << ", "
        << (total < 100.0 ? "met" : "NOT met (wall clock)") << "\n";
    return 0;
}

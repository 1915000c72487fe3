#include "ui/gang_dialog.h"

#include "device/job.h"
#include "device/gang_run.h"
#include "device/download_runner.h"
#include "device/serial_pool.h"
#include "device/workbench.h"
#include "ui/control_states.h"
#include "ui/buffer_view.h"
#include "image/file_loader.h"
#include "image/serial_number.h"
#include "base/user_dialogs.h"
#include "ui/clock_text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTextCursor>
#include <QVBoxLayout>

const QString GangDialog::kNoPortText = QStringLiteral("Add a port to the list first. / 请先添加串口。");
const QString GangDialog::kPortTwiceText = QStringLiteral("Port %1 is in the list twice (%2). / 串口 %1 重复 (%2)。");
const QString GangDialog::kWindowBusyText =
    QStringLiteral("Stop the running operation first. / 请先停止当前操作。");

QString GangDialog::state_text(const QString& state)
{
    static const QHash<QString, QString> chinese = {
        {QStringLiteral("waiting"), QStringLiteral("等待")},      {QStringLiteral("programming"), QStringLiteral("下载中")},
        {QStringLiteral("OK"), QStringLiteral("成功")},           {QStringLiteral("failed"), QStringLiteral("失败")},
        {QStringLiteral("stopped"), QStringLiteral("已停止")},    {QStringLiteral("board removed"), QStringLiteral("已拔出")},
    };
    const QString c = chinese.value(state);
    return c.isEmpty() ? state : state + QLatin1Char('/') + c;
}

namespace {

QTableWidgetItem* cell(const QString& text, Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setTextAlignment(align);
    return item;
}

} // namespace

GangDialog::GangDialog(GangHost host, QWidget* parent) : QDialog(parent), host_(std::move(host))
{
    setObjectName(QStringLiteral("GangDialog"));
    setWindowTitle(QStringLiteral("Gang / 多口下载"));
    setModal(false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    // Ports to use.
    auto* portLabel = new QLabel(QStringLiteral("Ports / 串口 (COM1..COM8 or a device path):"), this);
    portList = new QListWidget(this);
    portList->setObjectName(QStringLiteral("lstGangPorts"));
    portList->setMaximumHeight(110);
    portList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    portList->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                              QAbstractItemView::SelectedClicked);
    addPort = new QPushButton(QStringLiteral("Add/添加"), this);
    addPort->setObjectName(QStringLiteral("comGangAddPort"));
    removePort = new QPushButton(QStringLiteral("Remove/删除"), this);
    removePort->setObjectName(QStringLiteral("comGangRemovePort"));
    repeat = new QCheckBox(QStringLiteral("Repeat (Re-Download) / 重复下载"), this);
    repeat->setObjectName(QStringLiteral("cheGangRepeat"));
    startButton = new QPushButton(QStringLiteral("Start/开始"), this);
    startButton->setObjectName(QStringLiteral("comGangStart"));
    stopButton = new QPushButton(QStringLiteral("Stop/停止"), this);
    stopButton->setObjectName(QStringLiteral("comGangStop"));

    // A row per port.
    table = new QTableWidget(0, ColumnCount, this);
    table->setObjectName(QStringLiteral("tblGang"));
    table->setHorizontalHeaderLabels({QStringLiteral("Port/串口"), QStringLiteral("State/状态"),
                                      QStringLiteral("Progress/进度"), QStringLiteral("Time/用时"),
                                      QStringLiteral("OK/成功"), QStringLiteral("Failed/失败"),
                                      QStringLiteral("Serial numbers/序列号"), QStringLiteral("Last message/最后消息")});
    table->verticalHeader()->setVisible(false);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->horizontalHeader()->setSectionResizeMode(ColLast, QHeaderView::Stretch);
    table->setColumnWidth(ColPort, 140);
    table->setColumnWidth(ColState, 110);
    table->setColumnWidth(ColProgress, 120);
    table->setColumnWidth(ColTime, 65);
    table->setColumnWidth(ColOk, 60);
    table->setColumnWidth(ColFailed, 65);
    table->setColumnWidth(ColSerials, 130);

    log = new QPlainTextEdit(this);
    log->setObjectName(QStringLiteral("txtGangLog"));
    log->setReadOnly(true);
    log->setMaximumBlockCount(kLogLines);
    // Long lines wrap: a horizontal scroll bar coming and going would stop the log following.
    log->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    auto* portButtons = new QVBoxLayout;
    portButtons->addWidget(addPort);
    portButtons->addWidget(removePort);
    portButtons->addStretch();
    auto* portRow = new QHBoxLayout;
    portRow->addWidget(portList, 1);
    portRow->addLayout(portButtons);
    auto* runRow = new QHBoxLayout;
    runRow->addWidget(repeat);
    runRow->addStretch();
    runRow->addWidget(startButton);
    runRow->addWidget(stopButton);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(table);
    split->addWidget(log);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(portLabel);
    layout->addLayout(portRow);
    layout->addLayout(runRow);
    layout->addWidget(split, 1);
    resize(940, 560);

    // The window's port is the first row.
    const QString current = host_.port_box_text().trimmed();
    set_ports(current.isEmpty() ? QStringList{} : QStringList{current});

    connect(addPort, &QPushButton::clicked, this, &GangDialog::add_port_row);
    connect(removePort, &QPushButton::clicked, this, &GangDialog::remove_port_rows);
    connect(startButton, &QPushButton::clicked, this, &GangDialog::start);
    connect(stopButton, &QPushButton::clicked, this, &GangDialog::stop_all);
    // The window starting or ending an operation changes whether Start is usable.
    connect(&host_.controls, &ControlStates::changed, this, &GangDialog::update_buttons);
    // The window tells the end of its operation a moment before it lets go of the port.
    busy_check_.setInterval(250);
    connect(&busy_check_, &QTimer::timeout, this, &GangDialog::update_buttons);
    clock_.setInterval(1000);
    connect(&clock_, &QTimer::timeout, this, &GangDialog::show_times);
    update_buttons();
}

GangDialog::~GangDialog()
{
    // Every port stops and its thread is joined before the window's parts go.
    if (run_) {
        run_->disconnect(this);
        run_.reset();
    }
    host_.gang_active_changed(false);
}

QStringList GangDialog::ports() const
{
    QStringList out;
    for (int i = 0; i < portList->count(); ++i) {
        const QString t = portList->item(i)->text().trimmed();
        if (!t.isEmpty())
            out << t;
    }
    return out;
}

void GangDialog::set_ports(const QStringList& texts)
{
    portList->clear();
    for (const QString& t : texts) {
        auto* item = new QListWidgetItem(t, portList);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
}

void GangDialog::add_port_row()
{
    // The first COMn not in the list yet, ready to be typed over.
    const QStringList have = ports();
    QString text = QStringLiteral("COM1");
    for (int n = 1; n <= 8; ++n) {
        const QString com = QStringLiteral("COM%1").arg(n);
        bool used = false;
        for (const QString& h : have)
            used = used || h.startsWith(com, Qt::CaseInsensitive);
        if (!used) {
            text = com;
            break;
        }
    }
    auto* item = new QListWidgetItem(text, portList);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    portList->setCurrentItem(item);
    portList->editItem(item);
}

void GangDialog::remove_port_rows()
{
    QList<QListWidgetItem*> items = portList->selectedItems();
    if (items.isEmpty() && portList->count() > 0)
        items << portList->item(portList->count() - 1);
    for (QListWidgetItem* item : items)
        delete item;
}

bool GangDialog::running() const
{
    return run_ && run_->running();
}

void GangDialog::start()
{
    if (running())
        return;
    UserDialogs& dialogs = host_.dialogs;
    if (host_.busy_elsewhere()) {
        dialogs.message_box(kWindowBusyText);
        return;
    }
    const QStringList texts = ports();
    if (texts.isEmpty()) {
        dialogs.message_box(kNoPortText);
        return;
    }
    QStringList devices;
    QHash<QString, QString> seen;   // device -> the first text naming it
    for (const QString& t : texts) {
        const QString device = host_.device_of_port(t);
        if (seen.contains(device)) {
            dialogs.message_box(kPortTwiceText.arg(t, device));
            return;
        }
        seen.insert(device, t);
        devices << device;
    }
    Workbench& wb = host_.bench;
    if (!wb.image.file_loaded) {
        dialogs.message_box(DownloadRunner::kNoFileText);
        return;
    }

    // The same preparation as the Download button: page choices, a fresh copy of the file when
    // asked for, the serial number checked and written into the buffer.
    host_.take_page_choices();
    wb.runner.prepare_image();
    SerialNumber& serial = host_.serial;
    if (serial.checked && !serial.serial_active)
        serial.update_active();
    if (serial.checked && !serial.serial_active)
        return;   // the check showed its message
    // The busy-wait calibration runs at start; measure it now if that was left out.
    if (wb.link.loops_per_ms() == 0)
        wb.link.calibrate_delay_loop();
    const Job job = Job::capture(wb, serial.checked ? &serial : nullptr);

    if (run_) {
        run_->disconnect(this);
        run_.reset();
    }
    run_ = std::make_unique<GangRun>(job, devices, repeat->isChecked());
    names_ = texts;
    build_table(texts, devices);
    GangRun* run = run_.get();
    connect(run, &GangRun::line, this, [this](int index, const QString& text) {
        append_log(QStringLiteral("[%1] %2").arg(names_.value(index), text));
    });
    connect(run, &GangRun::message, this, [this](int index, const QString& text) {
        append_log(QStringLiteral("[%1] %2").arg(names_.value(index), text.trimmed()));
    });
    connect(run, &GangRun::row_changed, this, &GangDialog::show_row);
    connect(run, &GangRun::beep, this, [this] { host_.dialogs.beep(); });
    connect(run, &GangRun::finished, this, &GangDialog::on_finished);

    log->clear();
    append_log(QStringLiteral("Gang / 多口下载: %1 port(s)/个串口%2")
                   .arg(texts.size())
                   .arg(repeat->isChecked() ? QStringLiteral(", repeat/重复下载") : QString()));
    host_.gang_active_changed(true);
    started_.assign(size_t(texts.size()), QElapsedTimer());
    ended_ms_.assign(size_t(texts.size()), -1);
    for (QElapsedTimer& t : started_)
        t.start();
    clock_.start();
    run->start();
    update_buttons();
}

void GangDialog::stop_all()
{
    if (run_)
        run_->stop_all();
}

void GangDialog::build_table(const QStringList& texts, const QStringList& devices)
{
    table->clearContents();
    table->setRowCount(int(texts.size()));
    for (int i = 0; i < texts.size(); ++i) {
        QTableWidgetItem* port = cell(texts.at(i));
        port->setToolTip(devices.at(i));
        table->setItem(i, ColPort, port);
        table->setItem(i, ColState, cell(QString()));
        table->setItem(i, ColTime, cell(QString(), Qt::AlignRight | Qt::AlignVCenter));
        table->setItem(i, ColOk, cell(QString(), Qt::AlignRight | Qt::AlignVCenter));
        table->setItem(i, ColFailed, cell(QString(), Qt::AlignRight | Qt::AlignVCenter));
        table->setItem(i, ColSerials, cell(QString()));
        table->setItem(i, ColLast, cell(QString()));
        // The view shows its cell widgets itself: the bar sits in a holder so it can be hidden.
        auto* holder = new QWidget;
        auto* box = new QHBoxLayout(holder);
        box->setContentsMargins(2, 2, 2, 2);
        auto* bar = new QProgressBar(holder);
        bar->setRange(0, 100);
        bar->setVisible(false);
        box->addWidget(bar);
        table->setCellWidget(i, ColProgress, holder);
        show_row(i);
    }
}

void GangDialog::show_row(int index)
{
    if (!run_ || index < 0 || size_t(index) >= run_->rows().size() || index >= table->rowCount())
        return;
    const GangRun::Row& r = run_->rows()[size_t(index)];
    table->item(index, ColState)->setText(state_text(r.state));
    if (!r.running && size_t(index) < ended_ms_.size() && ended_ms_[size_t(index)] < 0 && started_[size_t(index)].isValid())
        ended_ms_[size_t(index)] = started_[size_t(index)].elapsed();
    show_times();
    table->item(index, ColOk)->setText(QString::number(r.boards_ok));
    table->item(index, ColFailed)->setText(QString::number(r.boards_failed));
    table->item(index, ColSerials)->setText(r.serials.join(QStringLiteral(", ")));
    table->item(index, ColLast)->setText(r.last_line);
    table->item(index, ColLast)->setToolTip(r.last_line);
    QWidget* holder = table->cellWidget(index, ColProgress);
    if (auto* bar = holder ? holder->findChild<QProgressBar*>() : nullptr) {
        const bool shown = r.percent >= 0;
        if (shown)
            bar->setValue(qBound(0, r.percent, 100));
        else
            bar->reset();
        bar->setFormat(r.kbyte.isEmpty() ? QStringLiteral("%p%") : QStringLiteral("%p%  ") + r.kbyte);
        bar->setVisible(shown);
    }
}

void GangDialog::on_finished()
{
    for (int i = 0; i < table->rowCount(); ++i)
        show_row(i);
    clock_.stop();
    append_log(QString());
    append_log(QStringLiteral("Gang summary: / 多口下载汇总:"));
    for (const QString& l : run_->summary(true))
        append_log(QStringLiteral("  ") + l);

    // The next single download continues the count where the gang left it.
    if (const SerialPool* pool = run_->serial_pool(); pool && !pool->used().isEmpty()) {
        SerialNumber& serial = host_.serial;
        serial.set_field_text(2, pool->next_text());
        if (serial.checked && serial.check_serial_settings() == 0) {
            serial.write_serial_number();
            serial.refresh_image();
        }
        serial.save_serial_settings();
    }
    host_.gang_active_changed(false);
    update_buttons();
    emit run_finished();
}

void GangDialog::update_buttons()
{
    const bool active = running();
    const bool window_busy = host_.busy_elsewhere();
    startButton->setEnabled(!active && !window_busy);
    if (window_busy && isVisible())
        busy_check_.start();
    else
        busy_check_.stop();
    stopButton->setEnabled(active);
    portList->setEnabled(!active);
    addPort->setEnabled(!active);
    removePort->setEnabled(!active);
    repeat->setEnabled(!active);
}

void GangDialog::append_log(const QString& text)
{
    log->appendPlainText(text);
    QTextCursor end = log->textCursor();
    end.movePosition(QTextCursor::End);
    log->setTextCursor(end);
    log->ensureCursorVisible();
}

void GangDialog::show_times()
{
    for (int i = 0; i < table->rowCount() && size_t(i) < started_.size(); ++i) {
        const qint64 ms = ended_ms_[size_t(i)] >= 0 ? ended_ms_[size_t(i)] : started_[size_t(i)].elapsed();
        const QString text = clock_text(ms);
        if (QTableWidgetItem* item = table->item(i, ColTime); item && item->text() != text)
            item->setText(text);
    }
}

void GangDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    update_buttons();
}

void GangDialog::reject()
{
    // The run ends in the background; its summary is here when the dialog is opened again.
    stop_all();
    QDialog::reject();
}

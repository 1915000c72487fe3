#include "ui/records_dialog.h"

#include "store/production_store.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QVBoxLayout>

const QString RecordsDialog::kUnreachableText =
    QStringLiteral("The production store cannot be reached / 无法连接生产数据库: %1");

namespace {

bool is_postgres(const QString& location)
{
    return location.startsWith(QLatin1String("postgresql://")) || location.startsWith(QLatin1String("postgres://"));
}

QTableWidget* make_table(QWidget* parent, const char* name, const QStringList& headers, int stretch)
{
    auto* t = new QTableWidget(0, int(headers.size()), parent);
    t->setObjectName(QLatin1String(name));
    t->setHorizontalHeaderLabels(headers);
    t->verticalHeader()->setVisible(false);
    t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 6);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    t->horizontalHeader()->setSectionResizeMode(stretch, QHeaderView::Stretch);
    return t;
}

void add_row(QTableWidget* t, const QStringList& cells, bool bold = false)
{
    const int row = t->rowCount();
    t->insertRow(row);
    for (int c = 0; c < cells.size(); ++c) {
        auto* item = new QTableWidgetItem(cells[c]);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        if (bold) {
            QFont f = item->font();
            f.setBold(true);
            item->setFont(f);
        }
        t->setItem(row, c, item);
    }
}

QString result_text(RecordResult r)
{
    switch (r) {
    case RecordResult::Ok: return QStringLiteral("OK/成功");
    case RecordResult::Failed: return QStringLiteral("Failed/失败");
    case RecordResult::Interrupted: return QStringLiteral("Interrupted/中断");
    case RecordResult::TimedOut: return QStringLiteral("Timeout/超时");
    }
    return board_result_text(r);
}

QString number_range(qint64 first, qint64 last)
{
    if (first < 0)
        return QStringLiteral("-");
    return first == last ? QString::number(first) : QStringLiteral("%1 - %2").arg(first).arg(last);
}

} // namespace

QString strip_store_password(const QString& url, bool* removed)
{
    static const QRegularExpression user_password(QStringLiteral("^(postgres(?:ql)?://[^:/@?]*):[^/?]*@"));
    QString out = url.trimmed();
    bool any = false;
    if (is_postgres(out)) {
        const auto m = user_password.match(out);
        if (m.hasMatch()) {
            out.replace(0, m.capturedLength(), m.captured(1) + u'@');
            any = true;
        }
        const auto query = out.indexOf(u'?');
        if (query >= 0) {
            QStringList kept;
            for (const QString& item : out.mid(query + 1).split(u'&')) {
                if (item.section(u'=', 0, 0).compare(QLatin1String("password"), Qt::CaseInsensitive) == 0)
                    any = true;
                else
                    kept << item;
            }
            out = out.left(query) + (kept.isEmpty() ? QString() : u'?' + kept.join(u'&'));
        }
    }
    if (removed)
        *removed = any;
    return out;
}

QString with_connect_timeout(const QString& location, int seconds)
{
    const QString where = location.trimmed();
    if (!is_postgres(where) || where.contains(QLatin1String("connect_timeout=")))
        return where;
    return where + (where.contains(u'?') ? u'&' : u'?') + QStringLiteral("connect_timeout=") + QString::number(seconds);
}

RecordsDialog::RecordsDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("RecordsDialog"));
    setWindowTitle(QStringLiteral("Production records / 生产记录"));
    setModal(false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    labStore = new QLabel(this);
    labStore->setObjectName(QStringLiteral("labRecordsStore"));
    labStore->setTextInteractionFlags(Qt::TextSelectableByMouse);
    labStatus = new QLabel(this);
    labStatus->setObjectName(QStringLiteral("labRecordsStatus"));
    labStatus->setWordWrap(true);
    labStatus->setStyleSheet(QStringLiteral("color: #b00000;"));
    labStatus->setVisible(false);
    labSeries = new QLabel(this);
    labSeries->setObjectName(QStringLiteral("labRecordsSeries"));
    labSeries->setWordWrap(true);
    tblSeries = make_table(this, "tblSeries",
                           {QStringLiteral("Series/系列"), QStringLiteral("Next/下一个值"), QStringLiteral("Step/增量"),
                            QStringLiteral("Used/已用"), QStringLiteral("Leased/使用中"), QStringLiteral("Returned/退回"),
                            QStringLiteral("Used numbers/已用编号")},
                           0);
    tblSeries->setMaximumHeight(130);
    auto* labRecords = new QLabel(QStringLiteral("Last boards, newest first / 最近下载的板, 最新在前:"), this);
    tblRecords = make_table(this, "tblRecords",
                            {QStringLiteral("Time/时间"), QStringLiteral("Station/工位"), QStringLiteral("Port/串口"),
                             QStringLiteral("Serial number/序列号"), QStringLiteral("Result/结果"),
                             QStringLiteral("Reason/原因")},
                            5);
    comRefresh = new QPushButton(QStringLiteral("Refresh/刷新"), this);
    comRefresh->setObjectName(QStringLiteral("comRecordsRefresh"));
    auto* comClose = new QPushButton(QStringLiteral("Close/关闭"), this);
    connect(comRefresh, &QPushButton::clicked, this, &RecordsDialog::refresh);
    connect(comClose, &QPushButton::clicked, this, &QDialog::close);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(comRefresh);
    buttons->addWidget(comClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(labStore);
    layout->addWidget(labStatus);
    layout->addWidget(labSeries);
    layout->addWidget(tblSeries);
    layout->addWidget(labRecords);
    layout->addWidget(tblRecords, 1);
    layout->addLayout(buttons);
    resize(760, 520);
}

void RecordsDialog::set_source(const QString& location, const QString& address, const QString& bytes, int format)
{
    location_ = strip_store_password(location);
    bool address_ok = false, bytes_ok = false;
    page_address_ = address.trimmed().right(5).toUInt(&address_ok, 16);
    page_bytes_ = bytes.trimmed().toInt(&bytes_ok);
    page_format_ = format;
    page_valid_ = address_ok && bytes_ok;
}

void RecordsDialog::refresh()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    labStatus->setVisible(false);
    labSeries->clear();
    tblSeries->setRowCount(0);
    tblRecords->setRowCount(0);
    labStore->setText(QStringLiteral("Store / 数据库: ")
                      + (location_.isEmpty() ? QStringLiteral("SQLite ") + default_store_path() : location_));
    auto opened = open_production_store(with_connect_timeout(location_, kConnectSeconds), default_station_name());
    QString why = opened.message;
    if (opened.ok()) {
        ProductionStore& store = *opened.value;
        labStore->setText(QStringLiteral("Store / 数据库: ") + store.describe());
        const auto series = store.list_series();
        // Nothing more is tried once the store did not answer.
        const auto records = series.ok() ? store.records(QDateTime()) : StoreOutcome<std::vector<BoardRecord>>{};
        why = series.ok() ? records.message : series.message;
        if (series.ok() && records.ok()) {
            show_series(series.value);
            show_records(records.value);
        }
    }
    if (!why.isEmpty())
        show_failure(why);
    QGuiApplication::restoreOverrideCursor();
}

void RecordsDialog::show_series(const std::vector<SeriesInfo>& all)
{
    const auto is_current = [this](const SeriesKey& k) {
        return page_valid_ && k.address == page_address_ && k.bytes == page_bytes_ && int(k.format) == page_format_;
    };
    QStringList current;
    for (int pass = 0; pass < 2; ++pass) {   // the window's series first, in bold
        for (const SeriesInfo& s : all) {
            if (is_current(s.key) != (pass == 0))
                continue;
            if (pass == 0)
                current << s.key.name();
            add_row(tblSeries,
                    {s.key.name(), QString::number(s.next), QString::number(s.step), QString::number(s.used),
                     QString::number(s.leased), QString::number(s.returned), number_range(s.first_used, s.last_used)},
                    pass == 0);
        }
    }
    if (!current.isEmpty())
        labSeries->setText(QStringLiteral("Current series / 当前系列: ") + current.join(QStringLiteral(", ")));
    else if (page_valid_)
        labSeries->setText(QStringLiteral("No series for the serial-number settings (address %1, %2 bytes, %3) / "
                                          "没有与自动增量设置相符的系列")
                               .arg(QString::number(page_address_, 16).toUpper().rightJustified(4, u'0'))
                               .arg(page_bytes_)
                               .arg(serial_format_text(SerialNumberFormat(page_format_))));
    else
        labSeries->setText(QStringLiteral("The serial-number settings name no series / 自动增量设置不构成系列"));
}

void RecordsDialog::show_records(const std::vector<BoardRecord>& records)
{
    const int count = qMin(int(records.size()), kLastRecords);
    for (int i = 0; i < count; ++i) {
        const BoardRecord& r = records[records.size() - 1 - size_t(i)];
        add_row(tblRecords, {r.started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), r.station, r.port,
                             r.serial_number, result_text(r.result), r.failure_reason});
    }
}

void RecordsDialog::show_failure(const QString& why)
{
    labStatus->setText(kUnreachableText.arg(scrub_store_text(why).simplified()));
    labStatus->setVisible(true);
}

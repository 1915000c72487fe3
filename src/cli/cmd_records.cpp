// zvkisp-cli records: the production records of the store, as JSON lines or CSV.
#include "cli/commands.h"
#include "cli/store_cli.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <QTextStream>
#include <QTimeZone>

namespace {

const QString kCommand = QStringLiteral("records");

// "2025-06-01", "2025-06-01 06:00[:ss]", an ISO date-time (local time unless it names a zone),
// or an age: "30m", "8h", "2d". Invalid when the text is none of these.
QDateTime parse_since(const QString& text)
{
    static const QRegularExpression age(QStringLiteral("^(\\d+)([mhd])$"));
    const auto m = age.match(text.trimmed());
    if (m.hasMatch()) {
        const qint64 unit = m.captured(2) == QLatin1String("m") ? 60 : m.captured(2) == QLatin1String("h") ? 3600 : 86400;
        return QDateTime::currentDateTimeUtc().addSecs(-m.captured(1).toLongLong() * unit);
    }
    QString t = text.trimmed();
    t.replace(u' ', u'T');
    QDateTime when = QDateTime::fromString(t, Qt::ISODateWithMs);
    if (!when.isValid()) {
        const QDate day = QDate::fromString(t, Qt::ISODate);
        if (day.isValid())
            when = day.startOfDay();
    }
    return when.toUTC();
}

} // namespace

int cmd_records(const QStringList& args)
{
    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("Prints the production records of the boards programmed since a time,\n"
                       "oldest first: one JSON object per line, or CSV with a header row.\n"
                       "WHEN is a date, a date and time (local unless a zone is given) or an\n"
                       "age such as 30m, 8h or 2d.\n"
                       "Example: zvkisp-cli records --since 8h --format csv > shift.csv\n")
        + store_cli::help_footer());
    p.addHelpOption();
    p.addOption({QStringLiteral("since"), QStringLiteral("Only boards started at or after WHEN."), QStringLiteral("WHEN")});
    p.addOption({QStringLiteral("format"), QStringLiteral("json (default) or csv."), QStringLiteral("FORMAT"),
                 QStringLiteral("json")});
    p.addOption({QStringLiteral("station"), QStringLiteral("Only this station's boards."), QStringLiteral("NAME")});
    store_cli::add_store_option(p);
    if (!p.parse(args))
        return store_cli::usage_error(kCommand, p.errorText());
    if (p.isSet(QStringLiteral("help"))) {
        print_command_help(p, kCommand);
        return store_cli::kOk;
    }
    if (!p.positionalArguments().isEmpty())
        return store_cli::usage_error(kCommand, QStringLiteral("takes no arguments besides its options"));
    const QString format = p.value(QStringLiteral("format"));
    if (format != QLatin1String("json") && format != QLatin1String("csv"))
        return store_cli::usage_error(kCommand, QStringLiteral("--format is json or csv"));
    QDateTime since;
    if (p.isSet(QStringLiteral("since"))) {
        since = parse_since(p.value(QStringLiteral("since")));
        if (!since.isValid())
            return store_cli::usage_error(kCommand, QStringLiteral("--since takes a date, a date and time, or an "
                                                                   "age such as 8h"));
    }
    int status = 0;
    auto store = store_cli::open(p, kCommand, &status);
    if (!store)
        return status;
    const auto records = store->records(since, p.value(QStringLiteral("station")));
    if (!records.ok())
        return store_cli::status_of(records, kCommand);
    QTextStream out(stdout);
    if (format == QLatin1String("csv"))
        out << BoardRecord::csv_header() << "\n";
    for (const BoardRecord& r : records.value)
        out << (format == QLatin1String("csv") ? r.to_csv_row() + u'\n' : r.to_json_line() + u'\n');
    return store_cli::kOk;
}

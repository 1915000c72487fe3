// zvkisp-cli series: the serial-number series of the production store (list, show, create, reset).
#include "cli/commands.h"
#include "cli/store_cli.h"

#include <QCommandLineParser>
#include <QTextStream>

#include <cstdio>

namespace {

const QString kCommand = QStringLiteral("series");

void print_series(QTextStream& out, const SeriesInfo& s, const std::vector<SerialLease>& leases)
{
    out << "series    " << s.key.name() << "\n"
        << "next      " << s.next << "\n"
        << "step      " << s.step << "\n"
        << "used      " << s.used;
    if (s.used > 0)
        out << " (" << s.first_used << " .. " << s.last_used << ")";
    out << "\nleased    " << s.leased << "\nreturned  " << s.returned << "\n";
    for (const SerialLease& l : leases)
        out << "lease     " << l.number << " " << l.station << " until " << record_time_text(l.expires) << "\n";
}

// A non-negative decimal number option; false after printing why.
bool number_option(const QCommandLineParser& p, const QString& name, qint64 min, qint64* value)
{
    bool ok = false;
    *value = p.value(name).toLongLong(&ok);
    if (ok && *value >= min)
        return true;
    store_cli::usage_error(kCommand, QStringLiteral("--%1 takes a whole number from %2 on").arg(name).arg(min));
    return false;
}

} // namespace

int cmd_series(const QStringList& args)
{
    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("Serial-number series shared by the programming stations. A series is\n"
                       "named PRODUCT/ADDRESS/BYTES/FORMAT: the address (hex) of the number's\n"
                       "low-order byte, its byte count and format (bin, dec or ascii).\n"
                       "  list                 every series with its next number and counts\n"
                       "  show SERIES          one series and the numbers out with stations\n"
                       "  create SERIES --next N [--step S]   a new series\n"
                       "  reset SERIES --next N [--step S]    restart a series at N\n"
                       "Example: zvkisp-cli series create widget/1FFF/2/dec --next 1000\n")
        + store_cli::help_footer());
    p.addHelpOption();
    p.addPositionalArgument(QStringLiteral("ACTION"), QStringLiteral("list, show, create or reset"));
    p.addPositionalArgument(QStringLiteral("SERIES"), QStringLiteral("PRODUCT/ADDRESS/BYTES/FORMAT"), QStringLiteral("[SERIES]"));
    p.addOption({QStringLiteral("next"), QStringLiteral("Next number (create, reset)."), QStringLiteral("N")});
    p.addOption({QStringLiteral("step"), QStringLiteral("Step between numbers (default 1)."), QStringLiteral("S")});
    store_cli::add_store_option(p);
    if (!p.parse(args))
        return store_cli::usage_error(kCommand, p.errorText());
    if (p.isSet(QStringLiteral("help"))) {
        print_command_help(p, kCommand);
        return store_cli::kOk;
    }
    const QStringList pos = p.positionalArguments();
    const QString action = pos.value(0);
    const bool list = action == QLatin1String("list");
    const bool writes = action == QLatin1String("create") || action == QLatin1String("reset");
    if (!list && !writes && action != QLatin1String("show"))
        return store_cli::usage_error(kCommand, QStringLiteral("give list, show, create or reset"));
    if (pos.size() != (list ? 1 : 2))
        return store_cli::usage_error(kCommand, list ? QStringLiteral("list takes no series")
                                                     : QStringLiteral("%1 takes one SERIES").arg(action));
    if (!writes && (p.isSet(QStringLiteral("next")) || p.isSet(QStringLiteral("step"))))
        return store_cli::usage_error(kCommand, QStringLiteral("--next and --step belong to create and reset"));
    if (writes && !p.isSet(QStringLiteral("next")))
        return store_cli::usage_error(kCommand, QStringLiteral("%1 needs --next N").arg(action));

    SeriesKey key;
    QString error;
    if (!list && !SeriesKey::parse(pos.at(1), &key, &error)) {
        std::fprintf(stderr, "zvkisp-cli series: %s\n", qPrintable(error));
        return store_cli::kBadInput;
    }
    qint64 next = 0, step = action == QLatin1String("create") ? 1 : 0;
    if (writes && !number_option(p, QStringLiteral("next"), 0, &next))
        return store_cli::kUsage;
    if (writes && p.isSet(QStringLiteral("step")) && !number_option(p, QStringLiteral("step"), 1, &step))
        return store_cli::kUsage;
    if (writes && next > key.max_value()) {
        std::fprintf(stderr, "zvkisp-cli series: %lld does not fit in %d bytes (%s)\n", static_cast<long long>(next),
                     key.bytes, qPrintable(serial_format_text(key.format)));
        return store_cli::kBadInput;
    }

    int status = 0;
    auto store = store_cli::open(p, kCommand, &status);
    if (!store)
        return status;
    QTextStream out(stdout);
    if (list) {
        const auto all = store->list_series();
        if (all.ok()) {
            out << QStringLiteral("%1 %2 %3 %4 %5 %6\n")
                       .arg(QStringLiteral("SERIES"), -30)
                       .arg(QStringLiteral("NEXT"), 12)
                       .arg(QStringLiteral("STEP"), 6)
                       .arg(QStringLiteral("USED"), 8)
                       .arg(QStringLiteral("LEASED"), 6)
                       .arg(QStringLiteral("RETURNED"), 8);
            for (const SeriesInfo& s : all.value)
                out << QStringLiteral("%1 %2 %3 %4 %5 %6\n")
                           .arg(s.key.name(), -30)
                           .arg(s.next, 12)
                           .arg(s.step, 6)
                           .arg(s.used, 8)
                           .arg(s.leased, 6)
                           .arg(s.returned, 8);
        }
        return store_cli::status_of(all, kCommand);
    }
    StoreOutcome<SeriesInfo> info = store->series(key);
    if (action == QLatin1String("create")) {
        info = store->create_series(key, next, step);
    } else if (action == QLatin1String("reset") && info.ok()) {
        if (info.value.last_used >= next)
            std::fprintf(stderr, "zvkisp-cli series: warning: numbers up to %lld were used already; boards may "
                                 "get a number twice\n", static_cast<long long>(info.value.last_used));
        info = store->reset_series(key, next, step);
    }
    if (!info.ok())
        return store_cli::status_of(info, kCommand);
    const auto leases = store->leases(key);
    print_series(out, info.value, leases.value);
    return store_cli::status_of(leases, kCommand);
}

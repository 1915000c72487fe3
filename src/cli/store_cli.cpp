#include "cli/store_cli.h"

#include <cstdio>

namespace store_cli {

QString help_footer()
{
    return QStringLiteral(
        "STORE is postgresql://USER@HOST[:PORT]/DB,\n"
        "postgresql://USER@/DB?host=/socket/dir or an SQLite file\n"
        "(default: %1).\n"
        "A PostgreSQL password comes from ~/.pgpass, PGPASSWORD or a service file.\n"
        "Exit status: 0 done, 2 usage error, 3 store unreachable (as a port that\n"
        "cannot be opened), 4 bad input (series name, number, unknown series).")
        .arg(default_store_path());
}

void add_store_option(QCommandLineParser& parser)
{
    parser.addOption({QStringLiteral("store"), QStringLiteral("Production store (default: the SQLite file)."),
                      QStringLiteral("STORE")});
}

std::unique_ptr<ProductionStore> open(const QCommandLineParser& parser, const QString& command, int* status)
{
    QStringList warnings;
    auto out = open_production_store(parser.value(QStringLiteral("store")), default_station_name(), &warnings);
    for (const QString& w : warnings)
        std::fprintf(stderr, "zvkisp-cli %s: warning: %s\n", qPrintable(command), qPrintable(w));
    *status = out.status == StoreStatus::BadInput ? usage_error(command, out.message) : status_of(out, command);
    return std::move(out.value);
}

int status_of(StoreStatus status, const QString& message, const QString& command)
{
    if (status == StoreStatus::Ok)
        return kOk;
    std::fprintf(stderr, "zvkisp-cli %s: %s\n", qPrintable(command), qPrintable(scrub_store_text(message)));
    return status == StoreStatus::Unavailable ? kUnreachable : kBadInput;
}

int usage_error(const QString& command, const QString& text)
{
    std::fprintf(stderr, "zvkisp-cli %s: %s\n", qPrintable(command), qPrintable(text));
    return kUsage;
}

} // namespace store_cli

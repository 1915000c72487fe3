#pragma once
// What the store commands (series, records) share: the --store option, opening the store, and
// the exit status of a store outcome (0 done, 3 store unreachable, 4 bad input).

#include "store/production_store.h"

#include <QCommandLineParser>
#include <memory>

namespace store_cli {

// Exit statuses of the store commands.
constexpr int kOk = 0;
constexpr int kUsage = 2;
constexpr int kUnreachable = 3;   // as a port that cannot be opened
constexpr int kBadInput = 4;

// The help lines every store command ends with (store locations and exit statuses).
QString help_footer();
void add_store_option(QCommandLineParser& parser);
// Opens the store named by --store (warnings to stderr); null after printing why, with the exit
// status in *status (2 for a location that cannot be read, 3 without the Qt SQL driver).
std::unique_ptr<ProductionStore> open(const QCommandLineParser& parser, const QString& command, int* status);
// Prints an outcome's message to stderr (when it is not Ok) and gives the exit status.
int status_of(StoreStatus status, const QString& message, const QString& command);
template <class T>
int status_of(const StoreOutcome<T>& out, const QString& command)
{
    return status_of(out.status, out.message, command);
}
// Prints a usage error to stderr and gives 2.
int usage_error(const QString& command, const QString& text);

} // namespace store_cli

#pragma once
// zvkisp-cli download with several --port options: one board per port at the same time. Every
// line of a port's message log goes to standard output behind the port's name; on a terminal,
// standard error keeps one progress line per port; the summary comes at the end.

#include <QStringList>

class BoardReport;
class CliSession;
class QCommandLineParser;
class SerialNumber;
struct RunOptions;

// `ports`: the --port values as given (paths, COMn). The session's workbench holds the set-up
// (model, options, image); `report` keeps every board's record and gives the serial numbers.
// Returns the exit status: 0 when every board programmed succeeded (a batch ended by --count, or by
// Ctrl-C while every port waited for its next board), 130/143 for a signal with a board in hand, 2
// for the options one port only takes.
int run_gang_download(CliSession& session, const SerialNumber* serial, const QStringList& ports, bool repeat,
                      const RunOptions& options, const QCommandLineParser& parser, BoardReport& report);

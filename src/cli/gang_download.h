#pragma once
// zvkisp-cli download with several --port options: one board per port at the same time. Every
// line of a port's message log goes to standard output behind the port's name; on a terminal,
// standard error keeps one progress line per port; the summary comes at the end.

#include <QStringList>

class BoardReport;
class CliSession;
class SerialNumber;

// `ports`: the --port values as given (paths, COMn). The session's workbench holds the set-up
// (model, options, image); `report` keeps every board's record and gives the serial numbers.
// Returns the exit status: 0 when every port's last board succeeded.
int run_gang_download(CliSession& session, const SerialNumber* serial, const QStringList& ports, bool repeat,
                      BoardReport& report);

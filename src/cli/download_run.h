#pragma once
// A production run of the download command on one port: one board, or with --repeat a batch
// (Re-Download) that ends after --count good boards, on Ctrl-C or on --timeout while it waits for
// the next board. Progress on standard error (--progress), one verdict line per board with
// --quiet, the resent frames logged and checked against --max-resends, and the exit status.

#include "cli/exit_status.h"
#include "device/board_result.h"

#include <QCommandLineOption>
#include <QList>
#include <QStringList>
#include <QString>

#include <functional>

class CliSession;
struct BenchImageTools;
struct BufferOptions;
class QCommandLineParser;
class SerialNumber;

struct RunOptions {
    enum class Progress { Auto, Plain, Bar, None };
    Progress progress = Progress::Auto;
    int count = 0;           // good boards per port that end a batch; 0 = no limit
    qint64 max_resends = -1; // frames a board may need again; -1 = no limit
};

// --progress, --count and --max-resends.
QList<QCommandLineOption> run_options();
// False with a reason for a malformed value, or --count without --repeat.
bool parse_run_options(const QCommandLineParser& parser, bool repeat, RunOptions& out, QString& error);

// The parts of --serial ADDR,BYTES,NEXT,STEP,FMT that the window would take but could not write
// as asked: NEXT and STEP must be decimal digits, and NEXT must fit BYTES in the format (two
// digits a byte for dec, one for ascii; bin: at most 4 bytes and below 2147483648). False with a
// reason.
bool check_serial_option(const QStringList& parts, QString& error);

// Called as each board that was programmed ends (a batch's end with no board in hand is none),
// its result as finally judged (after --max-resends).
using BoardEnded = std::function<void(const BoardResult& board)>;

// Runs Download (or Re-Download with `repeat`) on the session's bench and returns the exit status.
ExitStatus run_download(CliSession& session, const SerialNumber* serial, bool repeat, const RunOptions& options,
                        const BoardEnded& ended = {});

// --model auto has picked the model: `family_refusal` (from the family's option checks) refuses the
// board as a usage error; else FILE is checked and loaded again for that model (a refusal: bad
// input) and the serial number written again. False refuses the board (nothing written to it).
bool reload_for_picked_model(CliSession& session, BenchImageTools& tools, const BufferOptions& buffer,
                             const QString& file, const QString& family_refusal);

// The lines logged after a board's own lines when frames had to be sent again (English, Chinese).
QStringList resent_lines(quint64 resent);

// A batch's closing line on standard error: how many boards succeeded of how many programmed.
void print_batch_total(int good, int programmed, const QString& port = QString());

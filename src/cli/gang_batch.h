#pragma once
// What a gang run adds for production scripts: --count good boards per port, plain progress
// lines, --quiet verdict lines, and the batch's exit status after Ctrl-C or SIGTERM.

#include "cli/download_run.h"

#include <QObject>
#include <QStringList>

#include <vector>

class CliSession;
class GangRun;

// Whether the gang's progress block is drawn (a terminal, or --progress bar).
bool gang_progress_bar(const RunOptions& options, bool quiet);

class GangBatch : public QObject {
    Q_OBJECT
public:
    GangBatch(GangRun& run, const QStringList& ports, const RunOptions& options, const CliSession& session);

    // Ctrl-C or SIGTERM: notes whether any port had a board in hand, then stops every port.
    void on_stop();
    ExitStatus status(bool repeat) const;

private:
    void on_board(int index, bool ok);
    void on_row(int index);

    GangRun& run_;
    const QStringList ports_;
    const RunOptions options_;
    const CliSession& session_;
    std::vector<int> tenths_;
    std::vector<bool> answered_;    // per port: its board answered and has not ended yet
    bool in_hand_ = false;
    bool port_failed_ = false;   // a port could not be opened
};

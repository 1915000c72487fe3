#pragma once
// The soak run shared by the soak test and bench/bench_soak: downloads of random images through
// zvkisp-cli into zvkisp-sim boards whose answers are corrupted on the line, each board with its
// own seed. Every download is classed as a success (exit status 0 and the flash holds the image),
// a failure with a message (non-zero status and a failure line in the log), or one of the two
// faults the tool must never show: a success reported while the flash differs from the image
// (silent corruption), or a failure with no failure line, a crash or a hang.

#include <QString>
#include <QStringList>

struct SoakOptions {
    int downloads = 20;
    quint32 first_seed = 1;
    QString corrupt = QStringLiteral("0.01");   // the sim's --corrupt probability
    QStringList extra_sim_args;                 // more faults (--drop-reply ...)
    int min_size = 256;                         // image size range, bytes
    int max_size = 4096;
    QString model = QStringLiteral("ZVK7H64B+");
    bool verbose = false;                       // one line per download on standard error
};

struct SoakResult {
    int succeeded = 0;
    int failed_with_message = 0;
    int silent_corruptions = 0;   // must stay 0
    int unexplained = 0;          // failures without a message, crashes, hangs: must stay 0
    QStringList notes;            // what went wrong, one line per bad download
};

SoakResult run_soak(const SoakOptions& options);

#include "cli/exit_status.h"

QString exit_status_help()
{
    return QStringLiteral("\nExit status:\n"
                          "  0    success (a batch: every board it programmed succeeded)\n"
                          "  1    the board failed (connect, erase, program, verify, options)\n"
                          "  2    usage error (bad arguments, a setting the tool refuses, a chip\n"
                          "       --model auto cannot tell); nothing was written to any chip\n"
                          "  3    the port cannot be opened, or vanished\n"
                          "  4    bad input file; nothing was written to any chip\n"
                          "  5    timed out waiting for the MCU (--timeout)\n"
                          "  130  interrupted (SIGINT), 143 terminated (SIGTERM): the port is\n"
                          "       released and the board in hand is not reported good\n");
}

#pragma once
// zvkisp-cli sub-commands. Each lives in its own cmd_<name>.cpp and gets the arguments after the
// command name (args[0] is "zvkisp-cli <command>"). Returns the process exit status.

#include <QStringList>

class QCommandLineParser;

int cmd_models(const QStringList& args);
int cmd_ports(const QStringList& args);
int cmd_test_option(const QStringList& args);
int cmd_connect(const QStringList& args);
int cmd_download(const QStringList& args);
int cmd_dump(const QStringList& args);
int cmd_store(const QStringList& args);
int cmd_send_user_code(const QStringList& args);
int cmd_custom_download(const QStringList& args);
int cmd_softice(const QStringList& args);
int cmd_series(const QStringList& args);
int cmd_records(const QStringList& args);

// Prints the parser's --help text with the usage line naming "zvkisp-cli <command>".
void print_command_help(const QCommandLineParser& parser, const QString& command);

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

// Prints the parser's --help text with the usage line naming "zvkisp-cli <command>", then the
// exit statuses, all within 80 columns.
void print_command_help(const QCommandLineParser& parser, const QString& command);
// Prints a help text and the exit statuses within 80 columns.
void print_help_text(const QString& text);
// `text` with every line longer than 80 columns cut at a blank: prose flows into the next line of
// its paragraph, an example goes on after a backslash.
QString fit_help_columns(const QString& text);

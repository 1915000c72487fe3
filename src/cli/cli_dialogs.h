#pragma once
// The command line's answers to the core's questions: beeps are counted (and rung on a terminal),
// message boxes go to standard error, confirmations take the answer given by the options, file
// choices are the paths given by the options.

#include "base/user_dialogs.h"

#include <QString>

class CliDialogs : public UserDialogs {
public:
    void beep() override;
    void message_box(const QString& text, const QString& title = QString(), Icon icon = Icon::None) override;
    bool ask_yes_no(const QString& text, const QString& title = QString()) override;
    QString choose_open_file(const QString& title, const QString& initial_path, const QString& filter) override;
    QString choose_save_file(const QString& title, const QString& initial_dir, const QString& filter) override;

    int beeps = 0;
    int message_boxes = 0;
    bool answer_yes = false;        // what every Yes/No question is answered
    bool ask_on_terminal = false;   // ask on the terminal instead, when standard input is one
    QString open_path;              // answer of the open dialog (empty = cancelled)
    QString save_path;              // answer of the save dialog (empty = cancelled)
};

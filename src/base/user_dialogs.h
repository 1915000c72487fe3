#pragma once
// What the core asks of the person in front of it: beeps, message boxes, confirmations and file
// choices. The window shows real dialogs; the CLI prints to standard error and answers from its
// options; tests script the answers.

#include <QString>

class UserDialogs {
public:
    enum class Icon { None, Information, Exclamation };
    virtual ~UserDialogs() = default;

    // One system beep (the caller paces several beeps).
    virtual void beep() = 0;
    // A message box with an OK button. An empty title means the platform's default title.
    virtual void message_box(const QString& text, const QString& title = QString(), Icon icon = Icon::None) = 0;
    // A Yes/No box whose default button is No. True only for Yes.
    virtual bool ask_yes_no(const QString& text, const QString& title = QString()) = 0;
    // Open / save dialogs; an empty result means cancelled. The filter is a ";;"-separated list of
    // "description (patterns)" entries, the first one preset.
    virtual QString choose_open_file(const QString& title, const QString& initial_path, const QString& filter) = 0;
    virtual QString choose_save_file(const QString& title, const QString& initial_dir, const QString& filter) = 0;
};

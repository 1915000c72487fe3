#include "support/scripted_dialogs.h"

void ScriptedDialogs::message_box(const QString& text, const QString& title, Icon icon)
{
    messages.append({text, title, icon});
}

bool ScriptedDialogs::ask_yes_no(const QString& text, const QString&)
{
    questions.append(text);
    return yes_no_answers.isEmpty() ? false : yes_no_answers.dequeue();
}

QString ScriptedDialogs::choose_open_file(const QString& title, const QString& initial_path, const QString& filter)
{
    open_requests.append({title, initial_path, filter});
    return open_answers.isEmpty() ? QString() : open_answers.dequeue();
}

QString ScriptedDialogs::choose_save_file(const QString& title, const QString& initial_dir, const QString& filter)
{
    save_requests.append({title, initial_dir, filter});
    return save_answers.isEmpty() ? QString() : save_answers.dequeue();
}

QStringList ScriptedDialogs::texts() const
{
    QStringList out;
    for (const Message& m : messages)
        out << m.text;
    return out;
}

void ScriptedDialogs::clear()
{
    beeps = 0;
    messages.clear();
    questions.clear();
    yes_no_answers.clear();
    open_answers.clear();
    save_answers.clear();
    open_requests.clear();
    save_requests.clear();
}

#pragma once
// A UserDialogs for tests: records every beep, message box and question, answers Yes/No questions
// and file dialogs from queues (an empty queue answers No / cancelled).

#include "base/user_dialogs.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>

class ScriptedDialogs : public UserDialogs {
public:
    struct Message {
        QString text;
        QString title;
        Icon icon = Icon::None;
    };
    struct FileRequest {
        QString title;
        QString initial;
        QString filter;
    };

    void beep() override { ++beeps; }
    void message_box(const QString& text, const QString& title = QString(), Icon icon = Icon::None) override;
    bool ask_yes_no(const QString& text, const QString& title = QString()) override;
    QString choose_open_file(const QString& title, const QString& initial_path, const QString& filter) override;
    QString choose_save_file(const QString& title, const QString& initial_dir, const QString& filter) override;

    // Texts of the message boxes in order.
    QStringList texts() const;
    void clear();

    int beeps = 0;
    QList<Message> messages;
    QStringList questions;
    QQueue<bool> yes_no_answers;
    QQueue<QString> open_answers;
    QQueue<QString> save_answers;
    QList<FileRequest> open_requests;
    QList<FileRequest> save_requests;
};

#pragma once
// The window's answers to the core's questions: real message boxes, Yes/No boxes with No as the
// default button, file dialogs and the system beep.

#include "base/user_dialogs.h"

class QWidget;

class WindowDialogs : public UserDialogs {
public:
    explicit WindowDialogs(QWidget* parent) : parent_(parent) {}

    void beep() override;
    void message_box(const QString& text, const QString& title = QString(), Icon icon = Icon::None) override;
    bool ask_yes_no(const QString& text, const QString& title = QString()) override;
    QString choose_open_file(const QString& title, const QString& initial_path, const QString& filter) override;
    QString choose_save_file(const QString& title, const QString& initial_dir, const QString& filter) override;

private:
    QWidget* parent_;
};

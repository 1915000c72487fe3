#include "ui/window_dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace {
QString box_title(const QString& title)
{
    return title.isEmpty() ? QCoreApplication::applicationName() : title;
}
} // namespace

void WindowDialogs::beep()
{
    QApplication::beep();
}

void WindowDialogs::message_box(const QString& text, const QString& title, Icon icon)
{
    QMessageBox box(parent_);
    box.setWindowTitle(box_title(title));
    box.setText(text);
    box.setIcon(icon == Icon::Exclamation   ? QMessageBox::Warning
                : icon == Icon::Information ? QMessageBox::Information
                                            : QMessageBox::NoIcon);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

bool WindowDialogs::ask_yes_no(const QString& text, const QString& title)
{
    QMessageBox box(parent_);
    box.setWindowTitle(box_title(title));
    box.setText(text);
    box.setIcon(QMessageBox::Question);
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString WindowDialogs::choose_open_file(const QString& title, const QString& initial_path, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent_, title, initial_path, filter);
}

QString WindowDialogs::choose_save_file(const QString& title, const QString& initial_dir, const QString& filter)
{
    QString dir = initial_dir;
    const QFileInfo fi(initial_dir);
    if (fi.isFile())
        dir = fi.absolutePath();
    return QFileDialog::getSaveFileName(parent_, title, dir, filter);
}

#pragma once
// The message log (the window's `textMsg`): every line is appended as CR LF + text.
// The window shows it; the CLI prints each appended line; tests read it back.

#include <QObject>
#include <QString>
#include <QTime>

class MessageLog : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    const QString& text() const { return text_; }
    // Append a line break ("\r\n") and `line`; the caret goes to the end.
    void append(const QString& line);
    // Replace the whole text (the Re-Download countdown rebuilds the log from a kept copy).
    void set_text(const QString& text);
    void clear() { set_text(QString()); }
    // Lines as a person reads them: the text split at CR LF, the leading empty piece dropped.
    QStringList lines() const;

    // " (End: hh:mm:ss)" style stamp used by the failure lines.
    static QString time_of_day() { return QTime::currentTime().toString(QStringLiteral("hh:mm:ss")); }

signals:
    void appended(const QString& line);
    void replaced(const QString& text);

private:
    QString text_;
};

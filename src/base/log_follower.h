#pragma once
// Follows a message log as a reader of a terminal would: every line once, in order. An appended
// line comes out as it is; when the log is rebuilt (the Re-Download countdown keeps the old text
// and adds its lines), only the lines past the part already seen come out.

#include <QObject>
#include <QStringList>

class MessageLog;

class LogFollower : public QObject {
    Q_OBJECT
public:
    explicit LogFollower(MessageLog& log, QObject* parent = nullptr);

signals:
    // One new line of the log (CR LF inside an appended text split into several).
    void line(const QString& text);

private:
    void on_appended(const QString& text);
    void on_replaced(const QString& text);

    QStringList seen_;
};

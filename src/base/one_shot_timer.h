#pragma once
// A window timer as the procedures use them: enabled/disabled, an interval, and a tick that
// disables the timer (so every timer is a one-shot time-out unless its owner re-arms it).

#include <QObject>
#include <QTimer>

class OneShotTimer : public QObject {
    Q_OBJECT
public:
    explicit OneShotTimer(const QString& name, int interval_ms, QObject* parent = nullptr)
        : QObject(parent), name_(name)
    {
        setObjectName(name);
        timer_.setSingleShot(true);
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(interval_ms);
        connect(&timer_, &QTimer::timeout, this, [this] { emit tick(); });
    }

    const QString& name() const { return name_; }
    bool enabled() const { return timer_.isActive(); }
    int interval() const { return timer_.interval(); }
    // Setting the interval of an enabled timer restarts it, as a window timer does.
    void set_interval(int ms)
    {
        const bool was = timer_.isActive();
        timer_.setInterval(ms);
        if (was)
            timer_.start();
    }
    // Enabling an already enabled timer does not restart its interval.
    void set_enabled(bool on)
    {
        if (on && !timer_.isActive())
            timer_.start();
        else if (!on)
            timer_.stop();
    }
    void start() { set_enabled(true); }
    void stop() { timer_.stop(); }
    // Disable, set the interval, enable: the pattern of every reply wait.
    void restart(int ms)
    {
        timer_.stop();
        timer_.setInterval(ms);
        timer_.start();
    }

signals:
    // The tick: the timer has already disabled itself when this is emitted.
    void tick();

private:
    QString name_;
    QTimer timer_;
};

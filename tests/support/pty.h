#pragma once
// A pseudo-terminal pair for tests: the code under test opens slave_path() as its serial port,
// the test plays the far end on the master.

#include <QByteArray>
#include <QString>

struct termios;

class Pty {
public:
    Pty() = default;
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    // Opens a pair in raw mode. The slave is kept open by us too (so the master does not see a
    // hang-up while the code under test has it closed) unless keep_slave_open is false.
    bool open(bool keep_slave_open = true);
    QString slave_path() const { return slave_path_; }
    int master_fd() const { return master_; }
    bool is_open() const { return master_ >= 0; }

    // Reads from the master what is there within timeout_ms (stops at `max` bytes when > 0).
    QByteArray read_master(int timeout_ms, int max = 0);
    // Reads until `count` bytes came or timeout_ms passed.
    QByteArray read_master_exactly(int count, int timeout_ms);
    // The line settings the slave side has now (termios shared by the pair).
    bool slave_termios(struct termios* out) const;
    // Baud of the slave side as a number (standard rates), 0 if unknown.
    int slave_baud() const;

private:
    int master_ = -1;
    int slave_ = -1;
    QString slave_path_;
};

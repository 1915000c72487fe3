#pragma once
// A PostgreSQL server of its own for a test run: initdb in a temporary folder, listening on a
// Unix socket in that folder only (no TCP), stopped and removed at the end. As root the server
// runs as the "postgres" user. Needs Debian's postgresql package.

#include <QDir>
#include <QString>
#include <QTemporaryDir>

class PgServer {
public:
    PgServer() = default;
    ~PgServer();
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    // The folder with initdb and pg_ctl; empty when PostgreSQL is not installed.
    static QString bin_dir();

    // Creates the cluster (first call) and starts the server; `durable` keeps fsync on.
    bool start(bool durable = false);
    // Stops it; `at_once` as a crash would (no clean shutdown). start() brings it back.
    bool stop(bool at_once = false);
    // "postgresql://zvkisp@/postgres?host=<folder>"
    QString url() const;
    QString error() const { return error_; }

private:
    bool run(const QString& tool, const QStringList& args);
    QTemporaryDir dir_{QDir::tempPath() + QStringLiteral("/zvkisp-pg-XXXXXX")};
    bool created_ = false;
    bool running_ = false;
    QString error_;
};

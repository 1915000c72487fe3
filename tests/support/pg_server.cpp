#include "support/pg_server.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <pwd.h>
#include <unistd.h>

namespace {

// As root: the postgres user (the server refuses to run as root), else nobody in particular.
const passwd* server_user() { return ::geteuid() == 0 ? ::getpwnam("postgres") : nullptr; }

} // namespace

PgServer::~PgServer()
{
    if (running_)
        stop();
}

QString PgServer::bin_dir()
{
    QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(versions.begin(), versions.end(), [](const QString& a, const QString& b) { return a.toInt() > b.toInt(); });
    for (const QString& v : versions) {
        const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(v);
        if (QFileInfo(bin + QStringLiteral("/initdb")).isExecutable())
            return bin;
    }
    const QString initdb = QStandardPaths::findExecutable(QStringLiteral("initdb"));
    return initdb.isEmpty() ? QString() : QFileInfo(initdb).absolutePath();
}

bool PgServer::run(const QString& tool, const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    const QString program = bin_dir() + u'/' + tool;
    if (const passwd* user = server_user())
        p.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QString::fromLocal8Bit(user->pw_name),
                                                       QStringLiteral("--"), program} + args);
    else
        p.start(program, args);
    const bool ok = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (!ok)
        error_ = tool + QStringLiteral(": ") + QString::fromLocal8Bit(p.readAll()).trimmed() + p.errorString();
    return ok;
}

bool PgServer::start(bool durable)
{
    if (bin_dir().isEmpty()) {
        error_ = QStringLiteral("PostgreSQL is not installed");
        return false;
    }
    const QString data = dir_.path() + QStringLiteral("/data");
    if (!created_) {
        if (const passwd* user = server_user()) {
            if (::chown(QFile::encodeName(dir_.path()).constData(), user->pw_uid, user->pw_gid) != 0) {
                error_ = QStringLiteral("cannot hand the folder to postgres");
                return false;
            }
        }
        if (!run(QStringLiteral("initdb"), {QStringLiteral("-D"), data, QStringLiteral("-A"), QStringLiteral("trust"),
                                            QStringLiteral("-U"), QStringLiteral("zvkisp"), QStringLiteral("-E"),
                                            QStringLiteral("UTF8"), QStringLiteral("--no-sync")}))
            return false;
        created_ = true;
    }
    // Without fsync a test run is faster; a commit still reaches the server's files before it is
    // answered, so a server killed at once loses nothing it confirmed.
    const QString options = QStringLiteral("-c listen_addresses='' -k %1 -c fsync=%2")
                                .arg(dir_.path(), durable ? QStringLiteral("on") : QStringLiteral("off"));
    running_ = run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), data, QStringLiteral("-l"),
                                              dir_.path() + QStringLiteral("/server.log"), QStringLiteral("-o"), options,
                                              QStringLiteral("-w"), QStringLiteral("start")});
    return running_;
}

bool PgServer::stop(bool at_once)
{
    running_ = false;
    return run(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), dir_.path() + QStringLiteral("/data"), QStringLiteral("-m"),
                                          at_once ? QStringLiteral("immediate") : QStringLiteral("fast"),
                                          QStringLiteral("-w"), QStringLiteral("stop")});
}

QString PgServer::url() const { return QStringLiteral("postgresql://zvkisp@/postgres?host=") + dir_.path(); }

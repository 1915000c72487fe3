#pragma once
// The "Production records" dialog: what the production store holds for the shift leader. The
// series the serial-number settings of the window name (next number, numbers used, out with a
// station, given back), the other series below it, and the last boards programmed (time, station,
// port, serial number, result, reason), newest first. Refresh reads the store again; a store that
// cannot be reached is one line in the dialog, and a PostgreSQL server that does not answer is
// given up after kConnectSeconds.

#include <QDialog>
#include <vector>

struct BoardRecord;
struct SeriesInfo;
class QLabel;
class QPushButton;
class QTableWidget;

class RecordsDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kLastRecords = 50;
    static constexpr int kConnectSeconds = 2;
    static const QString kUnreachableText;   // %1 why

    explicit RecordsDialog(QWidget* parent = nullptr);

    // The store to read (a postgresql:// URL, an SQLite file, empty for the default file) and the
    // serial-number settings as the window holds them: the low-order byte's address (hexadecimal,
    // its last five digits count), the byte count and the format (0 binary, 1 decimal, 2 ASCII).
    // The series of any product with that address, byte count and format is the window's.
    void set_source(const QString& location, const QString& address, const QString& bytes, int format);
    // Reads the series and the last records again.
    void refresh();

    QLabel* labStore = nullptr;
    QLabel* labSeries = nullptr;
    QLabel* labStatus = nullptr;
    QTableWidget* tblSeries = nullptr;
    QTableWidget* tblRecords = nullptr;
    QPushButton* comRefresh = nullptr;

private:
    void show_series(const std::vector<SeriesInfo>& all);
    void show_records(const std::vector<BoardRecord>& records);
    void show_failure(const QString& why);

    QString location_;
    bool page_valid_ = false;     // the settings name a series
    quint32 page_address_ = 0;
    int page_bytes_ = 0;
    int page_format_ = 0;
};

// `url` without the password it may hold (in the user part or as a password= option). *removed
// says whether there was one.
QString strip_store_password(const QString& url, bool* removed = nullptr);
// `location` with a PostgreSQL connection attempt bounded to `seconds`, unless it sets its own.
QString with_connect_timeout(const QString& location, int seconds);

#include "settings/combo_lists.h"

#include "models/model_catalogue.h"

namespace ComboLists {

const QStringList& user_code_baud()
{
    static const QStringList l = {"115200", "57600", "38400", "28800", "19200", "14400",
                                  "12800",  "11520", "9600",  "4800",  "2400",  "1200"};
    return l;
}

const QStringList& demo_baud()
{
    static const QStringList l = {"115200", "57600", "38400", "28800", "19200", "14400", "9600", "4800", "2400"};
    return l;
}

const QStringList& parity()
{
    static const QStringList l = {"Even", "Odd", "None"};
    return l;
}

const QStringList& data_bits()
{
    static const QStringList l = {"8", "7", "6", "5"};
    return l;
}

const QStringList& stop_bits()
{
    static const QStringList l = {"1", "1.5", "2"};
    return l;
}

const QStringList& com_ports()
{
    static const QStringList l = {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8"};
    return l;
}

const QStringList& redownload_delay()
{
    static const QStringList l = {"9", "8", "7", "6", "5", "4", "3", "2"};
    return l;
}

const QStringList& wdt_pins()
{
    static const QStringList l = [] {
        QStringList out;
        for (int port = 0; port <= 4; ++port)
            for (int bit = 0; bit <= (port == 4 ? 3 : 7); ++bit)
                out << QStringLiteral("P%1.%2").arg(port).arg(bit);
        return out;
    }();
    return l;
}

int model_count()
{
    return McuModelTable::list_names().size();
}

} // namespace ComboLists

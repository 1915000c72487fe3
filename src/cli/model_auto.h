#pragma once
// --model auto: the catalogue model for the chip that answered, from the identity its status frame
// reported, before anything is written to it.

#include <QString>
#include <QStringList>

struct McuStatus;
struct LinkResults;

// The model the download uses before the chip has answered: the largest application flash, so
// that the file checks made before the port opens refuse nothing a catalogue chip could take.
extern const char* const kAutoModelBeforeIdentity;

struct AutoModel {
    QString name;          // the row picked; empty when none could be
    QStringList same;      // other rows that fit and differ from it in their name only
    QString why;           // why none was picked (no identity, no row, rows that differ)
};

// Every catalogue row the window's model check accepts for this chip; one of them when they all
// program alike.
AutoModel pick_model(const McuStatus& status, const LinkResults& results);

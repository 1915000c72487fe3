#pragma once
// The catalogue of supported MCU models and the values a selection copies out of it.

#include <QString>
#include <QStringList>
#include <QVector>
#include <cstdint>

struct ModelRow {
    int list_index;          // position in the model combo, -1 for names that must be typed
    QString name;            // exact, case-sensitive
    int family;              // 0 = B/B2 models, 1 = D/T2 models, 2 = A/B+ models
    qint32 ap_end;
    qint32 user_flash_end;
    qint32 data_flash_start;
    qint32 range_end;
    bool ap_to_isp;
    int block_size;          // 128 or 512
    QString model_code;      // "F001".."F110" for family 2, empty otherwise
    QString soft_ice_rom;    // monitor ROM name, empty when the model cannot become a Soft ICE chip
};

namespace McuModelTable {
// All 27 rows: the 21 listed names in list order, then the six typed-only names.
const QVector<ModelRow>& rows();
// The 21 names of the model combo, in order.
QStringList list_names();
// Exact-name lookup; nullptr for an unknown name.
const ModelRow* find(const QString& name);
}

// The values the selected model puts into effect. Selection is the only writer.
struct SelectedModel {
    QString combo_text;          // text of the model combo when it was applied
    int list_index = -1;         // list position of the combo text, -1 when typed / unknown
    int model_family = 0;
    qint32 ap_start = 0;
    qint32 ap_end = 0;
    qint32 user_flash_end = 0;
    qint32 data_flash_start = 0;
    qint32 range_end = 0;
    bool ap_to_isp = false;
    int block_size = 0;
    QString model_code;
    bool soft_ice_capable = false;
    QString soft_ice_rom_name;

    // The data part of choosing a model (its first three steps): resets, then copies the
    // row whose name equals `text`; an unknown text keeps the previous ranges, family, code and ROM
    // name but still resets block size / ap_to_isp and disables Soft ICE.
    void select(const QString& text);

    // First address of the protected top block: family 0 data_flash_start, families 1 and 2
    // range_end - 1023, anything else 0.
    qint32 isp_start() const;
};

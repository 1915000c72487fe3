#include "cli/model_auto.h"

#include "device/connection.h"
#include "device/link_results.h"
#include "device/mcu_status.h"
#include "models/model_catalogue.h"

const char* const kAutoModelBeforeIdentity = "ZVK7H64B";

namespace {

bool program_alike(const ModelRow& a, const ModelRow& b)
{
    return a.family == b.family && a.ap_end == b.ap_end && a.user_flash_end == b.user_flash_end &&
           a.data_flash_start == b.data_flash_start && a.range_end == b.range_end && a.ap_to_isp == b.ap_to_isp &&
           a.block_size == b.block_size && a.model_code == b.model_code && a.soft_ice_rom == b.soft_ice_rom;
}

} // namespace

AutoModel pick_model(const McuStatus& status, const LinkResults& results)
{
    AutoModel out;
    if (!results.chip_id_known) {
        out.why = QStringLiteral("the chip's status frame holds no identity");
        return out;
    }
    QVector<const ModelRow*> fit;
    for (const ModelRow& row : McuModelTable::rows()) {
        SelectedModel model;
        model.select(row.name);
        if (!Connection::model_is_wrong(status, results, model))
            fit << &row;
    }
    const QString identity = QStringLiteral("%1 (identity %2%3, firmware %4%5)")
                                 .arg(status.mcu_type_name.isEmpty() ? QStringLiteral("?") : status.mcu_type_name,
                                      results.chip_id_hex, results.chip_subid_hex, status.firmware_version,
                                      status.firmware_variant);
    if (fit.isEmpty()) {
        out.why = QStringLiteral("no catalogue model fits the chip %1").arg(identity);
        return out;
    }
    QStringList names;
    for (const ModelRow* row : fit)
        names << row->name;
    for (const ModelRow* row : fit)
        if (!program_alike(*row, *fit.first())) {
            out.why = QStringLiteral("the chip %1 fits %2, which differ").arg(identity, names.join(QStringLiteral(", ")));
            return out;
        }
    out.name = names.takeFirst();
    out.same = names;
    return out;
}

#include "models/model_catalogue.h"

namespace {

QVector<ModelRow> build_rows()
{
    auto row = [](int idx, const char* name, int fam, qint32 ap_end, qint32 ufe, qint32 dfs, qint32 re,
                  bool to_isp, int block, const char* code, const char* rom) {
        return ModelRow{idx, QString::fromLatin1(name), fam, ap_end, ufe, dfs, re, to_isp, block,
                        QString::fromLatin1(code), QString::fromLatin1(rom)};
    };
    return {
        row(0, "ZVK7H04A", 2, 0x0FFF, 0x37FF, 0x2C00, 0x3BFF, false, 512, "F001", ""),
        row(1, "ZVK7H08A", 2, 0x1FFF, 0x37FF, 0x2C00, 0x3BFF, false, 512, "F002", ""),
        row(2, "ZVK7H12A", 2, 0x37FF, 0x37FF, 0x2C00, 0x3BFF, true, 512, "F004", ""),
        row(3, "ZVK7H16B+", 2, 0x3FFF, 0xF7FF, 0xEC00, 0xFBFF, false, 512, "F104", ""),
        row(4, "ZVK7H32B+", 2, 0x7FFF, 0xF7FF, 0xEC00, 0xFBFF, false, 512, "F108", ""),
        row(5, "ZVK7H64B+", 2, 0xF7FF, 0xF7FF, 0xEC00, 0xFBFF, true, 512, "F110", ""),
        row(6, "ZVK7L04A", 2, 0x0FFF, 0x37FF, 0x2C00, 0x3BFF, false, 512, "F001", ""),
        row(7, "ZVK7L08A", 2, 0x1FFF, 0x37FF, 0x2C00, 0x3BFF, false, 512, "F002", ""),
        row(8, "ZVK7L12A", 2, 0x37FF, 0x37FF, 0x2C00, 0x3BFF, true, 512, "F004", ""),
        row(9, "ZVK7L16B+", 2, 0x3FFF, 0xF7FF, 0xEC00, 0xFBFF, false, 512, "F104", ""),
        row(10, "ZVK7L32B+", 2, 0x7FFF, 0xF7FF, 0xEC00, 0xFBFF, false, 512, "F108", ""),
        row(11, "ZVK7L64B+", 2, 0xF7FF, 0xF7FF, 0xEC00, 0xFBFF, true, 512, "F110", ""),
        row(12, "ZVK7L08D", 1, 0x1FFF, 0x1FFF, 0xE000, 0xFBFF, false, 512, "", ""),
        row(13, "ZVK7L16D", 1, 0x3FFF, 0x3FFF, 0xE000, 0xFBFF, false, 512, "", ""),
        row(14, "ZVK7L32D", 1, 0x7FFF, 0x7FFF, 0xE000, 0xFBFF, false, 512, "", ""),
        row(15, "ZVK7L64D", 1, 0xFBFF, 0xFBFF, 0xE000, 0xFFFF, true, 512, "", ""),
        row(16, "ZVK7L64T2", 1, 0xFBFF, 0xFBFF, 0xE000, 0xFFFF, true, 512, "", ""),
        row(17, "ZVK7H64B", 0, 0xFFFF, 0xFFFF, 0x10000, 0x11FFF, false, 128, "", "ZVK64_2003.ROM"),
        row(18, "ZVK7H32B", 0, 0x7FFF, 0x7FFF, 0xE000, 0xFFFF, false, 128, "", "ZVK32_2003.ROM"),
        row(19, "ZVK7V64B", 0, 0xFFFF, 0xFFFF, 0x10000, 0x11FFF, false, 128, "", "ZVK64_2003.ROM"),
        row(20, "ZVK7V32B", 0, 0x7FFF, 0x7FFF, 0xE000, 0xFFFF, false, 128, "", "ZVK32_2003.ROM"),
        row(-1, "ZVK7H32B2", 0, 0x7FFF, 0x7FFF, 0xE000, 0xFFFF, false, 128, "", "ZVK32_2003.ROM"),
        row(-1, "ZVK7V32B2", 0, 0x7FFF, 0x7FFF, 0xE000, 0xFFFF, false, 128, "", "ZVK32_2003.ROM"),
        row(-1, "ZVK7H16B2", 0, 0x3FFF, 0x3FFF, 0xE000, 0xFFFF, false, 128, "", ""),
        row(-1, "ZVK7V16B2", 0, 0x3FFF, 0x3FFF, 0xE000, 0xFFFF, false, 128, "", ""),
        row(-1, "ZVK7H08B2", 0, 0x1FFF, 0x1FFF, 0xE000, 0xFFFF, false, 128, "", ""),
        row(-1, "ZVK7V08B2", 0, 0x1FFF, 0x1FFF, 0xE000, 0xFFFF, false, 128, "", ""),
    };
}

} // namespace

const QVector<ModelRow>& McuModelTable::rows()
{
    static const QVector<ModelRow> table = build_rows();
    return table;
}

QStringList McuModelTable::list_names()
{
    QStringList names;
    for (const ModelRow& r : rows())
        if (r.list_index >= 0)
            names << r.name;
    return names;
}

const ModelRow* McuModelTable::find(const QString& name)
{
    for (const ModelRow& r : rows())
        if (r.name == name)
            return &r;
    return nullptr;
}

void SelectedModel::select(const QString& text)
{
    combo_text = text;
    block_size = 128;
    soft_ice_capable = true;
    ap_to_isp = false;

    const ModelRow* row = McuModelTable::find(text);
    list_index = row ? row->list_index : -1;
    if (!row) {
        soft_ice_capable = false;
        return;
    }
    ap_start = 0;
    ap_end = row->ap_end;
    user_flash_end = row->user_flash_end;
    data_flash_start = row->data_flash_start;
    range_end = row->range_end;
    model_family = row->family;
    if (row->family == 1 || row->family == 2)
        block_size = 512;
    if (row->ap_to_isp)
        ap_to_isp = true;
    if (row->family == 2)
        model_code = row->model_code;
    if (!row->soft_ice_rom.isEmpty())
        soft_ice_rom_name = row->soft_ice_rom;
    else
        soft_ice_capable = false;
}

qint32 SelectedModel::isp_start() const
{
    switch (model_family) {
    case 0: return data_flash_start;
    case 1:
    case 2: return range_end - 1023;
    default: return 0;
    }
}

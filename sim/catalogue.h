// The chips zvkisp-sim can play, with what the boot loader of each reports and accepts.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace sim {

struct ChipModel {
    const char *name;
    int family;            // 0, 1 or 2
    uint32_t ap_end;       // last address of the application area
    uint32_t range_end;    // last address of the model's address space
    uint8_t identity;      // chip identity byte of the status frame (0 = none)
    uint8_t sub_identity;  // chip sub-identity byte
    uint16_t demo_id;      // identity the in-application download routine reports (0 = none)
};

// Looks a model up by its exact name; nullptr when unknown.
const ChipModel *find_model(const std::string &name);

// Prints the known names, one per line.
void list_models(FILE *out);

}  // namespace sim

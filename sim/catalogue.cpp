#include "catalogue.h"

#include <cstdio>

namespace sim {

namespace {

// Family 2: the A and B+ chips (identity F0/F1, sub-identity by size).
// Family 1: the D and T2 chips (identity 52/54/58/56).
// Family 0: the B and B2 chips (no identity in the status frame).
const ChipModel kModels[] = {
    {"ZVK7H04A", 2, 0x0FFF, 0x3BFF, 0xF0, 0x01, 0x4001},
    {"ZVK7H08A", 2, 0x1FFF, 0x3BFF, 0xF0, 0x02, 0x4002},
    {"ZVK7H12A", 2, 0x37FF, 0x3BFF, 0xF0, 0x04, 0x4003},
    {"ZVK7H16B+", 2, 0x3FFF, 0xFBFF, 0xF1, 0x04, 0x4004},
    {"ZVK7H32B+", 2, 0x7FFF, 0xFBFF, 0xF1, 0x08, 0x4005},
    {"ZVK7H64B+", 2, 0xF7FF, 0xFBFF, 0xF1, 0x10, 0x4006},
    {"ZVK7L04A", 2, 0x0FFF, 0x3BFF, 0xF0, 0x01, 0x0001},
    {"ZVK7L08A", 2, 0x1FFF, 0x3BFF, 0xF0, 0x02, 0x0002},
    {"ZVK7L12A", 2, 0x37FF, 0x3BFF, 0xF0, 0x04, 0x0003},
    {"ZVK7L16B+", 2, 0x3FFF, 0xFBFF, 0xF1, 0x04, 0x0004},
    {"ZVK7L32B+", 2, 0x7FFF, 0xFBFF, 0xF1, 0x08, 0x0005},
    {"ZVK7L64B+", 2, 0xF7FF, 0xFBFF, 0xF1, 0x10, 0x0006},
    {"ZVK7L08D", 1, 0x1FFF, 0xFBFF, 0x52, 0x00, 0},
    {"ZVK7L16D", 1, 0x3FFF, 0xFBFF, 0x54, 0x00, 0},
    {"ZVK7L32D", 1, 0x7FFF, 0xFBFF, 0x58, 0x00, 0},
    {"ZVK7L64D", 1, 0xFBFF, 0xFFFF, 0x56, 0x00, 0},
    {"ZVK7L64T2", 1, 0xFBFF, 0xFFFF, 0x56, 0x00, 0},
    {"ZVK7H64B", 0, 0xFFFF, 0x11FFF, 0, 0, 0},
    {"ZVK7H32B", 0, 0x7FFF, 0xFFFF, 0, 0, 0},
    {"ZVK7V64B", 0, 0xFFFF, 0x11FFF, 0, 0, 0},
    {"ZVK7V32B", 0, 0x7FFF, 0xFFFF, 0, 0, 0},
    {"ZVK7H32B2", 0, 0x7FFF, 0xFFFF, 0, 0, 0},
    {"ZVK7V32B2", 0, 0x7FFF, 0xFFFF, 0, 0, 0},
    {"ZVK7H16B2", 0, 0x3FFF, 0xFFFF, 0, 0, 0},
    {"ZVK7V16B2", 0, 0x3FFF, 0xFFFF, 0, 0, 0},
    {"ZVK7H08B2", 0, 0x1FFF, 0xFFFF, 0, 0, 0},
    {"ZVK7V08B2", 0, 0x1FFF, 0xFFFF, 0, 0, 0},
};

}  // namespace

const ChipModel *find_model(const std::string &name)
{
    for (const ChipModel &m : kModels) {
        if (name == m.name)
            return &m;
    }
    return nullptr;
}

void list_models(FILE *out)
{
    for (const ChipModel &m : kModels)
        std::fprintf(out, "%s (family %d)\n", m.name, m.family);
}

}  // namespace sim

// The catalogue's records and constant blocks, made from its rows (fluids/catalogue_rows.h)
// when the add-in is compiled: a block is the row's ten scalars followed by its coefficient
// sets in the slot layout of its form, and a record is the row's texts and limits with its
// block. Both are constant-initialised: nothing runs at load.
#include "fluids/fluids.h"

namespace kaltra {
namespace {

// The ten scalars, then the coefficient sets from slot 10 on.
constexpr FluidConstants blockOf(const FluidRow& row) {
    FluidConstants k{};
    for (int i = 0; i < 10; ++i) k.slots[i] = row.constants.scalars[i];
    for (int i = 0; i < row.sets.count; ++i) k.slots[10 + i] = row.sets.values[i];
    return k;
}

constexpr bool setsFitTheirBlocks() {
    for (const FluidRow& row : kFluidRows)
        if (row.sets.count > slot::mbwrSlots - 10) return false;
    return true;
}
static_assert(setsFitTheirBlocks(), "coefficient sets overflow the block");

constexpr std::array<FluidConstants, kCatalogueSize> blocksOf() {
    std::array<FluidConstants, kCatalogueSize> blocks{};
    for (int i = 0; i < kCatalogueSize; ++i) blocks[i] = blockOf(kFluidRows[i]);
    return blocks;
}

// Writable: the first lookup of a cubic-form fluid completes its block.
constinit std::array<FluidConstants, kCatalogueSize> kBlocks = blocksOf();

constexpr std::array<RefrigerantRecord, kCatalogueSize + 1> recordsOf() {
    std::array<RefrigerantRecord, kCatalogueSize + 1> records{};
    for (int i = 0; i < kCatalogueSize; ++i) {
        const FluidRow& row = kFluidRows[i];
        records[i] = {row.name, row.formula, row.longName, row.constants.maxTemp, row.constants.maxPressure, &kBlocks[i]};
    }
    records[kCatalogueSize] = {nullptr, nullptr, nullptr, 0, 0, nullptr};
    return records;
}

}  // namespace

constinit const std::array<RefrigerantRecord, kCatalogueSize + 1> kCatalogue = recordsOf();

const FluidRow* catalogueRow(const RefrigerantRecord& record) {
    const int position = cataloguePosition(record);
    return position < 0 ? nullptr : &kFluidRows[position];
}

}  // namespace kaltra

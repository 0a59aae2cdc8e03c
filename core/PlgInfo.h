#pragma once
// The plug-in information record that KX4_GetPlgInfo fills: fourteen signed
// 32-bit fields, 56 bytes, in this order.
#include <QStringList>
#include <cstdint>

namespace kxp4 {

struct PlgInfo {
    int32_t Reserved1 = 0;
    int32_t PrevWidth = 0;  // ticket width, twips
    int32_t PrevHeight = 0; // ticket height, twips
    int32_t CanDate = 0;
    int32_t CanTime = 0;
    int32_t CanKeitoNo = 0;
    int32_t CanChimei = 0;
    int32_t CanBarcode = 0;
    int32_t BarcodeCount = 0;
    int32_t KeitoMax = 0;
    int32_t BarcodeKeitoMode = 0;
    int32_t StopRangeFrom = 0;
    int32_t StopRangeTo = 0;
    int32_t CorpSwitch = 0;
};
static_assert(sizeof(PlgInfo) == 56);

// What the options dialog lists for a plug-in: six lines, or ten when it
// prints a barcode. Only 1 counts as yes; CorpSwitch counts from 1 up.
QStringList capabilityLines(const PlgInfo &info);

} // namespace kxp4

#include "export/SurveyIdentity.h"

#include "common/ByteOrder.h"
#include "export/Sha256.h"

namespace quorl::exports {

bool IdentifySurvey(SurveyScan& scan, SurveyIdentity& identity) {
    Sha256 hash;
    const collection::Layout& layout = scan.Layout();
    hash.Update(layout.header.data(), layout.header.size());
    std::uint8_t sizes[12];
    WriteLe32(sizes, layout.pairOffset);
    WriteLe32(sizes + 4, layout.pointRecordSize);
    WriteLe32(sizes + 8, layout.apRecordSize);
    hash.Update(sizes, sizeof sizes);

    std::uint64_t groups = 0;
    std::uint8_t record[collection::kApRecordSize > collection::kPointRecordSize ? collection::kApRecordSize
                                                                                 : collection::kPointRecordSize];
    const bool ok = scan.ForEachGroup([&](const SurveyGroup& g) {
        ++groups;
        if (!IsComplete(g)) return;
        collection::EncodePoint(g.point, record);
        hash.Update(record, collection::kPointRecordSize);
        for (const auto& ap : g.aps) {
            collection::EncodeAp(ap, record);
            hash.Update(record, collection::kApRecordSize);
        }
    });
    if (!ok) return false;
    identity.sha256 = Sha256::Hex(hash.Finish());
    identity.groups = groups;
    return true;
}

}  // namespace quorl::exports

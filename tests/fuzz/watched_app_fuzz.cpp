// A record line of arbitrary bytes: splitting loses nothing, whatever splits
// is written back to the same ten fields, and a row committed from the
// editor lists exactly as the record it stored; a record of a method this
// version does not know keeps every field but its tick.
#include "dialog/app_editor.h"
#include "fuzz_check.h"
#include "settings/watched_app.h"

namespace {

std::vector<std::string> TenFields(std::vector<std::string> fields) {
    fields.resize(vl::kWatchedAppFieldCount);
    return fields;
}

bool SameColumns(const vl::AppListRow& a, const vl::AppListRow& b) {
    return a.text == b.text && a.checked == b.checked && a.subItems == b.subItems;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    const std::string record(vlfuzz::AsText(data, size));

    const std::vector<std::string> fields = vl::SplitRecord(record);
    std::string rejoined;
    for (size_t i = 0; i < fields.size(); ++i) rejoined += (i ? ";" : "") + fields[i];
    FUZZ_EXPECT(rejoined == record);
    FUZZ_EXPECT(vl::IsCompleteRecord(record) == (fields.size() >= vl::kWatchedAppFieldCount));

    const std::string written = vl::JoinRecord(fields);
    FUZZ_EXPECT(vl::IsCompleteRecord(written));
    FUZZ_EXPECT(vl::SplitRecord(written) == TenFields(fields));
    FUZZ_EXPECT(vl::JoinRecord(vl::SplitRecord(written)) == written);

    const vl::AppListRow row = vl::RowOfRecord(record, 3);
    FUZZ_EXPECT(row.key == "app3");
    FUZZ_EXPECT(SameColumns(row, vl::RowOfRecord(written, 3)));

    // The editor commits the row from its own columns, as a tick does.
    std::vector<std::string> table = {record};
    vl::AppListRow committed = row;
    vl::EditorValues values = vl::ValuesOfRow(row);
    const vl::CommitResult result = vl::CommitAppRecord(table, 1, committed, values);
    FUZZ_EXPECT(!result.error && !result.appended && table.size() == 1);
    const std::vector<std::string> stored = vl::SplitRecord(table[0]);
    FUZZ_EXPECT(SameColumns(vl::RowOfRecord(table[0], 0), committed));
    const std::vector<std::string> old = TenFields(fields);
    if (vl::KnownMethod(old[vl::kFieldMethodId])) {
        FUZZ_EXPECT(stored.size() == vl::kWatchedAppFieldCount);
        for (int kept : {vl::kFieldId, vl::kFieldName, vl::kFieldIcon, vl::kFieldDate})
            FUZZ_EXPECT(stored[kept] == old[kept]);
        FUZZ_EXPECT((stored[vl::kFieldEnabled] == "0") == (old[vl::kFieldEnabled] == "0"));
    } else {
        // Another version's record: every field as it was, but the tick
        // written as this version writes it (and a field or two added to a
        // record too short to hold one).
        std::vector<std::string> as = fields;
        if (as.size() <= vl::kFieldName) as.resize(vl::kFieldName + 1);
        as[vl::kFieldChecked] = stored[vl::kFieldChecked];
        FUZZ_EXPECT(stored == as);
    }
    FUZZ_EXPECT((stored[vl::kFieldChecked] == "1") == (old[vl::kFieldChecked] == "1"));

    // Removing by the record's own id takes exactly that record.
    std::vector<std::string> list = {"x;1", table[0], "y;2"};
    FUZZ_EXPECT(vl::RemoveRecordWithId(list, stored[vl::kFieldId], 1));
    FUZZ_EXPECT(list == (std::vector<std::string>{"x;1", "y;2"}));
    return 0;
}

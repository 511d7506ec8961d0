#include "settings/watched_app.h"

namespace vl {

std::string_view MethodCaption(int methodId) {
    switch (methodId) {
        case kMethodFileUpdate: return "Watch for file update";
        case kMethodWindow: return "Wait for window";
        case kMethodInternal: return "Internal";
        default: return {};
    }
}

std::vector<std::string> SplitRecord(std::string_view record) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t semi = record.find(';', start);
        if (semi == std::string_view::npos) {
            fields.emplace_back(record.substr(start));
            return fields;
        }
        fields.emplace_back(record.substr(start, semi - start));
        start = semi + 1;
    }
}

std::string JoinRecord(const std::vector<std::string>& fields) {
    std::string out;
    for (int i = 0; i < kWatchedAppFieldCount; ++i) {
        if (i > 0) out += ';';
        if (i < static_cast<int>(fields.size())) out += fields[i];
    }
    return out;
}

bool IsCompleteRecord(std::string_view record) {
    int semicolons = 0;
    for (char c : record) semicolons += c == ';';
    return semicolons >= kWatchedAppFieldCount - 1;
}

std::string BuiltInMailRecord(std::string_view iconPath) {
    return "-1;0;1;MAPI Client (Mail);;2;Internal;" + std::string(iconPath) + ";;";
}

AppListRow RowOfRecord(std::string_view record, int index) {
    std::vector<std::string> f = SplitRecord(record);
    f.resize(kWatchedAppFieldCount);  // a damaged record still lists, with empty columns
    AppListRow row;
    row.key = "app" + std::to_string(index);
    row.text = f[kFieldName];
    row.checked = f[kFieldChecked] == "1";
    row.subItems = {f[kFieldMethod],  f[kFieldMethodId], f[kFieldIcon], f[kFieldText],
                    f[kFieldEnabled], f[kFieldDate],     f[kFieldId]};
    return row;
}

}  // namespace vl

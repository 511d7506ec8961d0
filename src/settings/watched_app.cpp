#include "settings/watched_app.h"

#include "settings/conversions.h"

namespace vl {

namespace {

// In the order of the method numbers. A record names its method by both
// number and caption; the number decides.
constexpr std::string_view kMethodCaptions[kMethodCount] = {
    "Watch for file update", "Wait for window", "Internal", "Wait for program to end", "Watch folder for new files",
    "IMAP mail",
};

}  // namespace

std::string_view MethodCaption(int methodId) {
    return methodId >= 0 && methodId < kMethodCount ? kMethodCaptions[methodId] : std::string_view();
}

std::optional<int> KnownMethod(std::string_view methodIdText) {
    const std::optional<std::int16_t> method = ParseInt16(methodIdText);
    if (!method || MethodCaption(*method).empty()) return std::nullopt;
    return *method;
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

std::string RenamedRecord(std::string_view record, std::string_view name, bool ticked) {
    std::vector<std::string> f = SplitRecord(record);
    if (f.size() <= kFieldName) f.resize(kFieldName + 1);  // a damaged record gains only what it needs
    f[kFieldChecked] = std::string(ticked ? "1" : "0");  // a whole string: GCC 12 misreads a literal here (-Wrestrict)
    f[kFieldName] = std::string(name);
    std::string out = f.front();
    for (size_t i = 1; i < f.size(); ++i) out.append(";").append(f[i]);
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

// Reading one whole response: its words across its lines and literals, and
// the few kinds a new-mail watcher needs.
#include "watch/imap_reader.h"

#include <algorithm>

namespace vl {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllDigits(std::string_view text) { return !text.empty() && std::all_of(text.begin(), text.end(), IsDigit); }

std::string Upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

std::optional<ImapStatus> StatusOfWord(std::string_view word) {
    constexpr std::pair<std::string_view, ImapStatus> kWords[] = {{"OK", ImapStatus::kOk}, {"NO", ImapStatus::kNo},
        {"BAD", ImapStatus::kBad}, {"PREAUTH", ImapStatus::kPreauth}, {"BYE", ImapStatus::kBye}};
    for (const auto& [text, status] : kWords)
        if (Upper(word) == text) return status;
    return std::nullopt;
}

// Printable ASCII but the atom specials, "*" (untagged) and "+" (continuation).
bool IsTagChar(char c) {
    if (c <= ' ' || c >= 0x7F) return false;
    return std::string_view("(){%*\"\\+").find(c) == std::string_view::npos;
}

enum class Tok { kAtom, kString, kOpen, kClose, kEnd, kBad };

struct Token {
    Tok type;
    std::string text;
};

// The words of a response across its lines. Every line but the last ends in
// the announcement of the literal that follows it, which reads as a string.
class Tokens {
public:
    Tokens(const std::vector<std::string>& lines, const std::vector<std::string>& literals, std::size_t pos)
        : lines_(lines), literals_(literals), pos_(pos) {}

    Token Next() {
        const std::string& line = lines_[line_];
        while (pos_ < line.size() && line[pos_] == ' ') ++pos_;
        const std::size_t end = End();
        if (BeforeLiteral() && pos_ >= end) {
            Token literal{Tok::kString, literals_[line_]};
            ++line_;
            pos_ = 0;
            return literal;
        }
        if (pos_ >= end) return {Tok::kEnd, {}};
        const char first = line[pos_];
        if (first == '"') return Quoted(line, end);
        if (first == '(' || first == ')') {
            ++pos_;
            return {first == '(' ? Tok::kOpen : Tok::kClose, {}};
        }
        // An atom; a section such as BODY[HEADER.FIELDS (FROM)] is part of it.
        Token atom{Tok::kAtom, {}};
        while (pos_ < end) {
            const char c = line[pos_];
            if (c == ' ' || c == '(' || c == ')' || c == '"') break;
            const std::size_t close = c == '[' ? line.find(']', pos_) : pos_;
            if (close == std::string::npos || close >= end) return {Tok::kBad, {}};
            atom.text.append(line, pos_, close + 1 - pos_);
            pos_ = close + 1;
        }
        return atom;
    }

    // What is left of the current line, blanks before it skipped.
    std::string RestOfLine() {
        const std::string& line = lines_[line_];
        while (pos_ < line.size() && line[pos_] == ' ') ++pos_;
        return line.substr(std::min(pos_, line.size()));
    }

private:
    bool BeforeLiteral() const { return line_ + 1 < lines_.size() && line_ < literals_.size(); }

    std::size_t End() const {
        const std::string& line = lines_[line_];
        return BeforeLiteral() ? std::min(line.rfind('{'), line.size()) : line.size();
    }

    Token Quoted(const std::string& line, std::size_t end) {
        Token quoted{Tok::kString, {}};
        for (++pos_; pos_ < end;) {
            char c = line[pos_++];
            if (c == '"') return quoted;
            if (c == '\\') {
                if (pos_ >= end) break;
                c = line[pos_++];
            }
            quoted.text += c;
        }
        return {Tok::kBad, {}};
    }

    const std::vector<std::string>& lines_;
    const std::vector<std::string>& literals_;
    std::size_t line_ = 0;
    std::size_t pos_;
};

std::string ReadStatusItems(Tokens& tokens, ImapResponse& response) {
    Token mailbox = tokens.Next();
    if (mailbox.type != Tok::kAtom && mailbox.type != Tok::kString) return "STATUS without a mailbox";
    if (tokens.Next().type != Tok::kOpen) return "STATUS without its list";
    std::vector<std::pair<std::string, std::uint32_t>> items;
    for (Token name = tokens.Next(); name.type != Tok::kClose; name = tokens.Next()) {
        const Token value = tokens.Next();
        const std::optional<std::uint32_t> number =
            value.type == Tok::kAtom ? ImapNumber(value.text) : std::nullopt;
        if (name.type != Tok::kAtom || !number) return "STATUS item is not a name and a 32-bit number";
        items.emplace_back(Upper(name.text), *number);
    }
    response.mailbox = std::move(mailbox.text);
    response.statusItems = std::move(items);
    return {};
}

// Words up to the end: the atoms of CAPABILITY, the numbers of SEARCH.
std::string ReadWords(Tokens& tokens, ImapResponse& response) {
    std::vector<std::string> capabilities;
    std::vector<std::uint32_t> numbers;
    const bool search = response.name == "SEARCH";
    for (Token word = tokens.Next(); word.type != Tok::kEnd; word = tokens.Next()) {
        if (word.type != Tok::kAtom) return "broken " + response.name;
        if (!search) {
            capabilities.push_back(Upper(word.text));
        } else if (const std::optional<std::uint32_t> number = ImapNumber(word.text)) {
            numbers.push_back(*number);
        } else {
            return "SEARCH result is not a 32-bit number";
        }
    }
    response.capabilities = std::move(capabilities);
    response.numbers = std::move(numbers);
    return {};
}

// "[CODE text] human text" after a status word.
std::string ReadStatusText(std::string rest, ImapResponse& response) {
    response.text = rest;
    if (rest.empty() || rest[0] != '[') return {};
    const std::size_t close = rest.find(']');
    if (close == std::string::npos) return "response code without its ']'";
    const std::string_view inside = std::string_view(rest).substr(1, close - 1);
    const std::size_t space = inside.find(' ');
    response.code = Upper(inside.substr(0, space));
    response.codeText = space == std::string_view::npos ? "" : std::string(inside.substr(space + 1));
    response.text = rest.substr(rest.size() > close + 1 && rest[close + 1] == ' ' ? close + 2 : close + 1);
    if (response.code == "CAPABILITY") {
        std::string_view words = response.codeText;
        while (!words.empty()) {
            const std::size_t blank = words.find(' ');
            if (blank != 0) response.capabilities.push_back(Upper(words.substr(0, blank)));
            words.remove_prefix(blank == std::string_view::npos ? words.size() : blank + 1);
        }
    }
    const bool numeric = response.code == "UIDNEXT" || response.code == "UIDVALIDITY" || response.code == "UNSEEN";
    if (numeric && !ImapNumber(response.codeText)) return response.code + " is not a 32-bit number";
    return {};
}

std::string ReadUntagged(Tokens& tokens, ImapResponse& response, Token word) {
    if (AllDigits(word.text)) {
        response.number = ImapNumber(word.text);
        const Token name = tokens.Next();
        if (name.type == Tok::kAtom) response.name = Upper(name.text);
        response.text = tokens.RestOfLine();
        if (!response.number) return "message number is not a 32-bit number";
        if (response.name.empty()) return "numeric response without a name";
        return {};
    }
    response.name = Upper(word.text);
    response.text = tokens.RestOfLine();
    if (response.name == "CAPABILITY" || response.name == "SEARCH") return ReadWords(tokens, response);
    if (response.name == "STATUS") return ReadStatusItems(tokens, response);
    return {};
}

}  // namespace

ImapResponse ReadImapResponse(const std::vector<std::string>& lines, std::vector<std::string> literals) {
    ImapResponse response;
    response.literals = std::move(literals);
    if (lines.empty()) {
        response.error = "no line";
        return response;
    }
    const std::string& first = lines.front();
    if (!first.empty() && first[0] == '+') {
        response.kind = ImapKind::kContinuation;
        response.text = first.substr(first.size() > 1 && first[1] == ' ' ? 2 : 1);
        return response;
    }
    const std::size_t space = first.find(' ');
    const std::string_view tag = std::string_view(first).substr(0, space);
    if (tag == "*") {
        response.kind = ImapKind::kUntagged;
    } else if (!tag.empty() && std::all_of(tag.begin(), tag.end(), IsTagChar)) {
        response.kind = ImapKind::kTagged;
        response.tag = tag;
    } else {
        response.text = first;
        response.error = "not a response";
        return response;
    }
    Tokens tokens(lines, response.literals, space == std::string::npos ? first.size() : space + 1);
    const Token word = tokens.Next();
    const std::optional<ImapStatus> status = word.type == Tok::kAtom ? StatusOfWord(word.text) : std::nullopt;
    if (status) {
        response.status = *status;
        response.error = ReadStatusText(tokens.RestOfLine(), response);
    } else if (response.kind == ImapKind::kTagged) {
        response.text = first.substr(std::min(first.size(), tag.size() + 1));
        response.error = "tagged response without a status";
    } else if (word.type != Tok::kAtom) {
        response.text = first.substr(std::min(first.size(), tag.size() + 1));
        response.error = "untagged response without a name";
    } else {
        response.error = ReadUntagged(tokens, response, word);
    }
    return response;
}

std::optional<std::uint32_t> ImapNumber(std::string_view digits) {
    if (!AllDigits(digits)) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : digits) {
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > UINT32_MAX) return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

std::optional<std::uint32_t> ImapNumberOf(const ImapResponse& response, std::string_view what) {
    if (!response.error.empty()) return std::nullopt;
    const std::string name = Upper(what);
    if (!response.name.empty() && response.name == name) return response.number;
    if (!response.code.empty() && response.code == name) return ImapNumber(response.codeText);
    for (const auto& [item, value] : response.statusItems)
        if (item == name) return value;
    return std::nullopt;
}

}  // namespace vl

// What an IMAP server says, read from the bytes as they arrive. The mail
// worker owns the connection; this only frames and reads responses, with
// every buffer bounded, so a broken or hostile server costs a failed check,
// never memory or a crash. It reads what a new-mail watcher needs: status
// responses with their codes, EXISTS/EXPUNGE/RECENT, CAPABILITY, SEARCH and
// STATUS; any other response (a FETCH too: to a watcher it only says that a
// message changed) is handed out by name with its text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vl {

// The bounds of one reader. The defaults are far above what the worker asks
// for: a server that goes past them is answering something else, or lying.
struct ImapLimits {
    // The text of one response outside its literals, line ends not counted
    // (one line unless the response holds literals; all its lines together).
    std::size_t maxText = 8 * 1024;
    std::size_t maxLiteral = 64 * 1024;
    std::size_t maxLiterals = 16;  // in one response
    // Bytes held: fed and not yet handed out, a response being read included.
    std::size_t maxBuffered = 1024 * 1024;
};

enum class ImapKind { kTagged, kUntagged, kContinuation, kGarbage };
enum class ImapStatus { kNone, kOk, kNo, kBad, kPreauth, kBye };
enum class ImapFailure { kNone, kTextTooLong, kLiteralTooLarge, kTooManyLiterals, kBufferFull };

struct ImapResponse {
    ImapKind kind = ImapKind::kGarbage;
    std::string tag;                         // tagged responses
    ImapStatus status = ImapStatus::kNone;   // OK, NO, BAD, PREAUTH, BYE
    std::string code;                        // "UIDNEXT" of [UIDNEXT 4392], upper case
    std::string codeText;                    // "4392"
    std::string name;                        // EXISTS, FETCH, SEARCH...: upper case; empty for a status
    std::optional<std::uint32_t> number;     // 23 of "* 23 EXISTS", the message of a FETCH
    std::vector<std::string> capabilities;   // * CAPABILITY or [CAPABILITY ...], upper case
    std::vector<std::uint32_t> numbers;      // * SEARCH
    std::string mailbox;                     // * STATUS
    std::vector<std::pair<std::string, std::uint32_t>> statusItems;  // upper-case names
    std::string text;  // the rest of the first line: a status's human text, a continuation's text
    std::vector<std::string> literals;  // every literal of the response, in order
    // Why the response is garbage, or why its kind's fields are left empty
    // (a number over 32 bits, a broken list). The reader goes on after it.
    std::string error;

    bool operator==(const ImapResponse&) const = default;
};

class ImapReader {
public:
    explicit ImapReader(ImapLimits limits = {}) : limits_(limits) {}

    // Takes the bytes as they came off the connection. Past maxBuffered the
    // reader fails: hand out what it holds with Next() after every Feed().
    void Feed(std::string_view bytes);

    // The next whole response; nothing while one is still arriving, or
    // once the reader failed.
    std::optional<ImapResponse> Next();

    // Sticky: a failed reader ignores what it is fed and hands out nothing.
    bool Failed() const { return failure_ != ImapFailure::kNone; }
    ImapFailure Failure() const { return failure_; }
    std::size_t Buffered() const { return input_.size() - pos_ + held_; }

private:
    void Fail(ImapFailure why);
    bool LineEnded(std::string line);  // false when the response goes on

    ImapLimits limits_;
    ImapFailure failure_ = ImapFailure::kNone;
    std::string input_;
    std::size_t pos_ = 0;       // first byte of input_ not yet read
    std::size_t scanned_ = 0;   // bytes after pos_ known to hold no line end
    std::vector<std::string> lines_;     // of the response being read
    std::vector<std::string> literals_;
    std::size_t literalLeft_ = 0;
    std::size_t held_ = 0;      // bytes in lines_ and literals_
    std::size_t text_ = 0;      // bytes in lines_
};

// One whole response from its lines (line ends taken off; every line but the
// last ends in the announcement of the literal that follows it) and its
// literals: what ImapReader::Next() hands out.
ImapResponse ReadImapResponse(const std::vector<std::string>& lines, std::vector<std::string> literals);

// A number of the protocol: digits only, at most 2^32 - 1.
std::optional<std::uint32_t> ImapNumber(std::string_view digits);

// The number a watcher asks for ("UIDNEXT", "UIDVALIDITY", "UNSEEN",
// "EXISTS", "MESSAGES"...) wherever the response holds it: its code
// ([UIDNEXT 4392]), a STATUS item, or a numeric response (* 23 EXISTS).
// Nothing when it holds none, or not as a 32-bit number.
std::optional<std::uint32_t> ImapNumberOf(const ImapResponse& response, std::string_view what);

// `text` as a quoted string for a command ("a\"b" for a"b); nothing when
// only a literal could carry it: CR, LF, NUL or a byte over 127.
std::optional<std::string> ImapQuoted(std::string_view text);

}  // namespace vl

// A server's bytes of any kind, fed at once, a byte at a time and in pieces
// whose sizes the bytes choose: every way hands out the same responses and
// ends the same way; nothing held or handed out is past its bound; a failed
// reader stays failed; tighter bounds only end the reading sooner, never
// change a response. A text quoted for a command, or sent as a literal,
// reads back as itself.
#include <algorithm>

#include "fuzz_check.h"
#include "watch/imap_reader.h"

namespace {

struct Outcome {
    std::vector<vl::ImapResponse> responses;
    vl::ImapFailure failure = vl::ImapFailure::kNone;
    bool operator==(const Outcome&) const = default;
};

enum class Pieces { kWhole, kBytes, kChosen };

void Drain(vl::ImapReader& reader, const vl::ImapLimits& limits, Outcome& outcome) {
    const bool failed = reader.Failed();
    while (std::optional<vl::ImapResponse> response = reader.Next()) {
        FUZZ_EXPECT(!failed);
        FUZZ_EXPECT(response->text.size() <= limits.maxText);
        FUZZ_EXPECT(response->literals.size() <= limits.maxLiterals);
        for (const std::string& literal : response->literals) FUZZ_EXPECT(literal.size() <= limits.maxLiteral);
        outcome.responses.push_back(std::move(*response));
    }
    FUZZ_EXPECT(reader.Buffered() <= limits.maxBuffered);
    FUZZ_EXPECT(!reader.Failed() || reader.Buffered() == 0);
}

Outcome Read(std::string_view bytes, const vl::ImapLimits& limits, Pieces pieces) {
    vl::ImapReader reader(limits);
    Outcome outcome;
    for (size_t at = 0; at < bytes.size();) {
        size_t piece = bytes.size();
        if (pieces == Pieces::kBytes) piece = 1;
        if (pieces == Pieces::kChosen) piece = 1 + static_cast<unsigned char>(bytes[at]) % 32;
        reader.Feed(bytes.substr(at, piece));
        at += piece;
        Drain(reader, limits, outcome);
    }
    outcome.failure = reader.Failure();
    if (reader.Failed()) {
        reader.Feed("* 1 EXISTS\r\n");
        FUZZ_EXPECT(!reader.Next() && reader.Failure() == outcome.failure && reader.Buffered() == 0);
    }
    return outcome;
}

bool IsPrefix(const std::vector<vl::ImapResponse>& prefix, const std::vector<vl::ImapResponse>& of) {
    return prefix.size() <= of.size() && std::equal(prefix.begin(), prefix.end(), of.begin());
}

std::vector<vl::ImapResponse> ReadWhole(std::string_view bytes, const vl::ImapLimits& limits) {
    return Read(bytes, limits, Pieces::kWhole).responses;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    const std::string_view bytes = vlfuzz::AsText(data, size);

    const vl::ImapLimits roomy;
    const Outcome whole = Read(bytes, roomy, Pieces::kWhole);
    FUZZ_EXPECT(Read(bytes, roomy, Pieces::kBytes) == whole);

    // Bounds small enough to be reached. Drained after every piece, the
    // reader never holds near maxBuffered; fed at once it may go past it.
    const vl::ImapLimits tight{.maxText = 64, .maxLiteral = 24, .maxLiterals = 3, .maxBuffered = 256};
    const Outcome small = Read(bytes, tight, Pieces::kChosen);
    FUZZ_EXPECT(small.failure != vl::ImapFailure::kBufferFull);
    FUZZ_EXPECT(IsPrefix(small.responses, whole.responses));
    if (small.failure == vl::ImapFailure::kNone) FUZZ_EXPECT(small == whole);
    const Outcome smallWhole = Read(bytes, tight, Pieces::kWhole);
    if (size <= tight.maxBuffered)
        FUZZ_EXPECT(smallWhole == small);
    else
        FUZZ_EXPECT(smallWhole.failure == vl::ImapFailure::kBufferFull && smallWhole.responses.empty());

    // The bytes as a mailbox name: quoted where a quoted string can carry
    // them, and always as a literal.
    const vl::ImapLimits wide{.maxText = 3 * size + 64};
    const std::optional<std::string> quoted = vl::ImapQuoted(bytes);
    const bool quotable = std::none_of(bytes.begin(), bytes.end(), [](char c) {
        return c == '\0' || c == '\r' || c == '\n' || static_cast<unsigned char>(c) > 0x7F;
    });
    FUZZ_EXPECT(quoted.has_value() == quotable);
    const std::string literal = "{" + std::to_string(size) + (size % 2 ? "+}\r\n" : "}\r\n") + std::string(bytes);
    for (const std::string& mailbox : {quoted.value_or(literal), literal}) {
        const std::vector<vl::ImapResponse> read = ReadWhole("* STATUS " + mailbox + " (UIDNEXT 7)\r\n", wide);
        FUZZ_EXPECT(read.size() == 1 && read[0].error.empty() && read[0].mailbox == bytes);
        FUZZ_EXPECT(read.size() == 1 && vl::ImapNumberOf(read[0], "uidnext") == 7u);
    }
    return 0;
}

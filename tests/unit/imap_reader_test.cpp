#include "watch/imap_reader.h"

#include <gtest/gtest.h>

using namespace vl;

namespace {

// Every response the bytes hold, fed in pieces of `piece` bytes (0: at once).
std::vector<ImapResponse> ReadAll(ImapReader& reader, std::string_view bytes, size_t piece = 0) {
    if (piece == 0) piece = std::max<size_t>(bytes.size(), 1);
    std::vector<ImapResponse> responses;
    for (size_t at = 0; at < bytes.size(); at += piece) {
        reader.Feed(bytes.substr(at, piece));
        while (std::optional<ImapResponse> response = reader.Next()) responses.push_back(std::move(*response));
    }
    return responses;
}

std::vector<ImapResponse> ReadAll(std::string_view bytes, size_t piece = 0) {
    ImapReader reader;
    return ReadAll(reader, bytes, piece);
}

constexpr char kSession[] =
    "* OK [CAPABILITY IMAP4rev1 LITERAL+ IDLE AUTH=PLAIN] Dovecot ready.\r\n"
    "a1 OK [CAPABILITY IMAP4rev1 IDLE] Logged in\r\n"
    "* FLAGS (\\Answered \\Flagged \\Deleted \\Seen \\Draft)\r\n"
    "* 23 EXISTS\r\n"
    "* 3 RECENT\r\n"
    "* OK [UNSEEN 12] Message 12 is first unseen\r\n"
    "* OK [UIDVALIDITY 3857529045] UIDs valid\r\n"
    "* OK [UIDNEXT 4392] Predicted next UID\r\n"
    "a2 OK [READ-WRITE] Select completed (0.001 + 0.000 secs).\r\n"
    "+ idling\r\n"
    "* 24 EXISTS\r\n"
    "* 5 EXPUNGE\r\n"
    "a3 OK Idle completed.\r\n"
    "* SEARCH 2 84 882\r\n"
    "a4 OK Search completed.\r\n"
    "* STATUS {9+}\r\nSpam\r\nBox (MESSAGES 231 UIDNEXT 44292 UNSEEN 3)\r\n"
    "* 12 FETCH (UID 4391 BODY[HEADER.FIELDS (FROM)] {11}\r\nFrom: a\r\n\r\n FLAGS (\\Seen $Junk))\r\n"
    "* BYE Logging out\r\n";

}  // namespace

TEST(ImapTranscript, ASessionGivesTheNumbersAndListsAWatcherNeeds) {
    const std::vector<ImapResponse> r = ReadAll(kSession);
    ASSERT_EQ(r.size(), 18u);
    for (const ImapResponse& response : r) EXPECT_EQ(response.error, "") << response.text;
    EXPECT_EQ(r[0].status, ImapStatus::kOk);
    EXPECT_EQ(r[0].code, "CAPABILITY");
    EXPECT_EQ(r[0].capabilities, (std::vector<std::string>{"IMAP4REV1", "LITERAL+", "IDLE", "AUTH=PLAIN"}));
    EXPECT_EQ(r[0].text, "Dovecot ready.");
    EXPECT_EQ(r[1].kind, ImapKind::kTagged);
    EXPECT_EQ(r[1].tag, "a1");
    EXPECT_EQ(r[2].name, "FLAGS");
    EXPECT_EQ(ImapNumberOf(r[3], "exists"), 23u);
    EXPECT_EQ(ImapNumberOf(r[4], "RECENT"), 3u);
    EXPECT_EQ(ImapNumberOf(r[5], "UNSEEN"), 12u);
    EXPECT_EQ(ImapNumberOf(r[6], "UIDVALIDITY"), 3857529045u);
    EXPECT_EQ(ImapNumberOf(r[7], "UIDNEXT"), 4392u);
    EXPECT_EQ(ImapNumberOf(r[7], "UIDVALIDITY"), std::nullopt);
    EXPECT_EQ(r[8].code, "READ-WRITE");
    EXPECT_EQ(r[9].kind, ImapKind::kContinuation);
    EXPECT_EQ(r[9].text, "idling");
    EXPECT_EQ(ImapNumberOf(r[10], "EXISTS"), 24u);
    EXPECT_EQ(ImapNumberOf(r[11], "EXPUNGE"), 5u);
    EXPECT_EQ(r[13].numbers, (std::vector<std::uint32_t>{2, 84, 882}));
    EXPECT_EQ(r[15].mailbox, "Spam\r\nBox");
    EXPECT_EQ(ImapNumberOf(r[15], "MESSAGES"), 231u);
    EXPECT_EQ(ImapNumberOf(r[15], "UIDNEXT"), 44292u);
    EXPECT_EQ(ImapNumberOf(r[15], "UNSEEN"), 3u);
    EXPECT_EQ(r[16].number, 12u);
    EXPECT_EQ(r[16].name, "FETCH");
    EXPECT_EQ(r[16].literals, (std::vector<std::string>{"From: a\r\n\r\n"}));
    EXPECT_EQ(r[17].status, ImapStatus::kBye);
}

TEST(ImapTranscript, AnyPiecesGiveWhatOneFeedGives) {
    const std::vector<ImapResponse> whole = ReadAll(kSession);
    for (size_t piece : {1, 2, 3, 7, 64}) EXPECT_EQ(ReadAll(kSession, piece), whole) << piece;
    // A line cut between its CR and LF, and a literal cut in its middle.
    ImapReader reader;
    reader.Feed("* 4 EXISTS\r");
    EXPECT_EQ(reader.Next(), std::nullopt);
    reader.Feed("\n* STATUS {3}\r\nIN");
    EXPECT_EQ(ImapNumberOf(*reader.Next(), "EXISTS"), 4u);
    EXPECT_EQ(reader.Next(), std::nullopt);
    reader.Feed("X (UNSEEN 0)\n");  // a bare LF ends a line as well
    EXPECT_EQ(reader.Next()->mailbox, "INX");
}

TEST(ImapTranscript, MailboxesQuotedWithEscapes) {
    const std::vector<ImapResponse> r =
        ReadAll("* STATUS \"a \\\"b\\\" \\\\c\" (MESSAGES 1)\r\n* STATUS INBOX ()\r\n* 7 FETCH (UID 9 RFC822.SIZE 44)\r\n");
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].mailbox, "a \"b\" \\c");
    EXPECT_EQ(r[1].mailbox, "INBOX");
    EXPECT_EQ(r[1].statusItems.size(), 0u);
    EXPECT_EQ(r[2].name, "FETCH");
    EXPECT_EQ(r[2].error, "");
}

TEST(ImapBounds, TextOneByteOverTheBoundFailsAndStaysFailed) {
    const std::string fits = "* OK " + std::string(ImapLimits{}.maxText - 5, 'x');
    EXPECT_EQ(ReadAll(fits + "\r\n", 1000).size(), 1u);
    EXPECT_EQ(ReadAll(fits + "\r\n", fits.size() + 1).size(), 1u);  // the CR waits at the bound for its LF
    ImapReader reader;
    EXPECT_EQ(ReadAll(reader, fits + "y\r\n", 1000).size(), 0u);
    EXPECT_EQ(reader.Failure(), ImapFailure::kTextTooLong);
    // Failed without waiting for the line's end, and for good.
    ImapReader endless;
    EXPECT_EQ(ReadAll(endless, fits + "yz").size(), 0u);
    EXPECT_TRUE(endless.Failed());
    endless.Feed("\r\n* 1 EXISTS\r\n");
    EXPECT_EQ(endless.Next(), std::nullopt);
    EXPECT_EQ(endless.Failure(), ImapFailure::kTextTooLong);
}

TEST(ImapBounds, LiteralsBeyondTheirSizeOrCountFailBeforeTheyArrive) {
    const size_t most = ImapLimits{}.maxLiteral;
    const std::string fits = "* STATUS {" + std::to_string(most) + "}\r\n" + std::string(most, 'm') + " ()\r\n";
    EXPECT_EQ(ReadAll(fits, 4096).at(0).mailbox.size(), most);
    for (const std::string& announced : {std::to_string(most + 1), std::string("99999999999999999999999")}) {
        ImapReader reader;
        reader.Feed("* STATUS {" + announced + "}\r\n");
        EXPECT_EQ(reader.Next(), std::nullopt);
        EXPECT_EQ(reader.Failure(), ImapFailure::kLiteralTooLarge) << announced;
    }
    ImapReader many({.maxLiterals = 2});
    EXPECT_EQ(ReadAll(many, "* X {1}\r\na {0}\r\n\r\n* Y {1}\r\na {1}\r\nb {0}\r\n\r\n").size(), 1u);
    EXPECT_EQ(many.Failure(), ImapFailure::kTooManyLiterals);
}

TEST(ImapBounds, ACallerThatNeverDrainsIsRefusedAtTheBufferBound) {
    ImapReader reader({.maxBuffered = 32});
    reader.Feed(std::string(20, '*'));
    EXPECT_EQ(reader.Buffered(), 20u);
    reader.Feed(std::string(12, '*'));
    EXPECT_FALSE(reader.Failed());
    reader.Feed("*");
    EXPECT_EQ(reader.Failure(), ImapFailure::kBufferFull);
    EXPECT_EQ(reader.Buffered(), 0u);
}

TEST(ImapBounds, ANumberOver32BitsSpoilsOnlyItsOwnResponse) {
    const std::vector<ImapResponse> r = ReadAll(
        "* 4294967296 EXISTS\r\n* OK [UIDNEXT 99999999999999999999] x\r\n* SEARCH 1 4294967296\r\n"
        "* STATUS INBOX (UNSEEN 4294967296)\r\n* 4294967296 FETCH (UID 1)\r\n* 4294967295 EXISTS\r\n");
    ASSERT_EQ(r.size(), 6u);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_NE(r[i].error, "") << i;
        for (const char* what : {"EXISTS", "UIDNEXT", "UNSEEN"}) EXPECT_EQ(ImapNumberOf(r[i], what), std::nullopt);
    }
    EXPECT_TRUE(r[2].numbers.empty());
    EXPECT_EQ(ImapNumberOf(r[5], "EXISTS"), 4294967295u);
    EXPECT_EQ(ImapNumber("0004294967295"), 4294967295u);
    for (const char* bad : {"", "-1", "1 ", "+1", "0x10"}) EXPECT_EQ(ImapNumber(bad), std::nullopt) << bad;
}

TEST(ImapGarbage, UnknownAndBrokenResponsesAreHandedOutAndTheReaderGoesOn) {
    const std::vector<ImapResponse> r = ReadAll(
        "\r\n(nonsense\r\n* XYZZY 1 2\r\na5 GOODBYE\r\n* SEARCH (MODSEQ 9)\r\n* 3\r\n"
        "* OK [ALERT no end\r\n* OK [ALERT] Over quota {5}\r\n* 1 EXISTS\r\n");
    ASSERT_EQ(r.size(), 9u);
    EXPECT_EQ(r[0].kind, ImapKind::kGarbage);
    EXPECT_EQ(r[1].kind, ImapKind::kGarbage);
    EXPECT_EQ(r[2].name, "XYZZY");
    EXPECT_EQ(r[2].text, "1 2");
    EXPECT_EQ(r[2].error, "");
    for (size_t i = 3; i < 7; ++i) EXPECT_NE(r[i].error, "") << i;
    EXPECT_EQ(r[6].code, "");
    // Braces that end a status's text announce nothing.
    EXPECT_EQ(r[7].text, "Over quota {5}");
    EXPECT_EQ(ImapNumberOf(r[8], "EXISTS"), 1u);
}

TEST(ImapQuoting, EscapesQuoteAndBackslashAndRefusesWhatNeedsALiteral) {
    EXPECT_EQ(ImapQuoted("pa\"ss\\word"), "\"pa\\\"ss\\\\word\"");
    EXPECT_EQ(ImapQuoted(""), "\"\"");
    for (const std::string& bad : {std::string("a\r\nb"), std::string("a\nb"), std::string("a\0b", 3),
                                   std::string("p\xC3\xA4ss")})
        EXPECT_EQ(ImapQuoted(bad), std::nullopt);
    // What the server would read back is exactly the text.
    const std::string text = "user \"x\" \\ (y) {3}";
    EXPECT_EQ(ReadAll("* STATUS " + *ImapQuoted(text) + " (MESSAGES 1)\r\n").at(0).mailbox, text);
}

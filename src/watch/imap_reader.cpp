#include "watch/imap_reader.h"

#include <algorithm>
#include <cstdint>

namespace vl {
namespace {

// The size "{12}" or "{12+}" (the non-waiting form) at the end of a line
// announces. Too many digits read as a size no limit allows.
std::optional<std::size_t> AnnouncedLiteral(std::string_view line) {
    if (line.empty() || line.back() != '}') return std::nullopt;
    const std::size_t open = line.rfind('{');
    if (open == std::string_view::npos) return std::nullopt;
    std::string_view digits = line.substr(open + 1, line.size() - open - 2);
    if (!digits.empty() && digits.back() == '+') digits.remove_suffix(1);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
    std::size_t size = 0;
    for (char c : digits) {
        if (size > (SIZE_MAX - 9) / 10) return SIZE_MAX;
        size = size * 10 + static_cast<std::size_t>(c - '0');
    }
    return size;
}

// A continuation or a status response carries human text, which may end in
// braces; reading them as a literal would swallow the next response.
bool MayHoldLiterals(const std::string& first) {
    const ImapResponse alone = ReadImapResponse({first}, {});
    return alone.kind != ImapKind::kContinuation && alone.status == ImapStatus::kNone;
}

}  // namespace

void ImapReader::Fail(ImapFailure why) {
    *this = ImapReader(limits_);
    failure_ = why;
}

void ImapReader::Feed(std::string_view bytes) {
    if (Failed()) return;
    if (bytes.size() > limits_.maxBuffered - Buffered()) return Fail(ImapFailure::kBufferFull);
    input_.erase(0, pos_);
    pos_ = 0;
    input_.append(bytes);
}

bool ImapReader::LineEnded(std::string line) {
    std::optional<std::size_t> literal = AnnouncedLiteral(line);
    if (literal && lines_.empty() && !MayHoldLiterals(line)) literal.reset();
    text_ += line.size();
    held_ += line.size();
    lines_.push_back(std::move(line));
    if (!literal) return true;
    if (*literal > limits_.maxLiteral) {
        Fail(ImapFailure::kLiteralTooLarge);
    } else if (literals_.size() >= limits_.maxLiterals) {
        Fail(ImapFailure::kTooManyLiterals);
    } else {
        literals_.emplace_back();
        literalLeft_ = *literal;
    }
    return false;
}

std::optional<ImapResponse> ImapReader::Next() {
    while (!Failed()) {
        if (literalLeft_ > 0) {
            const std::size_t take = std::min(literalLeft_, input_.size() - pos_);
            literals_.back().append(input_, pos_, take);
            pos_ += take;
            held_ += take;
            literalLeft_ -= take;
            if (literalLeft_ > 0) return std::nullopt;
        }
        const std::size_t end = input_.find('\n', pos_ + scanned_);
        if (end == std::string::npos) {
            scanned_ = input_.size() - pos_;
            // One byte more than the bound may be the CR of the line's end.
            if (text_ + scanned_ > limits_.maxText + 1) Fail(ImapFailure::kTextTooLong);
            return std::nullopt;
        }
        // A bare LF ends a line too, as most servers' clients accept.
        std::string line = input_.substr(pos_, end - pos_);
        pos_ = end + 1;
        scanned_ = 0;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (text_ + line.size() > limits_.maxText) {
            Fail(ImapFailure::kTextTooLong);
        } else if (LineEnded(std::move(line))) {
            ImapResponse response = ReadImapResponse(lines_, std::move(literals_));
            lines_.clear();
            literals_.clear();
            held_ = text_ = 0;
            return response;
        }
    }
    return std::nullopt;
}

std::optional<std::string> ImapQuoted(std::string_view text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\0' || c == '\r' || c == '\n' || static_cast<unsigned char>(c) > 0x7F) return std::nullopt;
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

}  // namespace vl

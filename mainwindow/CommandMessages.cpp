#include "mainwindow/CommandMessages.h"

#include <array>
#include <utility>

namespace tavrino::command {

namespace {

constexpr std::array<std::pair<Request, std::string_view>, 3> kRequests{{
    {Request::Show, "show"},
    {Request::Next, "next"},
    {Request::Ping, "ping"},
}};

constexpr std::array<std::pair<Outcome, std::string_view>, 5> kOutcomes{{
    {Outcome::Done, "done"},
    {Outcome::Refused, "refused"},
    {Outcome::Busy, "busy"},
    {Outcome::Starting, "starting"},
    {Outcome::Unknown, "unknown"},
}};

// Without the blanks and the CR that a line may carry at its ends.
std::string_view Trimmed(std::string_view line) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!line.empty() && blank(line.front())) {
        line.remove_prefix(1);
    }
    while (!line.empty() && blank(line.back())) {
        line.remove_suffix(1);
    }
    return line;
}

// One line of text: control characters that would break or hide it become blanks.
std::string OneLine(std::string_view text) {
    std::string line;
    for (const char c : text) {
        line += (c == '\r' || c == '\n' || c == '\t' || c == '\0') ? ' ' : c;
    }
    return std::string(Trimmed(line));
}

}  // namespace

std::optional<Request> ParseRequest(std::string_view line) {
    if (line.size() > kMaxLine) {
        return std::nullopt;
    }
    line = Trimmed(line);
    for (const auto& [request, word] : kRequests) {
        if (line == word) {
            return request;
        }
    }
    return std::nullopt;
}

std::string RequestLine(Request request) {
    for (const auto& [known, word] : kRequests) {
        if (known == request) {
            return std::string(word);
        }
    }
    return {};
}

std::string ReplyLine(const Reply& reply) {
    std::string line;
    for (const auto& [outcome, word] : kOutcomes) {
        if (outcome == reply.outcome) {
            line = word;
        }
    }
    const std::string reason = OneLine(reply.reason);
    if (!reason.empty()) {
        line += ' ';
        line += reason.substr(0, kMaxLine - line.size());
    }
    return line;
}

std::optional<Reply> ParseReply(std::string_view line) {
    if (line.size() > kMaxLine) {
        return std::nullopt;
    }
    line = Trimmed(line);
    const std::size_t blank = line.find(' ');
    const std::string_view word = line.substr(0, blank);
    for (const auto& [outcome, known] : kOutcomes) {
        if (word == known) {
            Reply reply{outcome, {}};
            if (blank != std::string_view::npos) {
                reply.reason = OneLine(line.substr(blank + 1));
            }
            return reply;
        }
    }
    return std::nullopt;
}

}  // namespace tavrino::command

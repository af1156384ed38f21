// The lines a launch with "--next" or "--show" exchanges with the running copy over its command
// channel: one request line, one reply line. Both ends parse what the other sent, so each reads
// any bytes without trusting them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tavrino::command {

// The longest line either end reads; anything longer is not one of ours.
inline constexpr std::size_t kMaxLine = 1024;

enum class Request { Show, Next, Ping };

// The request in a received line (without its line end); nullopt for anything else.
[[nodiscard]] std::optional<Request> ParseRequest(std::string_view line);
[[nodiscard]] std::string RequestLine(Request request);

enum class Outcome {
    Done,      // the window came back, or the wallpaper was changed
    Refused,   // the wallpaper was not changed; reason says why, as the window shows it
    Busy,      // a message box waits for the user; reason names it
    Starting,  // the main window is not up yet
    Unknown,   // the request was not understood
};

struct Reply {
    Outcome outcome = Outcome::Unknown;
    std::string reason;  // one line of text, may be empty
    bool operator==(const Reply&) const = default;
};

// The line for reply: its outcome's word, then a blank and the reason (line breaks become
// blanks, cut to fit kMaxLine).
[[nodiscard]] std::string ReplyLine(const Reply& reply);
// The reply in a received line (without its line end); nullopt when it is none of ours.
[[nodiscard]] std::optional<Reply> ParseReply(std::string_view line);

}  // namespace tavrino::command

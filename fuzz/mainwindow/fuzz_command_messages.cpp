// Any bytes as a request or reply line of the command channel: never a crash, and every reply
// that is understood is written back as a line that reads the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "mainwindow/CommandMessages.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavrino::command;
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    if (const auto request = ParseRequest(line)) {
        if (ParseRequest(RequestLine(*request)) != request) {
            std::abort();
        }
    }
    if (const auto reply = ParseReply(line)) {
        const std::string written = ReplyLine(*reply);
        if (written.size() > kMaxLine || ParseReply(written) != reply) {
            std::abort();
        }
    }
    return 0;
}

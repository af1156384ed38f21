// tavrino-wallpaper-decoder: decodes one picture for the program and ends. Started by the
// program with a job on its command line (see DecodeJobs.h), the bitmap's file as descriptor 3,
// or ahead of its job with "--await-job" and then handed it on its standard input; answers on
// its standard output with "B" (bitmap written), "P" and the preview's pixels, or "E", an error
// number and its description. It opens its files, shuts itself in, then decodes.
#include <malloc.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>
#include <QImage>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "support/errors/Errors.h"
#include "wallpaper/decode/DecodeJobs.h"
#include "wallpaper/decode/DecoderProcess.h"
#include "wallpaper/decode/DecoderSandbox.h"

namespace {

bool WriteAll(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t done = ::write(STDOUT_FILENO, data, size);
        if (done < 0) {
            return false;
        }
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

// The tests' way to prove what the program does when a decoder fails (see DecoderProcess.h).
void FaultForTests() {
    const char* fault = std::getenv(tavrino::kDecoderFaultVariable);
    if (fault == nullptr) {
        return;
    }
    if (std::strcmp(fault, "crash") == 0) {
        int* volatile nowhere = nullptr;
        *nowhere = 1;
    } else if (std::strcmp(fault, "hang") == 0) {
        for (;;) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
    } else if (std::strcmp(fault, "memory") == 0) {
        void* volatile hog = std::malloc(std::size_t{2} << 30U);
        if (hog == nullptr) {
            throw std::bad_alloc();
        }
        std::free(hog);
    }
}

// What a helper started ahead of its job is handed: the job as one message (JobMessage), and
// for a bitmap the program's temporary file beside it.
struct HandedJob {
    std::string message;
    int out = -1;
};

// While it waits, the spare makes ready the memory a job will use. A page of fresh memory
// costs the decoder a fault the first time it is touched, and a large picture's preview
// touches several hundred: taken from the heap made ready here, they cost nothing then. One
// heap for every thread, big blocks from it too, none of it given back before the helper ends.
void PrepareMemory() {
    constexpr std::size_t kReady = std::size_t{4} << 20U;
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 128 << 20);
    void* ready = std::malloc(kReady);
    if (ready != nullptr) {
        std::memset(ready, 0, kReady);
        std::free(ready);
    }
}

// Reads the standard input, a socket, to its end (the program shuts its side once the job is
// sent). Nothing at all: the program has gone or no longer needs this helper.
std::optional<HandedJob> AwaitJob() {
    HandedJob job;
    char buffer[4096];
    for (;;) {
        iovec part{buffer, sizeof buffer};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
        msghdr header{};
        header.msg_iov = &part;
        header.msg_iovlen = 1;
        header.msg_control = control;
        header.msg_controllen = sizeof control;
        const ssize_t got = ::recvmsg(STDIN_FILENO, &header, MSG_CMSG_CLOEXEC);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        for (cmsghdr* c = CMSG_FIRSTHDR(&header); c != nullptr; c = CMSG_NXTHDR(&header, c)) {
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_RIGHTS &&
                c->cmsg_len == CMSG_LEN(sizeof(int))) {
                int fd = -1;
                std::memcpy(&fd, CMSG_DATA(c), sizeof fd);
                if (job.out < 0) {
                    job.out = fd;
                } else {
                    ::close(fd);  // one file a job
                }
            }
        }
        if (got <= 0) {
            break;
        }
        job.message.append(buffer, static_cast<std::size_t>(got));
        if (job.message.size() > tavrino::kMaxJobMessage) {
            break;  // refused as no job; the rest is not read
        }
    }
    if (job.message.empty() && job.out < 0) {
        return std::nullopt;
    }
    return job;
}

}  // namespace

int main(int argc, char** argv) {
    std::string answer;
    QImage picture;
    try {
        tavrino::LimitDecoder();
        std::vector<std::string> words(argv + 1, argv + argc);
        int outHandle = 3;  // the program's temporary bitmap file, which it puts in place itself
        if (words.size() == 1 && words[0] == tavrino::kAwaitJobSwitch) {
            PrepareMemory();
            const std::optional<HandedJob> handed = AwaitJob();
            if (!handed) {
                return 0;
            }
            words = tavrino::WordsFromMessage(handed->message);
            outHandle = handed->out;
        }
        const auto job = tavrino::JobFromWords(words);
        const auto sealed = [] {
            tavrino::SealDecoder();
            FaultForTests();
        };
        if (const auto* bitmap = std::get_if<tavrino::BitmapJob>(&job)) {
            QFile out;
            if (!out.open(outHandle, QIODevice::WriteOnly, QFileDevice::DontCloseHandle)) {
                throw tavrino::Error(tavrino::errnum::PathFileAccessError);
            }
            tavrino::RunBitmapJob(*bitmap, out, sealed);
            if (!out.flush()) {
                throw tavrino::Error(
                    tavrino::errnum::PathFileAccessError,
                    std::string(tavrino::DefaultDescription(tavrino::errnum::PathFileAccessError)) +
                        " (" + bitmap->bitmapPath.toStdString() + ": " +
                        out.errorString().toStdString() + ")");
            }
            answer = "B\n";
        } else {
            const tavrino::DecodedPicture decoded =
                tavrino::RunPreviewJob(std::get<tavrino::PreviewJob>(job), sealed);
            picture = decoded.image;
            if (picture.bytesPerLine() != picture.width() * 4) {
                throw tavrino::Error(tavrino::errnum::InvalidPicture);
            }
            answer = "P " + std::to_string(decoded.natural.width()) + " " +
                     std::to_string(decoded.natural.height()) + " " +
                     std::to_string(picture.width()) + " " + std::to_string(picture.height()) +
                     " " + std::to_string(static_cast<int>(picture.format())) + "\n";
        }
    } catch (...) {
        const tavrino::ErrorInfo error = tavrino::DescribeException(std::current_exception());
        answer = "E " + std::to_string(error.number) + "\n" + error.description;
        picture = QImage();
    }
    const bool written = WriteAll(answer.data(), answer.size()) &&
                         WriteAll(reinterpret_cast<const char*>(picture.constBits()),
                                  static_cast<std::size_t>(picture.sizeInBytes()));
    // Straight out: the answer is written, and the libraries' clean-up at exit would only keep
    // the program waiting for this process to end.
    ::_exit(written ? 0 : 1);
}

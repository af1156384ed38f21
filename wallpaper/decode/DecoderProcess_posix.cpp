#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QSaveFile>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/errors/Errors.h"
#include "wallpaper/decode/DecoderProcess.h"

namespace tavrino {

namespace {

std::chrono::milliseconds g_timeout{30000};

[[noreturn]] void ThrowUndecoded(const std::string& why) {
    throw Error(errnum::InvalidPicture, "the picture could not be decoded: " + why);
}

// Beside the program (a build tree), where the package installs it, or, in builds with tests
// or benchmarks, where this build made it.
std::string HelperPath() {
    std::vector<QString> candidates;
    if (QCoreApplication::instance() != nullptr) {
        const QString folder = QCoreApplication::applicationDirPath();
        candidates.push_back(folder + QLatin1Char('/') + QLatin1String(kDecoderHelperName));
        candidates.push_back(QDir::cleanPath(folder +
                                             QStringLiteral("/" TAVRINO_DECODER_FROM_BIN "/") +
                                             QLatin1String(kDecoderHelperName)));
    }
    if (const QString built = QStringLiteral(TAVRINO_DECODER_BUILT); !built.isEmpty()) {
        candidates.push_back(built);
    }
    for (const QString& candidate : candidates) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable()) {
            return QFile::encodeName(candidate).toStdString();
        }
    }
    ThrowUndecoded("the decoder " + std::string(kDecoderHelperName) + " was not found");
}

struct Outcome {
    std::string answer;
    int status = 0;
    bool timedOut = false;
};

class Pipe {
public:
    Pipe() {
        if (::pipe2(fds_, O_CLOEXEC) != 0) {
            throw Error(NumberForErrno(errno), std::strerror(errno));
        }
    }
    ~Pipe() {
        Close(0);
        Close(1);
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    [[nodiscard]] int Read() const { return fds_[0]; }
    [[nodiscard]] int Write() const { return fds_[1]; }
    void Close(int end) {
        if (fds_[end] >= 0) {
            ::close(fds_[end]);
            fds_[end] = -1;
        }
    }

private:
    int fds_[2] = {-1, -1};
};

// Starts the helper on words and collects what it writes until it ends or the time is up.
// out, when given, is the helper's descriptor 3.
Outcome Run(const std::vector<std::string>& words, std::size_t maxAnswer, int out = -1) {
    const std::string path = HelperPath();
    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (const std::string& word : words) {
        argv.push_back(const_cast<char*>(word.c_str()));
    }
    argv.push_back(nullptr);
    // Nothing of the program's environment, apart from the tests' fault switch.
    std::vector<std::string> environment;
    if (const char* fault = std::getenv(kDecoderFaultVariable)) {
        environment.push_back(std::string(kDecoderFaultVariable) + "=" + fault);
    }
    std::vector<char*> envp;
    for (std::string& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    Pipe pipe;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipe.Write(), 1);
    if (out >= 0) {
        posix_spawn_file_actions_adddup2(&actions, out, 3);
    }
    pid_t pid = 0;
    const int started =
        posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    pipe.Close(1);
    if (started != 0) {
        ThrowUndecoded("the decoder could not be started (" + std::string(std::strerror(started)) +
                       ")");
    }

    Outcome outcome;
    const auto deadline = std::chrono::steady_clock::now() + g_timeout;
    char buffer[65536];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            outcome.timedOut = true;
            break;
        }
        pollfd wait{pipe.Read(), POLLIN, 0};
        const int ready = ::poll(&wait, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            outcome.timedOut = ready == 0;
            break;
        }
        const ssize_t got = ::read(pipe.Read(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        outcome.answer.append(buffer, static_cast<std::size_t>(got));
        if (outcome.answer.size() > maxAnswer) {
            outcome.answer.clear();  // no answer of ours is that long
            ::kill(pid, SIGKILL);
            break;
        }
    }
    if (outcome.timedOut) {
        ::kill(pid, SIGKILL);
    }
    pipe.Close(0);
    while (::waitpid(pid, &outcome.status, 0) < 0 && errno == EINTR) {
    }
    return outcome;
}

// The answer's first line, and the bytes after it.
struct Answer {
    std::istringstream head;
    std::string body;
};

std::optional<Answer> Split(const std::string& answer) {
    const std::size_t end = answer.find('\n');
    if (end == std::string::npos) {
        return std::nullopt;
    }
    Answer split;
    split.head.str(answer.substr(0, end));
    split.body = answer.substr(end + 1);
    return split;
}

// Throws the helper's own error, or says why there is no answer; returns the answer of kind.
Answer Expect(const Outcome& outcome, char kind) {
    if (outcome.timedOut) {
        std::ostringstream seconds;
        seconds << std::chrono::duration<double>(g_timeout).count();
        ThrowUndecoded("the decoder took longer than " + seconds.str() + " s and was stopped");
    }
    if (WIFSIGNALED(outcome.status)) {
        ThrowUndecoded("the decoder stopped (signal " + std::to_string(WTERMSIG(outcome.status)) +
                       ")");
    }
    std::optional<Answer> answer = Split(outcome.answer);
    std::string word;
    if (answer && answer->head >> word && word.size() == 1) {
        if (word[0] == 'E') {
            std::int32_t number = 0;
            if (answer->head >> number && number != 0) {
                throw Error(number, answer->body);
            }
        } else if (word[0] == kind) {
            return std::move(*answer);
        }
    }
    if (WIFEXITED(outcome.status) && WEXITSTATUS(outcome.status) != 0) {
        ThrowUndecoded("the decoder stopped (exit code " +
                       std::to_string(WEXITSTATUS(outcome.status)) + ")");
    }
    ThrowUndecoded("the decoder gave no answer");
}

}  // namespace

// The helper writes into the temporary file opened here, and only this process puts it in
// place: the helper needs no file-system access of its own, and whatever becomes of it, an
// unfinished bitmap is discarded and the previous one stays whole.
void ComposeBitmapFile(const BitmapJob& job) {
    QSaveFile bitmap(job.bitmapPath);
    OpenBitmapFile(bitmap);
    Expect(Run(JobWords(job), 4096, bitmap.handle()), 'B');
    CommitBitmapFile(bitmap);
}

DecodedPicture DecodePreview(const PreviewJob& job) {
    const auto limit = static_cast<std::size_t>(job.limits.maxBytes) + 4096;
    Answer answer = Expect(Run(JobWords(job), limit), 'P');
    int naturalWidth = 0;
    int naturalHeight = 0;
    int width = 0;
    int height = 0;
    int format = 0;
    answer.head >> naturalWidth >> naturalHeight >> width >> height >> format;
    const bool known =
        format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied;
    if (!answer.head || !known || width <= 0 || height <= 0 || naturalWidth <= 0 ||
        naturalHeight <= 0 ||
        answer.body.size() !=
            std::size_t{4} * static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        ThrowUndecoded("the decoder gave no picture");
    }
    QImage image(width, height, static_cast<QImage::Format>(format));
    if (image.isNull()) {
        throw Error(errnum::OutOfMemory);
    }
    const auto rowBytes = static_cast<std::size_t>(width) * 4;
    for (int row = 0; row < height; ++row) {
        std::memcpy(image.scanLine(row),
                    answer.body.data() + rowBytes * static_cast<std::size_t>(row), rowBytes);
    }
    return {image, QSize(naturalWidth, naturalHeight)};
}

void SetDecoderTimeout(std::chrono::milliseconds timeout) {
    g_timeout = timeout;
}

}  // namespace tavrino

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPointer>
#include <QSaveFile>
#include <QThread>
#include <QTimer>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
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

// One descriptor of ours, closed with its owner.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() { Close(); }
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            Close();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    [[nodiscard]] int Get() const { return fd_; }
    void Close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

private:
    int fd_ = -1;
};

// A helper started with "--await-job": it has its limits and waits for a job on socket. One
// still running when it is let go is stopped, so that none is left behind.
struct Helper {
    Helper() = default;
    Helper(Helper&& other) noexcept
        : pid(std::exchange(other.pid, -1)),
          parent(other.parent),
          socket(std::move(other.socket)),
          answer(std::move(other.answer)),
          fault(std::move(other.fault)) {}
    Helper& operator=(Helper&&) = delete;
    Helper(const Helper&) = delete;
    Helper& operator=(const Helper&) = delete;
    ~Helper() {
        if (pid > 0 && parent == ::getpid()) {  // not in a copy of this process
            ::kill(pid, SIGKILL);
            Wait();
        }
    }
    // Its status, once it has ended.
    int Wait() {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        pid = -1;
        return status;
    }

    pid_t pid = -1;
    pid_t parent = -1;
    Descriptor socket;                 // our end of its standard input
    Descriptor answer;                 // the read end of its standard output
    std::optional<std::string> fault;  // the tests' switch it was started with
};

std::optional<std::string> FaultSwitch() {
    const char* fault = std::getenv(kDecoderFaultVariable);
    return fault != nullptr ? std::optional<std::string>(fault) : std::nullopt;
}

[[noreturn]] void ThrowErrno() {
    throw Error(NumberForErrno(errno), std::strerror(errno));
}

Helper StartHelper() {
    const std::string path = HelperPath();
    std::string await = kAwaitJobSwitch;
    char* argv[] = {const_cast<char*>(path.c_str()), await.data(), nullptr};
    // Nothing of the program's environment, apart from the tests' fault switch.
    Helper helper;
    helper.fault = FaultSwitch();
    std::string fault;
    std::vector<char*> envp;
    if (helper.fault) {
        fault = std::string(kDecoderFaultVariable) + "=" + *helper.fault;
        envp.push_back(fault.data());
    }
    envp.push_back(nullptr);

    int pair[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        ThrowErrno();
    }
    helper.socket = Descriptor(pair[0]);
    const Descriptor input(pair[1]);
    int pipe[2] = {-1, -1};
    if (::pipe2(pipe, O_CLOEXEC) != 0) {
        ThrowErrno();
    }
    helper.answer = Descriptor(pipe[0]);
    const Descriptor output(pipe[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input.Get(), 0);
    posix_spawn_file_actions_adddup2(&actions, output.Get(), 1);
    pid_t pid = -1;
    const int started = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) {
        ThrowUndecoded("the decoder could not be started (" + std::string(std::strerror(started)) +
                       ")");
    }
    helper.pid = pid;
    helper.parent = ::getpid();
    return helper;
}

// The helper that waits for the next job, stopped when it has waited too long and at exit.
struct Spare {
    std::optional<Helper> helper;
    std::chrono::milliseconds idle{60000};
    QPointer<QTimer> timer;

    // Only where an event loop may run: elsewhere the spare lives as long as this process.
    void Arm() {
        QCoreApplication* app = QCoreApplication::instance();
        if (app == nullptr || QThread::currentThread() != app->thread()) {
            return;
        }
        if (timer.isNull()) {
            timer = new QTimer(app);
            timer->setSingleShot(true);
            QObject::connect(timer, &QTimer::timeout, timer, [this] { helper.reset(); });
        }
        timer->start(idle);
    }
};

Spare g_spare;

// The spare, when it was started with the same fault switch, or else a helper started now.
Helper TakeHelper() {
    if (g_spare.helper && g_spare.helper->fault != FaultSwitch()) {
        g_spare.helper.reset();
    }
    if (!g_spare.helper) {
        return StartHelper();
    }
    Helper helper = std::move(*g_spare.helper);
    g_spare.helper.reset();
    return helper;
}

// A failure shows with the next job, which starts its helper itself.
void KeepSpare() noexcept {
    if (g_spare.helper) {
        return;
    }
    try {
        g_spare.helper.emplace(StartHelper());
        g_spare.Arm();
    } catch (...) {
    }
}

// Hands the message (at most kMaxJobMessage bytes, which the socket takes at once) and out,
// when given, to the helper, then ends the stream. False when the helper has gone.
bool Send(const Helper& helper, const std::string& message, int out) {
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    std::size_t done = 0;
    while (done < message.size()) {
        iovec part{const_cast<char*>(message.data() + done), message.size() - done};
        msghdr header{};
        header.msg_iov = &part;
        header.msg_iovlen = 1;
        if (out >= 0 && done == 0) {
            header.msg_control = control;
            header.msg_controllen = sizeof control;
            cmsghdr* file = CMSG_FIRSTHDR(&header);
            file->cmsg_level = SOL_SOCKET;
            file->cmsg_type = SCM_RIGHTS;
            file->cmsg_len = CMSG_LEN(sizeof(int));
            std::memcpy(CMSG_DATA(file), &out, sizeof out);
        }
        const ssize_t sent = ::sendmsg(helper.socket.Get(), &header, MSG_NOSIGNAL);
        if (sent < 0 && errno != EINTR) {
            return false;
        }
        done += sent > 0 ? static_cast<std::size_t>(sent) : 0;
    }
    return ::shutdown(helper.socket.Get(), SHUT_WR) == 0;
}

// A helper that ended with the job still unread had not begun it (it was killed while it
// waited): the system reports that to our end of the socket as a reset connection.
bool Unread(const Helper& helper) {
    char byte = 0;
    return ::recv(helper.socket.Get(), &byte, 1, MSG_PEEK | MSG_DONTWAIT) < 0 &&
           errno == ECONNRESET;
}

// Collects what the helper writes until it ends or the time is up.
Outcome Collect(Helper& helper, std::size_t maxAnswer) {
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
        pollfd wait{helper.answer.Get(), POLLIN, 0};
        const int ready = ::poll(&wait, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            outcome.timedOut = ready == 0;
            break;
        }
        const ssize_t got = ::read(helper.answer.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        outcome.answer.append(buffer, static_cast<std::size_t>(got));
        if (outcome.answer.size() > maxAnswer) {
            outcome.answer.clear();  // no answer of ours is that long
            ::kill(helper.pid, SIGKILL);
            break;
        }
    }
    if (outcome.timedOut) {
        ::kill(helper.pid, SIGKILL);
    }
    helper.answer.Close();
    outcome.status = helper.Wait();
    return outcome;
}

// Hands words to the spare helper and collects its answer; out, when given, is the file it
// writes into. A spare that died before it took the job is replaced once, by a helper started
// now. A job that found a spare waiting leaves the next one, whatever became of it: clicks
// through the list follow each other. One that had to start its own helper leaves none (a
// change of wallpaper minutes after the last has nothing to follow it soon).
Outcome Run(const std::vector<std::string>& words, std::size_t maxAnswer, int out = -1) {
    const std::string message = JobMessage(words);
    const bool followed = g_spare.helper && g_spare.helper->fault == FaultSwitch();
    for (bool fresh = false;; fresh = true) {
        Helper helper = TakeHelper();
        const bool sent = Send(helper, message, out);
        if (!sent) {
            helper.socket.Close();  // one that still waits ends at once
        }
        Outcome outcome = Collect(helper, maxAnswer);
        if (!fresh && !outcome.timedOut && outcome.answer.empty() && (!sent || Unread(helper))) {
            continue;
        }
        if (followed) {
            KeepSpare();
        }
        return outcome;
    }
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

void PrepareDecoder() {
    KeepSpare();
}

void SetDecoderIdleTime(std::chrono::milliseconds idle) {
    g_spare.idle = idle;
}

}  // namespace tavrino

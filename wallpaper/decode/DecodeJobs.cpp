#include "wallpaper/decode/DecodeJobs.h"

#include <QFile>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>
#include <system_error>

#include "support/errors/Errors.h"

namespace tavrino {

namespace {

int Pixels(float twips, float twipsPerPixel) {
    return static_cast<int>(RoundHalfEven(static_cast<double>(twips) / twipsPerPixel));
}

template <class Number>
std::string Word(Number value) {
    char text[64];
    std::to_chars_result done{};
    if constexpr (std::is_floating_point_v<Number>) {
        done = std::to_chars(std::begin(text), std::end(text), value, std::chars_format::hex);
    } else {
        done = std::to_chars(std::begin(text), std::end(text), value);
    }
    return std::string(text, done.ptr);
}

[[noreturn]] void ThrowNoJob() {
    throw Error(errnum::InvalidProcedureCall,
                std::string(DefaultDescription(errnum::InvalidProcedureCall)) +
                    " (the decoder was given no job it knows)");
}

// Reads the words of a job in the order they were written.
class Words {
public:
    explicit Words(const std::vector<std::string>& words) : words_(words) {}

    const std::string& Text() {
        if (next_ >= words_.size()) {
            ThrowNoJob();
        }
        return words_[next_++];
    }
    template <class Number>
    Number Read() {
        const std::string& text = Text();
        Number value{};
        std::from_chars_result done{};
        if constexpr (std::is_floating_point_v<Number>) {
            done = std::from_chars(text.data(), text.data() + text.size(), value,
                                   std::chars_format::hex);
        } else {
            done = std::from_chars(text.data(), text.data() + text.size(), value);
        }
        if (done.ec != std::errc() || done.ptr != text.data() + text.size()) {
            ThrowNoJob();
        }
        return value;
    }
    void End() const {
        if (next_ != words_.size()) {
            ThrowNoJob();
        }
    }

private:
    const std::vector<std::string>& words_;
    std::size_t next_ = 0;
};

void Put(std::vector<std::string>& words, const ScreenMetrics& screen, FitChoice fit) {
    for (const float value :
         {screen.WidthTwips, screen.HeightTwips, screen.TwipsPerPixelX, screen.TwipsPerPixelY}) {
        words.push_back(Word(value));
    }
    words.push_back(Word(int{fit.stretch}));
    words.push_back(Word(int{fit.keepAspect}));
}

void Get(Words& words, ScreenMetrics& screen, FitChoice& fit) {
    screen.WidthTwips = words.Read<float>();
    screen.HeightTwips = words.Read<float>();
    screen.TwipsPerPixelX = words.Read<float>();
    screen.TwipsPerPixelY = words.Read<float>();
    fit.stretch = words.Read<int>() != 0;
    fit.keepAspect = words.Read<int>() != 0;
}

void Put(std::vector<std::string>& words, const DecodeLimits& limits) {
    words.push_back(Word(limits.maxSide));
    words.push_back(Word(limits.maxBytes));
}

void Get(Words& words, DecodeLimits& limits) {
    limits.maxSide = words.Read<int>();
    limits.maxBytes = words.Read<qint64>();
}

void Opened(QFile& file, const std::string& picture, const std::function<void()>& sealed) {
    OpenImageFile(picture, file);
    if (sealed) {
        sealed();
    }
}

}  // namespace

QRect PreviewPixelRect(const ImageBox& box, const ScreenMetrics& screen) {
    return {Pixels(box.Left, screen.TwipsPerPixelX), Pixels(box.Top, screen.TwipsPerPixelY),
            std::max(1, Pixels(box.Width, screen.TwipsPerPixelX)),
            std::max(1, Pixels(box.Height, screen.TwipsPerPixelY))};
}

PreviewPlacement PlacePreview(const PreviewJob& job, QSize natural) {
    const ScreenMetrics& screen = job.screen;
    const auto naturalWidth = static_cast<float>(natural.width() * double{screen.TwipsPerPixelX});
    const auto naturalHeight = static_cast<float>(natural.height() * double{screen.TwipsPerPixelY});
    PreviewPlacement placement;
    placement.box = FitImageBox(naturalWidth, naturalHeight, job.targetWidth, job.targetHeight,
                                screen, job.fit.stretch, job.fit.keepAspect);
    placement.rect = PreviewPixelRect(placement.box, screen);
    // No larger than the label shows it (in device pixels), nor than the picture is: the
    // label scales it to its size anyway.
    const QSize shown = (QSizeF(placement.rect.size()) * job.pixelRatio).toSize();
    placement.decoded = QSize(std::clamp(shown.width(), 1, natural.width()),
                              std::clamp(shown.height(), 1, natural.height()));
    return placement;
}

void RunBitmapJob(const BitmapJob& job, QIODevice& out, const std::function<void()>& sealed) {
    QFile picture;
    Opened(picture, job.picture, sealed);
    const QImage image =
        ComposeBitmapImage(picture, job.screen, job.fit, job.background, job.limits);
    WriteBitmapData(image, out, job.bitmapPath);
}

DecodedPicture RunPreviewJob(const PreviewJob& job, const std::function<void()>& sealed) {
    QFile picture;
    Opened(picture, job.picture, sealed);
    return DecodePicture(
        picture, [&job](QSize natural) { return PlacePreview(job, natural).decoded; }, job.limits);
}

std::vector<std::string> JobWords(const BitmapJob& job) {
    std::vector<std::string> words{"bitmap", job.picture, job.bitmapPath.toStdString()};
    Put(words, job.screen, job.fit);
    words.push_back(Word(job.background.rgba()));
    Put(words, job.limits);
    return words;
}

std::vector<std::string> JobWords(const PreviewJob& job) {
    std::vector<std::string> words{"preview", job.picture};
    Put(words, job.screen, job.fit);
    words.push_back(Word(job.targetWidth));
    words.push_back(Word(job.targetHeight));
    words.push_back(Word(job.pixelRatio));
    Put(words, job.limits);
    return words;
}

std::variant<BitmapJob, PreviewJob> JobFromWords(const std::vector<std::string>& list) {
    Words words(list);
    const std::string kind = words.Text();
    if (kind == "bitmap") {
        BitmapJob job;
        job.picture = words.Text();
        job.bitmapPath = QString::fromStdString(words.Text());
        Get(words, job.screen, job.fit);
        job.background = QColor::fromRgba(words.Read<QRgb>());
        Get(words, job.limits);
        words.End();
        return job;
    }
    if (kind == "preview") {
        PreviewJob job;
        job.picture = words.Text();
        Get(words, job.screen, job.fit);
        job.targetWidth = words.Read<float>();
        job.targetHeight = words.Read<float>();
        job.pixelRatio = words.Read<double>();
        Get(words, job.limits);
        words.End();
        return job;
    }
    ThrowNoJob();
}

std::string JobMessage(const std::vector<std::string>& words) {
    std::string message;
    for (const std::string& word : words) {
        if (word.find('\0') != std::string::npos) {
            ThrowNoJob();
        }
        message += word;
        message += '\0';
    }
    if (message.size() > kMaxJobMessage) {
        ThrowNoJob();
    }
    return message;
}

std::vector<std::string> WordsFromMessage(std::string_view message) {
    if (message.size() > kMaxJobMessage || (!message.empty() && message.back() != '\0')) {
        ThrowNoJob();
    }
    std::vector<std::string> words;
    for (std::size_t start = 0; start < message.size();) {
        const std::size_t end = message.find('\0', start);
        words.emplace_back(message.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

}  // namespace tavrino

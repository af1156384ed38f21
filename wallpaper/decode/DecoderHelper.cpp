// tavrino-wallpaper-decoder: decodes one picture for the program and ends. Started by the
// program with a job on its command line (see DecodeJobs.h); answers on its standard output
// with "B" (bitmap written), "P" and the preview's pixels, or "E", an error number and its
// description. It opens its files, shuts itself in, then decodes.
#include <unistd.h>

#include <QFile>
#include <QImage>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
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

}  // namespace

int main(int argc, char** argv) {
    std::string answer;
    QImage picture;
    try {
        tavrino::LimitDecoder();
        const auto job = tavrino::JobFromWords(std::vector<std::string>(argv + 1, argv + argc));
        const auto sealed = [] {
            tavrino::SealDecoder();
            FaultForTests();
        };
        if (const auto* bitmap = std::get_if<tavrino::BitmapJob>(&job)) {
            // The program's temporary bitmap file, which it puts in place itself.
            QFile out;
            if (!out.open(3, QIODevice::WriteOnly, QFileDevice::DontCloseHandle)) {
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
    return written ? 0 : 1;
}

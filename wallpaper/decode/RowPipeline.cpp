#include "wallpaper/decode/RowPipeline.h"

#include "wallpaper/decode/Resample.h"

namespace tavrino {

RowPipeline::RowPipeline(RowResampler& resampler, std::size_t rowBytes)
    : resampler_(resampler),
      rowBytes_(rowBytes),
      threaded_(std::thread::hardware_concurrency() > 1) {
    storage_.resize(threaded_ ? rowBytes * kBlockRows * kBlocks : rowBytes);
    if (threaded_) {
        for (int block = 1; block < kBlocks; ++block) {
            free_.push_back(block);
        }
        worker_ = std::thread([this] { Work(); });
    }
}

RowPipeline::~RowPipeline() {
    if (worker_.joinable()) {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        worker_.join();
    }
}

std::uint8_t* RowPipeline::RowOf(int block, int row) {
    return storage_.data() +
           (static_cast<std::size_t>(block) * kBlockRows + static_cast<std::size_t>(row)) *
               rowBytes_;
}

std::uint8_t* RowPipeline::Row() {
    return threaded_ ? RowOf(current_, filled_) : storage_.data();
}

void RowPipeline::Push() {
    if (!threaded_) {
        resampler_.PushRow(storage_.data());
        return;
    }
    if (++filled_ == kBlockRows) {
        Submit();
    }
}

void RowPipeline::Submit() {
    std::unique_lock lock(mutex_);
    ready_.emplace_back(current_, filled_);
    changed_.notify_all();
    changed_.wait(lock, [this] { return !free_.empty() || failure_ != nullptr; });
    if (failure_ != nullptr) {
        std::rethrow_exception(failure_);
    }
    current_ = free_.front();
    free_.pop_front();
    filled_ = 0;
}

void RowPipeline::Finish() {
    if (!threaded_) {
        return;
    }
    std::unique_lock lock(mutex_);
    if (filled_ > 0) {
        ready_.emplace_back(current_, filled_);
        filled_ = 0;
    }
    finishing_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return (ready_.empty() && !busy_) || failure_ != nullptr; });
    lock.unlock();
    worker_.join();
    if (failure_ != nullptr) {
        std::rethrow_exception(failure_);
    }
}

void RowPipeline::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !ready_.empty() || finishing_; });
        if (stopping_ || ready_.empty()) {
            return;  // abandoned, or finished with nothing left
        }
        const auto [block, rows] = ready_.front();
        ready_.pop_front();
        busy_ = true;
        lock.unlock();
        std::exception_ptr failure;
        try {
            for (int row = 0; row < rows; ++row) {
                resampler_.PushRow(RowOf(block, row));
            }
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        busy_ = false;
        free_.push_back(block);
        changed_.notify_all();
        if (failure != nullptr) {
            failure_ = failure;
            return;
        }
    }
}

}  // namespace tavrino

// Filtering on a second thread while the decoder makes the next rows. On a large photo the
// two take about as long as each other, so a composition takes the time of the slower one.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace tavrino {

class RowResampler;

class RowPipeline {
public:
    // rowBytes: the size of one source row. Works on one thread where there is only one core.
    RowPipeline(RowResampler& resampler, std::size_t rowBytes);
    // Abandons rows not yet filtered and waits for the filter to stop.
    ~RowPipeline();
    RowPipeline(const RowPipeline&) = delete;
    RowPipeline& operator=(const RowPipeline&) = delete;

    // Where the next source row goes (rowBytes bytes), valid until Push.
    std::uint8_t* Row();
    // Hands that row over.
    void Push();
    // Waits until every row handed over is filtered; rethrows what the filter threw.
    void Finish();

private:
    static constexpr int kBlockRows = 16;
    static constexpr int kBlocks = 4;

    std::uint8_t* RowOf(int block, int row);
    void Submit();
    void Work();

    RowResampler& resampler_;
    std::size_t rowBytes_;
    bool threaded_;
    std::vector<std::uint8_t> storage_;
    int current_ = 0;  // block being filled
    int filled_ = 0;   // rows filled in it

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::pair<int, int>> ready_;  // block, rows
    std::deque<int> free_;
    bool busy_ = false;
    bool finishing_ = false;
    bool stopping_ = false;
    std::exception_ptr failure_;
    std::thread worker_;
};

}  // namespace tavrino

#include "cli/ordered_hashing.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// The reports, put in any order, written in index order by whichever thread holds the writer's
// place. A thread that finds the place taken leaves; the holder looks again after letting go,
// so a report put meanwhile is never left behind.
class OrderedReports {
  public:
    OrderedReports(size_t count, const WriteReports& write)
        : reports_(count), ready_(new std::atomic<bool>[count]), write_(write) {
        for (size_t i = 0; i < count; ++i)
            ready_[i].store(false, std::memory_order_relaxed);
    }

    void Put(size_t index, FileReport report) {
        reports_[index] = std::move(report);
        ready_[index].store(true);
        WriteReady();
    }

  private:
    bool IsReady(size_t index) const { return index < reports_.size() && ready_[index].load(); }

    void WriteReady() {
        while (!writing_.exchange(true)) {
            std::vector<const FileReport*> run;
            size_t next = nextToWrite_;
            for (; IsReady(next); ++next)
                run.push_back(&reports_[next]);
            if (!run.empty())
                write_(run.data(), run.size());
            for (size_t i = nextToWrite_; i < next; ++i)
                reports_[i] = FileReport{};
            nextToWrite_ = next;
            writing_.store(false);
            if (!IsReady(next))
                return;
        }
    }

    std::vector<FileReport> reports_;
    std::unique_ptr<std::atomic<bool>[]> ready_;
    const WriteReports& write_;
    std::atomic<bool> writing_{false};
    size_t nextToWrite_ = 0; // touched only by the writer
};

} // namespace

void ReportInOrder(size_t count, uint32_t jobs, const DescribeFile& describe,
                   const WriteReports& write) {
    OrderedReports reports(count, write);
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t i = next++; i < count; i = next++)
            reports.Put(i, describe(i));
    };
    std::vector<std::thread> helpers;
    size_t threads = std::min<size_t>(std::max<uint32_t>(jobs, 1), std::max<size_t>(count, 1));
    helpers.reserve(threads - 1);
    // A system short of threads or memory gives fewer helpers; the calling thread is enough.
    try {
        for (size_t i = 1; i < threads; ++i)
            helpers.emplace_back(work);
    } catch (const std::system_error&) {
    }
    work();
    for (std::thread& helper : helpers)
        helper.join();
}

#include "cli/ordered_hashing.h"

#include "core/info_hash.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

std::vector<std::string> LinesOf(const std::string& name) {
    std::vector<std::string> lines;
    std::optional<std::string> line =
        ComputeInfoHashLine(name, [&](const std::string& report) { lines.push_back(report); });
    if (line)
        lines.push_back(std::move(*line));
    return lines;
}

// The lines of each file, filled in by the workers in any order and taken in name order.
class OrderedResults {
  public:
    explicit OrderedResults(size_t count) : slots_(count) {}

    void Put(size_t index, std::vector<std::string> lines) {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            slots_[index].lines = std::move(lines);
            slots_[index].ready = true;
        }
        readyChanged_.notify_one();
    }

    std::vector<std::string> Take(size_t index) {
        std::unique_lock<std::mutex> hold(mutex_);
        readyChanged_.wait(hold, [&] { return slots_[index].ready; });
        return std::move(slots_[index].lines);
    }

  private:
    struct Slot {
        std::vector<std::string> lines;
        bool ready = false;
    };
    std::vector<Slot> slots_;
    std::mutex mutex_;
    std::condition_variable readyChanged_;
};

} // namespace

void HashFilesInOrder(const std::vector<std::string>& names, uint32_t jobs,
                      const PrintLine& print) {
    if (jobs <= 1 || names.size() <= 1) {
        for (const std::string& name : names)
            for (const std::string& line : LinesOf(name))
                print(line);
        return;
    }
    OrderedResults results(names.size());
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t i = next++; i < names.size(); i = next++)
            results.Put(i, LinesOf(names[i]));
    };
    std::vector<std::thread> workers;
    size_t workerCount = std::min<size_t>(jobs, names.size());
    for (size_t i = 0; i < workerCount; ++i)
        workers.emplace_back(work);
    for (size_t i = 0; i < names.size(); ++i)
        for (const std::string& line : results.Take(i))
            print(line);
    for (std::thread& worker : workers)
        worker.join();
}

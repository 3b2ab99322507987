#include "report/parallel.h"

#include <algorithm>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace report::parallel {

std::size_t workers() {
    return std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 8);
}

void forEach(std::size_t count, const std::function<void(std::size_t, std::size_t)>& work,
             const std::atomic<bool>* stop) {
    std::atomic<std::size_t> next{0};
    std::mutex failing;
    std::exception_ptr failure;
    const auto worker = [&](std::size_t w) {
        try {
            for (std::size_t i = next++; i < count && !(stop && *stop); i = next++) {
                work(i, w);
            }
        } catch (...) {
            const std::lock_guard lock(failing);
            failure = failure ? failure : std::current_exception();
            next = count; // the others begin nothing more
        }
    };
    std::vector<std::thread> threads;
    // a thread costs more than a few pieces of work take
    const std::size_t helpers = std::min(workers(), count / 4 + 1) - 1;
    for (std::size_t w = 1; w <= helpers; ++w) {
        try {
            threads.emplace_back(worker, w);
        } catch (const std::system_error&) {
            break; // the system has no thread to spare: fewer workers do it
        }
    }
    worker(0);
    for (std::thread& t : threads) {
        t.join();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

} // namespace report::parallel

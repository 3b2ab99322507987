#pragma once

#include <atomic>
#include <cstddef>
#include <functional>

// Work that falls into pieces that need nothing of each other, such as the class's files to read and the report's
// pages to write, done on all the processors at once.
namespace report::parallel {

// How many workers share such work: one per processor, at most eight.
std::size_t workers();

// Calls work(i, worker) once for every i in [0, count), on up to workers() threads at once, the calling one among
// them; worker, from 0, tells which is calling, so that each can keep things of its own. Once stop is set (by a call
// of work that failed, say), no further i is begun. Returns when every call begun has ended; an exception that ended
// one is thrown again here.
void forEach(std::size_t count, const std::function<void(std::size_t i, std::size_t worker)>& work,
             const std::atomic<bool>* stop = nullptr);

} // namespace report::parallel

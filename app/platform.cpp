#include "app/platform.h"

#include <bit>

namespace {
std::uint64_t splitMix(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}
} // namespace

void RandomSequence::seed(float seed) {
    m_state = std::bit_cast<std::uint32_t>(seed) * 0x2545f4914f6cdd1dULL + 1;
}

float RandomSequence::next() {
    const auto bits = static_cast<std::uint32_t>(splitMix(m_state) >> 40); // 24 bits
    return static_cast<float>(bits) / 16777216.0f;
}

double Platform::secondsSinceMidnight() {
    const QTime t = now().time();
    return t.msecsSinceStartOfDay() / 1000.0;
}

QString Platform::timeText() {
    return now().time().toString(QStringLiteral("HH:mm:ss"));
}

QString Platform::dateText() {
    return now().date().toString(QStringLiteral("MM-dd-yyyy"));
}

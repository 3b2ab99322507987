#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

// What the fuzz targets share: how input bytes become text, and what a broken property does.
namespace fuzzcheck {

// A broken property is a crash to the fuzzer: it keeps the input that broke it, and the run fails.
inline void require(bool holds, const char* property) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

// The input read as a student's typing could reach the program: as UTF-8, and as raw UTF-16 code units, which
// also gives lone surrogates and every character of the basic plane.
inline std::vector<QString> texts(const std::uint8_t* data, std::size_t size) {
    std::vector<QString> result;
    result.push_back(QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    QString units(static_cast<qsizetype>(size / 2), Qt::Uninitialized);
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        units[static_cast<qsizetype>(i / 2)] = QChar(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }
    result.push_back(units);
    return result;
}

} // namespace fuzzcheck

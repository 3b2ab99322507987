#include "fuzzcheck.h"
#include "problems/markup.h"

using fuzzcheck::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (const QString& text : fuzzcheck::texts(data, size)) {
        const QString shown = markup::expandLineBreaks(text);
        require(shown.size() == text.size(), "a {} and the CR LF that stands for it are both two characters");
        require(shown == QString(text).replace(QStringLiteral("{}"), QStringLiteral("\r\n")),
                "every {}, read from the left, becomes CR LF and nothing else changes");
        require(!shown.contains(QStringLiteral("{}")), "no {} is left to show");
    }
    return 0;
}

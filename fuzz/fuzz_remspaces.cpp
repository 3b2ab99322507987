#include "fuzzcheck.h"
#include "problems/markup.h"
#include "records/linecoding.h"

using fuzzcheck::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (const QString& text : fuzzcheck::texts(data, size)) {
        const QString stripped = linecoding::remSpaces(text);
        require(stripped == QString(text).remove(u' ').remove(u'-'),
                "blanks and hyphens go, every other character stays in its order");
        require(linecoding::remSpaces(stripped) == stripped, "stripping twice changes nothing");
        const QString routine = markup::routineName(text);
        require(!routine.contains(u' ') && !routine.contains(u'-'), "a routine name holds no blank or hyphen");
    }
    return 0;
}

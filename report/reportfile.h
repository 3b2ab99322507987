#pragma once

#include <QIODevice>
#include <QString>

#include <functional>
#include <optional>

namespace report {

// Writes a page or a table whole: into a file beside it first, then renamed over it, so that a reader never sees half
// of it and a failure leaves the old one. Not synced to disk: it is made again from the record files in a moment.
// The reason when it fails.
std::optional<QString> writeReportFile(const QString& path, const std::function<bool(QIODevice&)>& write);

} // namespace report

#include "report/reportfile.h"

#include <QFile>

#include <filesystem>

namespace report {

std::optional<QString> writeReportFile(const QString& path, const std::function<bool(QIODevice&)>& write) {
    const QString part = path + QStringLiteral(".part");
    QFile file(part);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return file.errorString();
    }
    if (!write(file) || !file.flush()) {
        const QString reason = file.errorString();
        file.remove();
        return reason;
    }
    file.close();
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(part.toStdU16String()), std::filesystem::path(path.toStdU16String()),
                            error);
    if (error) {
        QFile::remove(part);
        return QString::fromStdString(error.message());
    }
    return std::nullopt;
}

} // namespace report

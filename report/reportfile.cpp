#include "report/reportfile.h"

#include <QFileInfo>
#include <QTemporaryFile>

#include <filesystem>

namespace report {

std::optional<QString> writeReportFile(const QString& path, const std::function<bool(QIODevice&)>& write) {
    // a name of its own beside the target, so that no file of the user's is ever written over on the way
    QTemporaryFile file(path + QStringLiteral(".XXXXXX"));
    if (!file.open()) {
        return file.errorString();
    }
    if (!write(file) || !file.flush()) {
        return file.errorString().isEmpty() ? QStringLiteral("the page could not be written") : file.errorString();
    }
    // a new page may be read by anyone who may read the folder, as a file the user makes would be; a page made again
    // keeps what its owner gave it
    const QFileInfo target(path);
    file.setPermissions(target.exists() ? target.permissions()
                                        : QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                                              QFileDevice::WriteUser | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    file.close();
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(file.fileName().toStdU16String()),
                            std::filesystem::path(path.toStdU16String()), error);
    if (error) {
        return QString::fromStdString(error.message());
    }
    file.setAutoRemove(false);
    return std::nullopt;
}

} // namespace report

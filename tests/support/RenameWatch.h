#pragma once

#include <QFile>
#include <QString>

#include <cstdio>
#include <fcntl.h>
#include <functional>

// Lets a test look at the files at the moment one takes the place of another: every rename of
// the test executable passes through the function of the living RenameWatch first. The
// executable's own definition of rename takes the place of the C library's, so include this
// header in one source file only.
namespace renamewatch {
inline std::function<void(const QString& from, const QString& to)> beforeRename;
} // namespace renamewatch

// Watches the renames for as long as it lives.
class RenameWatch {
public:
    explicit RenameWatch(std::function<void(const QString& from, const QString& to)> watch) {
        renamewatch::beforeRename = std::move(watch);
    }
    ~RenameWatch() { renamewatch::beforeRename = nullptr; }
    RenameWatch(const RenameWatch&) = delete;
    RenameWatch& operator=(const RenameWatch&) = delete;
};

extern "C" int rename(const char* from, const char* to) noexcept {
    if (renamewatch::beforeRename)
        renamewatch::beforeRename(QFile::decodeName(from), QFile::decodeName(to));
    return ::renameat(AT_FDCWD, from, AT_FDCWD, to);
}

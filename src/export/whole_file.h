#pragma once
// Files that appear whole or not at all, and how long work reports on itself.

#include <QIODevice>
#include <QString>

#include <cstddef>
#include <functional>

namespace output {

// Called now and then with the number of entries done so far; answers false
// to stop the work.
using Progress = std::function<bool(std::size_t done)>;

struct WriteResult {
    enum Status { Written, Stopped, Failed };
    Status status = Failed;
    QString error;  // why it failed, in words for a box
    int pages = 0;  // a report's pages

    bool ok() const { return status == Written; }
};

// Writes the file at path through QSaveFile: a temporary file next to it,
// renamed to path only once `write` has finished and everything reached the
// disk. A failure, or a `write` that answers false (stopped), leaves no
// trace: whatever file was at path before stays as it was.
WriteResult writeWhole(const QString& path, const std::function<bool(QIODevice&)>& write);

} // namespace output

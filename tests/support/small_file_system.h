#pragma once
// A small file system of a test's own (tmpfs, mounted as root), to run out
// of room or be made read-only under a running program.

#include <QString>
#include <QTemporaryDir>

#include <optional>

class SmallFileSystem {
public:
    explicit SmallFileSystem(int kibibytes);
    // Unmounts it, lazily if something still holds a file open there.
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    // Why the test cannot run here (not root, no mount).
    const std::optional<QString>& why() const { return why_; }
    QString path() const { return dir_.path(); }

    // Takes every free byte with a file of its own.
    bool fill();
    // Gives the room back.
    bool makeRoom();
    // Mounted read-only from now on, as a write-protected disk.
    bool makeReadOnly();

private:
    QTemporaryDir dir_;
    std::optional<QString> why_;
    bool mounted_ = false;
};

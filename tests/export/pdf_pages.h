#pragma once
// The pages of a PDF file as the file itself has them.

#include <QFile>
#include <QRegularExpression>
#include <QString>

// The page objects (the page tree's nodes are /Pages); -1 when the file does
// not open or is no PDF.
inline int pagesIn(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray bytes = file.readAll();
    if (!bytes.startsWith("%PDF-"))
        return -1;
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?![A-Za-z])"));
    return static_cast<int>(QString::fromLatin1(bytes).count(page));
}

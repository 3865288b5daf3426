#pragma once

#include <QList>
#include <QUrl>
#include <functional>

// Hands a folder or link to the desktop (its file manager, its browser).
// Tests put a recorder in its place to see what would have been opened
// without starting anything.
namespace tombolix {

using UrlOpener = std::function<bool(const QUrl &)>;

// True when the desktop took the URL.
bool OpenUrl(const QUrl &url);
// Installs the opener to use and returns the previous one; an empty one goes
// back to the desktop's.
UrlOpener setUrlOpener(UrlOpener opener);

// Records every URL opened, and opens nothing, while it lives.
class ScopedUrlRecorder
{
public:
    ScopedUrlRecorder();
    ~ScopedUrlRecorder();
    ScopedUrlRecorder(const ScopedUrlRecorder &) = delete;
    ScopedUrlRecorder &operator=(const ScopedUrlRecorder &) = delete;

    const QList<QUrl> &opened() const { return m_opened; }
    // What the next URLs opened report; true unless set.
    void setResult(bool result) { m_result = result; }

private:
    QList<QUrl> m_opened;
    bool m_result = true;
    UrlOpener m_previous;
};

} // namespace tombolix

#include "common/desktop.h"

#include <QDesktopServices>

namespace tombolix {

namespace {

UrlOpener &currentOpener()
{
    static UrlOpener opener;
    return opener;
}

} // namespace

bool OpenUrl(const QUrl &url)
{
    if (currentOpener())
        return currentOpener()(url);
    return QDesktopServices::openUrl(url);
}

UrlOpener setUrlOpener(UrlOpener opener)
{
    return std::exchange(currentOpener(), std::move(opener));
}

ScopedUrlRecorder::ScopedUrlRecorder()
{
    m_previous = setUrlOpener([this](const QUrl &url) {
        m_opened << url;
        return m_result;
    });
}

ScopedUrlRecorder::~ScopedUrlRecorder()
{
    setUrlOpener(std::move(m_previous));
}

} // namespace tombolix

#include "app/window/help/HelpBrowser.h"

#include "help/ChmArchive.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace romwright {

namespace {

// Help pages say their encoding in a <meta> tag; without one they are UTF-8.
QString decodePage(const QByteArray &bytes)
{
    static const QRegularExpression charset(QStringLiteral("charset\\s*=\\s*[\"']?([A-Za-z0-9_-]+)"),
                                            QRegularExpression::CaseInsensitiveOption);
    const auto m = charset.match(QString::fromLatin1(bytes.left(2048)));
    if (m.hasMatch()) {
        QStringDecoder decoder(m.captured(1).toLatin1().constData());
        if (decoder.isValid())
            return decoder.decode(bytes);
    }
    return QString::fromUtf8(bytes);
}

} // namespace

QUrl HelpBrowser::pageUrl(const QString &local)
{
    QString path = local;
    QString fragment;
    const qsizetype hash = path.indexOf(QLatin1Char('#'));
    if (hash >= 0) {
        fragment = path.mid(hash + 1);
        path.truncate(hash);
    }
    QUrl url;
    url.setScheme(QString::fromLatin1(kScheme));
    url.setPath(ChmArchive::normalisePath(path));
    if (!fragment.isEmpty())
        url.setFragment(fragment);
    return url;
}

HelpBrowser::HelpBrowser(const ChmArchive &archive, QWidget *parent)
    : QTextBrowser(parent), m_archive(archive)
{
    // Links are followed by the window, which tells pages of the help file
    // from addresses outside it.
    setOpenLinks(false);
    setOpenExternalLinks(false);
}

void HelpBrowser::doSetSource(const QUrl &name, QTextDocument::ResourceType type)
{
    m_current = name.isRelative() ? m_current.resolved(name) : name;
    QTextBrowser::doSetSource(m_current, type);
}

QVariant HelpBrowser::loadResource(int type, const QUrl &name)
{
    const QUrl url = name.isRelative() ? m_current.resolved(name) : name;
    if (url.scheme() != QLatin1String(kScheme))
        return QVariant();
    const auto bytes = m_archive.read(url.path());
    if (!bytes)
        return QVariant();
    // A page is loaded only when it becomes the page shown (also by Back and
    // Forward, which bypass doSetSource); its pictures resolve against it.
    if (type == QTextDocument::HtmlResource)
        m_current = url;
    switch (type) {
    case QTextDocument::HtmlResource:
    case QTextDocument::MarkdownResource:
        return decodePage(*bytes);
    case QTextDocument::StyleSheetResource:
        return QString::fromUtf8(*bytes);
    default:
        return *bytes;
    }
}

QString HelpBrowser::currentPage() const
{
    return m_current.isEmpty() ? QString() : m_current.path();
}

} // namespace romwright

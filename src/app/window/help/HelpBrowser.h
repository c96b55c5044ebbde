#pragma once
// The page view of the help viewer: pages, style sheets and pictures come
// out of the help file; links are resolved against the page shown.

#include <QTextBrowser>

namespace romwright {

class ChmArchive;

class HelpBrowser : public QTextBrowser {
    Q_OBJECT
public:
    // Pages of the archive are addressed as "chm:///page.html".
    static constexpr const char *kScheme = "chm";
    static QUrl pageUrl(const QString &local);

    explicit HelpBrowser(const ChmArchive &archive, QWidget *parent = nullptr);

    QVariant loadResource(int type, const QUrl &name) override;

    // The archive path of the page shown ("/about.html"), or an empty text.
    QString currentPage() const;

protected:
    void doSetSource(const QUrl &name, QTextDocument::ResourceType type) override;

private:
    const ChmArchive &m_archive;
    QUrl m_current;
};

} // namespace romwright

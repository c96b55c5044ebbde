#include "image/FirmwareKind.h"

#include "image/FileOpen.h"
#include "image/FlashLayout.h"

#include <QRegularExpression>

#include <span>

namespace romwright {

namespace {

FirmwareData coverage(std::span<const FlashBlock> table)
{
    FirmwareData bits;
    for (const FlashBlock &block : table)
        for (int i = 0; i < block.Length; ++i)
            bits.set(std::size_t(block.Address + i));
    return bits;
}

FirmwareData vectorArea()
{
    FirmwareData bits;
    for (std::size_t a = kVectorAddress; a < kImageSize; ++a)
        bits.set(a);
    return bits;
}

// The vectors never make a file misfit: the 64-byte pass carries them in its
// jump table, and releases for the 128-byte rows carry them as well although
// that pass has no block for them.
ContentFit fitAlong(const FirmwareData &data, const FirmwareData &blocks, bool vectorsWritten)
{
    static const FirmwareData vectors = vectorArea();
    const bool written = (data & blocks).any() || (vectorsWritten && (data & vectors).any());
    if (!written)
        return ContentFit::Nothing;
    if ((data & ~vectors & ~blocks).any())
        return ContentFit::Outside;
    return ContentFit::Fits;
}

} // namespace

FirmwareData firmwareData(const MemoryImage &image)
{
    FirmwareData bits;
    for (std::size_t a = 0; a < image.size(); ++a)
        if (image[a] != kErased)
            bits.set(a);
    return bits;
}

ReleaseKind releaseKind(const QString &name)
{
    // The family's letters, the model number, the "U" of the 128-byte releases.
    static const QRegularExpression release = [] {
        QStringList letters;
        for (const ScannerFamily &f : kScannerFamilies)
            letters << QRegularExpression::escape(latin1(familyLetters(f)));
        return QRegularExpression(QStringLiteral("^(%1)\\d+(u?)").arg(letters.join(QLatin1Char('|'))),
                                  QRegularExpression::CaseInsensitiveOption);
    }();
    ReleaseKind kind;
    const QRegularExpressionMatch match = release.match(name);
    if (!match.hasMatch())
        return kind;
    const ScannerFamily *family = nullptr;
    for (const ScannerFamily &f : kScannerFamilies)
        if (match.captured(1).compare(latin1(familyLetters(f)), Qt::CaseInsensitive) == 0)
            family = &f;
    kind.family = family->type;
    if (hasProcessors(*family)) {
        for (const ReleaseLine &line : family->releases)
            if (line.processor != Processor::Any &&
                name.endsWith(latin1(line.runs[0].extension), Qt::CaseInsensitive))
                kind.processor = line.processor;
        return kind;
    }
    kind.boot = match.captured(2).isEmpty() ? BootSoftware::Rows64 : BootSoftware::Rows128;
    return kind;
}

bool releaseKindsAgree(const ReleaseKind &a, const ReleaseKind &b)
{
    auto same = [](auto x, auto y, auto unknown) { return x == unknown || y == unknown || x == y; };
    return same(a.family, b.family, kNotDetected) && same(a.boot, b.boot, BootSoftware::Any) &&
           same(a.processor, b.processor, Processor::Any);
}

QString headerText(const QByteArray &data)
{
    const qsizetype nul = data.indexOf('\0');
    QString text = QString::fromLatin1(nul < 0 ? data : data.left(nul));
    for (QChar &c : text)
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0))
            c = QLatin1Char(' ');
    return text.trimmed();
}

FirmwareKind firmwareKind(const QString &fileName, const FirmwareData &data, const QString &header)
{
    static const FirmwareData blocks64 = coverage(kFlashBlocks64);
    static const FirmwareData blocks128 = coverage(kFlashBlocks128);
    FirmwareKind kind;
    kind.fit64 = fitAlong(data, blocks64, true);
    kind.fit128 = fitAlong(data, blocks128, false);

    const QString name = fileNameOf(fileName);
    if (name.compare(QLatin1String(kRamLoaderFileName), Qt::CaseInsensitive) == 0 ||
        name.compare(QLatin1String(kBootloaderFileName), Qt::CaseInsensitive) == 0) {
        kind.loader = true;
        return kind;
    }
    kind.headerText = header;
    kind.header = releaseKind(header);
    ReleaseKind said = releaseKind(name);
    if (said.family == kNotDetected)
        said = kind.header;
    kind.family = said.family;
    kind.boot = said.boot;
    kind.processor = said.processor;
    return kind;
}

} // namespace romwright

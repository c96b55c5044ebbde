#include "image/FirmwareCheck.h"

#include "image/FileOpen.h"

namespace romwright {

namespace {

// The family's model as shown ("Halvern 1450"); empty for none.
QString modelName(int family)
{
    const ScannerFamily *f = familyOfType(family);
    return f ? latin1(f->shown) : QString();
}

QString bootText(bool rows128)
{
    return rows128 ? QStringLiteral("the 128-byte boot software")
                   : QStringLiteral("the 64-byte boot software");
}

QString processorText(bool barCode)
{
    return barCode ? QStringLiteral("BarCode") : QStringLiteral("Main");
}

// What the name says the file is for.
QString namedFor(const FirmwareKind &kind)
{
    const QString model = modelName(kind.family);
    if (kind.processor != Processor::Any)
        return QStringLiteral("the %1 processor of the %2")
            .arg(processorText(kind.processor == Processor::BarCode), model);
    if (kind.boot != BootSoftware::Any)
        return QStringLiteral("the %1 with %2").arg(model, bootText(kind.boot == BootSoftware::Rows128));
    return QStringLiteral("the ") + model;
}

// What the data says the file is for, when it does not fit rows128.
QString dataFor(const FirmwareKind &kind, bool rows128)
{
    if (kind.fit(!rows128) == ContentFit::Fits)
        return QStringLiteral("a scanner with ") + bootText(!rows128);
    return QStringLiteral("a scanner with another flash layout");
}

QString attachedWithBoot(int family, bool rows128)
{
    const QString model = family == kNotDetected ? QStringLiteral("scanner") : modelName(family);
    return QStringLiteral("a %1 with %2").arg(model, bootText(rows128));
}

FirmwareVerdict ask(const QString &name, const QString &meantFor, const QString &attached)
{
    return {FirmwareVerdict::Kind::Ask,
            QString::fromLatin1(kMeantForAnotherMessage).arg(name, meantFor, attached),
            QString::fromLatin1(kProgramAnyway)};
}

// Asked by the model when it is known: "Program it into the Halvern 1450 anyway?"
FirmwareVerdict askNaming(const QString &text, int attached)
{
    return {FirmwareVerdict::Kind::Ask, text,
            attached == kNotDetected ? QString::fromLatin1(kProgramAnyway)
                                     : QString::fromLatin1(kProgramIntoAnyway).arg(modelName(attached))};
}

FirmwareKind asKind(const ReleaseKind &release)
{
    FirmwareKind kind;
    kind.family = release.family;
    kind.boot = release.boot;
    kind.processor = release.processor;
    return kind;
}

} // namespace

QString firmwareMeantFor(const FirmwareKind &kind)
{
    if (kind.loader)
        return QStringLiteral("no scanner: it is a loader that the update sends by itself");
    if (kind.family != kNotDetected)
        return namedFor(kind);
    const bool fits64 = kind.fit64 == ContentFit::Fits, fits128 = kind.fit128 == ContentFit::Fits;
    if (fits64 != fits128)
        return QStringLiteral("a scanner with ") + bootText(fits128);
    return fits64 ? QStringLiteral("a scanner with either boot software (the name does not tell)")
                  : QStringLiteral("no scanner: its data lies outside both flash layouts");
}

FirmwareVerdict checkFirmware(const QString &fileName, const FirmwareKind &kind, const ScannerAtHand &scanner)
{
    const QString name = fileNameOf(fileName);
    if (kind.loader)
        return {FirmwareVerdict::Kind::Refuse, QString::fromLatin1(kLoaderNotFirmwareMessage).arg(name)};
    const bool rows128 = scanner.bTargetA.value_or(false);
    if (scanner.bTargetA && kind.fit(rows128) == ContentFit::Nothing)
        return {FirmwareVerdict::Kind::Refuse,
                QString::fromLatin1(kNothingToWriteMessage).arg(name, bootText(rows128))};

    const ScannerType attached =
        familyOfType(scanner.typeOfScanner) ? ScannerType(scanner.typeOfScanner) : kNotDetected;
    // A release renamed or linked under another release's name still names itself inside.
    const ReleaseKind named = releaseKind(name);
    if (named.family != kNotDetected && !releaseKindsAgree(named, kind.header))
        return askNaming(QString::fromLatin1(kNameAndHeaderDisagreeMessage)
                             .arg(name, namedFor(kind), kind.headerText, namedFor(asKind(kind.header))),
                         attached);
    if (kind.family != kNotDetected && attached != kNotDetected && kind.family != attached)
        return ask(name, namedFor(kind), QStringLiteral("a ") + modelName(attached));
    // A file for one of two processors; the request names the chosen one.
    const bool fileBarCode = kind.processor == Processor::BarCode;
    if (kind.processor != Processor::Any && fileBarCode != scanner.bBarCodeProcessor)
        return ask(name, namedFor(kind),
                   QStringLiteral("a %1 whose %2 processor is to be updated")
                       .arg(modelName(kind.family), processorText(scanner.bBarCodeProcessor)));
    if (!scanner.bTargetA)
        return {};

    if (kind.boot != BootSoftware::Any && (kind.boot == BootSoftware::Rows128) != rows128)
        return ask(name, namedFor(kind), attachedWithBoot(attached, rows128));
    if (kind.fit(rows128) == ContentFit::Outside)
        return ask(name, dataFor(kind, rows128), attachedWithBoot(attached, rows128));
    if (kind.family == kNotDetected)
        return askNaming(QString::fromLatin1(kNotSaidMessage).arg(name), attached);
    return {};
}

} // namespace romwright

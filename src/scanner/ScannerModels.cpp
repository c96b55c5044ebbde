#include "scanner/ScannerModels.h"

namespace romwright {

ScannerModels::Entry ScannerModels::Add(const QString &VersionCommand, const QString &VersionData,
                                        const QString &ScannerName, const QString &Baud, qint32 TypeOfScanner,
                                        const QString &sKey)
{
    if (!sKey.isEmpty() && indexOf(sKey) >= 0)
        return nullptr;
    auto model = std::make_shared<ScannerModel>();
    model->VersionCommand = VersionCommand;
    model->VersionData = VersionData;
    model->ScannerName = ScannerName;
    model->Baud = Baud;
    model->TypeOfScanner = TypeOfScanner;
    m_entries.push_back(sKey);
    m_models.push_back(model);
    return model;
}

qsizetype ScannerModels::indexOf(const QString &key) const
{
    if (key.isEmpty())
        return -1;
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i] == key)
            return static_cast<qsizetype>(i);
    return -1;
}

void addStandardModels(ScannerModels &models)
{
    for (int row = 1; row <= kModelTableRows; ++row)
        for (const ScannerFamily &f : kScannerFamilies)
            for (const Probe &p : f.probes)
                if (p.baud != 0 && p.row == row)
                    models.Add(latin1(f.versionCommand), latin1(f.identity), latin1(f.shown),
                               QString::number(p.baud), f.type, latin1(p.key));
}

} // namespace romwright

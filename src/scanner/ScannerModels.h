#pragma once
// The ordered, optionally keyed list of scanner models a Scanner probes with.

#include "scanner/ScannerModel.h"

#include <QString>
#include <memory>
#include <vector>

namespace romwright {

class ScannerModels {
public:
    using Entry = std::shared_ptr<ScannerModel>;

    // Appends a model under sKey (no key when empty). A key already present
    // adds nothing and answers a null model.
    Entry Add(const QString &VersionCommand, const QString &VersionData, const QString &ScannerName,
              const QString &Baud, qint32 TypeOfScanner, const QString &sKey = QString());

    // Iteration in insertion order.
    auto begin() const { return m_models.cbegin(); }
    auto end() const { return m_models.cend(); }

private:
    qsizetype indexOf(const QString &key) const;

    std::vector<QString> m_entries; // key per position, empty for none
    std::vector<Entry> m_models;
};

// The model table every Scanner starts with: a row per rate of each family
// (kScannerFamilies), in probing order.
void addStandardModels(ScannerModels &models);

} // namespace romwright

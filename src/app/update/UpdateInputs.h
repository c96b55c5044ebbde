#pragma once
// What an update is for: the model, the port, the firmware file and the
// processor, as the front ends set them. Each setter shows its value on the
// view at once; the labels only show, and every decision reads from here.

#include "family/ScannerFamilies.h"

#include <QString>

#include <optional>

namespace romwright {

class MainView;

class UpdateInputs {
public:
    explicit UpdateInputs(MainView &view) : m_view(view) {}
    UpdateInputs(const UpdateInputs &) = delete;
    UpdateInputs &operator=(const UpdateInputs &) = delete;

    // The model as the model label shows it: empty before any, a model's
    // name, or what detection said instead ("Scanner Not Found", "Unknown").
    const QString &model() const { return m_model; }
    void setModel(const QString &model);
    // The family the model shown stands for, read once where it is set: by
    // its first letter, as the program has always read the label; null for
    // none. Every decision that needs the model's family asks this.
    const ScannerFamily *family() const { return m_family; }
    int typeOfScanner() const { return m_family ? m_family->type : kNotDetected; }
    // However the model became known, a Wexmoor offers its two processors with
    // the chosen one ticked, Main unless BarCode was chosen.
    void showModel(const QString &model);

    // The port as the port label shows it: 0 "None Selected", else its number.
    int port() const { return m_port; }
    void setPort(int n);

    // The firmware file chosen, as a whole path; none until one is. The file
    // label shows its name without folder, or "None".
    const std::optional<QString> &file() const { return m_file; }
    bool fileChosen() const { return m_file.has_value(); }
    void setFile(const std::optional<QString> &path);
    // The whole path of the file last loaded; empty before the first.
    const QString &firmwarePath() const { return m_firmwarePath; }
    void setFirmwarePath(const QString &path) { m_firmwarePath = path; }

    // The processor chosen: "Main" unless "BarCode" is.
    Processor processor() const { return m_barCode ? Processor::BarCode : Processor::Main; }
    bool barCode() const { return m_barCode; }
    void setBarCode(bool barCode) { m_barCode = barCode; }
    // The model shown has two processors to choose from (a Wexmoor).
    bool twoProcessors() const { return m_twoProcessors; }

private:
    MainView &m_view;
    QString m_model;
    const ScannerFamily *m_family = nullptr;
    int m_port = 0;
    std::optional<QString> m_file;
    QString m_firmwarePath;
    bool m_barCode = false;
    bool m_twoProcessors = false;
};

} // namespace romwright

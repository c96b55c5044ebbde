#include "app/common/UpdateInputs.h"

#include "view/MainView.h"

namespace romwright {

void UpdateInputs::setModel(const QString &model)
{
    m_model = model;
    m_view.setText(LabelId::ScanMod, model);
}

void UpdateInputs::showModel(const QString &model)
{
    setModel(model);
    // A family with two processors; the flag keeps the name it has always had.
    const ScannerFamily *family = familyShownAs(model);
    m_flags.bWexmoor = family && hasProcessors(*family);
    m_view.setControlEnabled(ControlId::ProcessorMain, m_flags.bWexmoor);
    m_view.setControlEnabled(ControlId::ProcessorBarCode, m_flags.bWexmoor);
    // The processor the update goes to is always the one the window shows.
    if (m_flags.bWexmoor)
        m_view.setProcessorTicked(m_flags.bBarCodeProcessor ? 1 : 0);
}

void UpdateInputs::setPort(int n)
{
    m_port = n;
    m_view.setText(LabelId::Port, n == 0 ? QStringLiteral("None Selected") : QString::number(n));
}

void UpdateInputs::setFirmwareCaption(const QString &caption)
{
    m_firmwareCaption = caption;
    m_view.setText(LabelId::FirmFile, caption);
}

} // namespace romwright

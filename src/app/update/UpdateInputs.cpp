#include "app/update/UpdateInputs.h"

#include "image/FileOpen.h"
#include "platform/FileSystem.h"
#include "view/MainView.h"

namespace romwright {

void UpdateInputs::setModel(const QString &model)
{
    m_model = model;
    m_family = familyShownAs(model);
    m_view.setText(LabelId::ScanMod, model);
}

void UpdateInputs::showModel(const QString &model)
{
    setModel(model);
    m_twoProcessors = m_family && hasProcessors(*m_family);
    m_view.setControlEnabled(ControlId::ProcessorMain, m_twoProcessors);
    m_view.setControlEnabled(ControlId::ProcessorBarCode, m_twoProcessors);
    // The processor the update goes to is always the one the window shows.
    if (m_twoProcessors)
        m_view.setProcessorTicked(m_barCode ? 1 : 0);
}

void UpdateInputs::setPort(int n)
{
    m_port = n;
    m_view.setText(LabelId::Port, n == 0 ? QStringLiteral("None Selected") : QString::number(n));
}

void UpdateInputs::setFile(const std::optional<QString> &path)
{
    m_file = path;
    m_view.setText(LabelId::FirmFile, path ? displayFileName(fileNameOf(*path)) : QStringLiteral("None"));
}

} // namespace romwright

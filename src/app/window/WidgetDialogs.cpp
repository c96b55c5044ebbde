#include "app/window/WidgetDialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace romwright {

QString caseBlindPattern(const QString &pattern)
{
    QString result;
    for (const QChar c : pattern) {
        const QChar lower = c.toLower();
        const QChar upper = c.toUpper();
        if (lower == upper) {
            result += c;
        } else {
            result += QLatin1Char('[');
            result += upper;
            result += lower;
            result += QLatin1Char(']');
        }
    }
    return result;
}

WidgetDialogs::WidgetDialogs(QWidget *parent, Chooser chooser)
    : m_parent(parent), m_chooser(std::move(chooser))
{
}

namespace {

// Texts may carry file names, which are never read as markup.
void prepare(QMessageBox &box, const QString &text, const QString &title, MessageIcon icon)
{
    box.setWindowTitle(title.isEmpty() ? QString::fromLatin1(kApplicationTitle) : title);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    switch (icon) {
    case MessageIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case MessageIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MessageIcon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case MessageIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case MessageIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
}

} // namespace

void WidgetDialogs::message(const QString &text, const QString &title, MessageIcon icon)
{
    QMessageBox box(m_parent);
    prepare(box, text, title, icon);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

bool WidgetDialogs::question(const QString &text, const QString &title, MessageIcon icon,
                             DefaultAnswer defaultAnswer)
{
    QMessageBox box(m_parent);
    prepare(box, text, title, icon);
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(defaultAnswer == DefaultAnswer::Yes ? QMessageBox::Yes : QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString WidgetDialogs::inputBox(const QString &prompt, const QString &title, const QString &defaultText)
{
    QInputDialog box(m_parent);
    box.setWindowTitle(title.isEmpty() ? QString::fromLatin1(kApplicationTitle) : title);
    box.setLabelText(prompt);
    box.setTextValue(defaultText);
    box.setInputMode(QInputDialog::TextInput);
    return box.exec() == QDialog::Accepted ? box.textValue() : QString();
}

std::unique_ptr<QFileDialog> WidgetDialogs::makeOpenDialog(QWidget *parent, const QString &title,
                                                           const QString &filter,
                                                           const QString &initialFolder)
{
    auto dialog = std::make_unique<QFileDialog>(parent, title, initialFolder);
    // Qt's own dialog on every desktop, so the patterns below behave the same everywhere.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    if (!filter.isEmpty()) {
        // "Description|pattern": the description is shown, the pattern matched
        // without regard to case, as the firmware names mix both.
        const qsizetype bar = filter.indexOf(QLatin1Char('|'));
        const QString description = bar < 0 ? filter : filter.left(bar);
        const QString pattern = bar < 0 ? QString() : filter.mid(bar + 1);
        dialog->setNameFilter(QStringLiteral("%1 (%2)").arg(description, caseBlindPattern(pattern)));
    }
    return dialog;
}

QString WidgetDialogs::openFile(const QString &title, const QString &filter, const QString &initialFolder)
{
    auto dialog = makeOpenDialog(m_parent, title, filter, initialFolder);
    if (dialog->exec() != QDialog::Accepted)
        return QString();
    const QStringList chosen = dialog->selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.first();
}

std::optional<QString> WidgetDialogs::chooseScanner()
{
    if (!m_chooser)
        return QString();
    return m_chooser(m_parent);
}

} // namespace romwright

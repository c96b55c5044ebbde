#include "app/window/WidgetDialogs.h"

#include "app/update/UpdateMessages.h"
#include "platform/Clock.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QTreeView>

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

QString wrappableNames(const QString &text)
{
    // A path or a device name has no blank to wrap at, and a box cuts what
    // does not fit its widest line: a zero-width space after each separator
    // of a long word lets it wrap there, every character kept.
    constexpr qsizetype kLongWord = 30;
    QString result;
    result.reserve(text.size() + text.size() / 8);
    qsizetype wordStart = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !text[i].isSpace())
            continue;
        const QStringView word = QStringView(text).mid(wordStart, i - wordStart);
        for (qsizetype k = 0; k < word.size(); ++k) {
            result += word[k];
            if (word.size() >= kLongWord && k + 1 < word.size() && QStringView(u"/\\_-.:").contains(word[k]))
                result += QChar(0x200B);
        }
        if (i < text.size())
            result += text[i];
        wordStart = i + 1;
    }
    return result;
}

namespace {

// Texts may carry file names, which are never read as markup.
void prepare(QMessageBox &box, const QString &text, const QString &title, MessageIcon icon)
{
    box.setWindowTitle(title.isEmpty() ? QString::fromLatin1(kApplicationTitle) : title);
    box.setTextFormat(Qt::PlainText);
    box.setText(wrappableNames(text));
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
    if (m_silenced)
        return;
    QMessageBox box(m_parent);
    prepare(box, text, title, icon);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

namespace {

void prepareQuestion(QMessageBox &box, const QString &text, const QString &title, MessageIcon icon,
                     DefaultAnswer defaultAnswer)
{
    prepare(box, text, title, icon);
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(defaultAnswer == DefaultAnswer::Yes ? QMessageBox::Yes : QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
}

// An open question's box; it deletes itself once closed.
class OpenBox : public OpenQuestion {
public:
    explicit OpenBox(QMessageBox *box) : m_box(box) {}
    ~OpenBox() override
    {
        if (!m_box)
            return;
        QObject::disconnect(m_answer); // withdrawn: no answer comes
        m_box->hide();
        m_box->deleteLater();
    }

    QPointer<QMessageBox> m_box; // null once answered
    QMetaObject::Connection m_answer;
};

} // namespace

bool WidgetDialogs::question(const QString &text, const QString &title, MessageIcon icon,
                             DefaultAnswer defaultAnswer)
{
    if (m_silenced)
        return false;
    QMessageBox box(m_parent);
    prepareQuestion(box, text, title, icon, defaultAnswer);
    return box.exec() == QMessageBox::Yes;
}

std::unique_ptr<OpenQuestion> WidgetDialogs::ask(const QString &text, const QString &title, MessageIcon icon,
                                                 DefaultAnswer defaultAnswer,
                                                 std::function<void(bool yes)> answered)
{
    if (m_silenced) {
        answered(false);
        return nullptr;
    }
    auto *box = new QMessageBox(m_parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    prepareQuestion(*box, text, title, icon, defaultAnswer);
    auto open = std::make_unique<OpenBox>(box);
    // answered may withdraw the question (destroy its OpenBox): nothing of
    // it is used once the answer is on its way.
    open->m_answer = QObject::connect(
        box, &QDialog::finished, box, [open = open.get(), box, answered = std::move(answered)](int) {
            open->m_box = nullptr;
            const bool yes = box->standardButton(box->clickedButton()) == QMessageBox::Yes;
            answered(yes);
        });
    box->open(); // modal to the window; returns at once
    return open;
}

QString WidgetDialogs::inputBox(const QString &prompt, const QString &title, const QString &defaultText)
{
    if (m_silenced)
        return QString();
    QInputDialog box(m_parent);
    box.setWindowTitle(title.isEmpty() ? QString::fromLatin1(kApplicationTitle) : title);
    box.setLabelText(prompt);
    box.setTextValue(defaultText);
    box.setInputMode(QInputDialog::TextInput);
    return box.exec() == QDialog::Accepted ? box.textValue() : QString();
}

QStringList openDialogFilters(const QString &filter, bool systemDialog)
{
    // "Description|pattern;pattern|Description|pattern...": each description
    // is shown with its patterns ("Halvern Firmware Files (H*.S19)").
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString &pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts))
            patterns << pattern.trimmed();
        const QString own = QStringLiteral(" (%1)").arg(patterns.join(QLatin1Char(' ')));
        const QString shown = parts[i].endsWith(own) ? parts[i] : parts[i] + own;
        if (systemDialog) {
            // The system matches names without regard to case itself.
            filters << shown;
            continue;
        }
        // Qt's own dialog matches the last group, hidden from view, and
        // shows the rest: the firmware names mix both cases.
        for (QString &pattern : patterns)
            pattern = caseBlindPattern(pattern);
        filters << QStringLiteral("%1 (%2)").arg(shown, patterns.join(QLatin1Char(' ')));
    }
    return filters;
}

std::unique_ptr<QFileDialog> WidgetDialogs::makeOpenDialog(QWidget *parent, const QString &title,
                                                           const QString &filter,
                                                           const QString &initialFolder)
{
    auto dialog = std::make_unique<QFileDialog>(parent, title, initialFolder);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
#ifdef Q_OS_WIN
    // The system's own dialog, with its places, its view of the folders and its names.
    if (!filter.isEmpty())
        dialog->setNameFilters(openDialogFilters(filter, true));
    return dialog;
#else
    // Qt's own dialog, so the patterns below behave the same on every desktop.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    if (!filter.isEmpty())
        dialog->setNameFilters(openDialogFilters(filter, false));
    // Name, size, type and date in full: the columns grow to their contents
    // whenever a folder has been read.
    dialog->setViewMode(QFileDialog::Detail);
    dialog->resize(760, 440);
    // Room for the places' names beside the list.
    if (auto *splitter = dialog->findChild<QSplitter *>(QStringLiteral("splitter")))
        splitter->setSizes({170, 590});
    if (auto *model = dialog->findChild<QFileSystemModel *>()) {
        QFileDialog *shown = dialog.get();
        QObject::connect(model, &QFileSystemModel::directoryLoaded, shown, [shown] {
            if (auto *view = shown->findChild<QTreeView *>(QStringLiteral("treeView")))
                for (int column = 0; column < view->model()->columnCount(view->rootIndex()); ++column)
                    view->resizeColumnToContents(column);
        });
    }
    return dialog;
#endif
}

QString WidgetDialogs::openFile(const QString &title, const QString &filter, const QString &initialFolder)
{
    if (m_silenced)
        return QString();
    auto dialog = makeOpenDialog(m_parent, title, filter, initialFolder);
    if (dialog->exec() != QDialog::Accepted)
        return QString();
    const QStringList chosen = dialog->selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.first();
}

PowerCycleBox::PowerCycleBox(QWidget *parent, const QString &text, const QString &title, Clock &clock)
    : QMessageBox(parent), m_timer(clock.timer(true, [this] { tick(); })),
      m_left(messages::kPowerCycleSeconds)
{
    prepare(*this, text + QStringLiteral("\n\n") + QString::fromLatin1(messages::kPowerCycleCable), title,
            MessageIcon::None);
    m_ok = addButton(QMessageBox::Ok);
    m_ok->setAutoDefault(false);
    m_ok->setEnabled(false);
    setDefaultButton(static_cast<QPushButton *>(nullptr));
    setEscapeButton(static_cast<QAbstractButton *>(nullptr));
    m_ok->setText(QString::fromLatin1(messages::kPowerCycleCountdown).arg(m_left));
    setInformativeText(QString::fromLatin1(messages::kPowerCycleSecondsLeft).arg(m_left));
    m_timer->start(std::chrono::seconds(1));
}

PowerCycleBox::~PowerCycleBox() = default;

void PowerCycleBox::tick()
{
    if (--m_left > 0) {
        m_ok->setText(QString::fromLatin1(messages::kPowerCycleCountdown).arg(m_left));
        setInformativeText(QString::fromLatin1(messages::kPowerCycleSecondsLeft).arg(m_left));
        return;
    }
    m_timer->stop();
    setInformativeText(QString::fromLatin1(messages::kPowerCycleNow));
    m_ok->setText(tr("OK"));
    m_ok->setEnabled(true);
    m_ok->setAutoDefault(true);
    setDefaultButton(m_ok);
    setEscapeButton(m_ok);
    m_ok->setFocus();
}

void PowerCycleBox::showEvent(QShowEvent *event)
{
    QMessageBox::showEvent(event);
    // The button box makes its OK the default as it shows: not before the count has run.
    m_ok->setDefault(m_left <= 0);
}

void PowerCycleBox::closeEvent(QCloseEvent *event)
{
    if (m_left > 0) {
        event->ignore();
        return;
    }
    QMessageBox::closeEvent(event);
}

bool powerCycleBox(QWidget *parent, const QString &text, const QString &title, Clock &clock)
{
    PowerCycleBox box(parent, text, title, clock);
    box.exec();
    return true;
}

bool WidgetDialogs::powerCycle(const QString &text, const QString &title)
{
    return m_clock ? powerCycleBox(m_parent, text, title, *m_clock) : Dialogs::powerCycle(text, title);
}

std::optional<QString> WidgetDialogs::chooseScanner()
{
    if (m_silenced)
        return std::nullopt;
    if (!m_chooser)
        return QString();
    return m_chooser(m_parent);
}

} // namespace romwright

#pragma once
// The help class of the main window: it opens pages of a compiled help file
// in the help viewer, looks up keywords, shows text pop-ups, registers help
// files and checks the installed help components. Every message it shows is
// captioned "HTML Help Class". The program itself opens the contents and a
// page and closes the viewer (HTMLHelp.cpp); the other operations are
// defined apart, in HTMLHelpUncalled.cpp.

#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/HelpViewer.h"
#include "platform/Registry.h"

#include <QString>
#include <cstdint>

namespace romwright {

inline constexpr const char *kDamagedHelpFileMessage = "The help file %1 is damaged and cannot be shown.";

class HTMLHelp {
public:
    HTMLHelp(HelpViewer &viewer, Dialogs &dialogs, Registry &registry, const FileSystem &files,
             QString programFolder);

    // Operations. callingForm is the calling window (0: none); it becomes the
    // owner of the help window only when HHShowOnTop is set.
    void HHDeleteJumpURLSysMenu(WindowHandle HH_hWnd);
    void HHDisplayTopicURL(WindowHandle callingForm = 0);
    void HHDisplayTopicID(WindowHandle callingForm = 0);
    void HHDisplaySearch(WindowHandle callingForm = 0);
    void HHDisplayKeyword(WindowHandle callingForm = 0);
    void HHDisplayIndex(WindowHandle callingForm = 0);
    void HHDisplayContents(WindowHandle callingForm = 0);
    void HHDisplayALink(WindowHandle callingForm = 0);
    void HHRegister(const QString &fileToRegister);
    void HHUnRegister(const QString &fileToUnRegister);
    void HHCheckRegistry(const QString &fileToCheck);
    void HHClose();
    void HHDisplayPopup(WindowHandle callingForm = 0);
    void HHInvokeWhatsThisHelp(WindowHandle callingForm);
    bool HHVerifyMinConfig(std::int32_t minHHVersion, std::int32_t minIEVersion);
    // True when the file exists; a bare name is looked for in the registry,
    // then in the program's folder, and fileToFind becomes the full path.
    bool EnsureFileExists(QString &fileToFind);
    QString HHSetHelpFile(std::int16_t intSelHelpFile) const;

    // Properties.
    QString CHMFile() const { return m_CHMFile; }
    void setCHMFile(const QString &v) { m_CHMFile = v; }
    QString HHWindow() const { return m_HHWindow; }
    void setHHWindow(const QString &v) { m_HHWindow = v; }
    QString HHTopicURL() const { return m_HHTopicURL; }
    void setHHTopicURL(const QString &v) { m_HHTopicURL = v; }
    std::int32_t HHTopicID() const { return m_HHTopicID; }
    void setHHTopicID(std::int32_t v) { m_HHTopicID = v; }
    QString HHKeyword() const { return m_HHKeyword; }
    void setHHKeyword(const QString &v) { m_HHKeyword = v; }
    QString HHALink() const { return m_HHALink; }
    void setHHALink(const QString &v) { m_HHALink = v; }
    QString HHDefaultURL() const { return m_HHDefaultURL; }
    void setHHDefaultURL(const QString &v) { m_HHDefaultURL = v; }
    QString HHMsgText() const { return m_HHMsgText; }
    void setHHMsgText(const QString &v) { m_HHMsgText = v; }
    QString HHMsgTitle() const { return m_HHMsgTitle; }
    void setHHMsgTitle(const QString &v) { m_HHMsgTitle = v; }
    bool HHShowOnTop() const { return m_HHShowOnTop; }
    void setHHShowOnTop(bool v) { m_HHShowOnTop = v; }

    void setHHPopupType(std::int32_t v) { m_HHPopupType = v; }
    void setHHPopupFile(const QString &v) { m_HHPopupFile = v; }
    void setHHPopupID(std::int32_t v) { m_HHPopupID = v; }
    void setHHPopupText(const QString &v) { m_HHPopupText = v; }
    void setHHPopupTextColor(std::uint32_t bgr) { m_HHPopupTextColor = bgr; }
    void setHHPopupBackColor(std::uint32_t bgr) { m_HHPopupBackColor = bgr; }
    void setHHPopupCustomTextColor(std::uint32_t bgr) { m_HHPopupCustomTextColor = bgr; }
    void setHHPopupCustomBackColor(std::uint32_t bgr) { m_HHPopupCustomBackColor = bgr; }
    bool HHPopupCustomColors() const { return m_HHPopupCustomColors; }
    void setHHPopupCustomColors(bool v) { m_HHPopupCustomColors = v; }
    void setHHPopupTextFont(const QString &v) { m_HHPopupTextFont = v; }
    void setHHPopupTextSize(const QString &v) { m_HHPopupTextSize = v; }
    void setHHPopupTextBold(bool v) { m_HHPopupTextBold = v; }
    void setHHPopupTextItalic(bool v) { m_HHPopupTextItalic = v; }
    void setHHPopupTextUnderline(bool v) { m_HHPopupTextUnderline = v; }

    QString HHRegFileName() const { return m_HHRegFileName; }
    QString HHRegFilePath() const { return m_HHRegFilePath; }
    bool HHRegFileExists() const { return m_HHRegFileExists; }
    bool HHInstalled() const;
    QString HHVersion(); // runs the help-viewer check each time
    QString IEVersion(); // runs the browser check each time
    QString HHFriendlyName();
    QString IEFriendlyName();
    // The window shown by the last display call; warns and answers 0 when there is none.
    WindowHandle HHWndHandle() const;

    // The pop-up's font description: "Arial, 10, ascii, " plus "Bold ", "Italic ", "Underline".
    QString popupFontDescription() const;

    // Where help files are registered: one value per file name, holding its folder.
    static const QString kRegistrationKey;

private:
    bool checkHelpFile(QString &fileArgument);
    void display(WindowHandle callingForm, HelpCommand command, const HelpData &data, bool openFirst = false);
    HelpLinkQuery linkQuery(const QString &keywords) const;
    void lookUpRegistration(const QString &file);
    QString checkComponent(const QString &classKey, const QString &notRegistered, const QString &notFound);
    void warn(const QString &text, MessageIcon icon) const;

    HelpViewer &m_viewer;
    Dialogs &m_dialogs;
    Registry &m_registry;
    const FileSystem &m_files;
    QString m_programFolder;

    QString m_CHMFile, m_HHWindow, m_HHTopicURL;
    std::int32_t m_HHTopicID = 0;
    QString m_HHKeyword, m_HHALink, m_HHDefaultURL, m_HHMsgText, m_HHMsgTitle;
    bool m_HHShowOnTop = false;
    std::int32_t m_HHPopupType = 0;
    QString m_HHPopupFile;
    std::int32_t m_HHPopupID = 0;
    QString m_HHPopupText;
    std::uint32_t m_HHPopupTextColor = 0, m_HHPopupBackColor = 0;
    std::uint32_t m_HHPopupCustomTextColor = 0, m_HHPopupCustomBackColor = 0;
    bool m_HHPopupCustomColors = false;
    QString m_HHPopupTextFont, m_HHPopupTextSize;
    bool m_HHPopupTextBold = false, m_HHPopupTextItalic = false, m_HHPopupTextUnderline = false;
    QString m_HHRegFileName, m_HHRegFilePath;
    bool m_HHRegFileExists = false;
    QString m_HHVersion, m_IEVersion, m_HHFriendlyName, m_IEFriendlyName;
    WindowHandle m_HHWndHandle = 0;
};

} // namespace romwright

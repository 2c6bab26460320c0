#pragma once

#include <QString>
#include <filesystem>

class QWidget;

namespace quendrolix::app {

class HelpWindow;

// The HTML manual that comes with the program: the folder "VareZazu" beside the
// executable (a build tree) or under share/quendrolix (an install), else one in the program
// folder. Empty when none exists.
std::filesystem::path HelpFolder();
// The file of a topic ("index.htm", "faq/troubleshooting.htm", ...); empty when the
// manual or the page is not there.
std::filesystem::path HelpPage(const QString& topic);

// Shows a topic in the program's help window (made on first use, one for the program).
// Without the manual or the page, nothing is shown. True when the page is shown.
bool ShowHelpTopic(const QString& topic);
// The help window, or null while none has been opened.
HelpWindow* CurrentHelpWindow();
// The manual's home page in the desktop's browser (the "web site" item). True when the
// page was handed to the browser.
bool OpenManualInBrowser();

// The topic of a dialog's page ("dialogs/frame_replication.htm"), by its class and title;
// empty for a window the manual has no page for.
QString DialogHelpTopic(const QString& className, const QString& title);
// Gives every dialog of the program that has a page its way there: a "Help" button in its
// button box (unless it has one) and the F1 key. Installed once on the application.
void InstallDialogHelp();

inline constexpr const char* kHelpContents = "index.htm";
inline constexpr const char* kHelpTroubleshooting = "faq/troubleshooting.htm";
inline constexpr const char* kHelpFirstAnimation = "Tutorials/your_first_animation.htm";
inline constexpr const char* kHelpAutoPaste = "Tutorials/smart_paste.htm";
inline constexpr const char* kHelpWebPages = "Tutorials/using_media_files_in_web_pages.htm";
inline constexpr const char* kHelpImageEditor = "dialogs/image_editor.htm";
inline constexpr const char* kHelpPlayer = "dialogs/player.htm";

}  // namespace quendrolix::app

#pragma once

#include <QString>
#include <filesystem>

namespace quendrolix::app {

// The HTML help pages: the folder "VareZazu" that comes with the program, else one in the
// program folder. Empty when neither exists.
std::filesystem::path HelpFolder();
// Opens a page of the help folder ("index.htm", "faq/troubleshooting.htm", ...) in the
// desktop's browser. Without the help folder or the page, nothing happens. True when the
// page was handed to the browser.
bool ShowHelpTopic(const QString& topic);

inline constexpr const char* kHelpContents = "index.htm";
inline constexpr const char* kHelpTroubleshooting = "faq/troubleshooting.htm";
inline constexpr const char* kHelpFirstAnimation = "Tutorials/your_first_animation.htm";
inline constexpr const char* kHelpAutoPaste = "Tutorials/smart_paste.htm";
inline constexpr const char* kHelpWebPages = "Tutorials/using_media_files_in_web_pages.htm";

}  // namespace quendrolix::app

#include "help_topics.h"

#include <QDesktopServices>
#include <QUrl>

#include "platform/host/program_folder.h"

namespace quendrolix::app {
namespace fs = std::filesystem;

fs::path HelpFolder() {
  std::error_code ec;
  for (const fs::path& folder :
       {ProgramFolder::DataFile("VareZazu"), ProgramFolder::Get() / "VareZazu"}) {
    if (fs::is_directory(folder, ec)) return folder;
  }
  return {};
}

bool ShowHelpTopic(const QString& topic) {
  fs::path folder = HelpFolder();
  if (folder.empty()) return false;
  fs::path page = folder / topic.toStdString();
  std::error_code ec;
  if (!fs::is_regular_file(page, ec)) return false;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(page.string())));
}

}  // namespace quendrolix::app

#include "tool_tips.h"

namespace quendrolix::app {

QString TitledToolTip(const char* text) {
  QString all = QString::fromUtf8(text);
  qsizetype split = all.indexOf('\r');
  QString title = split < 0 ? all : all.left(split);
  QString body = split < 0 ? QString() : all.mid(split + 1);
  QString html = "<b>" + title.toHtmlEscaped() + "</b>";
  if (!body.isEmpty()) html += "<br>" + body.toHtmlEscaped().replace('\n', "<br>");
  return html;
}

}  // namespace quendrolix::app

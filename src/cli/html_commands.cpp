// vyrelle-cli html: the body conversions from the command line. "text"
// turns a plain-text file into HTML with links; "rtf" and "plain" convert a
// rich-text body form (RTF followed by "{RTFBGCOLOR}=" and the background)
// as the sender does.
#include <ostream>

#include "cli/cli_context.h"
#include "mail/body/body_converter.h"
#include "mail/body/text_to_html.h"
#include "platform/file_system.h"

namespace vyr::cli {

int RunHtmlCommand(Context& c, const std::vector<std::string>& args) {
  if (args.size() != 2 || (args[0] != "text" && args[0] != "rtf" && args[0] != "plain")) {
    return Usage(c.err, "html text FILE | html rtf FILE | html plain FILE");
  }
  std::string contents;
  if (!platform::ReadWholeFile(args[1], contents)) {
    c.err << "vyrelle-cli: cannot read " << args[1] << "\n";
    return 1;
  }
  if (args[0] == "text") {
    c.out << TextToHtml(contents);
    return 0;
  }
  BodyConverter converter(&c.messages);
  if (args[0] == "plain") {
    c.out << converter.RichTextToPlainText(contents);
    return 0;
  }
  bool needsHtml = false;
  c.out << converter.RichTextToHtml(contents, needsHtml);
  c.err << "needs-html: " << (needsHtml ? 1 : 0) << "\n";
  return 0;
}

}  // namespace vyr::cli

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

namespace {

// form: "text", "rtf" or "plain".
int ConvertCommand(Context& c, const std::string& form, const std::string& file) {
  std::string contents;
  if (!platform::ReadWholeFile(file, contents)) {
    c.err << "vyrelle-cli: cannot read " << file << "\n";
    return 1;
  }
  if (form == "text") {
    c.out << TextToHtml(contents);
    return 0;
  }
  BodyConverter converter(&c.messages);
  if (form == "plain") {
    c.out << converter.RichTextToPlainText(contents);
    return 0;
  }
  bool needsHtml = false;
  c.out << converter.RichTextToHtml(contents, needsHtml);
  c.err << "needs-html: " << (needsHtml ? 1 : 0) << "\n";
  return 0;
}

}  // namespace

void AddHtmlCommands(CommandTree& tree, CLI::App& html) {
  const std::pair<const char*, const char*> forms[] = {
      {"text", "plain text as HTML with links"},
      {"rtf", "a rich-text body form as HTML, and\n\"needs-html: 0|1\" on standard error"},
      {"plain", "a rich-text body form as plain text"},
  };
  for (const auto& [form, description] : forms) {
    tree.Command(html, form, description,
                 [form = std::string(form)](Context& c, const CLI::App& a) {
                   return ConvertCommand(c, form, Value(a, "FILE"));
                 })
        ->add_option("FILE", "the file to convert")
        ->required();
  }
}

}  // namespace vyr::cli

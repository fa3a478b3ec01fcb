// The body conversions: plain text to HTML with links, and the rich-text
// body form to the HTML and the plain text that are sent.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "mail/body/body_converter.h"
#include "mail/body/rich_text.h"
#include "mail/body/rich_text_layout.h"
#include "mail/body/text_to_html.h"
#include "platform/string_table.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

// --- TextToHtml

std::string H(const std::string& body) { return "<HTML><BODY BGCOLOR=#FFFFFF>" + body + "</HTML></BODY>"; }

const std::string kEight = "&nbsp&nbsp&nbsp&nbsp&nbsp&nbsp&nbsp&nbsp";

TEST(TextToHtmlTest, LinksEscapesSpacesAndLineEnds) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      // Web links lose the sentence's full stop or comma, keep inner ones, and
      // run to white space of any kind; the case must match.
      {"See http://www.example.com/page.", "See  <A HREF=http://www.example.com/page>http://www.example.com/page</A>."},
      {"Visit www.example.com, then", "Visit  <A HREF=http://www.example.com>www.example.com</A>,  then"},
      {"http://a.b/x,y.z", "<A HREF=http://a.b/x,y.z>http://a.b/x,y.z</A>"},
      {"www.a.org\tb", "<A HREF=http://www.a.org>www.a.org</A>\t" + kEight + "b"},
      {"HTTP://X.ORG WWW.Y.ORG hw http:/ ww.x", "HTTP://X.ORG  WWW.Y.ORG  hw  http:/  ww.x"},
      // Mail links need mail characters on both sides of the "@".
      {"Mail me@x.org.", "Mail  <A HREF=mailto:me@x.org>me@x.org</A>."},
      {"<me@x.org>", "&#60<A HREF=mailto:me@x.org>me@x.org</A>&#62"},
      {"@start end@ a @b a@ b x(@)y", "@start  end@  a  @b  a@  b  x(@)y"},
      {"a\"@b a:@b a;@b a,@b a[@]b a\\@b", "a&#34@b  a:@b  a;@b  a,@b  a[@]b  a\\@b"},
      // Links never overlap and never hide later ones; at the same start the web link wins.
      {"http://x.org/u@v.com then w@z.org",
       "<A HREF=http://x.org/u@v.com>http://x.org/u@v.com</A>  then  <A HREF=mailto:w@z.org>w@z.org</A>"},
      {"user@www.example.com and www.q.com",
       "<A HREF=mailto:user@www.example.com>user@www.example.com</A>  and  <A HREF=http://www.q.com>www.q.com</A>"},
      // Four escapes without semicolons, unless a digit or a semicolon follows.
      {"\"&<>", "&#34&#38&#60&#62"},
      {"x<5 & y>2;", "x&#60;5  &#38  y&#62;2;"},
      // Spaces, tabs, line feeds; carriage returns unchanged.
      {"a   b", "a   &nbsp &nbspb"},
      {"a  ;", "a   &nbsp;;"},
      {"\t;", "\t" + kEight + ";;"},
      {"a\r\nb\nc\rd", "a\r<BR>b<BR>c\rd"},
      // Link text cannot break out of the anchor.
      {"http://x/<b>\"q\"&amp", "<A HREF=http://x/&#60b&#62&#34q&#34&#38amp>http://x/&#60b&#62&#34q&#34&#38amp</A>"},
  };
  for (const auto& [text, body] : cases) EXPECT_EQ(TextToHtml(text), H(body)) << text;
}

// --- RichTextToHtml

// Every character is 100 twips wide: 84 to a line.
class FixedMeasurer : public TextMeasurer {
 public:
  bool Available() override { return true; }
  int Width(std::string_view utf8, const CharFormat&) override {
    int chars = 0;
    for (size_t i = 0; i < utf8.size(); i += Utf8Length(utf8, i)) ++chars;
    return chars * 100;
  }
};

class UnavailableMeasurer : public FixedMeasurer {
 public:
  bool Available() override { return false; }
};

CharFormat Format(std::string face, int height, ColorRef color = kBlack, bool b = false, bool i = false, bool u = false) {
  return CharFormat{CharFormat::kAll, color, height, std::move(face), b, i, u};
}

const CharFormat kArial = Format("Arial", 240);
const CharFormat kBold = Format("Arial", 240, kBlack, true);

std::string Rtf(const std::string& body) { return "<HTML><BODY BGCOLOR=#FFFFFF>" + body + "</BODY></HTML>"; }

struct Converted {
  std::string html;
  bool needsHtml = true;
};

// Converts the body form of the document, as the sender does.
Converted Convert(const RichTextDocument& doc) {
  BodyConverter converter(nullptr, std::make_unique<FixedMeasurer>());
  Converted c;
  c.html = converter.RichTextToHtml(GetBodyRichText(doc), c.needsHtml);
  return c;
}

Converted ConvertText(const std::string& text, const CharFormat& format = kArial) {
  RichTextDocument doc;
  doc.Append(text, format);
  return Convert(doc);
}

TEST(HtmlConversionTest, UnformattedTextNeedsNoHtml) {
  const std::pair<std::string, std::string> cases[] = {
      {"one\ntwo\n\nfour", "one\r\n<BR>two\r\n<BR>\r\n<BR>four"},
      {"a  b\tc", "a&nbsp;&nbsp;b&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;c"},
      // Links; a word with "@" anywhere is a mail address; characters above
      // 127 end a link word.
      {"see www.example.com, ok", "see&nbsp;<A HREF=http://www.example.com>www.example.com</A>,&nbsp;ok"},
      {"HTTP://X.ORG Www.Y.org", "<A HREF=HTTP://X.ORG>HTTP://X.ORG</A>&nbsp;<A HREF=http://Www.Y.org>Www.Y.org</A>"},
      {"(me@x.org) a@ @", "(<A HREF=mailto:me@x.org>me@x.org</A>)&nbsp;<A HREF=mailto:a@>a@</A>&nbsp;<A HREF=mailto:@>@</A>"},
      {"xhttp://a [www.a.b]", "x<A HREF=http://a>http://a</A>&nbsp;[<A HREF=http://www.a.b>www.a.b</A>]"},
      {"www.caf\xC3\xA9.fr", "<A HREF=http://www.caf>www.caf</A>\xC3\xA9.fr"},
  };
  for (const auto& [text, body] : cases) {
    const Converted c = ConvertText(text);
    EXPECT_EQ(c.html, Rtf(body)) << text;
    EXPECT_FALSE(c.needsHtml) << text;
  }
}

TEST(HtmlConversionTest, TypedMarkupIsEscapedAndOnlyRawBlocksPassAsTheyStand) {
  // "a<b" followed by bold text keeps both.
  RichTextDocument doc;
  doc.Append("a<b ", kArial);
  doc.Append("bold", kBold);
  Converted c = Convert(doc);
  EXPECT_EQ(c.html, Rtf("a&lt;b&nbsp;<B>bold</B>"));
  EXPECT_TRUE(c.needsHtml);
  c = ConvertText("<i>x</i> & y > z &amp;");
  EXPECT_EQ(c.html, Rtf("&lt;i&gt;x&lt;/i&gt;&nbsp;&amp;&nbsp;y&nbsp;&gt;&nbsp;z&nbsp;&amp;amp;"));
  EXPECT_FALSE(c.needsHtml);
  EXPECT_EQ(ConvertText("go http://x.org/a?b=1&c=2 now").html,
            Rtf("go&nbsp;<A HREF=http://x.org/a?b=1&amp;c=2>http://x.org/a?b=1&amp;c=2</A>&nbsp;now"));
  // A face name cannot end its attribute.
  RichTextDocument face;
  face.Append("a", kArial);
  face.Append("b", Format("Odd\"><x", 240));
  EXPECT_EQ(Convert(face).html, Rtf("a\r\n<FONT COLOR=\"#000000\" SIZE=3 FACE=\"Odd&quot;&gt;&lt;x\">b</FONT>"));

  // Raw blocks: any case, kept as typed with their line ends, the rest of
  // the text when unclosed; conversion goes on after them.
  const std::pair<std::string, std::string> raw[] = {
      {"a <nhtml><b>x</b>  www.y.com a@b &amp;</nhtml> c<d", "a&nbsp;<b>x</b>  www.y.com a@b &amp;&nbsp;c&lt;d"},
      {"x <NHTML>rest  of\tit", "x&nbsp;rest  of\tit"},
      {"<nhtml></nhtml>z", "z"},
      {"<nhtml>one\ntwo</nhtml>\nafter  it", "one\r\ntwo\r\n<BR>after&nbsp;&nbsp;it"},
  };
  for (const auto& [text, body] : raw) {
    c = ConvertText(text);
    EXPECT_EQ(c.html, Rtf(body)) << text;
    EXPECT_FALSE(c.needsHtml) << text;
  }
  RichTextDocument after;
  after.Append("<nhtml>raw</nhtml>", kArial);
  after.Append("bold", kBold);
  EXPECT_EQ(Convert(after).html, Rtf("raw<B>bold</B>"));
}

TEST(HtmlConversionTest, StylesCentringAndFonts) {
  // (The editor's fixture below shows runs of every style; here the rules
  // at the edges.) What is open closes at the end in this order; right
  // alignment is not centring; a coloured first character gets its tag at
  // once, and after a font change every run gets its own tag.
  RichTextDocument doc;
  doc.Append("red\n", Format("Arial", 240, Rgb(255, 0, 0)));
  doc.SetParagraphFormat(ParaFormat{true, Alignment::Right});
  doc.Append("r\n", kArial);
  doc.SetParagraphFormat(ParaFormat{true, Alignment::Center});
  doc.Append("mid", Format("Arial", 240, kBlack, true, true, true));
  const Converted c = Convert(doc);
  EXPECT_EQ(c.html, Rtf("\r\n<FONT COLOR=\"#FF0000\" SIZE=3 FACE=\"Arial\">red\r\n<BR></FONT>\r\n<FONT COLOR=\"#000000\" "
                        "SIZE=3 FACE=\"Arial\">r\r\n<BR><CENTER><B><I><U>mid</CENTER></B></I></U></FONT>"));
  EXPECT_TRUE(c.needsHtml);
}

TEST(HtmlConversionTest, EveryWrapOfALongParagraphGetsABreak) {
  // Twelve words of seven characters fill a line of 84.
  std::string text, body;
  for (int k = 0; k < 24; ++k) {
    const std::string word = "word" + std::string(k < 10 ? "0" : "") + std::to_string(k);
    text += word + " ";
    body += (k == 12 ? "<BR>" : "") + word + "&nbsp;";
  }
  text += "www.example.com end";
  body += "<BR><A HREF=http://www.example.com>www.example.com</A>&nbsp;end";
  const Converted c = ConvertText(text);
  EXPECT_EQ(c.html, Rtf(body)) << "a link starting a line gets the break before it";
  EXPECT_FALSE(c.needsHtml);

  // The converter lays out with the system's fonts unless told otherwise.
  ASSERT_TRUE(SystemTextMeasurer().Available()) << "no usable font: install fonts-dejavu-core";
  RichTextDocument doc;
  doc.Append(text + text, Format("Times New Roman", 240));
  bool needsHtml = true;
  EXPECT_NE(BodyConverter().RichTextToHtml(GetBodyRichText(doc), needsHtml).find("<BR>"), std::string::npos);
}

TEST(HtmlConversionTest, BackgroundsOtherThanWhiteNeedHtmlAndPlainTextHasCrLfLineEnds) {
  BodyConverter converter(nullptr, std::make_unique<FixedMeasurer>());
  bool needsHtml = false;
  EXPECT_EQ(converter.RichTextToHtml("{\\rtf1 x}{RTFBGCOLOR}=5649426", needsHtml),
            "<HTML><BODY BGCOLOR=#123456>x</BODY></HTML>");
  EXPECT_TRUE(needsHtml);
  converter.RichTextToHtml("{\\rtf1 x}{RTFBGCOLOR}=16777214", needsHtml);
  EXPECT_TRUE(needsHtml);
  // Each body starts white.
  EXPECT_EQ(converter.RichTextToHtml("{\\rtf1 a}", needsHtml), Rtf("a"));
  EXPECT_FALSE(needsHtml);

  RichTextDocument doc;
  doc.Append("a\nb\vc\td\n\ne <x>&", Format("Arial", 200, Rgb(1, 2, 3), true));
  EXPECT_EQ(converter.RichTextToPlainText(GetBodyRichText(doc)), "a\r\nb\r\nc\td\r\n\r\ne <x>&");
  EXPECT_EQ(converter.RichTextToPlainText("{\\rtf1 caf\\'e9\\par}{RTFBGCOLOR}=0"), "caf\xC3\xA9");
  EXPECT_EQ(converter.Background(), kBlack);
  EXPECT_EQ(converter.RichTextToPlainText("not rtf\nat all"), "not rtf\r\nat all");
}

TEST(HtmlConversionTest, WithoutTextMeasurementTheBodyStillConverts) {
  platform::SetStringLanguage(platform::Language::English);
  test::RecordingMessageBox box;
  BodyConverter converter(&box, std::make_unique<UnavailableMeasurer>());
  RichTextDocument doc;
  doc.Append(std::string(300, 'z') + " tail\nnext", kArial);
  bool needsHtml = true;
  EXPECT_EQ(converter.RichTextToHtml(GetBodyRichText(doc), needsHtml),
            Rtf(std::string(300, 'z') + "&nbsp;tail\r\n<BR>next"));
  EXPECT_FALSE(needsHtml);
  converter.RichTextToPlainText(GetBodyRichText(doc));  // plain text needs no layout
  ASSERT_EQ(box.boxes.size(), 1u);
  EXPECT_EQ(box.boxes[0].text, "Error Creating RichEdit");
}

TEST(HtmlConversionTest, RtfFromAnEditorConvertsByteForByte) {
  BodyConverter converter(nullptr, std::make_unique<FixedMeasurer>());
  bool needsHtml = false;
  const std::string html = converter.RichTextToHtml(
      test::ReadFile(std::string(VYRELLE_TEST_FIXTURES_DIR) + "/rtf/editor_style.rtf") + "{RTFBGCOLOR}=16777215",
      needsHtml);
  EXPECT_TRUE(needsHtml);
  EXPECT_EQ(html,
            Rtf("Hello&nbsp;<B>bold</B>&nbsp;and&nbsp;<I>italic</I>&nbsp;and&nbsp;<U>underlined</U>"
                "&nbsp;text.\r\n<BR><CENTER>\r\n<FONT COLOR=\"#0000FF\" SIZE=2 FACE=\"Arial\">"
                "Centred&nbsp;blue</FONT>\r\n<FONT COLOR=\"#000000\" SIZE=2 FACE=\"Arial\">\r\n"
                "<BR></CENTER></FONT>\r\n<FONT COLOR=\"#000000\" SIZE=3 FACE=\"Courier New\">"
                "Right&nbsp;in&nbsp;Courier&nbsp;14\r\n<BR></FONT>\r\n<FONT COLOR=\"#000000\" SIZE=2 "
                "FACE=\"Arial\">Na\xC3\xAFve&nbsp;caf\xC3\xA9&nbsp;\xE2\x82\xAC&nbsp;5,&nbsp;tab"
                "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;end\r\n<BR>second&nbsp;line</FONT>"));
}

}  // namespace
}  // namespace vyr

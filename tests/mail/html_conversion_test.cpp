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

// ---------------------------------------------------------------------------
// TextToHtml
// ---------------------------------------------------------------------------

std::string H(const std::string& body) {
  return "<HTML><BODY BGCOLOR=#FFFFFF>" + body + "</HTML></BODY>";
}

size_t Count(const std::string& s, const std::string& what) {
  size_t n = 0;
  for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + what.size())) ++n;
  return n;
}

TEST(TextToHtmlTest, FrameAndAppending) {
  EXPECT_EQ(TextToHtml(""), H(""));
  std::string out = "kept:";
  TextToHtml("x", out);
  EXPECT_EQ(out, "kept:" + H("x"));
}

TEST(TextToHtmlTest, WebLinksKeepTheSentencePunctuationOutside) {
  EXPECT_EQ(TextToHtml("See http://www.example.com/page."),
            H("See  <A HREF=http://www.example.com/page>http://www.example.com/page</A>."));
  EXPECT_EQ(TextToHtml("Visit www.example.com, then"),
            H("Visit  <A HREF=http://www.example.com>www.example.com</A>,  then"));
  EXPECT_EQ(TextToHtml("www.example.com..."),
            H("<A HREF=http://www.example.com>www.example.com</A>..."));
  // Inner full stops and commas stay.
  EXPECT_EQ(TextToHtml("http://a.b/x,y.z"), H("<A HREF=http://a.b/x,y.z>http://a.b/x,y.z</A>"));
  // A link runs to white space of any kind.
  EXPECT_EQ(TextToHtml("www.a.org\tb"),
            H("<A HREF=http://www.a.org>www.a.org</A>\t&nbsp&nbsp&nbsp&nbsp&nbsp&nbsp&nbsp&nbspb"));
  EXPECT_EQ(TextToHtml("www.a.org\r\nb"), H("<A HREF=http://www.a.org>www.a.org</A>\r<BR>b"));
  // Starting inside a word counts too; the case must match.
  EXPECT_EQ(TextToHtml("xwww.a.org"), H("x<A HREF=http://www.a.org>www.a.org</A>"));
  EXPECT_EQ(TextToHtml("HTTP://X.ORG WWW.Y.ORG"), H("HTTP://X.ORG  WWW.Y.ORG"));
  EXPECT_EQ(TextToHtml("hw h w http:/ ww.x"), H("hw  h  w  http:/  ww.x"));
}

TEST(TextToHtmlTest, TextEndingWithALinkEndsWithTheAnchor) {
  EXPECT_EQ(TextToHtml("go to www.x.org"), H("go  to  <A HREF=http://www.x.org>www.x.org</A>"));
  EXPECT_EQ(TextToHtml("mail me@x.org"), H("mail  <A HREF=mailto:me@x.org>me@x.org</A>"));
  EXPECT_EQ(TextToHtml("http://"), H("<A HREF=http://>http://</A>"));
}

TEST(TextToHtmlTest, MailLinksNeedMailCharactersOnBothSides) {
  EXPECT_EQ(TextToHtml("me@example.org"), H("<A HREF=mailto:me@example.org>me@example.org</A>"));
  EXPECT_EQ(TextToHtml("Mail me@x.org."), H("Mail  <A HREF=mailto:me@x.org>me@x.org</A>."));
  EXPECT_EQ(TextToHtml("<me@x.org>"), H("&#60<A HREF=mailto:me@x.org>me@x.org</A>&#62"));
  EXPECT_EQ(TextToHtml("(first.last+tag@sub.x-y.org)"),
            H("(<A HREF=mailto:first.last+tag@sub.x-y.org>first.last+tag@sub.x-y.org</A>)"));
  // First or last character, or a bad neighbour: no link.
  EXPECT_EQ(TextToHtml("@start"), H("@start"));
  EXPECT_EQ(TextToHtml("end@"), H("end@"));
  EXPECT_EQ(TextToHtml("@"), H("@"));
  EXPECT_EQ(TextToHtml("a @b"), H("a  @b"));
  EXPECT_EQ(TextToHtml("a@ b"), H("a@  b"));
  EXPECT_EQ(TextToHtml("x(@)y"), H("x(@)y"));
  EXPECT_EQ(TextToHtml("a\"@b"), H("a&#34@b"));
  EXPECT_EQ(TextToHtml("a:@b a;@b a,@b a[@]b a\\@b"), H("a:@b  a;@b  a,@b  a[@]b  a\\@b"));
  EXPECT_EQ(TextToHtml("caf\xC3\xA9@x"), H("caf\xC3\xA9@x"));
  EXPECT_EQ(TextToHtml("a\x01@b"), H("a\x01@b"));
}

TEST(TextToHtmlTest, FourEscapesWithoutSemicolons) {
  EXPECT_EQ(TextToHtml("\"&<>"), H("&#34&#38&#60&#62"));
  EXPECT_EQ(TextToHtml("<b>AT&T</b>"), H("&#60b&#62AT&#38T&#60/b&#62"));
  // A digit or a semicolon after an escape would change what it reads as:
  // then the escape is closed.
  EXPECT_EQ(TextToHtml("x<5 & y>2;"), H("x&#60;5  &#38  y&#62;2;"));
  EXPECT_EQ(TextToHtml("\";"), H("&#34;;"));
  EXPECT_EQ(TextToHtml("&9"), H("&#38;9"));
  // Everything else goes out unchanged.
  EXPECT_EQ(TextToHtml("caf\xC3\xA9 'x' \x7F"), H("caf\xC3\xA9  'x'  \x7F"));
}

TEST(TextToHtmlTest, TabsAndRunsOfSpaces) {
  EXPECT_EQ(TextToHtml("a\tb"), H("a\t&nbsp&nbsp&nbsp&nbsp&nbsp&nbsp&nbsp&nbspb"));
  EXPECT_EQ(TextToHtml("a b"), H("a  b"));
  EXPECT_EQ(TextToHtml("a  b"), H("a   &nbspb"));
  EXPECT_EQ(TextToHtml("a   b"), H("a   &nbsp &nbspb"));
  EXPECT_EQ(TextToHtml(" "), H("  "));
  EXPECT_EQ(TextToHtml("a  ;"), H("a   &nbsp;;"));
  EXPECT_EQ(TextToHtml("\t;"), H("\t&nbsp&nbsp&nbsp&nbsp&nbsp&nbsp&nbsp&nbsp;;"));
}

TEST(TextToHtmlTest, LineFeedsAndCarriageReturns) {
  EXPECT_EQ(TextToHtml("a\r\nb\nc\rd"), H("a\r<BR>b<BR>c\rd"));
}

TEST(TextToHtmlTest, OverlappingLinksNeverLoseLaterOnes) {
  // A mail address inside a web link belongs to the web link; the mail
  // address after it is still found.
  EXPECT_EQ(TextToHtml("http://x.org/u@v.com then w@z.org"),
            H("<A HREF=http://x.org/u@v.com>http://x.org/u@v.com</A>  then  "
              "<A HREF=mailto:w@z.org>w@z.org</A>"));
  // A web address inside a mail address belongs to the mail link.
  EXPECT_EQ(TextToHtml("user@www.example.com and www.q.com"),
            H("<A HREF=mailto:user@www.example.com>user@www.example.com</A>  and  "
              "<A HREF=http://www.q.com>www.q.com</A>"));
  // Both start at the same character: the web link wins.
  EXPECT_EQ(TextToHtml("www.x@y.com"), H("<A HREF=http://www.x@y.com>www.x@y.com</A>"));
  EXPECT_EQ(TextToHtml("www.a.com/x@y b@c.de www.q.com e@f.gh http://h/i@j k@l"),
            H("<A HREF=http://www.a.com/x@y>www.a.com/x@y</A>  <A HREF=mailto:b@c.de>b@c.de</A>  "
              "<A HREF=http://www.q.com>www.q.com</A>  <A HREF=mailto:e@f.gh>e@f.gh</A>  "
              "<A HREF=http://h/i@j>http://h/i@j</A>  <A HREF=mailto:k@l>k@l</A>"));
  // A web link that starts inside a mail link is part of it; the text after
  // the mail link is ordinary text again.
  EXPECT_EQ(TextToHtml("a@www.x(y) www.z.org"),
            H("<A HREF=mailto:a@www.x>a@www.x</A>(y)  <A HREF=http://www.z.org>www.z.org</A>"));
}

TEST(TextToHtmlTest, LinkTextCannotBreakOutOfTheAnchor) {
  EXPECT_EQ(TextToHtml("http://x/<b>\"q\"&amp"),
            H("<A HREF=http://x/&#60b&#62&#34q&#34&#38amp>http://x/&#60b&#62&#34q&#34&#38amp</A>"));
  const std::string out = TextToHtml("www.evil.example/\"><script>alert(1)</script>");
  EXPECT_EQ(out.find("<script>"), std::string::npos);
  EXPECT_EQ(out.find("\">"), std::string::npos);
  EXPECT_EQ(Count(out, "<"), 6u);  // <HTML> <BODY> <A> </A> </HTML> </BODY>
}

TEST(TextToHtmlTest, ManyLinksAndLongWordsConvertInOnePass) {
  std::string text;
  for (int k = 0; k < 50000; ++k) text += "x@y www.a.b ";
  const std::string out = TextToHtml(text);
  EXPECT_EQ(Count(out, "HREF=mailto:x@y>"), 50000u);
  EXPECT_EQ(Count(out, "HREF=http://www.a.b>"), 50000u);
  // One enormous word of mail characters is one link.
  const std::string word = std::string(300000, 'a') + "@b" + std::string(300000, 'c');
  const std::string big = TextToHtml(word + " z");
  EXPECT_EQ(big, H("<A HREF=mailto:" + word + ">" + word + "</A>  z"));
  // "@" characters that never qualify.
  std::string lone;
  for (int k = 0; k < 50000; ++k) lone += "x @ y@ @z ";
  EXPECT_EQ(TextToHtml(lone).find("mailto"), std::string::npos);
}

// ---------------------------------------------------------------------------
// RichTextToHtml
// ---------------------------------------------------------------------------

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

CharFormat Format(const std::string& face, int height, ColorRef color = kBlack, bool bold = false,
                  bool italic = false, bool underline = false) {
  CharFormat f;
  f.face = face;
  f.height = height;
  f.color = color;
  f.bold = bold;
  f.italic = italic;
  f.underline = underline;
  return f;
}

const CharFormat kArial = Format("Arial", 240);

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

TEST(HtmlConversionTest, PlainBlackOnWhiteBodyNeedsNoHtml) {
  Converted c = ConvertText("Hello world");
  EXPECT_EQ(c.html, Rtf("Hello&nbsp;world"));
  EXPECT_FALSE(c.needsHtml);
  // Several paragraphs in one font: still plain.
  c = ConvertText("one\ntwo\n\nfour");
  EXPECT_EQ(c.html, Rtf("one\r\n<BR>two\r\n<BR>\r\n<BR>four"));
  EXPECT_FALSE(c.needsHtml);
  // An empty body.
  c = ConvertText("");
  EXPECT_EQ(c.html, Rtf(""));
  EXPECT_FALSE(c.needsHtml);
}

TEST(HtmlConversionTest, BoldItalicUnderlineRuns) {
  RichTextDocument doc;
  doc.Append("a ", kArial);
  doc.Append("b", Format("Arial", 240, kBlack, true));
  doc.Append(" ", kArial);
  doc.Append("c", Format("Arial", 240, kBlack, false, true));
  doc.Append(" ", kArial);
  doc.Append("d", Format("Arial", 240, kBlack, false, false, true));
  doc.Append(" e", kArial);
  Converted c = Convert(doc);
  EXPECT_EQ(c.html, Rtf("a&nbsp;<B>b</B>&nbsp;<I>c</I>&nbsp;<U>d</U>&nbsp;e"));
  EXPECT_TRUE(c.needsHtml);
}

TEST(HtmlConversionTest, CentringAndTheClosingOrder) {
  RichTextDocument doc;
  doc.Append("left\n", kArial);
  doc.SetParagraphFormat(ParaFormat{true, Alignment::Center});
  doc.Append("mid", Format("Arial", 240, kBlack, true, true, true));
  Converted c = Convert(doc);
  EXPECT_EQ(c.html, Rtf("left\r\n<BR><CENTER><B><I><U>mid</CENTER></B></I></U>"));
  EXPECT_TRUE(c.needsHtml);

  // A centred paragraph between left ones; right alignment is not centring.
  RichTextDocument three;
  three.Append("a\n", kArial);
  three.SetParagraphFormat(ParaFormat{true, Alignment::Center});
  three.Append("b\n", kArial);
  three.SetParagraphFormat(ParaFormat{true, Alignment::Right});
  three.Append("c", kArial);
  c = Convert(three);
  EXPECT_EQ(c.html, Rtf("a\r\n<BR><CENTER>b\r\n<BR></CENTER>c"));
  EXPECT_TRUE(c.needsHtml);

  // Centring from the first character counts as well.
  RichTextDocument first;
  first.SetParagraphFormat(ParaFormat{true, Alignment::Center});
  first.Append("x", kArial);
  c = Convert(first);
  EXPECT_EQ(c.html, Rtf("<CENTER>x</CENTER>"));
  EXPECT_TRUE(c.needsHtml);
}

TEST(HtmlConversionTest, FontChangesGiveEveryLaterRunItsOwnTag) {
  RichTextDocument doc;
  doc.Append("a", kArial);
  doc.Append("b", Format("Courier New", 200));
  doc.Append("c", kArial);
  Converted c = Convert(doc);
  EXPECT_EQ(c.html, Rtf("a\r\n<FONT COLOR=\"#000000\" SIZE=2 FACE=\"Courier New\">b</FONT>"
                        "\r\n<FONT COLOR=\"#000000\" SIZE=3 FACE=\"Arial\">c</FONT>"));
  EXPECT_TRUE(c.needsHtml);

  // A coloured first character gets its tag at the start.
  c = ConvertText("red", Format("Arial", 240, Rgb(255, 0, 0)));
  EXPECT_EQ(c.html, Rtf("\r\n<FONT COLOR=\"#FF0000\" SIZE=3 FACE=\"Arial\">red</FONT>"));
  EXPECT_TRUE(c.needsHtml);

  // The first character's font in any size is the plain font.
  c = ConvertText("big", Format("Georgia", 700));
  EXPECT_EQ(c.html, Rtf("big"));
  EXPECT_FALSE(c.needsHtml);
}

TEST(HtmlConversionTest, SizeTableAndColourText) {
  EXPECT_STREQ(HtmlFontSize(140), "1");
  EXPECT_STREQ(HtmlFontSize(200), "2");
  EXPECT_STREQ(HtmlFontSize(240), "3");
  EXPECT_STREQ(HtmlFontSize(350), "4");
  EXPECT_STREQ(HtmlFontSize(450), "5");
  EXPECT_STREQ(HtmlFontSize(550), "6");
  EXPECT_STREQ(HtmlFontSize(700), "7");
  EXPECT_STREQ(HtmlFontSize(360), "3");
  EXPECT_STREQ(HtmlFontSize(0), "3");
  EXPECT_EQ(HtmlColorText(Rgb(0x12, 0xAB, 0x0F)), "#12AB0F");
  EXPECT_EQ(HtmlColorText(kWhite), "#FFFFFF");

  RichTextDocument doc;
  doc.Append("a", kArial);
  doc.Append("b", Format("Arial", 450, Rgb(0, 0x80, 0xFF)));
  EXPECT_EQ(Convert(doc).html,
            Rtf("a\r\n<FONT COLOR=\"#0080FF\" SIZE=5 FACE=\"Arial\">b</FONT>"));
}

TEST(HtmlConversionTest, SpacesAndTabs) {
  Converted c = ConvertText("a  b\tc");
  EXPECT_EQ(c.html, Rtf("a&nbsp;&nbsp;b&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;c"));
  EXPECT_FALSE(c.needsHtml);
  // Nothing else is escaped: the body may hold HTML of its own.
  c = ConvertText("<i>x</i>&amp;");
  EXPECT_EQ(c.html, Rtf("<i>x</i>&amp;"));
  // Line breaks start visual lines like paragraph ends.
  c = ConvertText("a\vb");
  EXPECT_EQ(c.html, Rtf("a\r\n<BR>b"));
}

// The HTML expected for a one-format paragraph laid out in the given lines.
std::string Expected(const std::string& text, const std::vector<size_t>& lines) {
  std::string body;
  for (size_t k = 0; k < lines.size(); ++k) {
    if (k > 0) body += "<BR>";
    const size_t end = k + 1 < lines.size() ? lines[k + 1] : text.size();
    for (size_t i = lines[k]; i < end; ++i) body += text[i] == ' ' ? std::string("&nbsp;") : std::string(1, text[i]);
  }
  return Rtf(body);
}

TEST(HtmlConversionTest, LongParagraphGetsABreakAtEveryWrap) {
  std::string text;
  for (int k = 0; k < 40; ++k) text += "word" + std::to_string(k) + " ";
  text += "end";
  RichTextDocument doc;
  doc.Append(text, kArial);
  FixedMeasurer m;
  const std::vector<size_t> lines = LayoutLineStarts(doc, kLayoutWidthTwips, &m);
  ASSERT_GE(lines.size(), 3u);
  Converted c = Convert(doc);
  EXPECT_EQ(c.html, Expected(text, lines));
  EXPECT_EQ(Count(c.html, "<BR>"), lines.size() - 1);
  EXPECT_FALSE(c.needsHtml);
  // 84 characters fit a line: the first line holds the words that end
  // within them, the next word would not have fitted.
  EXPECT_LE(lines[1] - 1, 84u);
  EXPECT_GT(text.find(' ', lines[1]), 84u);
}

TEST(HtmlConversionTest, LongParagraphWrapsWhereTheSystemFontsSay) {
  SystemTextMeasurer measurer;
  ASSERT_TRUE(measurer.Available()) << "no usable font: install fonts-dejavu-core";
  std::string text;
  for (int k = 0; k < 60; ++k) text += (k % 3 ? "narrow " : "WIDE ");
  RichTextDocument doc;
  doc.Append(text, Format("Times New Roman", 240));
  const std::vector<size_t> lines = LayoutLineStarts(doc, kLayoutWidthTwips, &measurer);
  ASSERT_GE(lines.size(), 3u);
  BodyConverter converter;  // the system's fonts
  bool needsHtml = true;
  const std::string html = converter.RichTextToHtml(GetBodyRichText(doc), needsHtml);
  EXPECT_EQ(html, Expected(text, lines));
  EXPECT_FALSE(needsHtml);
  // A bigger font wraps sooner.
  RichTextDocument bigger;
  bigger.Append(text, Format("Times New Roman", 480));
  EXPECT_GT(LayoutLineStarts(bigger, kLayoutWidthTwips, &measurer).size(), lines.size());
}

TEST(HtmlConversionTest, RawBlocksGoOutUnchanged) {
  Converted c = ConvertText("a <nhtml><b>x</b>  www.y.com a@b</nhtml> c");
  EXPECT_EQ(c.html, Rtf("a&nbsp;<b>x</b>  www.y.com a@b&nbsp;c"));
  EXPECT_FALSE(c.needsHtml);
  EXPECT_EQ(ConvertText("<NHTML>A  B</NhTmL>").html, Rtf("A  B"));
  // Without a closing tag the rest of the text is raw.
  EXPECT_EQ(ConvertText("x <nhtml>rest  of\tit").html, Rtf("x&nbsp;rest  of\tit"));
  EXPECT_EQ(ConvertText("<nhtml></nhtml>z").html, Rtf("z"));
  // The block keeps its line ends; after it, lines and formats convert
  // again.
  EXPECT_EQ(ConvertText("<nhtml>one\ntwo</nhtml>\nafter  it").html,
            Rtf("one\r\ntwo\r\n<BR>after&nbsp;&nbsp;it"));
  RichTextDocument doc;
  doc.Append("<nhtml>raw</nhtml>", kArial);
  doc.Append("bold", Format("Arial", 240, kBlack, true));
  c = Convert(doc);
  EXPECT_EQ(c.html, Rtf("raw<B>bold</B>"));
  EXPECT_TRUE(c.needsHtml);
}

TEST(HtmlConversionTest, NonWhiteBackgroundNeedsHtml) {
  RichTextDocument doc;
  doc.Append("x", kArial);
  doc.SetBackground(Rgb(0x12, 0x34, 0x56));
  Converted c = Convert(doc);
  EXPECT_EQ(c.html, "<HTML><BODY BGCOLOR=#123456>x</BODY></HTML>");
  EXPECT_TRUE(c.needsHtml);
  doc.SetBackground(Rgb(255, 255, 254));
  EXPECT_TRUE(Convert(doc).needsHtml);
  doc.SetBackground(kWhite);
  EXPECT_FALSE(Convert(doc).needsHtml);
}

TEST(HtmlConversionTest, LinksInTheRichText) {
  EXPECT_EQ(ConvertText("see www.example.com, ok").html,
            Rtf("see&nbsp;<A HREF=http://www.example.com>www.example.com</A>,&nbsp;ok"));
  EXPECT_EQ(ConvertText("go http://x.org/a?b=1 now").html,
            Rtf("go&nbsp;<A HREF=http://x.org/a?b=1>http://x.org/a?b=1</A>&nbsp;now"));
  EXPECT_EQ(ConvertText("HTTP://X.ORG Www.Y.org").html,
            Rtf("<A HREF=HTTP://X.ORG>HTTP://X.ORG</A>&nbsp;<A HREF=http://Www.Y.org>Www.Y.org</A>"));
  EXPECT_EQ(ConvertText("(me@x.org)").html, Rtf("(<A HREF=mailto:me@x.org>me@x.org</A>)"));
  // A word with "@" anywhere is a mail address.
  EXPECT_EQ(ConvertText("a@ @").html, Rtf("<A HREF=mailto:a@>a@</A>&nbsp;<A HREF=mailto:@>@</A>"));
  // A link can start inside a longer run of characters.
  EXPECT_EQ(ConvertText("xhttp://a").html, Rtf("x<A HREF=http://a>http://a</A>"));
  EXPECT_EQ(ConvertText("[www.a.b]").html, Rtf("[<A HREF=http://www.a.b>www.a.b</A>]"));
  // Characters above 127 end a link word.
  EXPECT_EQ(ConvertText("www.caf\xC3\xA9.fr").html,
            Rtf("<A HREF=http://www.caf>www.caf</A>\xC3\xA9.fr"));
  EXPECT_FALSE(ConvertText("mail me@x.org").needsHtml);
}

TEST(HtmlConversionTest, LinkAtALineStartGetsTheBreakBeforeIt) {
  // 84 characters a line: the link starts the second line.
  const std::string first = std::string(80, 'a') + " ";
  Converted c = ConvertText(first + "www.example.com rest");
  EXPECT_EQ(c.html, Rtf(std::string(80, 'a') + "&nbsp;<BR><A HREF=http://www.example.com>www.example.com</A>&nbsp;rest"));
}

TEST(HtmlConversionTest, FormatsThatCarryOnlySomeAttributes) {
  RichTextDocument doc;
  doc.Append("x", Format("Arial", 240, Rgb(255, 0, 0)));
  CharFormat boldOnly;
  boldOnly.mask = CharFormat::kBold;
  boldOnly.bold = false;
  doc.Append("y", boldOnly);
  doc.Append("z", kArial);
  BodyConverter converter(nullptr, std::make_unique<FixedMeasurer>());
  bool needsHtml = false;
  // A format that carries none of colour, size and face closes the font.
  EXPECT_EQ(converter.DocumentToHtml(doc, needsHtml),
            Rtf("\r\n<FONT COLOR=\"#FF0000\" SIZE=3 FACE=\"Arial\">x</FONT>y"
                "\r\n<FONT COLOR=\"#000000\" SIZE=3 FACE=\"Arial\">z</FONT>"));
  EXPECT_TRUE(needsHtml);

  // Bold that is not carried stays as it is; alignment that is not carried
  // leaves the centring open.
  RichTextDocument keep;
  keep.SetParagraphFormat(ParaFormat{true, Alignment::Center});
  keep.Append("b\n", Format("Arial", 240, kBlack, true));
  keep.SetParagraphFormat(ParaFormat{false, Alignment::Left});
  CharFormat noBold = kArial;
  noBold.mask &= ~CharFormat::kBold;
  keep.Append("c", noBold);
  EXPECT_EQ(converter.DocumentToHtml(keep, needsHtml), Rtf("<CENTER><B>b\r\n<BR>c</CENTER></B>"));

  // A colour-only format keeps the face and size it does not carry.
  RichTextDocument colourOnly;
  colourOnly.Append("p", kArial);
  CharFormat green;
  green.mask = CharFormat::kColor;
  green.color = Rgb(0, 255, 0);
  colourOnly.Append("q", green);
  EXPECT_EQ(converter.DocumentToHtml(colourOnly, needsHtml),
            Rtf("p\r\n<FONT COLOR=\"#00FF00\" SIZE=3 FACE=\"Arial\">q</FONT>"));
}

TEST(HtmlConversionTest, WithoutTextMeasurementTheBodyStillConverts) {
  const platform::Language saved = platform::StringLanguage();
  platform::SetStringLanguage(platform::Language::English);
  test::RecordingMessageBox box;
  BodyConverter converter(&box, std::make_unique<UnavailableMeasurer>());
  const std::string text = std::string(300, 'z') + " tail\nnext";
  RichTextDocument doc;
  doc.Append(text, kArial);
  bool needsHtml = true;
  const std::string html = converter.RichTextToHtml(GetBodyRichText(doc), needsHtml);
  EXPECT_EQ(html, Rtf(std::string(300, 'z') + "&nbsp;tail\r\n<BR>next"));
  EXPECT_FALSE(needsHtml);
  ASSERT_EQ(box.boxes.size(), 1u);
  EXPECT_EQ(box.boxes[0].kind, "error");
  EXPECT_EQ(box.boxes[0].text, "Error Creating RichEdit");
  platform::SetStringLanguage(platform::Language::German);
  converter.RichTextToPlainText(GetBodyRichText(doc));  // plain text needs no layout
  EXPECT_EQ(box.boxes.size(), 1u);
  converter.RichTextToHtml(GetBodyRichText(doc), needsHtml);
  ASSERT_EQ(box.boxes.size(), 2u);
  EXPECT_EQ(box.boxes[1].text, platform::LoadString(kErrorCreatingRichEditString));
  EXPECT_NE(box.boxes[1].text, "Error Creating RichEdit");
  platform::SetStringLanguage(saved);
}

TEST(HtmlConversionTest, VeryLongWordsAndLinkRunsConvertInOnePass) {
  RichTextDocument doc;
  doc.Append(std::string(100000, 'x'), kArial);
  FixedMeasurer m;
  const std::vector<size_t> lines = LayoutLineStarts(doc, kLayoutWidthTwips, &m);
  EXPECT_EQ(lines.size(), (100000 + 83) / 84);
  Converted c = Convert(doc);
  EXPECT_EQ(Count(c.html, "<BR>"), lines.size() - 1);

  const std::string word = std::string(100000, 'a') + "@b";
  c = ConvertText(word);
  EXPECT_EQ(c.html, Rtf("<A HREF=mailto:" + word + ">" + word + "</A>"));
}

TEST(HtmlConversionTest, ConverterKeepsTheLastBackgroundAndStartsEachBodyWhite) {
  BodyConverter converter(nullptr, std::make_unique<FixedMeasurer>());
  bool needsHtml = false;
  converter.RichTextToHtml("{\\rtf1 a}{RTFBGCOLOR}=255", needsHtml);
  EXPECT_EQ(converter.Background(), Rgb(255, 0, 0));
  EXPECT_TRUE(needsHtml);
  EXPECT_EQ(converter.RichTextToHtml("{\\rtf1 a}", needsHtml), Rtf("a"));
  EXPECT_EQ(converter.Background(), kWhite);
  EXPECT_FALSE(needsHtml);
}

TEST(HtmlConversionTest, RtfFromOtherEditorsConverts) {
  BodyConverter converter(nullptr, std::make_unique<FixedMeasurer>());
  bool needsHtml = false;
  const std::string dir = std::string(VYRELLE_TEST_FIXTURES_DIR) + "/rtf/";
  const std::string html =
      converter.RichTextToHtml(test::ReadFile(dir + "editor_style.rtf") + "{RTFBGCOLOR}=16777215", needsHtml);
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

// ---------------------------------------------------------------------------
// RichTextToPlainText
// ---------------------------------------------------------------------------

TEST(HtmlPlainTextTest, ParagraphsAndLineBreaksBecomeCrLf) {
  BodyConverter converter(nullptr, std::make_unique<FixedMeasurer>());
  RichTextDocument doc;
  doc.Append("a\nb\vc\td\n\ne", Format("Arial", 200, Rgb(1, 2, 3), true));
  EXPECT_EQ(converter.RichTextToPlainText(GetBodyRichText(doc)), "a\r\nb\r\nc\td\r\n\r\ne");
  EXPECT_EQ(converter.RichTextToPlainText("{\\rtf1 caf\\'e9\\par}{RTFBGCOLOR}=0"), "caf\xC3\xA9");
  EXPECT_EQ(converter.Background(), kBlack);
  EXPECT_EQ(converter.RichTextToPlainText("not rtf\nat all"), "not rtf\r\nat all");
  EXPECT_EQ(converter.RichTextToPlainText(""), "");
}

}  // namespace
}  // namespace vyr

// Rich text: UTF-8, reader, writer, body form, layout and the conversions for sending.
#include "mail/body/rich_text.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "mail/body/body_converter.h"
#include "mail/body/rich_text_layout.h"
#include "mail/body/text_to_html.h"
#include "mail/body/utf8.h"
#include "platform/text_measure.h"
#include "tools/test_support.h"

namespace vyr {
namespace {
std::string Fixture(const std::string& name) {
  return test::ReadFile(std::string(VYRELLE_TEST_FIXTURES_DIR) + "/rtf/" + name);
}

RichTextDocument Read(const std::string& rtf) {
  RichTextDocument doc;
  EXPECT_TRUE(ReadRtf(rtf, doc)) << rtf;
  return doc;
}

size_t At(const RichTextDocument& doc, const std::string& piece) {
  const size_t pos = doc.Text().find(piece);
  EXPECT_NE(pos, std::string::npos) << piece;
  return pos == std::string::npos ? 0 : pos;
}

const CharFormat& FormatOf(const RichTextDocument& doc, const std::string& piece) { return doc.FormatAt(At(doc, piece)); }

CharFormat Format(std::string face, int height, ColorRef color = kBlack, bool b = false, bool i = false, bool u = false) {
  return CharFormat{CharFormat::kAll, color, height, std::move(face), b, i, u};
}

TEST(Utf8Test, EachMalformedByteBecomesOneReplacementCharacter) {
  const std::string R = "\xEF\xBF\xBD";
  const std::pair<std::string, std::string> cases[] = {
      {"plain ASCII", "plain ASCII"},
      {"\xC2\x80\xDF\xBF", "\xC2\x80\xDF\xBF"},
      {"\xE0\xA0\x80\xED\x9F\xBF", "\xE0\xA0\x80\xED\x9F\xBF"},
      {"\xEE\x80\x80\xEF\xBF\xBF", "\xEE\x80\x80\xEF\xBF\xBF"},
      {"\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
      {R, R},
      {"\xE0\x8A\xA0", R + R + R},
      {"\xC0\xAF", R + R},
      {"\xF0\x8F\xBF\xBF", R + R + R + R},
      {"\xED\xA0\x80", R + R + R},
      {"\xF4\x90\x80\x80", R + R + R + R},
      {"\xF5\x80\x80\x80", R + R + R + R},
      {"\xFF", R},
      {"a\x80\xBF" "b", "a" + R + R + "b"},
      {"x\xE2\x82", "x" + R + R},
      {"\xF0\x9F\x98", R + R + R},
      {"\xC3", R},
      {"\xE2\x82" "A\xC3\xA9", R + R + "A\xC3\xA9"},
      {"\xE2(\xA1", R + "(" + R},
  };
  for (const auto& [input, expected] : cases) {
    SCOPED_TRACE(testing::PrintToString(input));
    EXPECT_EQ(ValidUtf8(input), expected);
    EXPECT_EQ(IsValidUtf8(input), input == expected);
  }
  EXPECT_EQ(Utf8At("\xE0\x8A\xA0", 0), 0xFFFDu);
  EXPECT_EQ(Utf8At("\xF4\x8F\xBF\xBF", 0), 0x10FFFFu);
  EXPECT_EQ(Utf8At("\xE2\x82\xAC", 0), 0x20ACu);
}

TEST(RichTextReaderTest, FormatsOfTheRuns) {
  const CharFormat times = Format("Times New Roman", 320), georgia = Format("Georgia", 200);
  const struct {
    std::string rtf, text;
    std::vector<std::pair<std::string, CharFormat>> formats;
  } cases[] = {
      {"{\\rtf1\\ansi\\deff1{\\fonttbl{\\f0\\froman Times New Roman;}{\\f1\\fswiss Arial;}}"
       "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
       "\\pard plain \\f0\\fs32 big \\cf1 red \\cf2 blue\\cf0  \\b bold\\b0  \\i it\\i0  \\ul u\\ulnone .}",
       "plain big red blue bold it u.",
       {{"plain", Format("Arial", 240)}, {"big", times}, {"red", Format("Times New Roman", 320, Rgb(255, 0, 0))},
        {"blue", Format("Times New Roman", 320, Rgb(0, 0, 255))}, {"bold", Format("Times New Roman", 320, kBlack, true)},
        {"it", Format("Times New Roman", 320, kBlack, false, true)},
        {"u.", Format("Times New Roman", 320, kBlack, false, false, true)}, {".", times}}},
      {"{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1 Georgia;}}\\f1\\fs20 a{\\b b{\\i c}d}e"
       "\\b\\i\\ul\\fs40 f\\plain g\\ul h\\ul0 i\\uldb j\\ulnone k}",
       "abcdefghijk",
       {{"a", georgia}, {"b", Format("Georgia", 200, kBlack, true)}, {"c", Format("Georgia", 200, kBlack, true, true)},
        {"d", Format("Georgia", 200, kBlack, true)}, {"e", georgia},
        {"f", Format("Georgia", 400, kBlack, true, true, true)}, {"g", Format("Arial", 240)},
        {"h", Format("Arial", 240, kBlack, false, false, true)}, {"i", Format("Arial", 240)},
        {"j", Format("Arial", 240, kBlack, false, false, true)}, {"k", Format("Arial", 240)}}},
      {"{\\rtf1{\\fonttbl\\f0 Tahoma;\\f2 ;}{\\colortbl;\\red300\\green-4\\blue7;}\\cf1 b\\f2 g}", "bg",
       {{"b", Format("Tahoma", 240, Rgb(255, 0, 7))}, {"g", Format("", 240, Rgb(255, 0, 7))}}},
      {"{\\rtf1{\\fonttbl{\\f0 A;}}\\fs99999999999999999999 a\\fs0 b\\fs-4 c\\fs1 d\\uc99 \\u65? e}", "abcdA",
       {{"a", Format("A", 32760)}, {"c", Format("A", 32760)}, {"d", Format("A", 10)}}},
  };
  for (const auto& c : cases) {
    RichTextDocument doc = Read(c.rtf);
    EXPECT_EQ(doc.Text(), c.text);
    for (const auto& [piece, format] : c.formats) EXPECT_EQ(FormatOf(doc, piece), format) << c.text << ": " << piece;
  }
  RichTextDocument doc = Read("{\\rtf1 a\\qc\\par b\\par\\pard c\\qr\\par\\qj d\\par\\qc e}");
  std::vector<Alignment> alignments;
  for (const auto& p : doc.Paragraphs()) alignments.push_back(p.format.alignment);
  EXPECT_EQ(alignments, (std::vector<Alignment>{Alignment::Center, Alignment::Center, Alignment::Right,
                                                Alignment::Left, Alignment::Center}));
}

TEST(RichTextReaderTest, TextOfTheStream) {
  const std::pair<std::string, std::string> cases[] = {
      {"{\\rtf1 a\\par}", "a"},
      {"{\\rtf1 a\\par\\par}", "a\n"},
      {"{\\rtf1 a\\par b}", "a\nb"},
      {"{\\rtf1 a\\tab b\\line c\r\nd\\\r\ne \\{\\}\\\\ \\~\\emdash\\endash\\lquote\\rquote"
       "\\ldblquote\\rdblquote\\bullet\\_\\-x\\emspace y}",
       "a\tb\vcd\ne {}\\ \xC2\xA0\xE2\x80\x94\xE2\x80\x93\xE2\x80\x98\xE2\x80\x99"
       "\xE2\x80\x9C\xE2\x80\x9D\xE2\x80\xA2-x y"},
      {"{\\rtf1 caf\\'e9 \\'80\\'9c\\'85 \\'E4 \xe9\x80}",
       "caf\xC3\xA9 \xE2\x82\xAC\xC5\x93\xE2\x80\xA6 \xC3\xA4 \xC3\xA9\xE2\x82\xAC"},
      {"{\\rtf1 a\\'00\\'0d\\'0a\\'09b\\'7f}", "a\tb"},
      {"{\\rtf1 \\u937?mega}", "\xCE\xA9mega"},
      {"{\\rtf1 \\u8364\\'80 5}", "\xE2\x82\xAC 5"},
      {"{\\rtf1\\uc2 \\u8364 EUR}", "\xE2\x82\xACR"},
      {"{\\rtf1 \\u55357?\\u56832?}", "\xF0\x9F\x98\x80"},
      {"{\\rtf1 \\uc0 \\u55357\\uc1 \\u56832\\'3f!}", "\xF0\x9F\x98\x80!"},
      {"{\\rtf1 \\u55357?x}", "\xEF\xBF\xBDx"},
      {"{\\rtf1{\\fonttbl{\\f0{\\*\\panose 020b}Arial{\\*\\falt Helvetica};}}"
       "{\\stylesheet{\\s1 Heading 1;}}{\\info{\\title T}{\\author A}}{\\*\\generator G;}"
       "a{\\*\\anything at all {nested}}b{\\pict\\wmetafile8 0102{\\*\\blipuid 99}}c"
       "{\\header head}{\\footer foot}{\\footnote note}d"
       "{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt shown}}e"
       "{\\listtext\\'95\\tab}f\\bin3 {}}g{\\nonshppict{\\pict 00}}h}",
       "abcdshowne\xE2\x80\xA2\tfgh"},
      {"{\\rtf1 a{\\pict\\bin6 " + std::string("}{\\\0x", 6) + "}b\\bin4 \\par}c", "ab"},
      {"{\\rtf", ""},
      {"{\\rtf1 a\\'4", "a"},
      {"{\\rtf1 a}}}}}b", "a"},
      {"{\\rtf1 \\abcdefghijklmnopqrstuvwxyzabcdefghijklmnop5 x}", "x"},
  };
  for (const auto& [rtf, text] : cases) EXPECT_EQ(Read(rtf).Text(), text) << rtf;
}

TEST(RichTextReaderTest, DeepNestingReadsInBoundedDepth) {
  const size_t depth = 200000;
  RichTextDocument doc = Read("{\\rtf1 a{\\b b" + std::string(depth, '{') + "deep\\i" + std::string(depth, '}') + "c}d}");
  EXPECT_EQ(doc.Text(), "abcd");
  EXPECT_TRUE(FormatOf(doc, "c").bold && !FormatOf(doc, "c").italic);
  EXPECT_FALSE(FormatOf(doc, "d").bold);
  const std::string open(kMaxRtfDepth - 2, '{'), close(kMaxRtfDepth - 2, '}');
  EXPECT_EQ(Read("{\\rtf1 " + open + "kept{lost}" + close + "}").Text(), "kept");
}

TEST(RichTextFixtureTest, FilesOfOtherProgramsGiveTheirTextAndFormats) {
  const std::pair<const char*, std::string> texts[] = {
      {"lo_formatted.rtf",
       "Plain start, then bold words, italic words and underlined words.\nA centred line\nA right-aligned line\n"
       "Red text and Courier ten and big.\nCaf\xC3\xA9 costs 5 \xE2\x82\xAC, \xCE\xA9mega and \xF0\x9F\x98\x80 "
       "smile. Braces {x} and back\\slash."},
      {"lo_plain.rtf",
       "First line of plain text.\nSecond line with a link http://www.example.com/page and mail me@example.org.\n\n"
       "After an empty line, a long paragraph that goes on and on so that it wraps several times in the editor "
       "when it is laid out at the width of the message body, which is fourteen centimetres or so, and then it "
       "ends here."},
      {"lo_lists_image.rtf",
       "Before the list\n\xE2\x80\xA2\tfirst item\n\xE2\x80\xA2\tsecond item\nA picture  inside a line.\n"
       "cell one\tcell two\t\nAfter the table"},
      {"lo_tabs.rtf", "Name:\tVyrelle\nTabs\tbetween\twords"},
      {"hand_awkward.rtf",
       "One two three two four five\nA\xCE\xA9" "B\xE2\x82\xAC" "Clink \xE2\x80\x94\xC2\xA0\xE2\x80\x98q"
       "\xE2\x80\x99\nGeorgia auto unknown"},
  };
  for (const auto& [name, text] : texts) {
    RichTextDocument doc = Read(Fixture(name));
    EXPECT_EQ(doc.Text(), text) << name;
  }
  RichTextDocument lo = Read(Fixture("lo_formatted.rtf"));
  EXPECT_EQ(FormatOf(lo, "Red text"), Format("Times New Roman", 240, Rgb(255, 0, 0)));
  EXPECT_EQ(lo.ParagraphFormatAt(At(lo, "A centred")).alignment, Alignment::Center);
  EXPECT_EQ(lo.ParagraphFormatAt(At(lo, "A right")).alignment, Alignment::Right);
  EXPECT_EQ(lo.FormatAt(lo.Text().find('\n')).face, "DejaVu Serif");
  RichTextDocument hand = Read(Fixture("hand_awkward.rtf"));
  EXPECT_EQ(FormatOf(hand, "Georgia"), Format("Georgia", 220, Rgb(10, 20, 30)));
  EXPECT_EQ(FormatOf(hand, "unknown"), Format("Tahoma", 220));
}

RichTextDocument SampleDocument() {
  RichTextDocument doc;
  doc.Append("Plain ", Format("Arial", 200));
  doc.Append("bold", Format("Arial", 200, kBlack, true));
  doc.Append(" and ", Format("Arial", 200));
  doc.Append("red italic", Format("Arial", 200, Rgb(255, 0, 0), false, true));
  doc.Append(" under", Format("Courier New", 280, Rgb(0, 128, 0), false, false, true));
  doc.EndParagraph(Format("Arial", 200));
  doc.SetParagraphFormat(ParaFormat{true, Alignment::Center});
  doc.Append("Centred: caf\xC3\xA9 \xE2\x82\xAC \xCE\xA9 \xF0\x9F\x98\x80 {braces} back\\slash",
             Format("Times New Roman", 240));
  doc.EndParagraph(Format("Times New Roman", 240));
  doc.SetParagraphFormat(ParaFormat{true, Alignment::Right});
  doc.Append("tab\there\vline two\n\n", Format("Times New Roman", 240, Rgb(1, 2, 3)));
  doc.SetParagraphFormat(ParaFormat{true, Alignment::Left});
  doc.Append("last", Format("Arial", 200, kBlack, true, true, true));
  return doc;
}

TEST(RichTextWriterTest, TheStreamHasTheEditorsShapeAndReadsBackTheSame) {
  const RichTextDocument doc = SampleDocument();
  const std::string rtf = WriteRtf(doc);
  EXPECT_EQ(rtf.rfind("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}"
                      "{\\f1\\fnil\\fcharset0 Courier New;}{\\f2\\fnil\\fcharset0 Times New Roman;}}\r\n"
                      "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green128\\blue0;\\red1\\green2\\blue3;}\r\n"
                      "\\viewkind4\\uc1\\pard \\f0\\fs20 Plain \\b bold\\b0  and ",
                      0),
            0u)
      << rtf;
  EXPECT_NE(rtf.find("caf\\'e9 \\'80 \\u937? \\u-10179?\\u-8704? \\{braces\\} back\\\\slash"), std::string::npos);
  EXPECT_NE(rtf.find("tab\\tab here\\line line two\\par\r\n\\par\r\n"), std::string::npos);
  EXPECT_EQ(rtf.substr(rtf.size() - 9), "\\par\r\n}\r\n");
  RichTextDocument back = Read(rtf);
  EXPECT_EQ(back, doc);
  EXPECT_EQ(WriteRtf(back), rtf);
  EXPECT_EQ(Read(WriteRtf(RichTextDocument{})).Text(), "");
  RichTextDocument trailing;
  trailing.Append("a\n", Format("Arial", 240));
  EXPECT_EQ(Read(WriteRtf(trailing)).Paragraphs().size(), 2u);
}

TEST(RichTextBodyFormTest, TheBackgroundFollowsTheMarkerInDecimal) {
  RichTextDocument doc = SampleDocument();
  doc.SetBackground(Rgb(0x12, 0x34, 0x56));
  EXPECT_EQ(GetBodyRichText(doc), WriteRtf(doc) + "{RTFBGCOLOR}=5649426");
  RichTextDocument back;
  EXPECT_TRUE(SetBodyRichText(GetBodyRichText(doc), back));
  EXPECT_EQ(back, doc);
  const std::pair<std::string, ColorRef> markers[] = {
      {"{\\rtf1 x}", Rgb(0x12, 0x34, 0x56)},
      {"{\\rtf1 x}{RTFBGCOLOR}=", kWhite},
      {"{\\rtf1 x}{RTFBGCOLOR}=0", kBlack},
      {"{\\rtf1 x}{RTFBGCOLOR}=-1", kWhite},
      {"{\\rtf1 \\{RTFBGCOLOR\\}=5 y}{RTFBGCOLOR}=65280 junk", Rgb(0, 255, 0)},
  };
  for (const auto& [form, colour] : markers) {
    EXPECT_TRUE(SetBodyRichText(form, back));
    EXPECT_EQ(back.Background(), colour) << form;
  }
  EXPECT_EQ(back.Text(), "{RTFBGCOLOR}=5 y");
  EXPECT_FALSE(SetBodyRichText(" {\\rtf1 x}", back));
  EXPECT_FALSE(SetBodyRichText("line one\r\nline two\rthree\nfour\tend{RTFBGCOLOR}=0", back));
  EXPECT_EQ(back.Text(), "line one\nline two\nthree\nfour\tend");
  EXPECT_EQ(back.Paragraphs().size(), 4u);
  EXPECT_FALSE(SetBodyRichText("caf\xC3\xA9", back));
  EXPECT_EQ(back.Text(), "caf\xC3\xA9");
  EXPECT_FALSE(SetBodyRichText("caf\xE9 \x80", back));
  EXPECT_EQ(back.Text(), "caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_FALSE(SetBodyRichText("\xE0\x8A\xA0", back));
  EXPECT_EQ(back.Text(), "\xC3\xA0\xC5\xA0\xC2\xA0");
  RichTextDocument bad;
  bad.Append("x\xED\xA0\x80y\n\xF4\x90\x80\x80", CharFormat{});
  const std::string r = "\xEF\xBF\xBD";
  EXPECT_EQ(bad.Text(), "x" + r + r + r + "y\n" + r + r + r + r);
  EXPECT_TRUE(SetBodyRichText(GetBodyRichText(bad), back));
  EXPECT_EQ(back, bad);
}

class FixedMeasurer : public TextMeasurer {
 public:
  bool Available() override { return true; }
  int Width(std::string_view utf8, const CharFormat& format) override {
    int chars = 0;
    for (size_t i = 0; i < utf8.size(); i += Utf8Length(utf8, i)) ++chars;
    return chars * (format.bold ? 200 : 100);
  }
};

using Starts = std::vector<size_t>;

TEST(RichTextLayoutTest, LinesStartWhereTheWidthAndTheBreaksSay) {
  const struct {
    std::string text;
    int width;
    Starts starts;
  } cases[] = {
      {"hello worl", 1000, {0}},
      {"abc" + std::string(30, ' ') + "def", 1000, {0, 33}},
      {"ab abcdefghijklmnopqrstuvwxyz", 1000, {0, 3, 13, 23}},
      {"\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", 300, {0, 6}},
      {"a\nb\vc", 1000, {0, 2, 4}},
      {"", 1000, {0}},
      {"ab\tcde", 1000, {0, 3}},
      {"\t\tx", 1500, {0, 2}},
  };
  FixedMeasurer m;
  for (const auto& c : cases) {
    RichTextDocument doc;
    doc.Append(c.text, CharFormat{});
    EXPECT_EQ(LayoutLineStarts(doc, c.width, &m), c.starts) << c.text << " at " << c.width;
  }
  CharFormat bold;
  bold.bold = true;
  RichTextDocument doc;
  doc.Append("aaaa ", CharFormat{});
  doc.Append("bbb", bold);
  EXPECT_EQ(LayoutLineStarts(doc, 1000, &m), (Starts{0, 5}));
  RichTextDocument mixed;
  mixed.Append("aaaaaa x", CharFormat{});
  mixed.Append("yy", bold);
  EXPECT_EQ(LayoutLineStarts(mixed, 1000, &m), (Starts{0, 7}));
}

TEST(RichTextMeasureTest, TheSystemsFontsMeasureBadUtf8AndZeroBytes) {
  ASSERT_TRUE(SystemTextMeasurer().Available()) << "no usable font: install fonts-dejavu-core (scripts/install-deps.sh)";
  EXPECT_GT(platform::MeasureTextWidth(std::string("a\xFF\0b", 4), "DejaVu Sans", 240, false, false), 0);
}

std::string H(const std::string& body) { return "<HTML><BODY BGCOLOR=#FFFFFF>" + body + "</HTML></BODY>"; }

const std::string kEight = "&nbsp&nbsp&nbsp&nbsp&nbsp&nbsp&nbsp&nbsp";

TEST(TextToHtmlTest, LinksEscapesSpacesAndLineEnds) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"See http://www.example.com/page.", "See  <A HREF=http://www.example.com/page>http://www.example.com/page</A>."},
      {"Visit www.example.com, then", "Visit  <A HREF=http://www.example.com>www.example.com</A>,  then"},
      {"http://a.b/x,y.z", "<A HREF=http://a.b/x,y.z>http://a.b/x,y.z</A>"},
      {"www.a.org\tb", "<A HREF=http://www.a.org>www.a.org</A>\t" + kEight + "b"},
      {"HTTP://X.ORG WWW.Y.ORG hw http:/ ww.x", "HTTP://X.ORG  WWW.Y.ORG  hw  http:/  ww.x"},
      {"Mail me@x.org.", "Mail  <A HREF=mailto:me@x.org>me@x.org</A>."},
      {"<me@x.org>", "&#60<A HREF=mailto:me@x.org>me@x.org</A>&#62"},
      {"@start end@ a @b a@ b x(@)y", "@start  end@  a  @b  a@  b  x(@)y"},
      {"a\"@b a:@b a;@b a,@b a[@]b a\\@b", "a&#34@b  a:@b  a;@b  a,@b  a[@]b  a\\@b"},
      {"http://x.org/u@v.com then w@z.org",
       "<A HREF=http://x.org/u@v.com>http://x.org/u@v.com</A>  then  <A HREF=mailto:w@z.org>w@z.org</A>"},
      {"user@www.example.com and www.q.com",
       "<A HREF=mailto:user@www.example.com>user@www.example.com</A>  and  <A HREF=http://www.q.com>www.q.com</A>"},
      {"\"&<>", "&#34&#38&#60&#62"},
      {"x<5 & y>2;", "x&#60;5  &#38  y&#62;2;"},
      {"a   b", "a   &nbsp &nbspb"},
      {"a  ;", "a   &nbsp;;"},
      {"\t;", "\t" + kEight + ";;"},
      {"a\r\nb\nc\rd", "a\r<BR>b<BR>c\rd"},
      {"http://x/<b>\"q\"&amp", "<A HREF=http://x/&#60b&#62&#34q&#34&#38amp>http://x/&#60b&#62&#34q&#34&#38amp</A>"},
  };
  for (const auto& [text, body] : cases) EXPECT_EQ(TextToHtml(text), H(body)) << text;
}

const CharFormat kArial = Format("Arial", 240);
const CharFormat kBold = Format("Arial", 240, kBlack, true);

std::string Rtf(const std::string& body) { return "<HTML><BODY BGCOLOR=#FFFFFF>" + body + "</BODY></HTML>"; }

struct Converted {
  std::string html;
  bool needsHtml = true;
};

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

TEST(HtmlConversionTest, UnformattedTextNeedsNoHtmlAndTypedMarkupIsEscaped) {
  const std::pair<std::string, std::string> cases[] = {
      {"one\ntwo\n\nfour", "one\r\n<BR>two\r\n<BR>\r\n<BR>four"},
      {"a  b\tc", "a&nbsp;&nbsp;b&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;c"},
      {"see www.example.com, ok", "see&nbsp;<A HREF=http://www.example.com>www.example.com</A>,&nbsp;ok"},
      {"HTTP://X.ORG Www.Y.org", "<A HREF=HTTP://X.ORG>HTTP://X.ORG</A>&nbsp;<A HREF=http://Www.Y.org>Www.Y.org</A>"},
      {"(me@x.org) a@ @", "(<A HREF=mailto:me@x.org>me@x.org</A>)&nbsp;<A HREF=mailto:a@>a@</A>&nbsp;<A HREF=mailto:@>@</A>"},
      {"xhttp://a [www.a.b]", "x<A HREF=http://a>http://a</A>&nbsp;[<A HREF=http://www.a.b>www.a.b</A>]"},
      {"www.caf\xC3\xA9.fr", "<A HREF=http://www.caf>www.caf</A>\xC3\xA9.fr"},
      {"<i>x</i> & y > z &amp;", "&lt;i&gt;x&lt;/i&gt;&nbsp;&amp;&nbsp;y&nbsp;&gt;&nbsp;z&nbsp;&amp;amp;"},
      {"go http://x.org/a?b=1&c=2 now",
       "go&nbsp;<A HREF=http://x.org/a?b=1&amp;c=2>http://x.org/a?b=1&amp;c=2</A>&nbsp;now"},
      {"a <nhtml><b>x</b>  www.y.com a@b &amp;</nhtml> c<d", "a&nbsp;<b>x</b>  www.y.com a@b &amp;&nbsp;c&lt;d"},
      {"x <NHTML>rest  of\tit", "x&nbsp;rest  of\tit"},
      {"<nhtml></nhtml>z", "z"},
      {"<nhtml>one\ntwo</nhtml>\nafter  it", "one\r\ntwo\r\n<BR>after&nbsp;&nbsp;it"},
  };
  for (const auto& [text, body] : cases) {
    const Converted c = ConvertText(text);
    EXPECT_EQ(c.html, Rtf(body)) << text;
    EXPECT_FALSE(c.needsHtml) << text;
  }
}

TEST(HtmlConversionTest, TypedMarkupBeforeFormattedTextAndInAFaceNameIsEscaped) {
  const std::pair<std::vector<std::pair<std::string, CharFormat>>, std::string> cases[] = {
      {{{"a<b ", kArial}, {"bold", kBold}}, "a&lt;b&nbsp;<B>bold</B>"},
      {{{"a", kArial}, {"b", Format("Odd\"><x", 240)}},
       "a\r\n<FONT COLOR=\"#000000\" SIZE=3 FACE=\"Odd&quot;&gt;&lt;x\">b</FONT>"},
      {{{"<nhtml>raw</nhtml>", kArial}, {"bold", kBold}}, "raw<B>bold</B>"},
  };
  for (const auto& [runs, body] : cases) {
    RichTextDocument doc;
    for (const auto& [text, format] : runs) doc.Append(text, format);
    const Converted c = Convert(doc);
    EXPECT_EQ(c.html, Rtf(body));
    EXPECT_TRUE(c.needsHtml) << body;
  }
}

TEST(HtmlConversionTest, EveryWrapOfALongParagraphGetsABreak) {
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
}

TEST(HtmlConversionTest, BackgroundsOtherThanWhiteNeedHtmlAndPlainTextHasCrLfLineEnds) {
  BodyConverter converter(nullptr, std::make_unique<FixedMeasurer>());
  bool needsHtml = false;
  EXPECT_EQ(converter.RichTextToHtml("{\\rtf1 x}{RTFBGCOLOR}=5649426", needsHtml),
            "<HTML><BODY BGCOLOR=#123456>x</BODY></HTML>");
  EXPECT_TRUE(needsHtml);
  EXPECT_EQ(converter.RichTextToHtml("{\\rtf1 a}", needsHtml), Rtf("a"));
  EXPECT_FALSE(needsHtml);
  RichTextDocument doc;
  doc.Append("a\nb\vc\td\n\ne <x>&", Format("Arial", 200, Rgb(1, 2, 3), true));
  EXPECT_EQ(converter.RichTextToPlainText(GetBodyRichText(doc)), "a\r\nb\r\nc\td\r\n\r\ne <x>&");
  EXPECT_EQ(converter.RichTextToPlainText("{\\rtf1 caf\\'e9\\par}{RTFBGCOLOR}=0"), "caf\xC3\xA9");
  EXPECT_EQ(converter.Background(), kBlack);
  EXPECT_EQ(converter.RichTextToPlainText("not rtf\nat all"), "not rtf\r\nat all");
}

TEST(HtmlConversionTest, RtfFromAnEditorConvertsByteForByte) {
  BodyConverter converter(nullptr, std::make_unique<FixedMeasurer>());
  bool needsHtml = false;
  const std::string html = converter.RichTextToHtml(
      Fixture("editor_style.rtf") + "{RTFBGCOLOR}=16777215",
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

#include "mail/body/rich_text.h"

#include <gtest/gtest.h>

#include <string>

#include "mail/body/rich_text_layout.h"
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

// The format of the first character of the first occurrence of a piece.
const CharFormat& FormatOf(const RichTextDocument& doc, const std::string& piece) {
  const size_t pos = doc.Text().find(piece);
  EXPECT_NE(pos, std::string::npos) << piece;
  return doc.FormatAt(pos == std::string::npos ? 0 : pos);
}

Alignment AlignmentOf(const RichTextDocument& doc, const std::string& piece) {
  const size_t pos = doc.Text().find(piece);
  EXPECT_NE(pos, std::string::npos) << piece;
  return doc.ParagraphFormatAt(pos == std::string::npos ? 0 : pos).alignment;
}

// Runs cover the text in order without gaps; paragraphs likewise, each
// ending with its '\n' but the last.
void ExpectConsistent(const RichTextDocument& doc) {
  const std::string& text = doc.Text();
  size_t pos = 0;
  for (const auto& run : doc.Runs()) {
    EXPECT_EQ(run.begin, pos);
    EXPECT_LT(run.begin, run.end);
    pos = run.end;
  }
  EXPECT_EQ(pos, text.size());
  ASSERT_FALSE(doc.Paragraphs().empty());
  pos = 0;
  for (size_t k = 0; k < doc.Paragraphs().size(); ++k) {
    const auto& p = doc.Paragraphs()[k];
    EXPECT_EQ(p.begin, pos);
    pos = p.end;
    if (k + 1 < doc.Paragraphs().size()) {
      ASSERT_GT(p.end, p.begin);
      EXPECT_EQ(text[p.end - 1], '\n');
    }
  }
  EXPECT_EQ(pos, text.size());
}

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

// ---------------------------------------------------------------------------
// Reader
// ---------------------------------------------------------------------------

TEST(RichTextReaderTest, FontAndColourTablesGiveEachRunItsFormat) {
  RichTextDocument doc = Read(
      "{\\rtf1\\ansi\\deff1{\\fonttbl{\\f0\\froman Times New Roman;}{\\f1\\fswiss Arial;}}"
      "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
      "\\pard plain \\f0\\fs32 big \\cf1 red \\cf2 blue\\cf0  \\b bold\\b0  \\i it\\i0  \\ul u\\ulnone .}");
  ExpectConsistent(doc);
  EXPECT_EQ(doc.Text(), "plain big red blue bold it u.");
  EXPECT_EQ(FormatOf(doc, "plain"), Format("Arial", 240));
  EXPECT_EQ(FormatOf(doc, "big"), Format("Times New Roman", 320));
  EXPECT_EQ(FormatOf(doc, "red"), Format("Times New Roman", 320, Rgb(255, 0, 0)));
  EXPECT_EQ(FormatOf(doc, "blue"), Format("Times New Roman", 320, Rgb(0, 0, 255)));
  EXPECT_EQ(FormatOf(doc, "bold"), Format("Times New Roman", 320, kBlack, true));
  EXPECT_EQ(FormatOf(doc, "it"), Format("Times New Roman", 320, kBlack, false, true));
  EXPECT_EQ(FormatOf(doc, "u."), Format("Times New Roman", 320, kBlack, false, false, true));
  EXPECT_EQ(FormatOf(doc, "."), Format("Times New Roman", 320));
  EXPECT_EQ(FormatOf(doc, "plain").mask, CharFormat::kAll);
}

TEST(RichTextReaderTest, GroupsRestoreFormatsAndPlainAndPardReset) {
  RichTextDocument doc = Read(
      "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1 Georgia;}}\\f1\\fs20 a{\\b b{\\i c}d}e"
      "\\b\\i\\ul\\fs40 f\\plain g\\ul h\\ul0 i\\uldb j\\ulnone k\\qc\\par l\\pard m}");
  ExpectConsistent(doc);
  EXPECT_EQ(doc.Text(), "abcdefghijk\nlm");
  EXPECT_EQ(FormatOf(doc, "a"), Format("Georgia", 200));
  EXPECT_EQ(FormatOf(doc, "b"), Format("Georgia", 200, kBlack, true));
  EXPECT_EQ(FormatOf(doc, "c"), Format("Georgia", 200, kBlack, true, true));
  EXPECT_EQ(FormatOf(doc, "d"), Format("Georgia", 200, kBlack, true));
  EXPECT_EQ(FormatOf(doc, "e"), Format("Georgia", 200));
  EXPECT_EQ(FormatOf(doc, "f"), Format("Georgia", 400, kBlack, true, true, true));
  // \plain: the default font (\deff0), 12 points, nothing else.
  EXPECT_EQ(FormatOf(doc, "g"), Format("Arial", 240));
  EXPECT_TRUE(FormatOf(doc, "h").underline);
  EXPECT_FALSE(FormatOf(doc, "i").underline);
  EXPECT_TRUE(FormatOf(doc, "j").underline);
  EXPECT_FALSE(FormatOf(doc, "k").underline);
  // The alignment in effect at \par belongs to the paragraph it ends; the
  // next paragraph keeps it until \pard.
  EXPECT_EQ(AlignmentOf(doc, "abc"), Alignment::Center);
  EXPECT_EQ(AlignmentOf(doc, "lm"), Alignment::Left);
}

TEST(RichTextReaderTest, ParagraphsAlignmentsAndTheImplicitLastParagraphMark) {
  RichTextDocument doc = Read(
      "{\\rtf1 \\pard\\qc one\\par\\pard\\qr two\\par\\pard\\ql three\\par\\pard\\qj four\\par}");
  ExpectConsistent(doc);
  EXPECT_EQ(doc.Text(), "one\ntwo\nthree\nfour");
  ASSERT_EQ(doc.Paragraphs().size(), 4u);
  EXPECT_EQ(doc.Paragraphs()[0].format.alignment, Alignment::Center);
  EXPECT_EQ(doc.Paragraphs()[1].format.alignment, Alignment::Right);
  EXPECT_EQ(doc.Paragraphs()[2].format.alignment, Alignment::Left);
  EXPECT_EQ(doc.Paragraphs()[3].format.alignment, Alignment::Left);  // justified reads as left

  EXPECT_EQ(Read("{\\rtf1 a\\par}").Text(), "a");
  EXPECT_EQ(Read("{\\rtf1 a\\par\\par}").Text(), "a\n");
  EXPECT_EQ(Read("{\\rtf1 a\\par b}").Text(), "a\nb");
  EXPECT_EQ(Read("{\\rtf1 \\par}").Text(), "");
  EXPECT_EQ(Read("{\\rtf1 }").Text(), "");
  // A paragraph without a final \par still gets the alignment in effect.
  EXPECT_EQ(Read("{\\rtf1 a\\par\\qc b}").Paragraphs()[1].format.alignment, Alignment::Center);
}

TEST(RichTextReaderTest, BreaksTabsAndSymbols) {
  RichTextDocument doc = Read(
      "{\\rtf1 a\\tab b\\line c\r\nd\\\r\ne \\{\\}\\\\ \\~\\emdash\\endash\\lquote\\rquote"
      "\\ldblquote\\rdblquote\\bullet\\_\\-x\\emspace y}");
  ExpectConsistent(doc);
  EXPECT_EQ(doc.Text(),
            "a\tb\vcd\ne {}\\ \xC2\xA0\xE2\x80\x94\xE2\x80\x93\xE2\x80\x98\xE2\x80\x99"
            "\xE2\x80\x9C\xE2\x80\x9D\xE2\x80\xA2-x y");
}

TEST(RichTextReaderTest, HexEscapesAndRawBytesAreWindows1252) {
  RichTextDocument doc = Read("{\\rtf1 caf\\'e9 \\'80\\'9c\\'85 \\'E4 \xe9\x80}");
  EXPECT_EQ(doc.Text(), "caf\xC3\xA9 \xE2\x82\xAC\xC5\x93\xE2\x80\xA6 \xC3\xA4 \xC3\xA9\xE2\x82\xAC");
  // Control characters that arrive as escapes are not text.
  EXPECT_EQ(Read("{\\rtf1 a\\'00\\'0d\\'0a\\'09b\\'7f}").Text(), "a\tb");
}

TEST(RichTextReaderTest, UnicodeEscapesSkipTheirFallbackCharacters) {
  EXPECT_EQ(Read("{\\rtf1 \\u937?mega}").Text(), "\xCE\xA9mega");
  EXPECT_EQ(Read("{\\rtf1 \\u8364\\'80 5}").Text(), "\xE2\x82\xAC 5");
  EXPECT_EQ(Read("{\\rtf1\\uc2 \\u8364 EUR}").Text(), "\xE2\x82\xACR");
  EXPECT_EQ(Read("{\\rtf1\\uc0 \\u8364 EUR}").Text(), "\xE2\x82\xAC" "EUR");
  // A control word counts as one fallback character; a group ends skipping.
  EXPECT_EQ(Read("{\\rtf1\\uc2 \\u937\\'3f\\'3fz}").Text(), "\xCE\xA9z");
  EXPECT_EQ(Read("{\\rtf1\\uc3 \\u937 a}b}").Text(), "\xCE\xA9");
  EXPECT_EQ(Read("{\\rtf1 {\\uc3 \\u937 a}bc}").Text(), "\xCE\xA9" "bc");
  // Negative values are the upper half of the 16-bit range.
  EXPECT_EQ(Read("{\\rtf1 \\u-3913?}").Text(), "\xEF\x82\xB7");  // U+F0B7
  // Surrogate pairs are joined, also as LibreOffice writes them; a lone
  // half is the replacement character.
  EXPECT_EQ(Read("{\\rtf1 \\u55357?\\u56832?}").Text(), "\xF0\x9F\x98\x80");
  EXPECT_EQ(Read("{\\rtf1 \\uc0 \\u55357\\uc1 \\u56832\\'3f!}").Text(), "\xF0\x9F\x98\x80!");
  EXPECT_EQ(Read("{\\rtf1 \\u55357?x}").Text(), "\xEF\xBF\xBDx");
  EXPECT_EQ(Read("{\\rtf1 \\u56832?x}").Text(), "\xEF\xBF\xBDx");
  EXPECT_EQ(Read("{\\rtf1 x\\u55357?}").Text(), "x\xEF\xBF\xBD");
}

TEST(RichTextReaderTest, DestinationsThatAreNotBodyTextAreSkipped) {
  RichTextDocument doc = Read(
      "{\\rtf1{\\fonttbl{\\f0{\\*\\panose 020b0604020202020204}Arial{\\*\\falt Helvetica};}}"
      "{\\stylesheet{\\s1 Heading 1;}}{\\info{\\title T}{\\author A}}{\\*\\generator G;}"
      "a{\\*\\anything at all {nested}}b{\\pict\\wmetafile8 0102{\\*\\blipuid 99}}c"
      "{\\header head}{\\footer foot}{\\footnote note}d"
      "{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt shown}}e"
      "{\\listtext\\'95\\tab}f\\bin3 {}}g{\\nonshppict{\\pict 00}}h}");
  EXPECT_EQ(doc.Text(), "abcdshowne\xE2\x80\xA2\tfgh");
  EXPECT_EQ(FormatOf(doc, "a").face, "Arial");
}

TEST(RichTextReaderTest, BinaryDataIsSkippedWhateverItHolds) {
  std::string rtf = "{\\rtf1 a{\\pict\\bin6 ";
  rtf += std::string("}{\\\0x", 6);
  rtf += "}b\\bin4 \\par}c";
  // \bin with a count past the end stops at the end.
  EXPECT_EQ(Read(rtf).Text(), "ab");
  EXPECT_EQ(Read("{\\rtf1 a\\bin999999 xyz").Text(), "a");
  EXPECT_EQ(Read("{\\rtf1 a\\bin-5 b}").Text(), "ab");
}

TEST(RichTextReaderTest, TablesWithoutGroupsAndUnknownNumbers) {
  RichTextDocument doc = Read(
      "{\\rtf1\\deff0{\\fonttbl\\f0\\fnil Tahoma;\\f1\\froman Geo\\tab rg\\'09ia;\\f2 ;}"
      "{\\colortbl;\\red10\\green20\\blue30;\\red300\\green-4\\blue7;}"
      "\\f1\\cf1 a\\cf2 b\\cf7 c\\cf-3 d\\f9 e\\f0 f\\f2 g}");
  EXPECT_EQ(doc.Text(), "abcdefg");
  EXPECT_EQ(FormatOf(doc, "g").face, "");  // a font without a name is not the default font
  EXPECT_EQ(FormatOf(doc, "a"), Format("Georgia", 240, Rgb(10, 20, 30)));
  EXPECT_EQ(FormatOf(doc, "b").color, Rgb(255, 0, 7));  // components clamped
  EXPECT_EQ(FormatOf(doc, "c").color, kBlack);          // no such entry
  EXPECT_EQ(FormatOf(doc, "d").color, kBlack);
  EXPECT_EQ(FormatOf(doc, "e").face, "Tahoma");  // unknown font: the default font
  EXPECT_EQ(FormatOf(doc, "f").face, "Tahoma");
}

TEST(RichTextReaderTest, OutOfRangeParametersAreClamped) {
  RichTextDocument doc = Read("{\\rtf1 \\fs99999999999999999999 a\\fs0 b\\fs-4 c\\fs1 d\\uc99 \\u65? e}");
  EXPECT_EQ(FormatOf(doc, "a").height, 32760);
  EXPECT_EQ(FormatOf(doc, "b").height, 32760);  // zero and negative sizes are ignored
  EXPECT_EQ(FormatOf(doc, "c").height, 32760);
  EXPECT_EQ(FormatOf(doc, "d").height, 10);
  EXPECT_EQ(doc.Text(), "abcdA");  // \uc is at most 16: " e}" is skipped
}

TEST(RichTextReaderTest, DeepNestingReadsInBoundedDepth) {
  // Far deeper than any editor nests: no recursion, no unbounded state.
  const size_t depth = 200000;
  std::string rtf = "{\\rtf1 a{\\b b";
  rtf += std::string(depth, '{');
  rtf += "deep\\i";
  rtf += std::string(depth, '}');
  rtf += "c}d}";
  RichTextDocument doc = Read(rtf);
  ExpectConsistent(doc);
  EXPECT_EQ(doc.Text(), "abcd");
  EXPECT_TRUE(FormatOf(doc, "c").bold);
  EXPECT_FALSE(FormatOf(doc, "c").italic);
  EXPECT_FALSE(FormatOf(doc, "d").bold);

  // Text at the deepest kept level is read; one level more is not.
  std::string edge = "{\\rtf1 ";
  edge += std::string(kMaxRtfDepth - 2, '{');
  edge += "kept{lost}";
  edge += std::string(kMaxRtfDepth - 2, '}');
  edge += "}";
  EXPECT_EQ(Read(edge).Text(), "kept");
}

TEST(RichTextReaderTest, DamagedAndTruncatedInputNeverFails) {
  for (const char* rtf : {"{\\rtf", "{\\rtf1 a\\", "{\\rtf1 a\\'", "{\\rtf1 a\\'4", "{\\rtf1 a\\u",
                          "{\\rtf1 a\\u-", "{\\rtf1 a{\\fonttbl{\\f0 Ari", "{\\rtf1 {\\colortbl\\red9",
                          "{\\rtf1 a}}}}}b", "{\\rtf1 a\\bin", "{\\rtf1 \\abcdefghijklmnopqrstuvwxyzabcdefghijklmnop5 x}"}) {
    RichTextDocument doc;
    EXPECT_TRUE(ReadRtf(rtf, doc)) << rtf;
    ExpectConsistent(doc);
  }
  EXPECT_EQ(Read("{\\rtf1 a\\'4").Text(), "a");  // one digit: byte 4, not text
  EXPECT_EQ(Read("{\\rtf1 a}}}}}b").Text(), "a");
  EXPECT_EQ(Read("{\\rtf1 \\abcdefghijklmnopqrstuvwxyzabcdefghijklmnop5 x}").Text(), "x");
}

TEST(RichTextReaderTest, OnlyTextStartingAsRtfIsRead) {
  RichTextDocument doc;
  doc.Append("old", CharFormat{});
  EXPECT_FALSE(ReadRtf("plain text", doc));
  EXPECT_EQ(doc.Text(), "");
  EXPECT_FALSE(ReadRtf(" {\\rtf1 x}", doc));
  EXPECT_FALSE(ReadRtf("", doc));
  EXPECT_TRUE(ReadRtf("{\\rtf1 x}", doc));
  EXPECT_EQ(doc.Text(), "x");
}

// ---------------------------------------------------------------------------
// Files written by other programs
// ---------------------------------------------------------------------------

TEST(RichTextFixtureTest, LibreOfficeFormattedDocument) {
  RichTextDocument doc = Read(Fixture("lo_formatted.rtf"));
  ExpectConsistent(doc);
  EXPECT_EQ(doc.Text(),
            "Plain start, then bold words, italic words and underlined words.\n"
            "A centred line\n"
            "A right-aligned line\n"
            "Red text and Courier ten and big.\n"
            "Caf\xC3\xA9 costs 5 \xE2\x82\xAC, \xCE\xA9mega and \xF0\x9F\x98\x80 smile. "
            "Braces {x} and back\\slash.");
  EXPECT_EQ(FormatOf(doc, "Plain"), Format("Times New Roman", 240));
  EXPECT_EQ(FormatOf(doc, "bold words"), Format("Times New Roman", 240, kBlack, true));
  EXPECT_EQ(FormatOf(doc, "italic words"), Format("Times New Roman", 240, kBlack, false, true));
  EXPECT_EQ(FormatOf(doc, "underlined words"),
            Format("Times New Roman", 240, kBlack, false, false, true));
  EXPECT_EQ(FormatOf(doc, "Red text"), Format("Times New Roman", 240, Rgb(255, 0, 0)));
  EXPECT_EQ(FormatOf(doc, "Courier ten"), Format("Courier New", 200));
  EXPECT_EQ(FormatOf(doc, "big"), Format("Times New Roman", 360));
  EXPECT_EQ(AlignmentOf(doc, "Plain"), Alignment::Left);
  EXPECT_EQ(AlignmentOf(doc, "A centred"), Alignment::Center);
  EXPECT_EQ(AlignmentOf(doc, "A right"), Alignment::Right);
  EXPECT_EQ(AlignmentOf(doc, "Red text"), Alignment::Left);
  // Paragraph marks stand outside LibreOffice's run groups: they carry the
  // paragraph style's font (the default font, DejaVu Serif).
  EXPECT_EQ(doc.FormatAt(doc.Text().find('\n')).face, "DejaVu Serif");
}

TEST(RichTextFixtureTest, LibreOfficePlainTextDocument) {
  RichTextDocument doc = Read(Fixture("lo_plain.rtf"));
  ExpectConsistent(doc);
  EXPECT_EQ(doc.Text(),
            "First line of plain text.\n"
            "Second line with a link http://www.example.com/page and mail me@example.org.\n"
            "\n"
            "After an empty line, a long paragraph that goes on and on so that it wraps several "
            "times in the editor when it is laid out at the width of the message body, which is "
            "fourteen centimetres or so, and then it ends here.");
  EXPECT_EQ(doc.Paragraphs().size(), 4u);
  EXPECT_EQ(FormatOf(doc, "After"), Format("DejaVu Sans Mono", 200));
}

TEST(RichTextFixtureTest, LibreOfficeListPictureAndTable) {
  RichTextDocument doc = Read(Fixture("lo_lists_image.rtf"));
  ExpectConsistent(doc);
  EXPECT_EQ(doc.Text(),
            "Before the list\n"
            "\xE2\x80\xA2\tfirst item\n"
            "\xE2\x80\xA2\tsecond item\n"
            "A picture  inside a line.\n"
            "cell one\tcell two\t\n"
            "After the table");
}

TEST(RichTextFixtureTest, LibreOfficeTabs) {
  EXPECT_EQ(Read(Fixture("lo_tabs.rtf")).Text(), "Name:\tVyrelle\nTabs\tbetween\twords");
}

TEST(RichTextFixtureTest, EditorStyleDocument) {
  RichTextDocument doc = Read(Fixture("editor_style.rtf"));
  ExpectConsistent(doc);
  EXPECT_EQ(doc.Text(),
            "Hello bold and italic and underlined text.\n"
            "Centred blue\n"
            "Right in Courier 14\n"
            "Na\xC3\xAFve caf\xC3\xA9 \xE2\x82\xAC 5, tab\tend\vsecond line");
  EXPECT_EQ(FormatOf(doc, "Hello"), Format("Arial", 200));
  EXPECT_EQ(FormatOf(doc, "bold"), Format("Arial", 200, kBlack, true));
  EXPECT_EQ(FormatOf(doc, "italic"), Format("Arial", 200, kBlack, false, true));
  EXPECT_EQ(FormatOf(doc, "underlined"), Format("Arial", 200, kBlack, false, false, true));
  EXPECT_EQ(FormatOf(doc, "Centred"), Format("Arial", 200, Rgb(0, 0, 255)));
  EXPECT_EQ(FormatOf(doc, "Right"), Format("Courier New", 280));
  EXPECT_EQ(AlignmentOf(doc, "Centred"), Alignment::Center);
  EXPECT_EQ(AlignmentOf(doc, "Right"), Alignment::Right);
  EXPECT_EQ(AlignmentOf(doc, "Na"), Alignment::Left);
}

TEST(RichTextFixtureTest, HandWrittenAwkwardDocument) {
  RichTextDocument doc = Read(Fixture("hand_awkward.rtf"));
  ExpectConsistent(doc);
  EXPECT_EQ(doc.Text(),
            "One two three two four five\n"
            "A\xCE\xA9" "B\xE2\x82\xAC" "Clink \xE2\x80\x94\xC2\xA0\xE2\x80\x98q\xE2\x80\x99\n"
            "Georgia auto unknown");
  EXPECT_EQ(FormatOf(doc, "One"), Format("Tahoma", 220));
  EXPECT_EQ(FormatOf(doc, "three"), Format("Tahoma", 220, kBlack, true, true));
  EXPECT_EQ(FormatOf(doc, " two f"), Format("Tahoma", 220, kBlack, true));
  EXPECT_EQ(FormatOf(doc, "Georgia"), Format("Georgia", 220, Rgb(10, 20, 30)));
  EXPECT_EQ(FormatOf(doc, "auto"), Format("Tahoma", 220));
  EXPECT_EQ(FormatOf(doc, "unknown"), Format("Tahoma", 220));
}

// ---------------------------------------------------------------------------
// Writer
// ---------------------------------------------------------------------------

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

TEST(RichTextWriterTest, WrittenDocumentReadsBackTheSame) {
  const RichTextDocument doc = SampleDocument();
  ExpectConsistent(doc);
  const std::string rtf = WriteRtf(doc);
  RichTextDocument back = Read(rtf);
  EXPECT_EQ(back.Text(), doc.Text());
  EXPECT_EQ(back.Runs(), doc.Runs());
  EXPECT_EQ(back.Paragraphs(), doc.Paragraphs());
  // Writing again gives the same stream.
  EXPECT_EQ(WriteRtf(back), rtf);
}

TEST(RichTextWriterTest, StreamHasTheEditorsShape) {
  const std::string rtf = WriteRtf(SampleDocument());
  EXPECT_EQ(rtf.rfind("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}"
                      "{\\f1\\fnil\\fcharset0 Courier New;}{\\f2\\fnil\\fcharset0 Times New Roman;}}\r\n"
                      "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green128\\blue0;\\red1\\green2\\blue3;}\r\n"
                      "\\viewkind4\\uc1\\pard \\f0\\fs20 Plain \\b bold\\b0  and ",
                      0),
            0u)
      << rtf;
  EXPECT_NE(rtf.find("\\pard\\qc "), std::string::npos);
  EXPECT_NE(rtf.find("\\pard\\qr "), std::string::npos);
  EXPECT_NE(rtf.find("caf\\'e9 \\'80 \\u937? \\u-10179?\\u-8704? \\{braces\\} back\\\\slash"),
            std::string::npos)
      << rtf;
  EXPECT_NE(rtf.find("tab\\tab here\\line line two\\par\r\n\\par\r\n"), std::string::npos) << rtf;
  EXPECT_EQ(rtf.substr(rtf.size() - 9), "\\par\r\n}\r\n");
}

TEST(RichTextWriterTest, EmptyDocumentAndTrailingEmptyParagraph) {
  RichTextDocument empty;
  EXPECT_EQ(Read(WriteRtf(empty)).Text(), "");
  RichTextDocument trailing;
  trailing.Append("a\n", Format("Arial", 240));
  RichTextDocument back = Read(WriteRtf(trailing));
  EXPECT_EQ(back.Text(), "a\n");
  EXPECT_EQ(back.Paragraphs().size(), 2u);
}

TEST(RichTextWriterTest, OtherEditorsFilesSurviveAWriteAndRead) {
  for (const char* name : {"lo_formatted.rtf", "lo_plain.rtf", "lo_lists_image.rtf",
                           "editor_style.rtf", "hand_awkward.rtf"}) {
    RichTextDocument doc = Read(Fixture(name));
    RichTextDocument back = Read(WriteRtf(doc));
    EXPECT_EQ(back.Text(), doc.Text()) << name;
    EXPECT_EQ(back.Runs(), doc.Runs()) << name;
    EXPECT_EQ(back.Paragraphs(), doc.Paragraphs()) << name;
  }
}

TEST(RichTextWriterTest, FormatsThatCarryNothingAreWrittenPlain) {
  RichTextDocument doc;
  CharFormat none;
  none.mask = 0;
  none.face = "Ignored";
  none.bold = true;
  none.color = Rgb(9, 9, 9);
  doc.Append("x", none);
  RichTextDocument back = Read(WriteRtf(doc));
  EXPECT_EQ(back.Text(), "x");
  EXPECT_EQ(back.FormatAt(0), Format("", 240));
}

// ---------------------------------------------------------------------------
// Body form
// ---------------------------------------------------------------------------

TEST(RichTextBodyFormTest, BackgroundFollowsTheMarkerInDecimal) {
  RichTextDocument doc = SampleDocument();
  doc.SetBackground(Rgb(255, 0, 0));
  const std::string form = GetBodyRichText(doc);
  EXPECT_EQ(form, WriteRtf(doc) + "{RTFBGCOLOR}=255");
  doc.SetBackground(Rgb(0x12, 0x34, 0x56));
  EXPECT_EQ(GetBodyRichText(doc).substr(WriteRtf(doc).size()), "{RTFBGCOLOR}=5649426");

  RichTextDocument back;
  EXPECT_TRUE(SetBodyRichText(GetBodyRichText(doc), back));
  EXPECT_EQ(back, doc);
  EXPECT_EQ(back.Background(), Rgb(0x12, 0x34, 0x56));
}

TEST(RichTextBodyFormTest, MarkerRules) {
  RichTextDocument doc;
  doc.SetBackground(Rgb(1, 2, 3));
  // Without a marker the background stays as it was.
  EXPECT_TRUE(SetBodyRichText("{\\rtf1 x}", doc));
  EXPECT_EQ(doc.Background(), Rgb(1, 2, 3));
  EXPECT_EQ(doc.Text(), "x");
  // No digits: white. Only the low 24 bits count. The last marker counts.
  SetBodyRichText("{\\rtf1 x}{RTFBGCOLOR}=", doc);
  EXPECT_EQ(doc.Background(), kWhite);
  SetBodyRichText("{\\rtf1 x}{RTFBGCOLOR}=0", doc);
  EXPECT_EQ(doc.Background(), kBlack);
  SetBodyRichText("{\\rtf1 x}{RTFBGCOLOR}=-1", doc);
  EXPECT_EQ(doc.Background(), kWhite);
  SetBodyRichText("{\\rtf1 x}{RTFBGCOLOR}=99999999999999999999", doc);
  EXPECT_LE(doc.Background(), kWhite);
  SetBodyRichText("{\\rtf1 \\{RTFBGCOLOR\\}=5 y}{RTFBGCOLOR}=65280 junk", doc);
  EXPECT_EQ(doc.Background(), Rgb(0, 255, 0));
  EXPECT_EQ(doc.Text(), "{RTFBGCOLOR}=5 y");
}

TEST(RichTextBodyFormTest, BodyThatIsNotRtfIsKeptAsPlainText) {
  RichTextDocument doc;
  EXPECT_FALSE(SetBodyRichText("line one\r\nline two\rthree\nfour\tend{RTFBGCOLOR}=0", doc));
  EXPECT_EQ(doc.Text(), "line one\nline two\nthree\nfour\tend");
  EXPECT_EQ(doc.Background(), kBlack);
  EXPECT_EQ(doc.Paragraphs().size(), 4u);
  ExpectConsistent(doc);
  EXPECT_FALSE(SetBodyRichText("caf\xC3\xA9", doc));
  EXPECT_EQ(doc.Text(), "caf\xC3\xA9");
  EXPECT_FALSE(SetBodyRichText("caf\xE9 \x80", doc));
  EXPECT_EQ(doc.Text(), "caf\xC3\xA9 \xE2\x82\xAC");
}

// ---------------------------------------------------------------------------
// Layout
// ---------------------------------------------------------------------------

// Every character is 100 twips wide, bold ones 200.
class FixedMeasurer : public TextMeasurer {
 public:
  bool Available() override { return true; }
  int Width(std::string_view utf8, const CharFormat& format) override {
    int chars = 0;
    for (size_t i = 0; i < utf8.size(); i += Utf8Length(utf8, i)) ++chars;
    return chars * (format.bold ? 200 : 100);
  }
};

class UnavailableMeasurer : public FixedMeasurer {
 public:
  bool Available() override { return false; }
};

std::vector<size_t> Lines(const std::string& text, int width, TextMeasurer* m) {
  RichTextDocument doc;
  doc.Append(text, CharFormat{});
  return LayoutLineStarts(doc, width, m);
}

using Starts = std::vector<size_t>;

TEST(RichTextLayoutTest, WordsWrapAtSpacesThatHangAtTheLineEnd) {
  FixedMeasurer m;
  EXPECT_EQ(Lines("hello world again", 1000, &m), (Starts{0, 6, 12}));
  EXPECT_EQ(Lines("hello worl", 1000, &m), (Starts{0}));  // exactly the width
  EXPECT_EQ(Lines("hello world", 1000, &m), (Starts{0, 6}));
  // Spaces never start a line, however many.
  const std::string spaced = "abc" + std::string(30, ' ') + "def";
  EXPECT_EQ(Lines(spaced, 1000, &m), (Starts{0, 33}));
  EXPECT_EQ(Lines("a b c d e f g h i j k l", 1000, &m), (Starts{0, 10, 20}));
}

TEST(RichTextLayoutTest, WordWiderThanTheLineIsBrokenBetweenCharacters) {
  FixedMeasurer m;
  EXPECT_EQ(Lines("abcdefghijklmnopqrstuvwxyz", 1000, &m), (Starts{0, 10, 20}));
  EXPECT_EQ(Lines("ab abcdefghijklmnopqrstuvwxyz", 1000, &m), (Starts{0, 3, 13, 23}));
  // Even a line too narrow for one character holds one.
  EXPECT_EQ(Lines("abc", 50, &m), (Starts{0, 1, 2}));
  // Multi-byte characters are never split: each of these is two bytes.
  EXPECT_EQ(Lines("\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", 300, &m), (Starts{0, 6}));
  // Very long words are placed character by character.
  const std::string longWord(1000, 'x');
  const Starts s = Lines(longWord, 1000, &m);
  ASSERT_EQ(s.size(), 100u);
  for (size_t k = 0; k < s.size(); ++k) EXPECT_EQ(s[k], k * 10);
}

TEST(RichTextLayoutTest, ParagraphEndsAndLineBreaksStartLines) {
  FixedMeasurer m;
  EXPECT_EQ(Lines("a\nb\vc", 1000, &m), (Starts{0, 2, 4}));
  EXPECT_EQ(Lines("a\n\nb", 1000, &m), (Starts{0, 2, 3}));
  EXPECT_EQ(Lines("a\n", 1000, &m), (Starts{0}));  // an empty last line has no character
  EXPECT_EQ(Lines("", 1000, &m), (Starts{0}));
  EXPECT_EQ(Lines("hello world\nhello world", 1000, &m), (Starts{0, 6, 12, 18}));
}

TEST(RichTextLayoutTest, TabsAdvanceToTheNextStop) {
  FixedMeasurer m;
  // "ab" ends at 200, the tab at 720, "cd" at 920: fits in 1000.
  EXPECT_EQ(Lines("ab\tcd", 1000, &m), (Starts{0}));
  EXPECT_EQ(Lines("ab\tcde", 1000, &m), (Starts{0, 3}));
  // 700 -> 720, then "x" ends at 820.
  EXPECT_EQ(Lines("abcdefg\tx", 800, &m), (Starts{0, 8}));
  EXPECT_EQ(Lines("abcdefg\tx", 820, &m), (Starts{0}));
  // A tab at a stop goes on to the next one: 720, 1440, then "x" to 1540.
  EXPECT_EQ(Lines("\t\tx", 1500, &m), (Starts{0, 2}));
  EXPECT_EQ(Lines("\t\tx", 1540, &m), (Starts{0}));
}

TEST(RichTextLayoutTest, EachRunIsMeasuredInItsOwnFormat) {
  FixedMeasurer m;
  RichTextDocument doc;
  doc.Append("aaaa ", CharFormat{});
  CharFormat bold;
  bold.bold = true;
  doc.Append("bbb", bold);  // 600 twips: 500 + 600 > 1000
  EXPECT_EQ(LayoutLineStarts(doc, 1000, &m), (Starts{0, 5}));
  RichTextDocument plain;
  plain.Append("aaaa bbb", CharFormat{});
  EXPECT_EQ(LayoutLineStarts(plain, 1000, &m), (Starts{0}));
  // A word in two formats is still one word.
  RichTextDocument mixed;
  mixed.Append("aaaaaa x", CharFormat{});
  mixed.Append("yy", bold);  // "xyy" = 500 twips from 700
  EXPECT_EQ(LayoutLineStarts(mixed, 1000, &m), (Starts{0, 7}));
}

TEST(RichTextLayoutTest, WithoutMeasurementOnlyBreaksStartLines) {
  UnavailableMeasurer unavailable;
  const std::string text = std::string(500, 'w') + " more words\nnext";
  EXPECT_EQ(Lines(text, 1000, &unavailable), (Starts{0, 512}));
  EXPECT_EQ(Lines(text, 1000, nullptr), (Starts{0, 512}));
}

TEST(RichTextMeasureTest, SystemFontsMeasureText) {
  ASSERT_TRUE(platform::TextMeasureAvailable())
      << "no usable font: install fonts-dejavu-core (scripts/install-deps.sh)";
  using platform::MeasureTextWidth;
  const int wide = MeasureTextWidth("WWWW", "DejaVu Sans", 240, false, false);
  const int narrow = MeasureTextWidth("iiii", "DejaVu Sans", 240, false, false);
  EXPECT_GT(wide, 2 * narrow);
  // A 12-point "W" is between 120 and 360 twips wide.
  EXPECT_GT(wide, 4 * 120);
  EXPECT_LT(wide, 4 * 360);
  // Monospaced faces give every character the same advance.
  EXPECT_EQ(MeasureTextWidth("WWWW", "DejaVu Sans Mono", 240, false, false),
            MeasureTextWidth("iiii", "DejaVu Sans Mono", 240, false, false));
  // Width grows with the height.
  const int h12 = MeasureTextWidth("Hello world", "DejaVu Serif", 240, false, false);
  const int h24 = MeasureTextWidth("Hello world", "DejaVu Serif", 480, false, false);
  EXPECT_NEAR(h24, 2 * h12, h12 / 20);
  EXPECT_GE(MeasureTextWidth("Hello world", "DejaVu Sans", 240, true, false),
            MeasureTextWidth("Hello world", "DejaVu Sans", 240, false, false));
  EXPECT_EQ(MeasureTextWidth("", "DejaVu Sans", 240, false, false), 0);
  // Bad UTF-8 and zero bytes are measured, not refused.
  EXPECT_GT(MeasureTextWidth(std::string("a\xFF\0b", 4), "DejaVu Sans", 240, false, false), 0);
  // Heights of zero or less are 12 points.
  EXPECT_EQ(MeasureTextWidth("abc", "DejaVu Sans", 0, false, false),
            MeasureTextWidth("abc", "DejaVu Sans", 240, false, false));
}

TEST(RichTextMeasureTest, SystemLayoutBreaksLikeTheWidthSays) {
  SystemTextMeasurer measurer;
  ASSERT_TRUE(measurer.Available());
  RichTextDocument doc = Read(Fixture("lo_plain.rtf"));
  const std::vector<size_t> lines = LayoutLineStarts(doc, kLayoutWidthTwips, &measurer);
  // Every line fits without its trailing spaces, and the first word of the
  // next line would not have fitted.
  const std::string& text = doc.Text();
  const CharFormat& f = doc.FormatAt(0);
  size_t wraps = 0;
  for (size_t k = 0; k < lines.size(); ++k) {
    const size_t end = k + 1 < lines.size() ? lines[k + 1] : text.size();
    std::string line = text.substr(lines[k], end - lines[k]);
    const bool wrapped = !line.empty() && line.back() != '\n';
    while (!line.empty() && (line.back() == ' ' || line.back() == '\n')) line.pop_back();
    EXPECT_LE(measurer.Width(line, f), kLayoutWidthTwips) << line;
    if (wrapped && k + 1 < lines.size()) {
      ++wraps;
      const size_t wordEnd = text.find_first_of(" \n", end);
      const std::string withNext =
          text.substr(lines[k], (wordEnd == std::string::npos ? text.size() : wordEnd) - lines[k]);
      EXPECT_GT(measurer.Width(withNext, f), kLayoutWidthTwips) << withNext;
    }
  }
  EXPECT_GE(wraps, 2u);
}

}  // namespace
}  // namespace vyr

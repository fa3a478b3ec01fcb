// Decoding stored messages for the viewer: the pages and part files written
// for a corpus of real-world message forms, the part list, the names of
// parts that come from the message, the display directory's emptying, the
// headers page, the navigation hook, deleting from the viewer, and decoding
// while the mail check works on the same data folder.
#include "mail/read/message_decoder.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <thread>

#include "mail/store/folder_loader.h"
#include "mail/body/text_to_html.h"
#include "platform/file_system.h"
#include "platform/file_times.h"
#include "platform/profile_file.h"
#include "platform/string_table.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

std::string Fixture(const std::string& name) { return std::string(VYRELLE_TEST_FIXTURES_DIR) + "/mail/" + name; }

class MessageDecoderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ClearProfileCache();
    platform::SetStringLanguage(platform::Language::English);
    dir = DisplayDirectory(store);
    ASSERT_FALSE(dir.empty());
  }
  // Stores a fixture in Inbox as the mail check would and returns its path.
  std::string Stored(const std::string& fixture) {
    const std::string path = store.FolderPath("Inbox", true) + fixture;
    fs::copy_file(Fixture(fixture), path, fs::copy_options::overwrite_existing);
    return path;
  }
  // Decodes a fixture; the result must be 1.
  const DecodedMessage& Decode(const std::string& fixture) {
    std::string page;
    EXPECT_EQ(decoder.DecodeMessage(Stored(fixture), dir, page), 1) << fixture;
    EXPECT_EQ(page, decoder.Decoded().page);
    return decoder.Decoded();
  }
  std::string File(const std::string& name) const { return test::ReadFile(dir + name); }
  bool Exists(const std::string& name) const { return fs::exists(dir + name); }
  Texts Types() const { return decoder.Decoded().partTypes; }
  Texts Names() const { return decoder.Decoded().partNames; }
  Texts Shown() const {
    Texts texts;
    for (const auto& b : boxes.boxes) texts.push_back(b.text);
    return texts;
  }

  test::TempDir home;
  test::RecordingMessageBox boxes;
  test::RecordingSoundPlayer sounds;
  Application app{home.Path(), boxes, sounds};
  MailStore store{app};
  MessageDecoder decoder{app};
  std::string dir;
};

// --- the corpus ------------------------------------------------------------------------------------

TEST_F(MessageDecoderTest, APlainMessageWithoutMimeShowsItsBodyWithoutTheHeaderBlock) {
  const DecodedMessage& m = Decode("plain_text.mail");
  EXPECT_EQ(m.page, "PlainText.htm");
  EXPECT_EQ(Names(), Texts{"0001.txt"});
  EXPECT_EQ(Types(), Texts{""});
  const std::string body =
      "Hello Kim,\n\nthe minutes of Monday's meeting are on www.example.org/garden/minutes\n"
      "and the next meeting is on the 12th. Questions go to alice@example.org.\n\n"
      "  - bring seeds\n  - bring gloves\n\nAlice";
  EXPECT_EQ(m.text, body) << "headers stripped, the POP3 terminator's dot gone, trailing blanks trimmed";
  EXPECT_EQ(m.converted, body);
  EXPECT_EQ(File("PlainText.htm"), TextToHtml(body));
  EXPECT_EQ(m.summary.subject, "Minutes of the garden club");
  EXPECT_TRUE(m.summaryRead);
  EXPECT_TRUE(m.errors.empty());
  EXPECT_FALSE(Exists(".message")) << "the copy the library read is gone";
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(MessageDecoderTest, MultipartAlternativeShowsTheHtmlAndQuotesThePlainText) {
  const DecodedMessage& m = Decode("alternative.mail");
  EXPECT_EQ(m.page, "Enhanced.htm");
  EXPECT_EQ(Names(), (Texts{"0001.txt", "Enhanced.htm"}));
  EXPECT_EQ(Types(), (Texts{"text/plain", "text/html"}));
  EXPECT_EQ(File("Enhanced.htm"),
            "<html><body><h1>Spring offers</h1><p>Caf\xE9 tables at <b>half price</b>.</p>"
            "<p><a href=\"http://shop.example/spring\">The whole range</a></p></body></html>\n");
  EXPECT_FALSE(Exists("0002.txt")) << "the HTML part lives under its page name only";
  const std::string plain =
      "Spring offers: caf\xE9 tables at half price.\n"
      "Visit http://shop.example/spring for the whole range, this line is long enough to be folded by the "
      "encoder.";
  EXPECT_EQ(m.text, plain) << "the HTML alternative is not quoted";
  EXPECT_EQ(File("PlainText.htm"), TextToHtml(plain));
}

TEST_F(MessageDecoderTest, MultipartMixedListsItsAttachmentsWithTheirBytes) {
  const DecodedMessage& m = Decode("mixed_attachments.mail");
  EXPECT_EQ(m.page, "PlainText.htm");
  EXPECT_EQ(Names(), (Texts{"0001.txt", "report Q1.pdf", "figures.csv"}));
  EXPECT_EQ(Types(), (Texts{"text/plain", "application/pdf", "text/csv"}));
  EXPECT_EQ(m.text, "Hi Kim,\n\nthe report and the raw numbers are attached.\n\nBob");
  EXPECT_EQ(File("PlainText.htm"), TextToHtml(m.text));
  const std::string pdf = File("report Q1.pdf");
  ASSERT_EQ(pdf.size(), 9u + 3000u + 7u);
  EXPECT_EQ(pdf.substr(0, 9), "%PDF-1.4\n");
  EXPECT_EQ(pdf.substr(pdf.size() - 7), "\n%%EOF\n");
  EXPECT_EQ(File("figures.csv"), "month;sales\njanuary;10\nfebruary;12\nmarch;17\n");

  MessageView view(app, dir);
  ASSERT_TRUE(view.Open(store.FolderPath("Inbox", false) + "mixed_attachments.mail"));
  EXPECT_EQ(view.ListedParts(), (std::vector<size_t>{0, 1, 2}));
  EXPECT_EQ(view.PartUrl(1), "file://" + dir + "report%20Q1.pdf");
  EXPECT_EQ(view.Caption(), "[Bob <bob@example.net>] Quarterly figures");
}

TEST_F(MessageDecoderTest, AnAttachmentOnlyMessageShowsTheWholeMessageAndListsTheAttachment) {
  const DecodedMessage& m = Decode("attachment_only.mail");
  EXPECT_EQ(m.page, "PlainText.htm");
  EXPECT_EQ(Names(), (Texts{"PlainText.htm", "scan0042.zip"}));
  EXPECT_EQ(Types(), (Texts{"text/html", "application/zip"}));
  const std::string page = File("PlainText.htm");
  EXPECT_EQ(page.find("Return-Path"), std::string::npos);
  const std::string disposition = TextToHtml("Content-Disposition: attachment; filename=\"scan0042.zip\"");
  EXPECT_NE(page.find(disposition.substr(28, disposition.size() - 28 - 14)), std::string::npos) << disposition;
  const std::string end = "--SCAN-BOUNDARY--</HTML></BODY>";
  ASSERT_GE(page.size(), end.size());
  EXPECT_EQ(page.substr(page.size() - end.size()), end);
  const std::string zip = File("scan0042.zip");
  EXPECT_EQ(zip.size(), 1504u);
  EXPECT_EQ(zip.substr(0, 4), std::string("PK\x03\x04", 4));
  EXPECT_EQ(m.text.rfind("--SCAN-BOUNDARY--"), m.text.size() - 17);
}

TEST_F(MessageDecoderTest, NestedMultipartsFindTheInnerAlternativeAndTheImage) {
  const DecodedMessage& m = Decode("nested.mail");
  EXPECT_EQ(m.page, "Enhanced.htm");
  EXPECT_EQ(Names(), (Texts{"0001.txt", "Enhanced.htm", "lake.png"}));
  EXPECT_EQ(Types(), (Texts{"text/plain", "text/html", "image/png"}));
  EXPECT_NE(File("Enhanced.htm").find("The <i>best</i> photo of the trip is attached."), std::string::npos);
  EXPECT_EQ(m.text, "The best photo of the trip is attached.\nCarol");
  EXPECT_EQ(File("lake.png").size(), 808u);
  EXPECT_EQ(File("lake.png").substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
}

TEST_F(MessageDecoderTest, AUuencodedAttachmentInAPlainBody) {
  const DecodedMessage& m = Decode("uuencoded.mail");
  // uulib reports the encoded file and nothing else, so the page is the
  // whole message.
  EXPECT_EQ(m.page, "PlainText.htm");
  EXPECT_EQ(Names(), (Texts{"PlainText.htm", "tool.bin"}));
  EXPECT_EQ(File("tool.bin").size(), 900u);
  const std::string page = File("PlainText.htm");
  EXPECT_NE(page.find("Here  it  is,  uuencoded  as  usual."), std::string::npos);
  EXPECT_NE(page.find("begin  644  tool.bin"), std::string::npos);
  EXPECT_NE(page.find("Run  it  with  care."), std::string::npos);
  struct stat st {};
  ASSERT_EQ(::stat((dir + "tool.bin").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST_F(MessageDecoderTest, ABase64BodyIsDecodedInFullDespiteTheStoredTerminator) {
  // Stored messages end with the "." of the POP3 terminator; read by the
  // library as it stands, that dot leaves the decoded body empty.
  ASSERT_EQ(test::ReadFile(Fixture("base64_body.mail")).back(), '.');
  const DecodedMessage& m = Decode("base64_body.mail");
  EXPECT_EQ(m.page, "PlainText.htm");
  // uulib names a base64 body after the subject and offers it as a file.
  EXPECT_EQ(Names(), (Texts{"PlainText.htm", "Gruesse"}));
  EXPECT_EQ(Types(), (Texts{"text/html", "text/plain"}));
  EXPECT_EQ(File("Gruesse"), "Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln!\nDer Bericht kommt morgen.\n");
  EXPECT_NE(File("PlainText.htm").find("R3LDvMOfZSBhdXMgS8O2bG4hCkRlciBCZXJpY2h0IGtvbW10IG1vcmdlbi4K"),
            std::string::npos);
}

TEST_F(MessageDecoderTest, AQuotedPrintableBodyIsDecoded) {
  const DecodedMessage& m = Decode("quoted_printable.mail");
  EXPECT_EQ(m.page, "PlainText.htm");
  EXPECT_EQ(Names(), Texts{"0001.txt"});
  EXPECT_EQ(Types(), Texts{"text/plain"});
  const std::string text =
      "Le menu de demain: cr\xE8me br\xFBl\xE9" "e et caf\xE9, servi \xE0 midi dans la grande salle.\n"
      "Prix: 12 = douze euros.";
  EXPECT_EQ(m.text, text);
  EXPECT_EQ(File("PlainText.htm"), TextToHtml(text));
}

TEST_F(MessageDecoderTest, ABrokenBoundaryStillGivesTheTextAndTheLog) {
  const DecodedMessage& m = Decode("broken_boundary.mail");
  EXPECT_EQ(m.page, "PlainText.htm");
  EXPECT_EQ(Names(), (Texts{"0001.txt", "build.log"}));
  EXPECT_EQ(Types(), (Texts{"text/plain", "text/plain"}));
  EXPECT_EQ(m.text, "Build 1234 succeeded.\nAll 812 tests passed.");
  EXPECT_EQ(File("build.log"), "compile ... ok\nlink ... ok\n");
}

TEST_F(MessageDecoderTest, AMessageWithNeitherTextNorAttachmentSaysSo) {
  const DecodedMessage& m = Decode("no_body.mail");
  EXPECT_EQ(m.page, "PlainText.htm");
  EXPECT_EQ(File("PlainText.htm"), kNoBodyText);
  EXPECT_EQ(m.text, "");
  EXPECT_EQ(Names(), Texts{"0001.txt"});
}

TEST_F(MessageDecoderTest, WhenTheLibraryFindsNothingThePageIsTheWholeMessageOrTheNote) {
  // An empty file: nothing for the library, nothing for the page.
  const std::string empty = store.FolderPath("Inbox", true) + "empty.mail";
  test::WriteFile(empty, "");
  std::string page;
  EXPECT_EQ(decoder.DecodeMessage(empty, dir, page), 1);
  EXPECT_EQ(page, "PlainText.htm");
  EXPECT_EQ(File("PlainText.htm"), kNoBodyText);
  EXPECT_TRUE(Names().empty());
}

TEST_F(MessageDecoderTest, UnknownPartsAreRenamedAndFurtherTextPartsJoinThePlainPage) {
  const DecodedMessage& m = Decode("psf_msg_10.mail");
  EXPECT_EQ(m.page, "Enhanced.htm");
  EXPECT_EQ(Names(), (Texts{"0001.txt", "Enhanced.htm", "Unknown_text_File_1.txt", "Unknown_text_File_2.txt"}));
  EXPECT_EQ(File("Unknown_text_File_1.txt"), "This is a Base64 encoded message.");
  EXPECT_EQ(File("Unknown_text_File_2.txt"), "This is a Base64 encoded message.\n");
  EXPECT_FALSE(Exists("UNKNOWN.001"));
  // 0003.txt is not listed; its text is appended to the plain page.
  EXPECT_TRUE(Exists("0003.txt"));
  EXPECT_EQ(File("MorePlainText.htm"), TextToHtml("This has no Content-Transfer-Encoding: header."));
  EXPECT_EQ(File("PlainText.htm"), TextToHtml("This is a 7bit encoded message.") + File("MorePlainText.htm"));
  EXPECT_EQ(m.text, "This is a 7bit encoded message.\n\nThis has no Content-Transfer-Encoding: header.");
}

TEST_F(MessageDecoderTest, PartsOfTheSameNameKeepTheirOwnFiles) {
  Decode("psf_msg_04.mail");
  EXPECT_EQ(Names(), (Texts{"PlainText.htm", "msg.txt", "msg~2.txt"}));
  EXPECT_EQ(File("msg.txt"), "a simple kind of mirror\nto reflect upon our own\n\n");
  EXPECT_EQ(File("msg~2.txt"), "a simple kind of mirror\nto reflect upon our own\n\n");
}

TEST_F(MessageDecoderTest, AGifAttachmentFromAMailLibrarysCorpus) {
  const DecodedMessage& m = Decode("psf_msg_07.mail");
  EXPECT_EQ(Names(), (Texts{"0001.txt", "dingusfish.gif"}));
  EXPECT_EQ(m.text, "Hi there,\n\nThis is the dingus fish.");
  EXPECT_EQ(File("dingusfish.gif").substr(0, 6), "GIF87a");
}

TEST_F(MessageDecoderTest, TheLongBodyIsReadWhole) {
  const DecodedMessage& m = Decode("long_body.mail");
  EXPECT_EQ(m.page, "PlainText.htm");
  EXPECT_EQ(m.text.size(), 40000u);
  EXPECT_EQ(m.text.substr(0, 20), "Line 00000 of the lo");
}

// --- names from the message ------------------------------------------------------------------------

TEST_F(MessageDecoderTest, AttachmentNamesCannotLeaveTheDisplayDirectory) {
  const DecodedMessage& m = Decode("hostile_names.mail");
  EXPECT_EQ(Names(), (Texts{"0001.txt", "escape-relative.txt", "vyrelle-escape-absolute.txt", "attachment",
                            "windows-escape.txt", "PlainText~2.htm", "hidden", "uu-escape.bin"}));
  EXPECT_EQ(m.page, "PlainText.htm");
  EXPECT_EQ(File("PlainText.htm"), TextToHtml("Please see the attached files."));
  EXPECT_EQ(File("PlainText~2.htm"), "not the page");
  EXPECT_EQ(File("attachment"), "dot dot");
  EXPECT_EQ(File("hidden"), "leading dots");
  EXPECT_EQ(File("uu-escape.bin"), "uuencoded escape");
  EXPECT_FALSE(fs::exists("/tmp/vyrelle-escape-absolute.txt"));
  // Every file the decode wrote lies directly in the display directory.
  for (const auto& entry : fs::recursive_directory_iterator(home.Path())) {
    if (!entry.is_regular_file()) continue;
    const std::string folder = entry.path().parent_path().string() + "/";
    const std::string name = entry.path().filename().string();
    if (name.size() > 5 && name.substr(name.size() - 5) == ".mail") continue;  // the stored message
    if (name == "vyr20.ini") continue;
    EXPECT_EQ(folder, dir) << entry.path();
  }
  // The uuencoded "begin 4755" asked for set-user-id: ignored.
  struct stat st {};
  ASSERT_EQ(::stat((dir + "uu-escape.bin").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST(PartNames, SafeNamesAndUnknownParts) {
  EXPECT_EQ(SafePartName("report.pdf"), "report.pdf");
  EXPECT_EQ(SafePartName("../../etc/passwd"), "passwd");
  EXPECT_EQ(SafePartName("C:\\temp\\x.doc"), "x.doc");
  EXPECT_EQ(SafePartName("C:x.doc"), "C_x.doc");
  EXPECT_EQ(SafePartName(".."), "attachment");
  EXPECT_EQ(SafePartName("..."), "attachment");
  EXPECT_EQ(SafePartName("dir/"), "attachment");
  EXPECT_EQ(SafePartName("..hidden"), "hidden");
  EXPECT_EQ(SafePartName(".profile"), "profile");
  EXPECT_EQ(SafePartName("a\tb\nc"), "a_b_c");
  EXPECT_EQ(SafePartName("name. . "), "name");
  const std::string longName = std::string(300, 'x') + ".tar.gz";
  const std::string cut = SafePartName(longName);
  EXPECT_EQ(cut.size(), 200u);
  EXPECT_EQ(cut.substr(cut.size() - 3), ".gz");
  for (const char* name : {"../a", "/abs", "..", "a/../../b", "\\\\server\\share\\f"}) {
    EXPECT_TRUE(platform::IsPlainFileName(SafePartName(name))) << name;
  }

  EXPECT_EQ(UnknownPartName("application/octet-stream", "UNKNOWN.003"), "Unknown_application_File_3.txt");
  EXPECT_EQ(UnknownPartName("text/plain", "UNKNOWN.012"), "Unknown_text_File_2.txt");
  EXPECT_EQ(UnknownPartName("", "UNKNOWN.001"), "Unknown__File_1.txt");
  // Nothing before the slash: the whole type, made a plain name.
  EXPECT_EQ(UnknownPartName("/x/../y", "UNKNOWN.004"), "Unknown__x_.._y_File_4.txt");
  EXPECT_TRUE(platform::IsPlainFileName(UnknownPartName("../../..", "UNKNOWN")));
}

TEST_F(MessageDecoderTest, UnknownPartsWhoseNamesWouldCollideKeepTheirOwnFiles) {
  // UNKNOWN.002 and UNKNOWN.012 end in the same character.
  std::string text =
      "Return-Path: <a@example.org>\r\nFrom: a@example.org\r\nSubject: many\r\nMIME-Version: 1.0\r\n"
      "Content-Type: multipart/mixed; boundary=\"B\"\r\n\r\n--B\r\nContent-Type: text/plain\r\n\r\nhi\r\n";
  for (int i = 1; i <= 12; ++i) {
    text += "--B\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n\r\n";
    const std::string payload = "part" + std::string(i < 10 ? "0" : "") + std::to_string(i);
    // base64 of the six-character payload
    static const char* kB64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string b64;
    for (size_t k = 0; k < payload.size(); k += 3) {
      const unsigned v = (static_cast<unsigned char>(payload[k]) << 16) |
                         (static_cast<unsigned char>(payload[k + 1]) << 8) | static_cast<unsigned char>(payload[k + 2]);
      for (int s = 18; s >= 0; s -= 6) b64 += kB64[(v >> s) & 63];
    }
    text += b64 + "\r\n";
  }
  text += "--B--\r\n.";
  const std::string path = store.FolderPath("Inbox", true) + "many.mail";
  test::WriteFile(path, text);
  std::string page;
  ASSERT_EQ(decoder.DecodeMessage(path, dir, page), 1);
  ASSERT_EQ(Names().size(), 13u);
  EXPECT_EQ(Names()[2], "Unknown_application_File_2.txt");
  EXPECT_EQ(Names()[12], "Unknown_application_File_2~2.txt");
  for (int i = 1; i <= 12; ++i) {
    EXPECT_EQ(File(Names()[i]), "part" + std::string(i < 10 ? "0" : "") + std::to_string(i)) << Names()[i];
  }
}

// --- WritePartPage ----------------------------------------------------------------------------------

TEST_F(MessageDecoderTest, WritePartPageStripsReceivedHeaderBlocksOnly) {
  const std::string part = home.File("part.txt");
  struct Case {
    const char* text;
    bool strip;
    const char* kept;
  } cases[] = {
      {"Return-Path: <a@b>\r\nSubject: x\r\n\r\nbody\r\n", true, "body"},
      {"return-path: <a@b>\nSubject: x\n\nbody\n", true, "body"},
      {"RECEIVED: from x\r\n\r\nbody", true, "body"},
      {"From: a@b\r\n\r\nbody", true, "From: a@b\r\n\r\nbody"},
      {"Return-Path: <a@b>\r\n\r\nbody", false, "Return-Path: <a@b>\r\n\r\nbody"},
      {"Received: only headers\r\nFrom: x", true, ""},
      {"text with trailing blanks \t\r\n\r\n", true, "text with trailing blanks"},
  };
  for (const Case& c : cases) {
    test::WriteFile(part, c.text);
    MessageDecoder d(app);
    std::ostringstream out;
    const int result = d.WritePartPage(part, out, c.strip, "text/plain");
    EXPECT_EQ(d.Decoded().text, c.kept) << c.text;
    EXPECT_EQ(result, std::string(c.kept).empty() ? 0 : 1) << c.text;
    EXPECT_EQ(out.str(), TextToHtml(c.kept)) << c.text;
  }
}

TEST_F(MessageDecoderTest, WritePartPageAccumulatesAndWritesHtmlAsItStands) {
  const std::string a = home.File("a.txt"), b = home.File("b.txt"), h = home.File("h.htm");
  test::WriteFile(a, "first & <part>\n");
  test::WriteFile(b, "second\n");
  test::WriteFile(h, "<p>html</p>");
  MessageDecoder d(app);
  std::ostringstream one, two, three;
  EXPECT_EQ(d.WritePartPage(a, one, true, "text/plain"), 1);
  EXPECT_EQ(one.str(), TextToHtml("first & <part>"));
  EXPECT_EQ(d.WritePartPage(b, two, true, ""), 1);
  EXPECT_EQ(two.str(), TextToHtml("second"));
  EXPECT_EQ(d.WritePartPage(h, three, true, "text/html"), 1);
  // An HTML part writes the whole accumulated text.
  EXPECT_EQ(three.str(), "first & <part>\n\nsecond\n\n<p>html</p>");
  EXPECT_EQ(d.Decoded().text, "first & <part>\n\nsecond\n\n<p>html</p>");
  EXPECT_EQ(d.Decoded().converted, "first & <part>\n\nsecond");

  // Once the accumulated text begins with <html>, parts are written as they stand.
  MessageDecoder e(app);
  test::WriteFile(a, "<HTML><body>x</body></HTML>");
  std::ostringstream four, five;
  e.WritePartPage(a, four, false, "");
  e.WritePartPage(b, five, false, "");
  EXPECT_EQ(five.str(), "<HTML><body>x</body></HTML>\n\nsecond");
  EXPECT_EQ(e.Decoded().converted, "");

  std::ostringstream none;
  EXPECT_EQ(MessageDecoder(app).WritePartPage(home.File("missing.txt"), none, true, ""), 0);
  EXPECT_EQ(none.str(), "");
}

TEST_F(MessageDecoderTest, WritePartPageTakesEachChunkUpToItsFirstZeroByte) {
  std::string text(4096, 'a');
  text[10] = '\0';  // the rest of the first chunk goes
  text += "second chunk";
  text += '\0';
  text += "dropped";
  const std::string part = home.File("zero.txt");
  test::WriteFile(part, text);
  MessageDecoder d(app);
  std::ostringstream out;
  EXPECT_EQ(d.WritePartPage(part, out, false, ""), 1);
  EXPECT_EQ(d.Decoded().text, std::string(10, 'a') + "second chunk");
}

// --- the display directory ------------------------------------------------------------------------

TEST_F(MessageDecoderTest, EmptyingKeepsReadOnlyFilesAndSubfoldersAndRemovesLinks) {
  test::WriteFile(dir + "old.txt", "old");
  test::WriteFile(dir + "forwarded.pdf", "keep me");
  fs::permissions(dir + "forwarded.pdf", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  fs::create_directory(dir + "sub");
  test::WriteFile(dir + "sub/inner.txt", "inner");
  const std::string outside = home.File("outside.txt");
  test::WriteFile(outside, "outside");
  fs::create_symlink(outside, dir + "link.txt");
  EXPECT_EQ(EmptyDisplayDirectory(dir), 2);
  EXPECT_FALSE(Exists("old.txt"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir + "link.txt")));
  EXPECT_EQ(test::ReadFile(outside), "outside");
  EXPECT_EQ(File("forwarded.pdf"), "keep me");
  EXPECT_EQ(File("sub/inner.txt"), "inner");
  EXPECT_EQ(ReleaseDisplayDirectory(dir), 1);
  EXPECT_EQ(EmptyDisplayDirectory(dir), 1);
  EXPECT_FALSE(Exists("forwarded.pdf"));
}

TEST_F(MessageDecoderTest, TheDisplayDirectoryIsTheViewersOwnFolderInsideTemp) {
  EXPECT_EQ(dir, store.TempDirectory() + "Viewer/");
  // A download of the mail check in _TEMP survives any number of decodes.
  const std::string download = store.TempDirectory() + "M12345.new";
  test::WriteFile(download, "half a message");
  Decode("plain_text.mail");
  Decode("mixed_attachments.mail");
  EXPECT_EQ(test::ReadFile(download), "half a message");
  EXPECT_TRUE(Exists("report Q1.pdf"));
  Decode("plain_text.mail");
  EXPECT_FALSE(Exists("report Q1.pdf")) << "the previous message's parts go";
}

TEST_F(MessageDecoderTest, AFolderThatIsNotADisplayDirectoryIsNeverEmptied) {
  const std::string foreign = home.Path() + "/documents/";
  fs::create_directories(foreign);
  test::WriteFile(foreign + "thesis.txt", "years of work");
  std::string page = "unchanged";
  EXPECT_EQ(decoder.DecodeMessage(Stored("plain_text.mail"), foreign, page), -1);
  EXPECT_EQ(page, "");
  EXPECT_EQ(test::ReadFile(foreign + "thesis.txt"), "years of work");
  EXPECT_EQ(fs::directory_iterator(foreign)->path().filename(), "thesis.txt");

  // A fresh folder becomes one; the message is never in it.
  const std::string fresh = home.Path() + "/fresh/";
  EXPECT_EQ(decoder.DecodeMessage(Stored("plain_text.mail"), fresh, page), 1);
  EXPECT_TRUE(fs::exists(fresh + "PlainText.htm"));
  test::WriteFile(fresh + "inside.mail", test::ReadFile(Fixture("plain_text.mail")));
  EXPECT_EQ(decoder.DecodeMessage(fresh + "inside.mail", fresh, page), -1);
  EXPECT_TRUE(fs::exists(fresh + "inside.mail"));
}

TEST_F(MessageDecoderTest, AMessageThatCannotBeReadIsAnError) {
  std::string page;
  EXPECT_EQ(decoder.DecodeMessage(home.File("missing.mail"), dir, page), -1);
  EXPECT_EQ(page, "");
  MessageView view(app, dir);
  EXPECT_FALSE(view.Open(home.File("missing.mail"))) << "the viewer does not open";
}

TEST_F(MessageDecoderTest, APageThatCannotBeCreatedIsReportedAndDecodingGoesOn) {
  fs::create_directories(dir + "PlainText.htm/blocker");
  std::string page;
  EXPECT_EQ(decoder.DecodeMessage(Stored("mixed_attachments.mail"), dir, page), 1);
  EXPECT_EQ(Shown(), Texts{"Error opening file: " + dir + "PlainText.htm"});
  EXPECT_EQ(decoder.Decoded().errors, Shown());
  EXPECT_EQ(Names(), (Texts{"0001.txt", "report Q1.pdf", "figures.csv"}));
  EXPECT_TRUE(Exists("figures.csv"));
}

TEST_F(MessageDecoderTest, ReadingAMessageLeavesItsReadState) {
  const std::string path = Stored("mixed_attachments.mail");
  ASSERT_TRUE(MailStore::MarkUnread(path));
  platform::FileTimes before;
  ASSERT_TRUE(platform::GetFileTimes(path, before));
  std::string page;
  decoder.DecodeMessage(path, dir, page);
  ASSERT_TRUE(WriteHeadersPage(path, dir));
  platform::FileTimes after;
  ASSERT_TRUE(platform::GetFileTimes(path, after));
  EXPECT_EQ(after, before);
  EXPECT_TRUE(MailStore::IsUnread(path));

  // Also when the file has no terminator and the library reads it itself.
  const std::string bare = store.FolderPath("Inbox", true) + "bare.mail";
  const std::string text = test::ReadFile(Fixture("plain_text.mail"));
  test::WriteFile(bare, text.substr(0, text.size() - 1));
  ASSERT_TRUE(MailStore::MarkUnread(bare));
  ASSERT_TRUE(platform::GetFileTimes(bare, before));
  EXPECT_EQ(decoder.DecodeMessage(bare, dir, page), 1);
  EXPECT_EQ(decoder.Decoded().text.substr(decoder.Decoded().text.size() - 5), "Alice");
  ASSERT_TRUE(platform::GetFileTimes(bare, after));
  EXPECT_EQ(after, before);
}

// --- headers, navigation, the viewer -----------------------------------------------------------------

TEST_F(MessageDecoderTest, ShowAndHideHeaders) {
  MessageView view(app, dir);
  const std::string path = Stored("plain_text.mail");
  ASSERT_TRUE(view.Open(path));
  EXPECT_EQ(view.HeadersButtonLabel(), "Show Headers");
  EXPECT_EQ(view.PageUrl(), "file://" + dir + "PlainText.htm");

  HeadersToggle shown = view.ToggleHeaders();
  EXPECT_TRUE(shown.ok);
  EXPECT_EQ(shown.url, "file://" + dir + "headers.htm");
  EXPECT_EQ(shown.buttonLabel, "Hide Headers");
  const std::string text = test::ReadFile(path);
  EXPECT_EQ(File("headers.htm"), TextToHtml(text.substr(0, text.find("\r\n\r\n"))));
  EXPECT_EQ(File("headers.htm").find("Hello"), std::string::npos);

  HeadersToggle hidden = view.ToggleHeaders();
  EXPECT_EQ(hidden.url, view.PageUrl());
  EXPECT_EQ(hidden.buttonLabel, "Show Headers");

  // Without an empty line the whole file is the header block.
  const std::string headersOnly = home.File("h.mail");
  test::WriteFile(headersOnly, "From: a@b\r\nSubject: only");
  ASSERT_TRUE(WriteHeadersPage(headersOnly, dir));
  EXPECT_EQ(File("headers.htm"), TextToHtml("From: a@b\r\nSubject: only"));
  // Opening another message shows its page, headers hidden.
  view.ToggleHeaders();
  ASSERT_TRUE(view.Open(Stored("alternative.mail")));
  EXPECT_FALSE(view.HeadersShown());
  EXPECT_EQ(view.PageUrl(), "file://" + dir + "Enhanced.htm");
}

TEST_F(MessageDecoderTest, TheNavigationHookKeepsTheViewerOnItsOwnFiles) {
  const std::string base = "file://" + dir;
  auto action = [&](const std::string& target) { return DecideNavigation(target, dir).action; };
  EXPECT_EQ(action(base + "PlainText.htm"), NavigationAction::Show);
  EXPECT_EQ(action(base + "report%20Q1.pdf"), NavigationAction::Show);
  EXPECT_EQ(action(base + "PlainText.htm#top"), NavigationAction::Show);
  EXPECT_EQ(action("FILE://" + dir + "lake.png"), NavigationAction::Show);

  const NavigationDecision link = DecideNavigation("http://www.example.org/garden", dir);
  EXPECT_EQ(link.action, NavigationAction::OpenInPopup);
  EXPECT_EQ(link.popupTitle, "Finding http://www.example.org/garden");
  EXPECT_EQ(action("mailto:alice@example.org"), NavigationAction::OpenInPopup);
  EXPECT_EQ(action(base + "../secret.txt"), NavigationAction::OpenInPopup);
  EXPECT_EQ(action(base + "%2E%2E/secret.txt"), NavigationAction::OpenInPopup);
  EXPECT_EQ(action("file://" + dir.substr(0, dir.size() - 1) + "X/a.htm"), NavigationAction::OpenInPopup);
  EXPECT_EQ(action("file:///etc/passwd"), NavigationAction::OpenInPopup);

  const NavigationDecision doc = DecideNavigation(base + "letter.doc", dir);
  EXPECT_EQ(doc.action, NavigationAction::OpenWithSystem);
  EXPECT_EQ(doc.filePath, dir + "letter.doc");
  EXPECT_EQ(action(base + "sheet.XLS"), NavigationAction::OpenWithSystem);
  EXPECT_EQ(action(base + "sheet.xlsx"), NavigationAction::OpenWithSystem);
  EXPECT_EQ(action(base + "Budget.Xlsm"), NavigationAction::OpenWithSystem);
  EXPECT_EQ(action(base + "letter.docx"), NavigationAction::Show);
  EXPECT_EQ(action("http://example.org/sheet.xls"), NavigationAction::OpenInPopup);
}

TEST(FileUrls, CharactersThatWouldChangeThePathAreEncoded) {
  EXPECT_EQ(FileUrl("/t/Viewer/", "a b#c?d%e.pdf"), "file:///t/Viewer/a%20b%23c%3Fd%25e.pdf");
  EXPECT_EQ(FileUrl("/t/", "caf\xC3\xA9.txt"), "file:///t/caf%C3%A9.txt");
  EXPECT_EQ(DecideNavigation(FileUrl("/t/Viewer/", "a b#c.doc"), "/t/Viewer/").action,
            NavigationAction::OpenWithSystem);
}

TEST_F(MessageDecoderTest, PartsAreListedWhenThereIsMoreThanOneAndSavedAsCopies) {
  MessageView view(app, dir);
  ASSERT_TRUE(view.Open(Stored("plain_text.mail")));
  EXPECT_TRUE(view.ListedParts().empty()) << "a single part is not listed";
  EXPECT_EQ(view.Caption(), "[Alice Example <alice@example.org>] Minutes of the garden club");

  ASSERT_TRUE(view.Open(Stored("mixed_attachments.mail")));
  const std::string target = home.File("saved.csv");
  test::WriteFile(target, "an older file that is overwritten and longer than the part");
  EXPECT_TRUE(view.SavePartAs(2, target));
  EXPECT_EQ(test::ReadFile(target), "month;sales\njanuary;10\nfebruary;12\nmarch;17\n");
  EXPECT_FALSE(view.SavePartAs(7, target));
  EXPECT_FALSE(view.SavePartAs(2, home.File("no/such/folder/x.csv")));
  EXPECT_EQ(view.PartPath(1), dir + "report Q1.pdf");
  EXPECT_EQ(view.PartPath(9), "");
}

// --- delete from the viewer ---------------------------------------------------------------------------

TEST(ViewerDelete, TheNextRowOrThePreviousAfterTheLast) {
  EXPECT_EQ(RowAfterDelete(0, 0), -1);
  EXPECT_EQ(RowAfterDelete(1, 0), -1);
  EXPECT_EQ(RowAfterDelete(2, 0), 1);
  EXPECT_EQ(RowAfterDelete(2, 1), 0);
  EXPECT_EQ(RowAfterDelete(5, 2), 3);
  EXPECT_EQ(RowAfterDelete(5, 4), 3);
  EXPECT_EQ(RowAfterDelete(5, 5), -1);
}

TEST_F(MessageDecoderTest, DeletingFromTheViewerMovesToTrashAndShowsTheNextMessage) {
  app.WriteInt("email", "DontPromptForDeletion", 1);
  const std::string inbox = store.FolderPath("Inbox", true);
  for (const char* name : {"a.mail", "b.mail", "c.mail"}) {
    test::WriteFile(inbox + name, "From: x@example.org\r\nSubject: " + std::string(name) + "\r\n\r\nbody\r\n.");
    ASSERT_TRUE(MailStore::MarkUnread(inbox + name));
  }
  MessageList list;
  list.Reset(inbox);
  for (const char* name : {"a.mail", "b.mail", "c.mail"}) ASSERT_TRUE(list.AddMessage(store, inbox + name));
  ASSERT_EQ(list.Rows().size(), 3u);
  const std::string first = list.Rows()[0].path, second = list.Rows()[1].path, third = list.Rows()[2].path;

  ViewerDeleteOutcome middle = DeleteFromViewer(store, list, second, false);
  EXPECT_FALSE(middle.cancelled);
  EXPECT_FALSE(middle.closeViewer);
  EXPECT_EQ(middle.nextPath, third);
  EXPECT_EQ(middle.nextRow, 1);
  EXPECT_EQ(middle.status, "1 message moved to Trash (emptied when Vyrelle is closed)");
  EXPECT_FALSE(fs::exists(second));
  EXPECT_TRUE(fs::exists(store.FolderPath("Trash", false) + fs::path(second).filename().string()));
  EXPECT_FALSE(MailStore::IsUnread(third)) << "the next message is marked read";
  EXPECT_FALSE(list.Rows()[1].unread);

  ViewerDeleteOutcome last = DeleteFromViewer(store, list, third, false);
  EXPECT_EQ(last.nextPath, first) << "after the last row, the previous one";
  EXPECT_EQ(last.nextRow, 0);

  ViewerDeleteOutcome only = DeleteFromViewer(store, list, first, false);
  EXPECT_TRUE(only.closeViewer);
  EXPECT_TRUE(list.Rows().empty());
  EXPECT_FALSE(fs::exists(first));
}

TEST_F(MessageDecoderTest, ACancelledDeleteFromTheViewerChangesNothing) {
  const std::string inbox = store.FolderPath("Inbox", true);
  test::WriteFile(inbox + "a.mail", "From: x@example.org\r\nSubject: a\r\n\r\nbody\r\n.");
  test::WriteFile(inbox + "b.mail", "From: y@example.org\r\nSubject: b\r\n\r\nbody\r\n.");
  MessageList list;
  list.Reset(inbox);
  list.AddMessage(store, inbox + "a.mail");
  list.AddMessage(store, inbox + "b.mail");
  boxes.answer = IDNO;
  ViewerDeleteOutcome outcome = DeleteFromViewer(store, list, inbox + "a.mail", false);
  EXPECT_TRUE(outcome.cancelled);
  EXPECT_EQ(Shown(), Texts{"Delete message(s)?"});
  EXPECT_TRUE(fs::exists(inbox + "a.mail"));
  EXPECT_EQ(list.Rows().size(), 2u);
}

// --- concurrency ---------------------------------------------------------------------------------------

TEST_F(MessageDecoderTest, DecodingHoldsTheMailLock) {
  const std::string path = Stored("mixed_attachments.mail");
  std::unique_lock<std::mutex> held(app.MailLock());
  std::atomic<bool> done{false};
  std::thread viewer([&] {
    MessageDecoder d(app);
    std::string page;
    d.DecodeMessage(path, dir, page);
    done = true;
  });
  // The decode reads the summary, then waits for the lock before it touches
  // the display directory or the library.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(done.load());
  EXPECT_FALSE(Exists("PlainText.htm"));
  held.unlock();
  viewer.join();
  EXPECT_TRUE(done.load());
  EXPECT_TRUE(Exists("report Q1.pdf"));
}

TEST_F(MessageDecoderTest, DecodingWhileHeadersAreScannedOnAnotherThread) {
  const Texts corpus = {"plain_text.mail", "alternative.mail", "mixed_attachments.mail", "nested.mail",
                        "uuencoded.mail", "psf_msg_10.mail", "hostile_names.mail", "base64_body.mail"};
  Texts paths;
  for (const std::string& f : corpus) paths.push_back(Stored(f));
  std::atomic<bool> stop{false};
  std::atomic<int> scans{0};
  std::thread scanner([&] {
    MailStore other(app);
    while (!stop) {
      for (const std::string& p : paths) {
        MessageSummary s;
        other.ReadSummaryQuiet(p, s);
        other.MessageKey(p, nullptr);
        ++scans;
      }
    }
  });
  for (int round = 0; round < 40; ++round) {
    const std::string& fixture = corpus[round % corpus.size()];
    std::string page;
    ASSERT_EQ(decoder.DecodeMessage(paths[round % paths.size()], dir, page), 1) << fixture;
    if (fixture == "mixed_attachments.mail") {
      EXPECT_EQ(File("figures.csv").size(), 44u);
    }
    if (fixture == "alternative.mail") {
      EXPECT_EQ(page, "Enhanced.htm");
    }
  }
  stop = true;
  scanner.join();
  EXPECT_GT(scans.load(), 0);
}

TEST_F(MessageDecoderTest, NoDownloadOfARunningCheckIsLostWhileMessagesAreShown) {
  // A writer that behaves like the mail check: it names each download in
  // _TEMP under the mail lock, writes it in pieces with pauses, and moves
  // the finished file into Inbox.
  const std::string inbox = store.FolderPath("Inbox", true);
  const std::string displayed = Stored("mixed_attachments.mail");
  std::atomic<bool> writing{true};
  Texts stored;
  std::thread check([&] {
    struct Done {
      std::atomic<bool>& flag;
      ~Done() { flag = false; }
    } done{writing};
    MailStore checkStore(app);
    for (int n = 0; n < 30; ++n) {
      const std::string temp = checkStore.NewDownloadPath();
      ASSERT_FALSE(temp.empty());
      const std::string body = "Subject: download " + std::to_string(n) + "\r\n\r\n" + std::string(3000, 'x');
      {
        std::FILE* f = std::fopen(temp.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        for (size_t at = 0; at < body.size(); at += 500) {
          std::fwrite(body.data() + at, 1, std::min<size_t>(500, body.size() - at), f);
          std::fflush(f);
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::fputc('.', f);
        std::fclose(f);
      }
      const std::string target = inbox + "S" + std::to_string(n) + ".mail";
      std::lock_guard<std::mutex> lock(app.MailLock());
      ASSERT_EQ(platform::MoveFileNoReplace(temp, target), platform::MoveResult::Moved) << temp;
      stored.push_back(target);
    }
  });
  int decodes = 0;
  while (writing) {
    MessageView view(app, DisplayDirectory(store));
    ASSERT_TRUE(view.Open(displayed));
    ++decodes;
  }
  check.join();
  ASSERT_EQ(stored.size(), 30u);
  for (size_t n = 0; n < stored.size(); ++n) {
    EXPECT_EQ(test::ReadFile(stored[n]),
              "Subject: download " + std::to_string(n) + "\r\n\r\n" + std::string(3000, 'x') + ".");
  }
  EXPECT_GT(decodes, 0);
}

}  // namespace
}  // namespace vyr
